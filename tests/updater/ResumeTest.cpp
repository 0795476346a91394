// Interrupted updates with the real Swaptide2.exe: the record of what is left, its run-once entry,
// the run that finishes it, the runs that leave nothing, and the caller header's call.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "tests/lockscan/Holder.h"
#include "tests/updater/UpdaterDriver.h"
#include "updater/SwaptideCaller.h"

namespace swt::test {
namespace {

std::wstring Updater() { return BinPath(L"Swaptide2.exe"); }

size_t CountOf(const std::vector<std::string>& lines, const std::string& line) {
    return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
}

std::string ResumeLine(const std::wstring& record) { return Narrow(TUpdateRun::kResumeLine + record); }
std::string DiscardLine(int left) { return Narrow(TUpdateRun::kRecordDiscardedLine + std::to_wstring(left)); }
std::string CopyLine(const std::wstring& source, const std::wstring& dest) {
    return "OKAY COPY " + Narrow(source) + " -> " + Narrow(dest);
}

// Starts a whole command line as the system starts a run-once entry's command.
Child StartCommand(std::wstring commandLine) {
    STARTUPINFOW si{sizeof si};
    PROCESS_INFORMATION pi{};
    Child child;
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        ADD_FAILURE() << "cannot start " << Narrow(commandLine) << ": error " << ::GetLastError();
        return child;
    }
    ::CloseHandle(pi.hThread);
    child.process.reset(pi.hProcess);
    child.pid = pi.dwProcessId;
    return child;
}

// A job of one free and one held file, run by the real updater until its first pass is over.
struct HeldRun {
    Job job;
    std::wstring freeDest = job.dir / L"free.dll", heldDest = job.dir / L"held.dll";
    std::vector<std::wstring> sources = job.AddEntries({freeDest, heldDest});
    std::optional<Holder> holder{std::in_place, std::vector<std::wstring>{L"open", L"r", L"0", heldDest}};
    Child updater;

    explicit HeldRun(const std::wstring& exe = BinPath(L"Swaptide2.exe")) {
        EXPECT_TRUE(holder->ready());
        updater = Start(exe, L"doit " + job.section);
        EXPECT_TRUE(WaitUntil([&] { return Contains(LogOf(job.LogPath()), "END read depended Prozesses (1)"); }))
            << testing::PrintToString(LogOf(job.LogPath()));
    }
    ~HeldRun() {
        if (updater.process && updater.Wait(0) == STILL_ACTIVE) ::TerminateProcess(updater.process.get(), 1);
    }
    std::vector<std::string> Log() const { return LogOf(job.LogPath()); }
};

// The updater killed with one entry in place and one held: the record lists only the held entry
// and the run-once entry names it; the run-once command, started as the next logon would, finishes
// the entry once its holder has gone, logs that it resumes and leaves neither behind.
TEST(Resume, KilledRunIsFinishedByTheRunOnceCommand) {
    HeldRun run;
    ASSERT_EQ(ReadFileBytes(run.freeDest), "new");
    const std::vector<std::wstring> records = RecordsOf(run.job.section);
    ASSERT_EQ(records.size(), 1u);
    const std::wstring record = records[0], path = kVeltraUpdate + L"\\" + record;
    EXPECT_EQ(RegString(path, L"this_logfile"), run.job.LogPath());
    EXPECT_EQ(RegString(path, L"this_processID"), L"0");
    EXPECT_EQ(RegString(path, L"this_processAPP_FormHandle"), L"0");
    EXPECT_EQ(RegString(path, L"2_Source"), run.sources[1]);
    EXPECT_EQ(RegString(path, L"2_Dest"), run.heldDest);
    EXPECT_FALSE(HasRegValue(path, L"1_Source"));
    EXPECT_FALSE(HasRegValue(path, L"1_Dest"));
    const std::wstring command = RegString(kRunOnce, record);
    EXPECT_EQ(command, L"\"" + Updater() + L"\" doit " + record);

    ::TerminateProcess(run.updater.process.get(), 1);
    run.updater.Wait();
    EXPECT_TRUE(RegKey::Exists(path));
    EXPECT_EQ(RegString(kRunOnce, record), command);

    // The next logon: the system removes the entry and starts its command.
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunOnce.c_str(), record.c_str());
    const size_t before = run.Log().size();
    Child resumed = StartCommand(command);
    ASSERT_TRUE(WaitUntil([&] { return CountOf(run.Log(), "END read depended Prozesses (1)") >= 2; }))
        << testing::PrintToString(run.Log());
    // Set again while the run goes on, for the logon after a second interruption.
    EXPECT_EQ(RegString(kRunOnce, record), command);

    run.holder.reset();
    EXPECT_EQ(resumed.Wait(), 0u);
    EXPECT_EQ(ReadFileBytes(run.heldDest), "new");
    EXPECT_FALSE(FileExists(run.sources[1]));
    EXPECT_FALSE(RegKey::Exists(path));
    EXPECT_FALSE(HasRegValue(kRunOnce, record));
    const std::vector<std::string> lines = run.Log();
    ASSERT_GE(lines.size(), before + 7);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(before), lines.begin() + static_cast<std::ptrdiff_t>(before) + 4),
              (std::vector<std::string>{"RegistryRead Software\\Veltra Software\\Update", ResumeLine(record),
                                        "START read depended Prozesses", "END read depended Prozesses (1)"}));
    EXPECT_EQ(std::vector<std::string>(lines.end() - 4, lines.end()),
              (std::vector<std::string>{"START read depended Prozesses", CopyLine(run.sources[1], run.heldDest),
                                        "OKAY DELETE " + Narrow(run.sources[1]), "END Nix depended -> Call Close"}));
    EXPECT_EQ(CountOf(lines, ResumeLine(record)), 1u);
    EXPECT_EQ(CountOf(lines, CopyLine(run.sources[0], run.freeDest)), 1u);  // done before, not again
}

