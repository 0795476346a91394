// The update window's lock scan on its own thread, against real holders: the window handles
// messages while a scan runs, a close during a scan returns without waiting for it and drops its
// result, rows follow holders that come and go between passes, and a job that fails part-way.
// A gate in front of the scan's first system-information query holds a scan for as long as a
// test needs it to run.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "base/ScopeGuard.h"
#include "lockscan/NtApi.h"
#include "tests/lockscan/Holder.h"
#include "tests/updater/UpdateWindowFixture.h"
#include "tests/updater/UpdaterDriver.h"
#include "ui/Application.h"

namespace swt::test {
namespace {

struct GateState {
    HANDLE entered = nullptr;  // auto-reset: a scan has reached the gate
    HANDLE release = nullptr;  // manual-reset: the gate is open
    std::atomic<bool> armed{false};
    std::atomic<bool> held{false};  // a scan waits at the gate
    NtQuerySystemInformationFn real = nullptr;
};
GateState g_gate;

NTSTATUS_T NTAPI GatedQuery(ULONG infoClass, PVOID buffer, ULONG length, PULONG returnLength) {
    if (g_gate.armed) {
        g_gate.held = true;
        ::SetEvent(g_gate.entered);
        ::WaitForSingleObject(g_gate.release, 30000);
        g_gate.held = false;
    }
    return g_gate.real(infoClass, buffer, length, returnLength);
}

// While armed, a lock scan of this process stops at its first system-information query until the
// gate is opened. Installed before the window's first scan; removed once no scan waits.
class ScanGate {
public:
    ScanGate() : entered_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)), release_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        g_gate.entered = entered_.get();
        g_gate.release = release_.get();
        g_gate.real = Nt().QuerySystemInformation;
        Nt().QuerySystemInformation = GatedQuery;
    }
    ~ScanGate() {
        Open();
        WaitUntil([] { return !g_gate.held; }, 30000);
        Nt().QuerySystemInformation = g_gate.real;
    }
    ScanGate(const ScanGate&) = delete;
    ScanGate& operator=(const ScanGate&) = delete;

    void Arm() {
        ::ResetEvent(release_.get());
        g_gate.armed = true;
    }
    void Open() {
        g_gate.armed = false;
        ::SetEvent(release_.get());
    }
    bool Held() const { return g_gate.held; }
    // Handles the window thread's messages until a scan waits at the gate.
    bool WaitForScan() {
        const ULONGLONG end = ::GetTickCount64() + 30000;
        while (::GetTickCount64() < end) {
            Application().ProcessMessages();
            if (::WaitForSingleObject(entered_.get(), 20) == WAIT_OBJECT_0) return true;
        }
        return false;
    }

private:
    UniqueHandleT entered_, release_;
};

// The log from the pass's first line on.
std::vector<std::string> PassLines(const Job& job) {
    const std::vector<std::string> lines = LogOf(job.LogPath());
    auto start = std::find(lines.begin(), lines.end(), "START read depended Prozesses");
    return std::vector<std::string>(start, lines.end());
}

std::wstring HeldFileOf(Job& job) {
    const std::wstring dest = job.dir / L"held.dat";
    job.AddEntries({dest});
    return dest;
}

// A job of one file that a holder process keeps open (others may read it), and a shown update
// window whose first tick has come to its scan, which waits at the gate.
struct ScanUnderWay {
    ScanUnderWay() {
        if (!holder.ready()) return;
        gate.Arm();
        w.form->Timer1Timer();
        started = gate.WaitForScan();
    }
    Job job;
    const std::wstring dest = HeldFileOf(job);
    Holder holder{{L"open", L"r", L"r", dest}};
    ScanGate gate;
    UpdateWindow w{job};
    bool started = false;
};

// While the scan runs, another thread's message to the window is answered, and a tick,
// "aktualisieren" and "Alle beenden" start no pass of their own; the scan's result then gives the
// row, its hint and the END line, and the timer restarts for the next pass.
TEST(UpdateWindowScan, WindowHandlesMessagesWhileTheScanRuns) {
    ScanUnderWay s;
    ASSERT_TRUE(s.started);
    UpdateWindow& w = s.w;
    EXPECT_TRUE(w.form->Run.InPass());

    std::atomic<bool> asked{false};
    LRESULT answered = 0;
    const HWND window = w.form->Handle();
    std::thread asker([&] {
        DWORD_PTR result = 0;
        answered = ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, &result);
        asked = true;
    });
    WaitUntil([&] {
        Application().ProcessMessages();
        return asked.load();
    });
    asker.join();
    EXPECT_NE(answered, 0) << "the window did not answer during the scan";
    EXPECT_TRUE(s.gate.Held());

    w.form->Timer1Timer();
    w.form->kx_TaskButton2LinkClick(0);
    w.form->kx_TaskButton2LinkClick(1);
    EXPECT_TRUE(s.gate.Held());
    s.gate.Open();
    w.Settle();
    EXPECT_EQ(PassLines(s.job), (std::vector<std::string>{"START read depended Prozesses", "START - Alle Beenden",
                                                          "END - Alle Beenden", "END read depended Prozesses (1)"}));
    ASSERT_EQ(w.Rows(), 1u);
    ASSERT_TRUE(w.ItemOf(s.holder.pid()));
    EXPECT_EQ(w.ItemOf(s.holder.pid())->Hint(), L"Verwendet\r" + ShownPathOf(s.dest));
    EXPECT_TRUE(w.form->Timer1.Enabled());
    EXPECT_EQ(w.form->Timer1.Interval(), 3000u);
}

