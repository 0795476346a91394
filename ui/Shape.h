// TShape: a rectangle or ellipse drawn with a pen and a brush; a 1-pixel-high rectangle is a line.
#pragma once
#include "ui/Control.h"

namespace swt {

enum class TShapeType { stRectangle, stEllipse };

class TShape : public TGraphicControl {
public:
    TShape();

    TShapeType Shape() const { return shape_; }
    void SetShape(TShapeType s);
    // clNone: not filled.
    TColor BrushColor() const { return brushColor_; }
    void SetBrushColor(TColor c);
    // clNone or width 0: no outline.
    TColor PenColor() const { return penColor_; }
    void SetPenColor(TColor c);
    int PenWidth() const { return penWidth_; }
    void SetPenWidth(int w);

protected:
    void Paint(HDC dc) override;

private:
    TShapeType shape_ = TShapeType::stRectangle;
    TColor brushColor_ = clWhite;
    TColor penColor_ = clBlack;
    int penWidth_ = 1;
};

}  // namespace swt
