// The update window in this process against real holders: rows, hints, the row actions, the
// footer, the time limit and errors inside a pass.
#include <gtest/gtest.h>

#include "lockscan/FileInUse_Tools.h"
#include "support/base/Error.h"
#include "tests/lockscan/Holder.h"
#include "tests/updater/UpdateWindowFixture.h"
#include "tests/updater/UpdaterDriver.h"
#include "ui/Application.h"
#include "ui/Panel.h"

namespace swt::test {
namespace {

std::vector<std::string> Since(const std::vector<std::string>& lines, size_t from) {
    return std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(std::min(from, lines.size())), lines.end());
}

// One process holding two files has one row listing both; two processes on one file, two rows.
// Rows go when their process lets go, and the window shrinks with them.
TEST(UpdateWindow, RowsHintsKillAndAllClose) {
    Job job;
    job.key.SetString(L"this_logfile", job.LogPath());
    job.key.SetString(L"count", L"2");
    const std::wstring a = job.dir / L"a.dat", b = job.dir / L"b.dat";
    WriteFileBytes(a, "old");
    WriteFileBytes(b, "old");
    job.AddEntry(1, a);
    job.AddEntry(2, b);
    Holder both({L"open", L"r", L"r", a, L"open", L"r", L"r", b});
    Holder second({L"open", L"r", L"r", a});
    ASSERT_TRUE(both.ready() && second.ready());

    UpdateWindow w(job);
    const int empty = w.Height();
    w.Tick();
    ASSERT_EQ(w.Rows(), 2u);
    EXPECT_GT(w.Height(), empty);
    ASSERT_TRUE(w.ItemOf(both.pid()) && w.ItemOf(second.pid()));
    // Entries are scanned last first, so b's name comes first.
    EXPECT_EQ(w.ItemOf(both.pid())->Hint(), L"Verwendet\r" + ScanNameOf(b) + L"\r" + ScanNameOf(a));
    EXPECT_EQ(w.ItemOf(second.pid())->Hint(), L"Verwendet\r" + ScanNameOf(a));
    EXPECT_EQ(w.RowOf(both.pid()).kx_TaskButton1->Caption(), L"lockscan_holder");
    EXPECT_TRUE(w.RowOf(both.pid()).kx_TaskButton1->Image().Empty());  // the fixture carries no icon
    const int twoRows = w.Height();
    // Each row's process was opened when the row was made; its actions go through that handle.
    ASSERT_TRUE(w.ItemOf(second.pid())->FProcess);
    EXPECT_EQ(::GetProcessId(w.ItemOf(second.pid())->FProcess.get()), second.pid());

    // "aktualisieren" runs a pass at once; the next tick comes 3 s after it.
    size_t before = LogOf(job.LogPath()).size();
    w.form->kx_TaskButton2LinkClick(0);
    EXPECT_EQ(Since(LogOf(job.LogPath()), before),
              (std::vector<std::string>{"START read depended Prozesses", "END read depended Prozesses (2)"}));
    EXPECT_EQ(w.form->Timer1.Interval(), 3000u);
    EXPECT_TRUE(w.form->Timer1.Enabled());

    // Kill from the row's link: logged by the row's caption; the next pass drops the row.
    size_t logged = LogOf(job.LogPath()).size();
    const void* goneMenu = &w.RowOf(second.pid()).PopupMenu1;
    w.RowOf(second.pid()).kx_TaskButton1LinkClick(1);
    EXPECT_EQ(Since(LogOf(job.LogPath()), logged), (std::vector<std::string>{"OK lockscan_holder gekillt"}));
    EXPECT_EQ(w.form->Timer1.Interval(), 100u);
    w.Tick();
    EXPECT_EQ(w.Rows(), 1u);
    EXPECT_FALSE(w.form->Release(goneMenu)) << "the gone row's menu left the window's owner list with the row";
    EXPECT_LT(w.Height(), twoRows);
    EXPECT_GT(w.Height(), empty);

    // A process without windows: close and "Alle beenden" send nothing and log no action.
    logged = LogOf(job.LogPath()).size();
    w.RowOf(both.pid()).kx_TaskButton1LinkClick(2);
    w.RowOf(both.pid()).kx_TaskButton1LinkClick(3);  // the empty fourth link
    w.form->kx_TaskButton2LinkClick(1);
    EXPECT_EQ(Since(LogOf(job.LogPath()), logged),
              (std::vector<std::string>{"START - Alle Beenden", "END - Alle Beenden", "START read depended Prozesses",
                                        "END read depended Prozesses (2)"}));
    EXPECT_EQ(w.Rows(), 1u);

    // Kill through the context menu; the next pass copies both files and closes the window.
    w.RowOf(both.pid()).ActionKill.Execute();
    w.Tick();
    EXPECT_FALSE(w.form->Visible());
    EXPECT_EQ(LogOf(job.LogPath()).back(), "END Nix depended -> Call Close");
    EXPECT_EQ(ReadFileBytes(a), "new");
    EXPECT_EQ(ReadFileBytes(b), "new");
}

// Close and bring to front reach the holder's window; the updater takes the front back.
TEST(UpdateWindow, BringToFrontAndCloseReachTheHoldersWindow) {
    Job job;
    const std::wstring dest = job.dir / L"held.dat";
    job.AddEntries({dest});
    Child other = Start(BinPath(L"sample_caller.exe"), L"/caption \"Zweites Programm\" /hold \"" + dest + L"\"");
    ASSERT_TRUE(WaitUntil([&] { return FindProcessWindow(other.pid) != nullptr; }));

    UpdateWindow w(job);
    w.Tick();
    ASSERT_EQ(w.Rows(), 1u);
    // The handle scan names the holder by its image name only; the icon comes from its full path.
    EXPECT_EQ(w.RowOf(other.pid).kx_TaskButton1->Caption(), L"sample_caller");
    EXPECT_FALSE(w.RowOf(other.pid).kx_TaskButton1->Image().Empty());
    size_t logged = LogOf(job.LogPath()).size();
    w.RowOf(other.pid).kx_TaskButton1LinkClick(-1);  // a click outside the links brings it to the front
    EXPECT_EQ(Since(LogOf(job.LogPath()), logged), (std::vector<std::string>{"OK sample_caller Bring to front sended"}));
    EXPECT_EQ(w.form->Timer1.Interval(), 500u);
    EXPECT_EQ(::GetForegroundWindow(), w.form->Handle());

    logged = LogOf(job.LogPath()).size();
    w.RowOf(other.pid).kx_TaskButton1LinkClick(2);
    EXPECT_EQ(Since(LogOf(job.LogPath()), logged), (std::vector<std::string>{"OK sample_caller Closemessage sended"}));
    EXPECT_EQ(w.form->Timer1.Interval(), 1000u);
    EXPECT_EQ(other.Wait(10000), 0u);
    w.Tick();
    EXPECT_EQ(ReadFileBytes(dest), "new");
    EXPECT_FALSE(w.form->Visible());
}

// A footer click handled while the calling program is being closed does not start a second pass
// inside the first.
TEST(UpdateWindow, NoPassStartsInsideAPass) {
  try {
    Job job;
    const std::wstring dest = job.dir / L"held.dat";
    job.AddEntries({dest});
    // This process plays the calling program: it holds the file, and its "main window" answers
    // WM_CLOSE by letting the file go and queueing an "aktualisieren" click.
    UniqueFile held(::CreateFileW(dest.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    UpdateWindow w(job);
    w.form->Run.ReadUpdateJob();
    // The updater never lists its own process as a holder; here this process plays the calling
    // program as well, so it is taken for another one.
    w.form->Run.FToDoList->FOwnProcessId = 0;
    struct CallerState {
        UniqueFile* held;
        TForm1* form;
    } state{&held, w.form.get()};
    WNDCLASSW wc{};
    wc.lpfnWndProc = [](HWND h, UINT msg, WPARAM wp, LPARAM lp) -> LRESULT {
        auto* s = reinterpret_cast<CallerState*>(::GetWindowLongPtrW(h, GWLP_USERDATA));
        if (msg == WM_CLOSE && s) {
            s->held->reset();
            ::PostMessageW(h, WM_APP, 0, 0);
            return 0;
        }
        if (msg == WM_APP && s) {
            s->form->kx_TaskButton2LinkClick(0);
            return 0;
        }
        return ::DefWindowProcW(h, msg, wp, lp);
    };
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"SwtReentryCaller";
    ::RegisterClassW(&wc);
    UniqueWindow caller(::CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                          wc.hInstance, nullptr));
    ::SetWindowLongPtrW(caller.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));
    w.form->Run.FCallerProcessId = ::GetCurrentProcessId();
    w.form->Run.FCallerWindow = caller.get();

    w.Tick();
    const std::vector<std::string> lines = LogOf(job.LogPath());
    EXPECT_EQ(Since(lines, 2),
              (std::vector<std::string>{"START read depended Prozesses", "OKAY Aufrufendes Programm beenden",
                                        "OKAY COPY " + Narrow(job.dir / L"new1.bin") + " -> " + Narrow(dest),
                                        "OKAY DELETE " + Narrow(job.dir / L"new1.bin"),
                                        "END Nix depended -> Call Close", "OKAY Aufrufendes Programm neu starten"}));
  } catch (const Error& e) {
    FAIL() << Narrow(e.message());
  }
}

TEST(UpdateWindow, AfterTwentyThreeHoursTheWindowClosesWithoutAPass) {
    Job job;
    job.key.SetString(L"this_logfile", job.LogPath());
    job.key.SetString(L"count", L"1");
    job.AddEntry(1, job.dir / L"dest.bin");
    UpdateWindow w(job);
    w.form->Run.FStartTick = ::GetTickCount64() - TUpdateRun::kTimeLimitMs - 1;
    w.Tick();
    EXPECT_FALSE(w.form->Visible());
    EXPECT_FALSE(FileExists(job.LogPath()));  // the job was never read
    EXPECT_TRUE(RegKey::Exists(job.key.path()));
}

// An error while reading the job goes to the error display; the timer goes on and the next pass
// works on the entries read before the error.
TEST(UpdateWindow, JobErrorIsShownAndThePassesGoOn) {
    Job job;
    job.key.SetString(L"this_logfile", job.LogPath());
    job.key.SetString(L"count", L"2");
    const std::wstring dest = job.dir / L"dest.bin";
    job.AddEntry(1, dest);
    job.key.SetString(L"2_Source", job.dir / L"new1.bin");
    job.key.SetDword(L"2_Dest", 7);
    std::vector<std::wstring> shown;
    Application().OnException = [&](const std::wstring& text) { shown.push_back(text); };
    UpdateWindow w(job);
    w.Tick();
    EXPECT_EQ(shown, (std::vector<std::wstring>{L"Ungültiger Datentyp für '2_Dest'"}));
    EXPECT_TRUE(w.form->Timer1.Enabled());
    EXPECT_EQ(w.form->Timer1.Interval(), 3000u);
    w.Tick();
    Application().OnException = nullptr;
    EXPECT_EQ(ReadFileBytes(dest), "new");
    EXPECT_FALSE(w.form->Visible());
    EXPECT_TRUE(RegKey::Exists(job.key.path()));
}

}  // namespace
}  // namespace swt::test