// The user closes the window while the scan runs, or after it has posted its result but before
// the window took it: the close returns without waiting for the scan, the files left are given
// up, and the result never reaches the run or the window.
TEST(UpdateWindowScan, ClosingDuringAScanReturnsAtOnceAndDropsItsResult) {
    struct Case {
        const char* name;
        bool resultPosted;
    } cases[] = {{"while the scan runs", false}, {"with the result posted", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScanUnderWay s;
        ASSERT_TRUE(s.started);
        UpdateWindow& w = s.w;
        if (c.resultPosted) {
            s.gate.Open();
            // The result waits in the queue: no message is handled until the close.
            ASSERT_TRUE(WaitUntil([&] { return !w.form->Run.ScanThreadRunning(); }));
        }
        w.form->Close();
        EXPECT_FALSE(w.form->Visible());
        EXPECT_FALSE(w.form->Run.InPass());
        if (!c.resultPosted) {
            EXPECT_TRUE(s.gate.Held()) << "the close waited for the scan";
        }

        s.gate.Open();
        EXPECT_TRUE(WaitUntil([&] { return !w.form->Run.ScanThreadRunning(); }));
        Application().ProcessMessages();
        EXPECT_EQ(w.Rows(), 0u);
        EXPECT_EQ(PassLines(s.job), (std::vector<std::string>{"START read depended Prozesses",
                                                              "ENDE ohne Fortsetzung, Dateien nicht ersetzt: 1"}));
        EXPECT_EQ(ReadFileBytes(s.dest), "old");
    }
}

// A pass over many held files lets the window handle messages between its copies as well as
// during its scan: a close right after the tick, whatever the pass waits for at that moment, gives
// up the rest of the pass, and nothing of it reaches the window later.
TEST(UpdateWindowScan, ClosingRightAfterTheTickOfALongPassGivesUpItsRest) {
    constexpr int kFiles = 100;
    Job job;
    const std::wstring folder = job.dir / L"many";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    Holder holder({L"many", folder, std::to_wstring(kFiles)});
    ASSERT_TRUE(holder.ready());
    // The holder made the destinations and holds them without sharing write access.
    job.key.SetString(L"this_logfile", job.LogPath());
    job.key.SetString(L"count", std::to_wstring(kFiles));
    for (int i = 0; i < kFiles; ++i) job.AddEntry(i + 1, folder + L"\\h" + std::to_wstring(i) + L".dat");
    UpdateWindow w(job);
    w.form->Timer1Timer();
    ASSERT_TRUE(w.form->Run.InPass()) << "the pass ran to its end in the tick";
    w.form->Close();
    EXPECT_FALSE(w.form->Run.InPass());
    EXPECT_TRUE(WaitUntil([&] { return !w.form->Run.ScanThreadRunning(); }));
    Application().ProcessMessages();
    EXPECT_EQ(w.Rows(), 0u);
    EXPECT_EQ(PassLines(job), (std::vector<std::string>{"START read depended Prozesses",
                                                        "ENDE ohne Fortsetzung, Dateien nicht ersetzt: " +
                                                            std::to_string(kFiles)}));
}

// The calling program held a file and was closed; the cycle after it scans for the file another
// holder keeps, and the user closes the window during that scan: the calling program is started
// again, once, as on any close after it was closed.
TEST(UpdateWindowScan, ClosingDuringTheScanAfterTheCallersCloseRestartsTheCaller) {
    Job job;
    const std::wstring own = job.dir / L"caller.dat", other = job.dir / L"other.dat";
    const std::vector<std::wstring> sources = job.AddEntries({own, other});
    Holder holder({L"open", L"r", L"r", other});
    ASSERT_TRUE(holder.ready());
    ScanGate gate;
    UpdateWindow w(job);
    w.form->Run.ReadUpdateJob();
    // The scan after the caller's close stops at the gate.
    OwnCaller caller(w, own, [&](HWND) { gate.Arm(); });
    ASSERT_TRUE(caller.held);

    w.form->Timer1Timer();
    ASSERT_TRUE(gate.WaitForScan());
    ::PostMessageW(w.form->Handle(), WM_CLOSE, 0, 0);
    Application().ProcessMessages();
    EXPECT_FALSE(w.form->Visible());
    EXPECT_TRUE(gate.Held()) << "the close waited for the scan";
    gate.Open();
    EXPECT_TRUE(WaitUntil([&] { return !w.form->Run.ScanThreadRunning(); }));
    Application().ProcessMessages();

    EXPECT_EQ(PassLines(job),
              (std::vector<std::string>{"START read depended Prozesses", "OKAY Aufrufendes Programm beenden",
                                        "OKAY COPY " + Narrow(sources[0]) + " -> " + Narrow(own),
                                        "OKAY DELETE " + Narrow(sources[0]),
                                        "ENDE ohne Fortsetzung, Dateien nicht ersetzt: 1",
                                        "OKAY Aufrufendes Programm neu starten"}));
    EXPECT_EQ(ReadFileBytes(other), "old");
}

// Holders come and go between passes: the first pass shows its rows in the order of the job's
// files; a process that closes its handle (and runs on) loses its row at the next pass, which
// copies the file; a process that opens a held file since gets a row below the others.
TEST(UpdateWindowScan, RowsFollowHoldersThatComeAndGo) {
    Job job;
    const std::wstring a = job.dir / L"a.dat", b = job.dir / L"b.dat";
    job.AddEntries({a, b});
    Holder first({L"open", L"r", L"r", b});
    ASSERT_TRUE(first.ready());
    UpdateWindow w(job);
    w.form->Run.ReadUpdateJob();
    // This process holds a and lets it go later; the updater takes it for any other holder.
    w.form->Run.FToDoList->FOwnProcessId = 0;
    UniqueFile mine(::CreateFileW(a.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(mine);
    const DWORD self = ::GetCurrentProcessId();

    w.Tick();
    EXPECT_EQ(w.RowsOf({self, first.pid()}), (std::vector<DWORD>{self, first.pid()}));
    EXPECT_EQ(w.ItemOf(self)->Hint(), L"Verwendet\r" + ShownPathOf(a));
    EXPECT_EQ(w.ItemOf(first.pid())->Hint(), L"Verwendet\r" + ShownPathOf(b));

    mine.reset();
    Holder later({L"open", L"r", L"r", b});
    ASSERT_TRUE(later.ready());
    w.Tick();
    EXPECT_EQ(ReadFileBytes(a), "new");
    EXPECT_EQ(w.RowsOf({self, first.pid(), later.pid()}), (std::vector<DWORD>{first.pid(), later.pid()}));
    EXPECT_EQ(w.ItemOf(first.pid())->Hint(), L"Verwendet\r" + ShownPathOf(b));
    EXPECT_EQ(w.ItemOf(later.pid())->Hint(), L"Verwendet\r" + ShownPathOf(b));
    EXPECT_EQ(LogOf(job.LogPath()).back(), "END read depended Prozesses (1)");
}

// A value that cannot be read stops the job's reading: the error shows at once, and the next
// pass finds the holders of the entries read before it, rows with their hints.
TEST(UpdateWindowScan, JobThatFailsPartWayShowsItsErrorThenThePassFindsTheHolders) {
    Job job;
    job.key.SetString(L"this_logfile", job.LogPath());
    job.key.SetString(L"count", L"2");
    const std::wstring dest = job.dir / L"held.dat";
    WriteFileBytes(dest, "old");
    job.AddEntry(1, dest);
    job.key.SetString(L"2_Source", job.dir / L"new1.bin");
    job.key.SetDword(L"2_Dest", 7);
    Holder holder({L"open", L"r", L"0", dest});
    ASSERT_TRUE(holder.ready());
    std::vector<std::wstring> shown;
    Application().OnException = [&](const std::wstring& text) { shown.push_back(text); };
    ScopeExit display([] { Application().OnException = nullptr; });

    UpdateWindow w(job);
    w.Tick();
    EXPECT_EQ(shown, (std::vector<std::wstring>{L"Ungültiger Datentyp für '2_Dest'"}));
    EXPECT_EQ(w.Rows(), 0u) << "no row without its hint";
    w.Tick();
    ASSERT_TRUE(w.ItemOf(holder.pid()));
    EXPECT_EQ(w.ItemOf(holder.pid())->Hint(), L"Verwendet\r" + ShownPathOf(dest));
    EXPECT_EQ(LogOf(job.LogPath()).back(), "END read depended Prozesses (1)");
    EXPECT_EQ(shown.size(), 1u);
}

}  // namespace
}  // namespace swt::test
