// Helpers for tests that run the real updater next to real holders and calling applications.
#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include <vector>

#include "tests/updater/JobFixture.h"
#include "updater/FileReplace.h"
#include "updater/ProcessList.h"

namespace swt::test {

// Polls until done() or the time is up; returns done()'s last answer.
inline bool WaitUntil(const std::function<bool()>& done, DWORD ms = 30000) {
    const ULONGLONG end = ::GetTickCount64() + ms;
    for (;;) {
        if (done()) return true;
        if (::GetTickCount64() > end) return false;
        ::Sleep(20);
    }
}

// The messages of a log that may not exist yet; a line still being written is left for later.
inline std::vector<std::string> LogOf(const std::wstring& path) {
    std::string bytes = FileExists(path) ? ReadFileBytes(path) : std::string();
    const size_t end = bytes.rfind("\r\n");
    bytes.resize(end == std::string::npos ? 0 : end + 2);
    return LogMessages(bytes);
}

inline bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    for (const std::string& l : lines)
        if (l == line) return true;
    return false;
}

inline std::string Narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }

// The updater's window of the given process, or null.
inline HWND UpdaterWindowOf(DWORD pid) {
    return FindWindowOf(pid, [](HWND w) {
        wchar_t cls[64] = {};
        ::GetClassNameW(w, cls, 64);
        return std::wstring(cls) == L"TForm1" && ::IsWindowVisible(w);
    });
}

inline int WindowHeight(HWND w) {
    RECT r{};
    ::GetWindowRect(w, &r);
    return r.bottom - r.top;
}

// A copy of a program of the build under another path (a calling application's own executable).
inline void CopyProgram(const std::wstring& exeName, const std::wstring& to) {
    ::CreateDirectoryW(FolderOf(to).c_str(), nullptr);
    ASSERT_TRUE(::CopyFileW(BinPath(exeName).c_str(), to.c_str(), FALSE)) << "error " << ::GetLastError();
}

// Terminates the children that still run when the scope ends, so a failed test leaves none
// behind.
class EndsWithTheTest {
public:
    explicit EndsWithTheTest(std::vector<Child*> children) : children_(std::move(children)) {}
    ~EndsWithTheTest() {
        for (Child* c : children_)
            if (c->process && c->Wait(0) == STILL_ACTIVE) ::TerminateProcess(c->process.get(), 1);
    }
    EndsWithTheTest(const EndsWithTheTest&) = delete;
    EndsWithTheTest& operator=(const EndsWithTheTest&) = delete;

private:
    std::vector<Child*> children_;
};

}  // namespace swt::test
