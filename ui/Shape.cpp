#include "ui/Shape.h"

#include <algorithm>

namespace swt {

TShape::TShape() { SetBounds(0, 0, 65, 65); }

void TShape::SetShape(TShapeType s) { SetRepaint(shape_, s); }

void TShape::SetBrushColor(TColor c) { SetRepaint(brushColor_, c); }

void TShape::SetPenColor(TColor c) { SetRepaint(penColor_, c); }

void TShape::SetPenWidth(int w) {
    w = std::max(0, w);
    if (w == penWidth_) return;
    penWidth_ = w;
    Invalidate();
}

void TShape::Paint(HDC dc) {
    const bool pen = penColor_ != clNone && penWidth_ > 0;
    UniquePen p(pen ? ::CreatePen(PS_INSIDEFRAME, penWidth_, ColorToRGB(penColor_)) : nullptr);
    UniqueBrush b(brushColor_ != clNone ? ::CreateSolidBrush(ColorToRGB(brushColor_)) : nullptr);
    SelectGuard sp(dc, pen ? static_cast<HGDIOBJ>(p.get()) : ::GetStockObject(NULL_PEN));
    SelectGuard sb(dc, b ? static_cast<HGDIOBJ>(b.get()) : ::GetStockObject(NULL_BRUSH));
    // Without a pen GDI leaves out the right and bottom edge: draw one pixel larger.
    const int extra = pen ? 0 : 1;
    if (shape_ == TShapeType::stEllipse)
        ::Ellipse(dc, 0, 0, Width() + extra, Height() + extra);
    else
        ::Rectangle(dc, 0, 0, Width() + extra, Height() + extra);
}

}  // namespace swt
