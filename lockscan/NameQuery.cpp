#include "lockscan/NameQuery.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

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

}  // namespace

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

// The block a worker shares with the scan. Allocated with VirtualAlloc (zero-filled) and released
// only after the worker thread has ended. The worker reads and writes nothing else.
struct TWorkerBlock {
    // Set by the scan before it signals Request.
    NtQueryObjectFn QueryObject;
    NtQueryInformationFileFn QueryInformationFile;
    LONG Kind;
    LONG Seq;            // number of the request
    volatile LONG Quit;  // reused worker: end instead of answering
    HANDLE Request;      // auto-reset: a request (or the end) is waiting
    HANDLE Done;         // auto-reset: the worker is ready, or its answer is written
    HANDLE Handle;       // kNameOne
    ULONG Count;         // kMatchBatch
    HANDLE Batch[kBatchMax];
    const TWorkerTargets* Targets;  // kMatchBatch; owned by the block
    // Written by the worker.
    volatile LONG Answered;     // number of the last request answered
    volatile DWORD StartTick;   // when the current query began
    volatile LONG64 Progress;   // (request number << 32) | index of the query under way
    NTSTATUS_T Status;          // kNameOne
    const WCHAR* Name;          // kNameOne: points into one of the buffers
    ULONG NameBytes;
    LONG Which[kBatchMax];      // kMatchBatch: the distinct target the name equals, or -1
    // Answer buffers, large enough for any name the system can give (a UNICODE_STRING holds at
    // most 65534 bytes).
    alignas(8) BYTE ObjectBuffer[sizeof(RawUnicodeString) + 0x10000];
    alignas(8) BYTE FileBuffer[sizeof(ULONG) + 0x10000];
};

namespace {

std::atomic<TNameQueryMode> g_mode{TNameQueryMode::ReusedWorker};
std::atomic<TLateWorker> g_lateWorker{DefaultLateWorker()};

constexpr DWORD kWorkerStackBytes = 64 * 1024;
// A worker that has not begun a request after this long counts as late as well.
constexpr DWORD kStartLimitMs = 10000;
// How long the end of a scan waits for an idle worker to leave.
constexpr DWORD kStopWaitMs = 2000;

// --- Worker side: system calls only, no heap, no C runtime, no exceptions. ---

void Begin(TWorkerBlock* b, ULONG index) noexcept {
    b->StartTick = ::GetTickCount();
    ::InterlockedExchange64(&b->Progress, (static_cast<LONG64>(b->Seq) << 32) | index);
}

// Names b->Handle into b->Status, b->Name, b->NameBytes.
void NameHandle(TWorkerBlock* b, HANDLE handle) noexcept {
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
    if (!b->Name || name < first || name + b->NameBytes > first + sizeof(TWorkerBlock)) {
        b->Name = nullptr;
        b->NameBytes = 0;
    }
    b->Status = kStatusSuccess;
}

// The name up to its first zero, looked up among the targets: the distinct target it equals
// exactly, or -1.
LONG FindTarget(const TWorkerBlock* b) noexcept {
    const TWorkerTargets* t = b->Targets;
    if (b->Status != kStatusSuccess || !b->Name || !t || t->NameCount == 0) return -1;
    ULONG chars = b->NameBytes / sizeof(WCHAR);
    for (ULONG i = 0; i < chars; ++i)
        if (b->Name[i] == 0) {
            chars = i;
            break;
        }
    if (chars == 0) return -1;
    const BYTE* base = reinterpret_cast<const BYTE*>(t);
    const auto* slots = reinterpret_cast<const LONG*>(base + t->SlotsOffset);
    const auto* names = reinterpret_cast<const TWorkerTargetName*>(base + t->NamesOffset);
    const auto* pool = reinterpret_cast<const WCHAR*>(base + t->PoolOffset);
    const ULONG hash = HashNameUnits(b->Name, chars);
    for (ULONG probe = 0, i = hash & t->SlotMask; probe <= t->SlotMask; ++probe, i = (i + 1) & t->SlotMask) {
        const LONG slot = slots[i];
        if (slot == 0) return -1;
        const TWorkerTargetName& n = names[slot - 1];
        if (n.Hash != hash || n.Chars != chars) continue;
        const WCHAR* text = pool + n.CharOffset;
        ULONG k = 0;
        while (k < chars && text[k] == b->Name[k]) ++k;
        if (k == chars) return slot - 1;
    }
    return -1;
}

void Answer(TWorkerBlock* b) noexcept {
    if (b->Kind == kMatchBatch) {
        for (ULONG i = 0; i < b->Count && !b->Quit; ++i) {
            Begin(b, i);
            NameHandle(b, b->Batch[i]);
            b->Which[i] = FindTarget(b);
        }
    } else {
        Begin(b, 0);
        NameHandle(b, b->Handle);
    }
}

// Hand-overs signal and then wait in two calls, never with SignalObjectAndWait: under Wine that
// call signals a second time when its wait is interrupted by a system APC (another process asking
// about this one's memory does that), and a second Done would pass an old answer off as the next.
DWORD WINAPI ReusedWorkerMain(LPVOID param) noexcept {
    auto* b = static_cast<TWorkerBlock*>(param);
    // Tell the scan the worker is up.
    ::SetEvent(b->Done);
    for (;;) {
        if (::WaitForSingleObject(b->Request, INFINITE) != WAIT_OBJECT_0) return 1;
        if (b->Quit) return 0;
        // A request is answered once, whatever wakes the worker.
        const LONG seq = b->Seq;
        if (seq == b->Answered) continue;
        Answer(b);
        ::InterlockedExchange(&b->Answered, seq);
        ::SetEvent(b->Done);
    }
}

DWORD WINAPI SingleQueryWorkerMain(LPVOID param) noexcept {
    auto* b = static_cast<TWorkerBlock*>(param);
    Answer(b);
    return static_cast<DWORD>(b->Status);
}

// --- Scan side. ---

TWorkerBlock* NewBlock() {
    void* mem = ::VirtualAlloc(nullptr, sizeof(TWorkerBlock), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!mem) return nullptr;
    auto* b = static_cast<TWorkerBlock*>(mem);
    b->Request = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    b->Done = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!b->Request || !b->Done) {
        if (b->Request) ::CloseHandle(b->Request);
        if (b->Done) ::CloseHandle(b->Done);
        ::VirtualFree(mem, 0, MEM_RELEASE);
        return nullptr;
    }
    return b;
}

