// Tkx_TaskButton: the task block the updater places on its windows. Adds to Tkx_CustomStyleBox a
// list of text links under the description (a column, or rows separated by "|"), hot and pressed
// links, the click report as a link index, and an automatic height.
//
// A click inside a task button with an OnLinkClick handler always reports through it: the index
// of the hot link (counting blank entries), or -1 off the links. A click on the hot close button
// calls CloseButtonClick instead when the button is shown and has a handler.
//
// A process row, set up with one layout pass: inside a batch of its form the button measures once,
// when the batch ends, and the form is laid out once after it.
//     TAlignBatch batch(*parent);
//     auto* b = parent->Add<Tkx_TaskButton>();
//     b->SetAlign(TAlign::alTop);
//     b->DrawInnerPaddingRef().SetBounds(16, 8, 8, 4);
//     b->SetCaption(L"notepad.exe");
//     b->SetCaptionDescription(L"...");
//     b->SetLinks({L"In den Vordergrund", L"Prozess killen", L"Prozess beenden", L""});
//     b->SetLinkStyle(tkx_LinkEnumeration::kx_LinkEnumeration_enumeration);
//     if (auto png = GraphicToPng(icon)) b->SetImage(std::move(*png));   // XGraphic.h
//     b->SetAutoHeight(true);
//     b->OnLinkClick = [](Tkx_TaskButton&, int linkIndex) { /* 0, 1, 2, or -1 */ };
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "components/StyleBox.h"

namespace swt {

enum class tkx_LinkEnumeration : uint8_t { kx_LinkEnumeration_list = 0, kx_LinkEnumeration_enumeration = 1 };

class Tkx_TaskButton;
using Tkx_TaskButtonLinkClick = std::function<void(Tkx_TaskButton& sender, int linkIndex)>;

class Tkx_TaskButton : public Tkx_CustomStyleBox {
public:
    Tkx_TaskButton();

    bool AutoHeight() const { return autoHeight_; }
    void SetAutoHeight(bool v);
    // Entries blank after trimming keep their place but are never drawn, hot or reported.
    const std::vector<std::wstring>& Links() const { return links_; }
    // Copies the entries and lays out.
    void SetLinks(const std::vector<std::wstring>& links);
    // Direct access: changes take effect at the next paint (a changed count lays out first).
    std::vector<std::wstring>& LinksRef() { return links_; }
    int LinkSpacing() const { return linkSpacing_; }
    void SetLinkSpacing(int v);
    tkx_LinkEnumeration LinkStyle() const { return linkStyle_; }
    void SetLinkStyle(tkx_LinkEnumeration s);

    Tkx_TaskButtonLinkClick OnLinkClick;

    // One rectangle per entry of Links after the last layout pass.
    const std::vector<TRect>& LinkRects() const { return FLinkRects; }
    int LinkHeight() const { return FLinkHeight; }

    void UpdateLayout() override;
    void DoClick() override;
    void ChangeScale(int M, int D) override;

protected:
    void LayoutLinks(HTHEME theme) override;
    void PaintLinks(HTHEME theme) override;
    void HitTestLinks(int x, int y) override;
    void PaintControl(HDC dc) override;

private:
    // Non-zero only while the button sets its own height.
    int FLayoutLock = 0;
    std::vector<std::wstring> links_;
    int FLinkHeight = 0;
    int linkSpacing_ = 2;
    std::vector<TRect> FLinkRects;
    bool autoHeight_ = false;
    tkx_LinkEnumeration linkStyle_ = tkx_LinkEnumeration::kx_LinkEnumeration_list;
};

}  // namespace swt
