#include "lockscan/WorkerThread.h"

namespace swt {

namespace {

constexpr DWORD kWorkerStackBytes = 64 * 1024;
// A worker that has not begun a request after this long counts as given up as well.
constexpr DWORD kStartLimitMs = 10000;
// How long the end of a scan waits for an idle worker to leave.
constexpr DWORD kStopWaitMs = 2000;

// --- Worker side: system calls only, no heap, no C runtime, no exceptions. ---

// Hand-overs signal and then wait in two calls, never with SignalObjectAndWait: under Wine that
// call signals a second time when its wait is interrupted by a system APC (another process asking
// about this one's memory does that), and a second Done would pass an old answer off as the next.
DWORD WINAPI ReusedWorkerMain(LPVOID param) noexcept {
    auto* b = static_cast<TWorkerHeader*>(param);
    // Tell the scan the worker is up.
    ::SetEvent(b->Done);
    for (;;) {
        if (::WaitForSingleObject(b->Request, INFINITE) != WAIT_OBJECT_0) return 1;
        if (b->Quit) return 0;
        // A request is answered once, whatever wakes the worker.
        const LONG seq = b->Seq;
        if (seq == b->Answered) continue;
        b->Answer(b);
        ::InterlockedExchange(&b->Answered, seq);
        ::SetEvent(b->Done);
    }
}

DWORD WINAPI SingleRequestWorkerMain(LPVOID param) noexcept {
    auto* b = static_cast<TWorkerHeader*>(param);
    b->Answer(b);
    ::InterlockedExchange(&b->Answered, b->Seq);
    return 0;
}

// --- Scan side. ---

TWorkerHeader* NewBlock(size_t bytes, TWorkerAnswerFn answer, TWorkerReleaseFn release) {
    void* mem = ::VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!mem) return nullptr;
    auto* b = static_cast<TWorkerHeader*>(mem);
    b->Answer = answer;
    b->Release = release;
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

void FreeBlock(TWorkerHeader* b) {
    if (!b) return;
    if (b->Release) b->Release(b);
    ::CloseHandle(b->Request);
    ::CloseHandle(b->Done);
    ::VirtualFree(b, 0, MEM_RELEASE);
}

}  // namespace

void BeginWorkerCall(TWorkerHeader* b, ULONG index) noexcept {
    b->StartTick = ::GetTickCount();
    ::InterlockedExchange64(&b->Progress, (static_cast<LONG64>(b->Seq) << 32) | index);
}

void TRetiredWorkers::Add(HANDLE thread, TWorkerHeader* block) {
    {
        std::lock_guard<std::mutex> lock(lock_);
        try {
            entries_.push_back({thread, block});
            thread = nullptr;
        } catch (...) {
        }
    }
    if (thread) ::CloseHandle(thread);
}

void TRetiredWorkers::ReapLocked() {
    for (size_t i = 0; i < entries_.size();) {
        if (::WaitForSingleObject(entries_[i].Thread, 0) == WAIT_OBJECT_0) {
            ::CloseHandle(entries_[i].Thread);
            FreeBlock(entries_[i].Block);
            entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            ++i;
        }
    }
}

void TRetiredWorkers::Reap() {
    std::lock_guard<std::mutex> lock(lock_);
    ReapLocked();
}

size_t TRetiredWorkers::Pending(const std::function<bool(const TWorkerHeader&)>& match) {
    std::lock_guard<std::mutex> lock(lock_);
    ReapLocked();
    size_t count = 0;
    for (const TEntry& e : entries_)
        if (!match || match(*e.Block)) ++count;
    return count;
}

TWorkerThread::TWorkerThread(size_t blockBytes, TWorkerAnswerFn answer, TWorkerReleaseFn release, DWORD limitMs,
                             TRetiredWorkers& retired)
    : blockBytes_(blockBytes), answer_(answer), release_(release), limitMs_(limitMs), retired_(retired) {
    retired_.Reap();
}

TWorkerThread::~TWorkerThread() {
    Stop();
    FreeBlock(block_);
    retired_.Reap();
}

TWorkerHeader* TWorkerThread::Block() {
    if (!block_) block_ = NewBlock(blockBytes_, answer_, release_);
    return block_;
}

bool TWorkerThread::Start() {
    if (thread_) return true;
    if (!Block()) return false;
    block_->Quit = 0;
    thread_ = ::CreateThread(nullptr, kWorkerStackBytes, ReusedWorkerMain, block_, STACK_SIZE_PARAM_IS_A_RESERVATION,
                             nullptr);
    if (!thread_) return false;
    ++workersStarted_;
    // The worker signals once it is up; its start-up (thread attach of the loaded modules) is
    // never cut short.
    HANDLE waits[2] = {block_->Done, thread_};
    if (::WaitForMultipleObjects(2, waits, FALSE, kStartLimitMs) == WAIT_OBJECT_0) return true;
    // Did not come up: left to end by itself once it gets to its first wait.
    Retire(false);
    return false;
}

TWorkerWait TWorkerThread::AwaitAnswer(DWORD result, HANDLE signal, bool reused, LONG seq, size_t* index) {
    const DWORD startWait = ::GetTickCount();
    *index = 0;
    for (;;) {
        // Only the answer to this very request counts; a stray signal is waited past.
        if (result == WAIT_OBJECT_0 && (!reused || block_->Answered == seq)) return TWorkerWait::Answered;
        if (result != WAIT_OBJECT_0 && result != WAIT_TIMEOUT) return TWorkerWait::Failed;
        LONG64 progress = block_->Progress;
        DWORD began = block_->StartTick;
        DWORD next;
        if (static_cast<LONG>(progress >> 32) != seq) {
            // The worker has not begun yet (start-up, or no processor for it): that is not the
            // call's time.
            if (::GetTickCount() - startWait >= kStartLimitMs) return TWorkerWait::NotStarted;
            next = limitMs_;
        } else {
            *index = static_cast<size_t>(progress & 0xFFFFFFFF);
            DWORD ran = ::GetTickCount() - began;
            if (ran >= limitMs_) return TWorkerWait::Late;
            next = limitMs_ - ran;
        }
        result = ::WaitForSingleObject(signal, next);
    }
}

TWorkerWait TWorkerThread::Ask(size_t* index) {
    *index = 0;
    if (!thread_) return TWorkerWait::NotStarted;
    const LONG seq = ++seq_;
    block_->Seq = seq;
    ::SetEvent(block_->Request);
    DWORD r = ::WaitForSingleObject(block_->Done, limitMs_);
    return AwaitAnswer(r, block_->Done, true, seq, index);
}

TWorkerWait TWorkerThread::AskOnOwnThread(size_t* index) {
    *index = 0;
    if (!Block()) return TWorkerWait::Failed;
    const LONG seq = ++seq_;
    block_->Seq = seq;
    thread_ = ::CreateThread(nullptr, kWorkerStackBytes, SingleRequestWorkerMain, block_,
                             STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!thread_) return TWorkerWait::Failed;
    ++workersStarted_;
    DWORD r = ::WaitForSingleObject(thread_, limitMs_);
    TWorkerWait w = AwaitAnswer(r, thread_, false, seq, index);
    if (w == TWorkerWait::Answered) {
        ::CloseHandle(thread_);
        thread_ = nullptr;
    }
    return w;
}

void TWorkerThread::Retire(bool terminate) {
    if (!block_) return;
    if (terminate && thread_) {
        // End the worker where it hangs.
        ::TerminateThread(thread_, 0);
    } else {
        // Left to run: it ends once its call returns (a one-request worker ends then anyway).
        block_->Quit = 1;
        ::SetEvent(block_->Request);
    }
    if (thread_) {
        retired_.Add(thread_, block_);
    } else {
        FreeBlock(block_);
    }
    thread_ = nullptr;
    block_ = nullptr;
}

void TWorkerThread::Stop() {
    if (!thread_) return;
    block_->Quit = 1;
    ::SetEvent(block_->Request);
    if (::WaitForSingleObject(thread_, kStopWaitMs) == WAIT_OBJECT_0) {
        ::CloseHandle(thread_);
        thread_ = nullptr;
    } else {
        Retire(false);
    }
}

}  // namespace swt
