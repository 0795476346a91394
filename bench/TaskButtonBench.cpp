// Cost of the updater's task buttons under Wine: converting a program's icon, creating + laying
// out + painting one process row (each change laid out at once, and inside one TAlignBatch of the
// window), and showing a window with 20 rows until it is painted.
// Usage: taskbutton_bench [repeats]; prints microseconds per row and milliseconds per window.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "components/VeltraGDIPAPI.h"
#include "components/XGraphic.h"
#include "components/kx_Scale.h"
#include "tests/components/TaskSamples.h"
#include "ui/Application.h"

using namespace swt;
using Clock = std::chrono::steady_clock;

namespace {

double Micro(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::micro>(b - a).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Paints every window of the form now (what the user waits for).
void PaintNow(TForm& f) { ::RedrawWindow(f.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN); }

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int repeats = argc > 1 ? std::max(1, _wtoi(argv[1])) : 5;
    KxScaleUnit scaling;
    GdiplusLibrary gdiplus;

    wchar_t windows[MAX_PATH];
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring exe = std::wstring(windows) + L"\\notepad.exe";
    std::vector<double> iconTimes;
    std::unique_ptr<TPngImage> icon;
    for (int i = 0; i < 20 * repeats; ++i) {
        const auto t0 = Clock::now();
        TIcon ico;
        if (ExtractFileIcon(exe, 0, ico)) icon = GraphicToPng(ico);
        iconTimes.push_back(Micro(t0, Clock::now()));
    }

    // One row added to a shown window without a batch: every property change measures the button
    // and lays the window out at once; then paint.
    auto host = CreateForm<sample::TTaskSampleForm>(0, Tkx_DrawingStyle::kx_DrawingStyleThemed, nullptr);
    host->ShowActivated = false;
    host->Show();
    Application().ProcessMessages();
    std::vector<double> rowTimes;
    for (int i = 0; i < 20 * repeats; ++i) {
        const auto t0 = Clock::now();
        auto* row = host->Box->Add<Tkx_TaskButton>();
        sample::SetupRow(*row, L"Prozess.exe", icon.get());
        row->Repaint();
        rowTimes.push_back(Micro(t0, Clock::now()));
        host->Box->RemoveControl(row);
    }
    // The same inside one layout batch of the window: the button measures once, the window is laid
    // out once.
    std::vector<double> batchedTimes;
    for (int i = 0; i < 20 * repeats; ++i) {
        const auto t0 = Clock::now();
        Tkx_TaskButton* row = nullptr;
        {
            TAlignBatch batch(*host);
            row = host->Box->Add<Tkx_TaskButton>();
            sample::SetupRow(*row, L"Prozess.exe", icon.get());
        }
        row->Repaint();
        batchedTimes.push_back(Micro(t0, Clock::now()));
        host->Box->RemoveControl(row);
    }
    host->Hide();
    host.reset();

    // A whole window with 20 rows, from nothing to painted, in each drawing style.
    for (auto style : {Tkx_DrawingStyle::kx_DrawingStyleClassic, Tkx_DrawingStyle::kx_DrawingStyleThemed}) {
        std::vector<double> windowTimes;
        for (int r = 0; r < repeats; ++r) {
            const auto t0 = Clock::now();
            auto f = CreateForm<sample::TTaskSampleForm>(20, style, icon.get());
            f->ShowActivated = false;
            f->Show();
            PaintNow(*f);
            windowTimes.push_back(Micro(t0, Clock::now()) / 1000.0);
            f->Hide();
        }
        std::printf("window with 20 rows (%s): median %.1f ms, best %.1f ms\n",
                    style == Tkx_DrawingStyle::kx_DrawingStyleThemed ? "themed" : "classic", Median(windowTimes),
                    *std::min_element(windowTimes.begin(), windowTimes.end()));
    }
    std::printf("icon conversion per row: median %.0f us\n", Median(iconTimes));
    std::printf("one row created + laid out + painted, each change at once: median %.0f us\n", Median(rowTimes));
    std::printf("the same inside one TAlignBatch of the window: median %.0f us\n", Median(batchedTimes));
    return 0;
}
