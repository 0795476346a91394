// The record of what an update run has left to do, kept so that an interrupted update finishes
// later instead of being lost: a job like any other (same value names, readable with regedit)
// under a new name "{GUID}" in HKCU\Software\Veltra Software\Update, marked by "resumeOf" (the
// job it was kept of), and a RunOnce entry of the same name that runs "<updater>" doit <name> at
// the next logon. A run that resumes such a record takes it over instead of writing a new one.
#pragma once
#include <windows.h>
#include <set>
#include <string>
#include <vector>

#include "base/UniqueHandle.h"

namespace swt {

class TUpdateJobKey;

// One entry to keep: its number in the job (the record keeps it) and its paths.
struct TRecordEntry {
    int Number = 0;
    std::wstring Source;
    std::wstring Dest;
};

class TUpdateRecord {
public:
    // The key of the current user's run-once list.
    static constexpr const wchar_t* kRunOnceKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

    TUpdateRecord() = default;
    TUpdateRecord(const TUpdateRecord&) = delete;
    TUpdateRecord& operator=(const TUpdateRecord&) = delete;

    // Whether the job is a record kept of an interrupted run.
    static bool IsRecord(const TUpdateJobKey& job);
    // The command of a record's run-once entry: "<exe>" doit <section>.
    static std::wstring RunOnceCommand(const std::wstring& exe, const std::wstring& section);

    // Holds the mutex that tells callers (SwaptideResumePending) an updater runs the job
    // `section`, for the rest of the process's life; a section that is no "{...}" name cannot be
    // a record and takes none.
    void Claim(const std::wstring& section);
    // Before the job `origin` is erased: writes a new record of the entries with the job's log and
    // command line, and its run-once entry. Nothing is kept when there are no entries or when the
    // registry refuses (a half-written record is removed again).
    void Write(const std::wstring& origin, const std::wstring& logFile, const std::wstring& runApp,
               const std::vector<TRecordEntry>& entries);
    // A run of the record `section` takes it over with the entries `kept`; the `skipped` ones
    // (their sources are gone: done before the interruption) are erased, and the run-once entry is
    // set again (the system removes it when it starts the command). Nothing kept: the record goes.
    void Adopt(const std::wstring& section, const std::vector<int>& kept, const std::vector<int>& skipped);
    // Entry `number` is in place: its values go; with the last one the record and its run-once
    // entry go too.
    void EntryDone(int number);
    // The run ends by the user's or the time limit's choice: record and run-once entry go. Returns
    // how many entries were left (0: there was no record).
    size_t Discard();

    const std::wstring& Section() const { return section_; }
    size_t Left() const { return left_.size(); }

private:
    void SetRunOnce();
    void Remove();

    std::wstring section_;  // empty while there is no record
    std::set<int> left_;
    // The mutexes of the job this run was started for and of the record it wrote.
    std::vector<UniqueHandleT> claims_;
};

}  // namespace swt
