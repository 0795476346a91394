// The real Swaptide2.exe from job to end, with real holders and a real calling application.
#include <gtest/gtest.h>

#include <algorithm>

#include "base/SystemErrorText.h"
#include "tests/lockscan/Holder.h"
#include "tests/updater/UpdaterDriver.h"
#include "tests/updater/WindowTree.h"

namespace swt::test {
namespace {

std::wstring Updater() { return BinPath(L"Swaptide2.exe"); }

std::string CopyLine(const std::wstring& source, const std::wstring& dest) {
    return "OKAY COPY " + Narrow(source) + " -> " + Narrow(dest);
}

std::string FailureLine(const std::wstring& source, const std::wstring& dest, DWORD error) {
    return Narrow(L"FEHLER COPY " + source + L" -> " + dest + L": " + SystemErrorText(error));
}

size_t CountOf(const std::vector<std::string>& lines, const std::string& line) {
    return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
}

// Runs a Unix shell command from inside Wine, which starts Unix programs as they are but hands back
// no handle to wait on: the command leaves a mark when it is done, and the test waits for the
// mark (a minute at most).
bool RunUnixShell(const std::wstring& command) {
    const std::wstring mark = L"/tmp/swt-shell-" + NewGuidText().substr(1, 36);
    std::wstring line = L"/bin/sh -c \"export PATH=/usr/sbin:/usr/bin:/sbin:/bin; " + command + L"; touch " + mark + L"\"";
    STARTUPINFOW si{sizeof si};
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        return false;
    UniqueHandleT process(pi.hProcess), thread(pi.hThread);
    const std::wstring markPath = L"Z:" + mark;
    const bool done = WaitUntil([&] { return FileExists(markPath); }, 60000);
    ::DeleteFileW(markPath.c_str());
    return done;
}

// A 2 MB volume of its own, mounted from an image file under /tmp and reached through Wine's
// drive Z:, for a disk that fills up. Needs the right to mount (the test machines run as root);
// Mounted() tells whether it is there.
class SmallVolume {
public:
    SmallVolume() : unix_(L"/tmp/swt-volume-" + NewGuidText().substr(1, 36)) {
        RunUnixShell(L"truncate -s 2M " + unix_ + L".img && mkfs.ext2 -q -m 0 " + unix_ + L".img && mkdir -p " + unix_ +
                     L" && mount -o loop " + unix_ + L".img " + unix_ + L" 2>/dev/null");
        mounted_ = IsFolder(Path(L"lost+found"));
    }
    ~SmallVolume() {
        RunUnixShell(L"umount " + unix_ + L" 2>/dev/null || umount -l " + unix_ + L"; rm -rf " + unix_ + L" " + unix_ +
                     L".img");
    }
    SmallVolume(const SmallVolume&) = delete;
    SmallVolume& operator=(const SmallVolume&) = delete;
    bool Mounted() const { return mounted_; }
    // A path on the volume, as Windows programs name it.
    std::wstring Path(const std::wstring& name) const {
        std::wstring path = L"Z:" + unix_ + L"/" + name;
        std::replace(path.begin(), path.end(), L'/', L'\\');
        return path;
    }

private:
    std::wstring unix_;
    bool mounted_ = false;
};

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
    const std::vector<std::string> lines = LogOf(job.LogPath());
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(lines.end() - 2, lines.end()),
              (std::vector<std::string>{"END read depended Prozesses (1)",
                                        Narrow(TUpdateRun::kRecordDiscardedLine + std::wstring(L"1"))}));
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

// The installed file named as its own source, in the spellings a caller may write: it is in place
// already; it is neither copied nor deleted, also when another entry copies from it, and the run
// ends.
TEST(UpdateRun, SourceThatIsTheDestinationIsLeftAsItIs) {
    Job job;
    ::CreateDirectoryW((job.dir / L"Program Folder").c_str(), nullptr);
    const std::wstring installed = job.dir / L"Program Folder\\Installed Library.dll";
    const std::wstring copy = job.dir / L"Program Folder\\copy.dll";
    WriteFileBytes(installed, "installed");
    wchar_t shortName[MAX_PATH] = {};
    ASSERT_GT(::GetShortPathNameW(installed.c_str(), shortName, MAX_PATH), 0u);
    std::wstring upper = installed, slashes = installed;
    for (wchar_t& ch : upper) ch = static_cast<wchar_t>(::towupper(ch));
    std::replace(slashes.begin(), slashes.end(), L'\\', L'/');
    const std::vector<std::wstring> sources = {
        installed, upper, slashes, job.dir / L"Program Folder\\..\\Program Folder\\.\\Installed Library.dll", shortName};
    job.key.SetString(L"this_logfile", job.LogPath());
    job.key.SetString(L"count", std::to_wstring(sources.size() + 1));
    for (size_t i = 0; i < sources.size(); ++i) {
        job.key.SetString(std::to_wstring(i + 1) + L"_Source", sources[i]);
        job.key.SetString(std::to_wstring(i + 1) + L"_Dest", installed);
    }
    // The last entry, done first, copies the installed file elsewhere: its source stays.
    job.key.SetString(std::to_wstring(sources.size() + 1) + L"_Source", installed);
    job.key.SetString(std::to_wstring(sources.size() + 1) + L"_Dest", copy);

    EXPECT_EQ(swt::test::Run(Updater(), L"doit " + job.section), 0u);

    std::vector<std::string> expected = {"RegistryRead Software\\Veltra Software\\Update",
                                         "RegistryErased: Software\\Veltra Software\\Update",
                                         "START read depended Prozesses", CopyLine(installed, copy)};
    for (size_t i = sources.size(); i-- > 0;)
        expected.push_back("OKAY Quelle ist Ziel: " + Narrow(sources[i]) + " -> " + Narrow(installed));
    expected.push_back("END Nix depended -> Call Close");
    EXPECT_EQ(LogOf(job.LogPath()), expected);
    EXPECT_EQ(ReadFileBytes(installed), "installed");
    EXPECT_EQ(ReadFileBytes(copy), "installed");
    EXPECT_FALSE(FileExists(ReplacementTempName(installed)));
}

// One new file for several destinations (one library into two folders, the second written in
// another spelling): every destination gets it, and the source goes once the last is in place.
TEST(UpdateRun, OneSourceForSeveralDestinationsUpdatesEachOfThem) {
    Job job;
    const std::wstring source = job.dir / L"new.dll";
    const std::wstring dest1 = job.dir / L"app\\one.dll", dest2 = job.dir / L"plugins\\one.dll";
    WriteFileBytes(source, "new");
    std::wstring upperSource = source;
    for (wchar_t& ch : upperSource) ch = static_cast<wchar_t>(::towupper(ch));
    job.key.SetString(L"this_logfile", job.LogPath());
    job.key.SetString(L"count", L"2");
    job.key.SetString(L"1_Source", source);
    job.key.SetString(L"1_Dest", dest1);
    job.key.SetString(L"2_Source", upperSource);
    job.key.SetString(L"2_Dest", dest2);

    EXPECT_EQ(swt::test::Run(Updater(), L"doit " + job.section), 0u);

    EXPECT_EQ(ReadFileBytes(dest1), "new");
    EXPECT_EQ(ReadFileBytes(dest2), "new");
    EXPECT_FALSE(FileExists(source));
    EXPECT_EQ(LogOf(job.LogPath()),
              (std::vector<std::string>{"RegistryRead Software\\Veltra Software\\Update",
                                        "RegistryErased: Software\\Veltra Software\\Update",
                                        "START read depended Prozesses", CopyLine(upperSource, dest2),
                                        CopyLine(source, dest1), "OKAY DELETE " + Narrow(source),
                                        "END Nix depended -> Call Close"}));
}

// The disk fills up while the new file is written: the installed file stays the old one, whole;
// the partial temporary file goes; the log says why, once, and the run waits for the next pass.
TEST(UpdateRun, FullVolumeLeavesTheInstalledFileWhole) {
    SmallVolume volume;
    if (!volume.Mounted()) GTEST_SKIP() << "no small volume could be mounted here";
    Job job;
    const std::wstring dest = volume.Path(L"installed.bin"), source = job.dir / L"new.bin";
    const std::string old(600u << 10, 'o');
    WriteFileBytes(dest, old);
    WriteFileBytes(source, std::string(2600u << 10, 'n'));
    job.key.SetString(L"this_logfile", job.LogPath());
    job.key.SetString(L"count", L"1");
    job.key.SetString(L"1_Source", source);
    job.key.SetString(L"1_Dest", dest);

    Child updater = Start(Updater(), L"doit " + job.section);
    ASSERT_TRUE(WaitUntil([&] { return CountOf(LogOf(job.LogPath()), "END read depended Prozesses (1)") >= 2; }))
        << testing::PrintToString(LogOf(job.LogPath()));
    ::PostMessageW(UpdaterWindowOf(updater.pid), WM_CLOSE, 0, 0);
    EXPECT_EQ(updater.Wait(), 0u);

    EXPECT_TRUE(ReadFileBytes(dest) == old) << "the installed file has " << ReadFileBytes(dest).size() << " bytes";
    EXPECT_FALSE(FileExists(ReplacementTempName(dest)));
    EXPECT_TRUE(FileExists(source));
    const std::vector<std::string> lines = LogOf(job.LogPath());
    EXPECT_EQ(CountOf(lines, FailureLine(source, dest, ERROR_DISK_FULL)), 1u) << testing::PrintToString(lines);
    EXPECT_EQ(CountOf(lines, "WARN Keine blockierenden Prozesse gefunden: " + Narrow(dest)), 0u);
}

// A job that replaces the updater's own executable while it runs from it: the running one is
// renamed aside and the new one takes its name in the first pass (no row for the updater itself);
// the next run removes the old one.
TEST(UpdateRun, OwnExecutableIsReplacedAndTheOldOneRemovedAtTheNextRun) {
    Job job;
    const std::wstring app = job.dir / L"app\\Swaptide2.exe", fresh = job.dir / L"new\\Swaptide2.exe";
    CopyProgram(L"Swaptide2.exe", app);
    CopyProgram(L"Swaptide2.exe", fresh);
    const std::string oldBytes = ReadFileBytes(app), newBytes = oldBytes + "v2";
    WriteFileBytes(fresh, newBytes);
    job.key.SetString(L"this_logfile", job.LogPath());
    job.key.SetString(L"count", L"1");
    job.key.SetString(L"1_Source", fresh);
    job.key.SetString(L"1_Dest", app);

    EXPECT_EQ(swt::test::Run(app, L"doit " + job.section), 0u);

    EXPECT_EQ(LogOf(job.LogPath()),
              (std::vector<std::string>{"RegistryRead Software\\Veltra Software\\Update",
                                        "RegistryErased: Software\\Veltra Software\\Update",
                                        "START read depended Prozesses", CopyLine(fresh, app),
                                        "OKAY DELETE " + Narrow(fresh), "END Nix depended -> Call Close"}));
    EXPECT_TRUE(ReadFileBytes(app) == newBytes);
    EXPECT_FALSE(FileExists(ReplacementTempName(app)));
    ASSERT_TRUE(FileExists(SetAsideName(app)));
    EXPECT_TRUE(ReadFileBytes(SetAsideName(app)) == oldBytes);

    // The next run of the new executable, here with an empty job.
    EXPECT_EQ(swt::test::Run(app, L"doit " + NewGuidText()), 0u);
    EXPECT_FALSE(FileExists(SetAsideName(app)));
}

// Entries that fail for reasons other than a lock: each is logged once with the system's words
// and no holder is looked for; a long path is no reason to fail.
TEST(UpdateRun, FailuresThatAreNoLockAreLoggedOnceWithTheSystemsWords) {
    Job job;
    const std::wstring folder = job.dir / L"folder";
    const std::wstring refused = job.dir / L"refused.dll";  // its temporary name is taken by a folder
    const std::wstring underFile = job.dir / L"file.txt\\dest.dll";
    std::wstring longDest = job.dir.path();
    for (wchar_t c = L'a'; longDest.size() < 300; ++c) longDest += L"\\" + std::wstring(50, c);
    longDest += L"\\long.dll";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(ReplacementTempName(refused).c_str(), nullptr));
    WriteFileBytes(job.dir / L"file.txt", "a file, no folder");
    job.key.SetString(L"this_logfile", job.LogPath());
    job.key.SetString(L"count", L"5");
    const std::wstring s1 = job.AddEntry(1, folder);
    WriteFileBytes(refused, "old");
    const std::wstring s2 = job.AddEntry(2, refused);
    const std::wstring missing = job.dir / L"missing.dll";
    job.key.SetString(L"3_Source", missing);
    job.key.SetString(L"3_Dest", job.dir / L"three.dll");
    const std::wstring s4 = job.AddEntry(4, underFile);
    const std::wstring s5 = job.AddEntry(5, longDest);

