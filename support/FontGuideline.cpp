#include "support/FontGuideline.h"

#include <algorithm>
#include <set>

#include "support/ApplicationParams.h"
#include "base/IntText.h"
#include "support/SystemMetric.h"
#include "base/TextCompare.h"
#include "support/TextHeight.h"
#include "base/UniqueHandle.h"
#include "ui/Control.h"
#include "ui/Label.h"

namespace swt {

namespace {

int g_mode = -1;

// A whole number that fits the byte it goes into, else -1.
int ByteNumber(const std::wstring& text) {
    const std::optional<int32_t> v = TryStrToInt(TrimBlanks(text));
    if (!v || *v < 0 || *v > 255) return -1;
    return *v;
}

bool EqualNoCase(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() && ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                                          static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// Called by the system: nothing may pass through its frames. A name that cannot be kept ends the
// list there.
int CALLBACK CollectFamily(const LOGFONTW* lf, const TEXTMETRICW*, DWORD, LPARAM p) noexcept {
    try {
        reinterpret_cast<std::set<std::wstring>*>(p)->insert(lf->lfFaceName);
        return 1;
    } catch (...) {
        return 0;
    }
}

}  // namespace

const std::vector<std::wstring>& ScreenFonts() {
    static const std::vector<std::wstring> fonts = [] {
        std::set<std::wstring> names;
        WindowDc dc(nullptr);
        if (dc) {
            LOGFONTW lf{};
            lf.lfCharSet = DEFAULT_CHARSET;
            ::EnumFontFamiliesExW(dc.get(), &lf, &CollectFamily, reinterpret_cast<LPARAM>(&names), 0);
        }
        return std::vector<std::wstring>(names.begin(), names.end());
    }();
    return fonts;
}

bool IsScreenFontInstalled(const std::wstring& face) {
    const auto& fonts = ScreenFonts();
    return std::any_of(fonts.begin(), fonts.end(), [&](const std::wstring& f) { return EqualNoCase(f, face); });
}

std::optional<std::wstring> MenuFontFace() {
    // The structure without the padded-border field: 504 bytes, accepted by every version.
    NONCLIENTMETRICSW ncm{};
    static_assert(sizeof(NONCLIENTMETRICSW) >= 504);
    ncm.cbSize = 504;
    if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, 504, &ncm, 0)) return std::nullopt;
    return std::wstring(ncm.lfMenuFont.lfFaceName);
}

int FontGuidelineMode() { return g_mode; }

std::wstring& LibraryDefaultFontName() {
    static std::wstring name;
    return name;
}

TFontGuidelineEnvironment ProcessFontGuidelineEnvironment() {
    TFontGuidelineEnvironment env;
    env.ParamValue = [](const std::wstring& n) { return ApplicationParams().GetParamValue(n); };
    env.CheckParam = [](const std::wstring& n) { return ApplicationParams().GetCheckParam(n); };
    env.IsInstalled = &IsScreenFontInstalled;
    env.MenuFontFace = &MenuFontFace;
    env.VistaOrLater = IsWindowsVistaOrLater();
    env.DefaultFontName = LibraryDefaultFontName();
    env.DefaultFont = &DefaultFontData();
    env.Mode = &g_mode;
    return env;
}

std::vector<std::wstring> FontGuidelineCandidates(const std::wstring& name, const std::optional<std::wstring>& menuFace,
                                                  bool vistaOrLater) {
    std::vector<std::wstring> c;
    if (!name.empty()) c.push_back(name);
    if (menuFace) c.push_back(*menuFace);
    if (vistaOrLater) c.push_back(L"Segoe UI");
    c.push_back(L"Tahoma");
    c.push_back(L"MS Sans Serif");
    c.push_back(L"Arial");
    return c;
}

