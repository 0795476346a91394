// The font guideline on real windows: which controls take part, what they get, the forced mode's
// sizes and heights, the mode decided once, and the candidate faces. In-process cases use their
// own parameters and state; the program's own path (parameter list, screen fonts, menu font,
// process-wide mode) runs in a fixture process per case.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "xprocs/xProcs.h"
#include "tests/common/TestSupport.h"
#include "ui/Ui.h"

using namespace swt;

namespace {

// A window with one control per rule.
class TGuidelineForm : public TForm {
public:
    TGuidelineForm() : TForm(L"TGuidelineForm") {
        SetBorderStyle(TFormBorderStyle::bsNone);
        SetBounds(20, 20, 300, 300);
        Font().SetName(L"MS Sans Serif");
        Font().SetHeight(-11);
        Panel = Add<TPanel>();
        Panel->SetBounds(0, 0, 100, 41);
        InPanel = Panel->Add<TLabel>();
        PanelOwn = Add<TPanel>();
        PanelOwn->SetBounds(0, 50, 100, 41);
        PanelOwn->Font().SetName(L"Arial");
        InPanelOwn = PanelOwn->Add<TLabel>();
        Tall = OwnLabel(L"Arial", 21, -1);
        Small = OwnLabel(L"Arial", 14, -1);
        Courier = OwnLabel(L"Courier New", 13, 0);
        Wing = OwnLabel(L"Wingdings", 13, 0);
        Fixed = OwnLabel(L"Arial", 10, 0);
        Centre = OwnLabel(L"Arial", 10, 0);
        Centre->SetLayout(TTextLayout::tlCenter);
        Auto = OwnLabel(L"Arial", 10, 0);
        Auto->SetAutoSize(true);
        Big = OwnLabel(L"Arial", 10, 0);
        Big->Font().SetSize(12);
    }
    TPanel* Panel;
    TLabel* InPanel;
    TPanel* PanelOwn;
    TLabel* InPanelOwn;
    TLabel *Tall, *Small, *Courier, *Wing, *Fixed, *Centre, *Auto, *Big;

private:
    TLabel* OwnLabel(const wchar_t* face, int height, int tag) {
        auto* l = Add<TLabel>();
        l->SetAutoSize(false);
        l->SetCaption(L"09gjIJ");
        l->Font().SetName(face);
        l->Font().SetHeight(-11);  // 8 points
        l->Font().SetQuality(NONANTIALIASED_QUALITY);
        l->Font().SetCharset(ANSI_CHARSET);
        l->SetBounds(110, 20 * ControlCount(), 150, height);
        l->SetTag(tag);
        return l;
    }
};

struct FakeParams {
    std::map<std::wstring, std::wstring> values;
    std::vector<std::wstring> flags;
    std::vector<std::wstring> installed{L"Tahoma", L"MS Sans Serif", L"Arial", L"Segoe UI", L"Wingdings"};
    std::optional<std::wstring> menu = L"Tahoma";
    bool vista = true;
    int mode = -1;
    TFontData defaults;

    TFontGuidelineEnvironment Env() {
        TFontGuidelineEnvironment e;
        e.ParamValue = [this](const std::wstring& n) {
            auto it = values.find(n);
            return it == values.end() ? std::wstring() : it->second;
        };
        e.CheckParam = [this](const std::wstring& n) {
            return std::find(flags.begin(), flags.end(), n) != flags.end();
        };
        e.IsInstalled = [this](const std::wstring& f) {
            for (const auto& i : installed)
                if (_wcsicmp(i.c_str(), f.c_str()) == 0) return true;
            return false;
        };
        e.MenuFontFace = [this] { return menu; };
        e.VistaOrLater = vista;
        e.DefaultFont = &defaults;
        e.Mode = &mode;
        return e;
    }
};

// The face GDI actually selected for a control's font.
std::wstring RealizedFace(const TFont& f) {
    WindowDc dc(nullptr);
    SelectGuard sel(dc.get(), f.Handle());
    wchar_t face[LF_FACESIZE] = {};
    ::GetTextFaceW(dc.get(), LF_FACESIZE, face);
    return face;
}

}  // namespace

