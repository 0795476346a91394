// Whether the watched process still runs, and its termination.
#pragma once
#include <windows.h>

#include "support/UniqueHandle.h"

namespace swt {

// True when the process id is in the system's process list: the toolhelp snapshot, or EnumProcesses
// when no snapshot can be taken. A list that cannot be read counts as "not running".
bool IsProcessRunning(DWORD processId);
// The two ways, each on its own.
bool IsInToolhelpSnapshot(DWORD processId, bool& answered);
bool IsInEnumProcesses(DWORD processId);

// The process being waited for. A process id alone is not a safe name for a process: once the
// process ends, the system may hand the same id to an unrelated one, which a later check would
// take for the watched process and the time-out would kill. So the process is opened once at the
// start, and the liveness check and the termination go through that handle, which keeps naming
// the same process for as long as it is held. Only when it cannot be opened does the watch fall
// back to looking the id up in the process list, and terminating by id.
class TWatchedProcess {
public:
    explicit TWatchedProcess(DWORD processId);

    DWORD id() const noexcept { return id_; }
    bool hasHandle() const noexcept { return static_cast<bool>(handle_); }

    bool IsRunning() const;
    // TerminateProcess with exit code 0; false when it could not be done.
    bool Terminate() const;

private:
    DWORD id_;
    UniqueHandleT handle_;
};

}  // namespace swt
