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
    CallerWindow caller;
    ASSERT_TRUE(caller.window);
    {
        Job job;
        job.key.SetString(L"this_processID", L"4242");
        job.key.SetString(L"this_class", L"SwtCallerMainForm");
        job.key.SetString(L"this_caption", L"Caller Application");
        job.key.SetDword(L"this_processAPP_FormHandle", 1);  // not read: it would raise
        auto form = FormFor(job.section);
        form->ReadUpdateJob();
        EXPECT_EQ(form->FCallerProcessId, 4242u);
        EXPECT_EQ(form->FCallerWindow, caller.window.get());
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
}

}  // namespace
