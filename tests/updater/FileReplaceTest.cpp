// Putting a file in place: the destination is always the old file or the new one, whole.
#include <gtest/gtest.h>

#include "tests/lockscan/Holder.h"
#include "tests/updater/UpdaterDriver.h"
#include "updater/FileReplace.h"

namespace swt {
// Outcomes by name in failure messages.
inline void PrintTo(TPlaceOutcome outcome, std::ostream* os) {
    static const char* const names[] = {"Placed", "AlreadyInPlace", "Held", "Failed"};
    *os << names[static_cast<int>(outcome)];
}
}  // namespace swt

namespace swt::test {
namespace {

// A path of more than 260 characters below dir, ending in name.
std::wstring LongPathIn(const TempDir& dir, const std::wstring& name) {
    std::wstring path = dir.path();
    for (wchar_t c = L'a'; path.size() < 300; ++c) path += L"\\" + std::wstring(50, c);
    return path + L"\\" + name;
}

TEST(PutFileInPlace, ReplacesThroughATemporaryFileAndCreatesMissingFolders) {
    TempDir dir;
    const std::wstring source = dir / L"new.bin";
    WriteFileBytes(source, "new content");
    struct Case {
        std::wstring dest;
        const char* before;  // null: no file there yet
    } cases[] = {
        {dir / L"dest.bin", "old"},
        {dir / L"dest2.bin", nullptr},
        {dir / L"a\\b\\c\\dest.bin", nullptr},  // a folder chain that does not exist yet
        {dir / L"a/b/../d/./dest.bin", nullptr},
        {LongPathIn(dir, L"dest.bin"), nullptr},  // past 260 characters
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.dest));
        const std::wstring dest = ExtendedPath(c.dest);  // how the test reads long paths back
        if (c.before) WriteFileBytes(dest, c.before);
        EXPECT_EQ(PutFileInPlace(source, c.dest).Outcome, TPlaceOutcome::Placed);
        EXPECT_EQ(ReadFileBytes(dest), "new content");
        EXPECT_FALSE(FileExists(ReplacementTempName(dest)));
        EXPECT_TRUE(FileExists(source));  // the source is the caller's to delete
    }
    EXPECT_EQ(ReadFileBytes(dir / L"a\\d\\dest.bin"), "new content");
}

TEST(PutFileInPlace, LeftoverOfAKilledRunIsReplacedAndRemoved) {
    TempDir dir;
    const std::wstring source = dir / L"new.bin", dest = dir / L"dest.bin";
    WriteFileBytes(source, "new content");
    WriteFileBytes(dest, "old");
    WriteFileBytes(ReplacementTempName(dest), "half");
    ::SetFileAttributesW(ReplacementTempName(dest).c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(PutFileInPlace(source, dest).Done());
    EXPECT_EQ(ReadFileBytes(dest), "new content");
    EXPECT_FALSE(FileExists(ReplacementTempName(dest)));
}

// Who holds the destination decides the way: a holder that shares write access but not delete
// refuses the rename and gets the plain copy; one that shares less keeps the old file whole. A
// temporary file that cannot be written never lets the new file reach the destination some other
// way.
TEST(PutFileInPlace, HoldersDecideBetweenRenameCopyAndWaiting) {
    struct Case {
        const wchar_t* access;
        const wchar_t* share;
        bool holdsTemp;  // the holder holds the temporary name instead of the destination
        TPlaceOutcome outcome;
    } cases[] = {
        {L"r", L"rwd", false, TPlaceOutcome::Placed},
        {L"r", L"rw", false, TPlaceOutcome::Placed},  // rename refused, copy over it
        {L"r", L"r", false, TPlaceOutcome::Held},
        {L"rw", L"0", false, TPlaceOutcome::Held},
        {L"rw", L"0", true, TPlaceOutcome::Failed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(std::wstring(c.access) + L"/" + c.share + (c.holdsTemp ? L" temp" : L"")));
        TempDir dir;
        const std::wstring source = dir / L"new.bin", dest = dir / L"dest.bin";
        const std::wstring temp = ReplacementTempName(dest);
        WriteFileBytes(source, "new content");
        WriteFileBytes(dest, "old");
        if (c.holdsTemp) WriteFileBytes(temp, "");
        {
            Holder holder({L"open", c.access, c.share, c.holdsTemp ? temp : dest});
            ASSERT_TRUE(holder.ready());
            EXPECT_EQ(PutFileInPlace(source, dest).Outcome, c.outcome);
        }
        EXPECT_EQ(ReadFileBytes(dest), c.outcome == TPlaceOutcome::Placed ? "new content" : "old");
        // Only a temporary file that is the holder's to keep is left.
        EXPECT_EQ(FileExists(temp), c.holdsTemp);
    }
}

TEST(PutFileInPlace, FailuresThatAreNoLockLeaveTheDestinationAndNoTemporaryFile) {
    TempDir dir;
    const std::wstring dest = dir / L"dest.bin", folder = dir / L"folder", source = dir / L"new.bin";
    WriteFileBytes(dest, "old");
    WriteFileBytes(source, "new");
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    struct Case {
        std::wstring source, dest;
        DWORD error;
    } cases[] = {
        {dir / L"missing.bin", dest, ERROR_FILE_NOT_FOUND},
        {source, L"", ERROR_INVALID_NAME},
        {source, folder, ERROR_ACCESS_DENIED},  // a folder is no file to replace
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.source + L" -> " + c.dest));
        const TPlaceResult result = PutFileInPlace(c.source, c.dest);
        EXPECT_EQ(result.Outcome, TPlaceOutcome::Failed);
        EXPECT_EQ(result.Error, c.error);
    }
    EXPECT_EQ(ReadFileBytes(dest), "old");
    EXPECT_TRUE(IsFolder(folder));
    EXPECT_FALSE(FileExists(ReplacementTempName(dest)));
    EXPECT_FALSE(FileExists(ReplacementTempName(folder)));
}

