// TImageList: equally sized pictures (32-bit colour with alpha, or masked) addressed by index.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include "ui/Image.h"

namespace swt {

class TImageList {
public:
    TImageList(int width = 16, int height = 16);
    ~TImageList();
    TImageList(const TImageList&) = delete;
    TImageList& operator=(const TImageList&) = delete;

    int Width() const { return width_; }
    int Height() const { return height_; }
    int Count() const;
    HIMAGELIST Handle() const { return list_.get(); }

    // Adds a picture; returns its index or -1. The icon is copied.
    int AddIcon(HICON icon);
    // Adds a bitmap of Width x Height; `transparent` (clNone: none) is masked out.
    int AddBitmap(TBitmap& picture, TColor transparent = clNone);
    void Clear();
    // Draws picture `index` with its top-left corner at x, y (greyed when not enabled).
    void Draw(HDC dc, int x, int y, int index, bool enabled = true) const;
    // A new icon of picture `index` (the caller owns it), or none.
    UniqueIcon GetIcon(int index) const;

private:
    int width_, height_;
    UniqueImageList list_;
};

}  // namespace swt
