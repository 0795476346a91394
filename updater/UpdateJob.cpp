#include "updater/UpdateJob.h"

#include <cwctype>
#include <vector>

#include "support/Error.h"
#include "support/IntText.h"

namespace swt {

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
    // The value may grow between the two calls: read again until the buffer holds it.
    std::vector<wchar_t> buf;
    for (;;) {
        buf.assign(size / sizeof(wchar_t) + 1, L'\0');
        DWORD bytes = static_cast<DWORD>((buf.size() - 1) * sizeof(wchar_t));
        rc = ::RegQueryValueExW(section_.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf.data()),
                                &bytes);
        if (rc == ERROR_MORE_DATA) {
            size = bytes;
            continue;
        }
        if (rc == ERROR_FILE_NOT_FOUND) return def;
        if (rc != ERROR_SUCCESS) return def;
        if (type != REG_SZ && type != REG_EXPAND_SZ) throw Error(L"Ungültiger Datentyp für '" + name + L"'");
        size_t chars = bytes / sizeof(wchar_t);
        std::wstring value(buf.data(), chars);
        if (size_t nul = value.find(L'\0'); nul != std::wstring::npos) value.resize(nul);
        return value;
    }
}

bool TUpdateJobKey::HasValue(const std::wstring& name) const {
    return section_ && ::RegQueryValueExW(section_.get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

int32_t TUpdateJobKey::ReadInteger(const std::wstring& name) const { return StrToIntDef(ReadString(name, L""), 0); }

int32_t TUpdateJobKey::HighestSourceIndex() const {
    if (!section_) return 0;
    static constexpr std::wstring_view kSuffix = L"_source";
    int32_t highest = 0;
    std::vector<wchar_t> name(16384);
    for (DWORD i = 0;; ++i) {
        DWORD len = static_cast<DWORD>(name.size());
        LONG rc = ::RegEnumValueW(section_.get(), i, name.data(), &len, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS) continue;
        std::wstring_view n(name.data(), len);
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

void TUpdateJobKey::EraseSection() {
    section_.reset();
    if (update_) ::RegDeleteTreeW(update_.get(), sectionName_.c_str());
}

}  // namespace swt
