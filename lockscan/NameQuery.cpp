#include "lockscan/NameQuery.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

#include "lockscan/NtApi.h"

namespace swt {

namespace {

constexpr size_t kBatchMax = 64;
constexpr size_t kTargetMax = 32768;
constexpr LONG kNameOne = 0;     // name Handle, leave the name in the block
constexpr LONG kMatchBatch = 1;  // compare the names of Batch[0..Count) with Target

}  // namespace

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
    ULONG TargetChars;
    WCHAR Target[kTargetMax];
    // Written by the worker.
    volatile DWORD StartTick;   // when the current query began
    volatile LONG64 Progress;   // (request number << 32) | index of the query under way
    NTSTATUS_T Status;          // kNameOne
    const WCHAR* Name;          // kNameOne: points into one of the buffers
    ULONG NameBytes;
    BYTE Verdict[kBatchMax];    // kMatchBatch: 1 when the name equals Target
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

// The name up to its first zero, compared with the target.
bool NameIsTarget(const TWorkerBlock* b) noexcept {
    if (b->Status != kStatusSuccess || !b->Name) return false;
    ULONG chars = b->NameBytes / sizeof(WCHAR);
    for (ULONG i = 0; i < chars; ++i)
        if (b->Name[i] == 0) chars = i;
    if (chars == 0 || chars != b->TargetChars) return false;
    for (ULONG i = 0; i < chars; ++i)
        if (b->Name[i] != b->Target[i]) return false;
    return true;
}

void Answer(TWorkerBlock* b) noexcept {
    if (b->Kind == kMatchBatch) {
        for (ULONG i = 0; i < b->Count && !b->Quit; ++i) {
            Begin(b, i);
            NameHandle(b, b->Batch[i]);
            b->Verdict[i] = NameIsTarget(b) ? 1 : 0;
        }
    } else {
        Begin(b, 0);
        NameHandle(b, b->Handle);
    }
}

DWORD WINAPI ReusedWorkerMain(LPVOID param) noexcept {
    auto* b = static_cast<TWorkerBlock*>(param);
    // Tell the scan the worker is up, then wait for the first request.
    if (::SignalObjectAndWait(b->Done, b->Request, INFINITE, FALSE) != WAIT_OBJECT_0) return 1;
    while (!b->Quit) {
        Answer(b);
        if (::SignalObjectAndWait(b->Done, b->Request, INFINITE, FALSE) != WAIT_OBJECT_0) return 1;
    }
    return 0;
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

void SetTarget(TWorkerBlock* b, const std::wstring& target) {
    if (target.size() >= kTargetMax) {
        b->TargetChars = static_cast<ULONG>(kTargetMax);  // longer than any name: matches nothing
        return;
    }
    std::copy(target.begin(), target.end(), b->Target);
    b->TargetChars = static_cast<ULONG>(target.size());
}

}  // namespace

void SetNameQueryMode(TNameQueryMode mode) { g_mode = mode; }
TNameQueryMode GetNameQueryMode() { return g_mode; }

TLateWorker DefaultLateWorker() {
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    bool wine = ntdll && ::GetProcAddress(ntdll, "wine_get_version");
    return wine ? TLateWorker::LeaveToFinish : TLateWorker::Terminate;
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
    HANDLE done = mode_ == TNameQueryMode::ReusedWorker ? block_->Done : thread_;
    while (result == WAIT_TIMEOUT) {
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
    return result == WAIT_OBJECT_0 ? TWait::Answered : TWait::Failed;
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
    target_.clear();
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
    DWORD r = ::SignalObjectAndWait(block_->Request, block_->Done, kNameQueryTimeoutMs, FALSE);
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

void TNameQuery::MatchBatch(const HANDLE* handles, size_t count, bool* matches, size_t* handled) {
    LONG seq = ++seq_;
    Prepare(block_, kMatchBatch, seq);
    block_->Count = static_cast<ULONG>(count);
    std::copy(handles, handles + count, block_->Batch);
    DWORD r = ::SignalObjectAndWait(block_->Request, block_->Done, kNameQueryTimeoutMs, FALSE);
    size_t item = 0;
    TWait w = AwaitAnswer(r, seq, &item);
    if (w == TWait::Answered) {
        for (size_t i = 0; i < count; ++i) matches[i] = block_->Verdict[i] != 0;
        *handled = count;
        return;
    }
    // The queries before the late one have their answers; the late one is no match; the rest go
    // to the next worker.
    item = std::min(item, count - 1);
    for (size_t i = 0; i < item; ++i) matches[i] = block_->Verdict[i] != 0;
    matches[item] = false;
    *handled = item + 1;
    RetireWorker(w);
}

void TNameQuery::Match(const HANDLE* handles, size_t count, const std::wstring& target, bool* matches) {
    std::fill(matches, matches + count, false);
    if (target.empty() || !Nt().QueryObject || !Nt().QueryInformationFile) return;
    if (mode_ == TNameQueryMode::ThreadPerQuery) {
        for (size_t i = 0; i < count; ++i) matches[i] = Name(handles[i]) == target;
        return;
    }
    size_t done = 0;
    while (done < count) {
        if (!thread_ && !StartWorker()) return;
        if (target_ != target) {
            SetTarget(block_, target);
            target_ = target;
        }
        size_t handled = 0;
        MatchBatch(handles + done, std::min(kBatchMax, count - done), matches + done, &handled);
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
