#include "updater/UpdateRun.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "lockscan/FileInUse_Tools.h"
#include "base/Error.h"
#include "base/SystemErrorText.h"
#include "base/ScopeGuard.h"
#include "support/StartProgram.h"
#include "updater/ForeignWindow.h"
#include "updater/FileReplace.h"
#include "updater/JobSection.h"
#include "updater/UpdateJob.h"
#include "updater/UpdateLog.h"

namespace swt {

namespace {

// The log line of an entry that cannot be put in place for a reason that is no lock.
std::wstring FailureLine(const std::wstring& source, const std::wstring& dest, DWORD error) {
    return L"FEHLER COPY " + source + L" -> " + dest + L": " + SystemErrorText(error);
}

std::wstring ErrorText(std::exception_ptr e) {
    try {
        std::rethrow_exception(e);
    } catch (const Error& error) {
        return error.message();
    } catch (const std::exception& error) {
        std::string what = error.what();
        return std::wstring(what.begin(), what.end());
    } catch (...) {
        return L"Unbekannter Fehler";
    }
}

}  // namespace

TUpdateRun::TUpdateRun(std::vector<std::wstring> args, TUpdateHost* host) : args_(std::move(args)), host_(host) {}

void TUpdateRun::FormCreate() {
    ::GetLocalTime(&FStartTime);
    FStartTick = ::GetTickCount64();
    FRestartCaller = false;
    FCallerProcessId = 0;
    TJobSection job = JobSectionOf(args_);
    FSection = std::move(job.Section);
    FBaseKey = std::move(job.BaseKey);
    FToDoList.reset();
    record_.Claim(FSection);
    // An executable of the updater that an earlier run replaced while it ran from it.
    RemoveSetAsideFiles(OwnExecutablePath());
}

HWND TUpdateRun::FindCallerWindow(bool haveClassAndCaption, const std::wstring& cls,
                                  const std::wstring& caption) const {
    // Only a window of the calling program itself: another instance of it may show the same class
    // and caption. Without them, or when none of its windows has them, its first visible, enabled
    // top-level window. The updater never takes its own.
    if (FCallerProcessId == ::GetCurrentProcessId()) return nullptr;
    if (haveClassAndCaption)
        if (HWND w = FindProcessWindow(FCallerProcessId, cls, caption)) return w;
    return FindProcessWindow(FCallerProcessId);
}

void TUpdateRun::ReadUpdateJob() {
    FToDoList = std::make_unique<TToDoList>();
    FProcessList = std::make_unique<TProcessList>(this);

    TUpdateJobKey key(FBaseKey, FSection);
    const TUpdateJob job = ReadJob(key);
    TakeJob(job);
    // What is left is kept first thing, before the first scan and before the job goes, so that a
    // run that dies from here on is finished later.
    if (!job.Failure) KeepRecord(job);
    // The entries read before a value that cannot be read stay; the next pass works on them.
    if (job.Failure) std::rethrow_exception(job.Failure);
    // A record being resumed stays until its entries are in place.
    if (job.Resumed) return;

    key.EraseSection();
    Log(L"RegistryErased: " + FBaseKey + L"\\Update");
}

void TUpdateRun::TakeJob(const TUpdateJob& job) {
    if (!job.LogFileRead) return;
    FLogFile = job.LogFile;
    Log(L"RegistryRead " + FBaseKey + L"\\Update");
    // A record kept of an interrupted run: no calling program to close or restart any more, and
    // the sources gone since were put in place before.
    if (job.Resumed) Log(kResumeLine + FSection);
    FCallerProcessId = job.Resumed ? 0 : job.CallerProcessId;
    if (job.CallerRead && !job.Resumed)
        FCallerWindow = FCallerProcessId != 0
                            ? FindCallerWindow(job.HaveCallerClassAndCaption, job.CallerClass, job.CallerCaption)
                            : job.CallerFormHandle;
    FRunApp = job.RunApp;
    // A source that is missing (or a folder) is said once.
    if (!job.Resumed)
        for (const TSkippedEntry& skipped : job.Skipped) Log(FailureLine(skipped.Source, skipped.Dest, skipped.Error));
    for (const TJobEntry& entry : job.Entries)
        TUpdateItem::Create(FToDoList.get(), entry.Source, entry.Dest, false).FNumber = entry.Number;
}

void TUpdateRun::KeepRecord(const TUpdateJob& job) {
    std::vector<TRecordEntry> left;
    for (size_t i = 0; i < FToDoList->Count(); ++i) {
        const TUpdateItem& entry = (*FToDoList)[i];
        left.push_back({entry.FNumber, entry.FSource, entry.FDest});
    }
    if (!job.Resumed) {
        record_.Write(FSection, FLogFile, FRunApp, left);
        return;
    }
    std::vector<int> kept, skipped;
    for (const TRecordEntry& e : left) kept.push_back(e.Number);
    for (const TSkippedEntry& e : job.Skipped) skipped.push_back(e.Number);
    record_.Adopt(FSection, kept, skipped);
}

void TUpdateRun::WriteLog(int level, const std::wstring& category, const std::wstring& text) const noexcept {
    if (FLogFile.empty()) return;
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    // Logging is a side operation: a line that cannot be built (out of memory) is left out.
    try {
        AppendLogLine(FLogFile, FormatLogLine(now, UserTimeSeparator(), category, level, text));
    } catch (...) {
    }
}

void TUpdateRun::Timer1Timer() {
    if (closed_) return;
    if (::GetTickCount64() - FStartTick > TimeLimitMs) {
        if (host_) host_->StopTimer();
        if (host_) host_->CloseWindow();
        else FormClose();
        return;
    }
    if (host_ && !host_->WindowVisible()) return;
    // A tick, "aktualisieren" or "Alle beenden" handled while a pass waits for its scan or lets
    // messages run: that pass goes on and the timer restarts at its end.
    if (inPass_) return;
    if (host_) host_->StopTimer();
    scheduled_ = 0;
    RunPassStep([this] {
        if (!FToDoList) ReadUpdateJob();
        UpdateFilesExecute();
    });
}

void TUpdateRun::TickEnds(std::exception_ptr error) {
    if (host_ && !closed_) host_->StartTimer(scheduled_ ? scheduled_ : kPassIntervalMs);
    scheduled_ = 0;
    // The timer keeps running while the error is on screen: a later error waits for no box of its
    // own, so boxes never pile up.
    if (error && host_ && !showingError_) {
        showingError_ = true;
        ScopeExit shown([this] { showingError_ = false; });
        host_->ShowError(ErrorText(error));
    }
}

void TUpdateRun::UpdateFilesExecute() {
    if (inPass_ || closed_) return;
    inPass_ = true;
    // The pass ends here unless it waits for its next copies or its scan (also when a step raises).
    ScopeExit passEnds([this] {
        if (waiting_ == TPassWait::None) inPass_ = false;
    });
    Log(L"START read depended Prozesses");
    if (FToDoList) CopyAndScan();
    else FinishPass();
}

void TUpdateRun::CopyAndScan() {
    // Copy first, so that each file goes into place the moment it is free; then one walk of the
    // handle table for every entry still held, instead of one per entry.
    copyAt_ = FToDoList->Count();
    GoOnCopying();
}

void TUpdateRun::GoOnCopying() {
    // Each try costs a few file operations: with a window the copies go in slices, and the window
    // handles its messages between them (the rest follows from kCopiesGoOn).
    const HWND window = host_ ? host_->ScanWindow() : nullptr;
    const ULONGLONG sliceStart = ::GetTickCount64();
    while (copyAt_ > 0) {
        if (window && ::GetTickCount64() - sliceStart >= kCopySliceMs &&
            ::PostMessageW(window, kCopiesGoOn, 0, 0)) {  // own window
            waiting_ = TPassWait::Copies;
            return;
        }
        // A copy that succeeds takes its entry out of the list: the entries before it keep their
        // places.
        TUpdateItem& entry = (*FToDoList)[--copyAt_];
        if (!entry.FDone) CopyEntry(entry);
    }
    scanned_.clear();  // last to first, as the locks are attached
    for (size_t i = FToDoList->Count(); i-- > 0;)
        if (!(*FToDoList)[i].FDone) scanned_.push_back(&(*FToDoList)[i]);
    std::vector<std::unique_ptr<TProcessLockList>> locks;
    if (!scanned_.empty()) {
        std::vector<std::wstring> paths;
        paths.reserve(scanned_.size());
        for (const TUpdateItem* entry : scanned_) paths.push_back(entry->FDest);
        // The window goes on handling messages while the scan runs; the entries stay in the list
        // until the result is applied, since nothing but the pass removes them (a close during
        // the scan gives the scan up before it releases them).
        if (window && scanner_.Start(window, paths)) {
            waiting_ = TPassWait::Scan;
            return;
        }
        // No window (or no thread to be had): the scan runs here.
        locks = scanner_.ScanHere(paths);
    }
    ApplyScan(std::move(locks));
}

void TUpdateRun::ScanArrived() {
    TScanResult result = scanner_.Take();
    // A result the pass no longer waits for (the window was closed meanwhile) is dropped.
    if (waiting_ != TPassWait::Scan || closed_) return;
    waiting_ = TPassWait::None;
    RunPassStep([&] {
        // The scan's error is the pass's error, as if raised on this thread: the pass ends.
        if (result.Error) {
            scanned_.clear();
            std::rethrow_exception(result.Error);
        }
        ApplyScan(std::move(result.Locks));
    });
}

void TUpdateRun::CopiesGoOn() {
    // Dropped when the pass no longer waits for it (the window was closed meanwhile).
    if (waiting_ != TPassWait::Copies || closed_) return;
    waiting_ = TPassWait::None;
    RunPassStep([this] { GoOnCopying(); });
}

template <class Step>
void TUpdateRun::RunPassStep(Step step) {
    std::exception_ptr error;
    try {
        ScopeExit passEnds([this] {
            if (waiting_ == TPassWait::None) inPass_ = false;
        });
        step();
    } catch (...) {
        error = std::current_exception();
    }
    // Waiting again: more copies, the scan, or the cycle after the calling program was closed.
    if (waiting_ != TPassWait::None) return;
    TickEnds(error);
}

void TUpdateRun::ApplyScan(std::vector<std::unique_ptr<TProcessLockList>> locks) {
    const std::vector<TUpdateItem*> held = std::move(scanned_);
    scanned_.clear();
    bool again = false;
    {
        if (host_) host_->BeginRowUpdate();
        ScopeExit rowsResumed([this] {
            if (host_) host_->EndRowUpdate();
        });
        if (FProcessList) FProcessList->ClearHeldFiles();
        TakeLocks(held, std::move(locks));
        const TDevicePaths devices;
        for (TUpdateItem* entry : held) AttachLocks(*entry, devices);
        ReportHoldersNotFound(held);
        DropIdleItems();
        if (FCallerProcessId != 0 && FProcessList) {
            for (size_t i = FProcessList->Count(); i-- > 0;) {
                if ((*FProcessList)[i].FProcessId != FCallerProcessId) continue;
                again = true;
                CloseProgrammExecute();
                FCallerProcessId = 0;
                FCallerWindow = nullptr;
                ::Sleep(1000);
                break;  // at most one item per process id
            }
        }
    }
    // The next cycle, unless the user closed the window while the calling program was closed.
    if (again && !closed_) {
        CopyAndScan();
        return;
    }
    FinishPass();
}

void TUpdateRun::TakeLocks(const std::vector<TUpdateItem*>& entries,
                           std::vector<std::unique_ptr<TProcessLockList>> locks) {
    for (size_t i = 0; i < entries.size(); ++i)
        entries[i]->TakeLocks(i < locks.size() ? std::move(locks[i]) : nullptr);
    if (entries.empty() || !FProcessList) return;
    // The rows of the first scan stand in the order the job lists its files.
    const bool jobOrder = std::exchange(firstScan_, false);
    for (size_t n = 0; n < entries.size(); ++n) {
        const TUpdateItem& entry = *entries[jobOrder ? entries.size() - 1 - n : n];
        if (entry.FLocks)
            for (size_t k = 0; k < entry.FLocks->Count(); ++k) ItemFor((*entry.FLocks)[k]);
    }
}

void TUpdateRun::FinishPass() {
    if (closed_) {
        ReleaseJob();
        RestartCaller();
        return;
    }
    size_t left = 0;
    if (FToDoList)
        for (size_t i = 0; i < FToDoList->Count(); ++i)
            if (!(*FToDoList)[i].FDone) ++left;
    if (left > 0) {
        Log(L"END read depended Prozesses (" + std::to_wstring(left) + L")");
    } else {
        Log(L"END Nix depended -> Call Close");
        if (host_) host_->CloseWindow();
        else FormClose();
        ReleaseJob();
        RestartCaller();
    }
}
TProcessItem& TUpdateRun::ItemFor(const TProcessLockInfo& lock) {
    if (TProcessItem* item = FProcessList->FindProcess(lock.ProcessId)) return *item;
    TProcessItem& item = TProcessItem::Create(FProcessList.get(), lock.ProcessId, lock.ProcessPath);
    // Setting up the row never reports: a row that cannot be made is left out.
    if (host_) item.FFrame = host_->CreateRow(item);
    return item;
}

void TUpdateRun::AttachLocks(TUpdateItem& entry, const TDevicePaths& devices) {
    if (!entry.FLocks || !FProcessList) return;
    for (size_t k = entry.FLocks->Count(); k-- > 0;) {
        const TProcessLockInfo& lock = (*entry.FLocks)[k];
        if (TProcessItem* item = FProcessList->FindProcess(lock.ProcessId)) item->AddHeldFile(devices.DrivePath(lock.FileName));
    }
}

void TUpdateRun::DropIdleItems() {
    if (!FProcessList) return;
    bool rowGone = false;
    for (size_t i = FProcessList->Count(); i-- > 0;) {
        if (!(*FProcessList)[i].FHeldFiles.empty()) continue;
        rowGone = rowGone || (*FProcessList)[i].FFrame;
        FProcessList->Delete(i);
    }
    if (rowGone && host_) host_->RowRemoved();
}

void TUpdateRun::ReportHoldersNotFound(const std::vector<TUpdateItem*>& failed) {
    bool notFound = false;
    for (TUpdateItem* entry : failed) {
        if (entry->FLocks && entry->FLocks->Count() > 0) continue;
        if (entry->FLastPlace.Outcome != TPlaceOutcome::Held) {
            // Disk full, no access, a folder or no source: no holder to look for; the system's
            // words, once.
            if (entry->FFailureLogged) continue;
            entry->FFailureLogged = true;
            Log(FailureLine(entry->FSource, entry->FDest, entry->FLastPlace.Error));
            continue;
        }
        notFound = true;
        if (entry->FNoHolderLogged) continue;
        entry->FNoHolderLogged = true;
        Log(L"WARN Keine blockierenden Prozesse gefunden: " + entry->FDest);
    }
    if (host_) host_->ShowHolderNotFound(notFound);
}

bool TUpdateRun::CopyEntry(TUpdateItem& entry) {
    if (entry.FDone) return true;
    entry.FLastPlace = PutFileInPlace(entry.FSource, entry.FDest);
    if (!entry.FLastPlace.Done()) return false;
    TToDoList& list = *entry.FToDoList;
    if (entry.FLastPlace.Outcome == TPlaceOutcome::AlreadyInPlace) {
        // The source is the installed file: neither copied nor deleted.
        Log(L"OKAY Quelle ist Ziel: " + entry.FSource + L" -> " + entry.FDest);
    } else {
        Log(L"OKAY COPY " + entry.FSource + L" -> " + entry.FDest);
        // A source that another entry still copies from, or that is a file of the installation,
        // stays until the last entry that names it is in place.
        const std::wstring source = ExtendedPath(entry.FSource);
        if (!list.SourceStillNeeded(entry) && !source.empty() && ::DeleteFileW(source.c_str()))
            Log(L"OKAY DELETE " + entry.FSource);
    }
    list.NotePlaced(entry);
    entry.FDone = true;
    record_.EntryDone(entry.FNumber);
    for (size_t i = 0; i < list.Count(); ++i)
        if (&list[i] == &entry) {
            list.Delete(i);
            break;
        }
    return true;
}

void TUpdateRun::CloseProgrammExecute() {
    if (!FCallerWindow || reinterpret_cast<intptr_t>(FCallerWindow) < 0) return;
    const HWND window = FCallerWindow;
    const uint32_t caller = FCallerProcessId;
    FCallerWindow = nullptr;
    FCallerProcessId = 0;
    // A window that has gone since the job was read (its handle may name another program's
    // window by now) is not the caller's.
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (caller != 0 && owner != caller) return;
    if (SendCloseMessage(window) == TCloseReply::NoAnswer) {
        // Not reached: the caller's row stays for the user to kill; it is not restarted.
        Log(L"WARN Aufrufendes Programm antwortet nicht, Closemessage aufgegeben");
        return;
    }
    ::PostMessageW(window, WM_QUIT, 0, 0);
    // Marked before the updater's own messages run: a close of the update window among them
    // restarts the caller too.
    FRestartCaller = true;
    if (host_) host_->ProcessMessages();
    Log(L"OKAY Aufrufendes Programm beenden");
}

void TUpdateRun::StartProgrammExecute() {
    if (host_) host_->HideWindow();
    ::Sleep(500);
    StartProgram(FRunApp, false, false);
    ::Sleep(1000);
    Log(L"OKAY Aufrufendes Programm neu starten");
}

void TUpdateRun::ActionAlleBeendenExecute() {
    Log(L"START - Alle Beenden");
    if (FProcessList) {
        for (size_t i = FProcessList->Count(); i-- > 0;) {
            if (i >= FProcessList->Count()) continue;
            (*FProcessList)[i].CloseProcess();
        }
    }
    ::Sleep(1000);
    Log(L"END - Alle Beenden");
    Timer1Timer();
}

void TUpdateRun::kx_TaskButton2LinkClick(int index) {
    if (index == 0) Timer1Timer();
    else if (index == 1) ActionAlleBeendenExecute();
}

void TUpdateRun::ScheduleScan(unsigned ms) {
    if (closed_) return;
    if (inPass_) {
        scheduled_ = scheduled_ ? std::min(scheduled_, ms) : ms;
        return;
    }
    if (!host_) return;
    host_->StopTimer();
    host_->StartTimer(ms);
}

void TUpdateRun::ReturnToFront() {
    if (host_) host_->ReturnToFront();
}

void TUpdateRun::FormClose() {
    if (host_) host_->StopTimer();
    if (closed_) return;
    closed_ = true;
    // The user or the time limit gave up on the files left: nothing finishes them later.
    if (const size_t left = record_.Discard()) Log(kRecordDiscardedLine + std::to_wstring(left));
    // Closing waits for no scan: the pass's scan is given up (waited for a moment at most, see
    // TScanThread::Stop), its result never applied, and the pass ends here.
    if (waiting_ != TPassWait::None) {
        if (waiting_ == TPassWait::Scan) scanner_.Stop();
        waiting_ = TPassWait::None;
        scanned_.clear();
        inPass_ = false;
    }
    // A pass that is running releases the entries and restarts the caller itself once it has
    // stopped using them (the caller may be closing in the middle of it).
    if (inPass_) return;
    ReleaseJob();
    RestartCaller();
}

void TUpdateRun::RestartCaller() {
    if (!FRestartCaller) return;
    FRestartCaller = false;  // once per run
    StartProgrammExecute();
}

void TUpdateRun::ReleaseJob() { FToDoList.reset(); }

}  // namespace swt
