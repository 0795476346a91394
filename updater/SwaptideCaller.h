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
//
// An update that was interrupted (the updater killed, the session ended, the power lost) is not
// lost: the updater keeps what is left as a job of its own under the same key, marked by the value
// "resumeOf", and registers itself in the current user's RunOnce list to finish it at the next
// logon. To finish it at once instead, call at the application's start:
//
//     if (SwaptideResumePending(L"C:\\App\\Swaptide2.exe")) { /* an update is being finished */ }
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

// Where jobs lie, and the value that marks a job the updater keeps of an interrupted run.
inline constexpr const wchar_t* kUpdateKey = L"Software\\Veltra Software\\Update";
inline constexpr const wchar_t* kResumeOfValue = L"resumeOf";
// The longest job name the registry allows (a key name), in characters.
inline constexpr int kMaxJobNameChars = 255;

// The mutex an updater holds while it runs the job `jobName` ("Local\Swaptide2.Resume.<jobName>"),
// named here for both sides: the updater creates it, SwaptideResumePending looks for it.
inline void ResumeMutexName(const wchar_t* jobName, wchar_t (&name)[kMaxJobNameChars + 32]) {
    lstrcpyW(name, L"Local\\Swaptide2.Resume.");
    lstrcpynW(name + lstrlenW(name), jobName, kMaxJobNameChars + 1);
}

inline bool ResumeRunning(const wchar_t* jobName) {
    wchar_t name[kMaxJobNameChars + 32];
    ResumeMutexName(jobName, name);
    HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, name);
    if (!mutex) return false;
    CloseHandle(mutex);
    return true;
}

// Starts "<updater>" doit <job>; the new process's handle (the caller closes it), or null.
inline HANDLE StartUpdater(const wchar_t* updaterExe, const wchar_t* jobName) {
    wchar_t commandLine[1024];
    if (lstrlenW(updaterExe) + lstrlenW(jobName) + 10 > 1024) return nullptr;
    wsprintfW(commandLine, L"\"%s\" doit %s", updaterExe, jobName);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

}  // namespace swaptide_detail

// Writes the job and returns its name (the GUID) in jobName; false when the registry refused.
inline bool SwaptideWriteJob(const SwaptideJob& job, wchar_t (&jobName)[39]) {
    using namespace swaptide_detail;
    NewJobName(jobName);
    wchar_t path[128];
    wsprintfW(path, L"%s\\%s", kUpdateKey, jobName);
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
    HANDLE process = swaptide_detail::StartUpdater(updaterExe, jobName);
    if (!process) return false;
    CloseHandle(process);
    return true;
}

// Both: writes the job and starts the updater for it. The calling program then goes on; the
// updater closes it when it holds one of the files.
inline bool SwaptideRunUpdate(const wchar_t* updaterExe, const SwaptideJob& job) {
    wchar_t jobName[39];
    return SwaptideWriteJob(job, jobName) && SwaptideStart(updaterExe, jobName);
}

// Finishes an interrupted update at once: starts the updater for every job it kept of an
// interrupted run that no updater runs now, and waits (10 s at most each) until that updater has
// taken the job, so that a second call starts no second one. True when such a job was found,
// whether started now or already being finished; false when there is none.
inline bool SwaptideResumePending(const wchar_t* updaterExe) {
    using namespace swaptide_detail;
    HKEY update = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kUpdateKey, 0, KEY_READ, &update) != ERROR_SUCCESS) return false;
    bool pending = false;
    // A running updater may remove a finished job meanwhile, which ends the listing early at
    // worst; the index limit ends it whatever the registry answers.
    for (DWORD i = 0; i < 100000; ++i) {
        wchar_t jobName[kMaxJobNameChars + 1];
        DWORD chars = kMaxJobNameChars + 1;
        const LONG rc = RegEnumKeyExW(update, i, jobName, &chars, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_MORE_DATA) continue;
        if (rc != ERROR_SUCCESS) break;
        if (jobName[0] != L'{') continue;
        HKEY job = nullptr;
        if (RegOpenKeyExW(update, jobName, 0, KEY_READ, &job) != ERROR_SUCCESS) continue;
        const bool kept = RegQueryValueExW(job, kResumeOfValue, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
        RegCloseKey(job);
        if (!kept) continue;
        pending = true;
        if (ResumeRunning(jobName)) continue;
        HANDLE process = StartUpdater(updaterExe, jobName);
        if (!process) continue;
        for (int waited = 0; waited < 10000 && !ResumeRunning(jobName); waited += 20)
            if (WaitForSingleObject(process, 20) == WAIT_OBJECT_0) break;
        CloseHandle(process);
    }
    RegCloseKey(update);
    return pending;
}
