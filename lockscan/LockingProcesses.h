// The one entry point of the locked-file detection.
#pragma once
#include <memory>
#include <string>

#include "lockscan/ProcessLockList.h"

namespace swt {

// The processes that hold the file at path: first one entry per open handle, in handle table
// order, then one entry per process that has the file loaded, in process snapshot order.
// Duplicates stay. None when nobody holds the file, the path does not exist or the process table
// is not available. Raises the operating-system error when the file type index cannot be had.
std::unique_ptr<TProcessLockList> GetLockingProcesses(const std::wstring& path);

// The own executable's file name, as handle entries of the own process give it as process path.
std::wstring OwnExecutableFileName();

}  // namespace swt
