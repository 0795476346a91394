#include "lockscan/LockingProcesses.h"

#include <windows.h>

#include <vector>

#include "lockscan/LockScanner.h"
#include "lockscan/ModuleScan.h"

namespace swt {

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
    // A scanner of its own, kept for this one call: every handle is named.
    TLockScanner scanner;
    return scanner.Scan(paths, TScanDepth::Full, nullptr, options);
}

std::unique_ptr<TProcessLockList> GetLockingProcesses(const std::wstring& path, const TLockScanOptions& options) {
    auto lists = GetLockingProcessesBatch({path}, options);
    return std::move(lists[0]);
}

}  // namespace swt
