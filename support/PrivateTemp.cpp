#include "support/PrivateTemp.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include "base/Error.h"
#include "base/PathName.h"
#include "base/SystemErrorText.h"
#include "support/ParamSyntax.h"
#include "base/UniqueHandle.h"

namespace swt {

namespace {

struct TempState {
    std::wstring guidText;
    std::wstring origin;    // recorded at start-up
    std::wstring explicitTemp;  // written through SetTempFolder
    bool setUpDone = false;
};
TempState g_state;

std::wstring WithBackslash(std::wstring s) {
    if (s.empty() || s.back() != L'\\') s.push_back(L'\\');
    return s;
}

std::wstring WithoutBackslash(std::wstring s) {
    while (s.size() > 1 && (s.back() == L'\\' || s.back() == L'/')) s.pop_back();
    return s;
}

void SetTempVariables(const std::wstring& value) noexcept {
    ::SetEnvironmentVariableW(L"TEMP", value.c_str());
    ::SetEnvironmentVariableW(L"TMP", value.c_str());
}

// "%TMP%", or the system's temporary path when TMP is undefined or empty: a literal "%TMP%"
// would otherwise become a folder of that name in the current folder.
std::wstring UserTmpFolder() {
    std::wstring t = ExpandEnvironment(L"%TMP%");
    if (!t.empty() && t != L"%TMP%") return t;
    wchar_t buf[MAX_PATH + 1];
    DWORD n = ::GetTempPathW(MAX_PATH + 1, buf);
    return n > 0 && n <= MAX_PATH ? std::wstring(buf, n) : std::wstring();
}

std::wstring FullPath(const std::wstring& path) {
    DWORD need = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (need == 0) return {};
    std::wstring buf(need, L'\0');
    DWORD got = ::GetFullPathNameW(path.c_str(), need, buf.data(), nullptr);
    if (got == 0 || got >= need) return {};
    buf.resize(got);
    return buf;
}

std::wstring SystemMessage(HRESULT hr) {
    std::wstring msg = TrimBlanks(SystemText(static_cast<DWORD>(hr)));
    return msg.empty() ? L"Systemfehler " + std::to_wstring(hr) : msg;
}

}  // namespace

void TempFoldersStartup(bool resetTempFromOrigin) {
    g_state = TempState{};
    GUID guid{};
    HRESULT hr = ::CoCreateGuid(&guid);
    if (FAILED(hr)) throw Error(SystemMessage(hr));
    wchar_t text[64];
    if (::StringFromGUID2(guid, text, 64) != 39) throw Error(SystemMessage(E_UNEXPECTED));
    g_state.guidText = text;

    std::wstring origin = ExpandEnvironment(L"%ORIGIN_TEMP%");
    // An empty ORIGIN_TEMP names no folder: it counts as not set.
    if (origin != L"%ORIGIN_TEMP%" && !TrimBlanks(origin).empty()) {
        if (resetTempFromOrigin) SetTempVariables(origin);
    } else {
        origin = UserTmpFolder();
        ::SetEnvironmentVariableW(L"ORIGIN_TEMP", origin.c_str());
    }
    g_state.origin = origin;
}

void ClearTempFolderValues() noexcept {
    g_state.origin.clear();
    g_state.explicitTemp.clear();
}

void TempFoldersShutdown() noexcept { g_state = TempState{}; }

const std::wstring& StartupGuidText() { return g_state.guidText; }

std::wstring TempFolder() {
    if (!g_state.explicitTemp.empty()) return g_state.explicitTemp;
    return ExpandEnvironment(L"%TMP%");
}

std::wstring TempFolderOrigin() { return g_state.origin.empty() ? TempFolder() : g_state.origin; }

void SetTempFolder(const std::wstring& value) {
    std::wstring expanded = ExpandEnvironment(value);
    std::wstring folder = WithBackslash(expanded);
    // An empty value would name the root of the current drive.
    if (expanded.empty() || !IsFolder(folder)) throw Error(L"Verzeichnis " + folder + L" ist nicht vorhanden");
    g_state.explicitTemp = folder;
    SetTempVariables(folder);
}

bool PrivateTempSetUpDone() noexcept { return g_state.setUpDone; }

std::wstring SetUpPrivateTempFolder(const std::wstring& tempParam, const std::wstring& programPath) noexcept {
    // The one boundary of this side step: whatever fails (lack of memory for a path) skips it.
    try {
        g_state.setUpDone = true;
        if (g_state.guidText.empty()) return {};
        auto unquoted = [](std::wstring s) {
            std::erase(s, L'"');
            return TrimBlanks(s);
        };
        std::wstring base = unquoted(TrimBlanks(tempParam));
        if (base.empty()) base = unquoted(TrimBlanks(g_state.origin));
        if (base.empty()) base = unquoted(UserTmpFolder());
        if (base.empty()) return {};
        // Made absolute once, so the folder deleted at the end is the one created here even
        // when the current folder changes in between.
        base = FullPath(WithBackslash(base));
        if (base.empty()) return {};
        base = WithBackslash(base);

        std::wstring folder = base;
        if (UpperText(FileBaseName(programPath)).rfind(L"DS_", 0) != 0) folder += g_state.guidText + L"\\";

        if (!CreateFolderChain(folder)) return {};
        const std::wstring bare = WithoutBackslash(folder);
        DWORD attrs = ::GetFileAttributesW(bare.c_str());
        if (attrs != INVALID_FILE_ATTRIBUTES)
            ::SetFileAttributesW(bare.c_str(), attrs | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);

        const std::wstring probePath = folder + g_state.guidText + L"." + g_state.guidText;
        {
            UniqueFile probe(::CreateFileW(probePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!probe) return {};
            // System calls only from here on: nothing between the probe and its deletion can fail.
            SetTempVariables(folder);
            ::MoveFileExW(bare.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        }
        ::DeleteFileW(probePath.c_str());
        return folder;
    } catch (...) {
        return {};
    }
}

bool IsOwnPrivateTempFolder(const std::wstring& folder) {
    const std::wstring& guid = g_state.guidText;
    if (guid.empty()) return false;
    std::wstring bare = WithoutBackslash(folder);
    if (bare.size() <= guid.size() + 1) return false;
    std::wstring tail = bare.substr(bare.size() - guid.size() - 1);
    return UpperText(tail) == UpperText(L"\\" + guid);
}

void DeletePrivateTempFolder(const std::wstring& folder) noexcept {
    try {
        if (!IsOwnPrivateTempFolder(folder)) return;
        std::wstring from = WithoutBackslash(folder);
        from.append(2, L'\0');  // the list of paths ends with two zero characters
        SHFILEOPSTRUCTW op{};
        op.wFunc = FO_DELETE;
        op.pFrom = from.c_str();
        op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
        ::SHFileOperationW(&op);
    } catch (...) {
    }
}

}  // namespace swt
