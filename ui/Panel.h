// Panels: bevel, border width, colour, caption; and the 3-D frame they draw.
#pragma once
#include <string>

#include "ui/Control.h"

namespace swt {

enum class TBevelCut { bvNone, bvLowered, bvRaised };

class TPanel : public TWinControl {
public:
    TPanel();

    TBevelCut BevelOuter() const { return bevelOuter_; }
    void SetBevelOuter(TBevelCut b);
    TBevelCut BevelInner() const { return bevelInner_; }
    void SetBevelInner(TBevelCut b);
    int BevelWidth() const { return bevelWidth_; }
    void SetBevelWidth(int w);
    // Drawn centred in the panel; empty by default.
    const std::wstring& Caption() const { return caption_; }
    void SetCaption(const std::wstring& c);

protected:
    TMargins Padding() const override;
    void PaintFrame(HDC dc) override;

private:
    TBevelCut bevelOuter_ = TBevelCut::bvRaised;
    TBevelCut bevelInner_ = TBevelCut::bvNone;
    int bevelWidth_ = 1;
    std::wstring caption_;
};

// Draws a 3-D frame of `width` pixels inside r and shrinks r by it: top/left lines in `topLeft`,
// bottom/right lines in `bottomRight`.
void Frame3D(HDC dc, RECT& r, COLORREF topLeft, COLORREF bottomRight, int width);

}  // namespace swt
