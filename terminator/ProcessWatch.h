// Whether the watched process still runs, and its termination.
#pragma once
#include <windows.h>
#include <tlhelp32.h>

#include <cstdint>

#include "base/ProcessIdentity.h"
#include "base/UniqueHandle.h"

namespace swt {

// Process32FirstW's and Process32NextW's signature; tests pass readers that fail.
using ProcessEntryReader = BOOL(WINAPI*)(HANDLE snapshot, PROCESSENTRY32W* entry);
// EnumProcesses's signature; tests pass their own lists.
using ProcessIdLister = BOOL(WINAPI*)(DWORD* ids, DWORD bytes, DWORD* bytesReturned);

// Where the liveness check reads the process list; a null member means the system's own call.
struct TProcessLists {
    ProcessEntryReader first = nullptr;
    ProcessEntryReader next = nullptr;
    ProcessIdLister enumProcesses = nullptr;
};

// True when the process id is in the system's process list: the toolhelp snapshot, or EnumProcesses
// when the snapshot cannot be read whole. A list that cannot be read whole counts as "still
// running": the time-out then decides, rather than ending without terminating a process that may
// well run.
bool IsProcessRunning(DWORD processId, const TProcessLists& lists = {});
// The two ways, each on its own. The snapshot answers only when it was taken and read to its end
// (answered); a first or later entry that cannot be read leaves the question open.
bool IsInToolhelpSnapshot(DWORD processId, bool& answered, const TProcessLists& lists = {});
bool IsInEnumProcesses(DWORD processId, ProcessIdLister list = nullptr);

// This program's own start, the moment before which the process it is told about must have begun.
int64_t OwnStartTime();

// The process being waited for. A process id alone is not a safe name for a process: the system
// ignores its two lowest bits when opening (id 1235 opens process 1232), and once a process ends
// the system may hand its id to an unrelated one, which a later check would take for the watched
// process and the time-out would kill. So the process is opened once at the start, and the
// liveness check and the termination go through that handle, which keeps naming the same process
// for as long as it is held. A handle is taken only when the process it opens has exactly the
// given id and began before this program did (a process created later cannot be the one the
// caller meant); otherwise, and when the system says there is no such process, the process counts
// as ended. A process that lets us wait on it but not terminate it (another user's, an elevated
// one) is still watched through a handle opened for waiting alone; its termination then tries the
// id, but only while that handle says it still runs. Only when it cannot be opened at all does the
// watch fall back to looking the id up in the process list, and terminating by id, where the same
// checks of id and creation time apply to the process the id opens.
class TWatchedProcess {
public:
    // OpenProcess without the inherit flag; tests pass one that grants fewer rights.
    using Opener = ProcessOpener;

    // startedAt: the moment (FILETIME units) before which the process must have been created; 0
    // means the moment of this construction. The program passes OwnStartTime().
    explicit TWatchedProcess(DWORD processId, Opener open = nullptr, int64_t startedAt = 0);

    DWORD id() const noexcept { return id_; }
    bool hasHandle() const noexcept { return static_cast<bool>(handle_); }
    // Whether the held handle may terminate the process as well as wait on it.
    bool canTerminateByHandle() const noexcept { return hasHandle() && canTerminate_; }

    bool IsRunning() const;
    // TerminateProcess with exit code 0; false when it could not be done.
    bool Terminate() const;

private:
    // Whether handle opens the process meant: exactly this id, created no later than startedAt_.
    bool IsTheProcessMeant(HANDLE handle) const;

    DWORD id_;
    Opener open_;
    int64_t startedAt_;
    UniqueHandleT handle_;
    bool canTerminate_ = false;
    // The system said there is no such process, or the id opened another one: nothing to watch.
    bool ended_ = false;
};

}  // namespace swt
