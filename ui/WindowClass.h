// Window classes of this module, registered once per process on first use.
#pragma once
#include <windows.h>

#include <string>

namespace swt {

struct TWindowClass {
    std::wstring Name;
    WNDPROC Proc = nullptr;
    UINT Style = 0;
    HCURSOR Cursor = nullptr;  // null: the arrow
    HICON Icon = nullptr;
};

// Registers the class unless this module has it already (by this call or earlier). Throws
// swt::Error when it can be neither found nor registered.
void RegisterWindowClass(const TWindowClass& wc);

}  // namespace swt
