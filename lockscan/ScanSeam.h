// The lock scan's seams for tests: processes the scan passes over as if it could not open
// them (another user's process, a protected service), so that a test can hold a file through a
// holder the scan cannot name; and object addresses in the handle table where the system gives
// none (Wine), so that a test can show what a scan does where they tell a reused handle value.
// Nothing a caller of a program can set (environment, registry, files) reaches them; only a test
// program that links swt_lockscan_seam can install one.
#pragma once
#include <windows.h>
#include <functional>
#include <vector>

namespace swt {

struct THandleTable;

// True while a test hides process pid from the scan; always false in a shipped program.
bool ProcessHiddenFromScan(DWORD pid);

// Lets a test give the entries of a table just read their object addresses; does nothing in a
// shipped program.
void FillHandleObjectsForTest(THandleTable& table);

namespace detail {
using TProcessHiddenFn = bool (*)(DWORD pid);
// Installed by THideFromLockScan only; nullptr: nothing hidden.
void SetProcessHiddenFn(TProcessHiddenFn fn);
using THandleObjectsFn = void (*)(THandleTable& table);
// Installed by TGiveHandleObjects only; nullptr: the table as the system gives it.
void SetHandleObjectsFn(THandleObjectsFn fn);
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

// Test builds only (library swt_lockscan_seam): for its lifetime, every handle table the scan
// reads is handed to fill right after it is read, to set the entries' Object fields.
class TGiveHandleObjects {
public:
    explicit TGiveHandleObjects(std::function<void(THandleTable&)> fill);
    ~TGiveHandleObjects();
    TGiveHandleObjects(const TGiveHandleObjects&) = delete;
    TGiveHandleObjects& operator=(const TGiveHandleObjects&) = delete;
};

}  // namespace swt
