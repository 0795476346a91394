#include "updater/ProcessFrame.h"

#include <shellapi.h>

#include "base/ScopeGuard.h"
#include "ui/ImageList.h"
#include "ui/Shape.h"
#include "updater/ProcessList.h"
#include "updater/StatusImages.h"
#include "components/XGraphic.h"
#include "components/kx_taskbutton.h"

namespace swt {

TProcessFrame::TProcessFrame(TProcessItem& item, TProcessRowActions& actions, TImageList* images)
    : ActionForeground(actions.ActionForeground),
      ActionKill(actions.ActionKill),
      ActionClose(actions.ActionClose),
      PopupMenu1(actions.PopupMenu1),
      FItem(&item) {
    // The row's button measures once, with everything set, and the row is laid out once.
    TAlignBatch batch(*this);
    SetName(L"TProcessFrame");
    SetBevelOuter(TBevelCut::bvNone);
    SetAlign(TAlign::alTop);
    SetAutoSize(true);
    SetDoubleBuffered(true);
    SetParentColor(true);
    SetShowHint(true);

    Shape2 = Add<TShape>();
    Shape2->SetAlign(TAlign::alTop);
    Shape2->SetBounds(0, 0, 395, 1);
    Shape2->SetPenColor(clBtnFace);
    Shape2->SetBrushColor(clBtnFace);

    kx_TaskButton1 = Add<Tkx_TaskButton>();
    kx_TaskButton1->SetName(L"kx_TaskButton1");
    kx_TaskButton1->SetAlign(TAlign::alTop);
    kx_TaskButton1->SetBounds(0, 1, 395, 60);
    kx_TaskButton1->DrawInnerPaddingRef().SetBounds(kx_TaskButton1->DrawInnerPadding().Left(), 8, 8, 4);
    kx_TaskButton1->SetDrawGradientColor(clBtnFace);
    kx_TaskButton1->SetDrawHighlightBackground(true);
    kx_TaskButton1->FontColor = clDefault;
    kx_TaskButton1->SetImageIndex(0);
    kx_TaskButton1->SetLinks({L"In den Vordergrund", L"Prozess killen", L"Prozess beenden", L""});
    kx_TaskButton1->SetLinkStyle(tkx_LinkEnumeration::kx_LinkEnumeration_enumeration);
    kx_TaskButton1->SetAutoHeight(true);
    kx_TaskButton1->OnLinkClick = [this](Tkx_TaskButton&, int index) { kx_TaskButton1LinkClick(index); };

    Shape1 = Add<TShape>();
    Shape1->SetAlign(TAlign::alTop);
    Shape1->SetBounds(0, 61, 395, 1);
    Shape1->SetPenColor(clSilver);
    Shape1->SetBrushColor(clSilver);

    ActionForeground = TAction(L"In den Vordergrund", [this](TAction&) { Button3Click(); }, siForeground);
    ActionKill = TAction(L"Killen", [this](TAction&) { Button1Click(); }, siKill);
    ActionClose = TAction(L"Beenden", [this](TAction&) { Button2Click(); }, siClose);
    PopupMenu1.Images = images;
    PopupMenu1.AddAction(&ActionForeground);
    PopupMenu1.AddAction(&ActionKill);
    PopupMenu1.AddSeparator();
    PopupMenu1.AddAction(&ActionClose);
    SetPopupMenu(&PopupMenu1);

    kx_TaskButton1->SetCaption(item.Caption());
    kx_TaskButton1->SetCaptionDescription(item.FPath + L"\r" + kDescription);
    // The holder's icon; a file without one leaves the row without a picture. A handle match names
    // the process by its image name only: its full path comes from the process itself.
    std::wstring iconFile = item.FPath;
    if (item.FProcess) {
        wchar_t full[MAX_PATH * 4];
        DWORD size = MAX_PATH * 4;
        if (::QueryFullProcessImageNameW(item.FProcess.get(), 0, full, &size)) iconFile.assign(full, size);
    }
    TIcon icon;
    if (ExtractFileIcon(iconFile, 0, icon))
        if (std::unique_ptr<TPngImage> png = GraphicToPng(icon)) kx_TaskButton1->SetImage(std::move(*png));
}

void TProcessFrame::kx_TaskButton1LinkClick(int index) {
    switch (index) {
    case -1:
    case 0:
        Button3Click();
        break;
    case 1:
        Button1Click();
        break;
    case 2:
        Button2Click();
        break;
    default:
        break;
    }
}

void TProcessFrame::Button1Click() { FItem->Kill(); }
void TProcessFrame::Button2Click() { FItem->CloseProcess(); }
void TProcessFrame::Button3Click() { FItem->BringToFront(); }

TProcessFrameRow::TProcessFrameRow(TWinControl& scrollBox, TProcessItem& item, TImageList* images)
    : scrollBox_(scrollBox) {
    auto frame = std::make_unique<TProcessFrame>(item, actions_, images);
    frame_ = frame.get();
    // As wide as the window, below the rows there are already.
    frame_->SetBounds(0, 0, 470, 62);
    // The box may take the frame and then fail to make its window: the frame goes again, no row
    // stays on the screen without its item.
    ScopeExit takeOut([this] { scrollBox_.RemoveControl(frame_); });
    scrollBox_.AppendControl(std::move(frame));
    takeOut.Dismiss();
}

TProcessFrameRow::~TProcessFrameRow() { scrollBox_.RemoveControl(frame_); }

std::wstring TProcessFrameRow::Hint() const { return frame_->Hint(); }

void TProcessFrameRow::SetHint(const std::wstring& hint) { frame_->SetHint(hint); }

}  // namespace swt