TEST(FontGuideline, ControlRulesNormalAndForced) {
    struct Expect {
        const char* what;
        TControl* (*pick)(TGuidelineForm&);
        const wchar_t* face;  // nullptr: keeps its own
        bool changed;         // quality and character set set
        int normalSize, forcedSize;
    };
    const Expect table[] = {
        {"the form itself", [](TGuidelineForm& f) -> TControl* { return &f; }, L"Tahoma", true, 8, 9},
        {"parent-font panel follows the form", [](TGuidelineForm& f) -> TControl* { return f.Panel; }, L"Tahoma", true, 8, 9},
        {"parent-font label two levels down", [](TGuidelineForm& f) -> TControl* { return f.InPanel; }, L"Tahoma", true, 8, 9},
        {"panel with its own font", [](TGuidelineForm& f) -> TControl* { return f.PanelOwn; }, L"Tahoma", true, 8, 9},
        {"label following that panel", [](TGuidelineForm& f) -> TControl* { return f.InPanelOwn; }, L"Tahoma", true, 8, 9},
        {"tag -1, 21 px: left alone", [](TGuidelineForm& f) -> TControl* { return f.Tall; }, nullptr, false, 8, 8},
        {"tag -1, 14 px: changed", [](TGuidelineForm& f) -> TControl* { return f.Small; }, L"Tahoma", true, 8, 9},
        {"Courier keeps its face", [](TGuidelineForm& f) -> TControl* { return f.Courier; }, nullptr, true, 8, 9},
        {"Wingdings keeps its face", [](TGuidelineForm& f) -> TControl* { return f.Wing; }, nullptr, true, 8, 9},
        {"12 points stay 12", [](TGuidelineForm& f) -> TControl* { return f.Big; }, L"Tahoma", true, 12, 12},
    };
    for (bool forced : {false, true}) {
        SCOPED_TRACE(forced ? "forced" : "normal");
        auto form = CreateForm<TGuidelineForm>();
        form->Show();
        std::vector<std::wstring> facesBefore;
        for (const Expect& e : table) facesBefore.push_back(e.pick(*form)->Font().Name());
        FakeParams p;
        if (forced) p.flags.push_back(L"FORCE_FONT_GUIDELINE");
        auto found = ApplyFontGuidelineIn(form.get(), L"", -1, p.Env());
        ASSERT_TRUE(found);
        EXPECT_EQ(*found, L"Tahoma") << "no parameters: the menu font's face";
        EXPECT_EQ(p.mode, forced ? 1 : 0);
        EXPECT_EQ(p.defaults.Name, L"Tahoma");
        EXPECT_EQ(p.defaults.Height, forced ? -12 : -11);
        EXPECT_EQ(p.defaults.Quality, DEFAULT_QUALITY) << "no quality parameter: the default keeps its own";
        for (size_t i = 0; i < std::size(table); ++i) {
            const Expect& e = table[i];
            SCOPED_TRACE(e.what);
            const TFont& f = e.pick(*form)->Font();
            EXPECT_EQ(f.Name(), e.face ? std::wstring(e.face) : facesBefore[i]);
            EXPECT_EQ(f.Quality(), e.changed ? PROOF_QUALITY : NONANTIALIASED_QUALITY) << "quality";
            EXPECT_EQ(f.Charset(), e.changed ? DEFAULT_CHARSET : ANSI_CHARSET) << "charset";
            EXPECT_EQ(f.Size(), forced ? e.forcedSize : e.normalSize) << "size";
        }
        // Parent-font controls still follow their parent afterwards.
        EXPECT_TRUE(form->InPanel->ParentFont());
        EXPECT_TRUE(form->InPanelOwn->ParentFont());
        // The window draws with the face GDI found for it.
        EXPECT_EQ(RealizedFace(form->Small->Font()), L"Tahoma");
        // Height pass: only a fixed-size, top-laid-out label grows to the sample text's height.
        const int sampleHeight = TDefaultFontSizes::TextHeight(form->Fixed->Font());
        EXPECT_GT(sampleHeight, 10);
        EXPECT_EQ(form->Fixed->Height(), forced ? sampleHeight : 10);
        EXPECT_EQ(form->Centre->Height(), 10) << "centred text is left alone";
        EXPECT_EQ(form->Tall->Height(), 21);
        EXPECT_EQ(form->Auto->Height(), form->Auto->TextExtent(-1).cy) << "auto-sized: its own size";
    }
}

