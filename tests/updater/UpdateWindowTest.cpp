// The update window in this process against real holders: rows, hints, the row actions, the
// footer, the time limit and errors inside a pass.
#include <gtest/gtest.h>

#include <functional>

#include "lockscan/FileInUse_Tools.h"
#include "lockscan/NtApi.h"
#include "base/ScopeGuard.h"
#include "base/Error.h"
#include "tests/lockscan/Holder.h"
#include "tests/updater/UpdateWindowFixture.h"
#include "tests/updater/UpdaterDriver.h"
#include "ui/Application.h"
#include "ui/Panel.h"
#include "ui/ScrollBox.h"

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
    // Entries are scanned last first, so b's name comes first. The hint names each file by its
    // drive-letter path, whatever form the scan found the name in.
    const TDevicePaths devices;
    const std::wstring aShown = devices.DrivePath(ScanNameOf(a)), bShown = devices.DrivePath(ScanNameOf(b));
    EXPECT_TRUE(SamePath(aShown, a)) << Narrow(aShown);
    EXPECT_TRUE(SamePath(bShown, b)) << Narrow(bShown);
    EXPECT_EQ(w.ItemOf(both.pid())->Hint(), L"Verwendet\r" + bShown + L"\r" + aShown);
    EXPECT_EQ(w.ItemOf(second.pid())->Hint(), L"Verwendet\r" + aShown);
    EXPECT_EQ(w.RowOf(both.pid()).kx_TaskButton1->Caption(), L"lockscan_holder");
    EXPECT_TRUE(w.RowOf(both.pid()).kx_TaskButton1->Image().Empty());  // the fixture carries no icon
    const int twoRows = w.Height();
    // Each row's process was opened when the row was made; its actions go through that handle.
    ASSERT_TRUE(w.ItemOf(second.pid())->FProcess);
    EXPECT_EQ(::GetProcessId(w.ItemOf(second.pid())->FProcess.get()), second.pid());

    // "aktualisieren" runs a pass at once; the next tick comes 3 s after it.
    size_t before = LogOf(job.LogPath()).size();
    w.form->kx_TaskButton2LinkClick(0);
    w.Settle();
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
    w.Settle();
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
    UpdateWindow w(job);
    w.form->Run.ReadUpdateJob();
    // The calling program answers WM_CLOSE by queueing an "aktualisieren" click.
    OwnCaller caller(
        w, dest, [](HWND self) { ::PostMessageW(self, WM_APP, 0, 0); }, [&] { w.form->kx_TaskButton2LinkClick(0); });
    ASSERT_TRUE(caller.held);

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

// The user closes the update window while the calling program is being closed: the run ends
// and the calling program is started again, once.
TEST(UpdateWindow, ClosingTheWindowWhileTheCallerClosesRestartsItOnce) {
    Job job;
    const std::wstring dest = job.dir / L"held.dat";
    job.AddEntries({dest});
    UpdateWindow w(job);
    w.form->Run.ReadUpdateJob();
    // The user closes the update window while the calling program handles its close.
    const HWND updateWindow = w.form->Handle();
    OwnCaller caller(w, dest, [updateWindow](HWND) { ::PostMessageW(updateWindow, WM_CLOSE, 0, 0); });
    ASSERT_TRUE(caller.held);

    w.Tick();
    EXPECT_FALSE(w.form->Visible());
    const std::vector<std::string> lines = LogOf(job.LogPath());
    // The user's close comes while the caller closes: the file left is given up at that moment.
    EXPECT_EQ(Since(lines, 2), (std::vector<std::string>{"START read depended Prozesses",
                                                          "ENDE ohne Fortsetzung, Dateien nicht ersetzt: 1",
                                                          "OKAY Aufrufendes Programm beenden",
                                                          "OKAY Aufrufendes Programm neu starten"}));
    EXPECT_EQ(ReadFileBytes(dest), "old") << "no file is copied once the window closed";
}

