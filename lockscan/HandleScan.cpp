#include "lockscan/HandleScan.h"

#include <algorithm>
#include <memory>
#include <unordered_map>
#include <vector>

#include "lockscan/OsError.h"
#include "lockscan/ScanSeam.h"
#include "base/UniqueHandle.h"

namespace swt {

namespace {

bool IsFileEntry(const THandleTable& table, const THandleEntry& e, int32_t fileTypeIndex) {
    if (fileTypeIndex < 0) return false;
    // The narrow table carries 8-bit type indexes.
    if (!table.Extended) return e.ObjectTypeIndex == (static_cast<uint32_t>(fileTypeIndex) & 0xFF);
    return e.ObjectTypeIndex == static_cast<uint32_t>(fileTypeIndex);
}

}  // namespace

int32_t FindFileTypeIndex(const THandleTable& table, HANDLE nulHandle) {
    const ULONG_PTR self = ::GetCurrentProcessId();
    const auto value = reinterpret_cast<ULONG_PTR>(nulHandle);
    for (const THandleEntry& e : table.Entries)
        if (e.HandleValue == value && e.ProcessId == self) return e.ObjectTypeIndex;
    return -1;
}

TFileHandleTable ReadFileHandleTable(bool allowExtended) {
    UniqueFile nul(::CreateFileW(L"NUL", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!nul) RaiseLastOSError();
    auto table = ReadHandleTable(allowExtended);
    if (!table) RaiseLastOSError();
    TFileHandleTable result;
    result.FileTypeIndex = FindFileTypeIndex(*table, nul.get());
    result.Table = std::move(*table);
    return result;
}

int32_t GetFileObjectTypeIndex() { return ReadFileHandleTable().FileTypeIndex; }

bool NameHandleTable(const THandleTable& table, const TTargetSet& targets, int32_t fileTypeIndex, TNameQuery& names,
                     std::vector<int32_t>& outcome, const std::atomic<bool>* cancel) {
    auto cancelled = [cancel] { return cancel && cancel->load(std::memory_order_relaxed); };
    const size_t count = std::min(outcome.size(), table.Entries.size());
    const ULONG_PTR self = ::GetCurrentProcessId();
    const HANDLE ownProcess = ::GetCurrentProcess();
    for (size_t i = 0; i < count; ++i) {
        const THandleEntry& e = table.Entries[i];
        if (!IsFileEntry(table, e, fileTypeIndex) || ProcessHiddenFromScan(static_cast<DWORD>(e.ProcessId)))
            outcome[i] = kPassedOver;
    }
    if (targets.Empty() || cancelled()) return !cancelled();

    // The own process's handles are named first, while no duplicate is open: a handle value that
    // was closed after the table was read (the NUL device's, for one) could otherwise be taken by
    // a duplicate and be named as another process's file.
    std::vector<HANDLE> ownHandles;
    std::vector<size_t> ownEntries;
    for (size_t i = 0; i < count; ++i)
        if (outcome[i] == kNameIt && table.Entries[i].ProcessId == self) {
            ownHandles.push_back(reinterpret_cast<HANDLE>(table.Entries[i].HandleValue));
            ownEntries.push_back(i);
        }
    std::vector<int32_t> ownMatches(ownHandles.size() + 1, kUnnamed);
    names.Match(ownHandles.data(), ownHandles.size(), targets, ownMatches.data());
    for (size_t k = 0; k < ownEntries.size(); ++k) outcome[ownEntries[k]] = ownMatches[k];

    // Each owner opened once per walk; an owner that cannot be opened is remembered as such.
    std::unordered_map<ULONG_PTR, UniqueHandleT> owners;
    // Duplicates go to the name query in batches.
    constexpr size_t kBatch = kNameQueryBatch;
    std::vector<HANDLE> handles;
    std::vector<UniqueHandleT> duplicates;  // closed after their batch
    std::vector<size_t> waiting;            // the entries whose duplicate is in the batch
    std::vector<int32_t> which(kBatch);
    auto flush = [&] {
        names.Match(handles.data(), handles.size(), targets, which.data());
        for (size_t k = 0; k < waiting.size(); ++k) outcome[waiting[k]] = which[k];
        duplicates.clear();
        handles.clear();
        waiting.clear();
        return !cancelled();
    };

    for (size_t i = 0; i < count; ++i) {
        const THandleEntry& e = table.Entries[i];
        if (outcome[i] != kNameIt || e.ProcessId == self) continue;
        auto it = owners.find(e.ProcessId);
        if (it == owners.end())
            it = owners
                     .emplace(e.ProcessId,
                              UniqueHandleT(::OpenProcess(PROCESS_DUP_HANDLE, FALSE, static_cast<DWORD>(e.ProcessId))))
                     .first;
        UniqueHandleT duplicate;
        if (!it->second || !::DuplicateHandle(it->second.get(), reinterpret_cast<HANDLE>(e.HandleValue), ownProcess,
                                              duplicate.put(), 0, FALSE, DUPLICATE_SAME_ACCESS)) {
            outcome[i] = kPassedOver;
            continue;
        }
        waiting.push_back(i);
        handles.push_back(duplicate.get());
        duplicates.push_back(std::move(duplicate));
        if (handles.size() == kBatch && !flush()) return false;
    }
    return flush();
}

void ScanHandleTable(const THandleTable& table, const TTargetSet& targets, int32_t fileTypeIndex, TNameQuery& names,
                     const THandleMatchReport& report) {
    std::vector<int32_t> outcome(table.Entries.size(), kNameIt);
    NameHandleTable(table, targets, fileTypeIndex, names, outcome);
    const ULONG_PTR self = ::GetCurrentProcessId();
    for (size_t i = 0; i < outcome.size(); ++i)
        if (outcome[i] >= 0) {
            const THandleEntry& e = table.Entries[i];
            report(static_cast<uint32_t>(e.ProcessId), static_cast<size_t>(outcome[i]), e.ProcessId == self);
        }
}

void ScanHandleTable(const THandleTable& table, const std::wstring& targetName, int32_t fileTypeIndex,
                     TNameQuery& names, const THandleReport& report) {
    TTargetSet targets({targetName});
    ScanHandleTable(table, targets, fileTypeIndex, names,
                    [&](uint32_t processId, size_t, bool ownProcess) { report(processId, targetName, ownProcess); });
}

void ScanHandles(const std::wstring& targetName, int32_t fileTypeIndex, const THandleReport& report) {
    auto table = ReadHandleTable();
    if (!table) return;
    TNameQuery names;
    ScanHandleTable(*table, targetName, fileTypeIndex, names, report);
}

}  // namespace swt
