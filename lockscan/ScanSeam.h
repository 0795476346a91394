// The lock scan's one seam for tests: processes the scan passes over as if it could not open
// them (another user's process, a protected service), so that a test can hold a file through a
// holder the scan cannot name. Nothing a caller of a program can set (environment, registry,
// files) reaches it; only a test program that links swt_lockscan_seam can hide a process.
#pragma once
#include <windows.h>
#include <vector>

namespace swt {

// True while a test hides process pid from the scan; always false in a shipped program.
bool ProcessHiddenFromScan(DWORD pid);

namespace detail {
using TProcessHiddenFn = bool (*)(DWORD pid);
// Installed by THideFromLockScan only; nullptr: nothing hidden.
void SetProcessHiddenFn(TProcessHiddenFn fn);
}  // namespace detail

// Test builds only (library swt_lockscan_seam): for its lifetime, the scan passes over the given
// processes: their handles are not named, their modules and mapped views not listed.
class THideFromLockScan {
public:
    explicit THideFromLockScan(std::vector<DWORD> pids);
    ~THideFromLockScan();
    THideFromLockScan(const THideFromLockScan&) = delete;
    THideFromLockScan& operator=(const THideFromLockScan&) = delete;
};

}  // namespace swt
