// DLLs planted beside the shipped programs: copies of both programs in a folder of their own, with
// a DLL beside them under the name of every library they load outside the set Windows always
// takes from its system folder, and Wine told to prefer such DLLs found on the search path over
// its own (native first, which is Windows' order; WINEDLLOVERRIDES comes from CTest, see
// CMakeLists.txt). Neither program may load any of them.
#include <gtest/gtest.h>
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cwctype>
#include <string>
#include <vector>

#include "tests/common/TestSupport.h"
#include "tests/terminator/EndwatchDriver.h"

namespace {

using namespace swt::test;
using endwatch_test::Ended;
using endwatch_test::PidArgs;

// The libraries the programs load at run time (support/SystemLibrary.h) and those they must not
// import. uxtheme.dll and version.dll are left out: with their load order native first, Wine's own
// system DLLs take them from the program's folder, which is their loading, not the programs'.
const std::vector<std::wstring> kPlantedNames = {L"winmm.dll", L"msimg32.dll"};

std::wstring Lower(std::wstring s) {
    for (wchar_t& c : s) c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

std::wstring SystemFolder() {
    wchar_t buf[MAX_PATH];
    const UINT n = ::GetSystemDirectoryW(buf, MAX_PATH);
    return std::wstring(buf, n);
}

std::vector<std::wstring> ModulePaths(HANDLE process) {
    HMODULE modules[512];
    DWORD bytes = 0;
    std::vector<std::wstring> paths;
    if (!::EnumProcessModulesEx(process, modules, sizeof modules, &bytes, LIST_MODULES_ALL)) return paths;
    for (DWORD i = 0; i < std::min<DWORD>(bytes, sizeof modules) / sizeof(HMODULE); ++i) {
        wchar_t path[MAX_PATH];
        const DWORD n = ::GetModuleFileNameExW(process, modules[i], path, MAX_PATH);
        if (n) paths.emplace_back(path, n);
    }
    return paths;
}

TEST(PlantedDlls, NeitherProgramLoadsADllPlantedBesideIt) {
    TempDir dir;
    for (const wchar_t* exe : {L"Swaptide2.exe", L"Endwatch.exe", L"PlantedDllProbe.exe"})
        ASSERT_TRUE(::CopyFileW(BinPath(exe).c_str(), (dir / exe).c_str(), FALSE));
    std::wstring probeArgs;
    for (const std::wstring& name : kPlantedNames) {
        ASSERT_TRUE(::CopyFileW(BinPath(L"planted.dll").c_str(), (dir / name).c_str(), FALSE));
        probeArgs += L" " + name;
    }
    auto planted = [&](const std::wstring& name) { return FileExists(dir / (name + L".loaded")); };

    {
        SCOPED_TRACE("a plain load takes the planted copies");
        ASSERT_EQ(swt::test::Run(dir / L"PlantedDllProbe.exe", probeArgs), 0u);
        for (const std::wstring& name : kPlantedNames) {
            EXPECT_TRUE(planted(name)) << testing::PrintToString(name);
            ::DeleteFileW((dir / (name + L".loaded")).c_str());
        }
    }
    {
        SCOPED_TRACE("Swaptide2 reading and erasing a job");
        const std::wstring section = NewGuidText();
        RegKey job(L"Software\\Veltra Software\\Update", section);
        job.SetString(L"this_logfile", dir / L"update.log");
        job.SetString(L"count", L"0");
        EXPECT_EQ(swt::test::Run(dir / L"Swaptide2.exe", L"doit " + section), 0u);
        EXPECT_FALSE(RegKey::Exists(job.path()));
        EXPECT_TRUE(FileExists(dir / L"update.log"));
    }
    {
        SCOPED_TRACE("Endwatch showing its window");
        Child watched = endwatch_test::StartFixture(60000);
        Ended cleanup1{&watched};
        Child endwatch = Start(dir / L"Endwatch.exe", PidArgs(watched.pid));
        Ended cleanup2{&endwatch};
        // A program that took a planted DLL may not come up at all (the DLL lacks its exports).
        HWND w = endwatch_test::WaitForVisibleKillFrm(endwatch, 15000);
        EXPECT_NE(w, nullptr) << "the window never showed";
        if (w) {
            endwatch_test::SettleAfterShow(w);
            const std::vector<std::wstring> modules = ModulePaths(endwatch.process.get());
            EXPECT_FALSE(modules.empty());
            bool systemWinmm = false;
            for (const std::wstring& path : modules) {
                SCOPED_TRACE(testing::PrintToString(path));
                if (Lower(path) != Lower(dir / L"Endwatch.exe")) {
                    EXPECT_NE(Lower(FolderOf(path)), Lower(dir.path()));
                }
                systemWinmm = systemWinmm || Lower(path) == Lower(SystemFolder() + L"\\winmm.dll");
            }
            EXPECT_TRUE(systemWinmm) << "the countdown clock's library comes from the system folder";
        }
    }
    for (const std::wstring& name : kPlantedNames) EXPECT_FALSE(planted(name)) << testing::PrintToString(name);
}

}  // namespace
