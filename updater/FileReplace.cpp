#include "updater/FileReplace.h"

#include <windows.h>

namespace swt {

std::wstring ReplacementTempName(const std::wstring& dest) { return dest + L".swtnew"; }

std::wstring FolderOf(const std::wstring& path) {
    size_t cut = path.find_last_of(L"\\/");
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut);
}

void CreateFolderChain(const std::wstring& folder) {
    // Every prefix that ends before a separator, shortest first. Prefixes that are no folder of
    // their own ("C:", "\\server", "\\?") fail harmlessly, as do folders that exist.
    for (size_t i = 1; i <= folder.size(); ++i) {
        if (i < folder.size() && folder[i] != L'\\' && folder[i] != L'/') continue;
        std::wstring prefix = folder.substr(0, i);
        if (prefix.back() == L':' || prefix.back() == L'\\' || prefix.back() == L'/') continue;
        DWORD attr = ::GetFileAttributesW(prefix.c_str());
        if (attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY)) continue;
        ::CreateDirectoryW(prefix.c_str(), nullptr);
    }
}

bool PutFileInPlace(const std::wstring& source, const std::wstring& dest) {
    if (source.empty() || dest.empty()) return false;
    CreateFolderChain(FolderOf(dest));
    const std::wstring temp = ReplacementTempName(dest);
    // A leftover of a killed run may carry the read-only flag of its source: clear it first.
    ::SetFileAttributesW(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (::CopyFileW(source.c_str(), temp.c_str(), FALSE)) {
        if (::MoveFileExW(temp.c_str(), dest.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    }
    ::SetFileAttributesW(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(temp.c_str());
    // The rename was refused: a plain copy over the destination, as a holder that shares write
    // access allows.
    return ::CopyFileW(source.c_str(), dest.c_str(), FALSE) != FALSE;
}

}  // namespace swt
