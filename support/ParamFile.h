// The parameter file: a text file whose [STARTPARAMS] section adds entries to the parameter list.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace swt {

// A parameter file is a few lines; anything bigger is not one and is not read at all.
inline constexpr uint64_t kMaxParamFileBytes = 4u * 1024u * 1024u;

// Text lines of a file's bytes: a byte-order mark selects UTF-8, UTF-16LE or UTF-16BE, otherwise
// the ANSI code page. Lines end at CR LF, CR or LF.
std::vector<std::wstring> DecodeTextLines(std::string_view bytes);

// The trimmed, non-empty lines of the [STARTPARAMS] section(s). A line starting with "[" opens a
// section; the header is compared trimmed and without regard to case, but only when "[" is the
// line's very first character.
std::vector<std::wstring> StartParamsEntries(const std::vector<std::wstring>& lines);

// Entries of the parameter file at path; none when it is missing, a folder, unreadable or larger
// than kMaxParamFileBytes.
std::vector<std::wstring> ReadParamFileEntries(const std::wstring& path);

}  // namespace swt
