// Drives the update window for the demo, from inside the same Wine prefix (X tools do not reach
// Wine's input state).
//   demo_driver rows <count> <seconds>   waits until the window shows <count> rows; prints the
//                                        window's rectangle "left top width height"
//   demo_driver close-row <index> [x] [dy]  clicks "Prozess beenden" in row <index> (from the top),
//                                        at x and dy above the task button's bottom
//   demo_driver hover-row <index>        moves the mouse over row <index> (its hint shows)
// Exit code 0 on success, 1 when the window or the row is not there.
#include <windows.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "base/CommandLine.h"
#include "tests/updater/WindowTree.h"

namespace {

HWND UpdaterWindow() {
    HWND w = ::FindWindowW(L"TForm1", L"Update");
    return w && ::IsWindowVisible(w) ? w : nullptr;
}

using swt::test::ChildrenTopDown;

// The rows: the children of the scroll box, the middle one of header, scroll box and footer.
std::vector<HWND> Rows(HWND form) {
    std::vector<HWND> parts = ChildrenTopDown(form);
    return parts.size() == 3 ? ChildrenTopDown(parts[1]) : std::vector<HWND>();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    std::vector<std::wstring> args = swt::CommandLineArgs();
    if (args.size() >= 4 && args[1] == L"rows") {
        const size_t want = static_cast<size_t>(_wtoi(args[2].c_str()));
        const ULONGLONG end = ::GetTickCount64() + 1000ull * static_cast<ULONGLONG>(_wtoi(args[3].c_str()));
        ULONGLONG since = 0;  // the count must hold for 2 s: a pass adds rows one by one
        while (::GetTickCount64() < end) {
            HWND form = UpdaterWindow();
            const bool match = form && Rows(form).size() == want;
            if (!match) since = 0;
            else if (!since) since = ::GetTickCount64();
            if (match && ::GetTickCount64() - since >= 2000) {
                RECT r;
                ::GetWindowRect(form, &r);
                std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
                return 0;
            }
            ::Sleep(50);
        }
        HWND form = UpdaterWindow();
        std::fprintf(stderr, "window %p, parts %zu, rows %zu\n", static_cast<void*>(form),
                     form ? ChildrenTopDown(form).size() : 0, form ? Rows(form).size() : 0);
        return 1;
    }
    if (args.size() >= 3 && args[1] == L"hover-row") {
        HWND form = UpdaterWindow();
        std::vector<HWND> rows = form ? Rows(form) : std::vector<HWND>();
        const size_t index = static_cast<size_t>(_wtoi(args[2].c_str()));
        if (index >= rows.size()) return 1;
        RECT r;
        ::GetWindowRect(rows[index], &r);
        // Two moves, so the window sees the mouse arrive and then move within it.
        ::SetCursorPos(r.left + 200, r.top + 20);
        ::Sleep(100);
        ::SetCursorPos(r.left + 210, r.top + 24);
        return 0;
    }
    if (args.size() >= 3 && args[1] == L"close-row") {
        HWND form = UpdaterWindow();
        if (!form) return 1;
        std::vector<HWND> rows = Rows(form);
        const size_t index = static_cast<size_t>(_wtoi(args[2].c_str()));
        if (index >= rows.size()) return 1;
        // The row: a line, the task block, a line. The block's last visible link is
        // "Prozess beenden", one text line above the block's bottom margin.
        std::vector<HWND> parts = ChildrenTopDown(rows[index]);
        if (parts.empty()) return 1;
        HWND block = parts.front();
        RECT r;
        ::GetClientRect(block, &r);
        const LPARAM at = MAKELPARAM(_wtoi(args.size() > 3 ? args[3].c_str() : L"78"),
                                     r.bottom - _wtoi(args.size() > 4 ? args[4].c_str() : L"12"));
        // The link becomes hot under the mouse first; the click reports the hot link. The block
        // repaints with the real pointer's place, so the pointer goes there too, as a user's would.
        POINT screen{GET_X_LPARAM(at), GET_Y_LPARAM(at)};
        ::ClientToScreen(block, &screen);
        ::SetCursorPos(screen.x, screen.y);
        ::PostMessageW(block, WM_MOUSEMOVE, 0, at);
        ::PostMessageW(block, WM_LBUTTONDOWN, MK_LBUTTON, at);
        ::PostMessageW(block, WM_LBUTTONUP, 0, at);
        return 0;
    }
    return 1;
}
