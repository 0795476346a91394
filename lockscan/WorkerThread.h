// The worker a query that may hang runs on: a block shared with the scan, a thread that answers the
// request in it, the wait with a limit on each of its system calls, and the list of workers given
// up while their call still runs. The name query and the memory query are built on it.
#pragma once
#include <windows.h>
#include <cstddef>
#include <functional>
#include <mutex>
#include <vector>

namespace swt {

struct TWorkerHeader;
// Worker side: answers the request in the block. System calls only: no heap, no C runtime, no
// exceptions, since the thread may be given up (or terminated) in the middle of it.
using TWorkerAnswerFn = void (*)(TWorkerHeader* block) noexcept;
// Scan side: releases what the block owns besides itself, once no worker uses it any more.
using TWorkerReleaseFn = void (*)(TWorkerHeader* block) noexcept;

// The start of every worker block, the hand-over. A query's block derives from it and adds its
// request and answer fields. Blocks are allocated with VirtualAlloc (zero-filled) and released
// only after the worker thread has ended; the worker reads and writes nothing else.
struct TWorkerHeader {
    // Set by the scan.
    TWorkerAnswerFn Answer;
    TWorkerReleaseFn Release;  // or nullptr
    LONG Seq;                  // number of the request
    volatile LONG Quit;        // reused worker: end instead of answering; stop between calls
    HANDLE Request;            // auto-reset: a request (or the end) is waiting
    HANDLE Done;               // auto-reset: the worker is ready, or its answer is written
    // Written by the worker.
    volatile LONG Answered;    // number of the last request answered
    volatile DWORD StartTick;  // when the current system call began
    volatile LONG64 Progress;  // (request number << 32) | index of the call under way
};

// Worker side: call number index of the current request begins now; the limit counts from here.
void BeginWorkerCall(TWorkerHeader* block, ULONG index) noexcept;

// Workers given up while a call of theirs still ran, with their blocks, kept until the thread has
// ended. One list per kind of query.
class TRetiredWorkers {
public:
    // Takes the thread handle and the block. Without room in the list the block is given up for
    // good rather than freed under a thread that might still write it.
    void Add(HANDLE thread, TWorkerHeader* block);
    // Releases the blocks of the threads that have ended.
    void Reap();
    // Workers whose thread has not ended yet (and whose block match is true for, when given).
    size_t Pending(const std::function<bool(const TWorkerHeader&)>& match = {});

private:
    struct TEntry {
        HANDLE Thread;
        TWorkerHeader* Block;
    };
    void ReapLocked();
    std::mutex lock_;
    std::vector<TEntry> entries_;
};

// How a wait for an answer ended.
enum class TWorkerWait {
    Answered,
    Late,        // one system call has run longer than the limit
    NotStarted,  // the worker has not even begun after a long while
    Failed       // the wait itself failed
};

// One worker at a time, for one scan. The reused worker takes request after request through the
// block's events; a worker given up goes to the retired list with its block, and the next request
// gets a new worker and a new block.
class TWorkerThread {
public:
    TWorkerThread(size_t blockBytes, TWorkerAnswerFn answer, TWorkerReleaseFn release, DWORD limitMs,
                  TRetiredWorkers& retired);
    ~TWorkerThread();
    TWorkerThread(const TWorkerThread&) = delete;
    TWorkerThread& operator=(const TWorkerThread&) = delete;

    // The block the next request is written into (allocated on first use); nullptr without memory.
    TWorkerHeader* Block();
    bool Running() const { return thread_ != nullptr; }
    // Starts the reused worker unless it runs; false when it cannot be started.
    bool Start();
    // Hands the request written into the block to the reused worker and waits for its answer
    // (the one to this very request: a stray signal is waited past). Late etc.: *index is the
    // index of the call under way.
    TWorkerWait Ask(size_t* index);
    // Runs the request written into the block on a thread of its own, which ends with it.
    TWorkerWait AskOnOwnThread(size_t* index);
    // Gives the worker up: terminated where terminate, else told to end once its call returns.
    // Its block stays with it in the retired list.
    void Retire(bool terminate);
    // Ends an idle reused worker; one that does not leave in time is retired.
    void Stop();

    unsigned WorkersStarted() const { return workersStarted_; }

private:
    TWorkerWait AwaitAnswer(DWORD firstResult, HANDLE signal, bool reused, LONG seq, size_t* index);

    size_t blockBytes_;
    TWorkerAnswerFn answer_;
    TWorkerReleaseFn release_;
    DWORD limitMs_;
    TRetiredWorkers& retired_;
    TWorkerHeader* block_ = nullptr;
    HANDLE thread_ = nullptr;
    LONG seq_ = 0;
    unsigned workersStarted_ = 0;
};

}  // namespace swt
