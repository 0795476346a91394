// Helpers for tests that drive real programs, files and registry keys under Wine.
#pragma once
#include <windows.h>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/UniqueHandle.h"

namespace swt::test {

// Folder of the running test program: the programs of the build stand beside it.
std::wstring BinDir();
// Full path of a program of the build, e.g. BinPath(L"Swaptide2.exe").
std::wstring BinPath(const std::wstring& exeName);

// A fresh empty folder under the system temp folder, deleted with everything in it at scope end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

void DeleteTree(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
std::string ReadFileBytes(const std::wstring& path);
bool FileExists(const std::wstring& path);

// A started child process; Wait returns its exit code (or STILL_ACTIVE after a time-out).
struct Child {
    UniqueHandleT process;
    DWORD pid = 0;
    DWORD Wait(DWORD ms = 30000) const;
};
// Starts "\"exe\" args" with the test's environment; fails the test when it cannot start.
Child Start(const std::wstring& exe, const std::wstring& args);
// Starts and waits; returns the exit code.
DWORD Run(const std::wstring& exe, const std::wstring& args, DWORD ms = 30000);

// A subkey of HKEY_CURRENT_USER\<parent> deleted with everything in it at scope end.
class RegKey {
public:
    RegKey(const std::wstring& parent, const std::wstring& name);
    ~RegKey();
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    void SetString(const std::wstring& name, const std::wstring& value, DWORD type = REG_SZ);
    void SetDword(const std::wstring& name, DWORD value);
    void SetBinary(const std::wstring& name, const std::string& bytes, DWORD type = REG_BINARY);
    static bool Exists(const std::wstring& path);
    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
    UniqueKey key_;
};

// The first top-level window of process `pid` (in the order EnumWindows gives) for which `match`
// holds, or null.
HWND FindWindowOf(DWORD pid, const std::function<bool(HWND)>& match);

// A new GUID in registry text form, "{xxxxxxxx-xxxx-...}".
std::wstring NewGuidText();

// Moves the real pointer to the screen's bottom-right corner. The pointer is one for every test
// program on the display and stays where the last one left it, possibly over where this test's
// window appears: a test that posts mouse messages to a shown window, or reads what is hot, parks
// it first, so that no mouse message of the pointer's own comes between the test's.
void ParkCursor();

}  // namespace swt::test
