// A lock scanner kept from one pass to the next. Between passes most handles in the system are
// the same handles naming the same files, so a steady scan reuses what earlier scans learnt about
// handles that are still there and names only the new ones, while a full scan names every handle.
#pragma once
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "lockscan/LockingProcesses.h"
#include "lockscan/ProcessLockList.h"

namespace swt {

enum class TScanDepth {
    Full,    // every file handle named afresh
    Steady,  // handles known from earlier scans are not named again unless they match a target
};

class TLockScanner {
public:
    TLockScanner() = default;
    TLockScanner(const TLockScanner&) = delete;
    TLockScanner& operator=(const TLockScanner&) = delete;

    // The holders of each path, element i exactly as GetLockingProcessesBatch gives it for a scan
    // that names every handle: none when nobody holds paths[i]. cancel, when given, is read by the
    // scan now and then; once it is set the scan ends early and its result means nothing. Raises
    // like GetLockingProcessesBatch. Not for two threads at once.
    std::vector<std::unique_ptr<TProcessLockList>> Scan(const std::vector<std::wstring>& paths,
                                                        TScanDepth depth = TScanDepth::Steady,
                                                        const std::atomic<bool>* cancel = nullptr,
                                                        const TLockScanOptions& options = {});
};

}  // namespace swt
