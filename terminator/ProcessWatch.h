// Whether the watched process still runs, and its termination.
#pragma once
#include <windows.h>

#include "support/UniqueHandle.h"

namespace swt {

// True when the process id is in the system's process list: the toolhelp snapshot, or EnumProcesses
// when no snapshot can be taken. A list that cannot be read whole counts as "still running": the
// time-out then decides, rather than ending without terminating a process that may well run.
bool IsProcessRunning(DWORD processId);
// The two ways, each on its own.
bool IsInToolhelpSnapshot(DWORD processId, bool& answered);
// EnumProcesses's signature; tests pass their own lists.
using ProcessIdLister = BOOL(WINAPI*)(DWORD* ids, DWORD bytes, DWORD* bytesReturned);
bool IsInEnumProcesses(DWORD processId, ProcessIdLister list = nullptr);

// The process being waited for. A process id alone is not a safe name for a process: once the
// process ends, the system may hand the same id to an unrelated one, which a later check would
// take for the watched process and the time-out would kill. So the process is opened once at the
// start, and the liveness check and the termination go through that handle, which keeps naming
// the same process for as long as it is held. A process that lets us wait on it but not terminate
// it (another user's, an elevated one) is still watched through a handle opened for waiting
// alone; its termination then tries the id, but only while that handle says it still runs. Only
// when it cannot be opened at all does the watch fall back to looking the id up in the process
// list, and terminating by id.
class TWatchedProcess {
public:
    // OpenProcess without the inherit flag; tests pass one that grants fewer rights.
    using Opener = HANDLE (*)(DWORD access, DWORD processId);

    explicit TWatchedProcess(DWORD processId, Opener open = nullptr);

    DWORD id() const noexcept { return id_; }
    bool hasHandle() const noexcept { return static_cast<bool>(handle_); }
    // Whether the held handle may terminate the process as well as wait on it.
    bool canTerminateByHandle() const noexcept { return hasHandle() && canTerminate_; }

    bool IsRunning() const;
    // TerminateProcess with exit code 0; false when it could not be done.
    bool Terminate() const;

private:
    DWORD id_;
    Opener open_;
    UniqueHandleT handle_;
    bool canTerminate_ = false;
};

}  // namespace swt
