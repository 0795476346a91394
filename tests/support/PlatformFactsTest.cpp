// The language table, the metric snapshot, the version tests and the library start-up's facts.
#include <gtest/gtest.h>

#include "support/Languages.h"
#include "support/LibraryStartup.h"
#include "support/PrivateTemp.h"
#include "support/SystemMetric.h"
#include "tests/support/XProcsTestSupport.h"

namespace swt {
namespace {

TEST(Languages, BaseTable) {
    struct Case {
        int32_t primary;
        int32_t base;
    } cases[] = {
        {7, 70000},  {9, 71000},  {10, 72000}, {25, 73000}, {16, 74000}, {12, 75000}, {22, 76000},
        {19, 71000} /* Dutch */, {0, 71000}, {17, 71000} /* Japanese */, {0x3FF, 71000}, {-1, 71000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.primary);
        EXPECT_EQ(LanguageBaseFor(c.primary), c.base);
    }
}

TEST(SystemMetric, SnapshotMatchesTheSystem) {
    TSystemMetric m;
    EXPECT_EQ(m.MenuHeight(), ::GetSystemMetrics(SM_CYMENU));
    EXPECT_EQ(m.CaptionHeight(), ::GetSystemMetrics(SM_CYCAPTION));
    EXPECT_EQ(m.Border().x, ::GetSystemMetrics(SM_CXBORDER));
    EXPECT_EQ(m.Thumb().x, ::GetSystemMetrics(SM_CXHTHUMB));
    EXPECT_EQ(m.Thumb().y, ::GetSystemMetrics(SM_CYVTHUMB));
    EXPECT_EQ(m.HScroll().y, ::GetSystemMetrics(SM_CYHSCROLL));
    EXPECT_EQ(m.VScroll().x, ::GetSystemMetrics(SM_CXVSCROLL));
    EXPECT_EQ(m.IconSpacing().y, ::GetSystemMetrics(SM_CYICONSPACING));
    EXPECT_GT(m.Icon().x, 0);
    EXPECT_GT(m.ColorDepth(), 1);

    EXPECT_EQ(TSystemMetric::ColorCount(1), 2);
    EXPECT_EQ(TSystemMetric::ColorCount(8), 256);
    EXPECT_EQ(TSystemMetric::ColorCount(24), 16777216);
    EXPECT_EQ(TSystemMetric::ColorCount(30), 1 << 30);
    EXPECT_EQ(TSystemMetric::ColorCount(32), INT32_MAX);  // does not fit: the largest count
    EXPECT_EQ(TSystemMetric::ColorCount(0), 1);
}

TEST(SystemMetric, VersionTests) {
    int v = WindowsVersionValue();
    EXPECT_GE(v, 51);
    EXPECT_EQ(IsWindowsVistaOrLater(), v >= 60);
    EXPECT_EQ(IsWindows8OrLater(), v >= 62);
}

// The whole start-up and shutdown in this process (the variables are put back afterwards).
TEST(LibraryStartup, RecordsFactsAndForgetsThemAtShutdown) {
    test::SavedTempEnv saved;
    ::SetEnvironmentVariableW(L"ORIGIN_TEMP", nullptr);
    {
        XProcsLibrary lib;
        ASSERT_TRUE(XProcsLibrary::Started());
        ASSERT_NE(SystemMetric(), nullptr);
        EXPECT_EQ(SystemMetric()->MenuHeight(), ::GetSystemMetrics(SM_CYMENU));
        EXPECT_TRUE(IsWinNT());
        EXPECT_EQ(UserLanguage(), ::GetUserDefaultLangID() & 0x3FF);
        EXPECT_EQ(LanguageBase(), LanguageBaseFor(UserLanguage()));
        const std::wstring guid = StartupGuidText();
        ASSERT_EQ(guid.size(), 38u);
        EXPECT_EQ(guid.front(), L'{');
        EXPECT_EQ(guid[9], L'-');
        for (wchar_t c : guid) EXPECT_TRUE(!iswalpha(c) || iswupper(c)) << "upper-case hex digits";
        EXPECT_EQ(test::GetEnv(L"ORIGIN_TEMP"), TempFolderOrigin());
        {
            XProcsLibrary second;  // a second guard changes nothing
            EXPECT_EQ(StartupGuidText(), guid);
        }
        EXPECT_TRUE(XProcsLibrary::Started());
        EXPECT_EQ(StartupGuidText(), guid);
    }
    EXPECT_FALSE(XProcsLibrary::Started());
    EXPECT_EQ(SystemMetric(), nullptr);
    EXPECT_TRUE(StartupGuidText().empty());
    EXPECT_EQ(LanguageBase(), 0);
}

}  // namespace
}  // namespace swt
