#include "support/LibraryStartup.h"

#include <cstdlib>
#include <ctime>

#include "support/ApplicationParams.h"
#include "support/Languages.h"
#include "support/PrivateTemp.h"
#include "base/ScopeGuard.h"
#include "support/SystemMetric.h"

namespace swt {

namespace {
bool g_started = false;

void UnitShutdown() noexcept {
    ReleaseSystemMetricSnapshot();
    ClearIsWinNT();
    ClearUserLanguage();
    ClearTempFolderValues();
}

void ParamListClassShutdown() noexcept {
#if SWT_XPROCS_TERMINATOR
    ReleaseApplicationParams();
#endif
    TempFoldersShutdown();
}
}  // namespace

XProcsLibrary::XProcsLibrary() {
    if (g_started) return;
#if SWT_XPROCS_TERMINATOR
    TextHeightCacheStartup();
    ScopeExit undo([] { TextHeightCacheShutdown(); });
    TempFoldersStartup(true);
    undo.Dismiss();
#else
    TempFoldersStartup(false);
#endif
    // The unit's own start-up never fails: a snapshot without memory for it leaves SystemMetric()
    // empty, and the program still starts.
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    TakeSystemMetricSnapshot();
    RecordIsWinNT();
    RecordUserLanguage();
    g_started = true;
    owner_ = true;
}

XProcsLibrary::~XProcsLibrary() {
    if (!owner_) return;
    UnitShutdown();
    ParamListClassShutdown();
#if SWT_XPROCS_TERMINATOR
    TextHeightCacheShutdown();
#endif
    g_started = false;
}

bool XProcsLibrary::Started() noexcept { return g_started; }

void SessionEndCleanup() noexcept {
#if SWT_XPROCS_TERMINATOR
    if (TApplicationParamList* list = ApplicationParamsIfCreated()) list->DeleteTempFolderNow();
#endif
}

}  // namespace swt
