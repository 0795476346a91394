// Questions about other processes' memory: a process that never answers them does not stop the
// scan (shown with a stand-in for NtQueryVirtualMemory that never returns for one process), and the
// walk of a process with more mapped views than one answer holds goes on until it has seen them all.
#include <gtest/gtest.h>

#include "lockscan/FileInUse_Tools.h"
#include "tests/lockscan/Holder.h"
#include "tests/lockscan/NtStandIn.h"

namespace swt::test {
namespace {

std::string Show(const std::vector<const TProcessLockInfo*>& entries) {
    if (entries.empty()) return "none";
    std::string out;
    for (const TProcessLockInfo* e : entries)
        out += "\n  pid " + std::to_string(e->ProcessId) + " " + testing::PrintToString(e->FileName);
    return out;
}

// State of the stand-in. It runs on the memory worker: system calls only.
NtQueryVirtualMemoryFn g_realQueryVirtualMemory = nullptr;
volatile LONG g_stuckPid = 0;
volatile LONG g_stuckCalls = 0;

NTSTATUS_T NTAPI StuckQueryVirtualMemory(HANDLE process, PVOID address, ULONG infoClass, PVOID buffer, SIZE_T length,
                                         PSIZE_T returned) {
    if (::GetProcessId(process) == static_cast<DWORD>(g_stuckPid)) {
        ::InterlockedIncrement(&g_stuckCalls);
        ::WaitForSingleObject(NtStandInGate(), INFINITE);
    }
    return g_realQueryVirtualMemory(process, address, infoClass, buffer, length, returned);
}

// Puts the stand-in in place for one scope: every question about process pid's memory waits
// until the scope ends, as under Wine for a process that never runs the system APC that answers.
class UnansweredMemoryQuery {
public:
    explicit UnansweredMemoryQuery(DWORD pid) {
        g_stuckPid = static_cast<LONG>(pid);
        g_stuckCalls = 0;
    }
    LONG stuckCalls() const { return g_stuckCalls; }

private:
    // The stuck workers get their answers when the stand-in goes, and end.
    NtStandIn<NtQueryVirtualMemoryFn> standIn_{&NtFunctions::QueryVirtualMemory, StuckQueryVirtualMemory,
                                               g_realQueryVirtualMemory};
};

// Counts only the given process's workers: on a busy machine another process may really be slow
// to answer a scan of this test program.
bool NoMemoryQueriesLeftFor(DWORD pid) {
    for (int i = 0; i < 200 && MemoryQueriesPending(pid) > 0; ++i) ::Sleep(50);
    return MemoryQueriesPending(pid) == 0;
}

// A process whose memory questions never return (S) holds a file open, maps one and loads a
// library; B maps a file, C loads a library. S is started first, so that it comes before the
// others in the process list.
TEST(MemoryQuery, ProcessThatNeverAnswersIsPassedOverAndAskedOnlyOnceWhilePending) {
    TempDir dir;
    const std::wstring held = dir / L"held.dat", stuckView = dir / L"stuckview.dat", stuckLib = dir / L"StuckLib.dll";
    const std::wstring view = dir / L"view.dat", lib = dir / L"OtherLib.dll";
    for (const auto& p : {held, stuckView, view}) WriteFileBytes(p, "memory");
    CopyFixtureDll(stuckLib);
    CopyFixtureDll(lib);
    Holder s({L"open", L"r", L"rw", held, L"map", stuckView, L"load", stuckLib});
    Holder b({L"map", view});
    Holder c({L"load", lib});
    ASSERT_TRUE(s.ready() && b.ready() && c.ready());
    const std::vector<std::wstring> paths = {held, stuckView, stuckLib, view, lib};
    const std::vector<DWORD> pids = {s.pid(), b.pid(), c.pid()};

    {
        UnansweredMemoryQuery stuck(s.pid());
        for (int scan = 0; scan < 2; ++scan) {
            SCOPED_TRACE(scan == 0 ? "first scan" : "second scan");
            auto batch = GetLockingProcessesBatch(paths);
            ASSERT_EQ(batch.size(), paths.size());
            // S's handle is found by the handle scan and its library by the module path; its view
            // can only be seen in its memory. The others are found as always.
            const DWORD holderOf[] = {s.pid(), 0, s.pid(), b.pid(), c.pid()};
            for (size_t i = 0; i < paths.size(); ++i) {
                SCOPED_TRACE(testing::PrintToString(paths[i]));
                auto entries = EntriesOf(batch[i].get(), pids);
                const size_t count = holderOf[i] ? 1 : 0;
                ASSERT_EQ(entries.size(), count) << Show(entries);
                if (count) {
                    EXPECT_EQ(entries[0]->ProcessId, holderOf[i]) << Show(entries);
                }
            }
            // One worker waits for S, from the first scan on; the second scan does not ask S again.
            EXPECT_EQ(stuck.stuckCalls(), 1);
            EXPECT_EQ(MemoryQueriesPending(s.pid()), 1u);
        }
        // The single call as well.
        const auto viewLocks = GetLockingProcesses(view);
        auto views = EntriesOf(viewLocks.get(), pids);
        ASSERT_EQ(views.size(), 1u) << Show(views);
        EXPECT_EQ(views[0]->ProcessId, b.pid());
        EXPECT_EQ(stuck.stuckCalls(), 1);
    }
    // Once its question has returned, the worker ends and S is asked again.
    EXPECT_TRUE(NoMemoryQueriesLeftFor(s.pid()));
    const auto stuckViewLocks = GetLockingProcesses(stuckView);
    auto stuckViews = EntriesOf(stuckViewLocks.get(), pids);
    ASSERT_EQ(stuckViews.size(), 1u) << Show(stuckViews);
    EXPECT_EQ(stuckViews[0]->ProcessId, s.pid());
}

// The memory query on its own: the stuck process gives up its requests, the next process is
// answered by a new worker of the same query.
TEST(MemoryQuery, LateProcessIsGivenUpAndTheNextOneAnswered) {
    TempDir dir;
    const std::wstring file = dir / L"mapped.dat";
    WriteFileBytes(file, "mapped");
    Holder stuckHolder({L"map", file});
    Holder other({L"map", file});
    ASSERT_TRUE(stuckHolder.ready() && other.ready());
    UniqueHandleT stuckProcess(
        ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, stuckHolder.pid()));
    UniqueHandleT otherProcess(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, other.pid()));
    ASSERT_TRUE(stuckProcess && otherProcess);
    const std::wstring fileName(FileNamePart(file));
    auto mapsFile = [&](TMemoryQuery& memory) {
        bool seen = false;
        TMemoryWalk walk = memory.WalkMappedAllocations(1 << 20, [&](const TMappedAllocation& a) {
            if (SameTextAscii(FileNamePart(a.Name), fileName)) seen = true;
            return !seen;
        });
        return walk.Answered && seen;
    };
    {
        UnansweredMemoryQuery stuck(stuckHolder.pid());
        TMemoryQuery memory;
        ASSERT_TRUE(memory.Select(stuckProcess.get()));
        EXPECT_FALSE(mapsFile(memory));
        // Given up for the rest of the scan: no second question.
        const HMODULE base = nullptr;
        EXPECT_FALSE(memory.MappedFileNames(&base, 1, [](size_t, std::wstring_view) { return true; }));
        EXPECT_EQ(memory.LateQueries(), 1u);
        EXPECT_TRUE(memory.Select(otherProcess.get()));
        EXPECT_TRUE(mapsFile(memory));
        EXPECT_EQ(memory.WorkersStarted(), 2u);
        // A later query passes the stuck process over.
        TMemoryQuery later;
        EXPECT_FALSE(later.Select(stuckProcess.get()));
        EXPECT_EQ(later.ProcessesPassedOver(), 1u);
        EXPECT_EQ(stuck.stuckCalls(), 1);
    }
    EXPECT_TRUE(NoMemoryQueriesLeftFor(stuckHolder.pid()));
}

