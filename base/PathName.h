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
// allowed). Prefixes that are no folder of their own ("C:", "\\server", "\\?\C:") are passed
// over. Returns whether the folder exists afterwards.
bool CreateFolderChain(const std::wstring& folder);

// The full path of path in the form "\\?\C:\..." ("\\?\UNC\server\share\..." for a share), so
// that copying, renaming, deleting and creating folders work past 260 characters; '/', "." and
// ".." are resolved first, a relative path is taken from the current folder. A path already in
// that form stays as it is. Empty when path is empty or the system cannot make it full.
std::wstring ExtendedPath(const std::wstring& path);

// path in one spelling for comparing paths: full, long names for short ones where the file or
// its folders exist, upper case. Two spellings of one existing file give the same text.
std::wstring ComparablePath(const std::wstring& path);

}  // namespace swt
