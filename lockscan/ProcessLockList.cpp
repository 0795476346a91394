#include "lockscan/ProcessLockList.h"

namespace swt {

TProcessLockInfo::TProcessLockInfo(TProcessLockList* owner, std::wstring fileName, uint32_t processId,
                                   std::wstring processPath)
    : Owner(owner), FileName(std::move(fileName)), ProcessId(processId), ProcessPath(std::move(processPath)) {}

TProcessLockInfo& TProcessLockInfo::Create(TProcessLockList* owner, std::wstring fileName, uint32_t processId,
                                           std::wstring processPath) {
    std::unique_ptr<TProcessLockInfo> entry(
        new TProcessLockInfo(owner, std::move(fileName), processId, std::move(processPath)));
    TProcessLockInfo& ref = *entry;
    owner->items_.push_back(std::move(entry));
    return ref;
}

}  // namespace swt
