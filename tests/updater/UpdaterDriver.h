// Helpers for tests that run the real updater next to real holders and calling applications.
#pragma once
#include <windows.h>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/lockscan/Holder.h"
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

// A job of count files, each held (read, no sharing) by a holder process of its own: one row per
// file in the update window.
struct HeldFiles {
    HeldFiles(Job& job, size_t count) {
        for (size_t i = 0; i < count; ++i) dests.push_back(job.dir / (L"held" + std::to_wstring(i) + L".dat"));
        job.AddEntries(dests);
        for (const std::wstring& dest : dests) {
            holders.push_back(std::make_unique<Holder>(std::vector<std::wstring>{L"open", L"r", L"0", dest}));
            ready = ready && holders.back()->ready();
        }
    }
    std::vector<std::wstring> dests;
    std::vector<std::unique_ptr<Holder>> holders;
    bool ready = true;
};

}  // namespace swt::test
