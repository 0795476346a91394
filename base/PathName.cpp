#include "base/PathName.h"

#include <windows.h>

#include "base/TextCompare.h"

namespace swt {

std::wstring FileBaseName(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos) name.resize(dot);
    return name;
}

std::wstring FolderOf(const std::wstring& path) {
    const size_t cut = path.find_last_of(L"\\/");
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut);
}

bool IsFolder(const std::wstring& path) {
    const DWORD a = ::GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFile(const std::wstring& path) {
    const DWORD a = ::GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {

constexpr wchar_t kExtendedPrefix[] = L"\\\\?\\";
constexpr size_t kExtendedPrefixLength = 4;

bool StartsWith(const std::wstring& text, const wchar_t* prefix) { return text.rfind(prefix, 0) == 0; }

// The system's answer to a path question that fills a buffer: asked again with the size it
// names, at most a few times (the answer may grow between two calls).
template <typename Query>
std::wstring AskForPath(const std::wstring& path, Query query) {
    std::wstring buf(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD got = query(path.c_str(), static_cast<DWORD>(buf.size()), buf.data());
        if (got == 0) return {};
        if (got < buf.size()) {
            buf.resize(got);
            return buf;
        }
        buf.assign(got, L'\0');
    }
    return {};
}

}  // namespace

bool CreateFolderChain(const std::wstring& folder) {
    // Every prefix that ends before a separator, shortest first, then the whole path. Folders
    // that exist are passed over; a failure shows in the answer at the end.
    const size_t first = StartsWith(folder, kExtendedPrefix) ? kExtendedPrefixLength + 1 : 1;
    for (size_t i = first; i <= folder.size(); ++i) {
        if (i < folder.size() && folder[i] != L'\\' && folder[i] != L'/') continue;
        const std::wstring prefix = folder.substr(0, i);
        if (prefix.back() == L':' || prefix.back() == L'\\' || prefix.back() == L'/') continue;
        if (!IsFolder(prefix)) ::CreateDirectoryW(prefix.c_str(), nullptr);
    }
    return !folder.empty() && IsFolder(folder);
}

std::wstring ExtendedPath(const std::wstring& path) {
    if (path.empty()) return {};
    if (StartsWith(path, kExtendedPrefix)) return path;
    const std::wstring full = AskForPath(path, [](const wchar_t* p, DWORD n, wchar_t* out) {
        return ::GetFullPathNameW(p, n, out, nullptr);
    });
    if (full.size() < 3) return {};
    if (StartsWith(full, L"\\\\.\\")) return full;  // a device stays a device
    if (StartsWith(full, L"\\\\")) return std::wstring(kExtendedPrefix) + L"UNC" + full.substr(1);
    return kExtendedPrefix + full;
}

std::wstring ComparablePath(const std::wstring& path) {
    const std::wstring extended = ExtendedPath(path);
    if (extended.empty()) return UpperText(path);
    // Short names are made long part by part from the front, as far as the parts exist.
    std::wstring known = extended, rest;
    for (int parts = 0; parts < 4096 && known.size() > kExtendedPrefixLength; ++parts) {
        const std::wstring longName = AskForPath(known, [](const wchar_t* p, DWORD n, wchar_t* out) {
            return ::GetLongPathNameW(p, out, n);
        });
        if (!longName.empty()) return UpperText(longName + rest);
        const size_t cut = known.find_last_of(L'\\');
        if (cut == std::wstring::npos || cut < kExtendedPrefixLength) break;
        rest = known.substr(cut) + rest;
        known.resize(cut);
    }
    return UpperText(extended);
}

}  // namespace swt
