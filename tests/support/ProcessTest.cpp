// Real programs of the system in miniature (the fixture, in both builds of the library): the
// chain of started programs, the private temporary folders, StartProgram, bad parameters.
#include <gtest/gtest.h>

#include "base/AnsiText.h"

#include <string>

#include "support/StartProgram.h"
#include "base/TextCompare.h"
#include "tests/support/XProcsTestSupport.h"

namespace swt::test {
namespace {

const wchar_t* const kTerminatorFixture = L"xprocs_fixture_terminator.exe";
const wchar_t* const kUpdaterFixture = L"xprocs_fixture_updater.exe";

std::string Narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }

// A test's own temporary world: TMP and TEMP point at <dir>\tmp, no ORIGIN_TEMP.
struct Sandbox {
    TempDir dir;
    std::wstring tmp = dir / L"tmp";
    std::wstring report = dir / L"report.txt";
    Sandbox() { ::CreateDirectoryW(tmp.c_str(), nullptr); }
    EnvChanges Env() const { return {{L"TMP", tmp}, {L"TEMP", tmp}, {L"ORIGIN_TEMP", std::nullopt}}; }
    std::map<std::string, std::wstring> Run(const std::wstring& exe, const std::wstring& args,
                                            const EnvChanges& env) const {
        ::DeleteFileW(report.c_str());
        EXPECT_EQ(RunWithEnv(exe, Quoted(report) + L" " + args, env), 0u);
        return ReadReport(report);
    }
};

TEST(ProgramChain, ChildWorksBelowTheOriginFolderAndEveryFolderGoes) {
    Sandbox box;
    auto parent = box.Run(BinPath(kTerminatorFixture), std::wstring(L"chain ") + kTerminatorFixture, box.Env());
    auto child = ReadReport(box.report + L".child");
    ASSERT_FALSE(parent.empty());
    ASSERT_FALSE(child.empty());
    EXPECT_EQ(parent["STARTED"], L"1");

    // The first program records the user's folder once; the child inherits it unchanged.
    EXPECT_EQ(parent["ORIGIN_TEMP"], box.tmp);
    EXPECT_EQ(child["ORIGIN_TEMP"], box.tmp);

    // Each private folder is "<origin>\<own GUID>\"; the child's is not inside the parent's.
    ASSERT_EQ(parent["GUID"].size(), 38u);
    ASSERT_EQ(child["GUID"].size(), 38u);
    EXPECT_NE(parent["GUID"], child["GUID"]);
    EXPECT_EQ(parent["PRIVATE"], box.tmp + L"\\" + parent["GUID"] + L"\\");
    EXPECT_EQ(child["PRIVATE"], box.tmp + L"\\" + child["GUID"] + L"\\");

    // During the run TEMP and TMP name the program's own folder; the child first went back to the
    // origin folder (it does not start inside its parent's private folder).
    EXPECT_EQ(parent["TEMP"], parent["PRIVATE"]);
    EXPECT_EQ(parent["TMP"], parent["PRIVATE"]);
    EXPECT_EQ(child["START_TEMP"], box.tmp);
    EXPECT_EQ(child["START_TMP"], box.tmp);
    EXPECT_EQ(child["TEMP"], child["PRIVATE"]);
    EXPECT_EQ(child["TMP"], child["PRIVATE"]);
    // Hidden (Wine keeps no not-content-indexed flag on folders, so only hidden is checked).
    EXPECT_EQ(std::stoul(Narrow(child["PRIVATE_ATTR"]), nullptr, 16) & FILE_ATTRIBUTE_HIDDEN, 2u);

    // Started by StartProgram: shown normally, with feedback flags.
    EXPECT_EQ(child["SIFLAGS"], L"41");
    EXPECT_EQ(child["SHOW"], L"1");

    // After a clean end both folders, with the work left in them, are gone; the origin stays.
    EXPECT_EQ(child["WORKFILE"], child["PRIVATE"] + L"work.txt");
    EXPECT_FALSE(IsFolder(parent["PRIVATE"]));
    EXPECT_FALSE(IsFolder(child["PRIVATE"]));
    EXPECT_TRUE(IsFolder(box.tmp));
}

TEST(ProgramChain, UpdaterSetsOriginOnceAndLeavesTempAlone) {
    Sandbox box;
    std::wstring other = box.dir / L"other";
    ::CreateDirectoryW(other.c_str(), nullptr);
    EnvChanges env = {{L"TMP", box.tmp}, {L"TEMP", other}, {L"ORIGIN_TEMP", std::nullopt}};
    auto updater = box.Run(BinPath(kUpdaterFixture), std::wstring(L"chain ") + kTerminatorFixture, env);
    auto child = ReadReport(box.report + L".child");
    ASSERT_FALSE(updater.empty());
    ASSERT_FALSE(child.empty());
    // ORIGIN_TEMP comes from TMP; the updater has no parameter list and keeps TEMP and TMP.
    EXPECT_EQ(updater["ORIGIN_TEMP"], box.tmp);
    EXPECT_EQ(updater["TEMP"], other);
    EXPECT_EQ(updater["TMP"], box.tmp);
    EXPECT_EQ(updater.count("PRIVATE"), 0u);
    // A program it starts sees ORIGIN_TEMP and works below it.
    EXPECT_EQ(child["ORIGIN_TEMP"], box.tmp);
    EXPECT_EQ(child["PRIVATE"], box.tmp + L"\\" + child["GUID"] + L"\\");
    EXPECT_FALSE(IsFolder(child["PRIVATE"]));

    // With ORIGIN_TEMP inherited, neither build changes it; the updater still leaves TEMP/TMP,
    // the terminator points them back at the origin before anything else runs.
    std::wstring origin = box.dir / L"origin";
    ::CreateDirectoryW(origin.c_str(), nullptr);
    EnvChanges inherited = {{L"TMP", box.tmp}, {L"TEMP", other}, {L"ORIGIN_TEMP", origin}};
    auto u = box.Run(BinPath(kUpdaterFixture), L"nolist", inherited);
    EXPECT_EQ(u["ORIGIN_TEMP"], origin);
    EXPECT_EQ(u["TEMP"], other);
    EXPECT_EQ(u["TMP"], box.tmp);
    auto t = box.Run(BinPath(kTerminatorFixture), L"nolist", inherited);
    EXPECT_EQ(t["ORIGIN_TEMP"], origin);
    EXPECT_EQ(t["TEMP"], origin);
    EXPECT_EQ(t["TMP"], origin);
}

TEST(ProgramChain, StartupFactsAreRecorded) {
    Sandbox box;
    auto r = box.Run(BinPath(kUpdaterFixture), L"nolist", box.Env());
    EXPECT_EQ(r["WINNT"], L"1");
    EXPECT_EQ(r["METRIC"], std::to_wstring(::GetSystemMetrics(SM_CYMENU)));
    EXPECT_EQ(r["LANGUAGE"], std::to_wstring(::GetUserDefaultLangID() & 0x3FF));
    EXPECT_NE(r["LANGUAGEBASE"], L"0");
}

TEST(ProgramChain, MissingOrEmptyTmpStillGivesARealOrigin) {
    Sandbox box;
    // Without TMP the system's temporary path stands in; never a folder literally named "%TMP%".
    for (const EnvChanges& env : {EnvChanges{{L"TMP", std::nullopt}, {L"TEMP", box.tmp}, {L"ORIGIN_TEMP", std::nullopt}},
                                  EnvChanges{{L"TMP", L""}, {L"TEMP", box.tmp}, {L"ORIGIN_TEMP", L""}}}) {
        auto r = box.Run(BinPath(kTerminatorFixture), L"list", env);
        ASSERT_FALSE(r.empty());
        EXPECT_EQ(r["ORIGIN_TEMP"].find(L'%'), std::wstring::npos) << Narrow(r["ORIGIN_TEMP"]);
        EXPECT_FALSE(r["ORIGIN_TEMP"].empty());
        EXPECT_EQ(r["PRIVATE"].find(L'%'), std::wstring::npos);
        EXPECT_FALSE(r["PRIVATE"].empty());
        EXPECT_FALSE(IsFolder(r["PRIVATE"]));
    }
}

// "TEMP" naming a folder of the user's: the private folder goes below it, and at the end only
// that goes; the user's files stay. A program named DS_... uses the folder itself and so never
// deletes it.
TEST(PrivateTempFolder, TempParameterNamingAUserFolderKeepsItsFiles) {
    Sandbox box;
    std::wstring user = box.dir / L"user files";
    ::CreateDirectoryW(user.c_str(), nullptr);
    ::CreateDirectoryW((user + L"\\sub").c_str(), nullptr);
    WriteFileBytes(user + L"\\keep.txt", "keep");
    WriteFileBytes(user + L"\\sub\\keep2.txt", "keep");

    auto r = box.Run(BinPath(kTerminatorFixture), L"list " + Quoted(L"/TEMP:" + user), box.Env());
    EXPECT_EQ(r["PRIVATE"], user + L"\\" + r["GUID"] + L"\\");
    EXPECT_EQ(r["TEMP"], r["PRIVATE"]);
    EXPECT_FALSE(IsFolder(r["PRIVATE"]));

    std::wstring ds = box.dir / L"DS_fixture.exe";
    ASSERT_TRUE(::CopyFileW(BinPath(kTerminatorFixture).c_str(), ds.c_str(), FALSE));
    r = box.Run(ds, L"list " + Quoted(L"/TEMP:" + user), box.Env());
    EXPECT_EQ(r["PRIVATE"], user + L"\\");
    EXPECT_EQ(r["TEMP"], user + L"\\");
    EXPECT_EQ(r["WORKFILE"], user + L"\\work.txt");

    // A DS_ program whose base folder cannot be written: the probe fails, nothing changes.
    r = box.Run(ds, L"list " + Quoted(L"/TEMP:Z:\\proc"), box.Env());
    ASSERT_FALSE(r.empty());
    EXPECT_EQ(r["PRIVATE"], L"");
    EXPECT_EQ(r["TEMP"], box.tmp);

    EXPECT_EQ(ReadFileBytes(user + L"\\keep.txt"), "keep");
    EXPECT_EQ(ReadFileBytes(user + L"\\sub\\keep2.txt"), "keep");
    EXPECT_TRUE(FileExists(user + L"\\work.txt"));
}

// Bad "TEMP" values (given in the parameter file, where quotes need no escaping): the program
// runs on; either it gets a private folder that is gone at the end, or TEMP and TMP stay.
TEST(PrivateTempFolder, BadTempValuesChangeNothing) {
    Sandbox box;
    std::wstring exe = box.dir / L"prog.exe";
    ASSERT_TRUE(::CopyFileW(BinPath(kTerminatorFixture).c_str(), exe.c_str(), FALSE));
    std::wstring file = box.dir / L"a file";
    WriteFileBytes(file, "x");
    std::wstring spaced = box.dir / L"with space";
    enum Outcome { kWorks, kFails, kEither };
    struct Case {
        const char* name;
        std::wstring value;
        Outcome outcome;
        std::wstring base;
    } cases[] = {
        {"names a file", file, kFails, L""},
        {"invalid characters", L"C:\\a<b>|c", kFails, L""},
        {"drive that does not exist", L"Q:\\nowhere", kFails, L""},
        {"unwritable (a folder of the system's process table)", L"Z:\\proc", kFails, L""},
        {"quoted", L"\"" + spaced + L"\"", kWorks, spaced},
        {"quotes inside", box.dir.path() + L"\\\"quoted\"sub", kWorks, box.dir / L"quotedsub"},
        {"only quotes: the origin folder instead", L"\"\"", kWorks, box.tmp},
        {"blanks: the origin folder instead", L"   ", kWorks, box.tmp},
        {"relative", L"rel", kEither, L""},
        {"longer than a path may be", L"C:\\" + std::wstring(300, L'l'), kEither, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFileBytes(box.dir / L"prog.INI", "\xEF\xBB\xBF[STARTPARAMS]\r\n/TEMP:" + swt::ToUtf8(c.value) + "\r\n");
        auto r = box.Run(exe, L"list", box.Env());
        ASSERT_FALSE(r.empty());
        bool works = !r["PRIVATE"].empty();
        if (c.outcome != kEither) {
            EXPECT_EQ(works, c.outcome == kWorks) << Narrow(r["PRIVATE"]);
        }
        if (works) {
            if (!c.base.empty()) {
                EXPECT_EQ(r["PRIVATE"], c.base + L"\\" + r["GUID"] + L"\\");
            }
            EXPECT_EQ(r["PRIVATE"].find(L'"'), std::wstring::npos);
            EXPECT_EQ(r["PRIVATE"].substr(1, 2), L":\\");  // made absolute
            EXPECT_EQ(r["TEMP"], r["PRIVATE"]);
            EXPECT_FALSE(IsFolder(r["PRIVATE"]));
        } else {
            EXPECT_EQ(r["TEMP"], box.tmp);
            EXPECT_EQ(r["TMP"], box.tmp);
        }
    }
    EXPECT_EQ(ReadFileBytes(file), "x");
}

TEST(ParameterList, CommandLineThenParameterFile) {
    Sandbox box;
    // A copy of the program with its own parameter file beside it.
    std::wstring exe = box.dir / L"prog.exe";
    ASSERT_TRUE(::CopyFileW(BinPath(kTerminatorFixture).c_str(), exe.c_str(), FALSE));
    WriteFileBytes(box.dir / L"prog.INI", "[STARTPARAMS]\r\n  /X:from file  \r\nY=1\r\n/INIFILE:elsewhere.ini\r\n");
    std::wstring folder = box.dir / L"a folder.ini";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring other = box.dir / L"other.ini";
    WriteFileBytes(other, "[STARTPARAMS]\r\n/X:other\r\n");
    std::wstring huge = box.dir / L"huge.ini";
    WriteFileBytes(huge, "[STARTPARAMS]\r\n/X:huge\r\n" + std::string(5u << 20, 'h'));

    struct Case {
        const char* name;
        std::wstring args;
        std::wstring x;
        std::wstring y;
    } cases[] = {
        {"own file", L"list", L"from file", L"1"},
        {"command line wins", L"list \"/X: from command line \"", L" from command line ", L"1"},
        {"INIFILE names another file", L"list " + Quoted(L"/INIFILE:" + other), L"other", L"0"},
        {"INIFILE names a folder: own file", L"list " + Quoted(L"/INIFILE:" + folder), L"from file", L"1"},
        {"INIFILE names a missing file: own file", L"list /INIFILE:missing.ini", L"from file", L"1"},
        {"INIFILE names a huge file: nothing read", L"list " + Quoted(L"/INIFILE:" + huge), L"", L"0"},
        {"300-character value", L"list /X:" + std::wstring(300, L'x'), std::wstring(255, L'x'), L"1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto r = box.Run(exe, c.args, box.Env());
        ASSERT_FALSE(r.empty());
        EXPECT_EQ(r["ENTRY0"], exe);  // the program path first
        EXPECT_EQ(r["ENTRY1"], box.report);
        EXPECT_EQ(r["VALUE_X"], c.x);
        EXPECT_EQ(r["FLAG_Y"], c.y);
    }
    // The file's entries follow the command line's, trimmed, in order.
    auto r = box.Run(exe, L"list", box.Env());
    EXPECT_EQ(r["COUNT"], L"6");
    EXPECT_EQ(r["ENTRY2"], L"list");
    EXPECT_EQ(r["ENTRY3"], L"/X:from file");
    EXPECT_EQ(r["ENTRY5"], L"/INIFILE:elsewhere.ini");
}

// Without arguments the list holds only the file's entries, not even the program path; with one
// argument, the program path and that argument.
TEST(ParameterList, ProgramPathOnlyWithArguments) {
    Sandbox box;
    std::wstring exe = box.dir / L"prog.exe";
    ASSERT_TRUE(::CopyFileW(BinPath(kTerminatorFixture).c_str(), exe.c_str(), FALSE));
    WriteFileBytes(box.dir / L"prog.ini", "[STARTPARAMS]\r\n/X:1\r\n");
    EnvChanges env = box.Env();
    env.emplace_back(L"SWT_FIXTURE_REPORT", box.report);
    ASSERT_EQ(RunWithEnv(exe, L"", env), 0u);
    auto r = ReadReport(box.report);
    EXPECT_EQ(r["COUNT"], L"1");
    EXPECT_EQ(r["ENTRY0"], L"/X:1");
    ::DeleteFileW(box.report.c_str());
    ASSERT_EQ(RunWithEnv(exe, L"Y", env), 0u);
    r = ReadReport(box.report);
    EXPECT_EQ(r["COUNT"], L"3");
    EXPECT_EQ(r["ENTRY0"], exe);
    EXPECT_EQ(r["ENTRY1"], L"Y");
    EXPECT_EQ(r["FLAG_Y"], L"1");
}

TEST(ParameterList, AffinityMaskValues) {
    Sandbox box;
    auto plain = box.Run(BinPath(kTerminatorFixture), L"list", box.Env());
    const std::wstring all = plain["SYSMASK"];
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(plain["AFFINITY"], all);
    struct Case {
        const wchar_t* value;
        std::wstring want;
    } cases[] = {
        {L"1", L"1"},           {L"0x1", L"1"},         {L"$1", L"1"},          {L"0x", all},
        {L"-1", all},           {L"99999999999", all},  {L"0", all},            {L"abc", all},
        {L"$FFFFFFFF", all} /* negative */,
        // Processor 30: on a machine without one the mask cannot be applied and is ignored.
        {L"$40000000", (std::stoull(Narrow(all), nullptr, 16) & 0x40000000ull) ? std::wstring(L"40000000") : all},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.value));
        auto r = box.Run(BinPath(kTerminatorFixture), L"list " + Quoted(std::wstring(L"/PROCESSAFFINITYMASK:") + c.value),
                         box.Env());
        ASSERT_FALSE(r.empty());
        EXPECT_EQ(r["AFFINITY"], c.want);
    }
}

TEST(StartProgram, MissingProgramGivesFalse) {
    TempDir dir;
    EXPECT_FALSE(StartProgram(Quoted(dir / L"no such program.exe"), false, false));
    EXPECT_FALSE(StartProgram(Quoted(dir / L"no such program.exe") + L" arg", true, true));
    EXPECT_FALSE(StartProgram(L"", false, true));
    EXPECT_FALSE(StartProgram(L"   ", false, false));
}

// An unquoted program path with blanks: the platform would try every prefix that ends before a
// blank, shortest first, and start <dir>\Bsp.exe for "<dir>\Bsp App\app.exe --marker x". The program
// meant is the longest prefix that is an existing ".exe"; it alone is started, with the rest as its
// arguments. A path that names no existing program starts nothing, not even the shorter prefix.
TEST(StartProgram, UnquotedPathWithBlanksStartsTheProgramMeantNeverAShorterPrefix) {
    TempDir dir;
    const std::wstring appFolder = dir / L"Bsp App";
    ASSERT_TRUE(::CreateDirectoryW(appFolder.c_str(), nullptr));
    const std::wstring planted = dir / L"Bsp.exe", app = appFolder + L"\\app.exe";
    ASSERT_TRUE(::CopyFileW(BinPath(kUpdaterFixture).c_str(), planted.c_str(), TRUE));
    ASSERT_TRUE(::CopyFileW(BinPath(kUpdaterFixture).c_str(), app.c_str(), TRUE));
    const std::wstring report = dir / L"report.txt";
    // Whichever program runs writes here what it is and what it was given.
    ::SetEnvironmentVariableW(L"SWT_FIXTURE_REPORT", report.c_str());
    struct Forget {
        ~Forget() { ::SetEnvironmentVariableW(L"SWT_FIXTURE_REPORT", nullptr); }
    } forget;

    const struct {
        const char* what;
        std::wstring commandLine;
        std::wstring program;  // empty: nothing is started
        std::wstring arguments;
    } cases[] = {
        {"with arguments", app + L" --marker x", app, L" --marker x"},
        {"without arguments", app, app, L""},
        {"upper-case extension, blanks before", L"  " + appFolder + L"\\APP.EXE  --marker y", app, L"  --marker y"},
        {"quoted, as the platform takes it", Quoted(app) + L" --marker z", app, L" --marker z"},
        {"no such program behind the blanks", appFolder + L"\\missing.exe --marker x", L"", L""},
        {"a folder, not a program", appFolder + L" --marker x", L"", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.commandLine));
        ::DeleteFileW(report.c_str());
        EXPECT_EQ(StartProgram(c.commandLine, true, true), !c.program.empty());
        auto r = ReadReport(report);
        if (c.program.empty()) {
            EXPECT_TRUE(r.empty()) << "started " << Narrow(r["PROGRAM"]);
            continue;
        }
        ASSERT_FALSE(r.empty());
        EXPECT_EQ(Narrow(UpperText(r["PROGRAM"])), Narrow(UpperText(app)));
        // The program's own path comes first, quoted, so that its arguments are split as given.
        const std::wstring& line = r["COMMANDLINE"];
        ASSERT_GE(line.size(), c.arguments.size());
        EXPECT_EQ(line.substr(line.size() - c.arguments.size()), c.arguments);
        EXPECT_EQ(line.front(), L'"');
    }
}

TEST(StartProgram, HiddenAndWaitingWithTheCallersEnvironment) {
    TempDir dir;
    std::wstring report = dir / L"r.txt";
    SavedTempEnv saved;
    ::SetEnvironmentVariableW(L"ORIGIN_TEMP", dir.path().c_str());
    // Wait: the report is complete when the call returns.
    ASSERT_TRUE(StartProgram(Quoted(BinPath(kUpdaterFixture)) + L" " + Quoted(report) + L" nolist", true, true));
    auto r = ReadReport(report);
    ASSERT_FALSE(r.empty());
    EXPECT_EQ(r["SHOW"], L"0");
    EXPECT_EQ(r["SIFLAGS"], L"41");
    EXPECT_EQ(r["ORIGIN_TEMP"], dir.path());
}

}  // namespace
}  // namespace swt::test
