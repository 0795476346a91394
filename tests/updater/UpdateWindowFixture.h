// A shown update window in the test's own process, for a job written by the test; its timer is
// driven by the test, one pass per Tick().
#pragma once
#include <algorithm>
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
        form->Timer1Timer();
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

}  // namespace swt::test
