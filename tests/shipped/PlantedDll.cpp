// A DLL planted beside a program under the name of a library the program might load. Loaded, it
// leaves a file "<its own path>.loaded" beside itself and does nothing else.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, void*) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    wchar_t path[MAX_PATH + 8];
    const DWORD n = ::GetModuleFileNameW(self, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return TRUE;
    lstrcpyW(path + n, L".loaded");
    HANDLE marker = ::CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (marker != INVALID_HANDLE_VALUE) ::CloseHandle(marker);
    return TRUE;
}
