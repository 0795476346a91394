// The private temporary folder inside this process: what may be deleted, writing TempFolder.
#include <gtest/gtest.h>

#include "base/Error.h"
#include "support/PrivateTemp.h"
#include "tests/support/XProcsTestSupport.h"

namespace swt {
namespace {

// Start-up records a GUID and may set ORIGIN_TEMP: both are undone at scope end.
struct StartedTempFolders {
    test::SavedTempEnv saved;
    StartedTempFolders() { TempFoldersStartup(false); }
    ~StartedTempFolders() { TempFoldersShutdown(); }
};

TEST(PrivateTempFolder, OnlyThisRunsGuidFolderIsEverDeleted) {
    StartedTempFolders started;
    test::TempDir dir;
    const std::wstring guid = StartupGuidText();
    const std::wstring other = test::NewGuidText();
    struct Case {
        const char* name;
        std::wstring folder;
        bool deleted;
    } cases[] = {
        {"user folder", dir / L"user", false},
        {"another run's folder", dir / other, false},
        {"guid as a prefix of the name", dir / (guid + L"x"), false},
        {"guid higher up the path", dir / (guid + L"\\inner"), false},
        {"this run's folder", dir / guid, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ::CreateDirectoryW(test::ParentOf(c.folder).c_str(), nullptr);
        ::CreateDirectoryW(c.folder.c_str(), nullptr);
        ::CreateDirectoryW((c.folder + L"\\sub").c_str(), nullptr);
        test::WriteFileBytes(c.folder + L"\\a.txt", "a");
        test::WriteFileBytes(c.folder + L"\\sub\\b.txt", "b");
        ::SetFileAttributesW(c.folder.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
        EXPECT_EQ(IsOwnPrivateTempFolder(c.folder + L"\\"), c.deleted);
        DeletePrivateTempFolder(c.folder + L"\\");
        EXPECT_EQ(test::FileExists(c.folder + L"\\sub\\b.txt"), !c.deleted);
        EXPECT_EQ(test::IsFolder(c.folder), !c.deleted);
    }
    DeletePrivateTempFolder(L"");
    DeletePrivateTempFolder(L"\\");
    DeletePrivateTempFolder(guid);  // relative: no folder separator before the GUID
}

TEST(PrivateTempFolder, NothingIsOwnedBeforeStartup) {
    TempFoldersShutdown();
    EXPECT_FALSE(IsOwnPrivateTempFolder(L"C:\\x\\{00000000-0000-0000-0000-000000000000}\\"));
}

TEST(TempFolderProperty, WritingTakesAnExistingFolderOnly) {
    StartedTempFolders started;
    test::TempDir dir;
    try {
        SetTempFolder(dir / L"missing");
        ADD_FAILURE() << "no error for a missing folder";
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), L"Verzeichnis " + (dir / L"missing") + L"\\ ist nicht vorhanden");
    }
    EXPECT_THROW(SetTempFolder(L""), Error);
    EXPECT_THROW(SetTempFolder(L"\"\""), Error);

    ::SetEnvironmentVariableW(L"SWT_TEST_DIR", dir.path().c_str());
    SetTempFolder(L" \"%SWT_TEST_DIR%\" ");
    const std::wstring want = dir.path() + L"\\";
    EXPECT_EQ(TempFolder(), want);
    EXPECT_EQ(test::GetEnv(L"TEMP"), want);
    EXPECT_EQ(test::GetEnv(L"TMP"), want);
    EXPECT_NE(TempFolderOrigin(), want);  // the origin is the chain's, not this one
    ::SetEnvironmentVariableW(L"SWT_TEST_DIR", nullptr);
}

}  // namespace
}  // namespace swt
