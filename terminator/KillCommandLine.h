// The terminator's command line: a window handle, or (unused text,) process id and display name.
#pragma once
#include <windows.h>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace swt {

// Name shown when the command line gives none.
inline constexpr const wchar_t* kDefaultDisplayName = L"Veltra";

struct TKillArgs {
    // True for the one-parameter form: value is a window handle whose owner is watched.
    bool byWindow = false;
    // The window handle (sign-extended to pointer size when used) or the process id.
    int32_t value = 0;
    std::wstring displayName;
};

// args: element 0 is the program, parameters follow. With a second parameter, that is the process
// id and the first is not read at all; otherwise the first is a window handle. The third parameter,
// trimmed of blanks and control characters, is the display name, "Veltra" when absent or empty.
// No value when the integer that is read is not an integer.
std::optional<TKillArgs> ParseKillArgs(const std::vector<std::wstring>& args);

// The process id the arguments name: the owner of the window for the window form (0 when no such
// window exists), else the id as given.
DWORD ResolveProcessId(const TKillArgs& args);

// Removes characters up to and including the blank from both ends.
std::wstring TrimBlanksAndControls(const std::wstring& text);

}  // namespace swt
