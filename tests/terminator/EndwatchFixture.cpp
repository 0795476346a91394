// Stand-in for the process the terminator waits for.
//   EndwatchFixture wait <ms>             runs for <ms>, then exits with code 7
//   EndwatchFixture window <caption> <ms> the same, owning a top-level window with that caption
//   EndwatchFixture selfwatch <name> <ms> the same, having started Endwatch.exe (beside it) on
//                                         itself under that display name (for manual runs)
// Ending by itself gives 7, so a test tells that apart from a termination with exit code 0.
#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

#include "base/CommandLine.h"

namespace {
constexpr UINT kFixtureExitCode = 7;

LRESULT CALLBACK FixtureProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) { return ::DefWindowProcW(w, msg, wp, lp); }

DWORD Milliseconds(const std::vector<std::wstring>& args, size_t i) {
    return i < args.size() ? static_cast<DWORD>(std::wcstoul(args[i].c_str(), nullptr, 10)) : 60000;
}
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    const std::vector<std::wstring> args = swt::CommandLineArgs();
    const std::wstring mode = args.size() > 1 ? args[1] : L"wait";
    if (mode == L"window") {
        const std::wstring caption = args.size() > 2 ? args[2] : L"EndwatchFixture";
        const DWORD ms = Milliseconds(args, 3);
        WNDCLASSW wc{};
        wc.lpfnWndProc = FixtureProc;
        wc.hInstance = instance;
        wc.lpszClassName = L"EndwatchFixtureWindow";
        ::RegisterClassW(&wc);
        HWND w = ::CreateWindowExW(0, wc.lpszClassName, caption.c_str(), WS_OVERLAPPEDWINDOW, 10, 10, 200, 100,
                                   nullptr, nullptr, instance, nullptr);
        if (!w) return 3;
        ::SetTimer(w, 1, ms, nullptr);
        MSG msg;
        while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (msg.message == WM_TIMER && msg.hwnd == w) break;
            ::DispatchMessageW(&msg);
        }
        return kFixtureExitCode;
    }
    if (mode == L"selfwatch") {
        wchar_t exe[MAX_PATH];
        const DWORD n = ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
        std::wstring endwatch(exe, n);
        endwatch = endwatch.substr(0, endwatch.find_last_of(L"\\/") + 1) + L"Endwatch.exe";
        std::wstring cmd = L"\"" + endwatch + L"\" 0 " + std::to_wstring(::GetCurrentProcessId()) + L" \"" +
                           (args.size() > 2 ? args[2] : std::wstring(L"Testprogramm")) + L"\"";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!::CreateProcessW(endwatch.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
            return 4;
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
        ::Sleep(Milliseconds(args, 3));
        return kFixtureExitCode;
    }
    ::Sleep(Milliseconds(args, 2));
    return kFixtureExitCode;
}
