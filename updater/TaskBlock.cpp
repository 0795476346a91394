#include "updater/TaskBlock.h"

#include "ui/Image.h"
#include "ui/Label.h"

namespace swt {

namespace {
constexpr int kIconSize = 32;
constexpr int kTextLeft = 8 + kIconSize + 8;
}  // namespace

TTaskBlock::TTaskBlock() {
    SetBevelOuter(TBevelCut::bvNone);
    SetAutoSize(true);
    SetAlign(TAlign::alTop);
    SetParentColor(true);
    OnClick = [this](TControl&) { ClickLink(-1); };

    icon_ = Add<TImage>();
    icon_->SetBounds(8, 8, kIconSize, kIconSize);
    icon_->SetTransparent(true);
    icon_->OnClick = OnClick;

    captionLabel_ = Add<TLabel>();
    captionLabel_->SetAlign(TAlign::alTop);
    captionLabel_->SetMargins(kTextLeft, 8, 8, 2);
    captionLabel_->SetWordWrap(true);
    captionLabel_->SetTransparent(true);
    captionLabel_->Font().SetStyle(fsBold);
    captionLabel_->Font().SetHeight(-13);
    captionLabel_->OnClick = OnClick;

    descriptionLabel_ = Add<TLabel>();
    descriptionLabel_->SetAlign(TAlign::alTop);
    descriptionLabel_->SetMargins(kTextLeft, 2, 8, 4);
    descriptionLabel_->SetWordWrap(true);
    descriptionLabel_->SetTransparent(true);
    descriptionLabel_->OnClick = OnClick;
}

void TTaskBlock::SetCaption(const std::wstring& text) {
    caption_ = text;
    UpdateLabels();
}

void TTaskBlock::SetCaptionDescription(const std::wstring& text) {
    description_ = text;
    UpdateLabels();
}

void TTaskBlock::SetLinks(const std::vector<std::wstring>& links) {
    for (TLabel* l : linkLabels_) RemoveControl(l);
    linkLabels_.clear();
    links_ = links;
    size_t last = 0;  // the last link that shows gets the bottom margin
    for (size_t i = 0; i < links_.size(); ++i)
        if (!links_[i].empty()) last = i;
    for (size_t i = 0; i < links_.size(); ++i) {
        TLabel* link = Add<TLabel>();
        link->SetAlign(TAlign::alTop);
        link->SetMargins(kTextLeft, 1, 8, i == last ? 8 : 1);
        link->SetTransparent(true);
        link->Font().SetColor(static_cast<TColor>(0xCC6600));  // RGB(0, 102, 204)
        link->Font().SetStyle(fsUnderline);
        link->SetCaption(L"\x203A " + links_[i]);
        link->SetVisible(!links_[i].empty());
        const int index = static_cast<int>(i);
        link->OnClick = [this, index](TControl&) { ClickLink(index); };
        linkLabels_.push_back(link);
    }
    UpdateLabels();
}

void TTaskBlock::SetIcon(HICON icon) {
    TBitmap& picture = icon_->Picture();
    picture.SetSize(kIconSize, kIconSize);
    // The block's background around the icon; magenta would show through the anti-aliased edge.
    picture.Fill(TRect{0, 0, kIconSize, kIconSize}, BackgroundRGB());
    hasIcon_ = icon && ::DrawIconEx(picture.Dc(), 0, 0, icon, kIconSize, kIconSize, 0, nullptr, DI_NORMAL);
    picture.Changed();
}

void TTaskBlock::ClickLink(int index) {
    if (OnLinkClick) OnLinkClick(*this, index);
}

void TTaskBlock::UpdateLabels() {
    captionLabel_->SetCaption(caption_);
    captionLabel_->SetVisible(!caption_.empty());
    descriptionLabel_->SetCaption(description_);
    Invalidate();
}

}  // namespace swt
