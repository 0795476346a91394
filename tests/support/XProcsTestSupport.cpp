#include "tests/support/XProcsTestSupport.h"

#include <gtest/gtest.h>

#include <cwctype>

namespace swt::test {

namespace {
std::wstring Upper(std::wstring s) {
    for (wchar_t& c : s) c = static_cast<wchar_t>(std::towupper(c));
    return s;
}
}  // namespace

DWORD RunWithEnv(const std::wstring& exe, const std::wstring& args, const EnvChanges& changes, DWORD ms) {
    std::vector<std::wstring> vars;
    wchar_t* block = ::GetEnvironmentStringsW();
    for (const wchar_t* p = block; p && *p; p += wcslen(p) + 1) {
        std::wstring entry = p;
        size_t eq = entry.find(L'=', 1);
        std::wstring name = Upper(entry.substr(0, eq));
        bool changed = false;
        for (const auto& c : changes) changed = changed || Upper(c.first) == name;
        if (!changed) vars.push_back(entry);
    }
    if (block) ::FreeEnvironmentStringsW(block);
    for (const auto& c : changes)
        if (c.second) vars.push_back(c.first + L"=" + *c.second);
    std::wstring env;
    for (const auto& v : vars) env += v + L'\0';
    env += L'\0';

    std::wstring cmd = Quoted(exe);
    if (!args.empty()) cmd += L" " + args;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT, env.data(),
                          nullptr, &si, &pi)) {
        ADD_FAILURE() << "cannot start program, error " << ::GetLastError();
        return STILL_ACTIVE;
    }
    ::CloseHandle(pi.hThread);
    Child child;
    child.process.reset(pi.hProcess);
    child.pid = pi.dwProcessId;
    DWORD code = child.Wait(ms);
    if (code == STILL_ACTIVE) ::TerminateProcess(child.process.get(), 1);
    return code;
}

std::map<std::string, std::wstring> ReadReport(const std::wstring& path) {
    std::map<std::string, std::wstring> out;
    std::string bytes = ReadFileBytes(path);
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        size_t eq = line.find('=');
        if (eq != std::string::npos) {
            std::string value = line.substr(eq + 1);
            std::wstring wide;
            if (!value.empty()) {
                int n = ::MultiByteToWideChar(CP_UTF8, 0, value.data(), static_cast<int>(value.size()), nullptr, 0);
                wide.resize(static_cast<size_t>(n));
                ::MultiByteToWideChar(CP_UTF8, 0, value.data(), static_cast<int>(value.size()), wide.data(), n);
            }
            out[line.substr(0, eq)] = wide;
        }
        start = end + 1;
    }
    return out;
}

std::optional<std::wstring> GetEnv(const std::wstring& name) {
    wchar_t buf[32768];
    ::SetLastError(0);
    DWORD n = ::GetEnvironmentVariableW(name.c_str(), buf, 32768);
    if (n == 0 && ::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
    return std::wstring(buf, n < 32768 ? n : 0);
}

SavedTempEnv::SavedTempEnv() {
    for (const wchar_t* name : {L"ORIGIN_TEMP", L"TEMP", L"TMP"}) saved_.emplace_back(name, GetEnv(name));
}

SavedTempEnv::~SavedTempEnv() {
    for (const auto& [name, value] : saved_) ::SetEnvironmentVariableW(name.c_str(), value ? value->c_str() : nullptr);
}

bool IsFolder(const std::wstring& path) {
    DWORD a = ::GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring ParentOf(std::wstring folder) {
    while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    size_t slash = folder.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash);
}

std::wstring Quoted(const std::wstring& s) { return L"\"" + s + L"\""; }

}  // namespace swt::test
