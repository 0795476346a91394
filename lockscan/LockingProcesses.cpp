#include "lockscan/LockingProcesses.h"

#include <windows.h>

#include <vector>

#include "lockscan/HandleScan.h"
#include "lockscan/ModuleScan.h"
#include "lockscan/ProcessScan.h"
#include "lockscan/NameQuery.h"
#include "lockscan/Privilege.h"
#include "lockscan/SystemTables.h"
#include "lockscan/TargetSet.h"
#include "base/UniqueHandle.h"

namespace swt {

namespace {

std::wstring ProcessPathOf(uint32_t processId, bool ownProcess, const std::vector<TProcessRecord>& processes) {
    if (ownProcess) return OwnExecutableFileName();
    for (const TProcessRecord& p : processes)
        if (p.ProcessId == processId) return p.ImageName;
    return L"<unbekannt>";
}

}  // namespace

std::wstring OwnExecutableFileName() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) return std::wstring(FileNamePart(std::wstring_view(buffer.data(), n)));
        if (buffer.size() >= 32768) return {};
        buffer.resize(buffer.size() * 2);
    }
}

std::vector<std::unique_ptr<TProcessLockList>> GetLockingProcessesBatch(const std::vector<std::wstring>& paths,
                                                                        const TLockScanOptions& options) {
    std::vector<std::unique_ptr<TProcessLockList>> lists(paths.size());
    if (paths.empty()) return lists;
    TNameQuery names;

    // Each target's own name, made by the same query as the names of the handles. Access 0 opens
    // a file even while others hold it without sharing.
    std::vector<std::wstring> targetNames;
    targetNames.reserve(paths.size());
    for (const std::wstring& path : paths) {
        const std::wstring openPath = LongPathForm(path);
        UniqueFile target(::CreateFileW(openPath.c_str(), 0, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        targetNames.push_back(target ? names.Name(target.get()) : openPath);
    }
    const TTargetSet targets(std::move(targetNames));

    EnableDebugPrivilege();
    // The handle table is read once, while the NUL device is open to give the file type index.
    TFileHandleTable handles = ReadFileHandleTable();

    auto processes = ReadProcessTable();
    if (!processes) return lists;

    std::vector<TProcessLockList*> raw(paths.size());
    for (size_t t = 0; t < paths.size(); ++t) {
        lists[t] = std::make_unique<TProcessLockList>();
        raw[t] = lists[t].get();
    }
    ScanHandleTable(handles.Table, targets, handles.FileTypeIndex, names,
                    [&](uint32_t processId, size_t distinct, bool ownProcess) {
                        const std::wstring processPath = ProcessPathOf(processId, ownProcess, *processes);
                        for (size_t t : targets.TargetsOfDistinct(distinct))
                            TProcessLockInfo::Create(raw[t], targets.Name(t), processId, processPath);
                    });
    ScanProcesses(targets, raw, names, {true, options.MappedViews});

    for (auto& list : lists)
        if (list->Count() == 0) list.reset();
    return lists;
}

std::unique_ptr<TProcessLockList> GetLockingProcesses(const std::wstring& path, const TLockScanOptions& options) {
    auto lists = GetLockingProcessesBatch({path}, options);
    return std::move(lists[0]);
}

}  // namespace swt
