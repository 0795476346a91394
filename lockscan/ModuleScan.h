// The module scan: processes that have the target loaded as their executable or a library.
#pragma once
#include <string>
#include <string_view>

#include "lockscan/NameQuery.h"
#include "lockscan/ProcessLockList.h"

namespace swt {

// Equal when they differ at most in the case of ASCII letters; other letters must match exactly.
bool SameTextAscii(std::wstring_view a, std::wstring_view b);
// The part after the last "\" or ":".
std::wstring_view FileNamePart(std::wstring_view path);

// path with short (8.3) components in their long form, so that it is named like the long path;
// the path unchanged when it has none or cannot be resolved.
std::wstring LongPathForm(const std::wstring& path);

// Adds one entry per process, in process snapshot order, whose loaded modules include the file
// named targetName (device form as the name query gives it, or the path as passed when the target
// could not be opened). FileName is the module's drive-letter path, ProcessPath the full path of
// the process's executable.
void ScanModules(const std::wstring& targetName, TProcessLockList& list, TNameQuery& names);
void ScanModules(const std::wstring& targetName, TProcessLockList& list);

}  // namespace swt