TEST(FontGuideline, ModeIsDecidedOnce) {
    struct Case {
        const char* what;
        bool vista;
        bool firstForce, secondForce;
        int expectedMode;
    };
    const Case cases[] = {
        {"forced first, plain later: stays forced", true, true, false, 1},
        {"plain first, forced later: stays normal", true, false, true, 0},
        {"forcing before Vista has no effect", false, true, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeParams p;
        p.vista = c.vista;
        if (c.firstForce) p.flags = {L"FORCE_FONT_GUIDELINE"};
        auto a = CreateForm<TGuidelineForm>();
        ASSERT_TRUE(ApplyFontGuidelineIn(a.get(), L"", -1, p.Env()));
        EXPECT_EQ(p.mode, c.expectedMode);
        p.flags.clear();
        if (c.secondForce) p.flags = {L"FORCE_FONT_GUIDELINE"};
        auto b = CreateForm<TGuidelineForm>();
        b->Show();
        ASSERT_TRUE(ApplyFontGuidelineIn(b.get(), L"", -1, p.Env()));
        EXPECT_EQ(p.mode, c.expectedMode);
        EXPECT_EQ(b->Small->Font().Size(), c.expectedMode == 1 ? 9 : 8);
        EXPECT_EQ(p.defaults.Height, c.expectedMode == 1 ? -12 : -11);
    }
}

TEST(FontGuideline, FaceAndOptionsFromTheParameters) {
    struct Case {
        const char* what;
        std::wstring argName;
        std::map<std::wstring, std::wstring> values;
        std::optional<std::wstring> menu;
        bool vista;
        std::wstring expectedFace;
        int quality, charset;  // on the controls
        int defaultQuality, defaultCharset;
    };
    const Case cases[] = {
        {"menu font's face without parameters", L"", {}, L"Tahoma", true, L"Tahoma", 2, 1, 0, 1},
        {"FONT, trimmed", L"", {{L"FONT", L"  Arial "}}, L"Tahoma", true, L"Arial", 2, 1, 0, 1},
        {"$FONT when FONT is empty", L"", {{L"$FONT", L"MS Sans Serif"}}, L"Tahoma", true, L"MS Sans Serif", 2, 1, 0, 1},
        {"the argument before FONT", L"Arial", {{L"FONT", L"MS Sans Serif"}}, L"Tahoma", true, L"Arial", 2, 1, 0, 1},
        {"unknown face: the menu font's", L"", {{L"FONT", L"NoSuchFace"}}, L"Tahoma", true, L"Tahoma", 2, 1, 0, 1},
        {"Segoe UI before Vista becomes Tahoma", L"", {{L"FONT", L"segoe ui"}}, L"MS Sans Serif", false, L"Tahoma", 2, 1, 0, 1},
        {"Segoe UI on Vista stays", L"", {{L"FONT", L"Segoe UI"}}, L"Tahoma", true, L"Segoe UI", 2, 1, 0, 1},
        {"no menu font, Vista: Segoe UI", L"", {}, std::nullopt, true, L"Segoe UI", 2, 1, 0, 1},
        {"no menu font, before Vista: Tahoma", L"", {}, std::nullopt, false, L"Tahoma", 2, 1, 0, 1},
        {"quality and charset parameters", L"", {{L"$FONTQUALITY", L"5"}, {L"$FONTCHARSET", L"$EE"}}, L"Tahoma", true,
         L"Tahoma", 5, 238, 5, 238},
        {"charset above 255 or no number: ignored", L"", {{L"$FONTCHARSET", L"300"}, {L"$FONTQUALITY", L"x"}},
         L"Tahoma", true, L"Tahoma", 2, 1, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeParams p;
        p.values = c.values;
        p.menu = c.menu;
        p.vista = c.vista;
        auto form = CreateForm<TGuidelineForm>();
        auto found = ApplyFontGuidelineIn(form.get(), c.argName, -1, p.Env());
        ASSERT_TRUE(found);
        EXPECT_EQ(*found, c.expectedFace);
        EXPECT_EQ(form->Small->Font().Name(), c.expectedFace);
        EXPECT_EQ(form->Small->Font().Quality(), c.quality);
        EXPECT_EQ(form->Small->Font().Charset(), c.charset);
        EXPECT_EQ(p.defaults.Name, c.expectedFace);
        EXPECT_EQ(p.defaults.Quality, c.defaultQuality);
        EXPECT_EQ(p.defaults.Charset, c.defaultCharset);
    }
    // An explicit quality wins over the parameter and goes into the default font.
    FakeParams p;
    p.values = {{L"$FONTQUALITY", L"5"}};
    auto form = CreateForm<TGuidelineForm>();
    ApplyFontGuidelineIn(form.get(), L"", NONANTIALIASED_QUALITY, p.Env());
    EXPECT_EQ(form->Small->Font().Quality(), NONANTIALIASED_QUALITY);
    EXPECT_EQ(p.defaults.Quality, NONANTIALIASED_QUALITY);
}

TEST(FontGuideline, NoInstalledCandidateChangesNothing) {
    FakeParams p;
    p.installed.clear();
    auto form = CreateForm<TGuidelineForm>();
    EXPECT_FALSE(ApplyFontGuidelineIn(form.get(), L"Arial", -1, p.Env()));
    EXPECT_EQ(p.mode, -1);
    EXPECT_EQ(form->Small->Font().Name(), L"Arial");
    EXPECT_EQ(form->Small->Font().Quality(), NONANTIALIASED_QUALITY);
    EXPECT_EQ(p.defaults.Name, TFontData().Name);
}

TEST(FontGuideline, CandidateOrder) {
    using V = std::vector<std::wstring>;
    EXPECT_EQ(FontGuidelineCandidates(L"X", L"M", true), (V{L"X", L"M", L"Segoe UI", L"Tahoma", L"MS Sans Serif", L"Arial"}));
    EXPECT_EQ(FontGuidelineCandidates(L"", std::nullopt, false), (V{L"Tahoma", L"MS Sans Serif", L"Arial"}));
}

TEST(TextHeight, MeasuredOncePerFaceAndSize) {
    // Sizes no other case of this process measures.
    TFont a;
    a.SetName(L"Tahoma");
    a.SetSize(23);
    const int before = TDefaultFontSizes::Measurements();
    const int h = TDefaultFontSizes::TextHeight(a);
    EXPECT_GT(h, 0);
    TFont b;
    b.SetName(L"TAHOMA");  // same key: the face is compared in upper case
    b.SetSize(23);
    b.SetStyle(fsBold);
    EXPECT_EQ(TDefaultFontSizes::TextHeight(b), h);
    EXPECT_EQ(TDefaultFontSizes::Measurements(), before + 1);
    b.SetSize(31);
    EXPECT_GT(TDefaultFontSizes::TextHeight(b), h);
    EXPECT_EQ(TDefaultFontSizes::Measurements(), before + 2);
    EXPECT_EQ(TDefaultFontSizeItem::Create(L"Segoe UI", 9), (TDefaultFontSizeItem{L"SEGOE UI", 9}));
}

// ---------------------------------------------------------------- the program's own path

namespace {

std::map<std::string, std::string> RunProbe(const std::wstring& args, const wchar_t* exe = L"guideline_probe.exe") {
    test::TempDir dir;
    const std::wstring out = dir / L"probe.txt";
    const DWORD rc = test::Run(test::BinPath(exe), L"\"/OUT:" + out + L"\" " + args, 60000);
    EXPECT_EQ(rc, 0u);
    std::map<std::string, std::string> r;
    std::istringstream in(test::ReadFileBytes(out));
    for (std::string line; std::getline(in, line);) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos) r[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return r;
}

}  // namespace

TEST(FontGuideline, ProgramPathWithItsParameters) {
    // Each line: face|height|size|quality|charset. The menu font under Wine is Tahoma.
    struct Case {
        const char* what;
        std::wstring args;
        std::string mode, own, ownHeight, defaults, second, secondHeight;
    };
    const Case cases[] = {
        {"no parameters", L"", "0", "Tahoma|-11|8|2|1", "10", "Tahoma|-11|8|0|1", "Tahoma|-11|8|2|1", "10"},
        {"/FONT:NoSuchFace falls back to the menu font", L"/FONT:NoSuchFace", "0", "Tahoma|-11|8|2|1", "10",
         "Tahoma|-11|8|0|1", "Tahoma|-11|8|2|1", "10"},
        {"/FONT naming an installed face", L"\"/FONT:MS Sans Serif\"", "0", "MS Sans Serif|-11|8|2|1", "10",
         "MS Sans Serif|-11|8|0|1", "MS Sans Serif|-11|8|2|1", "10"},
        {"forced: 9 points, heights fit, second window too", L"/FORCE_FONT_GUIDELINE", "1", "Tahoma|-12|9|2|1", "14",
         "Tahoma|-12|9|0|1", "Tahoma|-12|9|2|1", "14"},
        {"quality and charset", L"/$FONTQUALITY:3 /$FONTCHARSET:0", "0", "Tahoma|-11|8|3|0", "10", "Tahoma|-11|8|3|0",
         "Tahoma|-11|8|3|0", "10"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto r = RunProbe(c.args);
        EXPECT_EQ(r["modeBefore"], "-1");
        EXPECT_EQ(r["menu"], "Tahoma");
        EXPECT_EQ(r["mode"], c.mode);
        EXPECT_EQ(r["own"], c.own);
        EXPECT_EQ(r["inherited"], c.own) << "parent-font label follows the window";
        EXPECT_EQ(r["ownHeight"], c.ownHeight);
        EXPECT_EQ(r["default"], c.defaults);
        EXPECT_EQ(r["second"], c.second);
        EXPECT_EQ(r["secondHeight"], c.secondHeight);
    }
}

TEST(FontGuideline, UpdaterBuildChangesNothing) {
    // The same windows and parameters in a program of the updater's build: fonts stay as designed.
    auto r = RunProbe(L"\"/FONT:MS Sans Serif\" /FORCE_FONT_GUIDELINE /$FONTQUALITY:3", L"guideline_probe_off.exe");
    EXPECT_EQ(r.count("mode"), 0u);
    EXPECT_EQ(r["form"], "MS Sans Serif|-11|8|0|1");
    EXPECT_EQ(r["own"], "Arial|-11|8|0|1");
    EXPECT_EQ(r["inherited"], "MS Sans Serif|-11|8|0|1");
    EXPECT_EQ(r["ownHeight"], "10");
    EXPECT_EQ(r["default"], "Tahoma|-11|8|0|1");
}
