#include "base/TextCompare.h"

#include <windows.h>

namespace swt {

std::wstring_view TrimmedView(std::wstring_view text) noexcept {
    size_t b = 0, e = text.size();
    while (b < e && text[b] <= L' ') ++b;
    while (e > b && text[e - 1] <= L' ') --e;
    return text.substr(b, e - b);
}

std::wstring TrimBlanks(std::wstring_view text) { return std::wstring(TrimmedView(text)); }

std::wstring UpperText(std::wstring_view text) {
    std::wstring out(text);
    // CharUpperBuffW maps one UTF-16 unit to one, so positions stay comparable with the original.
    if (!out.empty()) ::CharUpperBuffW(out.data(), static_cast<DWORD>(out.size()));
    return out;
}

bool MapFileNameUpper(const wchar_t* text, size_t n, wchar_t* out) noexcept {
    if (n == 0) return true;
    if (n > 0x7FFFFFFF) return false;
    const int chars = static_cast<int>(n);
    return ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, text, chars, out, chars, nullptr, nullptr, 0) ==
           chars;
}

std::wstring FileNameUpper(std::wstring_view text) {
    std::wstring out(text.size(), L'\0');
    if (!MapFileNameUpper(text.data(), text.size(), out.data())) return std::wstring(text);
    return out;
}

}  // namespace swt
