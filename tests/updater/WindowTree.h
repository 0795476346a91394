// Reading another program's window tree from outside, as a test or a driver sees it.
#pragma once
#include <windows.h>

#include <algorithm>
#include <vector>

namespace swt::test {

// The visible child windows of parent, top to bottom.
inline std::vector<HWND> ChildrenTopDown(HWND parent) {
    std::vector<HWND> out;
    for (HWND c = ::GetWindow(parent, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
        if (::IsWindowVisible(c)) out.push_back(c);
    std::sort(out.begin(), out.end(), [](HWND a, HWND b) {
        RECT ra, rb;
        ::GetWindowRect(a, &ra);
        ::GetWindowRect(b, &rb);
        return ra.top < rb.top;
    });
    return out;
}

}  // namespace swt::test
