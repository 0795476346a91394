// The operating-system error the lock scan raises: the system's text for an error code.
#pragma once
#include <windows.h>
#include <string>

#include "base/Error.h"

namespace swt {

// "Systemfehler.  Code: 5.\r\nZugriff verweigert" (the text in the system's language).
std::wstring OSErrorMessage(DWORD code);
[[noreturn]] void RaiseOSError(DWORD code);
[[noreturn]] void RaiseLastOSError();

}  // namespace swt
