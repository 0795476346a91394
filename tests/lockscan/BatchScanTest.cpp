// The batch scan against real processes: for every target it gives what the single call gives;
// mapped views are found; the test seam hides a holder.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "lockscan/FileInUse_Tools.h"
#include "tests/lockscan/Holder.h"

namespace swt::test {
namespace {

std::string Show(const std::wstring& s) { return testing::PrintToString(s); }

std::string Show(const std::vector<const TProcessLockInfo*>& entries) {
    if (entries.empty()) return "none";
    std::string out;
    for (const TProcessLockInfo* e : entries)
        out += "\n  pid " + std::to_string(e->ProcessId) + " " + Show(e->FileName) + " " + Show(e->ProcessPath);
    return out;
}

struct Entry {
    std::wstring FileName;
    uint32_t ProcessId;
    std::wstring ProcessPath;
    bool operator==(const Entry&) const = default;
};

std::vector<Entry> Values(const std::vector<const TProcessLockInfo*>& entries) {
    std::vector<Entry> out;
    for (const TProcessLockInfo* e : entries) out.push_back({e->FileName, e->ProcessId, e->ProcessPath});
    return out;
}

// Three holders: a file held by two processes, one process holding two files, a library loaded by
// two processes and mapped as a view by one of them, a data file only mapped, files nobody holds.
TEST(BatchScan, EveryTargetGetsExactlyWhatTheSingleCallGives) {
    TempDir dir;
    const std::wstring shared = dir / L"shared.dat";  // open in A and B
    const std::wstring second = dir / L"second.dat";  // open twice in A
    const std::wstring lib = dir / L"BatchLib.dll";   // loaded by A and C, mapped as data by A
    const std::wstring view = dir / L"view.dat";      // only mapped, by B
    const std::wstring free = dir / L"free.dat";
    for (const auto& p : {shared, second, view, free}) WriteFileBytes(p, "batch");
    CopyFixtureDll(lib);
    Holder a({L"open", L"r", L"rw", shared, L"open", L"r", L"rw", second, L"open", L"r", L"rw", second, L"load", lib,
              L"map", lib});
    Holder b({L"open", L"rw", L"rw", shared, L"map", view});
    Holder c({L"load", lib});
    ASSERT_TRUE(a.ready() && b.ready() && c.ready());
    const std::vector<DWORD> pids = {a.pid(), b.pid(), c.pid(), ::GetCurrentProcessId()};

    // Many targets nobody holds around the held ones fill the name table (collisions included);
    // a path given twice gets the same answer twice.
    std::vector<std::wstring> paths = {shared, second, lib, view, free, dir / L"missing.dat", L"", shared};
    for (int i = 0; i < 60; ++i) {
        std::wstring p = dir / (L"idle" + std::to_wstring(i) + L".dat");
        if (i % 2) WriteFileBytes(p, "idle");
        paths.push_back(p);
    }

    auto batch = GetLockingProcessesBatch(paths);
    ASSERT_EQ(batch.size(), paths.size());
    for (size_t i = 0; i < paths.size(); ++i) {
        SCOPED_TRACE(Show(paths[i]));
        // The idle targets are asked singly only now and then: each single call is a full scan.
        if (i >= 8 && i % 10 != 0) {
            EXPECT_FALSE(batch[i]) << "nobody holds it:" << Show(EntriesOf(batch[i].get(), pids));
            continue;
        }
        auto single = GetLockingProcesses(paths[i]);
        auto fromBatch = EntriesOf(batch[i].get(), pids);
        auto fromSingle = EntriesOf(single.get(), pids);
        EXPECT_EQ(Values(fromBatch), Values(fromSingle)) << "batch:" << Show(fromBatch) << "\nsingle:" << Show(fromSingle);
        EXPECT_EQ(batch[i] == nullptr, single == nullptr);
        for (size_t k = 0; batch[i] && k < batch[i]->Count(); ++k) EXPECT_EQ((*batch[i])[k].Owner, batch[i].get());
        if (i >= 4 && i != 7) {
            EXPECT_FALSE(batch[i]) << "nobody holds it:" << Show(fromBatch);
        }
    }

    // What the entries are, in the order the lists promise.
    auto pidsOf = [](const std::vector<const TProcessLockInfo*>& entries) {
        std::vector<uint32_t> out;
        for (const TProcessLockInfo* e : entries) out.push_back(e->ProcessId);
        return out;
    };
    auto sharedEntries = EntriesOf(batch[0].get(), pids);
    ASSERT_EQ(sharedEntries.size(), 2u) << Show(sharedEntries);
    EXPECT_EQ(sharedEntries[0]->FileName, ScanNameOf(shared));
    EXPECT_EQ(pidsOf(sharedEntries), (std::vector<uint32_t>{a.pid(), b.pid()})) << Show(sharedEntries);
    EXPECT_EQ(pidsOf(EntriesOf(batch[1].get(), pids)), (std::vector<uint32_t>(2, a.pid())));
    // The library: one module entry per loading process, then A's view of it.
    auto libEntries = EntriesOf(batch[2].get(), pids);
    ASSERT_EQ(libEntries.size(), 3u) << Show(libEntries);
    auto modulePids = pidsOf({libEntries[0], libEntries[1]});
    std::sort(modulePids.begin(), modulePids.end());
    auto expectedModulePids = std::vector<uint32_t>{a.pid(), c.pid()};
    std::sort(expectedModulePids.begin(), expectedModulePids.end());
    EXPECT_EQ(modulePids, expectedModulePids) << Show(libEntries);
    EXPECT_EQ(libEntries[2]->ProcessId, a.pid()) << Show(libEntries);
    for (const TProcessLockInfo* e : libEntries) {
        EXPECT_TRUE(SamePath(e->FileName, lib)) << Show(e->FileName);
        EXPECT_TRUE(SamePath(e->ProcessPath, BinPath(L"lockscan_holder.exe"))) << Show(e->ProcessPath);
    }
    auto viewEntries = EntriesOf(batch[3].get(), pids);
    ASSERT_EQ(viewEntries.size(), 1u) << Show(viewEntries);
    EXPECT_EQ(viewEntries[0]->ProcessId, b.pid());
    EXPECT_TRUE(SamePath(viewEntries[0]->FileName, view)) << Show(viewEntries[0]->FileName);
    EXPECT_EQ(Values(EntriesOf(batch[7].get(), pids)), Values(sharedEntries)) << "the same path twice";
}

// A process that maps a file and closes its file and section handles still blocks a copy onto it.
TEST(BatchScan, MappedViewWithoutHandlesIsFoundAndBlocksTheCopyUntilItsProcessEnds) {
    TempDir dir;
    const std::wstring dest = dir / L"mapped.dat";
    const std::wstring source = dir / L"new.dat";
    WriteFileBytes(dest, "old content");
    WriteFileBytes(source, "new content");
    std::optional<Holder> holder;
    holder.emplace(std::vector<std::wstring>{L"map", dest});
    ASSERT_TRUE(holder->ready());

    auto locks = GetLockingProcesses(dest);
    auto mine = EntriesOf(locks.get(), {holder->pid(), ::GetCurrentProcessId()});
    ASSERT_EQ(mine.size(), 1u) << Show(mine);
    EXPECT_EQ(mine[0]->ProcessId, holder->pid());
    EXPECT_TRUE(SamePath(mine[0]->FileName, dest)) << Show(mine[0]->FileName);
    EXPECT_TRUE(SamePath(mine[0]->ProcessPath, BinPath(L"lockscan_holder.exe"))) << Show(mine[0]->ProcessPath);
    // Without the view walk nothing can be seen: there is no handle and no module.
    EXPECT_TRUE(EntriesOf(GetLockingProcesses(dest, {false}).get(), {holder->pid()}).empty());

    EXPECT_FALSE(::CopyFileW(source.c_str(), dest.c_str(), FALSE));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_USER_MAPPED_FILE));
    EXPECT_EQ(ReadFileBytes(dest), "old content");

