// Measures the updater: the time from its start to its window on screen, and the time of one scan
// pass over a job with 20 held entries spread over 5 holder processes.
//   updater [-r runs]
// Prints the median and the single figures of each.
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "support/base/UniqueHandle.h"
#include "updater/UpdateRun.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::wstring ExeDir() {
    wchar_t buf[MAX_PATH];
    DWORD n = ::GetModuleFileNameW(nullptr, buf, MAX_PATH);
    std::wstring p(buf, n);
    return p.substr(0, p.find_last_of(L"\\/"));
}

std::wstring NewGuid() {
    GUID g;
    ::CoCreateGuid(&g);
    wchar_t text[64];
    ::StringFromGUID2(g, text, 64);
    return text;
}

swt::UniqueHandleT Launch(const std::wstring& commandLine) {
    std::wstring cmd = commandLine;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return {};
    ::CloseHandle(pi.hThread);
    return swt::UniqueHandleT(pi.hProcess);
}

bool VisibleWindowOf(DWORD pid, const wchar_t* windowClass) {
    struct S {
        DWORD pid;
        const wchar_t* cls;
        bool found;
    } s{pid, windowClass, false};
    ::EnumWindows(
        [](HWND w, LPARAM l) -> BOOL {
            auto* s = reinterpret_cast<S*>(l);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(w, &owner);
            if (owner != s->pid || !::IsWindowVisible(w)) return TRUE;
            wchar_t cls[32] = {};
            ::GetClassNameW(w, cls, 32);
            if (std::wstring(cls) != s->cls) return TRUE;
            s->found = true;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&s));
    return s.found;
}

void SetString(HKEY key, const std::wstring& name, const std::wstring& value) {
    ::RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

// From process creation to a visible window of the given class (the updater with an empty job
// closes itself; the plain program is closed here).
double StartToWindow(const std::wstring& commandLine, const wchar_t* windowClass) {
    const auto t0 = Clock::now();
    swt::UniqueHandleT p = Launch(commandLine);
    if (!p) return -1;
    const DWORD pid = ::GetProcessId(p.get());
    double ms = -1;
    while (::WaitForSingleObject(p.get(), 0) == WAIT_TIMEOUT) {
        if (VisibleWindowOf(pid, windowClass)) {
            ms = Ms(Clock::now() - t0);
            break;
        }
        ::Sleep(1);
    }
    if (::WaitForSingleObject(p.get(), 30000) == WAIT_TIMEOUT) ::TerminateProcess(p.get(), 0);
    return ms;
}

void WriteFile(const std::wstring& path, const char* text) {
    swt::UniqueFile f(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD n = 0;
    if (f) ::WriteFile(f.get(), text, static_cast<DWORD>(strlen(text)), &n, nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int runs = 5;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::wstring(argv[i]) == L"-r") runs = std::max(1, _wtoi(argv[++i]));
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::wstring dir = ExeDir();

    std::vector<double> starts, plain;
    for (int i = 0; i < runs; ++i)
        starts.push_back(StartToWindow(L"\"" + dir + L"\\Swaptide2.exe\" doit " + NewGuid(), L"TForm1"));
    // For comparison: a plain Win32 program with one window, started the same way.
    for (int i = 0; i < runs; ++i) {
        const double ms = StartToWindow(L"\"" + dir + L"\\sample_caller.exe\"", L"SwtSampleCaller");
        plain.push_back(ms);
        if (HWND w = ::FindWindowW(L"SwtSampleCaller", nullptr)) ::PostMessageW(w, WM_CLOSE, 0, 0);
    }
    std::printf("start to window on screen, ms:");
    for (double s : starts) std::printf(" %.0f", s);
    std::printf("\nstart to window on screen, median: %.0f ms (a plain one-window program: %.0f ms)\n",
                Median(starts), Median(plain));

    // 20 destinations, 4 held by each of 5 processes; nothing can be copied.
    wchar_t tempBuf[MAX_PATH];
    ::GetTempPathW(MAX_PATH, tempBuf);
    const std::wstring work = std::wstring(tempBuf) + L"swt-bench-" + NewGuid();
    ::CreateDirectoryW(work.c_str(), nullptr);
    const std::wstring readyName = L"swt-bench-ready-" + NewGuid(), quitName = L"swt-bench-quit-" + NewGuid();
    swt::UniqueHandleT quit(::CreateEventW(nullptr, TRUE, FALSE, quitName.c_str()));
    std::vector<swt::UniqueHandleT> holders;
    for (int h = 0; h < 5; ++h) {
        const std::wstring ready = readyName + std::to_wstring(h);
        swt::UniqueHandleT readyEvent(::CreateEventW(nullptr, TRUE, FALSE, ready.c_str()));
        std::wstring cmd = L"\"" + dir + L"\\lockscan_bench_holder.exe\" " + ready + L" " + quitName;
        for (int k = 0; k < 4; ++k) {
            const std::wstring dest = work + L"\\dest" + std::to_wstring(h * 4 + k) + L".dat";
            WriteFile(dest, "old");
            cmd += L" open r 0 \"" + dest + L"\"";
        }
        holders.push_back(Launch(cmd));
        ::WaitForSingleObject(readyEvent.get(), 30000);
    }
    std::vector<double> passes, reads;
    for (int r = 0; r < runs; ++r) {
        const std::wstring section = NewGuid();
        const std::wstring keyPath = L"Software\\Veltra Software\\Update\\" + section;
        HKEY key = nullptr;
        ::RegCreateKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
        SetString(key, L"count", L"20");
        for (int n = 1; n <= 20; ++n) {
            const std::wstring source = work + L"\\new" + std::to_wstring(n) + L".dat";
            WriteFile(source, "new");
            SetString(key, std::to_wstring(n) + L"_Source", source);
            SetString(key, std::to_wstring(n) + L"_Dest", work + L"\\dest" + std::to_wstring(n - 1) + L".dat");
        }
        ::RegCloseKey(key);
        swt::TUpdateRun run({L"Swaptide2.exe", L"doit", section});
        run.FormCreate();
        auto t0 = Clock::now();
        run.ReadUpdateJob();
        auto t1 = Clock::now();
        run.UpdateFilesExecute();
        auto t2 = Clock::now();
        reads.push_back(Ms(t1 - t0));
        passes.push_back(Ms(t2 - t1));
        if (run.FProcessList->Count() != 5 || run.FToDoList->Count() != 20)
            std::printf("warning: %zu processes, %zu entries left\n", run.FProcessList->Count(), run.FToDoList->Count());
    }
    ::SetEvent(quit.get());
    for (auto& h : holders) ::WaitForSingleObject(h.get(), 10000);
    std::printf("reading the job (20 entries, each scanned once), ms:");
    for (double s : reads) std::printf(" %.0f", s);
    std::printf("\none pass, 20 held entries, 5 holders, ms:");
    for (double s : passes) std::printf(" %.0f", s);
    std::printf("\none pass, 20 held entries, 5 holders, median: %.0f ms\n", Median(passes));
    return 0;
}
