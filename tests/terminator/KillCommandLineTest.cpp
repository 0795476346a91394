// The terminator's command line: which parameter is read, the display name, and the window form.
#include <gtest/gtest.h>

#include "base/CommandLine.h"
#include "terminator/KillCommandLine.h"
#include "tests/common/TestSupport.h"

namespace {

struct Case {
    const wchar_t* commandLine;
    bool readable;
    bool byWindow;
    int32_t value;
    const wchar_t* name;
};

TEST(KillCommandLine, ReadsTheFormsAndTheDisplayName) {
    const Case cases[] = {
        {L"Endwatch.exe 1234", true, true, 1234, L"Veltra"},
        {L"Endwatch.exe $1A2B", true, true, 0x1A2B, L"Veltra"},
        {L"Endwatch.exe -1", true, true, -1, L"Veltra"},
        {L"Endwatch.exe 0 1234 Name", true, false, 1234, L"Name"},
        {L"Endwatch.exe not-read 0x10 Name", true, false, 16, L"Name"},
        {L"Endwatch.exe 0 1234", true, false, 1234, L"Veltra"},
        {L"Endwatch.exe 0 1234 \"  Mein Programm \t\"", true, false, 1234, L"Mein Programm"},
        {L"Endwatch.exe 0 1234 \"  \"", true, false, 1234, L"Veltra"},
        {L"Endwatch.exe 0 1234 Name more params", true, false, 1234, L"Name"},
        {L"Endwatch.exe 0 \" 77\" Äpfel", true, false, 77, L"Äpfel"},
        {L"Endwatch.exe", false},
        {L"Endwatch.exe abc", false},
        {L"Endwatch.exe 0 12a Name", false},
        {L"Endwatch.exe 0 \"\" Name", false},
        {L"Endwatch.exe 12 3.5", false},
        // Backslashes are plain characters: a quoted folder ending in one takes nothing with it.
        {LR"(Endwatch.exe "C:\App\" 1234 Name)", true, false, 1234, L"Name"},
        {LR"("C:\Program Files\Endwatch\Endwatch.exe" "C:\App\" 1234 "C:\Daten\")", true, false, 1234, LR"(C:\Daten\)"},
        {LR"(Endwatch.exe "C:\App\\" 1234 Name)", true, false, 1234, L"Name"},
        {LR"(Endwatch.exe "C:\App\" "1234" "Mein Name\")", true, false, 1234, LR"(Mein Name\)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.commandLine)));
        const auto args = swt::ParseKillArgs(swt::SplitPlainCommandLine(c.commandLine));
        ASSERT_EQ(args.has_value(), c.readable);
        if (!args) continue;
        EXPECT_EQ(args->byWindow, c.byWindow);
        EXPECT_EQ(args->value, c.value);
        EXPECT_EQ(args->displayName, c.name);
    }
}

// The plain rule itself: blanks separate, double quotes group and are removed, nothing escapes.
TEST(KillCommandLine, PlainRuleSplitsAtBlanksOutsideQuotesAndKeepsBackslashes) {
    const struct {
        const wchar_t* commandLine;
        std::vector<std::wstring> args;
    } cases[] = {
        {L"", {}},
        {L"   \t ", {}},
        {L"a b\tc", {L"a", L"b", L"c"}},
        {L"  a   b  ", {L"a", L"b"}},
        {LR"("C:\App\" 1234 Name)", {LR"(C:\App\)", L"1234", L"Name"}},
        {LR"(C:\App\ "x y")", {LR"(C:\App\)", L"x y"}},
        {LR"(a\"b c" d)", {LR"(a\b c)", L"d"}},
        {LR"(pre"mid dle"post x)", {L"premid dlepost", L"x"}},
        {LR"(a "" b)", {L"a", L"", L"b"}},
        {LR"(a "unclosed b)", {L"a", L"unclosed b"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.commandLine)));
        EXPECT_EQ(swt::SplitPlainCommandLine(c.commandLine), c.args);
    }
}

TEST(KillCommandLine, WindowFormWatchesTheWindowsOwner) {
    const std::wstring caption = L"EndwatchOwner-" + swt::test::NewGuidText();
    swt::test::Child owner = swt::test::Start(swt::test::BinPath(L"EndwatchFixture.exe"),
                                              L"window \"" + caption + L"\" 30000");
    HWND window = nullptr;
    for (int i = 0; i < 300 && !window; ++i) {
        window = ::FindWindowW(nullptr, caption.c_str());
        if (!window) ::Sleep(50);
    }
    ASSERT_NE(window, nullptr);
    swt::TKillArgs args;
    args.byWindow = true;
    args.value = static_cast<int32_t>(reinterpret_cast<intptr_t>(window));
    EXPECT_EQ(swt::ResolveProcessId(args), owner.pid);

    args.byWindow = false;
    args.value = 4321;
    EXPECT_EQ(swt::ResolveProcessId(args), 4321u);
    ::TerminateProcess(owner.process.get(), 1);
}

TEST(KillCommandLine, WindowThatDoesNotExistGivesProcessIdZero) {
    swt::TKillArgs args;
    args.byWindow = true;
    args.value = 0x7FFFFF01;
    EXPECT_EQ(swt::ResolveProcessId(args), 0u);
    args.value = 0;
    EXPECT_EQ(swt::ResolveProcessId(args), 0u);
}

}  // namespace
