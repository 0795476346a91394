// The named-parameter syntax shared by the command line and the parameter file, and the
// environment expansion the parameter list uses. Pure functions over a list of entries.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/TextCompare.h"

namespace swt {

// Values are cut to this many characters.
inline constexpr size_t kMaxParamValueLength = 255;

// The name an entry carries as a flag: upper case, one leading "-", "/" or "\" removed, cut
// before the first ":" or "=", trimmed. "/Name:x", "-NAME", "name=1" all give "NAME".
std::wstring ParamNamePart(std::wstring_view entry);

// Value of the first entry that begins with "/NAME:" (case ignored), cut to 255 characters.
// No such entry: no value. "/NAME:" alone gives an empty value.
std::optional<std::wstring> FindParamValue(const std::vector<std::wstring>& entries, std::wstring_view name);

// Whether some entry's name part equals the name (case ignored). An empty name part never matches.
bool HasParamFlag(const std::vector<std::wstring>& entries, std::wstring_view name);

// Index of the first entry whose name part equals the name, or -1.
int FindParamIndex(const std::vector<std::wstring>& entries, std::wstring_view name);

// The form under which a looked-up name is recorded: upper case, trimmed, leading blanks, "-",
// "/" and "\" removed, every ":" and "=" removed.
std::wstring RequestedParamName(std::wstring_view name);

// Trims the text, drops one pair of enclosing double quotes, and expands %VARIABLE% references
// (undefined ones stay as written). A text without "%" comes back as trimmed and unquoted.
std::wstring ExpandEnvironment(std::wstring_view text);

}  // namespace swt
