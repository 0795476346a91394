#include "updater/ScanThread.h"

#include <atomic>
#include <mutex>

#include "lockscan/LockScanner.h"

namespace swt {

// What the run and its scan threads share. A thread holds it through its own shared_ptr, so a
// thread left running when the run goes still finds it.
struct TScanShared {
    TLockScanner Scanner;
    std::atomic<bool> Cancel{false};
    std::mutex Lock;
    // Under Lock.
    TScanResult Result;
    bool Ready = false;
};

namespace {

// One scan's request, owned by its thread.
struct TScanRequest {
    std::shared_ptr<TScanShared> Shared;
    HWND Window;
    std::vector<std::wstring> Paths;
};

DWORD WINAPI ScanEntry(void* param) {
    std::unique_ptr<TScanRequest> request(static_cast<TScanRequest*>(param));
    TScanShared& shared = *request->Shared;
    TScanResult result;
    // The scan raises swt::Error when the handle table cannot be read (and any step may run out of
    // memory): the error goes to the window's thread, which shows it as a pass's error.
    try {
        result.Locks = shared.Scanner.Scan(request->Paths, TScanDepth::Steady, &shared.Cancel);
    } catch (...) {
        result.Locks.clear();
        result.Error = std::current_exception();
    }
    std::lock_guard<std::mutex> lock(shared.Lock);
    // Given up: the run has gone on without this result, and the window may be gone.
    if (shared.Cancel) return 0;
    shared.Result = std::move(result);
    shared.Ready = true;
    ::PostMessageW(request->Window, TScanThread::kScanDone, 0, 0);  // own window
    return 0;
}

}  // namespace

TScanThread::TScanThread() : shared_(std::make_shared<TScanShared>()) {}

TScanThread::~TScanThread() { Stop(); }

bool TScanThread::Start(HWND window, std::vector<std::wstring> paths) {
    if (stopped_) return false;
    {
        std::lock_guard<std::mutex> lock(shared_->Lock);
        shared_->Ready = false;
        shared_->Result = {};
    }
    auto request = std::make_unique<TScanRequest>(TScanRequest{shared_, window, std::move(paths)});
    // The last scan's thread may still be on its way out after posting; it uses nothing any more.
    UniqueHandleT thread(::CreateThread(nullptr, 0, ScanEntry, request.get(), 0, nullptr));
    if (!thread) return false;
    request.release();  // the thread's now
    thread_ = std::move(thread);
    return true;
}

std::vector<std::unique_ptr<TProcessLockList>> TScanThread::ScanHere(const std::vector<std::wstring>& paths) {
    return shared_->Scanner.Scan(paths, TScanDepth::Steady);
}

TScanResult TScanThread::Take() {
    std::lock_guard<std::mutex> lock(shared_->Lock);
    if (!shared_->Ready) return {};
    shared_->Ready = false;
    return std::exchange(shared_->Result, {});
}

void TScanThread::Stop() noexcept {
    if (stopped_) return;
    stopped_ = true;
    {
        // Under the lock: a thread about to post either has posted already or never will.
        std::lock_guard<std::mutex> lock(shared_->Lock);
        shared_->Cancel = true;
        shared_->Ready = false;
    }
    if (thread_) ::WaitForSingleObject(thread_.get(), kStopWaitMs);
}

TLockScanStats TScanThread::LastScan() const { return shared_->Scanner.LastScan(); }

bool TScanThread::Running() const { return thread_ && ::WaitForSingleObject(thread_.get(), 0) == WAIT_TIMEOUT; }

}  // namespace swt
