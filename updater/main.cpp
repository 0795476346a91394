// Swaptide2: puts the files of an update job into place.
#include <windows.h>

#include "updater/SwaptideMain.h"
#include "updater/UpdateRun.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return swt::SwaptideMain(swt::TUpdateRun::kTimeLimitMs); }
