#include "lockscan/MappedViewScan.h"

namespace swt {

namespace {

// Far more regions than any process has; a walk past it has stopped making sense.
constexpr size_t kRegionLimit = 1 << 20;

}  // namespace

TMemoryWalk WalkMappedViews(TScannedProcess& p, const TTargetSet& targets, TNameQuery& names,
                            const TDevicePaths& devices, std::vector<TFileMatch>& matches) {
    if (targets.Empty()) return {};
    TMemoryQuery* memory = p.Memory();
    if (!memory) return {.Answered = false};
    TFirstMatches first(targets, names, matches);
    return memory->WalkMappedAllocations(kRegionLimit, [&](const TMappedAllocation& view) {
        // No file behind it (shared memory), or, the cheap look, a file no target is named like:
        // only a view of a file named like a target is looked at closer.
        if (view.Name.empty() || FileNameIsNoTarget(view.Name, targets)) return true;
        return first.LookAt(devices.DrivePath(view.Name));
    });
}

void FindMappedViewMatches(TScannedProcess& process, const TTargetSet& targets, TNameQuery& names,
                           const TDevicePaths& devices, std::vector<TFileMatch>& matches) {
    WalkMappedViews(process, targets, names, devices, matches);
}

}  // namespace swt
