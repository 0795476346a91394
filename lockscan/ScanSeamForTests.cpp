// Built into swt_lockscan_seam, which only test programs link.
#include <mutex>

#include "lockscan/ScanSeam.h"
#include "lockscan/SystemTables.h"

namespace swt {

namespace {

std::mutex g_lock;
std::vector<DWORD> g_pids;

std::mutex g_fillLock;
std::function<void(THandleTable&)> g_fill;

void FillObjects(THandleTable& table) {
    std::lock_guard<std::mutex> lock(g_fillLock);
    if (g_fill) g_fill(table);
}

bool Hidden(DWORD pid) {
    std::lock_guard<std::mutex> lock(g_lock);
    for (DWORD p : g_pids)
        if (p == pid) return true;
    return false;
}

}  // namespace

THideFromLockScan::THideFromLockScan(std::vector<DWORD> pids) {
    {
        std::lock_guard<std::mutex> lock(g_lock);
        g_pids = std::move(pids);
    }
    detail::SetProcessHiddenFn(Hidden);
}

THideFromLockScan::~THideFromLockScan() {
    detail::SetProcessHiddenFn(nullptr);
    std::lock_guard<std::mutex> lock(g_lock);
    g_pids.clear();
}

TGiveHandleObjects::TGiveHandleObjects(std::function<void(THandleTable&)> fill) {
    {
        std::lock_guard<std::mutex> lock(g_fillLock);
        g_fill = std::move(fill);
    }
    detail::SetHandleObjectsFn(FillObjects);
}

TGiveHandleObjects::~TGiveHandleObjects() {
    detail::SetHandleObjectsFn(nullptr);
    std::lock_guard<std::mutex> lock(g_fillLock);
    g_fill = nullptr;
}

}  // namespace swt
