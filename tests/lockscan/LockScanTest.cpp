// GetLockingProcesses against real processes holding real files and libraries.
#include <gtest/gtest.h>

#include "lockscan/FileInUse_Tools.h"
#include "tests/lockscan/Holder.h"

namespace swt::test {
namespace {


std::string Show(const std::wstring& s) { return testing::PrintToString(s); }

std::string Show(const TProcessLockList* list) {
    if (!list) return "none";
    std::string out;
    for (size_t i = 0; i < list->Count(); ++i)
        out += "\n  pid " + std::to_string((*list)[i].ProcessId) + " " + Show((*list)[i].FileName) + " " +
               Show((*list)[i].ProcessPath);
    return out;
}

TEST(LockingProcesses, FindsHolderOncePerHandleWhateverItsShareMode) {
    TempDir dir;
    struct Case {
        const wchar_t* access;
        const wchar_t* share;
        int handles;
    };
    const Case cases[] = {{L"r", L"0", 1},  {L"r", L"r", 1},  {L"rw", L"w", 1}, {L"r", L"d", 1},
                          {L"r", L"rw", 1}, {L"r", L"rd", 1}, {L"w", L"wd", 1}, {L"r", L"rwd", 1},
                          {L"0", L"0", 1},  {L"r", L"rw", 3}};
    std::vector<std::wstring> actions;
    std::vector<std::wstring> paths;
    int n = 0;
    for (const Case& c : cases) {
        std::wstring path = dir / (L"held" + std::to_wstring(n++) + L".dat");
        WriteFileBytes(path, "held");
        paths.push_back(path);
        for (int h = 0; h < c.handles; ++h) actions.insert(actions.end(), {L"open", c.access, c.share, path});
    }
    Holder holder(actions);
    ASSERT_TRUE(holder.ready());
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(testing::Message() << "access " << Show(c.access) << " share " << Show(c.share) << " handles "
                                        << c.handles);
        std::wstring name = ScanNameOf(paths[i]);
        ASSERT_FALSE(name.empty());
        auto locks = GetLockingProcesses(paths[i]);
        ASSERT_TRUE(locks);
        auto mine = EntriesOf(locks.get(), {holder.pid(), ::GetCurrentProcessId()});
        ASSERT_EQ(mine.size(), static_cast<size_t>(c.handles)) << Show(locks.get());
        for (const TProcessLockInfo* entry : mine) {
            const TProcessLockInfo& lock = *entry;
            EXPECT_EQ(lock.Owner, locks.get());
            EXPECT_EQ(lock.ProcessId, holder.pid());
            EXPECT_EQ(lock.FileName, name);
            EXPECT_TRUE(SamePath(std::wstring(FileNamePart(lock.ProcessPath)), L"lockscan_holder.exe"))
                << Show(lock.ProcessPath);
        }
    }
}

TEST(LockingProcesses, OwnHandleIsReportedOnceUnderTheOwnExecutableName) {
    TempDir dir;
    std::wstring path = dir / L"own.dat";
    WriteFileBytes(path, "own");
    UniqueFile ownHandle(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(ownHandle);
    wchar_t exe[MAX_PATH];
    DWORD n = ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring ownName(FileNamePart(std::wstring_view(exe, n)));

    auto locks = GetLockingProcesses(path);
    ASSERT_TRUE(locks);
    auto mine = EntriesOf(locks.get(), {::GetCurrentProcessId()});
    ASSERT_EQ(mine.size(), 1u) << Show(locks.get());
    EXPECT_EQ(mine[0]->ProcessPath, ownName);
    EXPECT_EQ(mine[0]->FileName, ScanNameOf(path));

    // With another holder beside it: one entry each.
    Holder holder({L"open", L"r", L"r", path});
    ASSERT_TRUE(holder.ready());
    locks = GetLockingProcesses(path);
    ASSERT_TRUE(locks);
    EXPECT_EQ(EntriesOf(locks.get(), {::GetCurrentProcessId()}).size(), 1u) << Show(locks.get());
    EXPECT_EQ(EntriesOf(locks.get(), {holder.pid()}).size(), 1u) << Show(locks.get());
}

TEST(LockingProcesses, LoadedLibraryIsFoundByTheModuleScan) {
    TempDir dir;
    std::wstring dll = dir / L"LoadedLib.dll";
    CopyFixtureDll(dll);
    Holder holder({L"load", dll});
    ASSERT_TRUE(holder.ready());

    auto locks = GetLockingProcesses(dll);
    ASSERT_TRUE(locks);
    auto mine = EntriesOf(locks.get(), {holder.pid(), ::GetCurrentProcessId()});
    ASSERT_EQ(mine.size(), 1u) << Show(locks.get());
    const TProcessLockInfo& lock = *mine[0];
    EXPECT_EQ(lock.ProcessId, holder.pid());
    EXPECT_TRUE(SamePath(lock.FileName, dll)) << Show(lock.FileName);  // drive-letter form
    EXPECT_TRUE(SamePath(lock.ProcessPath, BinPath(L"lockscan_holder.exe"))) << Show(lock.ProcessPath);
}

TEST(LockingProcesses, FileBothOpenAndLoadedGivesTwoEntries) {
    TempDir dir;
    std::wstring dll = dir / L"both.dll";
    CopyFixtureDll(dll);
    Holder holder({L"load", dll, L"open", L"r", L"r", dll});
    ASSERT_TRUE(holder.ready());

    auto locks = GetLockingProcesses(dll);
    ASSERT_TRUE(locks);
    auto mine = EntriesOf(locks.get(), {holder.pid(), ::GetCurrentProcessId()});
    ASSERT_EQ(mine.size(), 2u) << Show(locks.get());
    // Handle matches first, in device form; then the module match, in drive-letter form.
    EXPECT_EQ(mine[0]->ProcessId, holder.pid());
    EXPECT_EQ(mine[0]->FileName, ScanNameOf(dll));
    EXPECT_EQ(mine[1]->ProcessId, holder.pid());
    EXPECT_TRUE(SamePath(mine[1]->FileName, dll)) << Show(mine[1]->FileName);
}

TEST(LockingProcesses, NobodyHoldingGivesNone) {
    TempDir dir;
    std::wstring free = dir / L"free.dat";
    WriteFileBytes(free, "free");
    // A holder of a different file in the same folder must not count.
    std::wstring other = dir / L"other.dat";
    WriteFileBytes(other, "other");
    Holder holder({L"open", L"r", L"rwd", other});
    ASSERT_TRUE(holder.ready());

    const std::wstring paths[] = {free, dir / L"missing.dat", dir / L"no-such-folder\\x.dat", L""};
    for (const std::wstring& p : paths) {
        SCOPED_TRACE(Show(p));
        auto locks = GetLockingProcesses(p);
        EXPECT_FALSE(locks) << Show(locks.get());
    }
}

// Windows keeps the opener's spelling in a handle's name: handles and modules match a target in any
// letter case, beyond ASCII too.
TEST(LockingProcesses, HandleAndModuleNamesMatchInAnyLetterCase) {
    TempDir dir;
    std::wstring ascii = dir / L"CaseLib.dll";
    std::wstring accented = dir / L"Modül.dll";
    CopyFixtureDll(ascii);
    CopyFixtureDll(accented);
    Holder holder({L"load", ascii, L"open", L"r", L"r", ascii, L"load", accented});
    ASSERT_TRUE(holder.ready());
    const std::wstring asciiName = ScanNameOf(ascii);
    const std::wstring accentedName = ScanNameOf(accented);
    ASSERT_FALSE(asciiName.empty());
    ASSERT_FALSE(accentedName.empty());

    auto flipAscii = [](std::wstring s) {
        size_t from = s.size() - FileNamePart(s).size();
        for (size_t i = from; i < s.size(); ++i) {
            if (s[i] >= L'a' && s[i] <= L'z')
                s[i] = static_cast<wchar_t>(s[i] - 32);
            else if (s[i] >= L'A' && s[i] <= L'Z')
                s[i] = static_cast<wchar_t>(s[i] + 32);
        }
        return s;
    };
    std::wstring accentedUpper = accentedName;
    accentedUpper[accentedUpper.rfind(L'\u00fc')] = L'\u00dc';

    struct Case {
        const char* what;
        std::wstring target;
        bool handleMatch;
        bool moduleMatch;
    };
    const Case cases[] = {
        {"exact ASCII name", asciiName, true, true},
        {"ASCII letters in other case", flipAscii(asciiName), true, true},
        // The accented library is only loaded, never opened.
        {"exact accented name", accentedName, false, true},
        {"accented, ASCII letters in other case", flipAscii(accentedName), false, true},
        {"accented letter in other case", accentedUpper, false, true},
    };
    const int32_t fileType = GetFileObjectTypeIndex();
    ASSERT_GE(fileType, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.what << ": " << Show(c.target));
        int handles = 0;
        ScanHandles(c.target, fileType, [&](uint32_t pid, const std::wstring& name, bool own) {
            if (pid == holder.pid()) ++handles;
            EXPECT_EQ(name, c.target);
        });
        EXPECT_EQ(handles, c.handleMatch ? 1 : 0);
        TProcessLockList modules;
        ScanModules(c.target, modules);
        int found = 0;
        for (size_t i = 0; i < modules.Count(); ++i)
            if (modules[i].ProcessId == holder.pid()) ++found;
        EXPECT_EQ(found, c.moduleMatch ? 1 : 0) << Show(&modules);
    }
}

// Names are compared in full: beyond 260 characters, and in characters outside the ANSI code page.
TEST(LockingProcesses, NamesAreComparedInFull) {
    TempDir dir;
    std::wstring deep = dir.path() + L"\\" + std::wstring(200, L'a') + L"\\" + std::wstring(200, L'b');
    ASSERT_TRUE(::CreateDirectoryW((L"\\\\?\\" + dir.path() + L"\\" + std::wstring(200, L'a')).c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr));
    std::wstring longHeld = L"\\\\?\\" + deep + L"\\held-one.dat";
    std::wstring longFree = L"\\\\?\\" + deep + L"\\held-two.dat";
    std::wstring wideHeld = dir / L"\u0416\u4e00.dat";
    std::wstring wideFree = dir / L"\u0429\u4e8c.dat";
    for (const auto& p : {longHeld, longFree, wideHeld, wideFree}) WriteFileBytes(p, "x");
    Holder holder({L"open", L"r", L"rw", longHeld, L"open", L"r", L"rw", wideHeld});
    ASSERT_TRUE(holder.ready());

    struct Case {
        std::wstring path;
        size_t entries;
    };
    const Case cases[] = {{longHeld, 1}, {longFree, 0}, {wideHeld, 1}, {wideFree, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(Show(c.path));
        auto locks = GetLockingProcesses(c.path);
        if (c.entries == 0) {
            EXPECT_FALSE(locks) << Show(locks.get());
        } else {
            EXPECT_EQ(EntriesOf(locks.get(), {holder.pid(), ::GetCurrentProcessId()}).size(), c.entries)
                << Show(locks.get());
        }
    }
    ::DeleteFileW(longHeld.c_str());
    ::DeleteFileW(longFree.c_str());
    ::RemoveDirectoryW((L"\\\\?\\" + deep).c_str());
}

TEST(LockingProcesses, ShortPathFindsHolderOfLongName) {
    TempDir dir;
    std::wstring path = dir / L"a rather long file name.data";
    WriteFileBytes(path, "x");
    wchar_t shortPath[MAX_PATH];
    DWORD n = ::GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
    ASSERT_GT(n, 0u);
    Holder holder({L"open", L"r", L"rw", path});
    ASSERT_TRUE(holder.ready());
    auto locks = GetLockingProcesses(std::wstring(shortPath, n));
    EXPECT_EQ(EntriesOf(locks.get(), {holder.pid()}).size(), 1u) << Show(std::wstring(shortPath, n));
}

}  // namespace
}  // namespace swt::test
