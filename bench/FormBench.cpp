// Measures the window layer on a form of 20 rows (a picture and three labels each), the shape of
// the updater's process list.
//   formbench [-r repetitions]
// Per repetition: builds the form and its rows after the form exists (as a refresh does), changes
// every row's texts once, and paints the shown form. Builds the rows once property by property and
// once inside one layout batch. Prints medians in milliseconds.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <optional>
#include <string>
#include <vector>

#include "ui/Ui.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRows = 20;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

class TBenchForm : public swt::TForm {
public:
    TBenchForm() : TForm(L"TFormBench") {
        SetCaption(L"Formular-Messung");
        SetClientSize(480, 200);
        SetAutoSize(true);
        ShowActivated = false;
    }
    struct Row {
        swt::TPanel* Panel;
        swt::TLabel* Name;
        swt::TLabel* Path;
        swt::TLabel* State;
    };
    std::vector<Row> Rows;

    void AddRow(int i) {
        auto* p = Add<swt::TPanel>();
        p->SetAlign(swt::TAlign::alTop);
        p->SetAutoSize(true);
        p->SetBevelOuter(swt::TBevelCut::bvNone);
        p->SetMargins(4, 2, 4, 2);
        auto* img = p->Add<swt::TImage>();
        img->Picture().SetSize(32, 32);
        img->Picture().Fill(swt::TRect{4, 4, 28, 28}, RGB(40, 90, 160));
        img->SetAlign(swt::TAlign::alLeft);
        img->SetMargins(2, 2, 6, 2);
        auto* state = p->Add<swt::TLabel>();
        state->SetAlign(swt::TAlign::alRight);
        state->SetCaption(L"wartet");
        auto* name = p->Add<swt::TLabel>();
        name->SetAlign(swt::TAlign::alTop);
        name->Font().SetStyle(swt::fsBold);
        name->SetCaption(L"Programm " + std::to_wstring(i) + L".exe");
        auto* path = p->Add<swt::TLabel>();
        path->SetAlign(swt::TAlign::alTop);
        path->SetCaption(L"C:\\Programme\\Beispiel\\Ordner " + std::to_wstring(i) + L"\\datei.dll");
        Rows.push_back(Row{p, name, path, state});
    }
};

struct Figures {
    std::vector<double> build, change, paint;
};

void RunOnce(bool batched, Figures& fig, int round) {
    auto t0 = Clock::now();
    auto f = swt::CreateForm<TBenchForm>();
    {
        std::optional<swt::TAlignBatch> batch;
        if (batched) batch.emplace(*f);
        for (int i = 0; i < kRows; ++i) f->AddRow(i);
    }
    f->Show();
    auto t1 = Clock::now();
    {
        std::optional<swt::TAlignBatch> batch;
        if (batched) batch.emplace(*f);
        for (auto& r : f->Rows) {
            r.State->SetCaption(round % 2 ? L"schließt" : L"läuft noch");
            r.Path->SetCaption(r.Path->Caption() + L"x");
        }
    }
    auto t2 = Clock::now();
    for (int i = 0; i < 5; ++i) f->Repaint();
    auto t3 = Clock::now();
    fig.build.push_back(Ms(t1 - t0));
    fig.change.push_back(Ms(t2 - t1));
    fig.paint.push_back(Ms(t3 - t2) / 5);
    swt::Application().ProcessMessages();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int reps = 15;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::wcscmp(argv[i], L"-r") == 0) reps = std::max(1, _wtoi(argv[++i]));
    try {
        swt::Application().Initialize();
        for (bool batched : {false, true}) {
            Figures fig;
            RunOnce(batched, fig, 0);  // warm-up: window classes, fonts
            fig = Figures{};
            for (int r = 0; r < reps; ++r) RunOnce(batched, fig, r);
            std::printf("%s rows: build+show %.2f ms, change texts %.2f ms, paint %.2f ms (medians of %d)\n",
                        batched ? "batched  " : "unbatched", Median(fig.build), Median(fig.change),
                        Median(fig.paint), reps);
        }
    } catch (const std::exception& e) {
        std::printf("failed: %s\n", e.what());
        return 1;
    }
    return 0;
}
