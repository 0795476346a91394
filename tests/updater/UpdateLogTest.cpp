// The log's line format and its file behaviour, on real files.
#include <gtest/gtest.h>

#include "tests/common/TestSupport.h"
#include "updater/UpdateLog.h"

namespace {

using swt::test::ReadFileBytes;
using swt::test::TempDir;

SYSTEMTIME At(WORD y, WORD mo, WORD d, WORD h, WORD mi, WORD s, WORD ms) {
    SYSTEMTIME t{};
    t.wYear = y, t.wMonth = mo, t.wDay = d, t.wHour = h, t.wMinute = mi, t.wSecond = s, t.wMilliseconds = ms;
    return t;
}

TEST(UpdateLogFormat, FieldsAreFollowedByBlankAndTabTheTextByABlank) {
    struct Case {
        SYSTEMTIME time;
        wchar_t sep;
        const wchar_t* category;
        int level;
        const wchar_t* text;
        const wchar_t* line;
    } cases[] = {
        {At(2024, 3, 5, 14, 7, 9, 45), L':', L"ExternUpdate", 0, L"START read depended Prozesses",
         L"2024-03-05 14:07:09,045  \tExternUpdate \t0 \tSTART read depended Prozesses "},
        {At(999, 12, 31, 0, 0, 0, 0), L'.', L"c", -12, L"",
         L"0999-12-31 00.00.00,000  \tc \t-12 \t "},
        {At(2031, 1, 1, 23, 59, 59, 999), L':', L"", 7, L"OKAY COPY a -> b",
         L"2031-01-01 23:59:59,999  \t \t7 \tOKAY COPY a -> b "},
    };
    for (const Case& c : cases)
        EXPECT_EQ(swt::FormatLogLine(c.time, c.sep, c.category, c.level, c.text), c.line);
}

TEST(UpdateLogFile, CreatesAppendsAndNeverEmptiesAnExistingLog) {
    TempDir dir;
    const std::wstring log = dir / L"update.log";
    swt::AppendLogLine(log, L"first");
    EXPECT_EQ(ReadFileBytes(log), "first\r\n");

    swt::test::WriteFileBytes(log, "older content without line end");
    swt::AppendLogLine(log, L"second");
    swt::AppendLogLine(log, L"third");
    EXPECT_EQ(ReadFileBytes(log), "older content without line endsecond\r\nthird\r\n");
}

TEST(UpdateLogFile, ConvertsToTheAnsiCodePageWithItsDefaultCharacter) {
    TempDir dir;
    const std::wstring log = dir / L"ansi.log";
    // U+4E2D is in no single-byte code page; the conversion's default character takes its place.
    const std::wstring text = L"OKAY COPY C:\\\x4E2D.dll";
    swt::AppendLogLine(log, text);
    char expected[64];
    BOOL usedDefault = FALSE;
    int n = ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), expected, 64, nullptr,
                                  &usedDefault);
    EXPECT_TRUE(usedDefault);
    EXPECT_EQ(ReadFileBytes(log), std::string(expected, static_cast<size_t>(n)) + "\r\n");
    EXPECT_EQ(ReadFileBytes(log).find('\0'), std::string::npos);
}

TEST(UpdateLogFile, PathsItCannotUseLoseTheLineQuietly) {
    TempDir dir;
    const std::wstring missingFolder = dir / L"no such folder\\update.log";
    swt::AppendLogLine(missingFolder, L"lost");
    EXPECT_FALSE(swt::test::FileExists(missingFolder));
    swt::AppendLogLine(L"", L"lost");
    swt::AppendLogLine(dir.path(), L"a folder is no log");  // names the folder itself
    EXPECT_EQ(::GetFileAttributesW(dir.path().c_str()) & FILE_ATTRIBUTE_DIRECTORY,
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
}

TEST(UpdateLogFile, PathsOutsideTheAnsiCodePageAndPast259CharactersAreWritten) {
    TempDir dir;
    const std::wstring unicodeFolder = dir / L"\x65E5\x5FD7";
    ASSERT_TRUE(::CreateDirectoryW(unicodeFolder.c_str(), nullptr));
    swt::AppendLogLine(unicodeFolder + L"\\log.txt", L"line");
    EXPECT_EQ(ReadFileBytes(unicodeFolder + L"\\log.txt"), "line\r\n");

    std::wstring deep = dir.path();
    while (deep.size() < 300) {
        deep += L"\\" + std::wstring(40, L'd');
        ASSERT_TRUE(::CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr));
    }
    const std::wstring longLog = deep + L"\\update.log";
    ASSERT_GT(longLog.size(), 259u);
    swt::AppendLogLine(longLog, L"long");
    EXPECT_EQ(ReadFileBytes(L"\\\\?\\" + longLog), "long\r\n");
    // Clean up through the long form: the ordinary calls cannot reach it.
    ::DeleteFileW((L"\\\\?\\" + longLog).c_str());
    while (deep.size() > dir.path().size()) {
        ::RemoveDirectoryW((L"\\\\?\\" + deep).c_str());
        deep.resize(deep.find_last_of(L'\\'));
    }
}

}  // namespace
