// The font guideline: one installed face from a preference list, one quality and character set
// for every control of a window, and in the forced mode 9-point text with label heights that fit.
// A window applies it once, right after its design has been loaded (its Loaded hook):
//     ApplyFontGuideline(this, L"", -1);
// The process terminator carries the guideline; in the updater the same call does nothing.
#pragma once
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "support/XProcsBuild.h"

namespace swt {

class TControl;
struct TFontData;

// AControl: the window (or any control; containers are walked). AFontName: a face or empty.
// AQuality: a LOGFONT quality, negative to let the parameters ("$FONTQUALITY") decide.
// Reports nothing; a control whose font cannot be changed is skipped.
void ApplyFontGuideline(TControl* AControl, const std::wstring& AFontName, int AQuality) noexcept;

#if SWT_XPROCS_TERMINATOR

// What the guideline reads from the system and the parameters, and the state it writes. The
// program's call uses the real ones (ApplicationParams, the screen fonts, the menu font, the
// process-wide mode and the framework default font); tests may give their own.
struct TFontGuidelineEnvironment {
    std::function<std::wstring(const std::wstring& name)> ParamValue;   // "/NAME:value"
    std::function<bool(const std::wstring& name)> CheckParam;           // flag present
    std::function<bool(const std::wstring& face)> IsInstalled;          // without regard to case
    std::function<std::optional<std::wstring>()> MenuFontFace;          // none when the query fails
    bool VistaOrLater = true;
    std::wstring DefaultFontName;   // the library's default font name
    TFontData* DefaultFont = nullptr;
    int* Mode = nullptr;            // -1 undecided, 0 normal, 1 forced
};

// The environment of the program: see above.
TFontGuidelineEnvironment ProcessFontGuidelineEnvironment();
// The whole routine against an environment. Returns the face found, or none when no candidate
// is installed (then nothing has changed).
std::optional<std::wstring> ApplyFontGuidelineIn(TControl* AControl, std::wstring AFontName, int AQuality,
                                                 const TFontGuidelineEnvironment& env);

// The candidate faces in the order they are tried.
std::vector<std::wstring> FontGuidelineCandidates(const std::wstring& name, const std::optional<std::wstring>& menuFace,
                                                  bool vistaOrLater);
// The control pass over C and everything below it.
void FontGuidelineControlPass(TControl* C, const std::wstring& found, int quality, int charset, bool forced);
// The height pass of the forced mode over C and everything below it.
void FontGuidelineHeightPass(TControl* C);

// The process-wide guideline mode: -1 until the first successful application, then 0 or 1.
int FontGuidelineMode();
// The library's default font name (empty; neither program sets it).
std::wstring& LibraryDefaultFontName();
// The system's screen font families, read once per process.
const std::vector<std::wstring>& ScreenFonts();
bool IsScreenFontInstalled(const std::wstring& face);
// The face of the menu font (SPI_GETNONCLIENTMETRICS with the 504-byte structure), or none.
std::optional<std::wstring> MenuFontFace();

#endif

}  // namespace swt
