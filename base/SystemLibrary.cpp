#include "base/SystemLibrary.h"

#include <cwchar>

namespace swt {

namespace {
FARPROC KernelProc(const char* name) noexcept {
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    return kernel ? ::GetProcAddress(kernel, name) : nullptr;
}

// The loader's newer search flags are present when SetDefaultDllDirectories is (Windows 8, and
// Windows 7 with its loader update).
bool HasSearchFlags() noexcept { return KernelProc("SetDefaultDllDirectories") != nullptr; }
}  // namespace

void RestrictDllSearchToSystemFolder() noexcept {
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    if (auto set = reinterpret_cast<SetDefaultDllDirectoriesFn>(KernelProc("SetDefaultDllDirectories")))
        set(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Takes the current folder out of the older search order as well.
    ::SetDllDirectoryW(L"");
    // Wine's own uxtheme resolves its delay-loaded msimg32 by the plain search order, which still
    // starts at the program's folder. Loaded from the system folder now (and kept), that lookup
    // finds this copy instead. Harmless on Windows, where the system copy is a known DLL anyway.
    static const HMODULE msimg32 = LoadSystemLibrary(L"msimg32.dll");
    (void)msimg32;
}

HMODULE LoadSystemLibrary(const wchar_t* fileName) noexcept {
    if (!fileName || !*fileName) return nullptr;
    if (HasSearchFlags()) return ::LoadLibraryExW(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Without the flags: the full path in the system folder, its own dependencies looked for
    // beside it first. Put together on the stack, so that nothing here can fail but the load.
    wchar_t path[MAX_PATH];
    const UINT n = ::GetSystemDirectoryW(path, MAX_PATH);
    const size_t nameLength = std::wcslen(fileName);
    if (n == 0 || n + 1 + nameLength >= MAX_PATH) return nullptr;
    path[n] = L'\\';
    std::wmemcpy(path + n + 1, fileName, nameLength + 1);
    return ::LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

HMODULE TSystemLibrary::Module() const noexcept {
    if (!looked_.load(std::memory_order_acquire)) {
        HMODULE loaded = LoadSystemLibrary(fileName_);
        HMODULE expected = nullptr;
        // Another thread got there first: give back this load, keep theirs.
        if (loaded && !module_.compare_exchange_strong(expected, loaded) && expected != loaded) ::FreeLibrary(loaded);
        looked_.store(true, std::memory_order_release);
    }
    return module_.load(std::memory_order_acquire);
}

FARPROC TSystemLibrary::Proc(const char* name) const noexcept {
    HMODULE module = Module();
    return module ? ::GetProcAddress(module, name) : nullptr;
}

}  // namespace swt
