// The program's named parameters from its command line and its parameter file, in one list.
// Only the process terminator's build carries the list; the updater's build has none.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "support/XProcsBuild.h"

#if SWT_XPROCS_TERMINATOR

namespace swt {

class TApplicationParamList {
public:
    // A list over the given entries only: no file is read and nothing process-wide changes.
    explicit TApplicationParamList(std::vector<std::wstring> entries);
    // Deletes the private temporary folder this list set up (only ever this run's own folder).
    ~TApplicationParamList();
    TApplicationParamList(const TApplicationParamList&) = delete;
    TApplicationParamList& operator=(const TApplicationParamList&) = delete;

    // The entries as they came: command line untrimmed (program path first), then the file's.
    int Count() const { return static_cast<int>(entries_.size()); }
    const std::wstring& Strings(int index) const { return entries_.at(static_cast<size_t>(index)); }
    const std::vector<std::wstring>& Entries() const { return entries_; }

    // Flag lookup: /NAME, -NAME, \NAME, NAME, /NAME:x, NAME=1 all make NAME present. A lookup
    // that fails answers false.
    bool GetCheckParam(std::wstring_view value) noexcept;
    // Value lookup: the first "/NAME:value" entry, value cut to 255 characters; empty when none,
    // and when the lookup fails.
    std::wstring GetParamValue(std::wstring_view param) noexcept;
    // Replaces the first entry carrying the name by "/NAME:value", or adds one at the end.
    void SetParamValue(const std::wstring& param, const std::wstring& value);
    // Index of the first entry carrying the name (as value or flag), -1 when none.
    int GetParamIndex(const std::wstring& param) const;
    // The value as a whole number (decimal, "$"/"0x" hexadecimal); 0 when missing or no number.
    int GetParamValueInt(const std::wstring& param);

    // Every name looked up through GetCheckParam/GetParamValue, normalised, once each, in the order
    // first asked. Names starting with "$" are the hidden ones: listed only with hiddenValues.
    std::vector<std::wstring> RequestedParams(bool hiddenValues) const;

    // The private temporary folder this list set up, with a trailing backslash; empty when none.
    const std::wstring& TempFolderDelete() const { return fTempFolderDelete; }
    // Deletes that folder now, with everything in it, and forgets it; the end of the list then
    // has nothing left to delete. Never throws.
    void DeleteTempFolderNow() noexcept;

    // The process-wide temporary folders (see PrivateTemp.h).
    static std::wstring TempFolder();
    static void SetTempFolder(const std::wstring& value);
    static std::wstring TempFolderOrigin();

private:
    friend TApplicationParamList& ApplicationParams();
    struct ForProcess {};
    // The process's list: command line, parameter file, private temporary folder, affinity mask.
    explicit TApplicationParamList(ForProcess);
    // A name that cannot be recorded is not recorded; the lookup goes on.
    void AddRequestedParam(std::wstring_view name) noexcept;

    std::vector<std::wstring> entries_;
    std::wstring fTempFolderDelete;
    std::vector<std::wstring> fRequestedParams;
};

// The process's one parameter list, created on the first call (main thread only).
TApplicationParamList& ApplicationParams();
// Library shutdown: releases the list if one was created, which deletes the private folder.
void ReleaseApplicationParams() noexcept;
// The list if it has been created, else none.
TApplicationParamList* ApplicationParamsIfCreated() noexcept;

}  // namespace swt

#endif
