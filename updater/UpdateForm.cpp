#include "updater/UpdateForm.h"

#include <algorithm>

#include "support/base/IntText.h"
#include "updater/UpdateJob.h"
#include "updater/UpdateLog.h"

namespace swt {

namespace {
constexpr const wchar_t* kCategory = L"ExternUpdate";

bool IsExistingFile(const std::wstring& path) {
    DWORD attr = ::GetFileAttributesW(path.c_str());
    return attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY);
}
}  // namespace

TForm1::TForm1(std::vector<std::wstring> args) : args_(std::move(args)) {}

TForm1::~TForm1() {
    // The rows go before the entries whose locks they show.
    FProcessList.reset();
    FToDoList.reset();
}

void TForm1::FormCreate() {
    ::GetLocalTime(&FStartTime);
    FRestartCaller = false;
    FCallerProcessId = 0;
    std::wstring arg2 = args_.size() > 2 ? args_[2] : std::wstring();
    if (!arg2.empty() && arg2[0] == L'{') {
        FSection = arg2;
        FBaseKey = L"Software\\Veltra Software";
    } else {
        FSection = L"Selvane";
        FBaseKey = L"Software\\Osterm GmbH";
    }
    FToDoList.reset();
}

void TForm1::ReadUpdateJob() {
    FToDoList = std::make_unique<TToDoList>();
    FProcessList = std::make_unique<TProcessList>(FToDoList.get());
    FToDoList->FProcessList = FProcessList.get();

    TUpdateJobKey job(FBaseKey, FSection);
    const std::wstring keyName = FBaseKey + L"\\Update";
    FLogFile = job.ReadString(L"this_logfile", L"");
    WriteLog(0, kCategory, L"RegistryRead " + keyName);

    FCallerProcessId = static_cast<uint32_t>(job.ReadInteger(L"this_processID"));
    if (FCallerProcessId != 0) {
        std::wstring cls = job.ReadString(L"this_class", kWindowClass);
        std::wstring caption = job.ReadString(L"this_caption", kCaption);
        FCallerWindow = ::FindWindowW(cls.c_str(), caption.c_str());
    } else {
        FCallerWindow = reinterpret_cast<HWND>(static_cast<intptr_t>(job.ReadInteger(L"this_processAPP_FormHandle")));
    }
    FRunApp = job.ReadString(L"runApp", L"");

    const int32_t count = job.ReadInteger(L"count");
    // Past the highest "<n>_Source" present every entry would be skipped anyway.
    const int32_t last = count > 0 ? std::min(count, job.HighestSourceIndex()) : 0;
    for (int32_t n = 1; n <= last; ++n) {
        const std::wstring sourceName = std::to_wstring(n) + L"_Source";
        if (!IsExistingFile(job.ReadString(sourceName, L"XX$"))) continue;
        std::wstring source = job.ReadString(sourceName, L"");
        std::wstring dest = job.ReadString(std::to_wstring(n) + L"_Dest", L"");
        TUpdateItem::Create(FToDoList.get(), std::move(source), std::move(dest));
    }

    job.EraseSection();
    WriteLog(0, kCategory, L"RegistryErased: " + keyName);
}

void TForm1::WriteLog(int level, const std::wstring& category, const std::wstring& text) const {
    if (FLogFile.empty()) return;
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    AppendLogLine(FLogFile, FormatLogLine(now, UserTimeSeparator(), category, level, text));
}

}  // namespace swt
