// Finding the calling program's window from the job, against a real window of this process.
#include <gtest/gtest.h>

#include "tests/updater/JobFixture.h"
#include "updater/SwaptideUnit.h"

namespace {

using namespace swt::test;

struct CallerWindow {
    CallerWindow() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"SwtCallerMainForm";
        ::RegisterClassW(&wc);
        window.reset(::CreateWindowExW(0, wc.lpszClassName, L"Caller Application", WS_OVERLAPPEDWINDOW, 0, 0, 100,
                                       100, nullptr, nullptr, wc.hInstance, nullptr));
    }
    swt::UniqueWindow window;
};

TEST(ReadUpdateJob, CallerWindowComesFromClassAndCaptionOrFromTheHandleValue) {
    CallerWindow own;  // a window of the updater's own process is never the caller's
    ASSERT_TRUE(own.window);
    Child caller = Start(BinPath(L"sample_caller.exe"), L"/caption \"Caller Application\"");
    HWND callerWindow = nullptr;
    for (int i = 0; i < 500 && !callerWindow; ++i, ::Sleep(20)) callerWindow = swt::FindProcessWindow(caller.pid);
    ASSERT_TRUE(callerWindow);
    {
        Job job;
        job.key.SetString(L"this_processID", std::to_wstring(caller.pid));
        job.key.SetString(L"this_class", L"swtsamplecaller");  // window classes ignore letter case
        job.key.SetString(L"this_caption", L"Caller Application");
        job.key.SetDword(L"this_processAPP_FormHandle", 1);  // not read: it would raise
        auto form = FormFor(job.section);
        form->ReadUpdateJob();
        EXPECT_EQ(form->FCallerProcessId, caller.pid);
        EXPECT_EQ(form->FCallerWindow, callerWindow);
    }
    {
        Job job;  // the window has the class and caption, but another process owns it
        job.key.SetString(L"this_processID", L"4242");
        job.key.SetString(L"this_class", L"SwtSampleCaller");
        job.key.SetString(L"this_caption", L"Caller Application");
        auto form = FormFor(job.section);
        form->ReadUpdateJob();
        EXPECT_EQ(form->FCallerProcessId, 4242u);
        EXPECT_EQ(form->FCallerWindow, nullptr);
    }
    {
        Job job;
        job.key.SetString(L"this_processID", L"4242");
        job.key.SetString(L"this_class", L"SwtCallerMainForm");
        job.key.SetString(L"this_caption", L"Caller Application");
        auto form = FormFor(job.section);
        form->ReadUpdateJob();
        EXPECT_EQ(form->FCallerWindow, nullptr);
    }
    {
        Job job;  // an empty caption matches only an empty caption, never "any"
        job.key.SetString(L"this_processID", L"$10");
        job.key.SetString(L"this_class", L"SwtCallerMainForm");
        job.key.SetString(L"this_caption", L"");
        auto form = FormFor(job.section);
        form->ReadUpdateJob();
        EXPECT_EQ(form->FCallerProcessId, 16u);
        EXPECT_EQ(form->FCallerWindow, nullptr);
    }
    {
        Job job;
        job.key.SetString(L"this_processID", L"0");
        job.key.SetDword(L"this_class", 1);  // not read: it would raise
        job.key.SetString(L"this_processAPP_FormHandle", L"-2");
        auto form = FormFor(job.section);
        form->ReadUpdateJob();
        EXPECT_EQ(form->FCallerProcessId, 0u);
        EXPECT_EQ(form->FCallerWindow, reinterpret_cast<HWND>(static_cast<intptr_t>(-2)));
    }
    ::PostMessageW(callerWindow, WM_CLOSE, 0, 0);
    EXPECT_EQ(caller.Wait(), 0u);
}

}  // namespace

namespace {

// Without "this_class" or "this_caption" the caller's window is its process's first visible,
// enabled top-level window; the updater's own window ("TForm1", "Update") is never taken.
TEST(ReadUpdateJob, WithoutClassOrCaptionTheCallerWindowComesFromItsProcess) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TForm1";
    ::RegisterClassW(&wc);
    swt::UniqueWindow own(::CreateWindowExW(0, L"TForm1", L"Update", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100,
                                            nullptr, nullptr, wc.hInstance, nullptr));
    ASSERT_TRUE(own);
    Child caller = Start(BinPath(L"sample_caller.exe"), L"/caption \"Pid Caller\"");
    HWND callerWindow = nullptr;
    for (int i = 0; i < 500 && !callerWindow; ++i, ::Sleep(20)) callerWindow = swt::FindProcessWindow(caller.pid);
    ASSERT_TRUE(callerWindow);

    struct Case {
        DWORD pid;
        const wchar_t* cls;  // null: value missing
        const wchar_t* caption;
        HWND expected;
    } cases[] = {
        {caller.pid, nullptr, nullptr, callerWindow},
        {caller.pid, L"SwtSampleCaller", nullptr, callerWindow},
        {caller.pid, L"SwtSampleCaller", L"Pid Caller", callerWindow},
        // No window of the caller has this class and caption: its first visible window.
        {caller.pid, L"SwtSampleCaller", L"Another Caption", callerWindow},
        {caller.pid, L"OtherClass", L"Pid Caller", callerWindow},
        {::GetCurrentProcessId(), nullptr, nullptr, nullptr},        // the updater itself
        {::GetCurrentProcessId(), L"TForm1", L"Update", own.get()},  // its own window by name: never
        {4242, nullptr, nullptr, nullptr},                           // no such process
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pid);
        Job job;
        job.key.SetString(L"this_processID", std::to_wstring(c.pid));
        if (c.cls) job.key.SetString(L"this_class", c.cls);
        if (c.caption) job.key.SetString(L"this_caption", c.caption);
        auto form = FormFor(job.section);
        form->ReadUpdateJob();
        // By name the lookup may meet another program's "TForm1"/"Update" window; never its own.
        if (c.expected == own.get())
            EXPECT_NE(form->FCallerWindow, own.get());
        else
            EXPECT_EQ(form->FCallerWindow, c.expected);
    }
    ::PostMessageW(callerWindow, WM_CLOSE, 0, 0);
    EXPECT_EQ(caller.Wait(), 0u);
}

}  // namespace
