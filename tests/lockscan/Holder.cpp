#include "tests/lockscan/Holder.h"

#include <gtest/gtest.h>

#include "lockscan/FileInUse_Tools.h"

namespace swt::test {

Holder::Holder(const std::vector<std::wstring>& actions) {
    std::wstring readyName = L"swt-holder-ready-" + NewGuidText();
    std::wstring quitName = L"swt-holder-quit-" + NewGuidText();
    readyEvent_.reset(::CreateEventW(nullptr, TRUE, FALSE, readyName.c_str()));
    quitEvent_.reset(::CreateEventW(nullptr, TRUE, FALSE, quitName.c_str()));
    std::wstring args = readyName + L" " + quitName + L"@" + std::to_wstring(::GetCurrentProcessId());
    for (const std::wstring& a : actions) args += L" \"" + a + L"\"";
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

std::wstring ScanNameOf(const std::wstring& path) {
    UniqueFile f(::CreateFileW(path.c_str(), 0, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(f) << "cannot open for naming, error " << ::GetLastError();
    return f ? GetHandleFileName(f.get()) : std::wstring();
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
