// Swaptide2ShortLimit.exe: the updater giving up after 4 s, for the tests of a run that reaches
// its time limit. The shipped Swaptide2.exe (updater/main.cpp) keeps its 23 hours.
#include <windows.h>

#include "updater/SwaptideMain.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return swt::SwaptideMain(4000); }
