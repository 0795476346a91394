#include "updater/UpdateJob.h"

#include <algorithm>
#include <cwctype>
#include <vector>

#include "base/Error.h"
#include "base/IntText.h"
#include "base/PathName.h"
#include "updater/SwaptideCaller.h"

namespace swt {

namespace {
// Reads of one value before it counts as unreadable (it would have to keep growing meanwhile).
constexpr int kMaxReadAttempts = 8;
// No string value of a job is longer than this; larger sizes are not offered.
constexpr DWORD kMaxValueBytes = 64u * 1024 * 1024;

// 0 when path names an existing file, else why it does not (a folder is refused as copying from
// one is).
DWORD SourceFileError(const std::wstring& path) {
    const std::wstring extended = ExtendedPath(path);
    const DWORD attr = ::GetFileAttributesW((extended.empty() ? path : extended).c_str());
    if (attr == INVALID_FILE_ATTRIBUTES) return ::GetLastError() ? ::GetLastError() : ERROR_FILE_NOT_FOUND;
    return (attr & FILE_ATTRIBUTE_DIRECTORY) ? ERROR_ACCESS_DENIED : 0;
}

DWORD RoundUpToChars(DWORD bytes) {
    bytes = std::min(bytes, kMaxValueBytes);
    return bytes + bytes % sizeof(wchar_t);
}
}  // namespace

TUpdateJobKey::TUpdateJobKey(const std::wstring& baseKey, const std::wstring& section) : sectionName_(section) {
    std::wstring path = baseKey + L"\\Update";
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, update_.put(),
                          nullptr) != ERROR_SUCCESS) {
        update_.release();
        return;
    }
    if (::RegOpenKeyExW(update_.get(), section.c_str(), 0, KEY_READ, section_.put()) != ERROR_SUCCESS)
        section_.release();
}

std::wstring TUpdateJobKey::ReadString(const std::wstring& name, const std::wstring& def) const {
    if (!section_) return def;
    DWORD type = 0;
    DWORD size = 0;
    LONG rc = ::RegQueryValueExW(section_.get(), name.c_str(), nullptr, &type, nullptr, &size);
    if (rc == ERROR_FILE_NOT_FOUND) return def;
    if (rc != ERROR_SUCCESS) return def;
    if (type != REG_SZ && type != REG_EXPAND_SZ) throw Error(L"Ungültiger Datentyp für '" + name + L"'");
    // The value may grow between the two calls: read again, with room for what the last call
    // asked for. The offer is rounded up to whole characters (a value of odd byte length keeps
    // its odd byte out of the text) and at least doubles on each "more data" answer, so the
    // attempts are few whatever the registry says; past them the value reads as missing.
    DWORD offered = RoundUpToChars(size);
    for (int attempt = 0; attempt < kMaxReadAttempts; ++attempt) {
        std::vector<wchar_t> buf(offered / sizeof(wchar_t) + 1, L'\0');
        DWORD bytes = offered;
        rc = ::RegQueryValueExW(section_.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf.data()),
                                &bytes);
        if (rc == ERROR_MORE_DATA) {
            const DWORD grown = offered <= kMaxValueBytes / 2 ? std::max<DWORD>(offered * 2, 64) : kMaxValueBytes;
            offered = std::max(RoundUpToChars(std::min(bytes, kMaxValueBytes)), grown);
            continue;
        }
        if (rc != ERROR_SUCCESS) return def;
        if (type != REG_SZ && type != REG_EXPAND_SZ) throw Error(L"Ungültiger Datentyp für '" + name + L"'");
        std::wstring value(buf.data(), std::min(bytes, offered) / sizeof(wchar_t));
        if (size_t nul = value.find(L'\0'); nul != std::wstring::npos) value.resize(nul);
        return value;
    }
    return def;
}

