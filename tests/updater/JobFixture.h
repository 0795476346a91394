// An update job written the way a calling application writes it, under a section of its own.
#pragma once
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "tests/common/TestSupport.h"
#include "updater/SwaptideUnit.h"

namespace swt::test {

inline const std::wstring kVeltraUpdate = L"Software\\Veltra Software\\Update";
inline const std::wstring kOstermUpdate = L"Software\\Osterm GmbH\\Update";
inline const std::wstring kRunOnce = swt::TUpdateRecord::kRunOnceKey;

// A string value under HKEY_CURRENT_USER\<path>; empty when it is missing.
inline std::wstring RegString(const std::wstring& path, const std::wstring& name) {
    wchar_t text[2048] = {};
    DWORD bytes = sizeof text - sizeof(wchar_t);
    if (::RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, text, &bytes) !=
        ERROR_SUCCESS)
        return L"";
    return text;
}

inline bool HasRegValue(const std::wstring& path, const std::wstring& name) {
    return ::RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name.c_str(), RRF_RT_ANY, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

// The records the updater keeps of runs of the job `origin` (their names, "{GUID}").
inline std::vector<std::wstring> RecordsOf(const std::wstring& origin) {
    std::vector<std::wstring> records;
    UniqueKey update;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kVeltraUpdate.c_str(), 0, KEY_READ, update.put()) != ERROR_SUCCESS)
        return records;
    for (DWORD i = 0; i < 10000; ++i) {
        wchar_t name[256];
        DWORD chars = 256;
        if (::RegEnumKeyExW(update.get(), i, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (RegString(kVeltraUpdate + L"\\" + name, L"resumeOf") == origin) records.push_back(name);
    }
    return records;
}

// Removes the records of the job `origin` with their run-once entries.
inline void RemoveRecordsOf(const std::wstring& origin) {
    for (const std::wstring& record : RecordsOf(origin)) {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, (kVeltraUpdate + L"\\" + record).c_str());
        ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunOnce.c_str(), record.c_str());
    }
}

struct Job {
    explicit Job(const std::wstring& section = NewGuidText(), const std::wstring& updateKey = kVeltraUpdate)
        : section(section), key(updateKey, section) {}
    // A run of the job that did not finish leaves a record of what was left: it goes with the job.
    ~Job() { RemoveRecordsOf(section); }
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;
    std::wstring section;
    TempDir dir;
    RegKey key;

    // A source file that exists, and the value pair of entry n pointing at it.
    std::wstring AddEntry(int n, const std::wstring& dest) {
        std::wstring source = dir / (L"new" + std::to_wstring(n) + L".bin");
        WriteFileBytes(source, "new");
        key.SetString(std::to_wstring(n) + L"_Source", source);
        key.SetString(std::to_wstring(n) + L"_Dest", dest);
        return source;
    }
    std::wstring LogPath() const { return dir / L"update.log"; }
    // The calling program: its process id, its main window's class and caption, and the command
    // line that starts it again.
    void NameCaller(DWORD pid, const std::wstring& cls, const std::wstring& caption, const std::wstring& runApp) {
        key.SetString(L"this_processID", std::to_wstring(pid));
        key.SetString(L"this_class", cls);
        key.SetString(L"this_caption", caption);
        key.SetString(L"runApp", runApp);
    }
    // A job with a log and one entry per destination, in the given order; each destination holds
    // "old". Returns the sources.
    std::vector<std::wstring> AddEntries(const std::vector<std::wstring>& dests) {
        key.SetString(L"this_logfile", LogPath());
        key.SetString(L"count", std::to_wstring(dests.size()));
        std::vector<std::wstring> sources;
        for (size_t i = 0; i < dests.size(); ++i) {
            WriteFileBytes(dests[i], "old");
            sources.push_back(AddEntry(static_cast<int>(i + 1), dests[i]));
        }
        return sources;
    }
};

// The updater's window object after FormCreate, for the job under the given section.
inline std::unique_ptr<swt::TUpdateRun> FormFor(const std::wstring& section) {
    auto form = std::make_unique<swt::TUpdateRun>(std::vector<std::wstring>{L"Swaptide2.exe", L"doit", section});
    form->FormCreate();
    return form;
}

// The lines of a log, each checked against the line format and returned without its frame.
inline std::vector<std::string> LogMessages(const std::string& bytes) {
    const std::string sep(1, static_cast<char>(UserTimeSeparator()));
    const std::regex line("(\\d{4}-\\d\\d-\\d\\d \\d\\d" + sep + "\\d\\d" + sep +
                          "\\d\\d,\\d{3}  \\tExternUpdate \\t0 \\t)(.*) \r\n");
    std::vector<std::string> messages;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find("\r\n", pos);
        if (end == std::string::npos) {
            ADD_FAILURE() << "log ends without CR LF: " << bytes.substr(pos);
            break;
        }
        std::string one = bytes.substr(pos, end + 2 - pos);
        std::smatch m;
        if (std::regex_match(one, m, line))
            messages.push_back(m[2]);
        else
            ADD_FAILURE() << "line out of format: " << one;
        pos = end + 2;
    }
    return messages;
}

}  // namespace swt::test
