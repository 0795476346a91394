// Keeps the display's desktop open for a whole test run; scripts/test starts it before the first
// test, with its output on /dev/null, and ends it with the Wine server.
//
// Wine closes a desktop a second after its last program leaves it and starts its desktop process
// (explorer.exe /desktop) again for the next program that needs one. That desktop process then
// inherits the starting test's output pipes, and CTest waits on them for as long as the desktop
// lives (a test of a fraction of a second took minutes), and a test that starts while the desktop
// is closing can end before its first line. With this program on the desktop all run long, the
// desktop is made once, here, and never closes in between.
#include <windows.h>

#include <cstdio>

int main() {
    // Connects this thread to the desktop, which starts the desktop process and waits for it.
    if (!::GetDesktopWindow()) return 1;
    std::puts("ready");
    std::fflush(stdout);
    ::Sleep(INFINITE);
    return 0;
}