bool TUpdateJobKey::HasValue(const std::wstring& name) const {
    return section_ && ::RegQueryValueExW(section_.get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

int32_t TUpdateJobKey::ReadInteger(const std::wstring& name) const { return StrToIntDef(ReadString(name, L""), 0); }

int32_t HighestSourceIndex(const ValueNameReader& readName) {
    static constexpr std::wstring_view kSuffix = L"_source";
    int32_t highest = 0;
    std::vector<wchar_t> name(kMaxValueNameChars + 1);
    for (DWORD i = 0; i < MAXDWORD; ++i) {
        DWORD len = static_cast<DWORD>(name.size());
        // Anything but a name ends the listing: the end of the list, and also an error such as a
        // section deleted meanwhile, which would fail at every further index. The job then reads
        // as what was found so far.
        if (readName(i, name.data(), &len) != ERROR_SUCCESS) break;
        std::wstring_view n(name.data(), std::min<size_t>(len, name.size()));
        // "<n>_Source" with n in decimal without leading zeros; value names ignore letter case.
        if (n.size() <= kSuffix.size()) continue;
        std::wstring_view digits = n.substr(0, n.size() - kSuffix.size());
        std::wstring_view suffix = n.substr(digits.size());
        bool suffixMatches = true;
        for (size_t k = 0; k < suffix.size(); ++k)
            if (static_cast<wchar_t>(std::towlower(suffix[k])) != kSuffix[k]) suffixMatches = false;
        if (!suffixMatches || digits.empty() || digits[0] == L'0' || digits.size() > 10) continue;
        int64_t value = 0;
        bool ok = true;
        for (wchar_t c : digits) {
            if (c < L'0' || c > L'9') ok = false;
            value = value * 10 + (c - L'0');
        }
        if (ok && value <= INT32_MAX && value > highest) highest = static_cast<int32_t>(value);
    }
    return highest;
}

int32_t TUpdateJobKey::HighestSourceIndex() const {
    if (!section_) return 0;
    return swt::HighestSourceIndex([this](DWORD index, wchar_t* name, DWORD* length) {
        return ::RegEnumValueW(section_.get(), index, name, length, nullptr, nullptr, nullptr, nullptr);
    });
}

void TUpdateJobKey::EraseSection() {
    section_.reset();
    if (update_) ::RegDeleteTreeW(update_.get(), sectionName_.c_str());
}

TUpdateJob ReadJob(const TUpdateJobKey& key) {
    TUpdateJob job;
    try {
        job.LogFile = key.ReadString(L"this_logfile", L"");
        job.LogFileRead = true;
        job.Resumed = key.HasValue(swaptide_detail::kResumeOfValue);
        job.CallerProcessId = static_cast<uint32_t>(key.ReadInteger(L"this_processID"));
        if (job.CallerProcessId != 0) {
            const bool haveClass = key.HasValue(L"this_class");
            job.CallerClass = key.ReadString(L"this_class", L"");
            const bool haveCaption = key.HasValue(L"this_caption");
            job.CallerCaption = key.ReadString(L"this_caption", L"");
            job.HaveCallerClassAndCaption = haveClass && haveCaption;
        } else {
            job.CallerFormHandle =
                reinterpret_cast<HWND>(static_cast<intptr_t>(key.ReadInteger(L"this_processAPP_FormHandle")));
        }
        job.CallerRead = true;
        job.RunApp = key.ReadString(L"runApp", L"");

        const int32_t count = key.ReadInteger(L"count");
        // Past the highest "<n>_Source" present every entry would be skipped anyway.
        const int32_t last = count > 0 ? std::min(count, key.HighestSourceIndex()) : 0;
        for (int32_t n = 1; n <= last; ++n) {
            const std::wstring sourceName = std::to_wstring(n) + L"_Source";
            const DWORD sourceError = SourceFileError(key.ReadString(sourceName, L"XX$"));
            // A source that is missing (or a folder) leaves its entry out. A number without a
            // source value is no entry at all.
            if (sourceError && !key.HasValue(sourceName)) continue;
            std::wstring source = key.ReadString(sourceName, L"");
            std::wstring dest = key.ReadString(std::to_wstring(n) + L"_Dest", L"");
            if (sourceError) job.Skipped.push_back({n, std::move(source), std::move(dest), sourceError});
            else job.Entries.push_back({n, std::move(source), std::move(dest)});
        }
    } catch (...) {
        job.Failure = std::current_exception();
    }
    return job;
}

}  // namespace swt
