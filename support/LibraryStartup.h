// The support library's start-up and shutdown, in their fixed order. A program holds one
// XProcsLibrary for its whole run, made first thing in wWinMain, so the environment variables are
// in place before any program code runs and the private folder goes when the program ends.
#pragma once

#include "support/XProcsBuild.h"

namespace swt {

class XProcsLibrary {
public:
    // Start-up:
    //  1. class-wide: (process terminator) the text-height cache; then the parameter list's
    //     start-up GUID, origin folder and "ORIGIN_TEMP" (process terminator: "TEMP"/"TMP" reset
    //     to an inherited origin);
    //  2. the unit: random seed, metric snapshot, IsWinNT, UserLanguage/LanguageBase.
    // Throws swt::Error, having undone what it did, only when no start-up GUID can be made.
    // A second guard in the same process does nothing.
    XProcsLibrary();
    // Shutdown in reverse: the unit's state; the parameter list (deleting the private temporary
    // folder); (process terminator) the text-height cache. Never throws.
    ~XProcsLibrary();
    XProcsLibrary(const XProcsLibrary&) = delete;
    XProcsLibrary& operator=(const XProcsLibrary&) = delete;

    // Whether a guard currently holds the library started.
    static bool Started() noexcept;

private:
    bool owner_ = false;
};

// The user's session is ending (a window got WM_ENDSESSION with wParam TRUE): the program may be
// ended any moment from here on, without its shutdown, and the removal at the next restart that
// the private temporary folder is marked for needs rights a normal user lacks. So the folder goes
// now. Each program's window calls this; a program without a parameter list (the updater) has no
// such folder and nothing happens. Never throws.
void SessionEndCleanup() noexcept;

#if SWT_XPROCS_TERMINATOR
// Class-wide start-up and shutdown of the text-height cache (process terminator only), called by
// XProcsLibrary at its fixed place in the order.
void TextHeightCacheStartup();
void TextHeightCacheShutdown() noexcept;
#endif

}  // namespace swt
