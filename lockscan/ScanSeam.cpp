#include "lockscan/ScanSeam.h"

#include <atomic>

namespace swt {

namespace {
std::atomic<detail::TProcessHiddenFn> g_hidden{nullptr};
std::atomic<detail::THandleObjectsFn> g_objects{nullptr};
}  // namespace

bool ProcessHiddenFromScan(DWORD pid) {
    detail::TProcessHiddenFn fn = g_hidden.load();
    return fn && fn(pid);
}

void detail::SetProcessHiddenFn(TProcessHiddenFn fn) { g_hidden = fn; }

void FillHandleObjectsForTest(THandleTable& table) {
    if (detail::THandleObjectsFn fn = g_objects.load()) fn(table);
}

void detail::SetHandleObjectsFn(THandleObjectsFn fn) { g_objects = fn; }

}  // namespace swt
