// Which job section a run works on, and the lock that lets one updater at a time run it.
#pragma once
#include <string>
#include <vector>

#include "base/UniqueHandle.h"

namespace swt {

struct TJobSection {
    std::wstring BaseKey;  // below HKEY_CURRENT_USER; the job lies in "<BaseKey>\Update\<Section>"
    std::wstring Section;
};

// The section named by the command line: a second argument beginning with "{" names a job of the
// caller header's key, anything else means the default job.
TJobSection JobSectionOf(const std::vector<std::wstring>& args);

// The name of the lock of a job section, in the session's own namespace; the same for every
// spelling of the section that the registry takes as the same key.
std::wstring JobLockName(const TJobSection& job);

// Takes the lock of the job section, held as long as the returned handle lives; an empty handle
// when another updater holds it (or the lock cannot be made): this updater then must not touch
// the job.
UniqueHandleT TakeJobLock(const TJobSection& job);

}  // namespace swt
