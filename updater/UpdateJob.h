// Reading the update job: the named string values of one subkey under HKEY_CURRENT_USER.
#pragma once
#include <windows.h>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "base/UniqueHandle.h"

namespace swt {

// Longest value name the registry allows, in characters without the NUL.
inline constexpr DWORD kMaxValueNameChars = 16383;

// Reads the name of the value at an index the way RegEnumValueW does: length holds the room in
// characters (NUL included) and receives the name's length; ERROR_SUCCESS when a name was read.
using ValueNameReader = std::function<LONG(DWORD index, wchar_t* name, DWORD* length)>;

// The highest n for which a value "<n>_Source" is listed (0 when none). The listing ends at the
// first index that yields no name, whatever the reason.
int32_t HighestSourceIndex(const ValueNameReader& readName);

// The job key ("<base>\Update", opened with full access and created when missing) and, below
// it, the job's section subkey. A key that cannot be opened makes every read yield its default.
class TUpdateJobKey {
public:
    TUpdateJobKey(const std::wstring& baseKey, const std::wstring& section);

    // A REG_SZ or REG_EXPAND_SZ value (not expanded), cut at its first NUL; an odd last byte is
    // dropped. A missing value, or one that keeps growing while it is read,
    // gives def. Any other registry type raises "Ungültiger Datentyp für '<name>'".
    std::wstring ReadString(const std::wstring& name, const std::wstring& def) const;
    // Whether the value exists, whatever its type.
    bool HasValue(const std::wstring& name) const;
    // A string value read as integer text; anything that is not a whole 32-bit integer is 0.
    int32_t ReadInteger(const std::wstring& name) const;
    // The highest n for which a value "<n>_Source" exists (0 when none): entries past it can
    // only be skipped, so a huge "count" never makes the reader walk billions of numbers.
    int32_t HighestSourceIndex() const;
    // Deletes the section subkey with everything in it; failures are ignored.
    void EraseSection();

    bool HasSection() const { return static_cast<bool>(section_); }

private:
    UniqueKey update_;
    UniqueKey section_;
    std::wstring sectionName_;
};

// One file of the job: where the new file is and where it goes.
struct TJobEntry {
    int Number = 0;  // n of "<n>_Source"
    std::wstring Source;
    std::wstring Dest;
};

// A numbered entry left out because its source is no file; Error says why (a system error code).
struct TSkippedEntry {
    int Number = 0;
    std::wstring Source;
    std::wstring Dest;
    DWORD Error = 0;
};

// The update job as read, in one value: what the run works from.
struct TUpdateJob {
    // A record the updater kept of an interrupted run (it has a "resumeOf" value), not a caller's job.
    bool Resumed = false;
    // Whether "this_logfile" could be read; nothing after it was read when not.
    bool LogFileRead = false;
    std::wstring LogFile;
    // The calling program: its process id, else the handle of its window as written in the job.
    uint32_t CallerProcessId = 0;
    // The caller's values were read (a failure may come before them).
    bool CallerRead = false;
    // Both "this_class" and "this_caption" are present.
    bool HaveCallerClassAndCaption = false;
    std::wstring CallerClass;
    std::wstring CallerCaption;
    HWND CallerFormHandle = nullptr;
    std::wstring RunApp;
    // The entries in job order; those read before a value that cannot be read are kept.
    std::vector<TJobEntry> Entries;
    // Entries left out, in job order; each is said once.
    std::vector<TSkippedEntry> Skipped;
    // A value of a type that is no string stopped the reading here (swt::Error), else none.
    std::exception_ptr Failure;
};

// Reads the job from its key. Never raises: a value that cannot be read ends the reading and is
// kept in Failure.
TUpdateJob ReadJob(const TUpdateJobKey& key);

}  // namespace swt
