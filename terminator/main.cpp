// Endwatch: ends one process after a countdown.
#include <windows.h>

#include "support/LibraryStartup.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    try {
        swt::XProcsLibrary xprocs;  // library start-up before any program code, shutdown after it
    } catch (...) {
    }
    return 0;
}
