// A running lockscan_holder fixture: holds files and libraries until the test is done with it.
#pragma once
#include <windows.h>
#include <string>
#include <utility>
#include <vector>

#include "lockscan/ProcessLockList.h"
#include "lockscan/SystemTables.h"
#include "base/UniqueHandle.h"
#include "tests/common/TestSupport.h"

namespace swt::test {

class Holder {
public:
    // Starts the fixture with the given actions and waits (generously) until it is ready. With
    // takesCommands, the holder then opens and closes files when told (Open, Close, Swap).
    explicit Holder(const std::vector<std::wstring>& actions, bool takesCommands = false);
    ~Holder();
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;

    bool ready() const { return ready_; }
    DWORD pid() const { return child_.pid; }

    // A file held through a command: its number among the holder's files and its handle value.
    struct HeldFile {
        size_t Index = 0;
        ULONG_PTR Value = 0;  // 0 when the holder could not open the file
    };
    // access and share as in the open action ("r", "rw", "0", ...).
    HeldFile Open(const std::wstring& access, const std::wstring& share, const std::wstring& path);
    bool Close(size_t index);
    // Closes the file at index, then opens path in its place. The handle values before and after
    // (after: 0 when the open failed).
    std::pair<ULONG_PTR, ULONG_PTR> Swap(size_t index, const std::wstring& access, const std::wstring& share,
                                         const std::wstring& path);

private:
    std::wstring Command(const std::vector<std::wstring>& fields);

    UniqueHandleT readyEvent_;
    UniqueHandleT quitEvent_;
    std::wstring pipe_;
    Child child_;
    bool ready_ = false;
};

// The device-form name of path, made the way the scan makes the names of handles.
std::wstring ScanNameOf(const std::wstring& path);
// path as the updater shows it in a row's hint: the scan's name in its drive-letter form.
std::wstring ShownPathOf(const std::wstring& path);
// Object addresses as Windows gives them, for the file handles of the given processes in a table
// just read (through TGiveHandleObjects): one per file, so that a handle value used again for
// another file comes with another address.
void GiveFileObjects(THandleTable& table, const std::vector<DWORD>& pids);
// A copy of the fixture library under the given full path.
void CopyFixtureDll(const std::wstring& to);
// The entries of the given processes, in list order. Other lock scans running at the same time
// (test programs run in parallel) hold duplicates of the same handles for a moment, so a test
// counts only the processes it controls.
std::vector<const TProcessLockInfo*> EntriesOf(const TProcessLockList* list, const std::vector<DWORD>& pids);
// path compared with ASCII letter case ignored, as the system compares drive-letter paths here.
bool SamePath(const std::wstring& a, const std::wstring& b);

}  // namespace swt::test
