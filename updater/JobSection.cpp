#include "updater/JobSection.h"

#include <windows.h>

#include <cstdint>
#include <cwchar>

#include "base/TextCompare.h"

namespace swt {

TJobSection JobSectionOf(const std::vector<std::wstring>& args) {
    const std::wstring arg2 = args.size() > 2 ? args[2] : std::wstring();
    if (!arg2.empty() && arg2[0] == L'{') return {L"Software\\Veltra Software", arg2};
    return {L"Software\\Osterm GmbH", L"Selvane"};
}

std::wstring JobLockName(const TJobSection& job) {
    // Registry key names compare without regard to letter case; a hash keeps the name short and
    // free of the backslashes a kernel object name may not hold.
    const std::wstring key = UpperText(job.BaseKey + L"\\Update\\" + job.Section);
    uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (wchar_t c : key) {
        hash ^= static_cast<uint16_t>(c);
        hash *= 1099511628211ull;
    }
    wchar_t text[17];
    std::swprintf(text, 17, L"%016llX", static_cast<unsigned long long>(hash));
    return L"Local\\Swaptide2.Job." + std::wstring(text);
}

UniqueHandleT TakeJobLock(const TJobSection& job) {
    UniqueHandleT lock(::CreateMutexW(nullptr, FALSE, JobLockName(job).c_str()));
    if (lock && ::GetLastError() == ERROR_ALREADY_EXISTS) lock.reset();
    return lock;
}

}  // namespace swt
