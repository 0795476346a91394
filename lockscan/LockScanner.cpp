#include "lockscan/LockScanner.h"

namespace swt {

std::vector<std::unique_ptr<TProcessLockList>> TLockScanner::Scan(const std::vector<std::wstring>& paths,
                                                                   TScanDepth, const std::atomic<bool>*,
                                                                   const TLockScanOptions& options) {
    return GetLockingProcessesBatch(paths, options);
}

}  // namespace swt
