// The entry points of the locked-file detection.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "lockscan/ProcessLockList.h"

namespace swt {

// What a scan looks at beyond the handle table (the benchmark compares the variants).
struct TLockScanOptions {
    bool MappedViews = true;
};

// The processes that hold the file at path: first one entry per open handle, in handle table
// order, then one entry per process that has the file loaded, in process snapshot order, then
// one entry per process that has it mapped as a view, in the same order. Duplicates stay. None
// when nobody holds the file, the path does not exist or the process table is not available.
// Raises the operating-system error when the file type index cannot be had.
std::unique_ptr<TProcessLockList> GetLockingProcesses(const std::wstring& path, const TLockScanOptions& options = {});

// The same for many files in one walk: the handle table is read once, each file handle named
// once, each process opened once. Element i is exactly what GetLockingProcesses(paths[i]) gives
// (same entries, same order, same duplicates), or none. Raises like GetLockingProcesses.
std::vector<std::unique_ptr<TProcessLockList>> GetLockingProcessesBatch(const std::vector<std::wstring>& paths,
                                                                        const TLockScanOptions& options = {});

// The own executable's file name, as handle entries of the own process give it as process path.
std::wstring OwnExecutableFileName();

}  // namespace swt
