#include "ui/ImageList.h"

namespace swt {

TImageList::TImageList(int width, int height) : width_(width), height_(height) {
    list_.reset(::ImageList_Create(width, height, ILC_COLOR32 | ILC_MASK, 4, 4));
}

TImageList::~TImageList() = default;

int TImageList::Count() const { return list_ ? ::ImageList_GetImageCount(list_.get()) : 0; }

int TImageList::AddIcon(HICON icon) { return list_ && icon ? ::ImageList_AddIcon(list_.get(), icon) : -1; }

int TImageList::AddBitmap(TBitmap& picture, TColor transparent) {
    if (!list_ || picture.Empty()) return -1;
    // The list takes a copy of the bitmap; it must not be selected into a DC meanwhile, so go
    // through a fresh compatible copy.
    WindowDc screen(nullptr);
    UniqueMemDc dc(::CreateCompatibleDC(screen.get()));
    UniqueBitmap copy(::CreateCompatibleBitmap(screen.get(), width_, height_));
    if (!dc || !copy) return -1;
    {
        SelectGuard sel(dc.get(), copy.get());
        ::StretchBlt(dc.get(), 0, 0, width_, height_, picture.Dc(), 0, 0, picture.Width(), picture.Height(), SRCCOPY);
    }
    if (transparent == clNone) return ::ImageList_Add(list_.get(), copy.get(), nullptr);
    return ::ImageList_AddMasked(list_.get(), copy.get(), ColorToRGB(transparent));
}

void TImageList::Clear() {
    if (list_) ::ImageList_Remove(list_.get(), -1);
}

void TImageList::Draw(HDC dc, int x, int y, int index, bool enabled) const {
    if (!list_ || index < 0 || index >= Count()) return;
    if (enabled) {
        ::ImageList_Draw(list_.get(), index, dc, x, y, ILD_TRANSPARENT);
        return;
    }
    IMAGELISTDRAWPARAMS p{};
    p.cbSize = sizeof p;
    p.himl = list_.get();
    p.i = index;
    p.hdcDst = dc;
    p.x = x;
    p.y = y;
    p.rgbBk = CLR_NONE;
    p.rgbFg = CLR_DEFAULT;
    p.fStyle = ILD_TRANSPARENT;
    p.fState = ILS_SATURATE;
    ::ImageList_DrawIndirect(&p);
}

UniqueIcon TImageList::GetIcon(int index) const {
    if (!list_ || index < 0 || index >= Count()) return UniqueIcon();
    return UniqueIcon(::ImageList_GetIcon(list_.get(), index, ILD_TRANSPARENT));
}

}  // namespace swt
