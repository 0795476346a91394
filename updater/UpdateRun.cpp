#include "updater/UpdateRun.h"

#include <algorithm>
#include <exception>

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

// 0 when path names an existing file, else why it does not (a folder is refused as copying from
// one is).
DWORD SourceFileError(const std::wstring& path) {
    const std::wstring extended = ExtendedPath(path);
    const DWORD attr = ::GetFileAttributesW((extended.empty() ? path : extended).c_str());
    if (attr == INVALID_FILE_ATTRIBUTES) return ::GetLastError() ? ::GetLastError() : ERROR_FILE_NOT_FOUND;
    return (attr & FILE_ATTRIBUTE_DIRECTORY) ? ERROR_ACCESS_DENIED : 0;
}

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

// Marks the run as inside a pass for the lifetime of the guard.
class PassScope {
public:
    explicit PassScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~PassScope() { flag_ = false; }
    PassScope(const PassScope&) = delete;
    PassScope& operator=(const PassScope&) = delete;

private:
    bool& flag_;
};

}  // namespace

TUpdateRun::TUpdateRun(std::vector<std::wstring> args, TUpdateHost* host) : args_(std::move(args)), host_(host) {}

TUpdateRun::~TUpdateRun() {
    // The rows go before the entries whose locks they show.
    FProcessList.reset();
    FToDoList.reset();
}

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
    FProcessList = std::make_unique<TProcessList>(this, FToDoList.get());
    FToDoList->FProcessList = FProcessList.get();

    TUpdateJobKey job(FBaseKey, FSection);
    const std::wstring keyName = FBaseKey + L"\\Update";
    FLogFile = job.ReadString(L"this_logfile", L"");
    Log(L"RegistryRead " + keyName);
    // A record kept of an interrupted run: no calling program to close or restart any more.
    const bool resumed = TUpdateRecord::IsRecord(job);
    if (resumed) Log(kResumeLine + FSection);

    FCallerProcessId = static_cast<uint32_t>(job.ReadInteger(L"this_processID"));
    if (FCallerProcessId != 0) {
        const bool haveClass = job.HasValue(L"this_class");
        std::wstring cls = job.ReadString(L"this_class", L"");
        const bool haveCaption = job.HasValue(L"this_caption");
        std::wstring caption = job.ReadString(L"this_caption", L"");
        FCallerWindow = FindCallerWindow(haveClass && haveCaption, cls, caption);
    } else {
        FCallerWindow = reinterpret_cast<HWND>(static_cast<intptr_t>(job.ReadInteger(L"this_processAPP_FormHandle")));
    }
    if (resumed) {
        FCallerProcessId = 0;
        FCallerWindow = nullptr;
    }
    FRunApp = job.ReadString(L"runApp", L"");

    const int32_t count = job.ReadInteger(L"count");
    // Past the highest "<n>_Source" present every entry would be skipped anyway.
    const int32_t last = count > 0 ? std::min(count, job.HighestSourceIndex()) : 0;
    // The entries are scanned together once read, in job order, also those read before a value
    // that cannot be read.
    std::exception_ptr error;
    std::vector<int> skipped;  // of a record: sources gone since, with their entries done
    try {
        for (int32_t n = 1; n <= last; ++n) {
            const std::wstring sourceName = std::to_wstring(n) + L"_Source";
            const DWORD sourceError = SourceFileError(job.ReadString(sourceName, L"XX$"));
            // A source that is missing (or a folder) leaves its entry out; it is said once. A
            // number without a source value is no entry at all.
            if (sourceError && !job.HasValue(sourceName)) continue;
            std::wstring source = job.ReadString(sourceName, L"");
            std::wstring dest = job.ReadString(std::to_wstring(n) + L"_Dest", L"");
            if (sourceError && resumed) {
                skipped.push_back(n);
                continue;
            }
            if (sourceError) {
                Log(FailureLine(source, dest, sourceError));
                continue;
            }
            TUpdateItem::Create(FToDoList.get(), std::move(source), std::move(dest), false).FNumber = n;
        }
    } catch (...) {
        error = std::current_exception();
    }
    std::vector<TUpdateItem*> read;
    for (size_t i = 0; i < FToDoList->Count(); ++i) read.push_back(&(*FToDoList)[i]);
    // What is left is kept first thing, before the scan and before the job goes, so that a run
    // that dies from here on is finished later.
    if (!error) KeepRecord(resumed, skipped);
    ScanLocks(read);
    if (error) std::rethrow_exception(error);
    // A record being resumed stays until its entries are in place.
    if (resumed) return;

    job.EraseSection();
    Log(L"RegistryErased: " + keyName);
}

