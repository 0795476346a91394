#include "support/ApplicationParams.h"

#include <windows.h>

#include <memory>

#include "base/CommandLine.h"
#include "base/IntText.h"
#include "base/PathName.h"
#include "support/ParamFile.h"
#include "support/ParamSyntax.h"
#include "support/PrivateTemp.h"
#include "support/ProcessAffinity.h"

namespace swt {

namespace {

std::unique_ptr<TApplicationParamList> g_list;

std::wstring WithIniExtension(const std::wstring& programPath) {
    size_t slash = programPath.find_last_of(L"\\/");
    size_t dot = programPath.rfind(L'.');
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) return programPath + L".INI";
    return programPath.substr(0, dot) + L".INI";
}

}  // namespace

TApplicationParamList::TApplicationParamList(std::vector<std::wstring> entries) : entries_(std::move(entries)) {}

TApplicationParamList::TApplicationParamList(ForProcess) {
    // Creation never reports: each of its four steps below skips only itself when it fails.
    const std::wstring programPath = ProgramPath();
    // Command line: the program path and the arguments, only when there are arguments. Split in
    // one piece, so that no single argument can fail on its own.
    try {
        std::vector<std::wstring> args = CommandLineArgs();
        if (args.size() > 1) {
            if (!programPath.empty()) args[0] = programPath;
            entries_ = std::move(args);
        }
    } catch (...) {
    }
    // Parameter file: "INIFILE" from the command line, else the program's own ".INI".
    try {
        std::wstring name = GetParamValue(L"INIFILE");
        if (name.empty() || !IsFile(name)) name = WithIniExtension(programPath);
        std::vector<std::wstring> fileEntries = ReadParamFileEntries(name);
        entries_.insert(entries_.end(), fileEntries.begin(), fileEntries.end());
    } catch (...) {
    }
    // Neither the private temporary folder nor the affinity mask can throw (see their headers).
    if (!PrivateTempSetUpDone()) fTempFolderDelete = SetUpPrivateTempFolder(GetParamValue(L"TEMP"), programPath);
    ApplyProcessAffinityMask(GetParamValue(L"PROCESSAFFINITYMASK"));
}

TApplicationParamList::~TApplicationParamList() { DeleteTempFolderNow(); }

void TApplicationParamList::DeleteTempFolderNow() noexcept {
    if (fTempFolderDelete.empty()) return;
    DeletePrivateTempFolder(fTempFolderDelete);
    fTempFolderDelete.clear();
}

void TApplicationParamList::AddRequestedParam(std::wstring_view name) noexcept {
    try {
        std::wstring n = RequestedParamName(name);
        std::wstring upper = UpperText(n);
        for (const std::wstring& have : fRequestedParams)
            if (UpperText(have) == upper) return;
        fRequestedParams.push_back(std::move(n));
    } catch (...) {
    }
}

bool TApplicationParamList::GetCheckParam(std::wstring_view value) noexcept {
    AddRequestedParam(value);
    try {
        return HasParamFlag(entries_, value);
    } catch (...) {
        return false;
    }
}

std::wstring TApplicationParamList::GetParamValue(std::wstring_view param) noexcept {
    AddRequestedParam(param);
    try {
        return FindParamValue(entries_, param).value_or(std::wstring());
    } catch (...) {
        return {};
    }
}

void TApplicationParamList::SetParamValue(const std::wstring& param, const std::wstring& value) {
    std::wstring entry = L"/" + param + L":" + value;
    int index = GetParamIndex(param);
    if (index >= 0)
        entries_[static_cast<size_t>(index)] = std::move(entry);
    else
        entries_.push_back(std::move(entry));
}

int TApplicationParamList::GetParamIndex(const std::wstring& param) const { return FindParamIndex(entries_, param); }

int TApplicationParamList::GetParamValueInt(const std::wstring& param) {
    return StrToIntDef(TrimBlanks(GetParamValue(param)), 0);
}

std::vector<std::wstring> TApplicationParamList::RequestedParams(bool hiddenValues) const {
    std::vector<std::wstring> out;
    for (const std::wstring& name : fRequestedParams)
        if (hiddenValues || name.empty() || name[0] != L'$') out.push_back(name);
    return out;
}

std::wstring TApplicationParamList::TempFolder() { return swt::TempFolder(); }
void TApplicationParamList::SetTempFolder(const std::wstring& value) { swt::SetTempFolder(value); }
std::wstring TApplicationParamList::TempFolderOrigin() { return swt::TempFolderOrigin(); }

TApplicationParamList& ApplicationParams() {
    if (!g_list) g_list.reset(new TApplicationParamList(TApplicationParamList::ForProcess{}));
    return *g_list;
}

void ReleaseApplicationParams() noexcept { g_list.reset(); }

TApplicationParamList* ApplicationParamsIfCreated() noexcept { return g_list.get(); }

}  // namespace swt
