// Reading and erasing the update job, in process, against real registry keys and files.
#include <gtest/gtest.h>

#include <optional>

#include "base/Error.h"
#include "base/SystemErrorText.h"
#include "tests/updater/UpdaterDriver.h"
#include "updater/SwaptideUnit.h"

namespace {

using namespace swt::test;
using swt::TUpdateRun;

std::vector<std::wstring> Sources(const TUpdateRun& form) {
    std::vector<std::wstring> out;
    for (size_t i = 0; i < form.FToDoList->Count(); ++i) out.push_back((*form.FToDoList)[i].FSource);
    return out;
}

TEST(ReadUpdateJob, ReadsEntriesInJobOrderSkipsMissingSourcesAndErasesTheJob) {
    Job job;
    job.key.SetString(L"this_logfile", job.LogPath());
    job.key.SetString(L"runApp", L"\"C:\\App\\app.exe\" /restart");
    job.key.SetString(L"count", L"4");
    std::wstring s1 = job.AddEntry(1, L"C:\\App\\one.dll");
    job.key.SetString(L"2_Source", job.dir / L"missing.bin");
    job.key.SetString(L"2_Dest", L"C:\\App\\two.dll");
    std::wstring s3 = job.AddEntry(3, L"");  // an empty destination is listed all the same
    job.key.SetString(L"4_Source", job.dir.path());  // a folder is not a file

    auto form = FormFor(job.section);
    form->ReadUpdateJob();

    ASSERT_EQ(form->FToDoList->Count(), 2u);
    EXPECT_EQ(Sources(*form), (std::vector<std::wstring>{s1, s3}));
    EXPECT_EQ((*form->FToDoList)[0].FDest, L"C:\\App\\one.dll");
    EXPECT_EQ((*form->FToDoList)[1].FDest, L"");
    EXPECT_FALSE((*form->FToDoList)[0].FDone);
    EXPECT_EQ(form->FRunApp, L"\"C:\\App\\app.exe\" /restart");
    EXPECT_EQ(form->FCallerProcessId, 0u);
    ASSERT_TRUE(form->FProcessList);
    EXPECT_EQ(form->FProcessList->FSite, static_cast<swt::TProcessRowSite*>(form.get()));

    EXPECT_FALSE(RegKey::Exists(job.key.path()));
    EXPECT_TRUE(RegKey::Exists(kVeltraUpdate));
    // Each entry left out is said once, with the system's words.
    EXPECT_EQ(LogMessages(ReadFileBytes(job.LogPath())),
              (std::vector<std::string>{
                  "RegistryRead Software\\Veltra Software\\Update",
                  Narrow(L"FEHLER COPY " + job.dir / L"missing.bin" + L" -> C:\\App\\two.dll: " +
                         swt::SystemErrorText(ERROR_FILE_NOT_FOUND)),
                  Narrow(L"FEHLER COPY " + job.dir.path() + L" -> : " + swt::SystemErrorText(ERROR_ACCESS_DENIED)),
                  "RegistryErased: Software\\Veltra Software\\Update"}));
}

// Reading gives the whole job in one value and changes nothing: the key stays, nothing is logged.
TEST(ReadUpdateJob, JobReadsAsOneValue) {
    Job job;
    job.key.SetString(L"this_logfile", job.LogPath());
    job.NameCaller(4242, L"TMainForm", L"Beispiel", L"\"C:\\App\\app.exe\" /restart");
    job.key.SetString(L"count", L"3");
    std::wstring s1 = job.AddEntry(1, L"C:\\App\\one.dll");
    job.key.SetString(L"2_Source", job.dir / L"missing.bin");
    job.key.SetString(L"2_Dest", L"C:\\App\\two.dll");
    std::wstring s3 = job.AddEntry(3, L"C:\\App\\three.dll");

    const swt::TUpdateJob read = swt::ReadJob(swt::TUpdateJobKey(L"Software\\Veltra Software", job.section));
    EXPECT_FALSE(read.Failure);
    EXPECT_TRUE(read.LogFileRead && read.CallerRead);
    EXPECT_EQ(read.LogFile, job.LogPath());
    EXPECT_EQ(read.CallerProcessId, 4242u);
    EXPECT_TRUE(read.HaveCallerClassAndCaption);
    EXPECT_EQ(read.CallerClass, L"TMainForm");
    EXPECT_EQ(read.CallerCaption, L"Beispiel");
    EXPECT_EQ(read.RunApp, L"\"C:\\App\\app.exe\" /restart");
    ASSERT_EQ(read.Entries.size(), 2u);
    EXPECT_EQ(read.Entries[0].Source, s1);
    EXPECT_EQ(read.Entries[0].Dest, L"C:\\App\\one.dll");
    EXPECT_EQ(read.Entries[1].Source, s3);
    EXPECT_EQ(read.Entries[1].Number, 3);  // a record keeps the job's numbers
    EXPECT_FALSE(read.Resumed);
    ASSERT_EQ(read.Skipped.size(), 1u);
    EXPECT_EQ(read.Skipped[0].Number, 2);
    EXPECT_EQ(read.Skipped[0].Dest, L"C:\\App\\two.dll");
    EXPECT_EQ(read.Skipped[0].Error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(RegKey::Exists(job.key.path()));
    EXPECT_FALSE(FileExists(job.LogPath()));

    // A value that cannot be read ends the reading; what came before it is kept.
    job.key.SetDword(L"3_Dest", 5);
    const swt::TUpdateJob failed = swt::ReadJob(swt::TUpdateJobKey(L"Software\\Veltra Software", job.section));
    EXPECT_TRUE(failed.Failure);
    ASSERT_EQ(failed.Entries.size(), 1u);
    EXPECT_EQ(failed.Entries[0].Source, s1);
    EXPECT_EQ(failed.Skipped.size(), 1u);
}

TEST(ReadUpdateJob, CountIsIntegerText) {
    struct Case {
        const wchar_t* count;  // nullptr: the value is missing
        size_t entries;
    } cases[] = {{L"3", 3},  {L" 2", 2}, {L"$2", 2},    {L"0x3", 3}, {L"0", 0}, {L"-2", 0},
                 {L"3x", 0}, {L"", 0},   {L"2 ", 0},    {nullptr, 0}, {L"+1", 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count ? testing::PrintToString(std::wstring(c.count)) : "missing");
        Job job;
        if (c.count) job.key.SetString(L"count", c.count);
        for (int n = 1; n <= 3; ++n) job.AddEntry(n, L"dest");
        auto form = FormFor(job.section);
        form->ReadUpdateJob();
        EXPECT_EQ(form->FToDoList->Count(), c.entries);
    }
}

TEST(ReadUpdateJob, HugeCountReadsTheEntriesPresentAndFinishes) {
    for (const wchar_t* count : {L"2147483647", L"$7FFFFFFF", L"1000000"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(count)));
        Job job;
        job.key.SetString(L"count", count);
        std::wstring s1 = job.AddEntry(1, L"a");
        std::wstring s7 = job.AddEntry(7, L"b");
        job.key.SetString(L"07_Source", s1);  // not how entry 7 is named: never read
        job.key.SetString(L"9_source", s7);   // value names ignore letter case
        auto form = FormFor(job.section);
        form->ReadUpdateJob();
        EXPECT_EQ(Sources(*form), (std::vector<std::wstring>{s1, s7, s7}));
        EXPECT_FALSE(RegKey::Exists(job.key.path()));
    }
}

TEST(ReadUpdateJob, NonStringValueStopsTheReadAndKeepsTheJob) {
    Job job;
    job.key.SetString(L"this_logfile", job.LogPath());
    job.key.SetString(L"count", L"3");
    std::wstring s1 = job.AddEntry(1, L"a");
    job.AddEntry(2, L"b");
    job.key.SetDword(L"2_Dest", 5);
    job.AddEntry(3, L"c");

    auto form = FormFor(job.section);
    try {
        form->ReadUpdateJob();
        ADD_FAILURE() << "no error raised";
    } catch (const swt::Error& e) {
        EXPECT_EQ(e.message(), L"Ungültiger Datentyp für '2_Dest'");
    }
    EXPECT_EQ(Sources(*form), (std::vector<std::wstring>{s1}));
    EXPECT_TRUE(RegKey::Exists(job.key.path()));
    EXPECT_EQ(LogMessages(ReadFileBytes(job.LogPath())),
              (std::vector<std::string>{"RegistryRead Software\\Veltra Software\\Update"}));

    for (DWORD type : {REG_BINARY, REG_MULTI_SZ, REG_QWORD, REG_NONE}) {
        SCOPED_TRACE(type);
        Job other;
        other.key.SetBinary(L"count", std::string("2\0\0\0", 4), type);
        auto f = FormFor(other.section);
        EXPECT_THROW(f->ReadUpdateJob(), swt::Error);
        EXPECT_TRUE(RegKey::Exists(other.key.path()));
    }
}

TEST(ReadUpdateJob, StringValuesAreTakenAsWritten) {
    Job job;
    job.key.SetString(L"runApp", L"%SystemRoot%\\app.exe", REG_EXPAND_SZ);
    std::wstring longLog = L"C:\\" + std::wstring(40000, L'x');
    job.key.SetString(L"this_logfile", longLog);
    // Stored without a terminating NUL and with bytes after an inner NUL.
    job.key.SetBinary(L"1_Dest", std::string("d\0e\0\0\0z\0", 8), REG_SZ);
    job.key.SetString(L"count", L"1");
    std::wstring s1 = job.dir / L"new1.bin";
    WriteFileBytes(s1, "x");
    job.key.SetBinary(L"1_Source", std::string(reinterpret_cast<const char*>(s1.c_str()), s1.size() * 2), REG_SZ);

    auto form = FormFor(job.section);
    form->ReadUpdateJob();
    EXPECT_EQ(form->FRunApp, L"%SystemRoot%\\app.exe");
    EXPECT_EQ(form->FLogFile, longLog);
    ASSERT_EQ(form->FToDoList->Count(), 1u);
    EXPECT_EQ((*form->FToDoList)[0].FSource, s1);
    EXPECT_EQ((*form->FToDoList)[0].FDest, L"de");
}

TEST(ReadUpdateJob, MissingJobReadsDefaultsAndLogsNothing) {
    const std::wstring section = NewGuidText();
    auto form = FormFor(section);
    form->ReadUpdateJob();
    EXPECT_EQ(form->FToDoList->Count(), 0u);
    EXPECT_TRUE(form->FLogFile.empty());
    EXPECT_EQ(form->FCallerWindow, nullptr);
    EXPECT_FALSE(RegKey::Exists(kVeltraUpdate + L"\\" + section));
}

TEST(ReadUpdateJob, LogInAMissingFolderDoesNotStopTheUpdate) {
    Job job;
    job.key.SetString(L"this_logfile", job.dir / L"gone\\update.log");
    job.key.SetString(L"count", L"1");
    job.AddEntry(1, L"a");
    auto form = FormFor(job.section);
    form->ReadUpdateJob();
    EXPECT_EQ(form->FToDoList->Count(), 1u);
    EXPECT_FALSE(RegKey::Exists(job.key.path()));
    EXPECT_FALSE(FileExists(job.dir / L"gone"));
}

// A job read is kept as a record of what is left, with the same values, under the key a
// "{...}" name is read from (also for a job from the other key), with a run-once entry that runs
// this program for it; both go once the entries are in place.
TEST(ReadUpdateJob, KeepsWhatIsLeftUnderTheNamedJobsKeyUntilItIsInPlace) {
    for (const bool osterm : {false, true}) {
        SCOPED_TRACE(osterm ? "Osterm GmbH" : "Veltra Software");
        std::optional<Job> job;
        if (osterm) job.emplace(L"Selvane", kOstermUpdate);
        else job.emplace();
        job->key.SetString(L"runApp", L"app.exe");
        const std::vector<std::wstring> sources = job->AddEntries({job->dir / L"one.dll", job->dir / L"two.dll"});
        auto form = FormFor(osterm ? L"" : job->section);
        form->ReadUpdateJob();

        EXPECT_FALSE(RegKey::Exists(job->key.path()));
        const std::vector<std::wstring> records = RecordsOf(job->section);
        ASSERT_EQ(records.size(), 1u);
        const std::wstring path = kVeltraUpdate + L"\\" + records[0];
        EXPECT_EQ(RegString(path, L"this_logfile"), job->LogPath());
        EXPECT_EQ(RegString(path, L"this_processID"), L"0");
        EXPECT_EQ(RegString(path, L"runApp"), L"app.exe");
        EXPECT_EQ(RegString(path, L"count"), L"2");
        EXPECT_EQ(RegString(path, L"1_Source"), sources[0]);
        EXPECT_EQ(RegString(path, L"2_Dest"), job->dir / L"two.dll");
        EXPECT_EQ(RegString(kRunOnce, records[0]), L"\"" + swt::OwnExecutablePath() + L"\" doit " + records[0]);

        form->UpdateFilesExecute();
        EXPECT_EQ(ReadFileBytes(job->dir / L"two.dll"), "new");
        EXPECT_FALSE(RegKey::Exists(path));
        EXPECT_FALSE(HasRegValue(kRunOnce, records[0]));
    }
}

TEST(FormCreate, SecondArgumentChoosesTheJobLocation) {
    struct Case {
        std::vector<std::wstring> args;
        const wchar_t* section;
        const wchar_t* baseKey;
    } cases[] = {
        {{L"p", L"doit"}, L"Selvane", L"Software\\Osterm GmbH"},
        {{L"p", L"doit", L"{abc}"}, L"{abc}", L"Software\\Veltra Software"},
        {{L"p", L"doit", L"{"}, L"{", L"Software\\Veltra Software"},
        {{L"p", L"doit", L"abc{"}, L"Selvane", L"Software\\Osterm GmbH"},
        {{L"p", L"doit", L""}, L"Selvane", L"Software\\Osterm GmbH"},
        {{L"p", L"doit", L" {x}"}, L"Selvane", L"Software\\Osterm GmbH"},
        {{L"p", L"doit", L"{x}", L"{y}"}, L"{x}", L"Software\\Veltra Software"},
    };
    for (const Case& c : cases) {
        TUpdateRun form(c.args);
        form.FormCreate();
        EXPECT_EQ(form.FSection, c.section);
        EXPECT_EQ(form.FBaseKey, c.baseKey);
        EXPECT_FALSE(form.FRestartCaller);
        EXPECT_EQ(form.FToDoList, nullptr);
        EXPECT_NE(form.FStartTime.wYear, 0);
    }
}

}  // namespace
