// The real Swaptide2.exe from job to end, with real holders and a real calling application.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/lockscan/Holder.h"
#include "tests/updater/UpdaterDriver.h"
#include "tests/updater/WindowTree.h"

namespace swt::test {
namespace {

std::wstring Updater() { return BinPath(L"Swaptide2.exe"); }

std::string CopyLine(const std::wstring& source, const std::wstring& dest) {
    return "OKAY COPY " + Narrow(source) + " -> " + Narrow(dest);
}

// The lines of a mark file ("started <pid>", "closed <pid>").
std::vector<std::string> Marks(const std::wstring& path) {
    std::vector<std::string> lines;
    const std::string bytes = FileExists(path) ? ReadFileBytes(path) : std::string();
    for (size_t pos = 0, end; (end = bytes.find("\r\n", pos)) != std::string::npos; pos = end + 2)
        lines.push_back(bytes.substr(pos, end - pos));
    return lines;
}

// A job of one file and a sample caller holding it, with a mark file; the job names the caller by
// its process id, window class and caption, with a runApp that starts it again with the same
// caption and mark file.
struct HoldingCaller {
    HoldingCaller(Job& job, const std::wstring& caption) : dest(job.dir / L"held.dat"), mark(job.dir / L"caller.txt") {
        job.AddEntries({dest});
        const std::wstring args = L"/caption \"" + caption + L"\" /mark \"" + mark + L"\"";
        child = Start(BinPath(L"sample_caller.exe"), args + L" /hold \"" + dest + L"\"");
        window = nullptr;
        WaitUntil([&] { return (window = FindProcessWindow(child.pid)) != nullptr; });
        job.NameCaller(child.pid, L"SwtSampleCaller", caption, L"\"" + BinPath(L"sample_caller.exe") + L"\" " + args);
    }
    // The caller was started, closed, and started again once (that instance is closed here).
    void ExpectClosedAndRestartedOnce() {
        std::vector<std::string> lines;
        ASSERT_TRUE(WaitUntil([&] { return (lines = Marks(mark)).size() >= 3; })) << "no restart";
        const DWORD pid = static_cast<DWORD>(std::stoul(lines[2].substr(lines[2].find(' ') + 1)));
        HWND again = nullptr;
        const bool shown = WaitUntil([&] { return (again = FindProcessWindow(pid)) != nullptr; });
        EXPECT_NE(pid, child.pid);
        EXPECT_EQ(Marks(mark), (std::vector<std::string>{"started " + std::to_string(child.pid),
                                                         "closed " + std::to_string(child.pid),
                                                         "started " + std::to_string(pid)}));
        if (shown) ::PostMessageW(again, WM_CLOSE, 0, 0);
    }
    std::wstring dest;
    std::wstring mark;
    Child child;
    HWND window;
};

TEST(UpdateRun, NothingHeldCopiesLastEntryFirstAndNeverTouchesTheCaller) {
    Job job;
    // A calling application named only by its window handle ("this_processID" 0): never closed.
    const std::wstring mark = job.dir / L"mark.txt";
    Child caller = Start(BinPath(L"sample_caller.exe"), L"/caption \"Handle Caller\" /mark \"" + mark + L"\"");
    HWND callerWindow = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (callerWindow = FindProcessWindow(caller.pid)) != nullptr; }));
    job.key.SetString(L"this_logfile", job.LogPath());
    job.key.SetString(L"this_processID", L"0");
    job.key.SetString(L"this_processAPP_FormHandle", std::to_wstring(reinterpret_cast<intptr_t>(callerWindow)));
    job.key.SetString(L"runApp", L"\"" + BinPath(L"sample_caller.exe") + L"\" /mark \"" + mark + L"\"");
    job.key.SetString(L"count", L"2");
    const std::wstring dest1 = job.dir / L"app\\one.dll";
    const std::wstring dest2 = job.dir / L"app\\new folder\\two.dll";  // a folder that does not exist yet
    ::CreateDirectoryW((job.dir / L"app").c_str(), nullptr);
    WriteFileBytes(dest1, "old");
    const std::wstring source1 = job.AddEntry(1, dest1);
    const std::wstring source2 = job.AddEntry(2, dest2);

    EXPECT_EQ(swt::test::Run(Updater(), L"doit " + job.section), 0u);

    EXPECT_EQ(LogOf(job.LogPath()),
              (std::vector<std::string>{
                  "RegistryRead Software\\Veltra Software\\Update", "RegistryErased: Software\\Veltra Software\\Update",
                  "START read depended Prozesses", CopyLine(source2, dest2), "OKAY DELETE " + Narrow(source2),
                  CopyLine(source1, dest1), "OKAY DELETE " + Narrow(source1), "END Nix depended -> Call Close"}));
    EXPECT_EQ(ReadFileBytes(dest1), "new");
    EXPECT_EQ(ReadFileBytes(dest2), "new");
    EXPECT_FALSE(FileExists(source1));
    EXPECT_FALSE(FileExists(ReplacementTempName(dest1)));
    EXPECT_FALSE(RegKey::Exists(job.key.path()));
    // The caller still runs and was started once only.
    EXPECT_EQ(caller.Wait(0), STILL_ACTIVE);
    EXPECT_EQ(ReadFileBytes(mark), "started " + std::to_string(caller.pid) + "\r\n");
    ::PostMessageW(callerWindow, WM_CLOSE, 0, 0);
    EXPECT_EQ(caller.Wait(), 0u);
}

