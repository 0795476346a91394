// Libraries outside the set Windows always takes from its system folder (uxtheme, msimg32, winmm,
// version, ...) are never imported: a program started from a folder others can write to (a
// download or temporary folder) would otherwise run the code of a DLL of that name planted beside
// it. They are loaded at run time from the system folder only, through this seam, and each user
// reaches its functions through a narrow wrapper next to it (ui/ThemeApi.h, ui/Msimg32Api.h, ...).
#pragma once
#include <windows.h>

#include <atomic>

namespace swt {

// First thing in wWinMain: DLLs loaded later by name, also by the system on the program's behalf,
// come from the system folder, and neither the program's nor the current folder is searched.
// Where the system cannot restrict the search (Windows 7 without its loader update) it still takes
// the current folder out. Never throws.
void RestrictDllSearchToSystemFolder() noexcept;

// Loads a DLL by file name (for instance L"uxtheme.dll") from the system folder only, never from
// the program's folder; null when it is not there. The caller frees it (UniqueModule).
HMODULE LoadSystemLibrary(const wchar_t* fileName) noexcept;

// A system library loaded on first use and kept for the rest of the run. constexpr-constructed, so
// an instance at namespace scope is ready before any code runs; safe to use from several threads
// (a race loads it twice, which only raises its load count).
class TSystemLibrary {
public:
    constexpr explicit TSystemLibrary(const wchar_t* fileName) noexcept : fileName_(fileName) {}
    TSystemLibrary(const TSystemLibrary&) = delete;
    TSystemLibrary& operator=(const TSystemLibrary&) = delete;

    // The module, or null when the library is missing (then looked for once only).
    HMODULE Module() const noexcept;
    // The address of an export, or null when the library or the export is missing.
    FARPROC Proc(const char* name) const noexcept;

private:
    const wchar_t* fileName_;
    mutable std::atomic<HMODULE> module_{nullptr};
    mutable std::atomic<bool> looked_{false};
};

// One function of a system library with its own signature, looked up on first use only.
// Example: constinit TSystemProc<decltype(::timeGetTime)> TimeGetTime{winmm, "timeGetTime"};
template <typename F>
class TSystemProc {
public:
    constexpr TSystemProc(const TSystemLibrary& library, const char* name) noexcept : library_(library), name_(name) {}
    TSystemProc(const TSystemProc&) = delete;
    TSystemProc& operator=(const TSystemProc&) = delete;

    // Null when the library or the function is missing.
    F* get() const noexcept {
        if (!looked_.load(std::memory_order_acquire)) {
            proc_.store(reinterpret_cast<void*>(library_.Proc(name_)), std::memory_order_relaxed);
            looked_.store(true, std::memory_order_release);
        }
        return reinterpret_cast<F*>(proc_.load(std::memory_order_relaxed));
    }
    explicit operator bool() const noexcept { return get() != nullptr; }

private:
    const TSystemLibrary& library_;
    const char* name_;
    mutable std::atomic<void*> proc_{nullptr};
    mutable std::atomic<bool> looked_{false};
};

}  // namespace swt
