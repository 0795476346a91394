// Built into swt_lockscan_seam, which only test programs link.
#include <mutex>

#include "lockscan/ScanSeam.h"
#include "lockscan/SystemTables.h"

namespace swt {

namespace {

// A test's setting behind a lock, with the function the scan calls installed while it is set.
template <typename T, typename Fn>
void Install(std::mutex& lock, T& slot, T value, void (*setFn)(Fn), Fn fn) {
    {
        std::lock_guard<std::mutex> guard(lock);
        slot = std::move(value);
    }
    setFn(fn);
}

template <typename T, typename Fn>
void Uninstall(std::mutex& lock, T& slot, void (*setFn)(Fn)) {
    setFn(nullptr);
    std::lock_guard<std::mutex> guard(lock);
    slot = T{};
}

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
    Install(g_lock, g_pids, std::move(pids), detail::SetProcessHiddenFn, &Hidden);
}

THideFromLockScan::~THideFromLockScan() { Uninstall(g_lock, g_pids, detail::SetProcessHiddenFn); }

TGiveHandleObjects::TGiveHandleObjects(std::function<void(THandleTable&)> fill) {
    Install(g_fillLock, g_fill, std::move(fill), detail::SetHandleObjectsFn, &FillObjects);
}

TGiveHandleObjects::~TGiveHandleObjects() { Uninstall(g_fillLock, g_fill, detail::SetHandleObjectsFn); }

}  // namespace swt
