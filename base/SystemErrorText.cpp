#include "base/SystemErrorText.h"

#include <windows.h>

#include "base/ScopeGuard.h"

namespace swt {

std::wstring SystemText(unsigned long code) {
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                         FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    // Released however the copy ends.
    ScopeExit release([text] {
        if (text) ::LocalFree(text);
    });
    std::wstring s = n && text ? std::wstring(text, n) : std::wstring();
    while (!s.empty() && (s.back() == L'\r' || s.back() == L'\n' || s.back() == L' ')) s.pop_back();
    return s;
}

std::wstring SystemErrorText(unsigned long code) {
    // Some texts run over several lines: one line.
    std::wstring line = SystemText(code);
    for (wchar_t& c : line)
        if (c == L'\r' || c == L'\n') c = L' ';
    while (!line.empty() && line.back() == L' ') line.pop_back();
    return (line.empty() ? std::wstring() : line + L" ") + L"(Code " + std::to_wstring(code) + L")";
}

}  // namespace swt
