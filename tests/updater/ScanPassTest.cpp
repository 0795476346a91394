// The scan pass of the update window in this process against real holders: the rows and hints
// of one batch scan per cycle, holders that only map a destination, and the header and log line
// when a file stays blocked by a holder the scan cannot name (hidden through the lock scan's test
// seam).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>

#include "lockscan/FileInUse_Tools.h"
#include "base/SystemErrorText.h"
#include "tests/lockscan/Holder.h"
#include "tests/updater/UpdateWindowFixture.h"
#include "tests/updater/UpdaterDriver.h"
#include "ui/Application.h"

namespace swt::test {
namespace {

size_t CountOf(const std::vector<std::string>& lines, const std::string& line) {
    return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
}

// What a pass showed when it scanned entry by entry: entries last to first, each entry's locks
// last to first appended to its process's hint as drive-letter paths; rows in the order the job reading made them
// (entries first to last, locks first to last). Only the given processes are kept.
struct Expected {
    std::vector<DWORD> rows;
    std::map<DWORD, std::wstring> hints;
};

Expected EntryByEntry(const std::vector<std::wstring>& dests, const std::vector<DWORD>& pids) {
    Expected out;
    const swt::TDevicePaths devices;
    std::vector<std::unique_ptr<TProcessLockList>> lists;
    for (const std::wstring& d : dests) lists.push_back(GetLockingProcesses(d));
    for (const auto& list : lists)
        for (const TProcessLockInfo* lock : EntriesOf(list.get(), pids))
            if (std::find(out.rows.begin(), out.rows.end(), lock->ProcessId) == out.rows.end())
                out.rows.push_back(lock->ProcessId);
    for (size_t i = lists.size(); i-- > 0;) {
        const std::vector<const TProcessLockInfo*> locks = EntriesOf(lists[i].get(), pids);
        for (size_t k = locks.size(); k-- > 0;) {
            std::wstring& hint = out.hints[locks[k]->ProcessId];
            hint += hint.empty() ? L"Verwendet\r" : L"\r";
            hint += devices.DrivePath(locks[k]->FileName);
        }
    }
    return out;
}

// One batch scan per cycle gives the rows and hints that one scan per entry gave: a process that
// holds two files, two processes on one file, a mapped view next to an open handle, and a file
// nobody holds (copied in the same pass).
TEST(ScanPass, OneBatchScanGivesTheRowsAndHintsOfOneScanPerEntry) {
    Job job;
    const std::wstring a = job.dir / L"a.dat", b = job.dir / L"b.dat", c = job.dir / L"c.dat",
                       d = job.dir / L"d.dat", free = job.dir / L"free.dat";
    job.AddEntries({a, b, free, c, d});
    Holder twoFiles({L"open", L"r", L"r", a, L"open", L"r", L"r", b});
    Holder sharesA({L"open", L"r", L"r", a});
    Holder openAndMap({L"open", L"r", L"0", c, L"map", d});
    Holder mapsD({L"map", d});
    ASSERT_TRUE(twoFiles.ready() && sharesA.ready() && openAndMap.ready() && mapsD.ready());
    const std::vector<DWORD> pids = {twoFiles.pid(), sharesA.pid(), openAndMap.pid(), mapsD.pid()};
    const Expected expected = EntryByEntry({a, b, c, d}, pids);
    ASSERT_EQ(expected.rows.size(), 4u);
    EXPECT_EQ(std::count(expected.hints.at(twoFiles.pid()).begin(), expected.hints.at(twoFiles.pid()).end(), L'\r'),
              2);

    UpdateWindow w(job);
    w.Tick();
    EXPECT_EQ(ReadFileBytes(free), "new");
    EXPECT_EQ(w.RowsOf(pids), expected.rows);
    for (DWORD pid : pids) EXPECT_EQ(w.ItemOf(pid)->Hint(), expected.hints.at(pid)) << "process " << pid;
    EXPECT_EQ(w.form->Run.FToDoList->Count(), 4u);
    // A second pass rebuilds the same hints, not doubled ones.
    w.Tick();
    for (DWORD pid : pids) EXPECT_EQ(w.ItemOf(pid)->Hint(), expected.hints.at(pid)) << "process " << pid;
    EXPECT_EQ(w.HeaderDescription(), TForm1::kHeaderDescription);
    EXPECT_EQ(CountOf(LogOf(job.LogPath()), "END read depended Prozesses (4)"), 2u);
}

// A holder that maps the destination and closes its handles blocks the copy; it gets its row,
// and the row's kill or close lets the next pass copy the file.
TEST(ScanPass, HolderThatOnlyMapsTheFileGetsARowAndItsActionLetsTheCopyThrough) {
    struct Case {
        const char* name;
        int link;  // 1 "Prozess killen", 2 "Prozess beenden"
        const char* logged;
    } cases[] = {{"kill", 1, "OK lockscan_holder gekillt"}, {"close", 2, "OK sample_caller Closemessage sended"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Job job;
        const std::wstring dest = job.dir / L"mapped.dat";
        job.AddEntries({dest});
        std::optional<Holder> holder;
        Child windowed;
        struct EndsWithTheCase {
            Child& child;
            ~EndsWithTheCase() {
                if (child.process) ::TerminateProcess(child.process.get(), 1);
            }
        } cleanup{windowed};
        DWORD pid = 0;
        if (c.link == 1) {
            holder.emplace(std::vector<std::wstring>{L"map", dest});
            ASSERT_TRUE(holder->ready());
            pid = holder->pid();
        } else {
            windowed = Start(BinPath(L"sample_caller.exe"), L"/caption \"Mapper\" /map \"" + dest + L"\"");
            pid = windowed.pid;
            ASSERT_TRUE(WaitUntil([&] { return FindProcessWindow(pid) != nullptr; }));
        }
        UpdateWindow w(job);
        w.Tick();
        EXPECT_EQ(ReadFileBytes(dest), "old");
        ASSERT_TRUE(w.ItemOf(pid)) << "no row for the mapping process";
        const std::wstring hint = w.ItemOf(pid)->Hint();
        ASSERT_EQ(hint.rfind(L"Verwendet\r", 0), 0u);
        EXPECT_TRUE(SamePath(hint.substr(10), dest)) << Narrow(hint);
        EXPECT_EQ(w.HeaderDescription(), TForm1::kHeaderDescription);

        const size_t logged = LogOf(job.LogPath()).size();
        w.RowOf(pid).kx_TaskButton1LinkClick(c.link);
        const std::vector<std::string> lines = LogOf(job.LogPath());
        EXPECT_EQ(std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(logged), lines.end()),
                  std::vector<std::string>{c.logged});
        UniqueHandleT process(::OpenProcess(SYNCHRONIZE, FALSE, pid));
        if (process) {
            EXPECT_EQ(::WaitForSingleObject(process.get(), 10000), WAIT_OBJECT_0);
        }
        w.Tick();
        EXPECT_EQ(ReadFileBytes(dest), "new");
        EXPECT_FALSE(w.form->Visible());
        EXPECT_EQ(LogOf(job.LogPath()).back(), "END Nix depended -> Call Close");
    }
}

// The real program: a holder that only maps the destination gets its row, and "Prozess beenden"
// clicked on that row (from inside the prefix, as a user would) lets the update finish.
TEST(ScanPass, RealUpdaterShowsAMappingHolderAndItsCloseLetsTheUpdateFinish) {
    Job job;
    const std::wstring dest = job.dir / L"mapped.dat";
    const std::wstring source = job.dir / L"new1.bin";
    job.AddEntries({dest});
    Child mapper = Start(BinPath(L"sample_caller.exe"), L"/caption \"Mapper\" /map \"" + dest + L"\"");
    Child updater;
    EndsWithTheTest cleanup({&mapper, &updater});
    ASSERT_TRUE(WaitUntil([&] { return FindProcessWindow(mapper.pid) != nullptr; }));

    // Where "Prozess beenden" lies in the row: the same row (same process, same path) made by an
    // update window in this process for a job of its own on the same file.
    const std::vector<POINT> links = RowLinkPlaces(mapper.pid, source, dest);
    ASSERT_EQ(links.size(), 4u);
    const int linkX = links[2].x, linkFromBottom = links[2].y;
    ASSERT_EQ(ReadFileBytes(dest), "old");

    updater = Start(BinPath(L"Swaptide2.exe"), L"doit " + job.section);
    ASSERT_TRUE(WaitUntil([&] { return Contains(LogOf(job.LogPath()), "END read depended Prozesses (1)"); }));
    EXPECT_EQ(swt::test::Run(BinPath(L"demo_driver.exe"), L"rows 1 20"), 0u) << "the mapping holder's row";
    EXPECT_EQ(ReadFileBytes(dest), "old");
    EXPECT_EQ(swt::test::Run(BinPath(L"demo_driver.exe"), L"close-row 0 " + std::to_wstring(linkX) + L" " +
                                                              std::to_wstring(linkFromBottom)),
              0u);
    EXPECT_EQ(mapper.Wait(10000), 0u);
    EXPECT_EQ(updater.Wait(30000), 0u);

    const std::vector<std::string> lines = LogOf(job.LogPath());
    EXPECT_TRUE(Contains(lines, "OK sample_caller Closemessage sended"))
        << testing::PrintToString(lines) << " link at " << linkX << ", " << linkFromBottom << " above the bottom";
    EXPECT_TRUE(Contains(lines, "OKAY COPY " + Narrow(source) + " -> " + Narrow(dest)));
    EXPECT_EQ(lines.back(), "END Nix depended -> Call Close");
    EXPECT_EQ(CountOf(lines, "WARN Keine blockierenden Prozesse gefunden: " + Narrow(dest)), 0u);
    EXPECT_EQ(ReadFileBytes(dest), "new");
}

// A file stays blocked by a holder the scan cannot name: the header says what is left to do, the
// log says it once for the run and that file; the header goes back to its usual text once every
// blocked file has a holder again or has been copied.
TEST(ScanPass, HeaderAndLogSayWhenNoHolderCanBeFound) {
    Job job;
    const std::wstring hidden = job.dir / L"hidden.dat", shown = job.dir / L"shown.dat";
    job.AddEntries({hidden, shown});
    auto unseen = std::make_unique<Holder>(std::vector<std::wstring>{L"open", L"r", L"0", hidden});
    auto seen = std::make_unique<Holder>(std::vector<std::wstring>{L"open", L"r", L"0", shown});
    ASSERT_TRUE(unseen->ready() && seen->ready());
    const DWORD unseenPid = unseen->pid(), seenPid = seen->pid();
    const std::string warning = "WARN Keine blockierenden Prozesse gefunden: " + Narrow(hidden);
    auto hide = std::make_unique<THideFromLockScan>(std::vector<DWORD>{unseenPid});

    UpdateWindow w(job);
    EXPECT_EQ(w.HeaderDescription(), TForm1::kHeaderDescription);
    w.Tick();
    EXPECT_EQ(w.RowsOf({unseenPid, seenPid}), std::vector<DWORD>{seenPid});
    EXPECT_EQ(w.HeaderDescription(), TForm1::kHeaderHolderNotFound);
    EXPECT_EQ(w.form->kx_TaskButton1->Caption(), TForm1::kHeaderCaption);
    std::vector<std::string> lines = LogOf(job.LogPath());
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(lines.end() - 3, lines.end()),
              (std::vector<std::string>{"START read depended Prozesses", warning, "END read depended Prozesses (2)"}));
    w.Tick();
    EXPECT_EQ(w.HeaderDescription(), TForm1::kHeaderHolderNotFound);