// A pass that fails while the error of an earlier pass is on screen (the timer goes on under the
// box) opens no second box; once the box is closed, the next error shows again.
TEST(UpdateWindow, OneErrorBoxAtATime) {
    Job job;
    const std::wstring dest = job.dir / L"held.dat";
    job.AddEntries({dest});
    Holder holder({L"open", L"r", L"0", dest});
    ASSERT_TRUE(holder.ready());
    // The handle table cannot be read: every pass with a held file fails.
    const NtFunctions saved = Nt();
    ScopeExit restore([&] { Nt() = saved; });
    Nt().QuerySystemInformation = [](ULONG, PVOID, ULONG, PULONG) -> NTSTATUS_T {
        return static_cast<NTSTATUS_T>(0xC0000022);  // access denied
    };
    int shown = 0, shownMeanwhile = -1;
    UpdateWindow w(job);
    Application().OnException = [&](const std::wstring&) {
        ++shown;
        if (shown == 1) {
            w.Tick();
            w.Tick();
            shownMeanwhile = shown;
        }
    };
    ScopeExit display([] { Application().OnException = nullptr; });
    w.Tick();
    EXPECT_EQ(shownMeanwhile, 1);
    w.Tick();
    EXPECT_EQ(shown, 2);
    EXPECT_TRUE(w.form->Timer1.Enabled());
}