void TUpdateRun::KeepRecord(bool resumed, const std::vector<int>& skipped) {
    std::vector<TRecordEntry> left;
    for (size_t i = 0; i < FToDoList->Count(); ++i) {
        const TUpdateItem& entry = (*FToDoList)[i];
        left.push_back({entry.FNumber, entry.FSource, entry.FDest});
    }
    if (!resumed) {
        record_.Write(FSection, FLogFile, FRunApp, left);
        return;
    }
    std::vector<int> kept;
    for (const TRecordEntry& e : left) kept.push_back(e.Number);
    record_.Adopt(FSection, kept, skipped);
}

void TUpdateRun::WriteLog(int level, const std::wstring& category, const std::wstring& text) const {
    if (FLogFile.empty()) return;
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    AppendLogLine(FLogFile, FormatLogLine(now, UserTimeSeparator(), category, level, text));
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
    // A tick, "aktualisieren" or "Alle beenden" handled while a pass lets messages run: that pass
    // goes on and the timer restarts at its end.
    if (inPass_) return;
    if (host_) host_->StopTimer();
    scheduled_ = 0;
    std::exception_ptr error;
    try {
        if (!FToDoList) ReadUpdateJob();
        UpdateFilesExecute();
    } catch (...) {
        error = std::current_exception();
    }
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
    PassScope pass(inPass_);
    Log(L"START read depended Prozesses");
    if (host_) host_->BeginRowUpdate();
    struct RowsResumed {
        TUpdateHost* host;
        ~RowsResumed() {
            if (host) host->EndRowUpdate();
        }
    } resume{host_};

    if (FToDoList) {
        bool again = false;
        do {
            again = false;
            if (FProcessList) FProcessList->ClearLocks();
            // Copy first, so that each file goes into place the moment it is free; then one walk
            // of the handle table for every entry still held, instead of one per entry.
            for (size_t i = FToDoList->Count(); i-- > 0;) {
                TUpdateItem& entry = (*FToDoList)[i];
                if (!entry.FDone) CopyEntry(entry);
            }
            std::vector<TUpdateItem*> held;  // last to first, as the locks are attached
            for (size_t i = FToDoList->Count(); i-- > 0;)
                if (!(*FToDoList)[i].FDone) held.push_back(&(*FToDoList)[i]);
            ScanLocks(held);
            for (TUpdateItem* entry : held) AttachLocks(*entry);
            ReportHoldersNotFound(held);
            if (FProcessList) {
                for (size_t i = FProcessList->Count(); i-- > 0;)
                    if ((*FProcessList)[i].FLocks.empty()) FProcessList->Delete(i);
            }
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
            // The user closed the window while the calling program was closed: the pass ends.
            if (closed_) break;
        } while (again);
    }
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

void TUpdateRun::ScanLocks(const std::vector<TUpdateItem*>& entries) {
    if (entries.empty()) return;
    std::vector<std::wstring> paths;
    paths.reserve(entries.size());
    for (const TUpdateItem* entry : entries) paths.push_back(entry->FDest);
    std::vector<std::unique_ptr<TProcessLockList>> locks = GetLockingProcessesBatch(paths);
    for (size_t i = 0; i < entries.size(); ++i)
        entries[i]->TakeLocks(i < locks.size() ? std::move(locks[i]) : nullptr);
}

void TUpdateRun::AttachLocks(TUpdateItem& entry) {
    if (!entry.FLocks || !FProcessList) return;
    for (size_t k = entry.FLocks->Count(); k-- > 0;) {
        TProcessLockInfo& lock = (*entry.FLocks)[k];
        if (TProcessItem* item = FProcessList->FindProcess(lock.ProcessId)) item->AttachLock(lock);
    }
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
    // Process items refer to the entry's locks only within a pass; none do for a done entry.
    if (FProcessList)
        for (size_t i = 0; i < FProcessList->Count(); ++i) {
            auto& locks = (*FProcessList)[i].FLocks;
            if (entry.FLocks)
                std::erase_if(locks, [&](TProcessLockInfo* l) { return l->Owner == entry.FLocks.get(); });
        }
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
            try {
                (*FProcessList)[i].CloseProcess();
            } catch (...) {
            }
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

void TUpdateRun::FormClose() {
    if (host_) host_->StopTimer();
    if (closed_) return;
    closed_ = true;
    // The user or the time limit gave up on the files left: nothing finishes them later.
    if (const size_t left = record_.Discard()) Log(kRecordDiscardedLine + std::to_wstring(left));
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

void TUpdateRun::ReleaseJob() {
    // Items refer to the entries' locks: let go of those references first.
    if (FProcessList) FProcessList->ClearLocks();
    FToDoList.reset();
    if (FProcessList) FProcessList->FToDoList = nullptr;
}

}  // namespace swt
