#include "support/TextCompare.h"

#include <windows.h>

namespace swt {

std::wstring TrimBlanks(std::wstring_view text) {
    size_t b = 0, e = text.size();
    while (b < e && text[b] <= L' ') ++b;
    while (e > b && text[e - 1] <= L' ') --e;
    return std::wstring(text.substr(b, e - b));
}

std::wstring UpperText(std::wstring_view text) {
    std::wstring out(text);
    // CharUpperBuffW maps one UTF-16 unit to one, so positions stay comparable with the original.
    if (!out.empty()) ::CharUpperBuffW(out.data(), static_cast<DWORD>(out.size()));
    return out;
}

}  // namespace swt
