// Loads each DLL named on its command line the plain way (LoadLibraryW, the program's folder
// searched first), as a program without the system-folder rule would: shows that a DLL planted
// beside it is taken, so that the planted-DLL test can tell our programs apart.
#include <windows.h>

#include "base/CommandLine.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const auto args = swt::CommandLineArgs();
    int missing = 0;
    for (size_t i = 1; i < args.size(); ++i)
        if (!::LoadLibraryW(args[i].c_str())) ++missing;
    return missing;
}
