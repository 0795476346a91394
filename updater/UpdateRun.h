// The update run: the job's location and state, reading the job, the log, the scan passes that
// copy files and track their holders, and closing and restarting the calling program. The window
// TForm1 owns one run and forwards its timer, actions and close to it. The run alone keeps the
// process list in step with the scan and asks the window for rows; the rows' actions come back
// through TProcessRowSite.
#pragma once
#include <windows.h>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "lockscan/DevicePaths.h"
#include "updater/ProcessList.h"
#include "updater/ScanThread.h"
#include "updater/ToDoList.h"
#include "updater/UpdateHost.h"
#include "updater/UpdateRecord.h"
#include "updater/UpdateJob.h"

namespace swt {

class TUpdateRun : public TProcessRowSite {
public:
    // Caption and class name of the updater's window.
    static constexpr const wchar_t* kCaption = L"Update";
    static constexpr const wchar_t* kWindowClass = L"TForm1";
    // The run gives up after this long and closes the window with what is left.
    static constexpr ULONGLONG kTimeLimitMs = 23ull * 60 * 60 * 1000;
    // Log lines of a run that resumes an interrupted update, and of one that ends by the user's or
    // the time limit's choice with files left (whose record then goes).
    static constexpr const wchar_t* kResumeLine = L"FORTSETZUNG unterbrochenes Update: ";
    static constexpr const wchar_t* kRecordDiscardedLine = L"ENDE ohne Fortsetzung, Dateien nicht ersetzt: ";
    static constexpr unsigned kPassIntervalMs = 3000;
    // The copies of a pass run in slices of about this long; the window handles its messages
    // between them. kCopiesGoOn, posted to the window, brings the next slice (CopiesGoOn).
    static constexpr ULONGLONG kCopySliceMs = 15;
    static constexpr UINT kCopiesGoOn = WM_APP + 0x5D;

    // args: the program's arguments, element 0 being the program path. host: the window (not
    // owned); none for a run without a window.
    explicit TUpdateRun(std::vector<std::wstring> args, TUpdateHost* host = nullptr);
    virtual ~TUpdateRun() = default;
    TUpdateRun(const TUpdateRun&) = delete;
    TUpdateRun& operator=(const TUpdateRun&) = delete;

    void FormCreate();
    // Reads the update job (one value, ReadJob), takes it over and erases the job; creates the
    // to-do list and the process list. The holders of its entries are found by the first pass's
    // scan. Raises swt::Error for a job value of a non-string type, after taking over what was
    // read before it.
    void ReadUpdateJob();
    // Takes over the job as read: the log file (then "RegistryRead" is logged), the caller, the
    // restart command, the entries left out (logged) and the entries of the to-do list.
    void TakeJob(const TUpdateJob& job);
    // Appends one line to the job's log; silent while no log file is known.
    void WriteLog(int level, const std::wstring& category, const std::wstring& text) const noexcept;
    void Log(const std::wstring& text) const noexcept override { WriteLog(0, L"ExternUpdate", text); }

    // A timer tick: the time limit, then (window visible) reading the job and one scan pass; the
    // timer restarts with 3000 ms once the pass has ended, and an error goes to the error display.
    void Timer1Timer();
    // One scan pass: each file still to do is tried, then the holders of those still held are
    // looked for. With a window the copies go in slices (CopiesGoOn), the lock scan runs on a
    // thread of its own and the pass goes on in ScanArrived when its result has come; the pass is
    // in progress (InPass) until its end. Without one the whole pass runs here. A pass asked for while one runs (a tick, "aktualisieren" or
    // "Alle beenden" during the scan, or user input handled while the calling program is closed)
    // is not started.
    void UpdateFilesExecute();
    // The pass's scan has finished (the window's message from the scan thread): its result is
    // applied, rows, hints, header and log, and the pass goes on or ends. Dropped when the pass
    // no longer waits for it (the window was closed).
    void ScanArrived();
    // The next slice of the pass's copies (the window's message kCopiesGoOn); dropped as
    // ScanArrived's.
    void CopiesGoOn();
    // Puts the entry's file in place; true when the entry is done (it has then left the list).
    bool CopyEntry(TUpdateItem& entry);
    void CloseProgrammExecute();
    void StartProgrammExecute();
    void ActionAlleBeendenExecute();
    // The footer's links: 0 "aktualisieren", 1 "Alle beenden".
    void kx_TaskButton2LinkClick(int index);
    // The window closes: the timer stops, the job's entries are released and the calling program
    // is restarted when the run closed it.
    void FormClose();
    // The next pass comes after ms (a row's action).
    void ScheduleScan(unsigned ms) override;
    // The updater's own window becomes the foreground window again (a row's action).
    void ReturnToFront() override;

