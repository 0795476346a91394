#include "lockscan/LockScanner.h"

#include <algorithm>
#include <chrono>
#include <unordered_map>

#include "lockscan/HandleScan.h"
#include "lockscan/ModuleScan.h"
#include "lockscan/NameQuery.h"
#include "lockscan/Privilege.h"
#include "lockscan/ProcessScan.h"
#include "lockscan/SystemTables.h"
#include "lockscan/TargetSet.h"
#include "base/UniqueHandle.h"

namespace swt {

namespace {

using Clock = std::chrono::steady_clock;

// An entry taken from the cache as naming no target (see NameHandleTable for the other values).
constexpr int32_t kReused = -5;

double MsSince(Clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// Each target's own name, made by the same query as the names of the handles. Access 0 opens a
// file even while others hold it without sharing.
std::vector<std::wstring> TargetNames(const std::vector<std::wstring>& paths, TNameQuery& names) {
    std::vector<std::wstring> targetNames;
    targetNames.reserve(paths.size());
    for (const std::wstring& path : paths) {
        const std::wstring openPath = LongPathForm(path);
        UniqueFile target(::CreateFileW(openPath.c_str(), 0, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        targetNames.push_back(target ? names.Name(target.get()) : openPath);
    }
    return targetNames;
}

std::vector<std::wstring> SortedDistinct(const TTargetSet& targets) {
    std::vector<std::wstring> names;
    for (size_t d = 0; d < targets.DistinctCount(); ++d) names.push_back(targets.Distinct(d));
    std::sort(names.begin(), names.end());
    return names;
}

std::wstring ProcessPathOf(uint32_t processId, bool ownProcess, const std::vector<TProcessRecord>& processes) {
    if (ownProcess) return OwnExecutableFileName();
    for (const TProcessRecord& p : processes)
        if (p.ProcessId == processId) return p.ImageName;
    return L"<unbekannt>";
}

// True when some target that can be matched at all has neither a handle match nor an entry from
// the process scan.
bool SomeTargetWithoutHolder(const TTargetSet& targets, const std::vector<int32_t>& outcome,
                             const std::vector<std::unique_ptr<TProcessLockList>>& fromProcesses) {
    std::vector<bool> handleMatch(targets.DistinctCount());
    for (int32_t o : outcome)
        if (o >= 0) handleMatch[static_cast<size_t>(o)] = true;
    for (size_t d = 0; d < targets.DistinctCount(); ++d) {
        if (handleMatch[d]) continue;
        for (size_t t : targets.TargetsOfDistinct(d))
            if (fromProcesses[t]->Count() == 0) return true;
    }
    return false;
}

}  // namespace

size_t TLockScanner::THandleKeyHash::operator()(const THandleKey& k) const noexcept {
    uint64_t h = 1469598103934665603ull;
    auto mix = [&h](uint64_t v) {
        h ^= v;
        h *= 1099511628211ull;
        h ^= h >> 29;
    };
    mix(k.ProcessId);
    mix(static_cast<uint64_t>(k.ProcessCreateTime));
    mix(k.HandleValue);
    mix(k.Object);
    mix((uint64_t{k.GrantedAccess} << 16) | k.ObjectTypeIndex);
    return static_cast<size_t>(h);
}

TLockScanner::TLockScanner() = default;
TLockScanner::~TLockScanner() = default;

void TLockScanner::Forget() {
    known_.clear();
    knownTargets_.clear();
    steadySinceFull_ = 0;
}

std::vector<std::unique_ptr<TProcessLockList>> TLockScanner::Scan(const std::vector<std::wstring>& paths,
                                                                   TScanDepth depth, const std::atomic<bool>* cancel,
                                                                   const TLockScanOptions& options) {
    last_ = {};
    std::vector<std::unique_ptr<TProcessLockList>> lists(paths.size());
    auto cancelled = [cancel] { return cancel && cancel->load(std::memory_order_relaxed); };
    auto giveUp = [&] {
        Forget();
        last_.Cancelled = true;
        return std::vector<std::unique_ptr<TProcessLockList>>(paths.size());
    };
    if (paths.empty()) return lists;
    if (cancelled()) return giveUp();

    const Clock::time_point handlesStart = Clock::now();
    TNameQuery names;
    const TTargetSet targets(TargetNames(paths, names));
    EnableDebugPrivilege();
    // The handle table is read once, while the NUL device is open to give the file type index.
    const TFileHandleTable handles = ReadFileHandleTable();
    const auto processes = ReadProcessTable();
    if (!processes) return lists;
    const std::vector<THandleEntry>& entries = handles.Table.Entries;

    // The cache serves when it was learnt from a table of the same kind against these targets or
    // more: a name that matched none of more targets matches none of fewer.
    std::vector<std::wstring> distinct = SortedDistinct(targets);
    const bool reuse = depth == TScanDepth::Steady && steadySinceFull_ + 1 < kFullScanEvery && !known_.empty() &&
                       handles.FileTypeIndex == knownFileType_ && handles.Table.Extended == knownExtended_ &&
                       std::includes(knownTargets_.begin(), knownTargets_.end(), distinct.begin(), distinct.end());

    // A handle's identity takes its process's creation time, so that a process id used again by a
    // later process gives other identities; a process missing from the table has none.
    std::unordered_map<ULONG_PTR, LONGLONG> createTimes;
    createTimes.reserve(processes->size());
    for (const TProcessRecord& p : *processes) createTimes.emplace(p.ProcessId, p.CreateTime);
    auto keyOf = [&](const THandleEntry& e, THandleKey* key) {
        auto it = createTimes.find(e.ProcessId);
        if (it == createTimes.end()) return false;
        *key = {e.ProcessId, it->second, e.HandleValue, e.Object, e.GrantedAccess, e.ObjectTypeIndex};
        return true;
    };

    std::vector<int32_t> outcome(entries.size(), kNameIt);
    if (reuse) {
        THandleKey key;
        for (size_t i = 0; i < entries.size(); ++i)
            if (keyOf(entries[i], &key) && known_.count(key)) outcome[i] = kReused;
    }
    if (!NameHandleTable(handles.Table, targets, handles.FileTypeIndex, names, outcome, cancel)) return giveUp();
    last_.HandlePartMs = MsSince(handlesStart);

    const Clock::time_point processStart = Clock::now();
    std::vector<std::unique_ptr<TProcessLockList>> fromProcesses(paths.size());
    std::vector<TProcessLockList*> raw(paths.size());
    for (size_t t = 0; t < paths.size(); ++t) {
        fromProcesses[t] = std::make_unique<TProcessLockList>();
        raw[t] = fromProcesses[t].get();
    }
    if (!ScanProcesses(targets, raw, names, {true, options.MappedViews}, cancel)) return giveUp();
    last_.ProcessPartMs = MsSince(processStart);

    // "No holder" is never said from reused knowledge: the handles taken from the cache are named
    // too before such an answer.
    bool full = !reuse;
    if (reuse && SomeTargetWithoutHolder(targets, outcome, fromProcesses)) {
        const Clock::time_point again = Clock::now();
        std::replace(outcome.begin(), outcome.end(), kReused, kNameIt);
        if (!NameHandleTable(handles.Table, targets, handles.FileTypeIndex, names, outcome, cancel)) return giveUp();
        last_.HandlePartMs += MsSince(again);
        full = true;
    }

    // Handle matches first, in table order, then what the process scan found.
    const ULONG_PTR self = ::GetCurrentProcessId();
    for (size_t t = 0; t < paths.size(); ++t) lists[t] = std::make_unique<TProcessLockList>();
    for (size_t i = 0; i < entries.size(); ++i) {
        if (outcome[i] < 0) continue;
        const THandleEntry& e = entries[i];
        const auto processId = static_cast<uint32_t>(e.ProcessId);
        const std::wstring processPath = ProcessPathOf(processId, e.ProcessId == self, *processes);
        for (size_t t : targets.TargetsOfDistinct(static_cast<size_t>(outcome[i])))
            TProcessLockInfo::Create(lists[t].get(), targets.Name(t), processId, processPath);
    }
    for (size_t t = 0; t < paths.size(); ++t) {
        const TProcessLockList& found = *fromProcesses[t];
        for (size_t k = 0; k < found.Count(); ++k)
            TProcessLockInfo::Create(lists[t].get(), found[k].FileName, found[k].ProcessId, found[k].ProcessPath);
        if (lists[t]->Count() == 0) lists[t].reset();
    }

    // What this table taught: the handles that name no target, at most one per entry.
    known_.clear();
    known_.reserve(entries.size());
    THandleKey key;
    for (size_t i = 0; i < entries.size(); ++i) {
        const int32_t o = outcome[i];
        if (o == kReused) ++last_.ReusedHandles;
        if (o == kUnnamed) ++last_.UnnamedHandles;
        if (o != kPassedOver && o != kNameIt) ++last_.FileHandles;
        if (o >= kUnnamed) ++last_.NamedHandles;
        if ((o == -1 || o == kReused) && keyOf(entries[i], &key)) known_.insert(key);
    }
    knownTargets_ = std::move(distinct);
    knownFileType_ = handles.FileTypeIndex;
    knownExtended_ = handles.Table.Extended;
    steadySinceFull_ = full ? 0 : steadySinceFull_ + 1;
    last_.Full = full;
    last_.KeptHandles = known_.size();
    return lists;
}

}  // namespace swt