// The calling application writes the job through the caller header and holds its own executable:
// the updater closes it, copies in the second cycle and starts it again after its window closed.
TEST(UpdateRun, CallerHoldingItsOwnExecutableIsClosedUpdatedAndRestarted) {
    TempDir dir;
    const std::wstring app = dir / L"app\\caller.exe", fresh = dir / L"new\\caller.exe";
    const std::wstring log = dir / L"update.log", mark = dir / L"mark.txt", data = dir / L"app\\data.bin";
    CopyProgram(L"sample_caller.exe", app);
    CopyProgram(L"sample_caller.exe", fresh);
    WriteFileBytes(fresh, ReadFileBytes(fresh) + "v2");  // the new version differs from the old
    WriteFileBytes(data, "data");
    Child caller = Start(app, L"/hold \"" + data + L"\" /mark \"" + mark + L"\" /update \"" + Updater() + L"\" \"" +
                                  log + L"\" \"" + fresh + L"\" \"" + app + L"\"");
    ASSERT_TRUE(WaitUntil([&] { return Contains(LogOf(log), "OKAY Aufrufendes Programm neu starten"); }, 60000))
        << "log so far: " << testing::PrintToString(LogOf(log));
    EXPECT_EQ(caller.Wait(10000), 0u);

    const std::vector<std::string> lines = LogOf(log);
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "RegistryRead Software\\Veltra Software\\Update",
                         "RegistryErased: Software\\Veltra Software\\Update", "START read depended Prozesses",
                         "OKAY Aufrufendes Programm beenden", CopyLine(fresh, app), "OKAY DELETE " + Narrow(fresh),
                         "END Nix depended -> Call Close", "OKAY Aufrufendes Programm neu starten"}));
    EXPECT_EQ(ReadFileBytes(app), ReadFileBytes(BinPath(L"sample_caller.exe")) + "v2");
    // Started, closed, started again (the new version).
    std::string marks;
    ASSERT_TRUE(WaitUntil([&] {
        marks = ReadFileBytes(mark);
        return std::count(marks.begin(), marks.end(), '\n') >= 3;
    }));
    EXPECT_EQ(marks.substr(0, marks.find("\r\n", marks.find("closed"))),
              "started " + std::to_string(caller.pid) + "\r\nclosed " + std::to_string(caller.pid));
    const DWORD restarted = static_cast<DWORD>(std::stoul(marks.substr(marks.rfind("started ") + 8)));
    EXPECT_NE(restarted, caller.pid);
    HWND again = nullptr;
    EXPECT_TRUE(WaitUntil([&] { return (again = FindProcessWindow(restarted)) != nullptr; }));
    if (again) ::PostMessageW(again, WM_CLOSE, 0, 0);
}

// Another program holds a file: a row appears and the window grows; when the holder is gone the
// file is copied and the window closes.
TEST(UpdateRun, HolderGetsARowUntilItLetsGo) {
    Job job;
    const std::wstring dest = job.dir / L"held.dat";
    const std::wstring source = job.AddEntries({dest})[0];
    auto holder = std::make_unique<Holder>(std::vector<std::wstring>{L"open", L"r", L"0", dest});
    ASSERT_TRUE(holder->ready());

    Child updater = Start(Updater(), L"doit " + job.section);
    HWND window = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (window = UpdaterWindowOf(updater.pid)) != nullptr; }));
    const int empty = WindowHeight(window);
    ASSERT_TRUE(WaitUntil([&] { return Contains(LogOf(job.LogPath()), "END read depended Prozesses (1)"); }));
    EXPECT_GT(WindowHeight(window), empty);  // the row
    EXPECT_EQ(updater.Wait(0), STILL_ACTIVE);

    holder.reset();
    EXPECT_EQ(updater.Wait(30000), 0u);
    const std::vector<std::string> lines = LogOf(job.LogPath());
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(lines.end() - 4, lines.end()),
              (std::vector<std::string>{"START read depended Prozesses", CopyLine(source, dest),
                                        "OKAY DELETE " + Narrow(source), "END Nix depended -> Call Close"}));
    EXPECT_EQ(ReadFileBytes(dest), "new");
}

