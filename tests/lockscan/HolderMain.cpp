// Fixture: holds files open and libraries loaded until told to quit.
//   lockscan_holder <ready event> <quit event> action...
// The quit event may be given as "<name>@<pid>": the holder then also ends when process <pid> ends,
// so that a test that died never leaves it behind.
// Actions: open <access> <share> <path>   access and share are letters r, w, d (or "0" for none)
//          load <path>                    LoadLibraryW
//          many <folder> <count>          creates and holds <count> files <folder>\h<i>.dat
//          map <path>                     maps the file into memory as a read-only view, then
//                                         closes its file and section handles; the view stays
//          views <path> <count>           the same with <count> views of the file, each its own
//                                         allocation
//          probe <pid>                    keeps asking about the memory of process <pid>
//                                         (VirtualQueryEx over its whole address space) until
//                                         told to quit; under Wine each question interrupts
//                                         whatever that process is waiting for
//          serve <pipe>                   once ready, takes commands on the named pipe <pipe>,
//                                         one message each, fields separated by line feeds:
//            open <access> <share> <path> holds one more file; answers "<index> <handle value>"
//            close <index>                closes the file held at index; answers "ok"
//            swap <index> <access> <share> <path>
//                                         closes the file held at index, then opens path in its
//                                         place; answers "<old handle value> <new handle value>"
//                                         A command that fails answers "fail <error>".
//                                         Files held are numbered in the order they were opened,
//                                         by open and many actions and open commands alike.
// Sets the ready event once every action is done; exits with 2 when one fails.
#include <windows.h>

#include <string>
#include <vector>

#include "base/CommandLine.h"

