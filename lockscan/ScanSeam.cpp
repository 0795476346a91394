#include "lockscan/ScanSeam.h"

#include <atomic>

namespace swt {

namespace {
std::atomic<detail::TProcessHiddenFn> g_hidden{nullptr};
}  // namespace

bool ProcessHiddenFromScan(DWORD pid) {
    detail::TProcessHiddenFn fn = g_hidden.load();
    return fn && fn(pid);
}

void detail::SetProcessHiddenFn(TProcessHiddenFn fn) { g_hidden = fn; }

}  // namespace swt