TEST(UpdateRun, UserClosingTheWindowEndsTheRunWithoutCopying) {
    Job job;
    const std::wstring dest = job.dir / L"held.dat";
    job.AddEntries({dest});
    {
        Holder holder({L"open", L"r", L"0", dest});
        ASSERT_TRUE(holder.ready());
        Child updater = Start(Updater(), L"doit " + job.section);
        ASSERT_TRUE(WaitUntil([&] { return Contains(LogOf(job.LogPath()), "END read depended Prozesses (1)"); }));
        ::PostMessageW(UpdaterWindowOf(updater.pid), WM_CLOSE, 0, 0);
        EXPECT_EQ(updater.Wait(), 0u);
    }
    EXPECT_EQ(ReadFileBytes(dest), "old");
    EXPECT_FALSE(RegKey::Exists(job.key.path()));
    EXPECT_EQ(LogOf(job.LogPath()).back(), "END read depended Prozesses (1)");
}

// Killed in the middle of a large copy, the updater leaves the destination whole (old); a later
// run reuses the temporary name, puts the new file in place and leaves nothing behind.
TEST(UpdateRun, KilledInTheMiddleOfALargeCopyLeavesTheOldFileWhole) {
    TempDir dir;
    const std::wstring source = dir / L"big.new", dest = dir / L"big.bin";
    {
        std::string big(256u << 20, 'n');
        WriteFileBytes(source, big);
    }
    WriteFileBytes(dest, "old");
    bool killedMidCopy = false;
    for (int attempt = 0; attempt < 5 && !killedMidCopy; ++attempt) {
        Job job;
        job.key.SetString(L"count", L"1");
        job.key.SetString(L"1_Source", source);
        job.key.SetString(L"1_Dest", dest);
        Child updater = Start(Updater(), L"doit " + job.section);
        // Kill it as soon as the temporary file has started to grow.
        WaitUntil([&] { return FileExists(ReplacementTempName(dest)) || updater.Wait(0) != STILL_ACTIVE; }, 60000);
        ::TerminateProcess(updater.process.get(), 1);
        updater.Wait();
        killedMidCopy = FileExists(source) && ReadFileBytes(dest) == "old";
        // Whatever the moment, the destination is the old file or the new one, whole.
        const std::string now = ReadFileBytes(dest);
        EXPECT_TRUE(now == "old" || now.size() == (256u << 20)) << "destination has " << now.size() << " bytes";
        if (!killedMidCopy) return;  // the copy was already done: nothing left to show
    }
    ASSERT_TRUE(killedMidCopy);
    EXPECT_TRUE(FileExists(ReplacementTempName(dest)));

    Job again;
    again.key.SetString(L"this_logfile", again.LogPath());
    again.key.SetString(L"count", L"1");
    again.key.SetString(L"1_Source", source);
    again.key.SetString(L"1_Dest", dest);
    EXPECT_EQ(swt::test::Run(Updater(), L"doit " + again.section, 120000), 0u);
    EXPECT_EQ(LogOf(again.LogPath()).back(), "END Nix depended -> Call Close");
    UniqueFile f(::CreateFileW(dest.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER size{};
    ::GetFileSizeEx(f.get(), &size);
    EXPECT_EQ(size.QuadPart, 256ll << 20);
    EXPECT_FALSE(FileExists(ReplacementTempName(dest)));
}

// Two instances of the calling program show windows of one class and caption, the other one on
// top: only the instance the job names is closed and started again; the other keeps running.
TEST(UpdateRun, OnlyTheCallingInstanceIsClosedAndRestarted) {
    Job job;
    HoldingCaller caller(job, L"Same Caption");
    ASSERT_TRUE(caller.window);
    const std::wstring otherMark = job.dir / L"other.txt";
    Child other = Start(BinPath(L"sample_caller.exe"), L"/caption \"Same Caption\" /mark \"" + otherMark + L"\"");
    ASSERT_TRUE(WaitUntil([&] { return FindProcessWindow(other.pid) != nullptr; }));

    EXPECT_EQ(swt::test::Run(Updater(), L"doit " + job.section, 60000), 0u);
    EXPECT_EQ(caller.child.Wait(10000), 0u);
    caller.ExpectClosedAndRestartedOnce();
    EXPECT_EQ(Marks(otherMark), (std::vector<std::string>{"started " + std::to_string(other.pid)}));
    EXPECT_EQ(other.Wait(0), STILL_ACTIVE);
    EXPECT_EQ(ReadFileBytes(caller.dest), "new");
    ::PostMessageW(FindProcessWindow(other.pid), WM_CLOSE, 0, 0);
    EXPECT_EQ(other.Wait(), 0u);
}

// Two updaters started on one job: one runs it, the other ends at once without touching it; the
// calling program is closed once and started again once.
TEST(UpdateRun, TwoUpdatersOnOneJobCloseTheCallerOnce) {
    Job job;
    HoldingCaller caller(job, L"Single Caller");
    ASSERT_TRUE(caller.window);

    Child first = Start(Updater(), L"doit " + job.section);
    Child second = Start(Updater(), L"doit " + job.section);
    ASSERT_TRUE(WaitUntil([&] { return first.Wait(0) != STILL_ACTIVE || second.Wait(0) != STILL_ACTIVE; }, 60000));
    EXPECT_TRUE(first.Wait(0) == STILL_ACTIVE || second.Wait(0) == STILL_ACTIVE)
        << "one updater ended at once while the other runs the job";
    EXPECT_EQ(first.Wait(60000), 0u);
    EXPECT_EQ(second.Wait(60000), 0u);

    caller.ExpectClosedAndRestartedOnce();
    const std::vector<std::string> lines = LogOf(job.LogPath());
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "RegistryRead Software\\Veltra Software\\Update"), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "OKAY Aufrufendes Programm beenden"), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "OKAY Aufrufendes Programm neu starten"), 1);
    EXPECT_EQ(ReadFileBytes(caller.dest), "new");
}

