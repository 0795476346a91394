// A window laid out like the updater's: a header task button, process rows (icon, caption, a
// two-line description, three links and a blank fourth, enumeration style) and a footer with two
// links. The window tests, the screenshot program and the benchmark build it. The Setup functions
// only set properties: inside a batch (the form's constructor is one) a button measures once.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "components/kx_taskbutton.h"
#include "ui/Form.h"
#include "ui/Panel.h"

namespace swt::sample {

inline const std::wstring kHeaderCaption = L"Warte auf Prozesse...";
inline const std::wstring kHeaderText =
    L"Um das Update abzuschließen, müssen folgende Prozesse beendet werden. Doppelklicken Sie auf den "
    L"Prozessnamen, um die Anwendung in den Vordergrund zu bringen und schließen Sie diese.";
inline const std::wstring kRowText =
    L"Dieser Prozess verwendet Dateien, die zu aktualisieren sind. Um das Update abzuschließen, muss diese "
    L"Anwendung beendet werden.";
inline const std::wstring kFooterText =
    L"Versuchen Sie nach Möglichkeit, über \"In den Vordergrund bringen\" das Programm manuell zu schließen. Um "
    L"Prozesse zu killen sind ggf. erweiterte Windows-Nutzerrechte nötig";
inline const std::vector<std::wstring> kRowLinks{L"In den Vordergrund", L"Prozess killen", L"Prozess beenden", L""};
inline const std::vector<std::wstring> kFooterLinks{L"aktualisieren", L"Alle beenden"};

inline void SetupHeader(Tkx_TaskButton& b) {
    b.SetBounds(0, 0, 470, 81);
    b.SetAlign(TAlign::alTop);
    b.SetCaption(kHeaderCaption);
    b.SetCaptionDescription(kHeaderText);
    b.SetDrawHighlightBackground(false);
    b.SetAutoHeight(true);
}

inline void SetupRow(Tkx_TaskButton& b, const std::wstring& caption, const TPngImage* icon) {
    b.SetBounds(0, 0, 395, 60);
    b.SetAlign(TAlign::alTop);
    b.DrawInnerPaddingRef().SetBounds(16, 8, 8, 4);
    b.SetDrawGradientColor(clBtnFace);
    b.SetDrawHighlightBackground(true);
    b.SetCaption(caption);
    b.SetCaptionDescription(kRowText);
    b.SetLinks(kRowLinks);
    b.SetLinkStyle(tkx_LinkEnumeration::kx_LinkEnumeration_enumeration);
    if (icon) b.SetImage(*icon);
    b.SetAutoHeight(true);
}

inline void SetupFooter(Tkx_TaskButton& b) {
    b.SetBounds(0, 132, 470, 83);
    b.SetAlign(TAlign::alTop);
    b.SetCaptionDescription(kFooterText);
    b.SetDrawHighlightBackground(true);
    b.SetLinks(kFooterLinks);
    b.SetLinkStyle(tkx_LinkEnumeration::kx_LinkEnumeration_enumeration);
    b.SetAutoHeight(true);
}

class TTaskSampleForm : public TForm {
public:
    TTaskSampleForm(int rows, Tkx_DrawingStyle style, const TPngImage* icon) : TForm(L"TTaskSampleForm") {
        SetCaption(L"Update");
        SetBorderStyle(TFormBorderStyle::bsNone);
        SetFormStyle(TFormStyle::fsStayOnTop);
        SetBorderWidth(5);
        SetColor(clWindow);
        SetBounds(30, 30, 480, 300);
        SetClientSize(470, 300);
        SetAutoSize(true);
        Font().SetName(L"Tahoma");
        Font().SetHeight(-11);
        Header = Add<Tkx_TaskButton>();
        SetupHeader(*Header);
        Box = Add<TPanel>();
        Box->SetBevelOuter(TBevelCut::bvNone);
        Box->SetAlign(TAlign::alTop);
        Box->SetTop(81);
        Box->SetAutoSize(true);
        Box->SetParentColor(true);
        for (int i = 0; i < rows; ++i) {
            auto* row = Box->Add<Tkx_TaskButton>();
            row->SetTop(1000 + i * 60);  // keeps the order under top alignment
            SetupRow(*row, L"Prozess" + std::to_wstring(i + 1) + L".exe", icon);
            Rows.push_back(row);
        }
        Footer = Add<Tkx_TaskButton>();
        Footer->SetTop(5000);
        SetupFooter(*Footer);
        for (Tkx_TaskButton* b : All()) b->SetDrawingStyle(style);
    }

    std::vector<Tkx_TaskButton*> All() const {
        std::vector<Tkx_TaskButton*> v{Header};
        v.insert(v.end(), Rows.begin(), Rows.end());
        v.push_back(Footer);
        return v;
    }

    Tkx_TaskButton* Header = nullptr;
    TPanel* Box = nullptr;
    std::vector<Tkx_TaskButton*> Rows;
    Tkx_TaskButton* Footer = nullptr;
};

}  // namespace swt::sample
