// Built into swt_lockscan_seam, which only test programs link.
#include <mutex>

#include "lockscan/ScanSeam.h"

namespace swt {

namespace {

std::mutex g_lock;
std::vector<DWORD> g_pids;

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

}  // namespace swt
