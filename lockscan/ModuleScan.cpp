#include "lockscan/ModuleScan.h"

#include <windows.h>
#include <psapi.h>

#include <vector>

#include "base/UniqueHandle.h"

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

}  // namespace

bool TScannedProcess::ListModules() {
    if (modulesListed_) return modulesValid_;
    modulesListed_ = true;
    if (Modules.size() < 256) Modules.resize(256);
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD bytes = static_cast<DWORD>(Modules.size() * sizeof(HMODULE));
        DWORD needed = 0;
        if (!::EnumProcessModulesEx(Process, Modules.data(), bytes, &needed, LIST_MODULES_ALL)) break;
        if (needed <= bytes) {
            Modules.resize(needed / sizeof(HMODULE));
            modulesValid_ = true;
            return true;
        }
        Modules.resize(needed / sizeof(HMODULE) + 64);
    }
    Modules.clear();
    return false;
}

TMemoryQuery* TScannedProcess::Memory() {
    if (!memorySelected_) {
        memorySelected_ = true;
        memoryAsked_ = memory_.Select(Process);
    }
    return memoryAsked_ ? &memory_ : nullptr;
}

const std::wstring& TScannedProcess::ExecutablePath() {
    if (pathKnown_) return path_;
    pathKnown_ = true;
    // The executable's full path; when the system will not say, the path of the first module (the
    // executable's image), so that the row still gets a name and an icon.
    path_ = ImagePath(Process, Buffer);
    if (path_.empty() && ListModules() && !Modules.empty()) path_ = ModulePath(Process, Modules[0], Buffer);
    if (path_.empty()) path_ = L"<unbekannt>";
    return path_;
}

const std::vector<size_t>& MatchingTargets(const std::wstring& path, const TTargetSet& targets, TNameQuery& names) {
    static const std::vector<size_t> none;
    std::wstring longPath = LongPathForm(path);
    if (!targets.HasFileNamePart(FileNamePart(longPath))) return none;
    std::wstring candidate = longPath;
    UniqueFile file(::CreateFileW(longPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    if (file) {
        candidate = names.Name(file.get());
        // A file that cannot be named matches nothing.
        if (candidate.empty()) return none;
    }
    return targets.FindTargets(candidate);
}

bool TFirstMatches::LookAt(const std::wstring& path) {
    for (size_t t : MatchingTargets(path, targets_, names_)) {
        if (found_[t]) continue;
        found_[t] = true;
        --left_;
        matches_.push_back({t, path});
    }
    return left_ > 0;
}

void FindModuleMatches(TScannedProcess& p, const TTargetSet& targets, TNameQuery& names,
                       std::vector<TFileMatch>& matches) {
    if (targets.Empty() || !p.ListModules()) return;
    // A process gives at most one module match per target: its first module of that name.
    TFirstMatches first(targets, names, matches);
    // The closer look at one module; false once every target is found.
    auto lookAt = [&](HMODULE module) {
        const std::wstring modulePath = ModulePath(p.Process, module, p.Buffer);
        return modulePath.empty() || first.LookAt(modulePath);
    };
    // Cheap look first: the names of the files mapped at the modules' bases come in one request,
    // where each module path walks the process's whole module list again.
    size_t next = 0;
    if (TMemoryQuery* memory = p.Memory()) {
        const bool answered = memory->MappedFileNames(p.Modules.data(), p.Modules.size(),
                                                      [&](size_t i, std::wstring_view mapped) {
                                                          next = i + 1;
                                                          return FileNameIsNoTarget(mapped, targets) ||
                                                                 lookAt(p.Modules[i]);
                                                      });
        if (answered) return;
    }
    // No answer: the remaining modules are judged by their paths.
    for (; next < p.Modules.size(); ++next)
        if (!lookAt(p.Modules[next])) return;
}

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

bool FileNameIsNoTarget(std::wstring_view path, const TTargetSet& targets) {
    if (path.empty()) return false;
    const std::wstring_view file = FileNamePart(path);
    if (file.find(L'~') != std::wstring_view::npos) return false;
    return !targets.HasFileNamePart(file);
}

std::wstring_view FileNamePart(std::wstring_view path) {
    size_t cut = path.find_last_of(L"\\:");
    return cut == std::wstring_view::npos ? path : path.substr(cut + 1);
}

}  // namespace swt
