// The lock scan of a pass on a thread of its own, so that the update window goes on handling
// messages while the handle table is walked. One scanner is kept for the whole run (a steady scan
// reuses what the earlier ones learnt); one scan runs at a time. A finished scan hands its result
// over under a lock and posts kScanDone to the window it was given; the window hands that message
// to the run (TUpdateRun::ScanArrived), which takes the result on the window's thread.
#pragma once
#include <windows.h>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "base/UniqueHandle.h"
#include "lockscan/LockScanner.h"
#include "lockscan/ProcessLockList.h"

namespace swt {

struct TScanShared;

// What one scan gave: the holders of each path (element i for path i, none when nobody holds it),
// or the error the scan raised.
struct TScanResult {
    std::vector<std::unique_ptr<TProcessLockList>> Locks;
    std::exception_ptr Error;
};

class TScanThread {
public:
    // Posted (wParam and lParam 0) to the window a scan was started for, once its result waits.
    static constexpr UINT kScanDone = WM_APP + 0x5C;
    // How long giving up a scan waits for its thread before leaving it to end on its own.
    static constexpr DWORD kStopWaitMs = 1500;

    TScanThread();
    // Gives up a scan still running (Stop).
    ~TScanThread();
    TScanThread(const TScanThread&) = delete;
    TScanThread& operator=(const TScanThread&) = delete;

    // Starts scanning paths on a new thread; kScanDone goes to window when it is done. False when
    // no thread could be started or the scanner was stopped: nothing is posted then.
    bool Start(HWND window, std::vector<std::wstring> paths);
    // Scans paths on the calling thread with the same scanner (a run without a window). Raises
    // what the scan raises.
    std::vector<std::unique_ptr<TProcessLockList>> ScanHere(const std::vector<std::wstring>& paths);
    // The result of the finished scan, once; an empty result when none waits (taken already, or
    // given up).
    TScanResult Take();
    // Gives up the scan for good: sets its cancel flag, from here on nothing is posted, and waits
    // at most kStopWaitMs for the thread. A thread still running then keeps the state it shares
    // with this object alive on its own and ends when its scan returns; it touches nothing else.
    // Later starts are refused.
    void Stop() noexcept;
    // What the last scan did (the benchmark's figures); read only while no scan runs.
    TLockScanStats LastScan() const;
    // Whether the thread of the last scan still runs (also one left running by Stop).
    bool Running() const;

private:
    std::shared_ptr<TScanShared> shared_;
    UniqueHandleT thread_;
    bool stopped_ = false;
};

}  // namespace swt
