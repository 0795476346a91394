// The name query of a single handle: asked on a worker thread so that a query that hangs (a
// pipe with a pending read, a stale network file) costs at most 100 ms and the scan goes on.
#pragma once
#include <windows.h>
#include <cstdint>
#include <string>

#include "lockscan/TargetSet.h"
#include "lockscan/WorkerThread.h"

namespace swt {

constexpr DWORD kNameQueryTimeoutMs = 100;
// Handles handed to the reused worker at once. Each hand-over waits for the other thread to be
// scheduled, which on a busy machine costs far more than the queries of a batch: fewer, larger
// batches keep the scan's time close to that of the queries themselves.
constexpr size_t kNameQueryBatch = 512;
// TNameQuery::Match's answer for a handle whose name could not be had.
constexpr int32_t kUnnamed = -2;

enum class TNameQueryMode {
    ReusedWorker,    // one worker per scan, handed each query through events
    ThreadPerQuery,  // a new worker thread for every query
};
// Process-wide choice for the scans that follow; ReusedWorker unless changed.
void SetNameQueryMode(TNameQueryMode mode);
TNameQueryMode GetNameQueryMode();

// What becomes of a worker whose query runs late. Either way the scan stops waiting for it,
// goes on with a new worker, and keeps the late worker's block until its thread has ended.
enum class TLateWorker {
    Terminate,     // TerminateThread: the worker makes system calls only, which Windows ends cleanly
    LeaveToFinish  // told to end once its query returns
};
// Terminate on Windows. Under Wine the native calls run user-mode code that takes locks of its
// own, and a thread terminated inside them leaves the whole process hanging at its next file
// call, so there a late worker is left to finish.
TLateWorker DefaultLateWorker();
void SetLateWorker(TLateWorker handling);
TLateWorker GetLateWorker();

// Names handles of the own process, one query at a time. Each query runs on a worker thread and
// is waited for at most 100 ms of its own running time; a late worker is given up (see
// TLateWorker) and the next query gets a new one. The worker touches no heap and no C runtime,
// and its block stays allocated until the thread has really ended.
class TNameQuery {
public:
    explicit TNameQuery(TNameQueryMode mode = GetNameQueryMode());
    ~TNameQuery();
    TNameQuery(const TNameQuery&) = delete;
    TNameQuery& operator=(const TNameQuery&) = delete;

    // The object name of a file handle (device form, e.g. \Device\HarddiskVolume2\Dir\File.ext),
    // or its path within the volume when the object name cannot be had; empty when the handle is
    // no file, the query fails or it does not end in time.
    std::wstring Name(HANDLE handle);
    // For each of count handles of the own process: the distinct target name (numbered as in
    // targets) that its name equals without regard to letter case, -1 when its name equals none,
    // or kUnnamed when no name was had (the query failed, ran late or could not be asked): such a
    // handle matches nothing now, but may name a target when asked again. The reused worker takes the handles in batches and
    // looks each name up in a hash table of the targets on its side, so that a batch costs one
    // hand-over however many targets there are.
    void Match(const HANDLE* handles, size_t count, const TTargetSet& targets, int32_t* which);

    unsigned WorkersStarted() const { return worker_.WorkersStarted(); }
    unsigned LateQueries() const { return lateQueries_; }

private:
    void GiveUp(TWorkerWait why);
    void MatchBatch(const HANDLE* handles, size_t count, int32_t* which, size_t* handled);

    TNameQueryMode mode_;
    TWorkerThread worker_;
    uint64_t targetsSerial_ = 0;  // the target set whose table the worker's block holds
    unsigned lateQueries_ = 0;
};

// The same query on the calling thread: no worker, no time limit. For measuring what the worker costs.
class TInlineNameQuery {
public:
    TInlineNameQuery();
    ~TInlineNameQuery();
    TInlineNameQuery(const TInlineNameQuery&) = delete;
    TInlineNameQuery& operator=(const TInlineNameQuery&) = delete;
    std::wstring Name(HANDLE handle);

private:
    TWorkerThread blockHolder_;  // only its block is used: the query runs on the calling thread
};

// One query on its own worker (the primitive the scans are built from).
std::wstring GetHandleFileName(HANDLE handle);
// The same query on the calling thread, without a worker and without a time limit.
std::wstring GetHandleFileNameInline(HANDLE handle);
// Workers that were terminated or left to run and whose thread has not ended yet; their blocks
// are released once it has.
size_t LateWorkersPending();

}  // namespace swt
