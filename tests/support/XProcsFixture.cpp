// Test fixture: a program of the system in miniature. It runs the library start-up, optionally
// creates the parameter list (as the process terminator does when its window first applies the
// font guideline), writes what it sees to the report file named first on its command line, and
// optionally starts a child the way the updater restarts the calling program.
//
//   xprocs_fixture_X.exe <report> list|nolist|chain [<child exe beside this one>] [parameters...]
//
// With "SWT_FIXTURE_REPORT" in the environment the report goes there, the mode is "list" and the
// command line is left entirely to the parameter list.
// "chain" creates the list (terminator build), then starts the child with StartProgram and waits
// for it; the child writes <report>.child and runs in "list" mode.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/AnsiText.h"
#include "base/CommandLine.h"
#include "support/xProcs.h"

namespace {

std::wstring Env(const wchar_t* name) {
    wchar_t buf[32768];
    DWORD n = ::GetEnvironmentVariableW(name, buf, 32768);
    return n == 0 || n >= 32768 ? std::wstring(L"<unset>") : std::wstring(buf, n);
}

std::wstring Hex(unsigned long long v) {
    wchar_t buf[32];
    swprintf(buf, 32, L"%llX", v);
    return buf;
}

struct Report {
    std::string text;
    void Add(const std::string& key, const std::wstring& value) { text += key + "=" + swt::ToUtf8(value) + "\n"; }
    void Write(const std::wstring& path) const {
        // Written under a temporary name and renamed, so a reader never sees half a report.
        std::wstring part = path + L".part";
        HANDLE f = ::CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (f == INVALID_HANDLE_VALUE) return;
        DWORD written = 0;
        ::WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        ::CloseHandle(f);
        ::MoveFileExW(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
};

bool IsFolder(const std::wstring& p) {
    DWORD a = ::GetFileAttributesW(p.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// Leaves work in the temporary folder, as a real program would: a file and a sub-folder with one.
[[maybe_unused]] void LeaveWork(Report& r) {
    wchar_t tmp[MAX_PATH + 1];
    DWORD n = ::GetTempPathW(MAX_PATH + 1, tmp);
    if (n == 0 || n > MAX_PATH) return;
    std::wstring dir(tmp, n);
    std::wstring file = dir + L"work.txt";
    HANDLE f = ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f != INVALID_HANDLE_VALUE) {
        ::CloseHandle(f);
        r.Add("WORKFILE", file);
    }
    std::wstring sub = dir + L"work-sub";
    if (::CreateDirectoryW(sub.c_str(), nullptr) || IsFolder(sub)) {
        HANDLE g = ::CreateFileW((sub + L"\\inner.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (g != INVALID_HANDLE_VALUE) ::CloseHandle(g);
    }
}

void Run(const std::vector<std::wstring>& args) {
    const std::wstring fromEnv = Env(L"SWT_FIXTURE_REPORT");
    const bool envReport = fromEnv != L"<unset>";
    if (!envReport && args.size() < 2) return;
    const std::wstring report = envReport ? fromEnv : args[1];
    const std::wstring mode = !envReport && args.size() > 2 ? args[2] : L"list";
    Report r;
    r.Add("PROGRAM", swt::ProgramPath());
    r.Add("COMMANDLINE", ::GetCommandLineW());
    r.Add("GUID", swt::StartupGuidText());
    STARTUPINFOW si{};
    si.cb = sizeof si;
    ::GetStartupInfoW(&si);
    r.Add("SIFLAGS", Hex(si.dwFlags));
    r.Add("SHOW", std::to_wstring(si.wShowWindow));
    r.Add("START_TEMP", Env(L"TEMP"));
    r.Add("START_TMP", Env(L"TMP"));

#if SWT_XPROCS_TERMINATOR
    if (mode == L"list" || mode == L"chain") {
        swt::TApplicationParamList& list = swt::ApplicationParams();
        r.Add("PRIVATE", list.TempFolderDelete());
        r.Add("COUNT", std::to_wstring(list.Count()));
        for (int i = 0; i < list.Count(); ++i) r.Add("ENTRY" + std::to_string(i), list.Strings(i));
        r.Add("VALUE_X", list.GetParamValue(L"X"));
        r.Add("FLAG_Y", list.GetCheckParam(L"Y") ? L"1" : L"0");
        const std::wstring priv = list.TempFolderDelete();
        if (!priv.empty()) {
            DWORD a = ::GetFileAttributesW(priv.c_str());
            r.Add("PRIVATE_ATTR", a == INVALID_FILE_ATTRIBUTES ? L"none" : Hex(a));
        }
        LeaveWork(r);
    }
#endif
    r.Add("ORIGIN_TEMP", Env(L"ORIGIN_TEMP"));
    r.Add("TEMP", Env(L"TEMP"));
    r.Add("TMP", Env(L"TMP"));
    DWORD_PTR processMask = 0, systemMask = 0;
    ::GetProcessAffinityMask(::GetCurrentProcess(), &processMask, &systemMask);
    r.Add("AFFINITY", Hex(processMask));
    r.Add("SYSMASK", Hex(systemMask));
    r.Add("WINNT", swt::IsWinNT() ? L"1" : L"0");
    r.Add("LANGUAGE", std::to_wstring(swt::UserLanguage()));
    r.Add("LANGUAGEBASE", std::to_wstring(swt::LanguageBase()));
    r.Add("METRIC", swt::SystemMetric() ? std::to_wstring(swt::SystemMetric()->MenuHeight()) : L"none");

    if (mode == L"chain" && !envReport && args.size() > 3) {
        std::wstring self = swt::ProgramPath();
        std::wstring dir = self.substr(0, self.find_last_of(L'\\') + 1);
        std::wstring cmd = L"\"" + dir + args[3] + L"\" \"" + report + L".child\" list";
        r.Add("STARTED", swt::StartProgram(cmd, false, true) ? L"1" : L"0");
    }
    r.Write(report);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    try {
        swt::XProcsLibrary xprocs;
        std::vector<std::wstring> args = swt::CommandLineArgs();
        Run(args);
    } catch (...) {
    }
    return 0;
}
