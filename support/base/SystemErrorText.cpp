#include "support/base/SystemErrorText.h"

#include <windows.h>

namespace swt {

std::wstring SystemErrorText(unsigned long code) {
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                         FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring line = n && text ? std::wstring(text, n) : std::wstring();
    if (text) ::LocalFree(text);
    // Some texts run over several lines: one line, without the breaks and blanks at its end.
    for (wchar_t& c : line)
        if (c == L'\r' || c == L'\n') c = L' ';
    while (!line.empty() && line.back() == L' ') line.pop_back();
    return (line.empty() ? std::wstring() : line + L" ") + L"(Code " + std::to_wstring(code) + L")";
}

}  // namespace swt
