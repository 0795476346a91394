#include "lockscan/LockingProcesses.h"

#include <windows.h>

#include <vector>

#include "lockscan/HandleScan.h"
#include "lockscan/ModuleScan.h"
#include "lockscan/NameQuery.h"
#include "lockscan/Privilege.h"
#include "lockscan/SystemTables.h"
#include "support/UniqueHandle.h"

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

std::unique_ptr<TProcessLockList> GetLockingProcesses(const std::wstring& path) {
    auto list = std::make_unique<TProcessLockList>();
    TNameQuery names;

    // The target's own name, made by the same query as the names of the handles. Access 0 opens
    // a file even while others hold it without sharing.
    std::wstring targetName;
    const std::wstring openPath = LongPathForm(path);
    {
        UniqueFile target(::CreateFileW(openPath.c_str(), 0, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        targetName = target ? names.Name(target.get()) : openPath;
    }

    EnableDebugPrivilege();
    // The handle table is read once, while the NUL device is open to give the file type index.
    TFileHandleTable handles = ReadFileHandleTable();

    auto processes = ReadProcessTable();
    if (!processes) return nullptr;

    ScanHandleTable(handles.Table, targetName, handles.FileTypeIndex, names,
                    [&](uint32_t processId, const std::wstring& name, bool ownProcess) {
                        TProcessLockInfo::Create(list.get(), name, processId,
                                                 ProcessPathOf(processId, ownProcess, *processes));
                    });
    ScanModules(targetName, *list, names);

    if (list->Count() == 0) return nullptr;
    return list;
}

}  // namespace swt
