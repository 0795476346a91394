#include "updater/SwaptideMain.h"

#include "components/VeltraGDIPAPI.h"
#include "components/kx_Scale.h"
#include "support/LibraryStartup.h"
#include "base/CommandLine.h"
#include "base/SystemLibrary.h"
#include "ui/Application.h"
#include "updater/JobSection.h"
#include "updater/SwaptideUnit.h"

namespace swt {

int SwaptideMain(ULONGLONG timeLimitMs) {
    // No DLL from this program's folder, whatever loads one from here on.
    RestrictDllSearchToSystemFolder();
    try {
        // Unit start-ups in program order (display scaling, GDI+, the support library) before any
        // program code; their shutdowns run in reverse after it.
        KxScaleUnit scaling;
        GdiplusLibrary gdiplus;
        XProcsLibrary xprocs;
        std::vector<std::wstring> args = CommandLineArgs();
        // Only "doit", exactly, starts an update; any other command line touches nothing.
        if (args.size() < 2 || args[1] != L"doit") return 0;
        // One updater at a time runs a job section, from before the job is read to the end of the
        // run (the caller's restart included); a second one leaves everything to it.
        const UniqueHandleT jobLock = TakeJobLock(JobSectionOf(args));
        if (!jobLock) return 0;
        TApplication& app = Application();
        app.MainFormOnTaskBar = false;  // the update window shows no taskbar button
        app.Initialize();
        TForm1* form = app.CreateForm<TForm1>(std::move(args));
        form->Run.TimeLimitMs = timeLimitMs;
        app.Run();
    } catch (...) {
    }
    return 0;
}

}  // namespace swt