// More mapped views than one answer of the worker holds: the walk goes on where the worker
// stopped and names every view once.
TEST(MappedView, WalkOfManyViewsSeesEveryView) {
    TempDir dir;
    const std::wstring filler = dir / L"filler.dat", target = dir / L"target.dat";
    WriteFileBytes(filler, "filler");
    WriteFileBytes(target, "target");
    constexpr int kViews = 3000;
    Holder holder({L"map", target, L"views", filler, std::to_wstring(kViews)});
    ASSERT_TRUE(holder.ready());
    UniqueHandleT process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, holder.pid()));
    ASSERT_TRUE(process);

    // A second target nobody maps keeps the walk going to the end.
    const TTargetSet targets({ScanNameOf(target), ScanNameOf(dir / L"filler.dat") + L".none"});
    TNameQuery names;
    TMemoryQuery memory;
    const TDevicePaths devices;
    std::vector<HMODULE> modules;
    std::vector<wchar_t> buffer(kLongestPath);
    TScannedProcess p(process.get(), modules, buffer, memory);
    std::vector<TFileMatch> found;
    const TMemoryWalk walk = WalkMappedViews(p, targets, names, devices, found);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].Target, 0u);
    EXPECT_TRUE(SamePath(found[0].FileName, target)) << testing::PrintToString(found[0].FileName);
    EXPECT_GT(walk.Allocations, static_cast<size_t>(kViews));
    EXPECT_GE(walk.Regions, walk.Allocations);

    // Every view of the filler named, each once.
    size_t fillerViews = 0;
    ASSERT_TRUE(memory.Select(process.get()));
    memory.WalkMappedAllocations(1 << 20, [&](const TMappedAllocation& a) {
        if (SameTextAscii(FileNamePart(a.Name), L"filler.dat")) ++fillerViews;
        return true;
    });
    EXPECT_EQ(fillerViews, static_cast<size_t>(kViews));
}

}  // namespace
}  // namespace swt::test
