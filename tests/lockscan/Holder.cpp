#include "tests/lockscan/Holder.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "lockscan/FileInUse_Tools.h"

namespace swt::test {

Holder::Holder(const std::vector<std::wstring>& actions, bool takesCommands) {
    std::wstring readyName = L"swt-holder-ready-" + NewGuidText();
    std::wstring quitName = L"swt-holder-quit-" + NewGuidText();
    readyEvent_.reset(::CreateEventW(nullptr, TRUE, FALSE, readyName.c_str()));
    quitEvent_.reset(::CreateEventW(nullptr, TRUE, FALSE, quitName.c_str()));
    std::wstring args = readyName + L" " + quitName + L"@" + std::to_wstring(::GetCurrentProcessId());
    for (const std::wstring& a : actions) args += L" \"" + a + L"\"";
    if (takesCommands) {
        pipe_ = L"\\\\.\\pipe\\swt-holder-" + NewGuidText();
        args += L" serve \"" + pipe_ + L"\"";
    }
    child_ = Start(BinPath(L"lockscan_holder.exe"), args);
    if (!child_.process) return;
    HANDLE waits[2] = {readyEvent_.get(), child_.process.get()};
    DWORD r = ::WaitForMultipleObjects(2, waits, FALSE, 60000);
    ready_ = r == WAIT_OBJECT_0;
    if (!ready_) ADD_FAILURE() << "holder not ready (wait " << r << ", exit code " << child_.Wait(0) << ")";
}

Holder::~Holder() {
    if (!child_.process) return;
    ::SetEvent(quitEvent_.get());
    if (child_.Wait(20000) == STILL_ACTIVE) ::TerminateProcess(child_.process.get(), 1);
}

std::wstring Holder::Command(const std::vector<std::wstring>& fields) {
    std::wstring message;
    for (const std::wstring& f : fields) message += (message.empty() ? L"" : L"\n") + f;
    wchar_t answer[512];
    DWORD read = 0;
    if (pipe_.empty() || !::CallNamedPipeW(pipe_.c_str(), message.data(),
                                           static_cast<DWORD>(message.size() * sizeof(wchar_t)), answer,
                                           sizeof answer, &read, 20000)) {
        ADD_FAILURE() << "the holder did not answer, error " << ::GetLastError();
        return L"fail";
    }
    std::wstring text(answer, read / sizeof(wchar_t));
    if (text.rfind(L"fail", 0) == 0) ADD_FAILURE() << "holder: " << testing::PrintToString(text);
    return text;
}

namespace {

// An answer "<a> <b>" of the holder; {0, 0} for a failure.
std::pair<ULONG_PTR, ULONG_PTR> TwoNumbers(const std::wstring& answer) {
    if (answer.rfind(L"fail", 0) == 0) return {0, 0};
    const size_t blank = answer.find(L' ');
    return {static_cast<ULONG_PTR>(std::stoull(answer.substr(0, blank))),
            static_cast<ULONG_PTR>(std::stoull(answer.substr(blank + 1)))};
}

}  // namespace

Holder::HeldFile Holder::Open(const std::wstring& access, const std::wstring& share, const std::wstring& path) {
    const auto [index, value] = TwoNumbers(Command({L"open", access, share, path}));
    return {static_cast<size_t>(index), value};
}

bool Holder::Close(size_t index) { return Command({L"close", std::to_wstring(index)}) == L"ok"; }

std::pair<ULONG_PTR, ULONG_PTR> Holder::Swap(size_t index, const std::wstring& access, const std::wstring& share,
                                             const std::wstring& path) {
    return TwoNumbers(Command({L"swap", std::to_wstring(index), access, share, path}));
}

std::wstring ScanNameOf(const std::wstring& path) {
    UniqueFile f(::CreateFileW(path.c_str(), 0, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(f) << "cannot open for naming, error " << ::GetLastError();
    return f ? GetHandleFileName(f.get()) : std::wstring();
}

std::wstring ShownPathOf(const std::wstring& path) { return TDevicePaths().DrivePath(ScanNameOf(path)); }

void GiveFileObjects(THandleTable& table, const std::vector<DWORD>& pids) {
    for (THandleEntry& e : table.Entries) {
        if (std::find(pids.begin(), pids.end(), static_cast<DWORD>(e.ProcessId)) == pids.end()) continue;
        UniqueHandleT owner(::OpenProcess(PROCESS_DUP_HANDLE, FALSE, static_cast<DWORD>(e.ProcessId)));
        UniqueHandleT dup;
        BY_HANDLE_FILE_INFORMATION info;
        if (!owner ||
            !::DuplicateHandle(owner.get(), reinterpret_cast<HANDLE>(e.HandleValue), ::GetCurrentProcess(), dup.put(),
                               0, FALSE, DUPLICATE_SAME_ACCESS) ||
            ::GetFileType(dup.get()) != FILE_TYPE_DISK || !::GetFileInformationByHandle(dup.get(), &info))
            continue;
        e.Object = (ULONG_PTR{info.dwVolumeSerialNumber} << 40) ^ (ULONG_PTR{info.nFileIndexHigh} << 32) ^
                   info.nFileIndexLow ^ 0x10;
    }
}

void CopyFixtureDll(const std::wstring& to) {
    ASSERT_TRUE(::CopyFileW(BinPath(L"lockscan_fixture.dll").c_str(), to.c_str(), FALSE))
        << "error " << ::GetLastError();
}

std::vector<const TProcessLockInfo*> EntriesOf(const TProcessLockList* list, const std::vector<DWORD>& pids) {
    std::vector<const TProcessLockInfo*> out;
    for (size_t i = 0; list && i < list->Count(); ++i)
        for (DWORD pid : pids)
            if ((*list)[i].ProcessId == pid) out.push_back(&(*list)[i]);
    return out;
}

bool SamePath(const std::wstring& a, const std::wstring& b) { return SameTextAscii(a, b); }

}  // namespace swt::test
