#include "terminator/ProcessWatch.h"

#include <psapi.h>
#include <tlhelp32.h>

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

bool IsInEnumProcesses(DWORD processId) {
    // Room for 4096 ids first. A full buffer may have cut the list short, so it grows and the list
    // is read again, up to 65536 ids.
    for (DWORD count = 4096; count <= 65536; count *= 4) {
        std::unique_ptr<DWORD[]> ids(new (std::nothrow) DWORD[count]);
        if (!ids) return false;
        const DWORD bytes = count * sizeof(DWORD);
        DWORD returned = 0;
        if (!::EnumProcesses(ids.get(), bytes, &returned)) return false;
        for (DWORD i = 0; i < returned / sizeof(DWORD); ++i)
            if (ids[i] == processId) return true;
        if (returned < bytes) return false;
    }
    return false;
}

bool IsProcessRunning(DWORD processId) {
    bool answered = false;
    const bool found = IsInToolhelpSnapshot(processId, answered);
    return answered ? found : IsInEnumProcesses(processId);
}

TWatchedProcess::TWatchedProcess(DWORD processId)
    : id_(processId),
      handle_(processId ? ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                        processId)
                        : nullptr) {}

bool TWatchedProcess::IsRunning() const {
    if (!handle_) return IsProcessRunning(id_);
    // A handle that cannot be waited on (a failed wait) counts as ended, like an unreadable list.
    return ::WaitForSingleObject(handle_.get(), 0) == WAIT_TIMEOUT;
}

bool TWatchedProcess::Terminate() const {
    if (handle_) return ::TerminateProcess(handle_.get(), 0) != FALSE;
    UniqueHandleT byId(::OpenProcess(PROCESS_TERMINATE, FALSE, id_));
    return byId && ::TerminateProcess(byId.get(), 0) != FALSE;
}

}  // namespace swt
