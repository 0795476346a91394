// A running lockscan_holder fixture: holds files and libraries until the test is done with it.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

#include "lockscan/ProcessLockList.h"
#include "base/UniqueHandle.h"
#include "tests/common/TestSupport.h"

namespace swt::test {

class Holder {
public:
    // Starts the fixture with the given actions and waits (generously) until it is ready.
    explicit Holder(const std::vector<std::wstring>& actions);
    ~Holder();
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;

    bool ready() const { return ready_; }
    DWORD pid() const { return child_.pid; }

private:
    UniqueHandleT readyEvent_;
    UniqueHandleT quitEvent_;
    Child child_;
    bool ready_ = false;
};

// The device-form name of path, made the way the scan makes the names of handles.
std::wstring ScanNameOf(const std::wstring& path);
// A copy of the fixture library under the given full path.
void CopyFixtureDll(const std::wstring& to);
// The entries of the given processes, in list order. Other lock scans running at the same time
// (test programs run in parallel) hold duplicates of the same handles for a moment, so a test
// counts only the processes it controls.
std::vector<const TProcessLockInfo*> EntriesOf(const TProcessLockList* list, const std::vector<DWORD>& pids);
// path compared with ASCII letter case ignored, as the system compares drive-letter paths here.
bool SamePath(const std::wstring& a, const std::wstring& b);

}  // namespace swt::test