    // The holder can be named again: its row, the usual header.
    hide.reset();
    w.Tick();
    EXPECT_EQ(w.RowsOf({unseenPid, seenPid}).size(), 2u);
    EXPECT_EQ(w.HeaderDescription(), TForm1::kHeaderDescription);

    // Hidden once more: the header says so again; the log does not repeat itself for the file.
    hide = std::make_unique<THideFromLockScan>(std::vector<DWORD>{unseenPid});
    w.Tick();
    EXPECT_EQ(w.HeaderDescription(), TForm1::kHeaderHolderNotFound);
    EXPECT_EQ(w.RowsOf({unseenPid, seenPid}), std::vector<DWORD>{seenPid});

    // The hidden holder lets go: the file is copied and the header is back, though a file with a
    // holder the user can see is still left.
    unseen.reset();
    w.Tick();
    EXPECT_EQ(ReadFileBytes(hidden), "new");
    EXPECT_EQ(w.HeaderDescription(), TForm1::kHeaderDescription);
    EXPECT_TRUE(w.form->Visible());

    seen.reset();
    w.Tick();
    EXPECT_EQ(ReadFileBytes(shown), "new");
    EXPECT_FALSE(w.form->Visible());
    lines = LogOf(job.LogPath());
    EXPECT_EQ(CountOf(lines, warning), 1u);
    EXPECT_EQ(CountOf(lines, "WARN Keine blockierenden Prozesse gefunden: " + Narrow(shown)), 0u);
}

// A file that cannot be put in place for a reason that is no lock (here a folder stands at its
// destination) is no case for the "no holder found" header and its advice to restart the
// computer: the header keeps its usual text and the log gives the system's reason, once.
TEST(ScanPass, FailureThatIsNoLockKeepsTheUsualHeader) {
    Job job;
    const std::wstring folder = job.dir / L"folder";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    job.key.SetString(L"this_logfile", job.LogPath());
    job.key.SetString(L"count", L"1");
    const std::wstring source = job.AddEntry(1, folder);
    const std::string failure = Narrow(L"FEHLER COPY " + source + L" -> " + folder + L": ") +
                                Narrow(SystemErrorText(ERROR_ACCESS_DENIED));

    UpdateWindow w(job);
    w.Tick();
    w.Tick();
    EXPECT_EQ(w.HeaderDescription(), TForm1::kHeaderDescription);
    EXPECT_TRUE(w.form->Visible());
    const std::vector<std::string> lines = LogOf(job.LogPath());
    EXPECT_EQ(CountOf(lines, failure), 1u) << testing::PrintToString(lines);
    EXPECT_EQ(CountOf(lines, "WARN Keine blockierenden Prozesse gefunden: " + Narrow(folder)), 0u);
}

// The updater itself holding a destination is no holder to show or to close ("Alle beenden" would
// close the update window): no row for it, whoever else holds the file gets one.
TEST(ScanPass, TheUpdatersOwnProcessIsNeverAHolder) {
    Job job;
    const std::wstring dest = job.dir / L"own.dat";
    job.AddEntries({dest});
    UniqueFile own(::CreateFileW(dest.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(own);
    Holder other({L"open", L"r", L"r", dest});
    ASSERT_TRUE(other.ready());
    const DWORD self = ::GetCurrentProcessId();

    UpdateWindow w(job);
    w.Tick();
    w.Tick();
    EXPECT_EQ(w.RowsOf({self, other.pid()}), std::vector<DWORD>{other.pid()});
    const TUpdateItem& entry = (*w.form->Run.FToDoList)[0];
    ASSERT_TRUE(entry.FLocks);
    EXPECT_EQ(EntriesOf(entry.FLocks.get(), {self}).size(), 0u);
    EXPECT_EQ(ReadFileBytes(dest), "old");
}

}  // namespace
}  // namespace swt::test
