// Questions about another process's memory (its regions, the files mapped into it), asked on a
// worker thread with a time limit. Under Wine the other process answers them itself and the asker
// waits without a limit: a process that never does (seen: one in the middle of ending) would hold
// the scan, and the window thread that runs it, forever.
#pragma once
#include <windows.h>
#include <cstddef>
#include <functional>
#include <string_view>

#include "lockscan/WorkerThread.h"

namespace swt {

// Longest one system call of the worker may run before its process is given up for the scan.
// A legitimate cross-process question takes well over 100 ms on a loaded machine.
constexpr DWORD kMemoryQueryTimeoutMs = 1000;

// A mapped allocation the walk came across, in address order.
struct TMappedAllocation {
    // The mapped file's name in device form; empty when no file is behind it (shared memory) or
    // the system will not say. Valid until the next request.
    std::wstring_view Name;
    size_t Regions;  // regions walked so far, up to and with this allocation's first region
};

// Counters of one walk.
struct TMemoryWalk {
    size_t Regions = 0;
    size_t Allocations = 0;  // mapped allocations met (and named)
    bool Answered = true;    // false: the process is not asked, or ran late
};

struct TMemoryBlock;

enum class TMemoryQueryMode {
    Worker,  // on the worker, with the time limit
    Inline   // on the calling thread, without a limit: for measuring what the worker costs
};

// One per scan, asking about one process at a time. A worker whose system call runs longer than
// kMemoryQueryTimeoutMs gives its process up for the rest of the scan; the worker is left to
// finish (never terminated: under Wine a thread ended inside ntdll leaves its locks held) and is
// kept in a retired list until its thread has ended. While it is pending, its process (process id
// and creation time) is not asked again, by this scan or a later one, so that a process that never
// answers costs one stuck thread, however often the scan runs.
class TMemoryQuery {
public:
    explicit TMemoryQuery(TMemoryQueryMode mode = TMemoryQueryMode::Worker);
    ~TMemoryQuery();
    TMemoryQuery(const TMemoryQuery&) = delete;
    TMemoryQuery& operator=(const TMemoryQuery&) = delete;

    // Makes process the one the next requests ask about (the worker gets its own handle to it).
    // False when it is not to be asked: an earlier question to it has not returned yet.
    bool Select(HANDLE process);

    // Names the files mapped at bases[0..count) of the selected process: visit(i, name) in order,
    // name in device form, empty when no file is mapped there or the system will not say; stops
    // when visit returns false. One hand-over per batch of bases. False when the process is not
    // asked or runs late (what was visited stays visited).
    bool MappedFileNames(const HMODULE* bases, size_t count,
                         const std::function<bool(size_t, std::wstring_view)>& visit);

    // Walks the selected process's address space upwards from the lowest application address,
    // skipping each image as a whole, and visits every mapped allocation once, until visit
    // returns false. The walk ends at the top of the address space, when the system stops
    // answering, when an answer would not move it forward, or after regionLimit regions. One
    // hand-over per process, more only when the worker's name pool fills up.
    TMemoryWalk WalkMappedAllocations(size_t regionLimit, const std::function<bool(const TMappedAllocation&)>& visit);

    unsigned WorkersStarted() const { return worker_.WorkersStarted(); }
    unsigned LateQueries() const { return lateQueries_; }
    // Processes passed over because an earlier question to them was still pending.
    unsigned ProcessesPassedOver() const { return passedOver_; }

private:
    TMemoryBlock* Ready();
    bool Ask();

    TMemoryQueryMode mode_;
    TWorkerThread worker_;
    ULONG_PTR lowest_ = 0, top_ = 0;
    HANDLE selected_ = nullptr;  // the caller's handle, borrowed
    DWORD selectedId_ = 0;
    FILETIME selectedCreated_{};
    bool givenUp_ = true;
    unsigned lateQueries_ = 0;
    unsigned passedOver_ = 0;
};

// Memory workers that were given up and whose thread has not ended yet (at most one per process
// that never answered); of process processId only, unless it is 0.
size_t MemoryQueriesPending(DWORD processId = 0);

}  // namespace swt
