#include "support/ParamSyntax.h"

#include <windows.h>

namespace swt {

std::wstring ParamNamePart(std::wstring_view entry) {
    std::wstring s = UpperText(entry);
    if (!s.empty() && (s[0] == L'-' || s[0] == L'/' || s[0] == L'\\')) s.erase(0, 1);
    size_t cut = s.find_first_of(L":=");
    if (cut != std::wstring::npos) s.resize(cut);
    return TrimBlanks(s);
}

std::optional<std::wstring> FindParamValue(const std::vector<std::wstring>& entries, std::wstring_view name) {
    const std::wstring key = UpperText(L"/" + std::wstring(name) + L":");
    for (const std::wstring& entry : entries) {
        if (entry.size() < key.size()) continue;
        if (UpperText(std::wstring_view(entry).substr(0, key.size())) != key) continue;
        std::wstring value = entry.substr(key.size(), kMaxParamValueLength);
        // Never leave half of a surrogate pair at the cut.
        if (value.size() == kMaxParamValueLength && entry.size() > key.size() + kMaxParamValueLength &&
            IS_HIGH_SURROGATE(value.back()))
            value.pop_back();
        return value;
    }
    return std::nullopt;
}

int FindParamIndex(const std::vector<std::wstring>& entries, std::wstring_view name) {
    const std::wstring wanted = UpperText(name);
    if (wanted.empty()) return -1;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].empty()) continue;
        if (ParamNamePart(entries[i]) == wanted) return static_cast<int>(i);
    }
    return -1;
}

bool HasParamFlag(const std::vector<std::wstring>& entries, std::wstring_view name) {
    return FindParamIndex(entries, name) >= 0;
}

std::wstring RequestedParamName(std::wstring_view name) {
    std::wstring s = TrimBlanks(UpperText(name));
    size_t lead = 0;
    while (lead < s.size() && (s[lead] == L' ' || s[lead] == L'-' || s[lead] == L'/' || s[lead] == L'\\')) ++lead;
    s.erase(0, lead);
    std::wstring out;
    out.reserve(s.size());
    for (wchar_t c : s)
        if (c != L':' && c != L'=') out.push_back(c);
    return out;
}

std::wstring ExpandEnvironment(std::wstring_view text) {
    std::wstring s = TrimBlanks(text);
    if (s.size() >= 2 && s.front() == L'"' && s.back() == L'"') s = s.substr(1, s.size() - 2);
    if (s.find(L'%') == std::wstring::npos) return s;
    // The environment may grow between the size query and the expansion: ask again then.
    DWORD need = ::ExpandEnvironmentStringsW(s.c_str(), nullptr, 0);
    for (int attempt = 0; attempt < 3 && need > 0; ++attempt) {
        std::wstring buf(need, L'\0');
        DWORD got = ::ExpandEnvironmentStringsW(s.c_str(), buf.data(), need);
        if (got == 0) break;
        if (got <= need) {
            buf.resize(buf.find(L'\0') == std::wstring::npos ? buf.size() : buf.find(L'\0'));
            return buf;
        }
        need = got;
    }
    return s;
}

}  // namespace swt
