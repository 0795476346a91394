#include "lockscan/HandleScan.h"

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

void ScanHandleTable(const THandleTable& table, const TTargetSet& targets, int32_t fileTypeIndex, TNameQuery& names,
                     const THandleMatchReport& report) {
    if (targets.Empty() || fileTypeIndex < 0) return;
    const ULONG_PTR self = ::GetCurrentProcessId();
    const HANDLE ownProcess = ::GetCurrentProcess();
    auto scanned = [&](const THandleEntry& e) {
        return IsFileEntry(table, e, fileTypeIndex) && !ProcessHiddenFromScan(static_cast<DWORD>(e.ProcessId));
    };

    // The own process's handles are named first, while no duplicate is open: a handle value that
    // was closed after the table was read (the NUL device's, for one) could otherwise be taken by
    // a duplicate and be named as another process's file.
    std::vector<HANDLE> ownHandles;
    for (const THandleEntry& e : table.Entries)
        if (scanned(e) && e.ProcessId == self) ownHandles.push_back(reinterpret_cast<HANDLE>(e.HandleValue));
    std::vector<int32_t> ownMatches(ownHandles.size() + 1, -1);
    names.Match(ownHandles.data(), ownHandles.size(), targets, ownMatches.data());
    size_t nextOwn = 0;

    // Each owner opened once per scan; an owner that cannot be opened is remembered as such.
    std::unordered_map<ULONG_PTR, UniqueHandleT> owners;
    // Duplicates go to the name query in batches; reports follow table order.
    constexpr size_t kBatch = kNameQueryBatch;
    struct Candidate {
        uint32_t ProcessId;
        bool Own;
        int32_t Match;  // the distinct target; own handles: known, duplicates: once their batch is answered
    };
    std::vector<Candidate> candidates;
    std::vector<HANDLE> handles;
    std::vector<UniqueHandleT> duplicates;  // closed after their batch
    std::vector<size_t> waiting;            // candidates whose duplicate is in the batch
    std::vector<int32_t> which(kBatch);
    auto flush = [&] {
        names.Match(handles.data(), handles.size(), targets, which.data());
        for (size_t i = 0; i < waiting.size(); ++i) candidates[waiting[i]].Match = which[i];
        duplicates.clear();
        handles.clear();
        waiting.clear();
        for (const Candidate& c : candidates)
            if (c.Match >= 0) report(c.ProcessId, static_cast<size_t>(c.Match), c.Own);
        candidates.clear();
    };

    for (const THandleEntry& e : table.Entries) {
        if (!scanned(e)) continue;
        if (e.ProcessId == self) {
            candidates.push_back({static_cast<uint32_t>(e.ProcessId), true, ownMatches[nextOwn++]});
            continue;
        }
        auto it = owners.find(e.ProcessId);
        if (it == owners.end())
            it = owners
                     .emplace(e.ProcessId,
                              UniqueHandleT(::OpenProcess(PROCESS_DUP_HANDLE, FALSE, static_cast<DWORD>(e.ProcessId))))
                     .first;
        if (!it->second) continue;
        UniqueHandleT duplicate;
        if (!::DuplicateHandle(it->second.get(), reinterpret_cast<HANDLE>(e.HandleValue), ownProcess, duplicate.put(),
                               0, FALSE, DUPLICATE_SAME_ACCESS))
            continue;
        waiting.push_back(candidates.size());
        candidates.push_back({static_cast<uint32_t>(e.ProcessId), false, -1});
        handles.push_back(duplicate.get());
        duplicates.push_back(std::move(duplicate));
        if (handles.size() == kBatch) flush();
    }
    flush();
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
