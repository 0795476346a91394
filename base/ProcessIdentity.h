// One process named beyond its id. The system ignores the two lowest bits of an id when it opens a
// process (id 1235 opens process 1232), and once a process has ended it may give the id to an
// unrelated one; the exact id together with the moment the process was created names one process.
#pragma once
#include <windows.h>
#include <cstdint>

namespace swt {

// OpenProcess's shape, without the inherit flag; tests pass openers that refuse rights.
using ProcessOpener = HANDLE (*)(DWORD access, DWORD processId);
HANDLE OpenProcessWithoutInherit(DWORD access, DWORD processId) noexcept;

// A FILETIME as one number (100 ns units since 1601).
int64_t FileTimeValue(const FILETIME& t) noexcept;
// Creation time of a process (FILETIME units); 0 when it cannot be read.
int64_t ProcessCreationTime(HANDLE process) noexcept;
// The creation time of the process `process` opens, when that process has exactly the id
// processId; 0 when it has another id or its creation time cannot be read.
int64_t CreationTimeIfId(HANDLE process, DWORD processId) noexcept;

}  // namespace swt
