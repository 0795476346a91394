// A shown update window in the test's own process, for a job written by the test; its timer is
// driven by the test, one pass per Tick(). A pass's lock scan runs on a thread of its own: Tick()
// and Settle() handle the window's messages until the pass has ended.
#pragma once
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "components/kx_taskbutton.h"
#include "tests/updater/JobFixture.h"
#include "ui/Application.h"
#include "ui/ScrollBox.h"
#include "updater/ProcessFrame.h"
#include "updater/UpdateForm.h"

namespace swt::test {

struct UpdateWindow {
    explicit UpdateWindow(const Job& job) {
        form = CreateForm<TForm1>(std::vector<std::wstring>{L"Swaptide2.exe", L"doit", job.section});
        form->ShowActivated = false;
        form->Show();
        form->Timer1.SetEnabled(false);
    }
    ~UpdateWindow() {
        if (form->Visible()) form->Close();
    }
    void Tick() {
        Settle();
        form->Timer1Timer();
        Settle();
    }
    // Handles the window's messages until no pass is in progress (a pass started by a click waits
    // for its scan's result), then those left.
    void Settle() {
        const ULONGLONG end = ::GetTickCount64() + 60000;
        while (form->Run.InPass() && ::GetTickCount64() < end) {
            Application().ProcessMessages();
            if (form->Run.InPass()) ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        }
        Application().ProcessMessages();
    }
    size_t Rows() const { return static_cast<size_t>(form->ScrollBox1->ControlCount()); }
    int Height() const { return form->Height(); }
    TProcessItem* ItemOf(DWORD pid) const {
        return form->Run.FProcessList ? form->Run.FProcessList->FindProcess(pid) : nullptr;
    }
    TProcessFrame& RowOf(DWORD pid) const {
        return *static_cast<TProcessFrameRow*>(ItemOf(pid)->FFrame.get())->Frame();
    }
    // The process ids of the rows, top to bottom, of the given processes only.
    std::vector<DWORD> RowsOf(const std::vector<DWORD>& pids) const {
        std::vector<DWORD> out;
        for (size_t i = 0; form->Run.FProcessList && i < form->Run.FProcessList->Count(); ++i) {
            const DWORD pid = (*form->Run.FProcessList)[i].FProcessId;
            if (std::find(pids.begin(), pids.end(), pid) != pids.end()) out.push_back(pid);
        }
        return out;
    }
    const std::wstring& HeaderDescription() const { return form->kx_TaskButton1->CaptionDescription(); }
    std::unique_ptr<TForm1> form;
};

// This process plays the calling program of the window's run: it holds dest, and its "main
// window" answers WM_CLOSE by letting the file go, running onClose, and later, from a message it
// posts itself, onPosted.
struct OwnCaller {
    OwnCaller(UpdateWindow& w, const std::wstring& dest, std::function<void(HWND self)> closing,
              std::function<void()> posted = nullptr)
        : held(::CreateFileW(dest.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)),
          onClose(std::move(closing)),
          onPosted(std::move(posted)) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = [](HWND h, UINT msg, WPARAM wp, LPARAM lp) -> LRESULT {
            auto* self = reinterpret_cast<OwnCaller*>(::GetWindowLongPtrW(h, GWLP_USERDATA));
            if (msg == WM_CLOSE && self) {
                self->held.reset();
                self->onClose(h);
                return 0;
            }
            if (msg == WM_APP && self && self->onPosted) {
                self->onPosted();
                return 0;
            }
            return ::DefWindowProcW(h, msg, wp, lp);
        };
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"SwtOwnCaller";
        ::RegisterClassW(&wc);
        window.reset(::CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                       wc.hInstance, nullptr));
        ::SetWindowLongPtrW(window.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        w.form->Run.FCallerProcessId = ::GetCurrentProcessId();
        w.form->Run.FCallerWindow = window.get();
        // The updater never lists its own process as a holder; here this process plays the
        // calling program as well, so it is taken for another one.
        if (w.form->Run.FToDoList) w.form->Run.FToDoList->FOwnProcessId = 0;
    }
    UniqueFile held;
    std::function<void(HWND)> onClose;
    std::function<void()> onPosted;
    UniqueWindow window;
};

// Where the links of the row of process pid lie, as demo_driver's "close-row" takes them: x, and
// the height above the task button's bottom. Found on the same row (same process, same path)
// made by an update window in this process for a job of its own on the same file; empty when
// that window shows no such row.
inline std::vector<POINT> RowLinkPlaces(DWORD pid, const std::wstring& source, const std::wstring& dest) {
    Job probe;
    probe.key.SetString(L"count", L"1");
    probe.key.SetString(L"1_Source", source);
    probe.key.SetString(L"1_Dest", dest);
    UpdateWindow w(probe);
    w.Tick();
    std::vector<POINT> places;
    if (!w.ItemOf(pid)) return places;
    Tkx_TaskButton& button = *w.RowOf(pid).kx_TaskButton1;
    RECT client{};
    ::GetClientRect(button.Handle(), &client);
    for (const TRect& link : button.LinkRects())
        places.push_back(POINT{(link.Left + link.Right) / 2, client.bottom - (link.Top + link.Bottom) / 2});
    return places;
}

}  // namespace swt::test
