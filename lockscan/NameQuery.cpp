#include "lockscan/NameQuery.h"

#include <algorithm>
#include <atomic>

#include "lockscan/NtApi.h"

namespace swt {

namespace {

constexpr size_t kBatchMax = kNameQueryBatch;
constexpr LONG kNameOne = 0;     // name Handle, leave the name in the block
constexpr LONG kMatchBatch = 1;  // look the names of Batch[0..Count) up among the targets

// One distinct target name in the worker's table.
struct TWorkerTargetName {
    ULONG Hash;
    ULONG Chars;
    ULONG CharOffset;  // into the character pool
};

// The target names as the worker looks them up: an open-addressing table built by the scan in
// one VirtualAlloc block, read-only for the worker, freed together with the worker's block.
//   [TWorkerTargets][Slots: LONG x (SlotMask + 1)][Names: TWorkerTargetName x NameCount][pool]
// A slot holds 1 + the index of a distinct name, or 0 when free.
struct TWorkerTargets {
    ULONG SlotMask;
    ULONG NameCount;
    SIZE_T SlotsOffset;
    SIZE_T NamesOffset;
    SIZE_T PoolOffset;
    SIZE_T Bytes;
};

// The block the name worker shares with the scan (see TWorkerHeader).
struct TNameBlock : TWorkerHeader {
    // Set by the scan before each request.
    NtQueryObjectFn QueryObject;
    NtQueryInformationFileFn QueryInformationFile;
    LONG Kind;
    HANDLE Handle;       // kNameOne
    ULONG Count;         // kMatchBatch
    HANDLE Batch[kBatchMax];
    const TWorkerTargets* Targets;  // kMatchBatch; owned by the block
    // Written by the worker.
    NTSTATUS_T Status;          // kNameOne
    const WCHAR* Name;          // kNameOne: points into one of the buffers
    ULONG NameBytes;
    LONG Which[kBatchMax];      // kMatchBatch: the distinct target the name equals, or -1
    // Answer buffers, large enough for any name the system can give (a UNICODE_STRING holds at
    // most 65534 bytes).
    alignas(8) BYTE ObjectBuffer[sizeof(RawUnicodeString) + 0x10000];
    alignas(8) BYTE FileBuffer[sizeof(ULONG) + 0x10000];
    // kMatchBatch: the name in upper case, as the targets are kept.
    WCHAR UpperName[0x8000];
};

std::atomic<TNameQueryMode> g_mode{TNameQueryMode::ReusedWorker};
std::atomic<TLateWorker> g_lateWorker{DefaultLateWorker()};

// --- Worker side: system calls only, no heap, no C runtime, no exceptions. ---

// Names b->Handle into b->Status, b->Name, b->NameBytes.
void NameHandle(TNameBlock* b, HANDLE handle) noexcept {
    b->Name = nullptr;
    b->NameBytes = 0;
    RawIoStatusBlock io;
    auto* fileName = reinterpret_cast<RawFileNameInformation*>(b->FileBuffer);
    fileName->FileNameLength = 0;
    NTSTATUS_T s = b->QueryInformationFile(handle, &io, fileName, sizeof b->FileBuffer, kFileNameInformation);
    if (s != kStatusSuccess) {
        b->Status = s;
        return;
    }
    s = b->QueryObject(handle, kObjectNameInformation, b->ObjectBuffer, sizeof b->ObjectBuffer, nullptr);
    if (s == kStatusSuccess) {
        const auto* objectName = reinterpret_cast<const RawUnicodeString*>(b->ObjectBuffer);
        b->Name = objectName->Buffer;
        b->NameBytes = objectName->Length;
    } else {
        // No object name: the path within the volume is all there is.
        b->Name = fileName->FileName;
        b->NameBytes = fileName->FileNameLength;
    }
    // A name reaching outside the buffers is no name.
    const BYTE* first = reinterpret_cast<const BYTE*>(b);
    const BYTE* name = reinterpret_cast<const BYTE*>(b->Name);
    if (!b->Name || name < first || name + b->NameBytes > first + sizeof(TNameBlock)) {
        b->Name = nullptr;
        b->NameBytes = 0;
    }
    b->Status = kStatusSuccess;
}

// The name up to its first zero, looked up among the targets: the distinct target it equals
// without regard to case (both in upper case by the file system's rules), or -1.
LONG FindTarget(TNameBlock* b) noexcept {
    const TWorkerTargets* t = b->Targets;
    if (b->Status != kStatusSuccess || !b->Name) return kUnnamed;
    if (!t || t->NameCount == 0) return -1;
    ULONG chars = b->NameBytes / sizeof(WCHAR);
    for (ULONG i = 0; i < chars; ++i)
        if (b->Name[i] == 0) {
            chars = i;
            break;
        }
    if (chars == 0 || chars > ARRAYSIZE(b->UpperName)) return kUnnamed;
    if (!MapFileNameUpper(b->Name, chars, b->UpperName)) return kUnnamed;
    const WCHAR* upper = b->UpperName;
    const BYTE* base = reinterpret_cast<const BYTE*>(t);
    const auto* slots = reinterpret_cast<const LONG*>(base + t->SlotsOffset);
    const auto* names = reinterpret_cast<const TWorkerTargetName*>(base + t->NamesOffset);
    const auto* pool = reinterpret_cast<const WCHAR*>(base + t->PoolOffset);
    const ULONG hash = HashNameUnits(upper, chars);
    for (ULONG probe = 0, i = hash & t->SlotMask; probe <= t->SlotMask; ++probe, i = (i + 1) & t->SlotMask) {
        const LONG slot = slots[i];
        if (slot == 0) return -1;
        const TWorkerTargetName& n = names[slot - 1];
        if (n.Hash != hash || n.Chars != chars) continue;
        const WCHAR* text = pool + n.CharOffset;
        ULONG k = 0;
        while (k < chars && text[k] == upper[k]) ++k;
        if (k == chars) return slot - 1;
    }
    return -1;
}

void Answer(TWorkerHeader* header) noexcept {
    auto* b = static_cast<TNameBlock*>(header);
    if (b->Kind == kMatchBatch) {
        for (ULONG i = 0; i < b->Count && !b->Quit; ++i) {
            BeginWorkerCall(b, i);
            NameHandle(b, b->Batch[i]);
            b->Which[i] = FindTarget(b);
        }
    } else {
        BeginWorkerCall(b, 0);
        NameHandle(b, b->Handle);
    }
}

// --- Scan side. ---

void ReleaseTargets(TWorkerHeader* header) noexcept {
    auto* b = static_cast<TNameBlock*>(header);
    if (b->Targets) ::VirtualFree(const_cast<TWorkerTargets*>(b->Targets), 0, MEM_RELEASE);
    b->Targets = nullptr;
}

// Name workers that ran late and whose thread has not ended yet.
TRetiredWorkers& Retired() {
    static TRetiredWorkers retired;
    return retired;
}

TNameBlock* NameBlockOf(TWorkerThread& worker) { return static_cast<TNameBlock*>(worker.Block()); }

std::wstring NameText(const TNameBlock* b) {
    if (b->Status != kStatusSuccess || !b->Name) return {};
    std::wstring text(b->Name, b->NameBytes / sizeof(WCHAR));
    size_t zero = text.find(L'\0');
    if (zero != std::wstring::npos) text.resize(zero);
    return text;
}

void Prepare(TNameBlock* b, LONG kind) {
    b->QueryObject = Nt().QueryObject;
    b->QueryInformationFile = Nt().QueryInformationFile;
    b->Kind = kind;
    b->Status = kStatusNotImplemented;
    b->Name = nullptr;
}

// Builds the worker's table of targets' distinct names and puts it into the block in place of
// the old one (the worker is idle between requests). False when there is no memory for it.
bool SetTargets(TNameBlock* b, const TTargetSet& targets) {
    const size_t count = targets.DistinctCount();
    size_t slots = 8;
    while (slots < count * 2) slots *= 2;
    size_t chars = 0;
    for (size_t d = 0; d < count; ++d) chars += targets.Distinct(d).size();
    auto align = [](size_t n) { return (n + 7) & ~size_t{7}; };
    const size_t slotsOffset = align(sizeof(TWorkerTargets));
    const size_t namesOffset = align(slotsOffset + slots * sizeof(LONG));
    const size_t poolOffset = align(namesOffset + count * sizeof(TWorkerTargetName));
    const size_t bytes = poolOffset + chars * sizeof(WCHAR);
    if (count >= 0x40000000 || chars >= 0x40000000) return false;
    void* mem = ::VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!mem) return false;
    auto* base = static_cast<BYTE*>(mem);
    auto* t = static_cast<TWorkerTargets*>(mem);
    t->SlotMask = static_cast<ULONG>(slots - 1);
    t->NameCount = static_cast<ULONG>(count);
    t->SlotsOffset = slotsOffset;
    t->NamesOffset = namesOffset;
    t->PoolOffset = poolOffset;
    t->Bytes = bytes;
    auto* slotArray = reinterpret_cast<LONG*>(base + slotsOffset);  // zero-filled: all free
    auto* names = reinterpret_cast<TWorkerTargetName*>(base + namesOffset);
    auto* pool = reinterpret_cast<WCHAR*>(base + poolOffset);
    size_t at = 0;
    for (size_t d = 0; d < count; ++d) {
        const std::wstring& name = targets.Distinct(d);
        std::copy(name.begin(), name.end(), pool + at);
        const ULONG hash = HashNameUnits(name.data(), name.size());
        names[d] = {hash, static_cast<ULONG>(name.size()), static_cast<ULONG>(at)};
        at += name.size();
        ULONG i = hash & t->SlotMask;
        while (slotArray[i] != 0) i = (i + 1) & t->SlotMask;
        slotArray[i] = static_cast<LONG>(d + 1);
    }
    ReleaseTargets(b);
    b->Targets = t;
    return true;
}

}  // namespace

