#include "lockscan/NameQuery.h"

#include <atomic>
#include <mutex>
#include <vector>

#include "lockscan/NtApi.h"

namespace swt {

// The block a worker shares with the scan. Allocated with VirtualAlloc (zero-filled) and released
// only after the worker thread has ended. The worker reads and writes nothing else.
struct TWorkerBlock {
    // Set by the scan before it signals Request.
    HANDLE Handle;
    NtQueryObjectFn QueryObject;
    NtQueryInformationFileFn QueryInformationFile;
    volatile LONG Seq;   // number of the query asked for
    volatile LONG Quit;  // reused worker: end instead of querying
    HANDLE Request;      // auto-reset: a query (or the end) is waiting
    HANDLE Done;         // auto-reset: the worker is ready, or its answer is written
    // Written by the worker.
    volatile LONG Picked;      // number of the query the worker has begun
    volatile DWORD StartTick;  // when it began
    NTSTATUS_T Status;
    const WCHAR* Name;
    ULONG NameBytes;
    // Answer buffers, large enough for any name the system can give (a UNICODE_STRING holds at
    // most 65534 bytes).
    alignas(8) BYTE ObjectBuffer[sizeof(RawUnicodeString) + 0x10000];
    alignas(8) BYTE FileBuffer[sizeof(ULONG) + 0x10000];
};

namespace {

std::atomic<TNameQueryMode> g_mode{TNameQueryMode::ReusedWorker};

constexpr DWORD kWorkerStackBytes = 64 * 1024;
// A worker that has not begun a query after this long counts as late as well.
constexpr DWORD kStartLimitMs = 10000;
// How long the end of a scan waits for an idle worker to leave.
constexpr DWORD kStopWaitMs = 2000;

// --- Worker side: system calls only, no heap, no C runtime, no exceptions. ---

void RunQuery(TWorkerBlock* b) noexcept {
    b->StartTick = ::GetTickCount();
    ::InterlockedExchange(&b->Picked, b->Seq);
    b->Name = nullptr;
    b->NameBytes = 0;
    RawIoStatusBlock io;
    auto* fileName = reinterpret_cast<RawFileNameInformation*>(b->FileBuffer);
    fileName->FileNameLength = 0;
    NTSTATUS_T s = b->QueryInformationFile(b->Handle, &io, fileName, sizeof b->FileBuffer, kFileNameInformation);
    if (s != kStatusSuccess) {
        b->Status = s;
        return;
    }
    s = b->QueryObject(b->Handle, kObjectNameInformation, b->ObjectBuffer, sizeof b->ObjectBuffer, nullptr);
    if (s == kStatusSuccess) {
        const auto* objectName = reinterpret_cast<const RawUnicodeString*>(b->ObjectBuffer);
        b->Name = objectName->Buffer;
        b->NameBytes = objectName->Length;
    } else {
        // No object name: the path within the volume is all there is.
        b->Name = fileName->FileName;
        b->NameBytes = fileName->FileNameLength;
    }
    b->Status = kStatusSuccess;
}

DWORD WINAPI ReusedWorkerMain(LPVOID param) noexcept {
    auto* b = static_cast<TWorkerBlock*>(param);
    // Tell the scan the worker is up, then wait for the first query.
    if (::SignalObjectAndWait(b->Done, b->Request, INFINITE, FALSE) != WAIT_OBJECT_0) return 1;
    while (!b->Quit) {
        RunQuery(b);
        if (::SignalObjectAndWait(b->Done, b->Request, INFINITE, FALSE) != WAIT_OBJECT_0) return 1;
    }
    return 0;
}

DWORD WINAPI SingleQueryWorkerMain(LPVOID param) noexcept {
    auto* b = static_cast<TWorkerBlock*>(param);
    RunQuery(b);
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

std::wstring Answer(const TWorkerBlock* b) {
    if (b->Status != kStatusSuccess || !b->Name) return {};
    const auto* first = reinterpret_cast<const BYTE*>(b);
    const auto* last = first + sizeof(TWorkerBlock);
    const auto* name = reinterpret_cast<const BYTE*>(b->Name);
    size_t bytes = b->NameBytes & ~size_t{1};
    if (name < first || name > last || bytes > static_cast<size_t>(last - name)) return {};
    std::wstring text(b->Name, bytes / sizeof(WCHAR));
    size_t zero = text.find(L'\0');
    if (zero != std::wstring::npos) text.resize(zero);
    return text;
}

void PrepareQuery(TWorkerBlock* b, HANDLE handle, LONG seq) {
    b->Handle = handle;
    b->QueryObject = Nt().QueryObject;
    b->QueryInformationFile = Nt().QueryInformationFile;
    b->Status = kStatusNotImplemented;
    b->Seq = seq;
}

}  // namespace

void SetNameQueryMode(TNameQueryMode mode) { g_mode = mode; }
TNameQueryMode GetNameQueryMode() { return g_mode; }

TNameQuery::TNameQuery(TNameQueryMode mode) : mode_(mode) { ReapRetired(); }

TNameQuery::~TNameQuery() {
    StopWorker();
    FreeBlock(block_);
    ReapRetired();
}

std::wstring TNameQuery::Name(HANDLE handle) {
    if (!Nt().QueryObject || !Nt().QueryInformationFile) return {};
    return mode_ == TNameQueryMode::ReusedWorker ? QueryReused(handle) : QueryOwnThread(handle);
}

bool TNameQuery::AwaitAnswer(DWORD result, LONG seq, bool* failed) {
    DWORD startWait = ::GetTickCount();
    *failed = false;
    while (result == WAIT_TIMEOUT) {
        DWORD next;
        if (block_->Picked != seq) {
            // The worker has not begun yet (start-up, or no processor for it): that is not the
            // query's time.
            if (::GetTickCount() - startWait >= kStartLimitMs) return false;
            next = kNameQueryTimeoutMs;
        } else {
            DWORD ran = ::GetTickCount() - block_->StartTick;
            if (ran >= kNameQueryTimeoutMs) return false;
            next = kNameQueryTimeoutMs - ran;
        }
        result = ::WaitForSingleObject(mode_ == TNameQueryMode::ReusedWorker ? block_->Done : thread_, next);
    }
    if (result == WAIT_OBJECT_0) return true;
    *failed = true;
    return false;
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
    block_->Quit = 1;
    ::SetEvent(block_->Request);
    Retire(thread_, block_);
    thread_ = nullptr;
    block_ = nullptr;
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

std::wstring TNameQuery::QueryReused(HANDLE handle) {
    if (!thread_ && !StartWorker()) return {};
    LONG seq = ++seq_;
    PrepareQuery(block_, handle, seq);
    DWORD r = ::SignalObjectAndWait(block_->Request, block_->Done, kNameQueryTimeoutMs, FALSE);
    bool failed = false;
    if (AwaitAnswer(r, seq, &failed)) return Answer(block_);
    if (!failed) {
        // Late: end the worker where it hangs; the next query starts a new one.
        ::TerminateThread(thread_, 0);
        ++lateQueries_;
    } else {
        // The wait itself failed: the worker is left to run and ends after this query.
        block_->Quit = 1;
        ::SetEvent(block_->Request);
    }
    Retire(thread_, block_);
    thread_ = nullptr;
    block_ = nullptr;
    return {};
}

std::wstring TNameQuery::QueryOwnThread(HANDLE handle) {
    if (!block_) block_ = NewBlock();
    if (!block_) return {};
    LONG seq = ++seq_;
    PrepareQuery(block_, handle, seq);
    thread_ = ::CreateThread(nullptr, kWorkerStackBytes, SingleQueryWorkerMain, block_,
                             STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!thread_) return {};
    ++workersStarted_;
    DWORD r = ::WaitForSingleObject(thread_, kNameQueryTimeoutMs);
    bool failed = false;
    if (AwaitAnswer(r, seq, &failed)) {
        DWORD code = 1;
        ::GetExitCodeThread(thread_, &code);
        ::CloseHandle(thread_);
        thread_ = nullptr;
        return code == 0 ? Answer(block_) : std::wstring();
    }
    if (!failed) {
        ::TerminateThread(thread_, 0);
        ++lateQueries_;
    }
    Retire(thread_, block_);
    thread_ = nullptr;
    block_ = nullptr;
    return {};
}

std::wstring GetHandleFileName(HANDLE handle) {
    TNameQuery query;
    return query.Name(handle);
}

TInlineNameQuery::TInlineNameQuery() = default;
TInlineNameQuery::~TInlineNameQuery() { FreeBlock(block_); }

std::wstring TInlineNameQuery::Name(HANDLE handle) {
    if (!Nt().QueryObject || !Nt().QueryInformationFile) return {};
    if (!block_) block_ = NewBlock();
    if (!block_) return {};
    PrepareQuery(block_, handle, 1);
    RunQuery(block_);
    return Answer(block_);
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
