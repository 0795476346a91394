// The system handle table and the process table, read through the ntdll seam and turned into
// value records at once.
#pragma once
#include <windows.h>
#include <optional>
#include <string>
#include <vector>

#include "lockscan/NtApi.h"

namespace swt {

// One open handle of some process.
struct THandleEntry {
    ULONG_PTR ProcessId;
    ULONG_PTR HandleValue;  // valid in the owning process
    USHORT ObjectTypeIndex;
    // The kernel object's address: another file behind a reused handle value has another one.
    // 0 where the system does not give it (Wine gives 0 in every entry).
    ULONG_PTR Object = 0;
    ULONG GrantedAccess = 0;
};

struct THandleTable {
    std::vector<THandleEntry> Entries;
    // True when read with full-width fields; false for the older table whose process ids,
    // handle values and type indexes are cut to 16, 16 and 8 bits.
    bool Extended = true;
};

// Reads the extended table (class 64) and falls back to the older one (class 16) only when the
// system refuses class 64. None when no table can be had (last error set); allowExtended false
// reads class 16 directly.
std::optional<THandleTable> ReadHandleTable(bool allowExtended = true);
// The raw answer of class 64 (extended) or class 16 as records; entries beyond the block are dropped.
THandleTable ParseHandleTable(const SystemInfoBuffer& buffer, bool extended);

// One record of the process table.
struct TProcessRecord {
    ULONG_PTR ProcessId;
    std::wstring ImageName;  // as the table gives it: the executable's file name, empty for the idle process
    // When the process started (100 ns units): tells a process from a later one under the same id.
    LONGLONG CreateTime = 0;
};

// The chain of process records (class 5) in table order, the last record included. A record
// whose offset leaves the block ends the chain.
std::vector<TProcessRecord> ParseProcessTable(const SystemInfoBuffer& buffer);
std::optional<std::vector<TProcessRecord>> ReadProcessTable();

}  // namespace swt
