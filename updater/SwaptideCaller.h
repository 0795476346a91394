// For calling applications: write an update job and start the updater. Needs only windows.h.
//
//     SwaptideFile files[] = {{L"C:\\App\\new\\app.exe", L"C:\\App\\app.exe"}};
//     SwaptideJob job{};
//     job.logFile = L"C:\\App\\update.log";
//     job.processId = GetCurrentProcessId();     // the updater may close this program ...
//     job.windowClass = L"MyMainWindowClass";    // ... through this window (class and caption;
//     job.windowCaption = L"My Application";     //     leave both null to let the updater take
//                                                //     the process's first visible window)
//     job.runApp = L"\"C:\\App\\app.exe\" /updated";  // ... and start this after the update
//     job.files = files;
//     job.fileCount = 1;
//     SwaptideRunUpdate(L"C:\\App\\Swaptide2.exe", job);
//
// The job is written under HKEY_CURRENT_USER\Software\Veltra Software\Update\{job GUID}; the
// updater reads and erases it. Every value of the job is written: "this_logfile",
// "this_processID", "this_class" and "this_caption" (when given), "this_processAPP_FormHandle",
// "runApp", "count", and "<n>_Source" / "<n>_Dest" for n = 1 .. count.
#pragma once
#include <windows.h>

struct SwaptideFile {
    const wchar_t* source;  // the new file, already on disk
    const wchar_t* dest;    // where it goes; an existing file there is replaced
};

struct SwaptideJob {
    const wchar_t* logFile;        // full path of the log; null or empty: no log
    DWORD processId;               // this program's id, or 0: it is never closed or restarted
    const wchar_t* windowClass;    // its main window's class name (with processId)
    const wchar_t* windowCaption;  // its main window's caption (with processId)
    HWND formHandle;               // its main window when processId is 0
    const wchar_t* runApp;         // command line started after the updater closed this program
    const SwaptideFile* files;
    int fileCount;
};

namespace swaptide_detail {

inline bool SetText(HKEY key, const wchar_t* name, const wchar_t* value) {
    if (!value) value = L"";
    const DWORD bytes = static_cast<DWORD>((lstrlenW(value) + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), bytes) == ERROR_SUCCESS;
}

inline bool SetNumber(HKEY key, const wchar_t* name, long long value) {
    wchar_t text[32];
    wchar_t* p = text + 31;
    *p = L'\0';
    const bool negative = value < 0;
    unsigned long long v = negative ? 0ull - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    do {
        *--p = static_cast<wchar_t>(L'0' + v % 10);
        v /= 10;
    } while (v);
    if (negative) *--p = L'-';
    return SetText(key, name, p);
}

// A new GUID in registry form, "{8-4-4-4-12}"; from CoCreateGuid of the system's ole32, else from
// the clock, the process id and the tick count.
inline void NewJobName(wchar_t (&name)[39]) {
    GUID g{};
    bool made = false;
    if (HMODULE ole = LoadLibraryExW(L"ole32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        using CreateGuid = HRESULT(WINAPI*)(GUID*);
        if (auto create = reinterpret_cast<CreateGuid>(reinterpret_cast<void*>(GetProcAddress(ole, "CoCreateGuid"))))
            made = create(&g) == S_OK;
        FreeLibrary(ole);
    }
    if (!made) {
        FILETIME ft;
        GetSystemTimeAsFileTime(&ft);
        LARGE_INTEGER counter;
        QueryPerformanceCounter(&counter);
        g.Data1 = ft.dwLowDateTime;
        g.Data2 = static_cast<WORD>(GetCurrentProcessId());
        g.Data3 = static_cast<WORD>(GetTickCount());
        for (int i = 0; i < 8; ++i) g.Data4[i] = static_cast<BYTE>(counter.QuadPart >> (i * 8));
    }
    wsprintfW(name, L"{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3, g.Data4[0],
              g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
}

}  // namespace swaptide_detail

// Writes the job and returns its name (the GUID) in jobName; false when the registry refused.
inline bool SwaptideWriteJob(const SwaptideJob& job, wchar_t (&jobName)[39]) {
    using namespace swaptide_detail;
    NewJobName(jobName);
    wchar_t path[128] = L"Software\\Veltra Software\\Update\\";
    lstrcatW(path, jobName);
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    bool ok = SetText(key, L"this_logfile", job.logFile) && SetNumber(key, L"this_processID", job.processId) &&
              SetNumber(key, L"this_processAPP_FormHandle", reinterpret_cast<LONG_PTR>(job.formHandle)) &&
              SetText(key, L"runApp", job.runApp) && SetNumber(key, L"count", job.fileCount > 0 ? job.fileCount : 0);
    if (ok && job.windowClass) ok = SetText(key, L"this_class", job.windowClass);
    if (ok && job.windowCaption) ok = SetText(key, L"this_caption", job.windowCaption);
    for (int n = 1; ok && n <= job.fileCount; ++n) {
        wchar_t name[32];
        wsprintfW(name, L"%d_Source", n);
        ok = SetText(key, name, job.files[n - 1].source);
        wsprintfW(name, L"%d_Dest", n);
        if (ok) ok = SetText(key, name, job.files[n - 1].dest);
    }
    RegCloseKey(key);
    if (!ok) RegDeleteKeyW(HKEY_CURRENT_USER, path);
    return ok;
}

// Starts the updater for the named job ("<updater>" doit <job>); false when it could not start.
inline bool SwaptideStart(const wchar_t* updaterExe, const wchar_t* jobName) {
    wchar_t commandLine[1024];
    if (lstrlenW(updaterExe) + lstrlenW(jobName) + 10 > 1024) return false;
    wsprintfW(commandLine, L"\"%s\" doit %s", updaterExe, jobName);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

// Both: writes the job and starts the updater for it. The calling program then goes on; the
// updater closes it when it holds one of the files.
inline bool SwaptideRunUpdate(const wchar_t* updaterExe, const SwaptideJob& job) {
    wchar_t jobName[39];
    return SwaptideWriteJob(job, jobName) && SwaptideStart(updaterExe, jobName);
}
