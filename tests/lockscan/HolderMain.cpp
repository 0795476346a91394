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
    std::vector<HANDLE> held;
    for (size_t i = 3; i < args.size(); ++i) {
        if (args[i] == L"open" && i + 3 < args.size()) {
            DWORD access = Letters(args[i + 1], GENERIC_READ, GENERIC_WRITE, DELETE);
            DWORD share = Letters(args[i + 2], FILE_SHARE_READ, FILE_SHARE_WRITE, FILE_SHARE_DELETE);
            HANDLE h = ::CreateFileW(args[i + 3].c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr);
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
    for (HANDLE h : held) ::CloseHandle(h);
    return 0;
}
