#include "support/base/PathName.h"

#include <windows.h>

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

bool CreateFolderChain(const std::wstring& folder) {
    // Every prefix that ends before a separator, shortest first, then the whole path. Folders
    // that exist are passed over; a failure shows in the answer at the end.
    for (size_t i = 1; i <= folder.size(); ++i) {
        if (i < folder.size() && folder[i] != L'\\' && folder[i] != L'/') continue;
        const std::wstring prefix = folder.substr(0, i);
        if (prefix.back() == L':' || prefix.back() == L'\\' || prefix.back() == L'/') continue;
        if (!IsFolder(prefix)) ::CreateDirectoryW(prefix.c_str(), nullptr);
    }
    return !folder.empty() && IsFolder(folder);
}

}  // namespace swt
