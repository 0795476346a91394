// Measures the updater: the time from its start to its window on screen, the time of one scan
// pass over a job with 20 held entries spread over 5 holder processes, and the longest time the
// update window's thread does not handle messages during such a pass, next to one single lock scan.
//   updater [-r runs] [-l background file handles]
// The background handles (default 4000, held by 8 more processes) give the handle table the size
// it has on a busy desktop. Prints the median and the single figures of each.
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "components/VeltraGDIPAPI.h"
#include "components/kx_Scale.h"
#include "lockscan/FileInUse_Tools.h"
#include "lockscan/LockScanner.h"
#include "support/LibraryStartup.h"
#include "base/UniqueHandle.h"
#include "ui/Application.h"
#include "updater/UpdateForm.h"
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
        [](HWND w, LPARAM l) noexcept -> BOOL {
            auto* s = reinterpret_cast<S*>(l);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(w, &owner);
            if (owner != s->pid || !::IsWindowVisible(w)) return TRUE;
            wchar_t cls[32] = {};
            ::GetClassNameW(w, cls, 32);
            if (wcscmp(cls, s->cls) != 0) return TRUE;
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

// Writes an update job of 20 entries (sources created in work) under a new section; returns the
// section.
std::wstring WriteJob(const std::wstring& work) {
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
    return section;
}

// The stall harness: a probe thread posts a message stamped with its sending time every 2 ms to a
// window of the update window's thread; the window's thread records how late each one arrives.
// Ticks of the real update window (the same handler its timer runs) are started from that
// thread's message loop, so the longest delay seen after a tick is the longest time the thread did
// not handle messages during it. A tick's pass ends when its scan's result has been applied,
// which may be long after the tick returned: the probes look for the pass's end.
constexpr UINT kProbe = WM_APP + 1;
constexpr UINT_PTR kNextTick = 1;

struct StallHarness {
    swt::TForm1* form = nullptr;
    int ticks = 0;       // ticks to run
    int done = 0;        // ticks run
    bool measuring = false;
    bool passRuns = false;  // the tick's pass has not ended yet
    double worst = 0;    // longest delay since the last tick began
    std::vector<double> tickMs, stallMs;
    Clock::time_point tickStart, tickEnd;
};
StallHarness g_harness;

void RecordStall() {
    if (!g_harness.measuring) return;
    // Probes posted before the tick's end have all arrived once one posted after it arrives.
    g_harness.measuring = false;
    g_harness.stallMs.push_back(g_harness.worst);
}

// The tick's pass has ended (its scan's result applied): the next tick comes 400 ms later.
void PassEnded(HWND h) {
    g_harness.passRuns = false;
    g_harness.tickEnd = Clock::now();
    g_harness.tickMs.push_back(Ms(g_harness.tickEnd - g_harness.tickStart));
    g_harness.form->Timer1.SetEnabled(false);  // the bench, not the window's timer, starts ticks
    ++g_harness.done;
    ::SetTimer(h, kNextTick, 400, nullptr);
}

LRESULT CALLBACK ProbeProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
    if (msg == kProbe) {
        const auto sent = Clock::time_point(Clock::duration(static_cast<Clock::rep>(l)));
        const auto now = Clock::now();
        if (g_harness.measuring) {
            g_harness.worst = std::max(g_harness.worst, Ms(now - sent));
            if (g_harness.passRuns && !g_harness.form->Run.InPass()) PassEnded(h);
            else if (!g_harness.passRuns && sent > g_harness.tickEnd) RecordStall();
        }
        return 0;
    }
    if (msg == WM_TIMER && w == kNextTick) {
        ::KillTimer(h, kNextTick);
        if (g_harness.measuring) RecordStall();
        if (g_harness.done == g_harness.ticks) {
            ::PostQuitMessage(0);
            return 0;
        }
        g_harness.worst = 0;
        g_harness.measuring = true;
        g_harness.passRuns = true;
        g_harness.tickEnd = Clock::time_point::max();
        g_harness.tickStart = Clock::now();
        g_harness.form->Timer1Timer();
        if (!g_harness.form->Run.InPass()) PassEnded(h);
        return 0;
    }
    return ::DefWindowProcW(h, msg, w, l);
}

