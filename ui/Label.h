// Labels: text drawn by the parent, auto-sized to the text, laid out at the top/centre/bottom,
// transparent or filled, single- or multi-line (CR LF breaks lines; WordWrap wraps).
#pragma once
#include <string>
#include <vector>

#include "ui/Control.h"

namespace swt {

enum class TTextLayout { tlTop, tlCenter, tlBottom };
enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

class TLabel : public TGraphicControl {
public:
    TLabel();

    const std::wstring& Caption() const { return caption_; }
    void SetCaption(const std::wstring& c);
    TTextLayout Layout() const { return layout_; }
    void SetLayout(TTextLayout l);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment a);
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool v);
    // Off: the parent's background shows through; on by default is the filled look.
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool v);
    // '&' marks an accelerator (drawn underlined) when on; off by default so names show as given.
    bool ShowAccelChar() const { return showAccelChar_; }
    void SetShowAccelChar(bool v);

    // Size the caption needs in the current font; width < 0: unconstrained (or the current width
    // for a wrapping label). Measured once per width until the caption, font or a text flag
    // changes.
    TSize TextExtent(int width) const;

protected:
    void Paint(HDC dc) override;
    bool HasContentSize() const override { return true; }
    TSize ContentSize(int width) override { return TextExtent(width); }
    void FontChanged() override;

private:
    struct TExtent {
        int Width;
        TSize Size;
    };
    UINT DrawFlags() const;
    void TextChanged();

    std::wstring caption_;
    TTextLayout layout_ = TTextLayout::tlTop;
    TAlignment alignment_ = TAlignment::taLeftJustify;
    bool wordWrap_ = false;
    bool transparent_ = false;
    bool showAccelChar_ = false;
    // The last few measurements (a layout pass asks for one or two widths).
    mutable std::vector<TExtent> extents_;
};

}  // namespace swt
