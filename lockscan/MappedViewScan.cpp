#include "lockscan/MappedViewScan.h"

#include <windows.h>
#include <psapi.h>

namespace swt {

namespace {

// Far more regions than any process has; a walk past it has stopped making sense.
constexpr size_t kRegionLimit = 1 << 20;

// The end of the image mapped at base, from the SizeOfImage of its PE header; 0 when the header
// cannot be read or makes no sense. An image is several regions (one per section), and each
// region asked about costs a round trip into the other process: one read of the header replaces
// them all.
ULONG_PTR ImageEnd(HANDLE process, PVOID base) {
    BYTE header[1024];
    SIZE_T got = 0;
    if (!::ReadProcessMemory(process, base, header, sizeof header, &got) || got != sizeof header) return 0;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(header);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew < 0) return 0;
    // Signature (4) + file header (20) + optional header up to and with SizeOfImage (56 + 4),
    // the same offset in both header forms.
    const size_t sizeOfImageAt = static_cast<size_t>(dos->e_lfanew) + 4 + sizeof(IMAGE_FILE_HEADER) + 56;
    if (sizeOfImageAt + sizeof(DWORD) > sizeof header) return 0;
    if (*reinterpret_cast<const DWORD*>(header + dos->e_lfanew) != IMAGE_NT_SIGNATURE) return 0;
    const DWORD size = *reinterpret_cast<const DWORD*>(header + sizeOfImageAt);
    return reinterpret_cast<ULONG_PTR>(base) + size;
}

}  // namespace

TMappedViewWalk WalkMappedViews(TScannedProcess& p, const TTargetSet& targets, TNameQuery& names,
                                const TDevicePaths& devices, std::vector<TFileMatch>& matches) {
    TMappedViewWalk walk;
    if (targets.Empty()) return walk;
    SYSTEM_INFO si{};
    ::GetSystemInfo(&si);
    auto address = reinterpret_cast<ULONG_PTR>(si.lpMinimumApplicationAddress);
    const auto top = reinterpret_cast<ULONG_PTR>(si.lpMaximumApplicationAddress);
    std::vector<bool> found(targets.Count(), false);
    size_t left = targets.Count();
    PVOID lastAllocation = nullptr;
    while (address < top && walk.Regions < kRegionLimit && left > 0) {
        MEMORY_BASIC_INFORMATION mbi{};
        if (::VirtualQueryEx(p.Process, reinterpret_cast<PVOID>(address), &mbi, sizeof mbi) != sizeof mbi) break;
        ++walk.Regions;
        ULONG_PTR next = reinterpret_cast<ULONG_PTR>(mbi.BaseAddress) + mbi.RegionSize;
        if (next <= address) break;
        if (mbi.State != MEM_FREE && mbi.Type == MEM_IMAGE && mbi.BaseAddress == mbi.AllocationBase) {
            // The image's other regions are no views: the walk goes on behind the image.
            const ULONG_PTR end = ImageEnd(p.Process, mbi.AllocationBase);
            if (end > next && end <= top) next = end;
        }
        address = next;
        // A view is one allocation, often of several regions (guard pages, other protections):
        // it is named once.
        if (mbi.State == MEM_FREE || mbi.Type != MEM_MAPPED || mbi.AllocationBase == lastAllocation) continue;
        lastAllocation = mbi.AllocationBase;
        ++walk.Allocations;
        DWORD n = ::GetMappedFileNameW(p.Process, mbi.AllocationBase, p.Buffer.data(),
                                       static_cast<DWORD>(p.Buffer.size()));
        if (n == 0 || n >= p.Buffer.size() - 1) continue;  // no file behind it (shared memory)
        const std::wstring_view mapped(p.Buffer.data(), n);
        // Cheap look first: only a view of a file named like a target is looked at closer.
        const std::wstring_view file = FileNamePart(mapped);
        if (file.find(L'~') == std::wstring_view::npos && !targets.HasFileNamePart(file)) continue;
        const std::wstring path = devices.DrivePath(mapped);
        for (size_t t : MatchingTargets(path, targets, names)) {
            if (found[t]) continue;
            found[t] = true;
            --left;
            matches.push_back({t, path});
        }
    }
    return walk;
}

void FindMappedViewMatches(TScannedProcess& process, const TTargetSet& targets, TNameQuery& names,
                           const TDevicePaths& devices, std::vector<TFileMatch>& matches) {
    WalkMappedViews(process, targets, names, devices, matches);
}

}  // namespace swt
