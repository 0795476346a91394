// Conversion of wide text to narrow code pages, for the few places that write or compare narrow text.
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

}  // namespace swt
