#include "updater/UpdateRecord.h"

#include <algorithm>

#include "updater/FileReplace.h"
#include "updater/SwaptideCaller.h"
#include "updater/UpdateJob.h"

namespace swt {

namespace {

std::wstring RecordPath(const std::wstring& section) {
    return std::wstring(swaptide_detail::kUpdateKey) + L"\\" + section;
}

void EraseEntryValues(HKEY record, int number) {
    // The source first: a number without its source value is no entry, whatever is left of it.
    ::RegDeleteValueW(record, (std::to_wstring(number) + L"_Source").c_str());
    ::RegDeleteValueW(record, (std::to_wstring(number) + L"_Dest").c_str());
}

}  // namespace

bool TUpdateRecord::IsRecord(const TUpdateJobKey& job) { return job.HasValue(swaptide_detail::kResumeOfValue); }

std::wstring TUpdateRecord::RunOnceCommand(const std::wstring& exe, const std::wstring& section) {
    return L"\"" + exe + L"\" doit " + section;
}

void TUpdateRecord::Claim(const std::wstring& section) {
    if (section.empty() || section[0] != L'{') return;
    wchar_t name[swaptide_detail::kMaxJobNameChars + 32];
    swaptide_detail::ResumeMutexName(section.c_str(), name);
    UniqueHandleT mutex(::CreateMutexW(nullptr, FALSE, name));
    if (mutex) claims_.push_back(std::move(mutex));
}

void TUpdateRecord::Write(const std::wstring& origin, const std::wstring& logFile, const std::wstring& runApp,
                          const std::vector<TRecordEntry>& entries) {
    using namespace swaptide_detail;
    if (entries.empty()) return;
    wchar_t name[39];
    NewJobName(name);
    const std::wstring section = name;
    const std::wstring path = RecordPath(section);
    // Claimed before it exists, so that no caller starts a second updater for it.
    Claim(section);
    bool ok = false;
    {
        UniqueKey key;
        if (::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.put(),
                              nullptr) != ERROR_SUCCESS)
            return;
        int highest = 0;
        for (const TRecordEntry& e : entries) highest = std::max(highest, e.Number);
        // A record never closes or restarts a calling program: no process id, no window.
        ok = SetText(key.get(), L"this_logfile", logFile.c_str()) && SetNumber(key.get(), L"this_processID", 0) &&
             SetNumber(key.get(), L"this_processAPP_FormHandle", 0) && SetText(key.get(), L"runApp", runApp.c_str()) &&
             SetNumber(key.get(), L"count", highest);
        for (const TRecordEntry& e : entries) {
            if (!ok) break;
            const std::wstring n = std::to_wstring(e.Number);
            ok = SetText(key.get(), (n + L"_Source").c_str(), e.Source.c_str()) &&
                 SetText(key.get(), (n + L"_Dest").c_str(), e.Dest.c_str());
        }
        // The mark last: a record cut short by the updater's death is never taken for one.
        ok = ok && SetText(key.get(), kResumeOfValue, origin.c_str());
    }
    if (!ok) {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
        return;
    }
    section_ = section;
    left_.clear();
    for (const TRecordEntry& e : entries) left_.insert(e.Number);
    SetRunOnce();
}

void TUpdateRecord::Adopt(const std::wstring& section, const std::vector<int>& kept, const std::vector<int>& skipped) {
    section_ = section;
    left_ = std::set<int>(kept.begin(), kept.end());
    if (left_.empty()) {
        Remove();
        return;
    }
    UniqueKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, RecordPath(section).c_str(), 0, KEY_SET_VALUE, key.put()) == ERROR_SUCCESS)
        for (int number : skipped) EraseEntryValues(key.get(), number);
    SetRunOnce();
}

void TUpdateRecord::EntryDone(int number) {
    if (section_.empty() || left_.erase(number) == 0) return;
    if (left_.empty()) {
        Remove();
        return;
    }
    UniqueKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, RecordPath(section_).c_str(), 0, KEY_SET_VALUE, key.put()) ==
        ERROR_SUCCESS)
        EraseEntryValues(key.get(), number);
}

size_t TUpdateRecord::Discard() {
    const size_t left = left_.size();
    if (!section_.empty()) Remove();
    return left;
}

void TUpdateRecord::SetRunOnce() {
    UniqueKey runOnce;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kRunOnceKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, runOnce.put(),
                          nullptr) != ERROR_SUCCESS)
        return;
    swaptide_detail::SetText(runOnce.get(), section_.c_str(), RunOnceCommand(OwnExecutablePath(), section_).c_str());
}

void TUpdateRecord::Remove() {
    // The record first: a run-once entry left without it starts an updater that finds no job and
    // ends at once.
    ::RegDeleteTreeW(HKEY_CURRENT_USER, RecordPath(section_).c_str());
    UniqueKey runOnce;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kRunOnceKey, 0, KEY_SET_VALUE, runOnce.put()) == ERROR_SUCCESS)
        ::RegDeleteValueW(runOnce.get(), section_.c_str());
    section_.clear();
    left_.clear();
}

}  // namespace swt
