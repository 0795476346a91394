// A calling application as the updater meets it: one main window, one of its own files held open,
// and (with /update) an update job written through the caller header.
//   sample_caller [/caption <text>] [/hold <file>] [/map <file>] [/mark <file>] [/hang]
//                 [/update <updater> <log> (<source> <dest>)...]
// /hold   opens <file> without sharing until the program ends.
// /map    maps <file> as a read-only view and closes its file and section handles; the view stays
//         until the program ends.
// /mark   appends "started <pid>" at start and "closed <pid>" when the window is closed.
// /hang   the window thread stops handling messages once the window is shown (a program that has
//         stopped answering) until the program ends.
// Ends by itself after ten minutes.
// /update writes the job (its own process id, window class and caption, and a runApp that starts
//         it again with the same /caption, /hold and /mark) and starts the updater.
// The caller header first: it must stand on its own (windows.h only).
#include "updater/SwaptideCaller.h"

#include <string>
#include <vector>

#include "base/CommandLine.h"

namespace {

constexpr const wchar_t* kClass = L"SwtSampleCaller";
std::wstring g_mark;

void Mark(const std::wstring& what) {
    if (g_mark.empty()) return;
    HANDLE f = ::CreateFileW(g_mark.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                             0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    std::string line(what.begin(), what.end());
    line += " " + std::to_string(::GetCurrentProcessId()) + "\r\n";
    DWORD written = 0;
    ::WriteFile(f, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    ::CloseHandle(f);
}

LRESULT CALLBACK WndProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
    switch (msg) {
    case WM_CLOSE:
        Mark(L"closed");
        ::DestroyWindow(h);
        return 0;
    case WM_TIMER:  // a fixture never outlives its test by long
        ::DestroyWindow(h);
        return 0;
    case WM_APP:  // /hang
        ::Sleep(10 * 60 * 1000);
        ::DestroyWindow(h);
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(h, &ps);
        wchar_t caption[256];
        ::GetWindowTextW(h, caption, 256);
        ::TextOutW(dc, 10, 10, caption, lstrlenW(caption));
        ::EndPaint(h, &ps);
        return 0;
    }
    }
    return ::DefWindowProcW(h, msg, w, l);
}

std::wstring Quoted(const std::wstring& s) { return L"\"" + s + L"\""; }

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    std::vector<std::wstring> args = swt::CommandLineArgs();
    std::wstring caption = L"Sample Caller", hold, map, updater, log;
    bool hang = false;
    std::vector<std::wstring> files;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == L"/caption" && i + 1 < args.size()) caption = args[++i];
        else if (args[i] == L"/hold" && i + 1 < args.size()) hold = args[++i];
        else if (args[i] == L"/map" && i + 1 < args.size()) map = args[++i];
        else if (args[i] == L"/mark" && i + 1 < args.size()) g_mark = args[++i];
        else if (args[i] == L"/hang") hang = true;
        else if (args[i] == L"/update" && i + 2 < args.size()) {
            updater = args[++i];
            log = args[++i];
            while (i + 1 < args.size() && !args[i + 1].empty() && args[i + 1][0] != L'/') files.push_back(args[++i]);
        }
    }
    Mark(L"started");
    HANDLE held = INVALID_HANDLE_VALUE;
    if (!hold.empty()) held = ::CreateFileW(hold.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (!map.empty()) {
        HANDLE file = ::CreateFileW(map.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        HANDLE section = file == INVALID_HANDLE_VALUE ? nullptr
                                                      : ::CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
        if (section) {
            ::MapViewOfFile(section, FILE_MAP_READ, 0, 0, 0);
            ::CloseHandle(section);
        }
    }

    WNDCLASSW wc{};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kClass;
    ::RegisterClassW(&wc);
    HWND window = ::CreateWindowExW(0, kClass, caption.c_str(), WS_OVERLAPPEDWINDOW, 40, 40, 420, 260, nullptr,
                                    nullptr, instance, nullptr);
    ::SetTimer(window, 1, 10 * 60 * 1000, nullptr);
    ::ShowWindow(window, show == SW_HIDE ? SW_SHOWNORMAL : show);
    ::UpdateWindow(window);
    if (hang) ::PostMessageW(window, WM_APP, 0, 0);

    if (!updater.empty()) {
        std::wstring runApp = Quoted(args[0]) + L" /caption " + Quoted(caption);
        if (!hold.empty()) runApp += L" /hold " + Quoted(hold);
        if (!g_mark.empty()) runApp += L" /mark " + Quoted(g_mark);
        std::vector<SwaptideFile> entries;
        for (size_t i = 0; i + 1 < files.size(); i += 2) entries.push_back({files[i].c_str(), files[i + 1].c_str()});
        SwaptideJob job{};
        job.logFile = log.c_str();
        job.processId = ::GetCurrentProcessId();
        job.windowClass = kClass;
        job.windowCaption = caption.c_str();
        job.runApp = runApp.c_str();
        job.files = entries.data();
        job.fileCount = static_cast<int>(entries.size());
        if (!SwaptideRunUpdate(updater.c_str(), job)) Mark(L"update-failed");
    }

    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    if (held != INVALID_HANDLE_VALUE) ::CloseHandle(held);
    return 0;
}
