// Putting a file in place: the destination is always the old file or the new one, whole.
#include <gtest/gtest.h>

#include "tests/lockscan/Holder.h"
#include "tests/updater/UpdaterDriver.h"
#include "updater/FileReplace.h"

namespace swt::test {
namespace {

TEST(PutFileInPlace, ReplacesThroughATemporaryFileAndCreatesMissingFolders) {
    TempDir dir;
    const std::wstring source = dir / L"new.bin";
    WriteFileBytes(source, "new content");
    struct Case {
        const wchar_t* dest;
        const char* before;  // null: no file there yet
    } cases[] = {
        {L"dest.bin", "old"},
        {L"dest2.bin", nullptr},
        {L"a\\b\\c\\dest.bin", nullptr},  // a folder chain that does not exist yet
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.dest));
        const std::wstring dest = dir / c.dest;
        if (c.before) WriteFileBytes(dest, c.before);
        EXPECT_TRUE(PutFileInPlace(source, dest));
        EXPECT_EQ(ReadFileBytes(dest), "new content");
        EXPECT_FALSE(FileExists(ReplacementTempName(dest)));
        EXPECT_TRUE(FileExists(source));  // the source is the caller's to delete
    }
}

TEST(PutFileInPlace, LeftoverOfAKilledRunIsReplacedAndRemoved) {
    TempDir dir;
    const std::wstring source = dir / L"new.bin", dest = dir / L"dest.bin";
    WriteFileBytes(source, "new content");
    WriteFileBytes(dest, "old");
    WriteFileBytes(ReplacementTempName(dest), "half");
    ::SetFileAttributesW(ReplacementTempName(dest).c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(PutFileInPlace(source, dest));
    EXPECT_EQ(ReadFileBytes(dest), "new content");
    EXPECT_FALSE(FileExists(ReplacementTempName(dest)));
}

// Who holds the destination decides the way: a holder that shares write access but not delete
// refuses the rename and gets the plain copy; one that shares nothing keeps the old file whole.
TEST(PutFileInPlace, HoldersDecideBetweenRenameCopyAndWaiting) {
    struct Case {
        const wchar_t* access;
        const wchar_t* share;
        bool replaced;
    } cases[] = {
        {L"r", L"rwd", true},
        {L"r", L"rw", true},  // rename refused, copy over it
        {L"r", L"r", false},
        {L"rw", L"0", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(std::wstring(c.access) + L"/" + c.share));
        TempDir dir;
        const std::wstring source = dir / L"new.bin", dest = dir / L"dest.bin";
        WriteFileBytes(source, "new content");
        WriteFileBytes(dest, "old");
        {
            Holder holder({L"open", c.access, c.share, dest});
            ASSERT_TRUE(holder.ready());
            EXPECT_EQ(PutFileInPlace(source, dest), c.replaced);
        }
        EXPECT_EQ(ReadFileBytes(dest), c.replaced ? "new content" : "old");
        EXPECT_FALSE(FileExists(ReplacementTempName(dest)));
    }
}

TEST(PutFileInPlace, FailuresLeaveNoTemporaryFile) {
    TempDir dir;
    const std::wstring dest = dir / L"dest.bin";
    WriteFileBytes(dest, "old");
    EXPECT_FALSE(PutFileInPlace(dir / L"missing.bin", dest));
    EXPECT_FALSE(PutFileInPlace(dir / L"missing.bin", L""));
    WriteFileBytes(dir / L"new.bin", "new");
    ASSERT_TRUE(::CreateDirectoryW((dir / L"folder").c_str(), nullptr));
    EXPECT_FALSE(PutFileInPlace(dir / L"new.bin", dir / L"folder"));  // a folder is no file to replace
    EXPECT_EQ(ReadFileBytes(dest), "old");
    EXPECT_FALSE(FileExists(ReplacementTempName(dest)));
    EXPECT_FALSE(FileExists(ReplacementTempName(dir / L"folder")));
}

}  // namespace
}  // namespace swt::test
