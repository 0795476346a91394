#include "lockscan/SystemTables.h"

#include <cstring>

#include "lockscan/ScanSeam.h"

namespace swt {

namespace {

// SYSTEM_HANDLE_TABLE_ENTRY_INFO_EX (class 64).
struct RawHandleEntryEx {
    PVOID Object;
    ULONG_PTR UniqueProcessId;
    ULONG_PTR HandleValue;
    ULONG GrantedAccess;
    USHORT CreatorBackTraceIndex;
    USHORT ObjectTypeIndex;
    ULONG HandleAttributes;
    ULONG Reserved;
};
struct RawHandleInformationEx {
    ULONG_PTR NumberOfHandles;
    ULONG_PTR Reserved;
    RawHandleEntryEx Handles[1];
};
// SYSTEM_HANDLE_TABLE_ENTRY_INFO (class 16).
struct RawHandleEntry {
    USHORT UniqueProcessId;
    USHORT CreatorBackTraceIndex;
    UCHAR ObjectTypeIndex;
    UCHAR HandleAttributes;
    USHORT HandleValue;
    PVOID Object;
    ULONG GrantedAccess;
};
struct RawHandleInformation {
    ULONG NumberOfHandles;
    RawHandleEntry Handles[1];
};
// The leading part of SYSTEM_PROCESS_INFORMATION (class 5).
struct RawProcessInformation {
    ULONG NextEntryOffset;
    ULONG NumberOfThreads;
    LARGE_INTEGER Reserved[3];
    LARGE_INTEGER CreateTime;
    LARGE_INTEGER UserTime;
    LARGE_INTEGER KernelTime;
    RawUnicodeString ImageName;
    LONG BasePriority;
    HANDLE UniqueProcessId;
    HANDLE InheritedFromUniqueProcessId;
};

#ifdef _WIN64
static_assert(sizeof(RawHandleEntryEx) == 40 && offsetof(RawHandleInformationEx, Handles) == 16);
static_assert(sizeof(RawHandleEntry) == 24 && offsetof(RawHandleInformation, Handles) == 8);
static_assert(offsetof(RawProcessInformation, ImageName) == 56 && offsetof(RawProcessInformation, UniqueProcessId) == 80);
#endif

// The entries of a handle table block of either layout, cut to what the block really holds.
template <typename Header, typename Entry>
void AppendEntries(const SystemInfoBuffer& b, THandleTable& table) {
    using Count = decltype(Header::NumberOfHandles);
    if (b.size() < sizeof(Count)) return;
    const auto* info = reinterpret_cast<const Header*>(b.data());
    const size_t first = offsetof(Header, Handles);
    if (b.size() < first) return;
    const size_t fit = (b.size() - first) / sizeof(Entry);
    const size_t n = static_cast<size_t>(info->NumberOfHandles) < fit ? static_cast<size_t>(info->NumberOfHandles) : fit;
    table.Entries.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        const Entry& e = info->Handles[i];
        table.Entries.push_back({e.UniqueProcessId, e.HandleValue, e.ObjectTypeIndex, reinterpret_cast<ULONG_PTR>(e.Object),
                                 e.GrantedAccess});
    }
}

}  // namespace

THandleTable ParseHandleTable(const SystemInfoBuffer& buffer, bool extended) {
    THandleTable table;
    table.Extended = extended;
    if (extended)
        AppendEntries<RawHandleInformationEx, RawHandleEntryEx>(buffer, table);
    else
        AppendEntries<RawHandleInformation, RawHandleEntry>(buffer, table);
    return table;
}

namespace {

THandleTable Parsed(const SystemInfoBuffer& buffer, bool extended) {
    THandleTable table = ParseHandleTable(buffer, extended);
    FillHandleObjectsForTest(table);
    return table;
}

}  // namespace

std::optional<THandleTable> ReadHandleTable(bool allowExtended) {
    if (allowExtended) {
        NTSTATUS_T status = kStatusSuccess;
        auto buffer = QuerySystemInformationBuffer(kSystemExtendedHandleInformation, &status);
        if (buffer) return Parsed(*buffer, true);
        // Only a system that does not know the extended table is asked for the narrow one; a table
        // too big for the cap is not available in either form.
        if (status == kStatusNoMemory) return std::nullopt;
    }
    auto buffer = QuerySystemInformationBuffer(kSystemHandleInformation);
    if (!buffer) return std::nullopt;
    return Parsed(*buffer, false);
}

std::vector<TProcessRecord> ParseProcessTable(const SystemInfoBuffer& buffer) {
    std::vector<TProcessRecord> records;
    const std::byte* base = buffer.data();
    const std::byte* end = base + buffer.size();
    size_t offset = 0;
    while (offset + sizeof(RawProcessInformation) <= buffer.size()) {
        const auto* p = reinterpret_cast<const RawProcessInformation*>(base + offset);
        TProcessRecord rec{reinterpret_cast<ULONG_PTR>(p->UniqueProcessId), {}, p->CreateTime.QuadPart};
        const auto* name = reinterpret_cast<const std::byte*>(p->ImageName.Buffer);
        size_t chars = p->ImageName.Length / sizeof(WCHAR);
        if (name && name >= base && name + chars * sizeof(WCHAR) <= end) {
            rec.ImageName.assign(p->ImageName.Buffer, chars);
            size_t zero = rec.ImageName.find(L'\0');
            if (zero != std::wstring::npos) rec.ImageName.resize(zero);
        }
        records.push_back(std::move(rec));
        if (p->NextEntryOffset == 0) break;
        offset += p->NextEntryOffset;
    }
    return records;
}

std::optional<std::vector<TProcessRecord>> ReadProcessTable() {
    auto buffer = QuerySystemInformationBuffer(kSystemProcessInformation);
    if (!buffer) return std::nullopt;
    return ParseProcessTable(*buffer);
}

}  // namespace swt