// Runs ticks of a shown update window for the job; the first reads the job and runs a pass.
void MeasureStalls(const std::wstring& section, int ticks) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ProbeProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"SwtStallProbe";
    ::RegisterClassW(&wc);
    HWND probe = ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    auto form = swt::CreateForm<swt::TForm1>(std::vector<std::wstring>{L"Swaptide2.exe", L"doit", section});
    form->Show();
    form->Timer1.SetEnabled(false);
    g_harness.form = form.get();
    g_harness.ticks = ticks;

    volatile bool stop = false;
    struct ProbeArgs {
        HWND probe;
        volatile bool* stop;
    } args{probe, &stop};
    HANDLE thread = ::CreateThread(
        nullptr, 0,
        [](void* p) -> DWORD {
            auto* a = static_cast<ProbeArgs*>(p);
            while (!*a->stop) {
                ::PostMessageW(a->probe, kProbe, 0, static_cast<LPARAM>(Clock::now().time_since_epoch().count()));
                ::Sleep(2);
            }
            return 0;
        },
        &args, 0, nullptr);
    ::SetTimer(probe, kNextTick, 500, nullptr);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    stop = true;
    ::WaitForSingleObject(thread, 5000);
    ::CloseHandle(thread);
    if (form->Visible()) form->Close();
    form.reset();
    ::DestroyWindow(probe);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int runs = 5, background = 4000;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::wstring(argv[i]) == L"-r") runs = std::max(1, _wtoi(argv[++i]));
        else if (std::wstring(argv[i]) == L"-l") background = std::max(0, _wtoi(argv[++i]));
    }
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    swt::KxScaleUnit scaling;
    swt::GdiplusLibrary gdiplus;
    swt::XProcsLibrary xprocs;
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
    // The background: 8 processes, each holding its share of the background handles.
    for (int h = 0; h < 8 && background > 0; ++h) {
        const std::wstring folder = work + L"\\load" + std::to_wstring(h);
        ::CreateDirectoryW(folder.c_str(), nullptr);
        const std::wstring ready = readyName + L"load" + std::to_wstring(h);
        swt::UniqueHandleT readyEvent(::CreateEventW(nullptr, TRUE, FALSE, ready.c_str()));
        holders.push_back(Launch(L"\"" + dir + L"\\lockscan_bench_holder.exe\" " + ready + L" " + quitName + L" many \"" +
                                 folder + L"\" " + std::to_wstring(background / 8)));
        ::WaitForSingleObject(readyEvent.get(), 60000);
    }
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
        const std::wstring section = WriteJob(work);
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
        // Given up like a closed window: no record of the entries left stays behind.
        run.FormClose();
    }
    // Steady passes of one run against a cold scan of the same 20 destinations: the run keeps one
    // scanner, so its second pass on reuses what the first learnt (every fifth scan is full).
    std::vector<std::wstring> dests;
    for (int n = 0; n < 20; ++n) dests.push_back(work + L"\\dest" + std::to_wstring(n) + L".dat");
    std::vector<double> coldMs, coldHandleMs;
    for (int r = 0; r < runs; ++r) {
        swt::TLockScanner cold;
        const auto t0 = Clock::now();
        cold.Scan(dests, swt::TScanDepth::Full);
        coldMs.push_back(Ms(Clock::now() - t0));
        coldHandleMs.push_back(cold.LastScan().HandlePartMs);
    }
    std::vector<double> steadyMs, steadyHandleMs;
    std::vector<std::pair<double, bool>> cycle;  // each pass of the run after the first: ms, full scan
    double newHandleMs = 0;
    {
        swt::TUpdateRun run({L"Swaptide2.exe", L"doit", WriteJob(work)});
        run.FormCreate();
        run.ReadUpdateJob();
        run.UpdateFilesExecute();  // the run's first, cold scan
        for (int p = 0; p < 2 * static_cast<int>(swt::kFullScanEvery); ++p) {
            const auto t0 = Clock::now();
            run.UpdateFilesExecute();
            const double ms = Ms(Clock::now() - t0);
            const swt::TLockScanStats stats = run.LastScan();
            cycle.emplace_back(ms, stats.Full);
            if (stats.Full) continue;
            steadyMs.push_back(ms);
            steadyHandleMs.push_back(stats.HandlePartMs);
        }
        // One more process opens one new file (a file no entry names), then one more pass; passes
        // run up to a full scan first, so that this one reuses, as four passes in five do.
        do run.UpdateFilesExecute();
        while (!run.LastScan().Full);
        const std::wstring ready = readyName + L"new";
        swt::UniqueHandleT readyEvent(::CreateEventW(nullptr, TRUE, FALSE, ready.c_str()));
        const std::wstring newFile = work + L"\\unrelated.dat";
        WriteFile(newFile, "other");
        holders.push_back(Launch(L"\"" + dir + L"\\lockscan_bench_holder.exe\" " + ready + L" " + quitName +
                                 L" open r 0 \"" + newFile + L"\""));
        ::WaitForSingleObject(readyEvent.get(), 30000);
        const auto t0 = Clock::now();
        run.UpdateFilesExecute();
        newHandleMs = Ms(Clock::now() - t0);
        if (run.LastScan().Full) std::printf("warning: the pass after the new file was a full scan\n");
        run.FormClose();
    }
    // One single lock scan (one held destination), for comparison with the stalls.
    std::vector<double> singles;
    for (int r = 0; r < runs; ++r) {
        const auto t0 = Clock::now();
        auto locks = swt::GetLockingProcesses(work + L"\\dest0.dat");
        singles.push_back(Ms(Clock::now() - t0));
    }
    // The real update window: the first tick reads the job and runs a pass, the later ticks run
    // passes; each has 20 held entries and 5 holders.
    swt::Application().Initialize();
    MeasureStalls(WriteJob(work), 1 + runs);
    ::SetEvent(quit.get());
    for (auto& h : holders) ::WaitForSingleObject(h.get(), 10000);
    std::printf("reading the job (20 entries), ms:");
    for (double s : reads) std::printf(" %.0f", s);
    std::printf("\none pass, 20 held entries, 5 holders, ms:");
    for (double s : passes) std::printf(" %.0f", s);
    std::printf("\none pass, 20 held entries, 5 holders, median: %.0f ms\n", Median(passes));
    std::printf("background file handles: %d\n", background);
    std::printf("one single lock scan, ms:");
    for (double s : singles) std::printf(" %.0f", s);
    std::printf("\nwindow thread, longest stall per tick (first: job read + pass), ms:");
    for (double s : g_harness.stallMs) std::printf(" %.0f", s);
    std::printf("\nwindow thread, tick durations (to the pass's end), ms:");
    for (double s : g_harness.tickMs) std::printf(" %.0f", s);
    std::vector<double> later(g_harness.stallMs.size() > 1 ? g_harness.stallMs.begin() + 1 : g_harness.stallMs.end(),
                              g_harness.stallMs.end());
    const double single = Median(singles);
    std::printf("\nlongest stall in a 20-entry pass, median: %.0f ms; one single scan, median: %.0f ms; "
                "ratio stall/single: %.2f\n",
                Median(later), single, single > 0 ? Median(later) / single : 0);
    if (!g_harness.stallMs.empty())
        std::printf("first tick (job read + pass) stall: %.0f ms = %.2f single scans\n", g_harness.stallMs[0],
                    single > 0 ? g_harness.stallMs[0] / single : 0);
    const double cold = Median(coldMs), coldHandles = Median(coldHandleMs);
    std::printf("cold full scan, 20 destinations, ms: %.0f (of it the handle table: %.0f)\n", cold, coldHandles);
    std::printf("passes of one run after its first, ms (F: full scan):");
    for (const auto& [ms, full] : cycle)
        std::printf(" %.0f%s", ms, full ? "F" : "");
    std::printf("\nsteady pass, nothing changed, median: %.0f ms (of it the handle table: %.0f ms)\n", Median(steadyMs),
                Median(steadyHandleMs));
    std::printf("steady pass after one more process opened one new file: %.0f ms\n", newHandleMs);
    std::printf("ratio steady/cold (handles): %.2f\n", coldHandles > 0 ? Median(steadyHandleMs) / coldHandles : 0);
    std::printf("ratio steady/cold (pass): %.2f\n", cold > 0 ? Median(steadyMs) / cold : 0);
    std::printf("ratio new-handle/cold (pass): %.2f\n", cold > 0 ? newHandleMs / cold : 0);
    std::printf("longest stall ms (pass): %.0f\n", later.empty() ? 0 : *std::max_element(later.begin(), later.end()));
    std::printf("longest stall ms (first tick): %.0f\n", g_harness.stallMs.empty() ? 0 : g_harness.stallMs[0]);
    return 0;
}
