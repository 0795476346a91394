// Putting a new file into place so that the destination is always the old file or the new one,
// whole, even when the updater is killed in the middle of the copy.
#pragma once
#include <string>

#include "support/base/PathName.h"

namespace swt {

// The name the new file is written under next to dest before it replaces it. Derived from dest
// alone, so a run that was killed mid-copy leaves a file that the next run reuses and replaces.
std::wstring ReplacementTempName(const std::wstring& dest);

// Copies source next to dest under ReplacementTempName(dest) and puts it in place with one
// replacing rename. Where that route is refused (a holder that shares write access but not
// delete, a folder without the right to create files) it falls back to copying over dest, so no
// update that a plain copy would finish has to wait. The temporary file is removed on every
// failure. Returns whether dest now holds the new file; the folder chain of dest is created
// first.
bool PutFileInPlace(const std::wstring& source, const std::wstring& dest);

}  // namespace swt
