#include "base/ProcessIdentity.h"

namespace swt {

HANDLE OpenProcessWithoutInherit(DWORD access, DWORD processId) noexcept {
    return ::OpenProcess(access, FALSE, processId);
}

int64_t FileTimeValue(const FILETIME& t) noexcept {
    return static_cast<int64_t>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

int64_t ProcessCreationTime(HANDLE process) noexcept {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    return FileTimeValue(created);
}

int64_t CreationTimeIfId(HANDLE process, DWORD processId) noexcept {
    if (::GetProcessId(process) != processId) return 0;
    return ProcessCreationTime(process);
}

}  // namespace swt