TEST(UpdateWindow, PlacedInsideTheWorkArea) {
    struct Case {
        const char* name;
        TRect work;
        TSize size;
        TRect expected;
    } cases[] = {
        {"16 pixels inside the corner", TRect{0, 0, 1280, 1024}, {480, 300}, TRect::Bounds(16, 16, 480, 300)},
        {"a second monitor left of the first", TRect{-1024, 30, 0, 798}, {480, 300}, TRect::Bounds(-1008, 46, 480, 300)},
        {"as tall as the work area: at its top", TRect{0, 0, 1280, 800}, {480, 800}, TRect::Bounds(16, 0, 480, 800)},
        {"nearly as tall: moved up as far as needed", TRect{0, 0, 1280, 800}, {480, 790}, TRect::Bounds(16, 10, 480, 790)},
        {"no work area: the designed place", TRect{}, {480, 300}, TRect::Bounds(224, 70, 480, 300)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TRect r = UpdateWindowBounds(c.work, c.size);
        EXPECT_TRUE(r.Left == c.expected.Left && r.Top == c.expected.Top && r.Right == c.expected.Right &&
                    r.Bottom == c.expected.Bottom)
            << r.Left << "," << r.Top << "," << r.Right << "," << r.Bottom;
    }
}

TRect ScreenRectOf(HWND w) {
    RECT r{};
    ::GetWindowRect(w, &r);
    return TRect{r.left, r.top, r.right, r.bottom};
}

bool Inside(const TRect& inner, const TRect& outer) {
    return inner.Left >= outer.Left && inner.Top >= outer.Top && inner.Right <= outer.Right &&
           inner.Bottom <= outer.Bottom;
}

// The screen rectangle of a task button's link.
TRect LinkOnScreen(Tkx_TaskButton& button, size_t link) {
    const TRect r = button.LinkRects().at(link);
    POINT corners[2] = {{r.Left, r.Top}, {r.Right, r.Bottom}};
    ::MapWindowPoints(button.Handle(), nullptr, corners, 2);
    return TRect{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
}

// Clicks a task button's link as the mouse does; links answer the mouse in an active window, as
// the window is once the user clicks it.
void ClickLink(Tkx_TaskButton& button, size_t link) {
    ::SetForegroundWindow(::GetAncestor(button.Handle(), GA_ROOT));
    Application().ProcessMessages();
    const TRect r = button.LinkRects().at(link);
    POINT at{(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
    POINT screen = at;
    ::ClientToScreen(button.Handle(), &screen);
    ::SetCursorPos(screen.x, screen.y);
    const LPARAM l = MAKELPARAM(at.x, at.y);
    ::PostMessageW(button.Handle(), WM_MOUSEMOVE, 0, l);
    ::PostMessageW(button.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, l);
    ::PostMessageW(button.Handle(), WM_LBUTTONUP, 0, l);
    Application().ProcessMessages();
}

// 16 holders: more rows than the 1280x1024 display has room for. The window stays inside the
// work area with header and footer on screen, the rows scroll, the mouse wheel brings the last
// row into sight, and its "Prozess killen" and the footer's "Alle beenden" work by mouse.
TEST(UpdateWindow, ManyHoldersScrollInsideTheWorkArea) {
    constexpr size_t kHolders = 16;
    Job job;
    HeldFiles held(job, kHolders);
    ASSERT_TRUE(held.ready);
    ParkCursor();
    UpdateWindow w(job);
    w.Tick();
    ASSERT_EQ(w.Rows(), kHolders);

    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromWindow(w.form->Handle(), MONITOR_DEFAULTTONEAREST), &monitor));
    const TRect work{monitor.rcWork.left, monitor.rcWork.top, monitor.rcWork.right, monitor.rcWork.bottom};
    const TRect window = ScreenRectOf(w.form->Handle());
    EXPECT_TRUE(Inside(window, work)) << window.Top << ".." << window.Bottom << " in " << work.Top << ".." << work.Bottom;
    EXPECT_GT(window.Height(), work.Height() * 3 / 4) << "the window takes the room there is";
    TScrollBox& box = *w.form->ScrollBox1;
    ASSERT_TRUE(box.Scrolling());
    EXPECT_TRUE(::GetWindowLongW(box.Handle(), GWL_STYLE) & WS_VSCROLL);
    const TRect header = ScreenRectOf(w.form->kx_TaskButton1->Handle());
    const TRect footer = ScreenRectOf(w.form->kx_TaskButton2->Handle());
    EXPECT_TRUE(Inside(header, window));
    EXPECT_TRUE(Inside(footer, window));
    EXPECT_TRUE(Inside(LinkOnScreen(*w.form->kx_TaskButton2, 1), work)) << "\"Alle beenden\" on screen";

    RECT boxClient{};
    ::GetClientRect(box.Handle(), &boxClient);
    ::MapWindowPoints(box.Handle(), nullptr, reinterpret_cast<POINT*>(&boxClient), 2);
    const TRect visibleRows{boxClient.left, boxClient.top, boxClient.right, boxClient.bottom};
    auto& last = static_cast<TProcessFrame&>(*box.Controls(box.ControlCount() - 1));
    Tkx_TaskButton& lastBlock = *last.kx_TaskButton1;
    EXPECT_FALSE(Inside(LinkOnScreen(lastBlock, 1), visibleRows)) << "the last row starts out of sight";
    EXPECT_LT(ScreenRectOf(last.Handle()).Right, visibleRows.Right + 1) << "rows leave room for the scroll bar";

    // The wheel turned over a row scrolls the rows (a row's window leaves it to its parents).
    for (int notch = 0; notch < 40 && !Inside(LinkOnScreen(lastBlock, 1), visibleRows); ++notch) {
        ::SendMessageW(last.Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
        Application().ProcessMessages();
    }
    EXPECT_GT(box.ScrollPos(), 0);
    ASSERT_TRUE(Inside(LinkOnScreen(lastBlock, 1), visibleRows)) << "the last row's links in sight";
    EXPECT_TRUE(Inside(header, ScreenRectOf(w.form->kx_TaskButton1->Handle())) &&
                Inside(footer, ScreenRectOf(w.form->kx_TaskButton2->Handle())))
        << "header and footer stay where they are";

    const DWORD lastPid = last.FItem->FProcessId;
    size_t logged = LogOf(job.LogPath()).size();
    ClickLink(lastBlock, 1);
    EXPECT_EQ(Since(LogOf(job.LogPath()), logged), (std::vector<std::string>{"OK lockscan_holder gekillt"}));
    w.Tick();
    EXPECT_EQ(w.Rows(), kHolders - 1);
    EXPECT_FALSE(w.ItemOf(lastPid));

    logged = LogOf(job.LogPath()).size();
    ClickLink(*w.form->kx_TaskButton2, 1);
    w.Settle();
    const std::vector<std::string> after = Since(LogOf(job.LogPath()), logged);
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after.front(), "START - Alle Beenden");

    held.holders.clear();
    w.Tick();
    EXPECT_FALSE(w.form->Visible()) << "every file copied";
}

// A holder whose window has stopped handling messages: "Prozess beenden" and the closing of the
// calling program give up on it after a few seconds and log it, the update window goes on taking
// input, the row's "Prozess killen" ends the holder, and the update finishes. The calling program
// never got the close message, so it is not started again.
TEST(UpdateWindow, HungHolderNeverFreezesTheRealUpdater) {
    Job job;
    const std::wstring dest = job.dir / L"held.dat";
    const std::wstring source = job.AddEntries({dest})[0];
    const std::wstring mark = job.dir / L"mark.txt";
    Child hung = Start(BinPath(L"sample_caller.exe"),
                       L"/caption \"Hangs\" /hang /mark \"" + mark + L"\" /hold \"" + dest + L"\"");
    Child updater;
    EndsWithTheTest cleanup({&hung, &updater});
    ASSERT_TRUE(WaitUntil([&] { return FindProcessWindow(hung.pid) != nullptr; }));
    job.NameCaller(hung.pid, L"SwtSampleCaller", L"Hangs", L"\"" + BinPath(L"sample_caller.exe") + L"\" /mark \"" + mark + L"\"");

    const std::vector<POINT> links = RowLinkPlaces(hung.pid, source, dest);
    ASSERT_EQ(links.size(), 4u);
    const POINT kill = links[1], close = links[2];

    updater = Start(BinPath(L"Swaptide2.exe"), L"doit " + job.section);
    ASSERT_TRUE(WaitUntil([&] { return Contains(LogOf(job.LogPath()), "END read depended Prozesses (1)"); }, 60000))
        << testing::PrintToString(LogOf(job.LogPath()));
    EXPECT_TRUE(Contains(LogOf(job.LogPath()), "WARN Aufrufendes Programm antwortet nicht, Closemessage aufgegeben"));
    EXPECT_EQ(swt::test::Run(BinPath(L"demo_driver.exe"), L"rows 1 20"), 0u);
    auto clickRow = [](POINT at) {
        return swt::test::Run(BinPath(L"demo_driver.exe"),
                              L"close-row 0 " + std::to_wstring(at.x) + L" " + std::to_wstring(at.y));
    };
    EXPECT_EQ(clickRow(close), 0u);
    EXPECT_TRUE(WaitUntil([&] {
        return Contains(LogOf(job.LogPath()), "WARN sample_caller antwortet nicht, Closemessage aufgegeben");
    })) << testing::PrintToString(LogOf(job.LogPath()));
    EXPECT_EQ(clickRow(kill), 0u);
    EXPECT_EQ(updater.Wait(30000), 0u);
    EXPECT_EQ(hung.Wait(0), 0u) << "killed with exit code 0";

    const std::vector<std::string> lines = LogOf(job.LogPath());
    EXPECT_TRUE(Contains(lines, "OK sample_caller gekillt")) << testing::PrintToString(lines);
    EXPECT_FALSE(Contains(lines, "OKAY Aufrufendes Programm beenden"));
    EXPECT_FALSE(Contains(lines, "OKAY Aufrufendes Programm neu starten"));
    EXPECT_EQ(lines.back(), "END Nix depended -> Call Close");
    EXPECT_EQ(ReadFileBytes(dest), "new");
    EXPECT_EQ(ReadFileBytes(mark), "started " + std::to_string(hung.pid) + "\r\n") << "never started again";
}

}  // namespace
}  // namespace swt::test
