// The real Swaptide2.exe against jobs written the way a calling application writes them.
#include <gtest/gtest.h>

#include "tests/updater/JobFixture.h"

namespace {

using namespace swt::test;

DWORD RunUpdater(const std::wstring& args) { return Run(BinPath(L"Swaptide2.exe"), args); }

// Every case here uses the fixed "Selvane" job, so they share one test (one process) and never
// run beside each other.
TEST(UpdaterProgram, CommandLineChoosesWhetherAndWhereTheJobIsRead) {
    struct Case {
        const wchar_t* args;
        bool reads;  // the Selvane job is read and erased
    } cases[] = {
        {L"", false},          {L"DOIT", false},       {L"Doit", false},     {L"doit2", false},
        {L"\"doit \"", false}, {L"/doit", false},      {L"doit", true},      {L"doit xyz", true},
        {L"doit \"\"", true},  {L"doit {a} xyz", false},  // a "{" section is read from the other key
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.args)));
        Job job(L"Selvane", kOstermUpdate);
        job.key.SetString(L"this_logfile", job.LogPath());
        job.key.SetString(L"count", L"1");
        job.AddEntry(1, job.dir / L"dest.bin");

        EXPECT_EQ(RunUpdater(c.args), 0u);
        EXPECT_EQ(RegKey::Exists(job.key.path()), !c.reads);
        if (c.reads) {
            EXPECT_EQ(LogMessages(ReadFileBytes(job.LogPath())),
                      (std::vector<std::string>{"RegistryRead Software\\Osterm GmbH\\Update",
                                                "RegistryErased: Software\\Osterm GmbH\\Update"}));
        } else {
            EXPECT_FALSE(FileExists(job.LogPath()));
        }
    }
}

TEST(UpdaterProgram, BraceSectionIsReadFromItsOwnKeyAndLoggedAfterEarlierContent) {
    Job job;
    Job untouched;  // another job under the same key stays as it is
    untouched.key.SetString(L"count", L"1");
    WriteFileBytes(job.LogPath(), "earlier line\r\n");
    job.key.SetString(L"this_logfile", job.LogPath());
    job.key.SetString(L"count", L"2147483647");
    job.AddEntry(1, job.dir / L"dest.bin");

    EXPECT_EQ(RunUpdater(L"doit " + job.section), 0u);

    EXPECT_FALSE(RegKey::Exists(job.key.path()));
    EXPECT_TRUE(RegKey::Exists(untouched.key.path()));
    EXPECT_TRUE(RegKey::Exists(kVeltraUpdate));
    std::string bytes = ReadFileBytes(job.LogPath());
    ASSERT_EQ(bytes.rfind("earlier line\r\n", 0), 0u);
    EXPECT_EQ(LogMessages(bytes.substr(14)),
              (std::vector<std::string>{"RegistryRead Software\\Veltra Software\\Update",
                                        "RegistryErased: Software\\Veltra Software\\Update"}));
}

TEST(UpdaterProgram, WrongValueTypeKeepsTheJobAndEndsWithCodeZero) {
    Job job;
    job.key.SetString(L"this_logfile", job.LogPath());
    job.key.SetDword(L"count", 2);
    EXPECT_EQ(RunUpdater(L"doit " + job.section), 0u);
    EXPECT_TRUE(RegKey::Exists(job.key.path()));
    EXPECT_EQ(LogMessages(ReadFileBytes(job.LogPath())),
              (std::vector<std::string>{"RegistryRead Software\\Veltra Software\\Update"}));
}

TEST(UpdaterProgram, LogPathOutsideTheAnsiCodePageIsUsedAsWritten) {
    Job job;
    const std::wstring folder = job.dir / L"\x65E5\x5FD7";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    job.key.SetString(L"this_logfile", folder + L"\\update.log");
    EXPECT_EQ(RunUpdater(L"doit " + job.section), 0u);
    EXPECT_EQ(LogMessages(ReadFileBytes(folder + L"\\update.log")).size(), 2u);
}

}  // namespace

TEST(UpdaterProgram, LogPathOfOddByteLengthIsReadAndTheJobEnds) {
    Job job;
    const std::wstring log = job.LogPath();
    // The path without its NUL and one stray byte, as a .reg file with hex(2): data may leave it.
    job.key.SetBinary(L"this_logfile",
                      std::string(reinterpret_cast<const char*>(log.data()), log.size() * sizeof(wchar_t)) + "x",
                      REG_EXPAND_SZ);
    job.key.SetString(L"count", L"1");
    job.AddEntry(1, job.dir / L"dest.bin");
    EXPECT_EQ(RunUpdater(L"doit " + job.section), 0u) << "ends by itself within 30 s";
    EXPECT_FALSE(RegKey::Exists(job.key.path()));
    EXPECT_EQ(LogMessages(ReadFileBytes(log)),
              (std::vector<std::string>{"RegistryRead Software\\Veltra Software\\Update",
                                        "RegistryErased: Software\\Veltra Software\\Update"}));
}
