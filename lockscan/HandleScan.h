// The handle scan: every open file handle of every process whose object name equals the target's.
#pragma once
#include <windows.h>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

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
// One match of a batch scan: owning process, the distinct target name (numbered as in the target
// set) and whether the owner is the own process.
using THandleMatchReport = std::function<void(uint32_t processId, size_t distinct, bool ownProcess)>;
// Every target at once over a table already read, with the caller's name query: each file handle
// is duplicated and named once and looked up among all targets. Reports in table order. Each
// owning process is opened once; handles of the own process are named directly, others through a
// duplicate. Processes hidden through the test seam are passed over.
void ScanHandleTable(const THandleTable& table, const TTargetSet& targets, int32_t fileTypeIndex, TNameQuery& names,
                     const THandleMatchReport& report);
// The one-target form.
void ScanHandleTable(const THandleTable& table, const std::wstring& targetName, int32_t fileTypeIndex,
                     TNameQuery& names, const THandleReport& report);

}  // namespace swt