void FreeBlock(TWorkerBlock* b) {
    if (!b) return;
    if (b->Targets) ::VirtualFree(const_cast<TWorkerTargets*>(b->Targets), 0, MEM_RELEASE);
    ::CloseHandle(b->Request);
    ::CloseHandle(b->Done);
    ::VirtualFree(b, 0, MEM_RELEASE);
}

// Workers that were terminated or left to run, with their blocks, kept until the thread has ended.
struct TRetiredWorker {
    HANDLE Thread;
    TWorkerBlock* Block;
};
std::mutex g_retiredLock;
std::vector<TRetiredWorker>& Retired() {
    static std::vector<TRetiredWorker> retired;
    return retired;
}

void ReapRetired() {
    std::lock_guard<std::mutex> lock(g_retiredLock);
    auto& list = Retired();
    for (size_t i = 0; i < list.size();) {
        if (::WaitForSingleObject(list[i].Thread, 0) == WAIT_OBJECT_0) {
            ::CloseHandle(list[i].Thread);
            FreeBlock(list[i].Block);
            list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            ++i;
        }
    }
}

void Retire(HANDLE thread, TWorkerBlock* block) {
    {
        std::lock_guard<std::mutex> lock(g_retiredLock);
        try {
            Retired().push_back({thread, block});
            thread = nullptr;
        } catch (...) {
        }
    }
    // Without room in the list the block is given up for good rather than freed under a thread
    // that might still write it.
    if (thread) ::CloseHandle(thread);
}

std::wstring NameText(const TWorkerBlock* b) {
    if (b->Status != kStatusSuccess || !b->Name) return {};
    std::wstring text(b->Name, b->NameBytes / sizeof(WCHAR));
    size_t zero = text.find(L'\0');
    if (zero != std::wstring::npos) text.resize(zero);
    return text;
}

void Prepare(TWorkerBlock* b, LONG kind, LONG seq) {
    b->QueryObject = Nt().QueryObject;
    b->QueryInformationFile = Nt().QueryInformationFile;
    b->Kind = kind;
    b->Status = kStatusNotImplemented;
    b->Name = nullptr;
    b->Seq = seq;
}

