// Parts of a file path.
#pragma once
#include <string>

namespace swt {

// The last part of a path without its extension: "C:\Apps\Tool.exe" -> "Tool".
std::wstring FileBaseName(const std::wstring& path);

// The folder part of path (everything before its last '\' or '/'), empty when there is none.
std::wstring FolderOf(const std::wstring& path);

// Whether path names an existing folder.
bool IsFolder(const std::wstring& path);
// Whether path names an existing file (not a folder).
bool IsFile(const std::wstring& path);

// Creates folder with every missing parent folder ('\' or '/' separators; a trailing one is
// allowed). Prefixes that are no folder of their own ("C:", "\\server") are passed over. Returns
// whether the folder exists afterwards.
bool CreateFolderChain(const std::wstring& folder);

}  // namespace swt
