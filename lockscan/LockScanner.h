// A lock scanner kept from one pass to the next. Between passes most handles in the system are
// the same handles naming the same files, so a steady scan reuses what earlier scans learnt about
// handles that are still there and names only the new ones, while a full scan names every handle.
//
// What is kept: the identity of each file handle whose name matched none of the targets (owning
// process id, the process's creation time from the process table, handle value, object address,
// granted access, type). A steady scan names again every handle not kept so: new handles, handles
// that matched a target (a holder is named afresh in the scan that reports it, so a process that
// let go gets no row) and handles whose name could not be had (a query that failed or ran late).
// When a steady scan finds no holder for one of its paths, the same call names the handles it
// reused as well, so "no holder" always comes from a scan that named every handle. Every
// kFullScanEvery-th steady scan is a full one: where the table gives no object addresses (Wine), a
// process that closes a file and opens a target at the same handle value with the same access
// looks like the handle it closed; such a holder is reported at most kFullScanEvery - 1 passes late
// (12 s at a pass every 3 s), and at once when no other holder of that path is known.
#pragma once
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "lockscan/LockingProcesses.h"
#include "lockscan/ProcessLockList.h"

namespace swt {

enum class TScanDepth {
    Full,    // every file handle named afresh
    Steady,  // handles known from earlier scans are not named again unless they match a target
};

// One steady scan in this many is done as a full one (see the bound above).
constexpr unsigned kFullScanEvery = 5;

// What the last scan did (for tests and the benchmark).
struct TLockScanStats {
    bool Full = false;          // every file handle was named in this call
    bool Cancelled = false;     // the scan was ended early: its result means nothing
    size_t FileHandles = 0;     // file handles of the table that were named or reused
    size_t NamedHandles = 0;    // of them named in this call (own, or duplicated from their owner)
    size_t ReusedHandles = 0;   // of them taken as known to name no target
    size_t UnnamedHandles = 0;  // named without an answer: named again next time
    size_t KeptHandles = 0;     // identities kept for the next scan
    double HandlePartMs = 0;    // reading the handle and process tables, naming the handles
    double ProcessPartMs = 0;   // modules and mapped views
};

class TLockScanner {
public:
    TLockScanner();
    ~TLockScanner();
    TLockScanner(const TLockScanner&) = delete;
    TLockScanner& operator=(const TLockScanner&) = delete;

    // The holders of each path, element i exactly as GetLockingProcessesBatch gives it for a scan
    // that names every handle: none when nobody holds paths[i]. cancel, when given, is read by the
    // scan between batches of handles and between processes; once it is set the scan ends early,
    // forgets what it learnt and returns no holder for any path: its result means nothing. Raises
    // like GetLockingProcessesBatch. Not for two threads at once.
    std::vector<std::unique_ptr<TProcessLockList>> Scan(const std::vector<std::wstring>& paths,
                                                        TScanDepth depth = TScanDepth::Steady,
                                                        const std::atomic<bool>* cancel = nullptr,
                                                        const TLockScanOptions& options = {});

    const TLockScanStats& LastScan() const { return last_; }

private:
    struct THandleKey {
        ULONG_PTR ProcessId;
        LONGLONG ProcessCreateTime;
        ULONG_PTR HandleValue;
        ULONG_PTR Object;
        ULONG GrantedAccess;
        USHORT ObjectTypeIndex;
        bool operator==(const THandleKey&) const = default;
    };
    struct THandleKeyHash {
        size_t operator()(const THandleKey& k) const noexcept;
    };
    void Forget();

    // Handles known to name none of knownTargets_ (upper-case distinct names, sorted).
    std::unordered_set<THandleKey, THandleKeyHash> known_;
    std::vector<std::wstring> knownTargets_;
    int32_t knownFileType_ = -1;
    bool knownExtended_ = false;
    unsigned steadySinceFull_ = 0;  // steady scans that reused since the last full one
    TLockScanStats last_;
};

}  // namespace swt