    holder.reset();  // the holder ends, and its view with it
    EXPECT_TRUE(::CopyFileW(source.c_str(), dest.c_str(), FALSE)) << "error " << ::GetLastError();
    EXPECT_EQ(ReadFileBytes(dest), "new content");
    EXPECT_FALSE(GetLockingProcesses(dest));
}

// The seam a test uses for a holder the scan cannot name: the file stays blocked, the scan finds
// nobody, in the single and the batch form; after the scope the holder is found again.
TEST(BatchScan, HiddenHolderBlocksTheFileButIsNotFound) {
    TempDir dir;
    const std::wstring held = dir / L"held.dat";
    const std::wstring mapped = dir / L"mapped.dat";
    const std::wstring dll = dir / L"HiddenLib.dll";
    const std::wstring source = dir / L"source.dat";
    for (const auto& p : {held, mapped, source}) WriteFileBytes(p, "x");
    CopyFixtureDll(dll);
    Holder holder({L"open", L"r", L"0", held, L"map", mapped, L"load", dll});
    ASSERT_TRUE(holder.ready());
    const std::vector<std::wstring> paths = {held, mapped, dll};
    {
        THideFromLockScan hide({holder.pid()});
        EXPECT_FALSE(::CopyFileW(source.c_str(), held.c_str(), FALSE));
        for (const std::wstring& p : paths) {
            SCOPED_TRACE(Show(p));
            EXPECT_TRUE(EntriesOf(GetLockingProcesses(p).get(), {holder.pid()}).empty());
        }
        for (const auto& list : GetLockingProcessesBatch(paths))
            EXPECT_TRUE(EntriesOf(list.get(), {holder.pid()}).empty());
    }
    auto batch = GetLockingProcessesBatch(paths);
    for (size_t i = 0; i < paths.size(); ++i)
        EXPECT_EQ(EntriesOf(batch[i].get(), {holder.pid()}).size(), 1u) << Show(paths[i]);
}

}  // namespace
}  // namespace swt::test
