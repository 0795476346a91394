// Display scaling: percentages from the screen's resolution, Scale/ScaleOwn/Unscale with the
// platform's rounding, EffectivePercent of descendants, the class test of SetScalePercent and the
// percentage kept in a real registry key.
#include <gtest/gtest.h>
#include <windows.h>

#include "components/kx_Scale.h"
#include "base/Error.h"
#include "base/UniqueHandle.h"

using namespace swt;

namespace {

// A scaler that may set its percentage (the work scaler itself may not).
class TDerivedScaler : public Tkx_ScalerWork {
public:
    TDerivedScaler() : Tkx_ScalerWork(true) {}
    explicit TDerivedScaler(int percent) : Tkx_ScalerWork(true) { ScalePercent = percent; }
};

// Every case leaves the work scaler's percentage and the stored value as it found them.
class ScaleTest : public ::testing::Test {
protected:
    void SetUp() override { saved_ = GetWorkScaler()->ScalePercent; }
    void TearDown() override {
        GetWorkScaler()->SetPercent(saved_);
        HKEY key = nullptr;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, (std::wstring(kScalingRegistryBase) + kScalingRegistryKey).c_str(), 0,
                            KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            ::RegDeleteValueW(key, L"{17DFC259-3EAB-48FB-9556-50F656EFDD8D}");
            ::RegCloseKey(key);
        }
    }
    static void StoreText(const std::wstring& text) {
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER,
                                    (std::wstring(kScalingRegistryBase) + kScalingRegistryKey).c_str(), 0, nullptr, 0,
                                    KEY_SET_VALUE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        ::RegSetValueExW(key, L"{17DFC259-3EAB-48FB-9556-50F656EFDD8D}", 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(text.c_str()), static_cast<DWORD>((text.size() + 1) * 2));
        ::RegCloseKey(key);
    }
    int saved_ = 100;
};

TEST_F(ScaleTest, PercentFromScreenResolution) {
    struct Case { int dpi, percent; };
    for (const Case c : {Case{96, 100}, {120, 125}, {144, 150}, {192, 200}, {110, 115}})
        EXPECT_EQ(Tkx_ScalerWork::PercentFromDpi(c.dpi), c.percent) << c.dpi;
    // The work scaler measures the real screen (96 pixels per inch in the test prefix).
    WindowDc screen(nullptr);
    EXPECT_EQ(Tkx_ScalerWork(true).ScalePercent, Tkx_ScalerWork::PercentFromDpi(::GetDeviceCaps(screen.get(), LOGPIXELSY)));
}

TEST_F(ScaleTest, WorkScalerLengthsAtCommonResolutions) {
    struct Case { int percent, value, scaled, unscaled; bool isScaled; };
    const Case cases[] = {
        {100, 16, 16, 16, false},   // 96 dpi: unchanged
        {125, 16, 20, 13, true},    // 120 dpi
        {125, 18, 23, 14, true},    // 22.5 goes up
        {125, 8, 10, 6, true},
        {150, 150, 225, 100, true}, // 144 dpi: Unscale(150) = 100
        {150, -3, -5, -2, true},    // MulDiv rounds halves away from zero
    };
    Tkx_ScalerWork* work = GetWorkScaler();
    for (const Case& c : cases) {
        work->SetPercent(c.percent);
        EXPECT_EQ(work->IsScaled(), c.isScaled) << c.percent;
        EXPECT_EQ(work->Scale(c.value), c.scaled) << c.percent << " " << c.value;
        EXPECT_EQ(work->ScaleOwn(c.value), c.scaled) << c.percent << " " << c.value;
        EXPECT_EQ(work->Unscale(c.value), c.unscaled) << c.percent << " " << c.value;
    }
}

TEST_F(ScaleTest, DescendantScalesRelativeToTheWorkScaler) {
    struct Case { int work, own, effective; };
    // 187.5 and 62.5 go to the even neighbour.
    for (const Case c : {Case{125, 150, 188}, {125, 50, 62}, {100, 100, 100}, {150, 100, 150}, {125, 130, 162}}) {
        GetWorkScaler()->SetPercent(c.work);
        TDerivedScaler d(c.own);
        EXPECT_EQ(d.EffectivePercent(), c.effective) << c.work << " x " << c.own;
        EXPECT_EQ(d.Scale(100), c.effective);
        EXPECT_EQ(d.ScaleOwn(100), c.own);
    }
}

TEST_F(ScaleTest, OnlyDescendantsMaySetTheirPercent) {
    Tkx_ScalerWork* work = GetWorkScaler();
    work->SetPercent(125);
    try {
        work->SetScalePercent(175);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), L"ScalePercent darf nur in Ableitungen gesetzt werden");
    }
    EXPECT_EQ(work->ScalePercent, 125);
    TDerivedScaler d;
    d.SetScalePercent(175);
    EXPECT_EQ(d.ScalePercent, 175);
}

TEST_F(ScaleTest, PercentSavedAndLoadedThroughTheRegistry) {
    TDerivedScaler saver(140);
    saver.SaveToRegistry();
    TDerivedScaler loader(100);
    loader.LoadFromRegistry();
    EXPECT_EQ(loader.ScalePercent, 140);

    // Stored text that is no number, or no value at all, keeps the current percentage.
    for (const wchar_t* bad : {L"abc", L"", L"12x", L"99999999999"}) {
        StoreText(bad);
        TDerivedScaler d(117);
        d.LoadFromRegistry();
        EXPECT_EQ(d.ScalePercent, 117) << bad;
    }
    StoreText(L" 90");
    TDerivedScaler spaced(100);
    spaced.LoadFromRegistry();
    EXPECT_EQ(spaced.ScalePercent, 90);

    // The work scaler itself cannot load: loading ends in SetScalePercent's class test.
    EXPECT_THROW(GetWorkScaler()->LoadFromRegistry(), Error);
}

TEST_F(ScaleTest, UnitStartupAndShutdownOwnTheClassState) {
    {
        KxScaleUnit unit;
        ASSERT_NE(Tkx_Scaler::TScaleClasses, nullptr);
        EXPECT_EQ(Tkx_Scaler::TScaleClasses->Percent, 100);
        KxScaleUnit second;  // does nothing
        EXPECT_NE(GetWorkScaler(), nullptr);
    }
    EXPECT_EQ(Tkx_Scaler::TScaleClasses, nullptr);
    // A new work scaler measures the screen again.
    EXPECT_EQ(GetWorkScaler()->ScalePercent, Tkx_ScalerWork(true).ScalePercent);
    saved_ = GetWorkScaler()->ScalePercent;
}

}  // namespace
