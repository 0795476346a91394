// The liveness check and the termination, on real child processes.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "terminator/ProcessWatch.h"
#include "tests/common/TestSupport.h"

namespace {

using swt::test::BinPath;
using swt::test::Start;

bool ByToolhelp(DWORD pid) {
    bool answered = false;
    const bool found = swt::IsInToolhelpSnapshot(pid, answered);
    EXPECT_TRUE(answered);
    return found;
}

TEST(ProcessWatch, BothListsSeeRunningProcessesAndMissEndedOnes) {
    swt::test::Child running = Start(BinPath(L"EndwatchFixture.exe"), L"wait 30000");
    swt::test::Child ended = Start(BinPath(L"EndwatchFixture.exe"), L"wait 0");
    ASSERT_EQ(ended.Wait(), 7u);
    ended.process.reset();  // no handle keeps the ended process's entry alive
    const struct {
        const char* what;
        DWORD pid;
        bool expected;
    } cases[] = {
        {"this process", ::GetCurrentProcessId(), true},
        {"running child", running.pid, true},
        {"ended child", ended.pid, false},
        {"an id no process has", 0x7FFFFFF0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ByToolhelp(c.pid), c.expected);
        EXPECT_EQ(swt::IsInEnumProcesses(c.pid), c.expected);
        EXPECT_EQ(swt::IsProcessRunning(c.pid), c.expected);
    }
    ::TerminateProcess(running.process.get(), 1);
}

TEST(ProcessWatch, WatchHoldsTheProcessAndTerminatesWithExitCodeZero) {
    swt::test::Child child = Start(BinPath(L"EndwatchFixture.exe"), L"wait 30000");
    swt::TWatchedProcess watched(child.pid);
    EXPECT_TRUE(watched.hasHandle());
    EXPECT_TRUE(watched.IsRunning());
    EXPECT_TRUE(watched.Terminate());
    EXPECT_EQ(child.Wait(), 0u);
    EXPECT_FALSE(watched.IsRunning());
}

TEST(ProcessWatch, WatchSeesAProcessEndByItself) {
    swt::test::Child child = Start(BinPath(L"EndwatchFixture.exe"), L"wait 300");
    swt::TWatchedProcess watched(child.pid);
    EXPECT_TRUE(watched.IsRunning());
    EXPECT_EQ(child.Wait(), 7u);
    EXPECT_FALSE(watched.IsRunning());
    // Once ended, terminating through the held handle reaches no other process and leaves the
    // ended one's exit code alone.
    watched.Terminate();
    EXPECT_EQ(child.Wait(), 7u);
}

TEST(ProcessWatch, UnknownIdFallsBackToTheListAndFindsNothing) {
    swt::TWatchedProcess watched(0x7FFFFFF0);
    EXPECT_FALSE(watched.hasHandle());
    EXPECT_FALSE(watched.IsRunning());
    EXPECT_FALSE(watched.Terminate());
}

// An OpenProcess that refuses every request holding one of the `refused` rights, and records
// what was asked for (a process of another user or an elevated one answers like this).
constexpr DWORD kTerminateById = PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION;

struct RefusingOpener {
    static inline DWORD refused = 0;
    static inline std::vector<DWORD> requests;
    static HANDLE Open(DWORD access, DWORD pid) {
        requests.push_back(access);
        if (access & refused) {
            ::SetLastError(ERROR_ACCESS_DENIED);
            return nullptr;
        }
        return ::OpenProcess(access, FALSE, pid);
    }
};

TEST(ProcessWatch, ProcessThatRefusesTerminationIsStillWatchedThroughAHandle) {
    constexpr DWORD kAll = SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION;
    constexpr DWORD kWait = SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION;
    const struct {
        const char* what;
        DWORD refused;
        bool handle;
        std::vector<DWORD> opened;
    } cases[] = {
        {"termination refused", PROCESS_TERMINATE, true, {kAll, kWait}},
        {"everything refused", SYNCHRONIZE | PROCESS_TERMINATE, false, {kAll, kWait}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        swt::test::Child child = Start(BinPath(L"EndwatchFixture.exe"), L"wait 30000");
        RefusingOpener::refused = c.refused;
        RefusingOpener::requests.clear();
        swt::TWatchedProcess watched(child.pid, &RefusingOpener::Open);
        EXPECT_EQ(RefusingOpener::requests, c.opened);
        EXPECT_EQ(watched.hasHandle(), c.handle);
        EXPECT_FALSE(watched.canTerminateByHandle());
        EXPECT_TRUE(watched.IsRunning());
        // Terminating goes by id, which is refused: the process runs on.
        RefusingOpener::requests.clear();
        EXPECT_FALSE(watched.Terminate());
        EXPECT_EQ(RefusingOpener::requests, std::vector<DWORD>{kTerminateById});
        EXPECT_EQ(child.Wait(0), STILL_ACTIVE);

        ::TerminateProcess(child.process.get(), 5);
        ASSERT_EQ(child.Wait(), 5u);
        if (c.handle) {
            // The handle sees the end, and an ended process's id, which may be another's by now,
            // is never opened to terminate.
            EXPECT_FALSE(watched.IsRunning());
            RefusingOpener::requests.clear();
            EXPECT_FALSE(watched.Terminate());
            EXPECT_TRUE(RefusingOpener::requests.empty());
        }
    }
}

// The system ignores the two lowest bits of an id when it opens a process: id + 1, + 2 and + 3 open
// the process with the id itself. None of them is that process's id, so none is watched, and
// none of them terminates it.
TEST(ProcessWatch, IdThatOnlyOpensAnotherProcessCountsAsEnded) {
    swt::test::Child child = Start(BinPath(L"EndwatchFixture.exe"), L"wait 30000");
    ASSERT_EQ(child.pid % 4, 0u);
    for (DWORD offset : {1u, 2u, 3u}) {
        SCOPED_TRACE(offset);
        swt::TWatchedProcess watched(child.pid + offset);
        EXPECT_FALSE(watched.hasHandle());
        EXPECT_FALSE(watched.IsRunning());
        EXPECT_FALSE(watched.Terminate());
    }
    EXPECT_EQ(child.Wait(0), STILL_ACTIVE);
    swt::TWatchedProcess exact(child.pid);
    EXPECT_TRUE(exact.IsRunning());
    EXPECT_TRUE(exact.Terminate());
    EXPECT_EQ(child.Wait(), 0u);
}

// An OpenProcess whose answers a test sets: "no such process" for every request, or the real
// answer for the requests without a refused right, recording each request.
struct ScriptedOpener {
    static inline bool noSuchProcess = false;
    static inline DWORD refused = 0;
    static inline std::vector<DWORD> requests;
    static void Reset(bool none, DWORD refusedRights) {
        noSuchProcess = none;
        refused = refusedRights;
        requests.clear();
    }
    static HANDLE Open(DWORD access, DWORD pid) {
        requests.push_back(access);
        if (noSuchProcess || (access & refused)) {
            ::SetLastError(noSuchProcess ? ERROR_INVALID_PARAMETER : ERROR_ACCESS_DENIED);
            return nullptr;
        }
        return ::OpenProcess(access, FALSE, pid);
    }
};

int64_t FileTimeNow() {
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    return static_cast<int64_t>((static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
}

// "No such process" at the open is the end of the process: nothing falls back to the list and,
// at the time-out, to terminating whatever process the id belongs to by then.
TEST(ProcessWatch, NoSuchProcessAtTheOpenCountsAsEnded) {
    swt::test::Child child = Start(BinPath(L"EndwatchFixture.exe"), L"wait 30000");
    ScriptedOpener::Reset(true, 0);
    swt::TWatchedProcess watched(child.pid, &ScriptedOpener::Open);
    EXPECT_EQ(ScriptedOpener::requests.size(), 1u) << "no second open after the system said there is none";
    EXPECT_FALSE(watched.IsRunning()) << "the id is in the process list, but not the process meant";
    ScriptedOpener::Reset(false, 0);
    EXPECT_FALSE(watched.Terminate());
    EXPECT_TRUE(ScriptedOpener::requests.empty());
    EXPECT_EQ(child.Wait(0), STILL_ACTIVE);
    ::TerminateProcess(child.process.get(), 1);
}

// A process created after the watch began cannot be the one it was told about (its id was given
// to it after the process meant had ended), whether the watch holds a handle or goes by id.
TEST(ProcessWatch, ProcessCreatedAfterTheWatchBeganIsNeverTerminated) {
    const struct {
        const char* what;
        DWORD refused;  // SYNCHRONIZE refused: no handle, the watch goes by id
        bool byId;
    } cases[] = {
        {"handle path", 0, false},
        {"id path", SYNCHRONIZE, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const int64_t before = FileTimeNow();
        ::Sleep(50);
        swt::test::Child child = Start(BinPath(L"EndwatchFixture.exe"), L"wait 30000");
        ::Sleep(50);
        const int64_t after = FileTimeNow();

        // Begun before the child: the child is not the process meant.
        ScriptedOpener::Reset(false, c.refused);
        swt::TWatchedProcess early(child.pid, &ScriptedOpener::Open, before);
        EXPECT_FALSE(early.hasHandle());
        if (!c.byId) {
            EXPECT_FALSE(early.IsRunning());
        }
        ScriptedOpener::requests.clear();
        EXPECT_FALSE(early.Terminate());
        EXPECT_EQ(ScriptedOpener::requests, c.byId ? std::vector<DWORD>{kTerminateById} : std::vector<DWORD>{});
        EXPECT_EQ(child.Wait(0), STILL_ACTIVE);

        // Begun after it: the same way terminates it.
        ScriptedOpener::Reset(false, c.refused);
        swt::TWatchedProcess late(child.pid, &ScriptedOpener::Open, after);
        EXPECT_EQ(late.hasHandle(), !c.byId);
        EXPECT_TRUE(late.IsRunning());
        EXPECT_TRUE(late.Terminate());
        EXPECT_EQ(child.Wait(), 0u);
    }
}

// Snapshot readers that fail at the first entry, or after some entries with an error that is not
// the end of the list.
struct FailingSnapshot {
    static inline int entriesBeforeFailure = 0;
    static inline int read = 0;
    static BOOL WINAPI First(HANDLE snapshot, PROCESSENTRY32W* entry) {
        read = 0;
        if (entriesBeforeFailure == 0) {
            ::SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        ++read;
        return ::Process32FirstW(snapshot, entry);
    }
    static BOOL WINAPI Next(HANDLE snapshot, PROCESSENTRY32W* entry) {
        if (read >= entriesBeforeFailure) {
            ::SetLastError(ERROR_INVALID_DATA);
            return FALSE;
        }
        ++read;
        return ::Process32NextW(snapshot, entry);
    }
};

BOOL WINAPI UnreadableIdList(DWORD*, DWORD, DWORD*) { return FALSE; }

// A snapshot that was taken but could not be read to its end says nothing about the process: the
// other list decides, and a list that cannot be read either counts as running.
TEST(ProcessWatch, SnapshotThatCannotBeReadWholeLeavesTheAnswerOpen) {
    const DWORD absent = 0x7FFFFFF0;
    for (int entries : {0, 1}) {
        SCOPED_TRACE(entries);
        FailingSnapshot::entriesBeforeFailure = entries;
        const swt::TProcessLists snapshotFails{&FailingSnapshot::First, &FailingSnapshot::Next, nullptr};
        bool answered = true;
        EXPECT_FALSE(swt::IsInToolhelpSnapshot(absent, answered, snapshotFails));
        EXPECT_FALSE(answered);
        // The readable EnumProcesses list then answers.
        EXPECT_FALSE(swt::IsProcessRunning(absent, snapshotFails));
        EXPECT_TRUE(swt::IsProcessRunning(::GetCurrentProcessId(), snapshotFails));
        // Neither list readable: running.
        const swt::TProcessLists noneReadable{&FailingSnapshot::First, &FailingSnapshot::Next, &UnreadableIdList};
        EXPECT_TRUE(swt::IsProcessRunning(absent, noneReadable));
    }
}

// A process list of `total` ids, handed out as EnumProcesses does: as many as fit, never the
// watched one unless `watchedAt` is inside.
struct ScriptedList {
    static inline DWORD total = 0;
    static inline DWORD watchedAt = MAXDWORD;
    static inline bool fails = false;
    static inline int calls = 0;
    static constexpr DWORD kWatched = 0x7FFFFF00;
    static BOOL WINAPI List(DWORD* ids, DWORD bytes, DWORD* returned) {
        ++calls;
        if (fails) return FALSE;
        const DWORD n = std::min<DWORD>(total, bytes / sizeof(DWORD));
        for (DWORD i = 0; i < n; ++i) ids[i] = i == watchedAt ? kWatched : 4 * (i + 1);
        *returned = n * sizeof(DWORD);
        return TRUE;
    }
};

TEST(ProcessWatch, ProcessListThatCannotBeReadWholeCountsAsRunning) {
    const struct {
        const char* what;
        DWORD total;
        DWORD watchedAt;
        bool fails;
        bool running;
    } cases[] = {
        {"short list without the process", 300, MAXDWORD, false, false},
        {"short list with the process", 300, 299, false, true},
        {"list that needs a second read", 5000, 4999, false, true},
        {"list that needs a second read, without it", 5000, MAXDWORD, false, false},
        {"65536 processes, the list always full", 65536, MAXDWORD, false, true},
        {"more than 65536 processes", 100000, MAXDWORD, false, true},
        {"list that cannot be read", 0, MAXDWORD, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedList::total = c.total;
        ScriptedList::watchedAt = c.watchedAt;
        ScriptedList::fails = c.fails;
        ScriptedList::calls = 0;
        EXPECT_EQ(swt::IsInEnumProcesses(ScriptedList::kWatched, &ScriptedList::List), c.running);
        EXPECT_LE(ScriptedList::calls, 3);
    }
}

}  // namespace
