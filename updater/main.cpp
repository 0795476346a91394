// Swaptide2: puts the files of an update job into place.
#include <windows.h>

#include "components/VeltraGDIPAPI.h"
#include "components/kx_Scale.h"
#include "support/LibraryStartup.h"
#include "support/base/CommandLine.h"
#include "support/base/SystemLibrary.h"
#include "ui/Application.h"
#include "updater/JobSection.h"
#include "updater/SwaptideUnit.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // No DLL from this program's folder, whatever loads one from here on.
    swt::RestrictDllSearchToSystemFolder();
    try {
        // Unit start-ups in program order (display scaling, GDI+, the support library) before any
        // program code; their shutdowns run in reverse after it.
        swt::KxScaleUnit scaling;
        swt::GdiplusLibrary gdiplus;
        swt::XProcsLibrary xprocs;
        std::vector<std::wstring> args = swt::CommandLineArgs();
        // Only "doit", exactly, starts an update; any other command line touches nothing.
        if (args.size() < 2 || args[1] != L"doit") return 0;
        // One updater at a time runs a job section, from before the job is read to the end of the
        // run (the caller's restart included); a second one leaves everything to it.
        const swt::UniqueHandleT jobLock = swt::TakeJobLock(swt::JobSectionOf(args));
        if (!jobLock) return 0;
        swt::TApplication& app = swt::Application();
        app.MainFormOnTaskBar = false;  // the update window shows no taskbar button
        app.Initialize();
        app.CreateForm<swt::TForm1>(std::move(args));
        app.Run();
    } catch (...) {
    }
    return 0;
}
