#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>
#include <objbase.h>

#include <exception>

namespace swt::test {

std::wstring BinDir() {
    wchar_t buf[MAX_PATH * 2];
    DWORD n = ::GetModuleFileNameW(nullptr, buf, MAX_PATH * 2);
    std::wstring p(buf, n);
    return p.substr(0, p.find_last_of(L"\\/"));
}

std::wstring BinPath(const std::wstring& exeName) { return BinDir() + L"\\" + exeName; }

TempDir::TempDir() {
    wchar_t tmp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, tmp);
    path_ = std::wstring(tmp) + L"swt-test-" + NewGuidText();
    ::CreateDirectoryW(path_.c_str(), nullptr);
}

TempDir::~TempDir() { DeleteTree(path_); }

void DeleteTree(const std::wstring& path) {
    WIN32_FIND_DATAW fd;
    UniqueFind find(::FindFirstFileW((path + L"\\*").c_str(), &fd));
    if (find) {
        do {
            std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring full = path + L"\\" + name;
            ::SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteTree(full);
            else
                ::DeleteFileW(full.c_str());
        } while (::FindNextFileW(find.get(), &fd));
    }
    find.reset();
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::RemoveDirectoryW(path.c_str());
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    UniqueFile f(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(f) << "cannot create file, error " << ::GetLastError();
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(f.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
}

std::string ReadFileBytes(const std::wstring& path) {
    UniqueFile f(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, 0, nullptr));
    if (!f) return {};
    std::string out;
    char buf[65536];
    DWORD got = 0;
    while (::ReadFile(f.get(), buf, sizeof buf, &got, nullptr) && got) out.append(buf, got);
    return out;
}

bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

DWORD Child::Wait(DWORD ms) const {
    if (::WaitForSingleObject(process.get(), ms) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(process.get(), &code);
    return code;
}

Child Start(const std::wstring& exe, const std::wstring& args) {
    std::wstring cmd = L"\"" + exe + L"\"";
    if (!args.empty()) cmd += L" " + args;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    Child child;
    if (!::CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        ADD_FAILURE() << "cannot start program, error " << ::GetLastError();
        return child;
    }
    ::CloseHandle(pi.hThread);
    child.process.reset(pi.hProcess);
    child.pid = pi.dwProcessId;
    return child;
}

DWORD Run(const std::wstring& exe, const std::wstring& args, DWORD ms) {
    Child c = Start(exe, args);
    if (!c.process) return STILL_ACTIVE;
    DWORD code = c.Wait(ms);
    if (code == STILL_ACTIVE) ::TerminateProcess(c.process.get(), 1);
    return code;
}

RegKey::RegKey(const std::wstring& parent, const std::wstring& name) : path_(parent + L"\\" + name) {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    LONG rc = ::RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key_.put(),
                                nullptr);
    EXPECT_EQ(rc, ERROR_SUCCESS);
}

RegKey::~RegKey() {
    key_.reset();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
}

void RegKey::SetString(const std::wstring& name, const std::wstring& value, DWORD type) {
    ::RegSetValueExW(key_.get(), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void RegKey::SetDword(const std::wstring& name, DWORD value) {
    ::RegSetValueExW(key_.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

void RegKey::SetBinary(const std::wstring& name, const std::string& bytes, DWORD type) {
    ::RegSetValueExW(key_.get(), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                     static_cast<DWORD>(bytes.size()));
}

bool RegKey::Exists(const std::wstring& path) {
    UniqueKey k;
    return ::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, k.put()) == ERROR_SUCCESS;
}

std::wstring NewGuidText() {
    GUID g;
    ::CoCreateGuid(&g);
    wchar_t buf[64];
    ::StringFromGUID2(g, buf, 64);
    return buf;
}

void ParkCursor() { ::SetCursorPos(::GetSystemMetrics(SM_CXSCREEN) - 1, ::GetSystemMetrics(SM_CYSCREEN) - 1); }

HWND FindWindowOf(DWORD pid, const std::function<bool(HWND)>& match) {
    struct Search {
        DWORD pid;
        const std::function<bool(HWND)>* match;
        HWND found;
        std::exception_ptr error;
    } search{pid, &match, nullptr, nullptr};
    // No exception may pass through the system's frames: a failing match ends the search and is
    // raised again here.
    ::EnumWindows(
        [](HWND w, LPARAM l) noexcept -> BOOL {
            auto* s = reinterpret_cast<Search*>(l);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(w, &owner);
            if (owner != s->pid) return TRUE;
            try {
                if (!(*s->match)(w)) return TRUE;
            } catch (...) {
                s->error = std::current_exception();
                return FALSE;
            }
            s->found = w;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (search.error) std::rethrow_exception(search.error);
    return search.found;
}

}  // namespace swt::test