namespace {

DWORD Letters(const std::wstring& text, DWORD r, DWORD w, DWORD d) {
    DWORD v = 0;
    for (wchar_t c : text) {
        if (c == L'r') v |= r;
        if (c == L'w') v |= w;
        if (c == L'd') v |= d;
    }
    return v;
}

DWORD WINAPI Probe(LPVOID target) {
    for (;;) {
        auto address = ULONG_PTR{0};
        MEMORY_BASIC_INFORMATION mbi;
        while (::VirtualQueryEx(target, reinterpret_cast<PVOID>(address), &mbi, sizeof mbi) == sizeof mbi) {
            const auto next = reinterpret_cast<ULONG_PTR>(mbi.BaseAddress) + mbi.RegionSize;
            if (next <= address) break;
            address = next;
        }
        // The target has ended (or refuses): nothing left to probe.
        if (address == 0) return 0;
    }
}

HANDLE OpenHeld(const std::wstring& access, const std::wstring& share, const std::wstring& path) {
    return ::CreateFileW(path.c_str(), Letters(access, GENERIC_READ, GENERIC_WRITE, DELETE),
                         Letters(share, FILE_SHARE_READ, FILE_SHARE_WRITE, FILE_SHARE_DELETE), nullptr, OPEN_EXISTING,
                         0, nullptr);
}

std::vector<HANDLE> g_held;

std::wstring Value(HANDLE h) { return std::to_wstring(reinterpret_cast<ULONG_PTR>(h)); }

std::wstring Execute(const std::vector<std::wstring>& f) {
    const auto index = f.size() > 1 ? static_cast<size_t>(_wtoi(f[1].c_str())) : g_held.size();
    auto fail = [] { return L"fail " + std::to_wstring(::GetLastError()); };
    if (f.size() == 4 && f[0] == L"open") {
        HANDLE h = OpenHeld(f[1], f[2], f[3]);
        if (h == INVALID_HANDLE_VALUE) return fail();
        g_held.push_back(h);
        return std::to_wstring(g_held.size() - 1) + L" " + Value(h);
    }
    if (index >= g_held.size() || !g_held[index]) return L"fail no such file";
    if (f.size() == 2 && f[0] == L"close") {
        ::CloseHandle(g_held[index]);
        g_held[index] = nullptr;
        return L"ok";
    }
    if (f.size() == 5 && f[0] == L"swap") {
        const std::wstring old = Value(g_held[index]);
        ::CloseHandle(g_held[index]);
        g_held[index] = nullptr;
        HANDLE h = OpenHeld(f[2], f[3], f[4]);
        if (h == INVALID_HANDLE_VALUE) return fail();
        g_held[index] = h;
        return old + L" " + Value(h);
    }
    return L"fail unknown command";
}

// Answers the commands of the named pipe, one client at a time.
DWORD WINAPI Serve(LPVOID pipe) {
    std::vector<wchar_t> in(4096);
    for (;;) {
        if (!::ConnectNamedPipe(pipe, nullptr) && ::GetLastError() != ERROR_PIPE_CONNECTED) return 1;
        DWORD read = 0;
        if (::ReadFile(pipe, in.data(), static_cast<DWORD>(in.size() * sizeof(wchar_t)), &read, nullptr)) {
            std::vector<std::wstring> fields(1);
            for (size_t i = 0; i < read / sizeof(wchar_t); ++i)
                if (in[i] == L'\n')
                    fields.emplace_back();
                else
                    fields.back() += in[i];
            const std::wstring answer = Execute(fields);
            DWORD written = 0;
            ::WriteFile(pipe, answer.data(), static_cast<DWORD>(answer.size() * sizeof(wchar_t)), &written, nullptr);
            ::FlushFileBuffers(pipe);
        }
        ::DisconnectNamedPipe(pipe);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    std::vector<std::wstring> args = swt::CommandLineArgs();
    if (args.size() < 3) return 2;
    std::wstring quitName = args[2];
    HANDLE parent = nullptr;
    size_t at = quitName.find(L'@');
    if (at != std::wstring::npos) {
        parent = ::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(_wtoi(quitName.c_str() + at + 1)));
        quitName.resize(at);
    }
    HANDLE ready = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, args[1].c_str());
    HANDLE quit = ::OpenEventW(SYNCHRONIZE, FALSE, quitName.c_str());
    if (!ready || !quit) return 2;
    std::vector<HANDLE>& held = g_held;
    for (size_t i = 3; i < args.size(); ++i) {
        if (args[i] == L"open" && i + 3 < args.size()) {
            HANDLE h = OpenHeld(args[i + 1], args[i + 2], args[i + 3]);
            if (h == INVALID_HANDLE_VALUE) return 2;
            held.push_back(h);
            i += 3;
        } else if (args[i] == L"load" && i + 1 < args.size()) {
            if (!::LoadLibraryW(args[i + 1].c_str())) return 2;
            i += 1;
        } else if ((args[i] == L"map" && i + 1 < args.size()) || (args[i] == L"views" && i + 2 < args.size())) {
            const bool many = args[i] == L"views";
            const int views = many ? _wtoi(args[i + 2].c_str()) : 1;
            HANDLE file = ::CreateFileW(args[i + 1].c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                        nullptr);
            if (file == INVALID_HANDLE_VALUE) return 2;
            HANDLE section = ::CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
            ::CloseHandle(file);
            if (!section) return 2;
            for (int v = 0; v < views; ++v)
                if (!::MapViewOfFile(section, FILE_MAP_READ, 0, 0, 0)) return 2;
            ::CloseHandle(section);
            i += many ? 2 : 1;
        } else if (args[i] == L"probe" && i + 1 < args.size()) {
            HANDLE target = ::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, static_cast<DWORD>(_wtoi(args[i + 1].c_str())));
            if (!target || !::CreateThread(nullptr, 0, Probe, target, 0, nullptr)) return 2;
            i += 1;
        } else if (args[i] == L"serve" && i + 1 < args.size()) {
            HANDLE pipe = ::CreateNamedPipeW(args[i + 1].c_str(), PIPE_ACCESS_DUPLEX,
                                             PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 4096, 4096, 0,
                                             nullptr);
            if (pipe == INVALID_HANDLE_VALUE || !::CreateThread(nullptr, 0, Serve, pipe, 0, nullptr)) return 2;
            i += 1;
        } else if (args[i] == L"many" && i + 2 < args.size()) {
            int count = _wtoi(args[i + 2].c_str());
            for (int n = 0; n < count; ++n) {
                std::wstring path = args[i + 1] + L"\\h" + std::to_wstring(n) + L".dat";
                HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                         CREATE_ALWAYS, 0, nullptr);
                if (h == INVALID_HANDLE_VALUE) return 2;
                held.push_back(h);
            }
            i += 2;
        } else {
            return 2;
        }
    }
    ::SetEvent(ready);
    // Ends on its own after ten minutes at the latest.
    HANDLE waits[2] = {quit, parent};
    ::WaitForMultipleObjects(parent ? 2 : 1, waits, FALSE, 600000);
    for (HANDLE h : held)
        if (h) ::CloseHandle(h);
    return 0;
}