    TUpdateHost* Host() const { return host_; }
    bool InPass() const { return inPass_; }
    bool Closed() const { return closed_; }
    // Whether the thread of the last scan still runs, also one given up when the window closed.
    bool ScanThreadRunning() const { return scanner_.Running(); }
    // What the run's last scan did (the benchmark's figures); read only while no scan runs.
    TLockScanStats LastScan() const { return scanner_.LastScan(); }

    std::wstring FSection;
    std::wstring FBaseKey;
    SYSTEMTIME FStartTime{};
    // The time limit is measured on this tick count, so changing the clock changes nothing.
    ULONGLONG FStartTick = 0;
    HWND FCallerWindow = nullptr;
    std::wstring FRunApp;
    std::unique_ptr<TToDoList> FToDoList;
    std::unique_ptr<TProcessList> FProcessList;
    uint32_t FCallerProcessId = 0;
    bool FRestartCaller = false;
    std::wstring FLogFile;
    // kTimeLimitMs in the program; only a test build's entry gives another limit.
    ULONGLONG TimeLimitMs = kTimeLimitMs;

private:
    void ReleaseJob();
    // Starts the calling program again when the run closed it; once per run.
    void RestartCaller();
    // Keeps the entries read as the record of what is left: a new one, or, for a run that resumes
    // a record, that record without the entries skipped because their sources are gone.
    void KeepRecord(const TUpdateJob& job);
    // The first half of a cycle of the pass: the copies, last entry first, then the scan of the
    // entries still held (scanned_), started on the scan thread or run here and applied at once.
    void CopyAndScan();
    // The copies from copyAt_ on, in slices when there is a window, then the scan.
    void GoOnCopying();
    // Runs a step of a pass: its start at a tick, or its going on after a wait (for a scan, for
    // its next copies). The pass ends there unless it waits again, and then restarts the timer and
    // shows the step's error; the one catch of a pass.
    template <class Step>
    void RunPassStep(Step step);
    // The second half, on the window's thread: the scan's result applied to entries, items and
    // rows; the calling program closed when it holds a file, and then the next cycle; else the
    // pass's end.
    void ApplyScan(std::vector<std::unique_ptr<TProcessLockList>> locks);
    // Each scanned entry takes its list, and each new holder gets an item with its row, in the
    // order of the entries (job order at the run's first scan, else last to first) and their locks.
    void TakeLocks(const std::vector<TUpdateItem*>& entries, std::vector<std::unique_ptr<TProcessLockList>> locks);
    // The END lines, and the window closed when nothing is left; a run closed meanwhile releases
    // the job and restarts the caller instead.
    void FinishPass();
    // After a pass (or a tick that failed before it): the timer restarts, an error is shown.
    void TickEnds(std::exception_ptr error);
    // The item of the lock's process; a new one, with a row from the window, when there is none.
    TProcessItem& ItemFor(const TProcessLockInfo& lock);
    // Adds the files of the entry's locks, last to first, to the items of their processes, as
    // drive-letter paths (users know files by those; the scan may name them in device form).
    void AttachLocks(TUpdateItem& entry, const TDevicePaths& devices);
    // Drops the items that hold no file any more; the window lays out the rows left.
    void DropIdleItems();
    // failed: the entries whose copy failed in this cycle. One of them without any holder the scan
    // can name is logged once per run, and the header says so until every one has a holder again.
    void ReportHoldersNotFound(const std::vector<TUpdateItem*>& failed);
    // The calling program's main window for the job's class and caption, never the updater's own.
    HWND FindCallerWindow(bool haveClassAndCaption, const std::wstring& cls, const std::wstring& caption) const;

    std::vector<std::wstring> args_;
    TUpdateHost* host_;
    // What is left of the job, kept until every entry is in place or the run is given up.
    TUpdateRecord record_;
    // The one lock scanner of the run, with its thread.
    TScanThread scanner_;
    // What a pass in progress waits for, with the window handling messages meanwhile.
    enum class TPassWait { None, Copies, Scan };
    TPassWait waiting_ = TPassWait::None;
    // The entries the running scan is for, last to first, while the pass waits for it.
    std::vector<TUpdateItem*> scanned_;
    // The copies of the cycle left: the entries before this index.
    size_t copyAt_ = 0;
    // The run's first scan makes its rows in job order.
    bool firstScan_ = true;
    bool inPass_ = false;
    bool closed_ = false;
    bool showingError_ = false;  // an error box of a tick is open
    // The interval a row's action asked for while a pass ran; the pass's end keeps it.
    unsigned scheduled_ = 0;
};

}  // namespace swt