void SetNameQueryMode(TNameQueryMode mode) { g_mode = mode; }
TNameQueryMode GetNameQueryMode() { return g_mode; }

TLateWorker DefaultLateWorker() {
    return RunsUnderWine() ? TLateWorker::LeaveToFinish : TLateWorker::Terminate;
}
void SetLateWorker(TLateWorker handling) { g_lateWorker = handling; }
TLateWorker GetLateWorker() { return g_lateWorker; }

TNameQuery::TNameQuery(TNameQueryMode mode)
    : mode_(mode), worker_(sizeof(TNameBlock), Answer, ReleaseTargets, kNameQueryTimeoutMs, Retired()) {}

TNameQuery::~TNameQuery() = default;

void TNameQuery::GiveUp(TWorkerWait why) {
    if (why == TWorkerWait::Late) ++lateQueries_;
    // The next request gets a new worker; this one's block is kept until its thread has ended.
    worker_.Retire(why == TWorkerWait::Late && GetLateWorker() == TLateWorker::Terminate);
}

std::wstring TNameQuery::Name(HANDLE handle) {
    if (!Nt().QueryObject || !Nt().QueryInformationFile) return {};
    // The reused worker is started once and then handed query after query; otherwise each query
    // gets a thread of its own.
    const bool reused = mode_ == TNameQueryMode::ReusedWorker;
    if (reused && !worker_.Start()) return {};
    TNameBlock* b = NameBlockOf(worker_);
    if (!b) return {};
    Prepare(b, kNameOne);
    b->Handle = handle;
    size_t item = 0;
    const TWorkerWait w = reused ? worker_.Ask(&item) : worker_.AskOnOwnThread(&item);
    if (w == TWorkerWait::Answered) return NameText(b);
    GiveUp(w);
    return {};
}