// The installed file named as its own source, in every spelling the system takes for it: it is in
// place already, and nothing is written.
TEST(PutFileInPlace, SourceThatIsTheDestinationUnderAnySpellingIsAlreadyInPlace) {
    TempDir dir;
    ASSERT_TRUE(::CreateDirectoryW((dir / L"Program Folder").c_str(), nullptr));
    const std::wstring installed = dir / L"Program Folder\\Installed Library.dll";
    WriteFileBytes(installed, "installed");
    wchar_t shortName[MAX_PATH] = {};
    ASSERT_GT(::GetShortPathNameW(installed.c_str(), shortName, MAX_PATH), 0u);
    std::wstring upper = installed;
    for (wchar_t& ch : upper) ch = static_cast<wchar_t>(::towupper(ch));
    std::wstring slashes = installed;
    for (wchar_t& ch : slashes)
        if (ch == L'\\') ch = L'/';
    const std::wstring spellings[] = {
        installed, upper, slashes, dir / L"Program Folder\\.\\..\\Program Folder\\Installed Library.dll",
        shortName, L"\\\\?\\" + installed,
    };
    for (const std::wstring& spelling : spellings) {
        SCOPED_TRACE(Narrow(spelling));
        EXPECT_TRUE(SameFile(spelling, installed));
        EXPECT_EQ(PutFileInPlace(spelling, installed).Outcome, TPlaceOutcome::AlreadyInPlace);
        EXPECT_EQ(PutFileInPlace(installed, spelling).Outcome, TPlaceOutcome::AlreadyInPlace);
        EXPECT_EQ(ReadFileBytes(installed), "installed");
        EXPECT_FALSE(FileExists(ReplacementTempName(installed)));
    }
    // Another file with the same content, and a file that does not exist, are not it.
    WriteFileBytes(dir / L"copy.dll", "installed");
    EXPECT_FALSE(SameFile(dir / L"copy.dll", installed));
    EXPECT_FALSE(SameFile(dir / L"missing.dll", dir / L"missing.dll"));
}

TEST(ExtendedPath, GivesTheFullPathInItsLongForm) {
    struct Case {
        std::wstring path, extended;
    } cases[] = {
        {L"C:\\App\\one.dll", L"\\\\?\\C:\\App\\one.dll"},
        {L"C:/App/./sub/../one.dll", L"\\\\?\\C:\\App\\one.dll"},
        {L"\\\\server\\share\\one.dll", L"\\\\?\\UNC\\server\\share\\one.dll"},
        {L"\\\\?\\C:\\App\\one.dll", L"\\\\?\\C:\\App\\one.dll"},
        {L"", L""},
    };
    for (const Case& c : cases) EXPECT_EQ(ExtendedPath(c.path), c.extended) << Narrow(c.path);
    wchar_t current[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, current);
    EXPECT_EQ(ExtendedPath(L"one.dll"), L"\\\\?\\" + std::wstring(current) + (current[3] ? L"\\" : L"") + L"one.dll");
}

}  // namespace
}  // namespace swt::test
