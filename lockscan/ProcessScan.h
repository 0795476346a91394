// The process scan: every process of the snapshot opened once, its modules and its mapped views
// looked at for all targets together.
#pragma once
#include <atomic>
#include <string>
#include <vector>

#include "lockscan/NameQuery.h"
#include "lockscan/ProcessLockList.h"
#include "lockscan/TargetSet.h"

namespace swt {

struct TProcessScanParts {
    bool Modules = true;
    bool MappedViews = true;
};

// For each target t with lists[t] set, appends to lists[t]: one entry per process that has the
// target loaded, in process snapshot order, then one entry per process that has it mapped as a
// view, in the same order. FileName is the file's drive-letter path, ProcessId the process's id,
// ProcessPath the full path of its executable. Processes hidden through the test seam and
// processes that cannot be opened are passed over. cancel, when given and set, is seen between
// processes: the scan then stops and returns false, with what it found so far.
bool ScanProcesses(const TTargetSet& targets, const std::vector<TProcessLockList*>& lists, TNameQuery& names,
                   TProcessScanParts parts = {}, const std::atomic<bool>* cancel = nullptr);

// The module scan for one target name (device form as the name query gives it, or the path as
// passed when the target could not be opened).
void ScanModules(const std::wstring& targetName, TProcessLockList& list, TNameQuery& names);
void ScanModules(const std::wstring& targetName, TProcessLockList& list);

}  // namespace swt