// Builds the worker's table of targets' distinct names and puts it into the block in place of
// the old one (the worker is idle between requests). False when there is no memory for it.
bool SetTargets(TWorkerBlock* b, const TTargetSet& targets) {
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
    if (b->Targets) ::VirtualFree(const_cast<TWorkerTargets*>(b->Targets), 0, MEM_RELEASE);
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

TNameQuery::TNameQuery(TNameQueryMode mode) : mode_(mode) { ReapRetired(); }

TNameQuery::~TNameQuery() {
    StopWorker();
    FreeBlock(block_);
    ReapRetired();
}

TNameQuery::TWait TNameQuery::AwaitAnswer(DWORD result, LONG seq, size_t* item) {
    const DWORD startWait = ::GetTickCount();
    *item = 0;
    const bool reused = mode_ == TNameQueryMode::ReusedWorker;
    HANDLE done = reused ? block_->Done : thread_;
    for (;;) {
        // Only the answer to this very request counts; a stray signal is waited past.
        if (result == WAIT_OBJECT_0 && (!reused || block_->Answered == seq)) return TWait::Answered;
        if (result != WAIT_OBJECT_0 && result != WAIT_TIMEOUT) return TWait::Failed;
        LONG64 progress = block_->Progress;
        DWORD began = block_->StartTick;
        DWORD next;
        if (static_cast<LONG>(progress >> 32) != seq) {
            // The worker has not begun yet (start-up, or no processor for it): that is not the
            // query's time.
            if (::GetTickCount() - startWait >= kStartLimitMs) return TWait::NotStarted;
            next = kNameQueryTimeoutMs;
        } else {
            *item = static_cast<size_t>(progress & 0xFFFFFFFF);
            DWORD ran = ::GetTickCount() - began;
            if (ran >= kNameQueryTimeoutMs) return TWait::Late;
            next = kNameQueryTimeoutMs - ran;
        }
        result = ::WaitForSingleObject(done, next);
    }
}

void TNameQuery::RetireWorker(TWait why) {
    if (why == TWait::Late) ++lateQueries_;
    if (why == TWait::Late && GetLateWorker() == TLateWorker::Terminate) {
        // End the worker where it hangs.
        ::TerminateThread(thread_, 0);
    } else if (mode_ == TNameQueryMode::ReusedWorker) {
        // Left to run: it ends once its query returns (a one-query worker ends then anyway).
        // Also where the worker has not begun (it may still be starting, inside the loader) or
        // the wait itself failed.
        block_->Quit = 1;
        ::SetEvent(block_->Request);
    }
    // The next request gets a new worker; this one's block is kept until its thread has ended.
    Retire(thread_, block_);
    thread_ = nullptr;
    block_ = nullptr;
    targetsSerial_ = 0;
}

bool TNameQuery::StartWorker() {
    if (!block_) block_ = NewBlock();
    if (!block_) return false;
    thread_ = ::CreateThread(nullptr, kWorkerStackBytes, ReusedWorkerMain, block_, STACK_SIZE_PARAM_IS_A_RESERVATION,
                             nullptr);
    if (!thread_) return false;
    ++workersStarted_;
    // The worker signals once it is up; its start-up (thread attach of the loaded modules) is
    // never cut short.
    HANDLE waits[2] = {block_->Done, thread_};
    DWORD r = ::WaitForMultipleObjects(2, waits, FALSE, kStartLimitMs);
    if (r == WAIT_OBJECT_0) return true;
    // Did not come up: left to end by itself once it gets to its first wait.
    RetireWorker(TWait::NotStarted);
    return false;
}

void TNameQuery::StopWorker() {
    if (!thread_) return;
    block_->Quit = 1;
    ::SetEvent(block_->Request);
    if (::WaitForSingleObject(thread_, kStopWaitMs) == WAIT_OBJECT_0) {
        ::CloseHandle(thread_);
    } else {
        Retire(thread_, block_);
        block_ = nullptr;
        targetsSerial_ = 0;
    }
    thread_ = nullptr;
}

std::wstring TNameQuery::Name(HANDLE handle) {
    if (!Nt().QueryObject || !Nt().QueryInformationFile) return {};
    return mode_ == TNameQueryMode::ReusedWorker ? QueryReused(handle) : QueryOwnThread(handle);
}

std::wstring TNameQuery::QueryReused(HANDLE handle) {
    if (!thread_ && !StartWorker()) return {};
    LONG seq = ++seq_;
    Prepare(block_, kNameOne, seq);
    block_->Handle = handle;
    ::SetEvent(block_->Request);
    DWORD r = ::WaitForSingleObject(block_->Done, kNameQueryTimeoutMs);
    size_t item = 0;
    TWait w = AwaitAnswer(r, seq, &item);
    if (w == TWait::Answered) return NameText(block_);
    RetireWorker(w);
    return {};
}

std::wstring TNameQuery::QueryOwnThread(HANDLE handle) {
    if (!block_) block_ = NewBlock();
    if (!block_) return {};
    LONG seq = ++seq_;
    Prepare(block_, kNameOne, seq);
    block_->Handle = handle;
    thread_ = ::CreateThread(nullptr, kWorkerStackBytes, SingleQueryWorkerMain, block_,
                             STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!thread_) return {};
    ++workersStarted_;
    DWORD r = ::WaitForSingleObject(thread_, kNameQueryTimeoutMs);
    size_t item = 0;
    TWait w = AwaitAnswer(r, seq, &item);
    if (w == TWait::Answered) {
        DWORD code = 1;
        ::GetExitCodeThread(thread_, &code);
        ::CloseHandle(thread_);
        thread_ = nullptr;
        return code == 0 ? NameText(block_) : std::wstring();
    }
    RetireWorker(w);
    return {};
}

void TNameQuery::MatchBatch(const HANDLE* handles, size_t count, int32_t* which, size_t* handled) {
    LONG seq = ++seq_;
    Prepare(block_, kMatchBatch, seq);
    block_->Count = static_cast<ULONG>(count);
    std::copy(handles, handles + count, block_->Batch);
    ::SetEvent(block_->Request);
    DWORD r = ::WaitForSingleObject(block_->Done, kNameQueryTimeoutMs);
    size_t item = 0;
    TWait w = AwaitAnswer(r, seq, &item);
    if (w == TWait::Answered) {
        for (size_t i = 0; i < count; ++i) which[i] = block_->Which[i];
        *handled = count;
        return;
    }
    // The queries before the late one have their answers; the late one is no match; the rest go
    // to the next worker.
    item = std::min(item, count - 1);
    for (size_t i = 0; i < item; ++i) which[i] = block_->Which[i];
    which[item] = -1;
    *handled = item + 1;
    RetireWorker(w);
}

void TNameQuery::Match(const HANDLE* handles, size_t count, const TTargetSet& targets, int32_t* which) {
    std::fill(which, which + count, -1);
    if (targets.Empty() || !Nt().QueryObject || !Nt().QueryInformationFile) return;
    if (mode_ == TNameQueryMode::ThreadPerQuery) {
        for (size_t i = 0; i < count; ++i) {
            std::wstring name = Name(handles[i]);
            if (!name.empty()) which[i] = targets.FindExact(name);
        }
        return;
    }
    size_t done = 0;
    while (done < count) {
        if (!thread_ && !StartWorker()) return;
        if (targetsSerial_ != targets.Serial()) {
            if (!SetTargets(block_, targets)) return;
            targetsSerial_ = targets.Serial();
        }
        size_t handled = 0;
        MatchBatch(handles + done, std::min(kBatchMax, count - done), which + done, &handled);
        done += handled;
    }
}

TInlineNameQuery::TInlineNameQuery() = default;
TInlineNameQuery::~TInlineNameQuery() { FreeBlock(block_); }

std::wstring TInlineNameQuery::Name(HANDLE handle) {
    if (!Nt().QueryObject || !Nt().QueryInformationFile) return {};
    if (!block_) block_ = NewBlock();
    if (!block_) return {};
    Prepare(block_, kNameOne, 1);
    block_->Handle = handle;
    Answer(block_);
    return NameText(block_);
}

std::wstring GetHandleFileName(HANDLE handle) {
    TNameQuery query;
    return query.Name(handle);
}

std::wstring GetHandleFileNameInline(HANDLE handle) {
    TInlineNameQuery query;
    return query.Name(handle);
}

size_t LateWorkersPending() {
    ReapRetired();
    std::lock_guard<std::mutex> lock(g_retiredLock);
    return Retired().size();
}

}  // namespace swt
