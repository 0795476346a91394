// The mapped-view scan: targets a process has mapped into its memory as data. Such a view blocks
// a copy onto the file (error 1224) even after the process has closed its file and section
// handles, when neither the handle scan nor the module scan can see it.
#pragma once
#include <vector>

#include "lockscan/DevicePaths.h"
#include "lockscan/MemoryQuery.h"
#include "lockscan/ModuleScan.h"
#include "lockscan/NameQuery.h"
#include "lockscan/TargetSet.h"

namespace swt {

// Walks the process's address space on the memory worker (TMemoryQuery), which names each mapped
// allocation once, and appends one match per target that some view is, for its first such view;
// FileName is the file's drive-letter path. Images (loaded modules) are the module scan's. The
// walk ends at the top of the address space, when the system stops answering, when an answer would
// not move it forward, or when the process does not answer in time (nothing more of it is found).
void FindMappedViewMatches(TScannedProcess& process, const TTargetSet& targets, TNameQuery& names,
                           const TDevicePaths& devices, std::vector<TFileMatch>& matches);

// The walk with its counters, for the benchmark.
TMemoryWalk WalkMappedViews(TScannedProcess& process, const TTargetSet& targets, TNameQuery& names,
                            const TDevicePaths& devices, std::vector<TFileMatch>& matches);

}  // namespace swt
