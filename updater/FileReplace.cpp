#include "updater/FileReplace.h"

#include <windows.h>

namespace swt {

std::wstring ReplacementTempName(const std::wstring& dest) { return dest + L".swtnew"; }

bool PutFileInPlace(const std::wstring& source, const std::wstring& dest) {
    if (source.empty() || dest.empty()) return false;
    // A folder that cannot be made is ignored: the copy then fails or succeeds on its own.
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
