#include "support/base/SystemLibrary.h"

#include <string>

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
    // beside it first.
    try {
        wchar_t folder[MAX_PATH];
        const UINT n = ::GetSystemDirectoryW(folder, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) return nullptr;
        const std::wstring path = std::wstring(folder, n) + L"\\" + fileName;
        return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    } catch (...) {
        return nullptr;
    }
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
