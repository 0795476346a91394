#include "lockscan/ProcessScan.h"

#include <windows.h>
#include <tlhelp32.h>

#include "lockscan/DevicePaths.h"
#include "lockscan/MappedViewScan.h"
#include "lockscan/ModuleScan.h"
#include "lockscan/ScanSeam.h"
#include "base/UniqueHandle.h"

namespace swt {

namespace {

std::vector<DWORD> SnapshotProcessIds() {
    std::vector<DWORD> ids;
    UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return ids;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry))
        ids.push_back(entry.th32ProcessID);
    return ids;
}

struct TPendingEntry {
    size_t Target;
    std::wstring FileName;
    uint32_t ProcessId;
    std::wstring ProcessPath;
};

}  // namespace

bool ScanProcesses(const TTargetSet& targets, const std::vector<TProcessLockList*>& lists, TNameQuery& names,
                   TProcessScanParts parts, const std::atomic<bool>* cancel) {
    if (targets.Empty() || (!parts.Modules && !parts.MappedViews)) return true;
    const TDevicePaths devices;
    std::vector<HMODULE> modules;
    std::vector<wchar_t> buffer(kLongestPath);
    TMemoryQuery memory;
    std::vector<TFileMatch> found;
    // Views come after all module entries of their target, so they wait here.
    std::vector<TPendingEntry> views;
    for (DWORD id : SnapshotProcessIds()) {
        if (cancel && cancel->load(std::memory_order_relaxed)) return false;
        if (ProcessHiddenFromScan(id)) continue;
        UniqueHandleT process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id));
        if (!process) continue;
        TScannedProcess p(process.get(), modules, buffer, memory);
        const uint32_t pid = ::GetProcessId(process.get());
        if (parts.Modules) {
            found.clear();
            FindModuleMatches(p, targets, names, found);
            for (TFileMatch& m : found)
                if (lists[m.Target])
                    TProcessLockInfo::Create(lists[m.Target], std::move(m.FileName), pid, p.ExecutablePath());
        }
        if (parts.MappedViews) {
            found.clear();
            FindMappedViewMatches(p, targets, names, devices, found);
            for (TFileMatch& m : found) views.push_back({m.Target, std::move(m.FileName), pid, p.ExecutablePath()});
        }
    }
    for (TPendingEntry& v : views)
        if (lists[v.Target])
            TProcessLockInfo::Create(lists[v.Target], std::move(v.FileName), v.ProcessId, std::move(v.ProcessPath));
    return true;
}

void ScanModules(const std::wstring& targetName, TProcessLockList& list, TNameQuery& names) {
    TTargetSet targets({targetName});
    ScanProcesses(targets, {&list}, names, {true, false});
}

void ScanModules(const std::wstring& targetName, TProcessLockList& list) {
    TNameQuery names;
    ScanModules(targetName, list, names);
}

}  // namespace swt
