// Putting a new file into place so that the destination is always the old file or the new one,
// whole: when the updater is killed in the middle of the copy, when the disk fills up, when the
// source and the destination are one file, and when the destination is the updater's own
// executable.
#pragma once
#include <windows.h>
#include <string>

#include "base/PathName.h"

namespace swt {

// The name the new file is written under next to dest before it replaces it. Derived from dest
// alone, so a run that was killed mid-copy leaves a file that the next run reuses and replaces.
std::wstring ReplacementTempName(const std::wstring& dest);

// Whether both paths name existing files (or folders) and these are one and the same: the same
// volume and file index, however the paths are spelled (letter case, '/', "." and "..", short
// names, links).
bool SameFile(const std::wstring& a, const std::wstring& b);

enum class TPlaceOutcome {
    Placed,          // dest now holds a copy of source
    AlreadyInPlace,  // source and dest are one file: nothing was written
    Held,            // a process holds dest in a way that keeps the new file out; dest is as it was
    Failed,          // anything else (disk full, no access, a folder at dest, no source); dest is as it was
};

struct TPlaceResult {
    TPlaceOutcome Outcome = TPlaceOutcome::Failed;
    // Held and Failed: the system's error code.
    DWORD Error = 0;
    // dest holds the new file.
    bool Done() const { return Outcome == TPlaceOutcome::Placed || Outcome == TPlaceOutcome::AlreadyInPlace; }
};

// Copies source next to dest under ReplacementTempName(dest) and puts it in place with one
// replacing rename; long paths are used in their "\\?\" form. When the rename alone is refused:
// - dest is this program's own running executable: it is renamed aside (SetAsideName), the new
//   file takes its name, and the old one is removed at the next run or the next restart of the
//   system; when the new file cannot take the name the old one is put back;
// - every holder of dest shares write access: the new file is copied over dest.
// Nothing else ever writes to dest: a temporary copy that fails (disk full, no access) leaves
// dest untouched. The temporary file is removed on every failure; the folder chain of dest is
// created first. The source is never touched.
TPlaceResult PutFileInPlace(const std::wstring& source, const std::wstring& dest);

// The name the running executable exe is renamed to when it is replaced: "<exe>.swtold".
std::wstring SetAsideName(const std::wstring& exe);
// Removes what an earlier run set aside of the executable exe ("<exe>.swtold" and
// "<exe>.<n>.swtold"); files still in use stay for a later run.
void RemoveSetAsideFiles(const std::wstring& exe);
// The full path of this program's executable.
std::wstring OwnExecutablePath();

}  // namespace swt
