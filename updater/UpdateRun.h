// The update run: the job's location and state, reading the job, the log, the scan passes that
// copy files and track their holders, and closing and restarting the calling program. The window
// TForm1 owns one run and forwards its timer, actions and close to it.
#pragma once
#include <windows.h>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "updater/ProcessList.h"
#include "updater/ToDoList.h"
#include "updater/UpdateHost.h"
#include "updater/UpdateRecord.h"

namespace swt {

class TUpdateRun {
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

    // args: the program's arguments, element 0 being the program path. host: the window (not
    // owned); none for a run without a window.
    explicit TUpdateRun(std::vector<std::wstring> args, TUpdateHost* host = nullptr);
    ~TUpdateRun();
    TUpdateRun(const TUpdateRun&) = delete;
    TUpdateRun& operator=(const TUpdateRun&) = delete;

    void FormCreate();
    // Reads and erases the update job and creates the to-do list and the process list.
    // Raises swt::Error for a job value of a non-string type.
    void ReadUpdateJob();
    // Appends one line to the job's log; silent while no log file is known.
    void WriteLog(int level, const std::wstring& category, const std::wstring& text) const;
    void Log(const std::wstring& text) const { WriteLog(0, L"ExternUpdate", text); }

    // A timer tick: the time limit, then (window visible) reading the job and one scan pass; the
    // timer restarts with 3000 ms, and an error goes to the error display.
    void Timer1Timer();
    // One scan pass. A pass asked for while one runs (user input handled while the calling
    // program is closed) is not started.
    void UpdateFilesExecute();
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
    void ScheduleScan(unsigned ms);

    TUpdateHost* Host() const { return host_; }
    bool InPass() const { return inPass_; }
    bool Closed() const { return closed_; }

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
    void KeepRecord(bool resumed, const std::vector<int>& skipped);
    // One batch scan for the destinations of the entries; each entry takes its list (rows for new
    // holders, in the order of the entries and their locks).
    void ScanLocks(const std::vector<TUpdateItem*>& entries);
    // Adds the entry's locks, last to first, to the rows of their processes and to their hints.
    void AttachLocks(TUpdateItem& entry);
    // failed: the entries whose copy failed in this cycle. One of them without any holder the scan
    // can name is logged once per run, and the header says so until every one has a holder again.
    void ReportHoldersNotFound(const std::vector<TUpdateItem*>& failed);
    // The calling program's main window for the job's class and caption, never the updater's own.
    HWND FindCallerWindow(bool haveClassAndCaption, const std::wstring& cls, const std::wstring& caption) const;

    std::vector<std::wstring> args_;
    TUpdateHost* host_;
    // What is left of the job, kept until every entry is in place or the run is given up.
    TUpdateRecord record_;
    bool inPass_ = false;
    bool closed_ = false;
    bool showingError_ = false;  // an error box of a tick is open
    // The interval a row's action asked for while a pass ran; the pass's end keeps it.
    unsigned scheduled_ = 0;
};

}  // namespace swt