// A record whose entries were all put in place before the interruption (their sources are gone):
// the resumed run finds nothing to do, logs no failure for them and removes the record.
TEST(Resume, RecordWhoseSourcesAreGoneEndsAtOnce) {
    HeldRun run;
    const std::vector<std::wstring> records = RecordsOf(run.job.section);
    ASSERT_EQ(records.size(), 1u);
    ::TerminateProcess(run.updater.process.get(), 1);
    run.updater.Wait();
    run.holder.reset();
    // The entry was put in place by hand meanwhile, and its source is gone.
    WriteFileBytes(run.heldDest, "new");
    ::DeleteFileW(run.sources[1].c_str());

    const size_t before = run.Log().size();
    EXPECT_EQ(swt::test::Run(Updater(), L"doit " + records[0]), 0u);
    const std::vector<std::string> lines = run.Log();
    EXPECT_EQ(std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(std::min(before, lines.size())), lines.end()),
              (std::vector<std::string>{"RegistryRead Software\\Veltra Software\\Update", ResumeLine(records[0]),
                                        "START read depended Prozesses", "END Nix depended -> Call Close"}));
    EXPECT_FALSE(RegKey::Exists(kVeltraUpdate + L"\\" + records[0]));
    EXPECT_FALSE(HasRegValue(kRunOnce, records[0]));
}

// Runs that end by finishing, by the user closing the window and by the time limit leave no record
// and no run-once entry; the two that give up files say so in the log.
TEST(Resume, RunsThatFinishOrAreGivenUpLeaveNoRecord) {
    enum class End { Finish, UserCloses, TimeLimit };
    const struct {
        const char* name;
        End end;
        const wchar_t* exe;
    } cases[] = {
        {"finish", End::Finish, L"Swaptide2.exe"},
        {"user closes", End::UserCloses, L"Swaptide2.exe"},
        {"time limit", End::TimeLimit, L"Swaptide2ShortLimit.exe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HeldRun run(BinPath(c.exe));
        const std::vector<std::wstring> records = RecordsOf(run.job.section);
        ASSERT_EQ(records.size(), 1u);  // kept while the run goes on
        if (c.end == End::Finish) run.holder.reset();
        if (c.end == End::UserCloses) ::PostMessageW(UpdaterWindowOf(run.updater.pid), WM_CLOSE, 0, 0);
        EXPECT_EQ(run.updater.Wait(), 0u);
        run.holder.reset();

        EXPECT_TRUE(RecordsOf(run.job.section).empty());
        EXPECT_FALSE(RegKey::Exists(kVeltraUpdate + L"\\" + records[0]));
        EXPECT_FALSE(HasRegValue(kRunOnce, records[0]));
        const std::vector<std::string> lines = run.Log();
        EXPECT_EQ(ReadFileBytes(run.heldDest), c.end == End::Finish ? "new" : "old");
        EXPECT_EQ(lines.back(), c.end == End::Finish ? "END Nix depended -> Call Close" : DiscardLine(1));
        EXPECT_EQ(CountOf(lines, DiscardLine(1)), c.end == End::Finish ? 0u : 1u);
    }
}

// The caller header's call: a record whose updater still runs is pending but not started again; a
// record whose updater was killed is started, once however often the call comes; a finished one,
// and a job a caller wrote, are never started.
TEST(CallerHeader, ResumePendingStartsAPendingRecordOnce) {
    HeldRun run;
    const std::vector<std::wstring> records = RecordsOf(run.job.section);
    ASSERT_EQ(records.size(), 1u);
    const std::string resumeLine = ResumeLine(records[0]);
    const std::wstring updater = Updater();

    EXPECT_TRUE(SwaptideResumePending(updater.c_str()));
    ::Sleep(1500);
    EXPECT_EQ(CountOf(run.Log(), "RegistryRead Software\\Veltra Software\\Update"), 1u);

    ::TerminateProcess(run.updater.process.get(), 1);
    run.updater.Wait();
    EXPECT_TRUE(SwaptideResumePending(updater.c_str()));
    ASSERT_TRUE(WaitUntil([&] { return CountOf(run.Log(), "END read depended Prozesses (1)") >= 2; }));
    EXPECT_TRUE(SwaptideResumePending(updater.c_str()));
    // A second updater would have read the record within a pass's time.
    ASSERT_TRUE(WaitUntil([&] { return CountOf(run.Log(), "END read depended Prozesses (1)") >= 3; }));
    EXPECT_EQ(CountOf(run.Log(), resumeLine), 1u);

    run.holder.reset();
    ASSERT_TRUE(WaitUntil([&] { return RecordsOf(run.job.section).empty(); }));
    ASSERT_TRUE(WaitUntil([&] { return !swaptide_detail::ResumeRunning(records[0].c_str()); }));
    EXPECT_EQ(ReadFileBytes(run.heldDest), "new");

    Job waiting;  // a job a caller wrote and has not started yet
    waiting.AddEntries({waiting.dir / L"waiting.dll"});
    const size_t before = run.Log().size();
    EXPECT_FALSE(SwaptideResumePending(updater.c_str()));
    ::Sleep(1500);
    EXPECT_EQ(run.Log().size(), before);
    EXPECT_FALSE(FileExists(waiting.LogPath()));
    EXPECT_TRUE(RegKey::Exists(waiting.key.path()));
}

}  // namespace
}  // namespace swt::test
