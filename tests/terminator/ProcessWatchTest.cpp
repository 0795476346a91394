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
    const struct {
        const char* what;
        DWORD refused;
        bool handle;
        std::vector<DWORD> opened;
    } cases[] = {
        {"termination refused", PROCESS_TERMINATE, true, {kAll, SYNCHRONIZE}},
        {"everything refused", SYNCHRONIZE | PROCESS_TERMINATE, false, {kAll, SYNCHRONIZE}},
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
        EXPECT_EQ(RefusingOpener::requests, std::vector<DWORD>{PROCESS_TERMINATE});
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
