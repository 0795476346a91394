// The liveness check and the termination, on real child processes.
#include <gtest/gtest.h>

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

}  // namespace