bool RectInside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

// 16 holders on the 1280x1024 display: the real updater's window stays inside the work area, its
// rows scroll and the wheel brings the last one into sight; the update finishes once they let go.
TEST(UpdateRun, ManyHoldersKeepTheRealWindowInsideTheWorkArea) {
    constexpr size_t kHolders = 16;
    Job job;
    HeldFiles held(job, kHolders);
    ASSERT_TRUE(held.ready);
    Child updater = Start(Updater(), L"doit " + job.section);
    EndsWithTheTest cleanup({&updater});
    ASSERT_TRUE(WaitUntil([&] { return Contains(LogOf(job.LogPath()), "END read depended Prozesses (16)"); }, 60000));
    HWND window = UpdaterWindowOf(updater.pid);
    ASSERT_TRUE(window);
    std::vector<HWND> parts = ChildrenTopDown(window);
    ASSERT_EQ(parts.size(), 3u) << "header, rows, footer";
    ASSERT_TRUE(WaitUntil([&] { return ChildrenTopDown(parts[1]).size() == kHolders; }));

    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor));
    RECT frame{}, footer{};
    ::GetWindowRect(window, &frame);
    ::GetWindowRect(parts[2], &footer);
    EXPECT_TRUE(RectInside(frame, monitor.rcWork)) << frame.top << ".." << frame.bottom;
    EXPECT_TRUE(RectInside(footer, frame));
    EXPECT_TRUE(::GetWindowLongW(parts[1], GWL_STYLE) & WS_VSCROLL);

    RECT visible{};
    ::GetClientRect(parts[1], &visible);
    ::MapWindowPoints(parts[1], nullptr, reinterpret_cast<POINT*>(&visible), 2);
    auto lastRowInSight = [&] {
        RECT last{};
        ::GetWindowRect(ChildrenTopDown(parts[1]).back(), &last);
        return RectInside(last, visible);
    };
    EXPECT_FALSE(lastRowInSight());
    for (int notch = 0; notch < 40 && !lastRowInSight(); ++notch) {
        ::PostMessageW(window, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
        ::Sleep(50);
    }
    EXPECT_TRUE(WaitUntil(lastRowInSight, 5000));

    held.holders.clear();
    EXPECT_EQ(updater.Wait(30000), 0u);
    for (const std::wstring& dest : held.dests) EXPECT_EQ(ReadFileBytes(dest), "new");
}

}  // namespace
}  // namespace swt::test
