// The handle scan: every open file handle of every process whose object name equals the target's.
#pragma once
#include <windows.h>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "lockscan/NameQuery.h"
#include "lockscan/SystemTables.h"
#include "lockscan/TargetSet.h"

namespace swt {

// One match: owning process, the handle's name, and whether the owner is the own process.
using THandleReport = std::function<void(uint32_t processId, const std::wstring& name, bool ownProcess)>;

// The object type index that the running system gives to file objects, found through an open
// handle on the NUL device; -1 when that handle is not in the table. Raises the operating-system
// error when the device cannot be opened or the table cannot be read.
int32_t GetFileObjectTypeIndex();

// The table read once together with the file type index (the NUL device is open while the table
// is read). Raises like GetFileObjectTypeIndex.
struct TFileHandleTable {
    THandleTable Table;
    int32_t FileTypeIndex = -1;
};
TFileHandleTable ReadFileHandleTable(bool allowExtended = true);
// The type index of nulHandle of the own process in table, or -1.
int32_t FindFileTypeIndex(const THandleTable& table, HANDLE nulHandle);

// Reads the handle table and reports, in table order, each file handle named targetName without
// regard to letter case, as Windows compares file names. Reports nothing when the table cannot be
// read or the type index is -1.
void ScanHandles(const std::wstring& targetName, int32_t fileTypeIndex, const THandleReport& report);
// What a walk over a table does with each entry, and what it learnt (one value per entry).
// Going in, kNameIt marks the entries to name; the others are left as they are. Coming out, a
// named entry holds the distinct target its name equals (>= 0), -1 when it equals none, or
// kUnnamed (see TNameQuery::Match); an entry that is no file handle, belongs to a process hidden
// through the test seam, or whose owner could not be opened or handle not duplicated holds
// kPassedOver (hidden and non-file entries whatever they held going in).
constexpr int32_t kNameIt = -3;
constexpr int32_t kPassedOver = -4;
// Names the marked file handles of table, each looked up among all targets. The own process's
// handles are named first, directly; every other owner is opened once, its handles duplicated and
// named in batches. cancel, when given and set, is seen between batches: the walk then stops and
// returns false, with the entries it did not reach left as they were.
bool NameHandleTable(const THandleTable& table, const TTargetSet& targets, int32_t fileTypeIndex, TNameQuery& names,
                     std::vector<int32_t>& outcome, const std::atomic<bool>* cancel = nullptr);
// One match of a batch scan: owning process, the distinct target name (numbered as in the target
// set) and whether the owner is the own process.
using THandleMatchReport = std::function<void(uint32_t processId, size_t distinct, bool ownProcess)>;
// Every target at once over a table already read, with the caller's name query: NameHandleTable
// over every entry, then the matches reported in table order.
void ScanHandleTable(const THandleTable& table, const TTargetSet& targets, int32_t fileTypeIndex, TNameQuery& names,
                     const THandleMatchReport& report);
// The one-target form.
void ScanHandleTable(const THandleTable& table, const std::wstring& targetName, int32_t fileTypeIndex,
                     TNameQuery& names, const THandleReport& report);

}  // namespace swt
