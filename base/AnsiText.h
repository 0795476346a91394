// Conversion between wide text and narrow code pages, for the few places that write, read or
// compare narrow text (the log, handle names, parameter files, error messages of the C++ library).
#pragma once
#include <windows.h>

#include <string>
#include <string_view>

namespace swt {

// Characters the code page cannot represent become the conversion's default character.
std::string ToCodePage(std::wstring_view text, UINT codePage);

// The system ANSI code page (the update log, handle names).
inline std::string ToAnsi(std::wstring_view text) { return ToCodePage(text, CP_ACP); }
inline std::string ToUtf8(std::wstring_view text) { return ToCodePage(text, CP_UTF8); }

// Narrow text in a code page made wide; bytes the code page does not define become U+FFFD (UTF-8)
// or the code page's default mapping.
std::wstring FromCodePage(std::string_view text, UINT codePage);
// UTF-8 when the bytes are valid UTF-8, else the system ANSI code page.
std::wstring FromUtf8OrAnsi(std::string_view text);

}  // namespace swt
