#include "terminator/ProcessWatch.h"

#include <psapi.h>

#include <algorithm>
#include <memory>
#include <new>

namespace swt {

namespace {
BOOL WINAPI FirstProcessEntry(HANDLE snapshot, PROCESSENTRY32W* entry) { return ::Process32FirstW(snapshot, entry); }
BOOL WINAPI NextProcessEntry(HANDLE snapshot, PROCESSENTRY32W* entry) { return ::Process32NextW(snapshot, entry); }

BOOL WINAPI ListProcessIds(DWORD* ids, DWORD bytes, DWORD* bytesReturned) {
    return ::EnumProcesses(ids, bytes, bytesReturned);
}

int64_t Now() {
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    return FileTimeValue(now);
}

// OpenProcess answers this when no process has the id (any more).
bool NoSuchProcess(DWORD error) { return error == ERROR_INVALID_PARAMETER; }

constexpr DWORD kWatchRights = SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION;
constexpr DWORD kWaitRights = SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION;
constexpr DWORD kTerminateByIdRights = PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION;
}  // namespace

bool IsInToolhelpSnapshot(DWORD processId, bool& answered, const TProcessLists& lists) {
    answered = false;
    const ProcessEntryReader first = lists.first ? lists.first : &FirstProcessEntry;
    const ProcessEntryReader next = lists.next ? lists.next : &NextProcessEntry;
    UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return false;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    // Not even the first entry: the list was not read, whatever it holds.
    if (!first(snapshot.get(), &entry)) return false;
    do {
        if (entry.th32ProcessID == processId) {
            answered = true;
            return true;
        }
    } while (next(snapshot.get(), &entry));
    // Only the end of the list says the process is not in it.
    answered = ::GetLastError() == ERROR_NO_MORE_FILES;
    return false;
}

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

bool IsProcessRunning(DWORD processId, const TProcessLists& lists) {
    bool answered = false;
    const bool found = IsInToolhelpSnapshot(processId, answered, lists);
    return answered ? found : IsInEnumProcesses(processId, lists.enumProcesses);
}

int64_t OwnStartTime() {
    const int64_t started = ProcessCreationTime(::GetCurrentProcess());
    return started ? started : Now();
}

TWatchedProcess::TWatchedProcess(DWORD processId, Opener open, int64_t startedAt)
    : id_(processId), open_(open ? open : &OpenProcessWithoutInherit), startedAt_(startedAt ? startedAt : Now()) {
    if (!processId) {
        ended_ = true;
        return;
    }
    // All rights first; waiting alone keeps the process named by its handle, even when
    // terminating it is refused.
    for (const DWORD rights : {kWatchRights, kWaitRights}) {
        UniqueHandleT opened(open_(rights, processId));
        if (!opened) {
            if (NoSuchProcess(::GetLastError())) {
                ended_ = true;
                return;
            }
            continue;
        }
        if (!IsTheProcessMeant(opened.get())) {
            // The id names no process of its own (the system opened the one its lowest bits
            // were dropped to), or one that began after us: the process meant has ended.
            ended_ = true;
            return;
        }
        handle_ = std::move(opened);
        canTerminate_ = rights == kWatchRights;
        return;
    }
}

bool TWatchedProcess::IsTheProcessMeant(HANDLE handle) const {
    // A process whose start cannot be read is not taken for the one meant.
    const int64_t created = CreationTimeIfId(handle, id_);
    return created != 0 && created <= startedAt_;
}

bool TWatchedProcess::IsRunning() const {
    if (ended_) return false;
    if (!handle_) return IsProcessRunning(id_);
    // A held handle that cannot be waited on (a wait that fails) counts as ended.
    return ::WaitForSingleObject(handle_.get(), 0) == WAIT_TIMEOUT;
}

bool TWatchedProcess::Terminate() const {
    if (ended_) return false;
    if (handle_ && canTerminate_) return ::TerminateProcess(handle_.get(), 0) != FALSE;
    // The id names the watched process only while the waiting handle says it still runs.
    if (handle_ && !IsRunning()) return false;
    // By id, the process opened must still be the one meant: the exact id, begun before us.
    UniqueHandleT byId(open_(kTerminateByIdRights, id_));
    return byId && IsTheProcessMeant(byId.get()) && ::TerminateProcess(byId.get(), 0) != FALSE;
}

}  // namespace swt
