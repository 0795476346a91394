#include "terminator/ProcessWatch.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <memory>
#include <new>

namespace swt {

bool IsInToolhelpSnapshot(DWORD processId, bool& answered) {
    answered = false;
    UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return false;
    answered = true;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    if (!::Process32FirstW(snapshot.get(), &entry)) return false;
    do {
        if (entry.th32ProcessID == processId) return true;
    } while (::Process32NextW(snapshot.get(), &entry));
    return false;
}

namespace {
BOOL WINAPI ListProcessIds(DWORD* ids, DWORD bytes, DWORD* bytesReturned) {
    return ::EnumProcesses(ids, bytes, bytesReturned);
}

HANDLE OpenWithoutInherit(DWORD access, DWORD processId) { return ::OpenProcess(access, FALSE, processId); }
}  // namespace

bool IsInEnumProcesses(DWORD processId, ProcessIdLister list) {
    if (!list) list = &ListProcessIds;
    // Room for 4096 ids first. A full buffer may have cut the list short, so it grows and the list
    // is read again, up to 65536 ids. A list still cut short there, or one that cannot be read at
    // all, may hold the process: it counts as running.
    for (DWORD count = 4096; count <= 65536; count *= 4) {
        std::unique_ptr<DWORD[]> ids(new (std::nothrow) DWORD[count]);
        if (!ids) return true;
        const DWORD bytes = count * sizeof(DWORD);
        DWORD returned = 0;
        if (!list(ids.get(), bytes, &returned)) return true;
        returned = std::min(returned, bytes);
        for (DWORD i = 0; i < returned / sizeof(DWORD); ++i)
            if (ids[i] == processId) return true;
        if (returned < bytes) return false;
    }
    return true;
}

bool IsProcessRunning(DWORD processId) {
    bool answered = false;
    const bool found = IsInToolhelpSnapshot(processId, answered);
    return answered ? found : IsInEnumProcesses(processId);
}

TWatchedProcess::TWatchedProcess(DWORD processId, Opener open)
    : id_(processId), open_(open ? open : &OpenWithoutInherit) {
    if (!processId) return;
    handle_.reset(open_(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, processId));
    if (handle_) {
        canTerminate_ = true;
        return;
    }
    // Waiting alone keeps the process named by its handle, even when terminating it is refused.
    handle_.reset(open_(SYNCHRONIZE, processId));
}

bool TWatchedProcess::IsRunning() const {
    if (!handle_) return IsProcessRunning(id_);
    // A handle that cannot be waited on (a failed wait) counts as ended, like an unreadable list.
    return ::WaitForSingleObject(handle_.get(), 0) == WAIT_TIMEOUT;
}

bool TWatchedProcess::Terminate() const {
    if (handle_ && canTerminate_) return ::TerminateProcess(handle_.get(), 0) != FALSE;
    // The id names the watched process only while the waiting handle says it still runs.
    if (handle_ && !IsRunning()) return false;
    UniqueHandleT byId(open_(PROCESS_TERMINATE, id_));
    return byId && ::TerminateProcess(byId.get(), 0) != FALSE;
}

}  // namespace swt