void TNameQuery::MatchBatch(const HANDLE* handles, size_t count, int32_t* which, size_t* handled) {
    TNameBlock* b = NameBlockOf(worker_);
    Prepare(b, kMatchBatch);
    b->Count = static_cast<ULONG>(count);
    std::copy(handles, handles + count, b->Batch);
    size_t item = 0;
    TWorkerWait w = worker_.Ask(&item);
    if (w == TWorkerWait::Answered) {
        for (size_t i = 0; i < count; ++i) which[i] = b->Which[i];
        *handled = count;
        return;
    }
    // The queries before the late one have their answers; the late one is no match; the rest go
    // to the next worker.
    item = std::min(item, count - 1);
    for (size_t i = 0; i < item; ++i) which[i] = b->Which[i];
    which[item] = kUnnamed;
    *handled = item + 1;
    GiveUp(w);
}

void TNameQuery::Match(const HANDLE* handles, size_t count, const TTargetSet& targets, int32_t* which) {
    std::fill(which, which + count, -1);
    if (targets.Empty()) return;
    // Until a worker has answered, no name has been had.
    std::fill(which, which + count, kUnnamed);
    if (!Nt().QueryObject || !Nt().QueryInformationFile) return;
    if (mode_ == TNameQueryMode::ThreadPerQuery) {
        for (size_t i = 0; i < count; ++i) {
            std::wstring name = Name(handles[i]);
            if (!name.empty()) which[i] = targets.FindDistinct(name);
        }
        return;
    }
    size_t done = 0;
    while (done < count) {
        if (!worker_.Start()) return;
        TNameBlock* b = NameBlockOf(worker_);
        // A new worker's block has no table yet.
        if (!b->Targets || targetsSerial_ != targets.Serial()) {
            if (!SetTargets(b, targets)) return;
            targetsSerial_ = targets.Serial();
        }
        size_t handled = 0;
        MatchBatch(handles + done, std::min(kBatchMax, count - done), which + done, &handled);
        done += handled;
    }
}

TInlineNameQuery::TInlineNameQuery()
    : blockHolder_(sizeof(TNameBlock), Answer, ReleaseTargets, kNameQueryTimeoutMs, Retired()) {}
TInlineNameQuery::~TInlineNameQuery() = default;

std::wstring TInlineNameQuery::Name(HANDLE handle) {
    if (!Nt().QueryObject || !Nt().QueryInformationFile) return {};
    TNameBlock* b = NameBlockOf(blockHolder_);
    if (!b) return {};
    Prepare(b, kNameOne);
    b->Handle = handle;
    Answer(b);
    return NameText(b);
}

std::wstring GetHandleFileName(HANDLE handle) {
    TNameQuery query;
    return query.Name(handle);
}

std::wstring GetHandleFileNameInline(HANDLE handle) {
    TInlineNameQuery query;
    return query.Name(handle);
}

size_t LateWorkersPending() { return Retired().Pending(); }

}  // namespace swt
