// A row's actions act on the process the row was made for and on no other. A real reused process id
// cannot be brought about, so an opener stands for the system's OpenProcess: it refuses rights as
// another user's or an elevated process does, and answers an open by the holder's id with another
// running process, as the system does once the id has been given to that one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/common/TestSupport.h"
#include "updater/ProcessList.h"

namespace {

using namespace swt::test;

constexpr DWORD kRefuseNothing = 0;
constexpr DWORD kRefuseTermination = PROCESS_TERMINATE;
constexpr DWORD kRefuseEverything = PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION;

struct ScriptedOpener {
    static inline DWORD refused = 0;
    static inline DWORD answeredBy = 0;  // the process an open by id gets; 0: the one asked for
    static HANDLE Open(DWORD access, DWORD processId) {
        if (access & refused) {
            ::SetLastError(ERROR_ACCESS_DENIED);
            return nullptr;
        }
        return ::OpenProcess(access, FALSE, answeredBy ? answeredBy : processId);
    }
};

// What the run would be told by the actions.
struct RecordingSite : swt::TProcessRowSite {
    void Log(const std::wstring& text) const noexcept override { lines.push_back(text); }
    void ScheduleScan(unsigned ms) override { scheduled.push_back(ms); }
    void ReturnToFront() override { ++returned; }
    mutable std::vector<std::wstring> lines;
    std::vector<unsigned> scheduled;
    int returned = 0;
};

Child StartWindowedHolder(const std::wstring& caption) {
    return Start(BinPath(L"sample_caller.exe"), L"/caption \"" + caption + L"\"");
}

HWND WindowOf(const Child& child) {
    HWND w = nullptr;
    for (int i = 0; i < 400 && !w; ++i, ::Sleep(25)) w = swt::FindProcessWindow(child.pid);
    return w;
}

void End(const Child& child) {
    ::TerminateProcess(child.process.get(), 9);
    child.Wait(5000);
}

// Kill, by what could be opened when the row was made and by what the holder's id opens at the
// kill. Only the holder itself is ever terminated; every other case kills nothing and logs
// nothing, and each reschedules the next pass after 100 ms.
TEST(ProcessItem, KillTerminatesOnlyTheProcessTheRowWasMadeFor) {
    const struct {
        const char* what;
        DWORD refusedAtRow;
        bool holderEndsFirst;
        bool idOpensOther;
        bool killed;
    } cases[] = {
        {"terminating allowed", kRefuseNothing, false, false, true},
        {"waiting only, holder runs: by its id", kRefuseTermination, false, false, true},
        {"waiting only, holder runs, its id opens another process", kRefuseTermination, false, true, false},
        {"waiting only, holder ended, its id opens another process", kRefuseTermination, true, true, false},
        {"nothing opened at the row's making", kRefuseEverything, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Child holder = StartWindowedHolder(L"Halter");
        Child other = StartWindowedHolder(L"Anderer");
        ASSERT_TRUE(WindowOf(holder) && WindowOf(other));
        RecordingSite site;
        swt::TProcessList list(&site);
        ScriptedOpener::refused = c.refusedAtRow;
        ScriptedOpener::answeredBy = 0;
        swt::TProcessItem& item =
            swt::TProcessItem::Create(&list, holder.pid, BinPath(L"sample_caller.exe"), &ScriptedOpener::Open);
        EXPECT_EQ(static_cast<bool>(item.FProcess), c.refusedAtRow != kRefuseEverything);

        ScriptedOpener::refused = kRefuseNothing;
        if (c.holderEndsFirst) End(holder);
        if (c.idOpensOther) ScriptedOpener::answeredBy = other.pid;
        item.Kill();

        EXPECT_EQ(site.lines, c.killed ? std::vector<std::wstring>{L"OK sample_caller gekillt"}
                                       : std::vector<std::wstring>{});
        EXPECT_EQ(site.scheduled, std::vector<unsigned>{100});
        EXPECT_EQ(other.Wait(0), STILL_ACTIVE) << "another process is never killed";
        if (c.killed) {
            EXPECT_EQ(holder.Wait(5000), 0u) << "terminated with exit code 0";
        } else if (!c.holderEndsFirst) {
            EXPECT_EQ(holder.Wait(0), STILL_ACTIVE);
        }
        End(holder);
        End(other);
    }
}

// Close and bring to front find the window by the process's id: without a handle to the process
// the row was made for they cannot tell it from a later one with that id, so they send nothing and
// log nothing, and still reschedule.
TEST(ProcessItem, WindowActionsLeaveAProcessTheyCannotTellFromALaterOneAlone) {
    Child holder = StartWindowedHolder(L"Halter ohne Rechte");
    HWND window = WindowOf(holder);
    ASSERT_TRUE(window);
    RecordingSite site;
    swt::TProcessList list(&site);
    ScriptedOpener::refused = kRefuseEverything;
    ScriptedOpener::answeredBy = 0;
    swt::TProcessItem& unopened =
        swt::TProcessItem::Create(&list, holder.pid, BinPath(L"sample_caller.exe"), &ScriptedOpener::Open);
    ScriptedOpener::refused = kRefuseNothing;
    unopened.CloseProcess();
    unopened.BringToFront();
    EXPECT_TRUE(site.lines.empty());
    EXPECT_EQ(site.scheduled, (std::vector<unsigned>{1000, 500}));
    EXPECT_EQ(site.returned, 1) << "the updater's own window comes back to the front all the same";
    EXPECT_TRUE(::IsWindow(window));
    EXPECT_EQ(holder.Wait(0), STILL_ACTIVE);
    End(holder);
}

}  // namespace
