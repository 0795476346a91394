#include "lockscan/MemoryQuery.h"

#include <algorithm>

#include "lockscan/NtApi.h"

namespace swt {

namespace {

constexpr LONG kNamesAt = 0;  // name the files mapped at Bases[0..Count)
constexpr LONG kWalk = 1;     // walk from From, naming each mapped allocation once

constexpr ULONG kBaseMax = 1024;
constexpr ULONG kRecordMax = 1024;
constexpr SIZE_T kPoolBytes = 256 * 1024;
// Room one name needs in the pool: the largest answer the system can give (a UNICODE_STRING holds
// at most 65534 bytes) and alignment. The worker stops before a name when less is left.
constexpr SIZE_T kNameRoom = sizeof(RawUnicodeString) + 0x10000 + 8;
constexpr SIZE_T kImageHeaderBytes = 1024;

// One name the worker has put into the pool.
struct TMemoryRecord {
    ULONG_PTR Regions;  // kWalk: regions of this request up to and with the allocation's first
    ULONG NameOffset;   // bytes into Pool
    ULONG NameBytes;    // 0: no name
};

}  // namespace

// The block the memory worker shares with the scan (see TWorkerHeader).
struct TMemoryBlock : TWorkerHeader {
    // Set by the scan.
    NtQueryVirtualMemoryFn QueryVirtualMemory;
    HANDLE Process;  // the block's own handle, closed with the block
    DWORD ProcessId;  // whose handle Process is
    FILETIME Created;
    LONG Kind;
    ULONG Count;  // kNamesAt
    PVOID Bases[kBaseMax];
    ULONG_PTR From;  // kWalk
    ULONG_PTR Top;
    ULONG_PTR RegionsLeft;
    PVOID LastAllocation;  // kWalk: the allocation named last (written back by the worker)
    // Written by the worker.
    ULONG RecordCount;  // kNamesAt: bases handled, one record each; kWalk: mapped allocations met
    ULONG_PTR Regions;  // kWalk: regions walked
    ULONG_PTR Next;     // kWalk: where the next request goes on
    LONG WalkEnded;     // kWalk: nothing left to walk
    TMemoryRecord Records[kRecordMax];
    MEMORY_BASIC_INFORMATION Region;
    alignas(8) BYTE ImageHeader[kImageHeaderBytes];
    alignas(8) BYTE Pool[kPoolBytes];
};

namespace {

// --- Worker side: system calls only, no heap, no C runtime, no exceptions. ---

// Names the file mapped at base into the pool at *at, advancing *at past it.
void NameAt(TMemoryBlock* b, PVOID base, SIZE_T* at, TMemoryRecord* record) noexcept {
    record->NameOffset = 0;
    record->NameBytes = 0;
    BYTE* const start = b->Pool + *at;
    BYTE* const end = b->Pool + kPoolBytes;
    auto* name = reinterpret_cast<RawUnicodeString*>(start);
    name->Length = 0;
    name->Buffer = nullptr;
    NTSTATUS_T s = b->QueryVirtualMemory(b->Process, base, kMemoryMappedFilenameInformation, start,
                                         static_cast<SIZE_T>(end - start), nullptr);
    if (s != kStatusSuccess) return;
    // A name reaching outside the room given is no name.
    const BYTE* text = reinterpret_cast<const BYTE*>(name->Buffer);
    if (!text || text < start + sizeof(RawUnicodeString) || text + name->Length > end) return;
    record->NameOffset = static_cast<ULONG>(text - b->Pool);
    record->NameBytes = name->Length;
    *at = (static_cast<SIZE_T>(text - b->Pool) + name->Length + 7) & ~SIZE_T{7};
}

// The end of the image mapped at base, from the SizeOfImage of its PE header; 0 when the header
// cannot be read or makes no sense. An image is several regions (one per section), and each
// region asked about costs a round trip into the other process: one read of the header replaces
// them all.
ULONG_PTR ImageEnd(TMemoryBlock* b, PVOID base) noexcept {
    SIZE_T got = 0;
    if (!::ReadProcessMemory(b->Process, base, b->ImageHeader, kImageHeaderBytes, &got) || got != kImageHeaderBytes)
        return 0;
    const BYTE* header = b->ImageHeader;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(header);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew < 0) return 0;
    // Signature (4) + file header (20) + optional header up to and with SizeOfImage (56 + 4),
    // the same offset in both header forms.
    const size_t sizeOfImageAt = static_cast<size_t>(dos->e_lfanew) + 4 + sizeof(IMAGE_FILE_HEADER) + 56;
    if (sizeOfImageAt + sizeof(DWORD) > kImageHeaderBytes) return 0;
    if (*reinterpret_cast<const DWORD*>(header + dos->e_lfanew) != IMAGE_NT_SIGNATURE) return 0;
    const DWORD size = *reinterpret_cast<const DWORD*>(header + sizeOfImageAt);
    return reinterpret_cast<ULONG_PTR>(base) + size;
}

void NameBases(TMemoryBlock* b) noexcept {
    SIZE_T at = 0;
    ULONG i = 0;
    for (; i < b->Count && i < kBaseMax && i < kRecordMax && !b->Quit; ++i) {
        if (at + kNameRoom > kPoolBytes) break;
        BeginWorkerCall(b, i);
        NameAt(b, b->Bases[i], &at, &b->Records[i]);
    }
    b->RecordCount = i;
}

// Region by region from b->From; stops before a mapped allocation it has no room to name, so
// that the next request names it.
void Walk(TMemoryBlock* b) noexcept {
    ULONG_PTR address = b->From;
    PVOID last = b->LastAllocation;
    ULONG_PTR regions = 0;
    ULONG records = 0;
    ULONG call = 0;
    SIZE_T at = 0;
    LONG ended = 1;
    MEMORY_BASIC_INFORMATION& mbi = b->Region;
    while (address < b->Top && regions < b->RegionsLeft && !b->Quit) {
        BeginWorkerCall(b, call++);
        if (b->QueryVirtualMemory(b->Process, reinterpret_cast<PVOID>(address), kMemoryBasicInformation, &mbi,
                                  sizeof mbi, nullptr) != kStatusSuccess)
            break;
        // A view is one allocation, often of several regions (guard pages, other protections):
        // it is named once.
        const bool view = mbi.State != MEM_FREE && mbi.Type == MEM_MAPPED && mbi.AllocationBase != last;
        if (view && (records == kRecordMax || at + kNameRoom > kPoolBytes)) {
            ended = 0;
            break;
        }
        ++regions;
        ULONG_PTR next = reinterpret_cast<ULONG_PTR>(mbi.BaseAddress) + mbi.RegionSize;
        if (next <= address) break;
        if (mbi.State != MEM_FREE && mbi.Type == MEM_IMAGE && mbi.BaseAddress == mbi.AllocationBase) {
            // The image's other regions are no views: the walk goes on behind the image.
            BeginWorkerCall(b, call++);
            const ULONG_PTR end = ImageEnd(b, mbi.AllocationBase);
            if (end > next && end <= b->Top) next = end;
        }
        address = next;
        if (!view) continue;
        last = mbi.AllocationBase;
        TMemoryRecord& record = b->Records[records++];
        record.Regions = regions;
        BeginWorkerCall(b, call++);
        NameAt(b, last, &at, &record);
    }
    b->Next = address;
    b->Regions = regions;
    b->LastAllocation = last;
    b->RecordCount = records;
    b->WalkEnded = ended;
}

void Answer(TWorkerHeader* header) noexcept {
    auto* b = static_cast<TMemoryBlock*>(header);
    if (b->Kind == kWalk) {
        Walk(b);
    } else {
        NameBases(b);
    }
}

// --- Scan side. ---

void ReleaseProcess(TWorkerHeader* header) noexcept {
    auto* b = static_cast<TMemoryBlock*>(header);
    if (b->Process) ::CloseHandle(b->Process);
    b->Process = nullptr;
}

// Memory workers given up and whose thread has not ended yet.
TRetiredWorkers& Retired() {
    static TRetiredWorkers retired;
    return retired;
}

bool SameProcess(const TMemoryBlock& b, DWORD id, const FILETIME& created) {
    return b.ProcessId == id && b.Created.dwLowDateTime == created.dwLowDateTime &&
           b.Created.dwHighDateTime == created.dwHighDateTime;
}

std::wstring_view NameOf(const TMemoryBlock* b, const TMemoryRecord& r) {
    if (r.NameBytes == 0 || r.NameOffset + static_cast<SIZE_T>(r.NameBytes) > kPoolBytes) return {};
    return std::wstring_view(reinterpret_cast<const wchar_t*>(b->Pool + r.NameOffset), r.NameBytes / sizeof(wchar_t));
}

}  // namespace