    Child updater = Start(Updater(), L"doit " + job.section);
    ASSERT_TRUE(WaitUntil([&] { return CountOf(LogOf(job.LogPath()), "END read depended Prozesses (3)") >= 2; }))
        << testing::PrintToString(LogOf(job.LogPath()));
    ::PostMessageW(UpdaterWindowOf(updater.pid), WM_CLOSE, 0, 0);
    EXPECT_EQ(updater.Wait(), 0u);

    const std::vector<std::string> lines = LogOf(job.LogPath());
    ASSERT_GE(lines.size(), 10u);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 10),
              (std::vector<std::string>{"RegistryRead Software\\Veltra Software\\Update",
                                        FailureLine(missing, job.dir / L"three.dll", ERROR_FILE_NOT_FOUND),
                                        "RegistryErased: Software\\Veltra Software\\Update",
                                        "START read depended Prozesses", CopyLine(s5, longDest),
                                        "OKAY DELETE " + Narrow(s5), FailureLine(s4, underFile, ERROR_PATH_NOT_FOUND),
                                        FailureLine(s2, refused, ERROR_ACCESS_DENIED),
                                        FailureLine(s1, folder, ERROR_ACCESS_DENIED), "END read depended Prozesses (3)"}));
    for (const std::string& line : lines) {
        if (line.rfind("FEHLER", 0) == 0) {
            EXPECT_EQ(CountOf(lines, line), 1u) << line;
        }
        EXPECT_NE(line.rfind("WARN", 0), 0u) << line;  // no holder is missing: nothing holds these files
    }
    EXPECT_EQ(ReadFileBytes(ExtendedPath(longDest)), "new");
    EXPECT_EQ(ReadFileBytes(refused), "old");
    EXPECT_TRUE(IsFolder(folder));
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
