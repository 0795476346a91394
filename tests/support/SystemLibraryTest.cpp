// Libraries loaded at run time come from the system folder only, and a missing one or a missing
// function reads as null rather than failing the program.
#include <gtest/gtest.h>

#include <cwctype>
#include <string>

#include "base/SystemLibrary.h"
#include "base/UniqueHandle.h"
#include "tests/common/TestSupport.h"

namespace {

std::wstring Lower(std::wstring s) {
    for (wchar_t& c : s) c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

std::wstring ModuleFolder(HMODULE m) {
    wchar_t path[MAX_PATH];
    const DWORD n = ::GetModuleFileNameW(m, path, MAX_PATH);
    const std::wstring p(path, n);
    return Lower(p.substr(0, p.find_last_of(L'\\')));
}

std::wstring SystemFolder() {
    wchar_t buf[MAX_PATH];
    return Lower(std::wstring(buf, ::GetSystemDirectoryW(buf, MAX_PATH)));
}

TEST(SystemLibrary, LoadsFromTheSystemFolderAndNeverFromTheProgramsFolder) {
    // planted.dll stands beside this test program, in no system folder.
    ASSERT_TRUE(swt::test::FileExists(swt::test::BinPath(L"planted.dll")));
    swt::UniqueModule beside(swt::LoadSystemLibrary(L"planted.dll"));
    EXPECT_FALSE(beside);
    for (const wchar_t* name : {L"winmm.dll", L"uxtheme.dll", L"version.dll"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
        swt::UniqueModule module(swt::LoadSystemLibrary(name));
        ASSERT_TRUE(module);
        EXPECT_EQ(ModuleFolder(module.get()), SystemFolder());
    }
}

constinit swt::TSystemLibrary winmm{L"winmm.dll"};
constinit swt::TSystemLibrary missing{L"no-such-library-here.dll"};
constinit swt::TSystemProc<DWORD WINAPI()> timeGetTime{winmm, "timeGetTime"};
constinit swt::TSystemProc<DWORD WINAPI()> noSuchFunction{winmm, "NoSuchFunctionHere"};
constinit swt::TSystemProc<DWORD WINAPI()> inMissingLibrary{missing, "timeGetTime"};

TEST(SystemLibrary, FunctionsAreLookedUpOnceAndMissingOnesAreNull) {
    ASSERT_NE(timeGetTime.get(), nullptr);
    EXPECT_EQ(timeGetTime.get(), timeGetTime.get());
    const DWORD t = timeGetTime.get()();
    EXPECT_LE(t - ::GetTickCount() + 1000, 2000u) << "the multimedia clock, within a second of the tick count";
    EXPECT_EQ(noSuchFunction.get(), nullptr);
    EXPECT_EQ(inMissingLibrary.get(), nullptr);
    EXPECT_EQ(missing.Module(), nullptr);
    EXPECT_EQ(missing.Proc("anything"), nullptr);
}

}  // namespace