void FontGuidelineControlPass(TControl* C, const std::wstring& found, int quality, int charset, bool forced) {
    if (!C) return;
    if (!C->ParentFont() && (C->Tag() >= 0 || C->Height() <= 14)) {
        // The one step the guideline guards on its own: a control whose font cannot be changed
        // keeps what was set so far, and the walk goes on.
        try {
            TFont& f = C->Font();
            const std::wstring face = UpperText(f.Name());
            if (face.find(L"COURIER") == std::wstring::npos && face.find(L"WINGDINGS") == std::wstring::npos)
                f.SetName(found);
            f.SetQuality(static_cast<BYTE>(quality));
            f.SetCharset(static_cast<BYTE>(charset));
            if (forced && f.Size() == 8) f.SetSize(9);
        } catch (...) {
        }
    }
    // No chart controls in this framework: their axis, title and legend step has nothing to do.
    if (auto* w = dynamic_cast<TWinControl*>(C))
        for (int i = 0; i < w->ControlCount(); ++i) FontGuidelineControlPass(w->Controls(i), found, quality, charset, forced);
}

void FontGuidelineHeightPass(TControl* C) {
    if (!C) return;
    if (auto* label = dynamic_cast<TLabel*>(C)) {
        if (label->Font().Size() == 9 && !label->AutoSize() && label->Layout() == TTextLayout::tlTop) {
            const int textHeight = TDefaultFontSizes::TextHeight(label->Font());
            label->SetHeight(std::max(label->Height(), textHeight));
        }
        return;
    }
    // No edit fields or static texts in this framework; every other container is walked.
    if (auto* w = dynamic_cast<TWinControl*>(C))
        for (int i = 0; i < w->ControlCount(); ++i) FontGuidelineHeightPass(w->Controls(i));
}

std::optional<std::wstring> ApplyFontGuidelineIn(TControl* AControl, std::wstring name, int AQuality,
                                                 const TFontGuidelineEnvironment& env) {
    // 1-3: the face, character set and quality the parameters ask for.
    if (name.empty()) name = TrimBlanks(env.ParamValue(L"FONT"));
    if (name.empty()) name = TrimBlanks(env.ParamValue(L"$FONT"));
    if (name.empty()) name = env.DefaultFontName;
    int charset = ByteNumber(env.ParamValue(L"$FONTCHARSET"));
    if (AQuality < 0) AQuality = ByteNumber(env.ParamValue(L"$FONTQUALITY"));
    if (AQuality > 255) AQuality = -1;
    // 4: Segoe UI does not exist before Vista.
    if (!env.VistaOrLater && EqualNoCase(name, L"Segoe UI")) name = L"Tahoma";
    // 5: the first installed candidate.
    std::optional<std::wstring> found;
    for (const std::wstring& c : FontGuidelineCandidates(name, env.MenuFontFace(), env.VistaOrLater)) {
        if (env.IsInstalled(c)) {
            found = c;
            break;
        }
    }
    if (!found) return std::nullopt;
    // 6: the framework's default font.
    if (env.DefaultFont) {
        env.DefaultFont->Name = *found;
        if (AQuality >= 0) env.DefaultFont->Quality = static_cast<BYTE>(AQuality);
        if (charset >= 0) env.DefaultFont->Charset = static_cast<BYTE>(charset);
    }
    // 7
    if (AQuality < 0) AQuality = PROOF_QUALITY;
    if (charset < 0) charset = DEFAULT_CHARSET;
    // 8: decided once per process.
    int localMode = -1;
    int& mode = env.Mode ? *env.Mode : localMode;
    if (mode != 0 && mode != 1) mode = env.CheckParam(L"FORCE_FONT_GUIDELINE") && env.VistaOrLater ? 1 : 0;
    // 9, 10
    if (mode == 1) {
        if (env.DefaultFont) env.DefaultFont->Height = -12;
        FontGuidelineControlPass(AControl, *found, AQuality, charset, true);
        FontGuidelineHeightPass(AControl);
    } else {
        if (env.DefaultFont) env.DefaultFont->Height = -11;
        FontGuidelineControlPass(AControl, *found, AQuality, charset, false);
    }
    return found;
}

void ApplyFontGuideline(TControl* AControl, const std::wstring& AFontName, int AQuality) noexcept {
    // The guideline's one boundary: it never reports. What fails ends it there; the fonts keep
    // what was set so far.
    try {
        ApplyFontGuidelineIn(AControl, AFontName, AQuality, ProcessFontGuidelineEnvironment());
    } catch (...) {
    }
}

}  // namespace swt
