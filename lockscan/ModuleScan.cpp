#include "lockscan/ModuleScan.h"

#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <vector>

#include "support/UniqueHandle.h"

namespace swt {

namespace {

using QueryFullProcessImageNameFn = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);

QueryFullProcessImageNameFn QueryImageName() {
    static const QueryFullProcessImageNameFn fn = [] {
        HMODULE kernel = ::GetModuleHandleW(L"kernel32");
        return kernel ? reinterpret_cast<QueryFullProcessImageNameFn>(
                            ::GetProcAddress(kernel, "QueryFullProcessImageNameW"))
                      : nullptr;
    }();
    return fn;
}

constexpr DWORD kLongestPath = 32768;

std::vector<DWORD> SnapshotProcessIds() {
    std::vector<DWORD> ids;
    UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return ids;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry))
        ids.push_back(entry.th32ProcessID);
    return ids;
}

// Every module of the process, however many there are.
bool ListModules(HANDLE process, std::vector<HMODULE>& modules) {
    if (modules.size() < 256) modules.resize(256);
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD bytes = static_cast<DWORD>(modules.size() * sizeof(HMODULE));
        DWORD needed = 0;
        if (!::EnumProcessModulesEx(process, modules.data(), bytes, &needed, LIST_MODULES_ALL)) return false;
        if (needed <= bytes) {
            modules.resize(needed / sizeof(HMODULE));
            return true;
        }
        modules.resize(needed / sizeof(HMODULE) + 64);
    }
    return false;
}

std::wstring ModulePath(HANDLE process, HMODULE module, std::vector<wchar_t>& buffer) {
    DWORD n = ::GetModuleFileNameExW(process, module, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0 || n >= buffer.size() - 1) return {};
    return std::wstring(buffer.data(), n);
}

std::wstring ImagePath(HANDLE process, std::vector<wchar_t>& buffer) {
    QueryFullProcessImageNameFn query = QueryImageName();
    if (!query) return {};
    DWORD size = static_cast<DWORD>(buffer.size());
    if (!query(process, 0, buffer.data(), &size)) return {};
    return std::wstring(buffer.data(), size);
}

// True only when the file mapped at the module's base surely has another file name than the
// target: a short (8.3) name or a name the system will not give leaves the decision to the
// module path.
bool MappedNameDiffers(HANDLE process, HMODULE module, std::wstring_view targetFile, std::vector<wchar_t>& buffer) {
    DWORD n = ::GetMappedFileNameW(process, module, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0 || n >= buffer.size() - 1) return false;
    std::wstring_view file = FileNamePart(std::wstring_view(buffer.data(), n));
    if (file.find(L'~') != std::wstring_view::npos) return false;
    return !SameTextAscii(file, targetFile);
}

}  // namespace

std::wstring LongPathForm(const std::wstring& path) {
    if (path.find(L'~') == std::wstring::npos) return path;
    std::vector<wchar_t> buffer(kLongestPath);
    DWORD n = ::GetLongPathNameW(path.c_str(), buffer.data(), kLongestPath);
    if (n == 0 || n >= kLongestPath) return path;
    return std::wstring(buffer.data(), n);
}

bool SameTextAscii(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        wchar_t x = a[i], y = b[i];
        if (x >= L'a' && x <= L'z') x = static_cast<wchar_t>(x - L'a' + L'A');
        if (y >= L'a' && y <= L'z') y = static_cast<wchar_t>(y - L'a' + L'A');
        if (x != y) return false;
    }
    return true;
}

std::wstring_view FileNamePart(std::wstring_view path) {
    size_t cut = path.find_last_of(L"\\:");
    return cut == std::wstring_view::npos ? path : path.substr(cut + 1);
}

void ScanModules(const std::wstring& targetName, TProcessLockList& list, TNameQuery& names) {
    if (targetName.empty()) return;
    const std::wstring_view targetFile = FileNamePart(targetName);
    std::vector<HMODULE> modules;
    std::vector<wchar_t> buffer(kLongestPath);
    for (DWORD id : SnapshotProcessIds()) {
        UniqueHandleT process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id));
        if (!process) continue;
        if (!ListModules(process.get(), modules)) continue;
        for (HMODULE module : modules) {
            // Cheap look first: the name of the file mapped at the module's base is one system
            // call, where the module path walks the process's whole module list again.
            if (MappedNameDiffers(process.get(), module, targetFile, buffer)) continue;
            std::wstring modulePath = ModulePath(process.get(), module, buffer);
            if (modulePath.empty()) continue;
            std::wstring longPath = LongPathForm(modulePath);
            if (!SameTextAscii(FileNamePart(longPath), targetFile)) continue;
            std::wstring candidate = longPath;
            UniqueFile file(::CreateFileW(longPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
            if (file) {
                candidate = names.Name(file.get());
                // A module file that cannot be named matches nothing.
                if (candidate.empty()) continue;
            }
            if (SameTextAscii(candidate, targetName)) {
                // The executable's full path; when the system will not say, the path of the first
                // module (the executable's image), so that the row still gets a name and an icon.
                std::wstring processPath = ImagePath(process.get(), buffer);
                if (processPath.empty()) processPath = ModulePath(process.get(), modules[0], buffer);
                if (processPath.empty()) processPath = L"<unbekannt>";
                TProcessLockInfo::Create(&list, modulePath, ::GetProcessId(process.get()), processPath);
                break;
            }
        }
    }
}

void ScanModules(const std::wstring& targetName, TProcessLockList& list) {
    TNameQuery names;
    ScanModules(targetName, list, names);
}

}  // namespace swt
