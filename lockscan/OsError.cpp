#include "lockscan/OsError.h"

namespace swt {

std::wstring OSErrorMessage(DWORD code) {
    wchar_t* text = nullptr;
    DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                   FORMAT_MESSAGE_IGNORE_INSERTS,
                               nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring systemText;
    if (n && text) systemText.assign(text, n);
    if (text) ::LocalFree(text);
    while (!systemText.empty() && (systemText.back() == L'\r' || systemText.back() == L'\n' || systemText.back() == L' '))
        systemText.pop_back();
    return L"Systemfehler.  Code: " + std::to_wstring(code) + L".\r\n" + systemText;
}

void RaiseOSError(DWORD code) { throw Error(OSErrorMessage(code)); }

void RaiseLastOSError() { RaiseOSError(::GetLastError()); }

}  // namespace swt