TMemoryQuery::TMemoryQuery(TMemoryQueryMode mode)
    : mode_(mode),
      worker_(sizeof(TMemoryBlock), Answer, ReleaseProcess, kMemoryQueryTimeoutMs, Retired()) {
    SYSTEM_INFO si{};
    ::GetSystemInfo(&si);
    lowest_ = reinterpret_cast<ULONG_PTR>(si.lpMinimumApplicationAddress);
    top_ = reinterpret_cast<ULONG_PTR>(si.lpMaximumApplicationAddress);
}

TMemoryQuery::~TMemoryQuery() = default;

bool TMemoryQuery::Select(HANDLE process) {
    selected_ = process;
    selectedId_ = ::GetProcessId(process);
    FILETIME exited, kernel, user;
    if (!::GetProcessTimes(process, &selectedCreated_, &exited, &kernel, &user)) selectedCreated_ = {};
    const DWORD id = selectedId_;
    const FILETIME created = selectedCreated_;
    givenUp_ = Retired().Pending([&](const TWorkerHeader& h) {
        const auto& b = static_cast<const TMemoryBlock&>(h);
        return b.Process && SameProcess(b, id, created);
    }) > 0;
    if (givenUp_) ++passedOver_;
    return !givenUp_;
}

// The worker's block, set to ask about the selected process; nullptr when it is not to be asked.
TMemoryBlock* TMemoryQuery::Ready() {
    if (givenUp_ || !selected_ || !Nt().QueryVirtualMemory) return nullptr;
    if (mode_ == TMemoryQueryMode::Worker && !worker_.Start()) return nullptr;
    auto* b = static_cast<TMemoryBlock*>(worker_.Block());
    if (!b) return nullptr;
    if (!b->Process || !SameProcess(*b, selectedId_, selectedCreated_)) {
        // The worker is idle: its handle of the last process can go.
        ReleaseProcess(b);
        HANDLE own = ::GetCurrentProcess();
        if (!::DuplicateHandle(own, selected_, own, &b->Process, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
            b->Process = nullptr;
            return nullptr;
        }
        b->ProcessId = selectedId_;
        b->Created = selectedCreated_;
    }
    b->QueryVirtualMemory = Nt().QueryVirtualMemory;
    return b;
}

// Hands the request over; a worker that runs late (or cannot be waited for) gives the process up
// for this scan and stays retired, with the process's identity in its block, until its call returns.
bool TMemoryQuery::Ask() {
    if (mode_ == TMemoryQueryMode::Inline) {
        Answer(worker_.Block());
        return true;
    }
    size_t index = 0;
    TWorkerWait w = worker_.Ask(&index);
    if (w == TWorkerWait::Answered) return true;
    if (w == TWorkerWait::Late) ++lateQueries_;
    givenUp_ = true;
    worker_.Retire(false);
    return false;
}

bool TMemoryQuery::MappedFileNames(const HMODULE* bases, size_t count,
                                   const std::function<bool(size_t, std::wstring_view)>& visit) {
    size_t done = 0;
    while (done < count) {
        TMemoryBlock* b = Ready();
        if (!b) return false;
        const ULONG n = static_cast<ULONG>(std::min<size_t>(count - done, kBaseMax));
        b->Kind = kNamesAt;
        b->Count = n;
        for (ULONG i = 0; i < n; ++i) b->Bases[i] = bases[done + i];
        b->RecordCount = 0;
        if (!Ask()) return false;
        const ULONG handled = std::min(b->RecordCount, n);
        for (ULONG i = 0; i < handled; ++i)
            if (!visit(done + i, NameOf(b, b->Records[i]))) return true;
        if (handled == 0) return false;
        done += handled;
    }
    return true;
}

TMemoryWalk TMemoryQuery::WalkMappedAllocations(size_t regionLimit,
                                                const std::function<bool(const TMappedAllocation&)>& visit) {
    TMemoryWalk walk;
    ULONG_PTR from = lowest_;
    PVOID last = nullptr;
    for (;;) {
        TMemoryBlock* b = Ready();
        if (!b) {
            walk.Answered = false;
            return walk;
        }
        b->Kind = kWalk;
        b->From = from;
        b->Top = top_;
        b->RegionsLeft = regionLimit - std::min(regionLimit, walk.Regions);
        b->LastAllocation = last;
        b->RecordCount = 0;
        b->Regions = 0;
        b->WalkEnded = 1;
        if (!Ask()) {
            walk.Answered = false;
            return walk;
        }
        const ULONG records = std::min(b->RecordCount, kRecordMax);
        for (ULONG i = 0; i < records; ++i) {
            const TMemoryRecord& r = b->Records[i];
            ++walk.Allocations;
            if (!visit({NameOf(b, r), walk.Regions + r.Regions})) {
                walk.Regions += r.Regions;
                return walk;
            }
        }
        walk.Regions += b->Regions;
        // Goes on only where the worker stopped for room and has moved forward.
        if (b->WalkEnded || b->Next <= from) return walk;
        from = b->Next;
        last = b->LastAllocation;
    }
}

size_t MemoryQueriesPending(DWORD processId) {
    return Retired().Pending([&](const TWorkerHeader& h) {
        return processId == 0 || static_cast<const TMemoryBlock&>(h).ProcessId == processId;
    });
}

}  // namespace swt
