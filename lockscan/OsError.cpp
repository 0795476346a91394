#include "lockscan/OsError.h"

#include "base/SystemErrorText.h"

namespace swt {

std::wstring OSErrorMessage(DWORD code) {
    return L"Systemfehler.  Code: " + std::to_wstring(code) + L".\r\n" + SystemText(code);
}

void RaiseOSError(DWORD code) { throw Error(OSErrorMessage(code)); }

void RaiseLastOSError() { RaiseOSError(::GetLastError()); }

}  // namespace swt
