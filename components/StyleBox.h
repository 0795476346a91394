// Tkx_CustomStyleBox: a block in the style of a control-panel task: icon at the left, bold
// caption, word-wrapped description, an optional close button in the top right corner, hover
// highlight and hot caption. Everything is drawn into a private off-screen bitmap and copied to
// the window with one BitBlt; the background is never erased. Drawing is themed (visual styles
// on and DrawingStyle themed; each element whose theme class does not open falls back to its
// classic drawing) or classic (DrawTextW, DrawEdge, a gradient fill).
//
// Text is measured only in layout passes (UpdateLayout, after every effective property change,
// margin change and resize); painting and the hit test read the rectangles of the last pass.
// While a TAlignBatch is open on the control's form the pass waits for the batch's end, so that
// several changes are measured once.
// Tkx_TaskButton (TaskButton.h) adds the links through the hooks LayoutLinks, PaintLinks and
// HitTestLinks.
#pragma once
#include <windows.h>
#include <uxtheme.h>

#include <functional>
#include <string>

#include "components/PngImage.h"
#include "components/TaskLayout.h"
#include "components/TaskMargins.h"
#include "base/UniqueHandle.h"
#include "ui/Control.h"

namespace swt {

class TImageList;

enum class Tkx_DrawingStyle : uint8_t { kx_DrawingStyleClassic = 0, kx_DrawingStyleThemed = 1 };
enum class Tkx_IconSource : uint8_t { kx_IconSourceImageList = 0, kx_IconSourcePNGImage = 1 };

class Tkx_CustomStyleBox;
// (sender, off-screen canvas, pointer inside with highlight on, default drawing (preset true),
// the control's DrawCloseButton: a change stays for this and later paints).
using Tkx_TaskButtonDrawBackground =
    std::function<void(Tkx_CustomStyleBox& sender, HDC canvas, bool mouseIn, bool& defaultDraw, bool& drawCloseButton)>;
using Tkx_NotifyEvent = std::function<void(Tkx_CustomStyleBox& sender)>;

inline constexpr TColor clNavy = 0x800000;

class Tkx_CustomStyleBox : public TCustomControl {
public:
    Tkx_CustomStyleBox();
    ~Tkx_CustomStyleBox() override;

    // --- properties (setters compare, and only on a change store and lay out again)
    // The margin objects: set copies the four values; the ...Ref objects change in place. Either
    // way a change lays out again.
    const Tkx_TaskMargins& DrawBackgroundMargins() const { return backgroundMargins_; }
    void SetDrawBackgroundMargins(const Tkx_TaskMargins& m) { backgroundMargins_.Assign(m); }
    Tkx_TaskMargins& DrawBackgroundMarginsRef() { return backgroundMargins_; }
    const Tkx_TaskInnerPadding& DrawInnerPadding() const { return innerPadding_; }
    void SetDrawInnerPadding(const Tkx_TaskMargins& m) { innerPadding_.Assign(m); }
    Tkx_TaskMargins& DrawInnerPaddingRef() { return innerPadding_; }

    bool DrawButtonStyle() const { return drawButtonStyle_; }
    virtual void SetDrawButtonStyle(bool v);
    bool DrawCloseButton() const { return drawCloseButton_; }
    virtual void SetDrawCloseButton(bool v);
    TColor DrawGradientColor() const { return drawGradientColor_; }
    virtual void SetDrawGradientColor(TColor c);
    Tkx_DrawingStyle DrawingStyle() const { return drawingStyle_; }
    virtual void SetDrawingStyle(Tkx_DrawingStyle s);
    const std::wstring& Caption() const { return caption_; }
    virtual void SetCaption(const std::wstring& s);
    const std::wstring& CaptionDescription() const { return description_; }
    virtual void SetCaptionDescription(const std::wstring& s);
    bool DrawHighlightBackground() const { return drawHighlight_; }
    virtual void SetDrawHighlightBackground(bool v);
    int ImageSpacing() const { return imageSpacing_; }
    void SetImageSpacing(int v);
    int HeaderSpacing() const { return headerSpacing_; }
    void SetHeaderSpacing(int v);
    // Not owned: must outlive the control or be taken away first. Switches IconSource to the list.
    TImageList* Images() const { return images_; }
    void SetImages(TImageList* list);
    int ImageIndex() const { return imageIndex_; }
    void SetImageIndex(int i);
    // The control keeps its own copy. Switches IconSource to the picture.
    const TPngImage& Image() const { return image_; }
    void SetImage(const TPngImage& picture);
    void SetImage(TPngImage&& picture);
    Tkx_IconSource IconSource() const { return iconSource_; }
    void SetIconSource(Tkx_IconSource s);

    // Text colour override; reset to default at the start of every background paint, so only an
    // OnDrawBackground handler can make it effective.
    TColor FontColor = clDefault;

    Tkx_NotifyEvent CloseButtonClick;
    Tkx_TaskButtonDrawBackground OnDrawBackground;

    // --- state of the last layout pass and of the mouse (read by tests and descendants)
    int HotIndex() const { return FHotIndex; }
    const TRect& CaptionRect() const { return FCaptionRect; }
    const TRect& DescriptionRect() const { return FDescriptionRect; }
    bool MouseIn() const { return FMouseIn; }
    // Whether the last layout pass measured with the theme (a "CONTROLPANEL" theme opened).
    bool LastLayoutThemed() const { return lastLayoutThemed_; }
    // Whether the last paint drew the highlight / the close button through the theme.
    bool LastHighlightThemed() const { return lastHighlightThemed_; }
    bool LastCloseButtonThemed() const { return lastCloseThemed_; }

    virtual void UpdateLayout();
    virtual bool UseThemedDrawing() const;
    virtual TRect GetCloseButtonRect(bool small) const;
    int GetImageWidth() const;
    int GetImageHeight() const;
    // Copies the off-screen bitmap to dc: Width x Height from (0, 0), one BitBlt.
    void FlushBuffer(HDC dc);
    // The off-screen canvas (valid once laid out; for tests and OnDrawBackground).
    HDC Canvas() const { return bufferDc_.get(); }


    // Input as the window layer raises it (tests call these too).
    void DoMouseDown(TMouseButton b, TShiftState s, int x, int y) override;
    void DoMouseUp(TMouseButton b, TShiftState s, int x, int y) override;
    void DoMouseMove(TShiftState s, int x, int y) override;
    void DoClick() override;
    void DoMouseEnter() override;
    void DoMouseLeave() override;

protected:
    virtual void LayoutLinks(HTHEME theme) {}
    virtual void PaintLinks(HTHEME theme) {}
    virtual void HitTestLinks(int x, int y) {}
    virtual void MarginsChanged() { UpdateLayout(); }
    // Paint algorithm: background, icon, texts, links, close button, focus, one BitBlt to dc.
    virtual void PaintControl(HDC dc);
    virtual void PaintBackground(bool highlight);
    virtual void GetHighlightThemePart(bool hot, const wchar_t*& className, int& part, int& state) const;
    virtual void PaintImage(bool mouseIn);
    virtual void PaintText(HTHEME theme);
    virtual void PaintCloseButton(bool hot);
    // Selects the caption / description font into the off-screen canvas with its colour.
    void SetCaptionFont();
    void SetDescriptionFont(bool underline);
    // The layout / paint pass's scaler-free basics.
    int TextLeft() const { return innerPadding_.Left() + GetImageWidth() + imageSpacing_; }
    int TextRight() const { return Width() - innerPadding_.Right(); }
    // Sizes the off-screen bitmap to the control (kept when equal).
    void EnsureBuffer();
    bool HasBuffer() const { return static_cast<bool>(bufferDc_); }
    bool LeftButtonDown() const { return leftDown_; }
    // The base class's layout pass; UpdateLayout of descendants runs it.
    void BaseLayout();
    // Spacing written without a layout pass (rescaling lays out once afterwards).
    void SetSpacingRaw(int header, int image) {
        headerSpacing_ = header;
        imageSpacing_ = image;
    }

    // Painting (WM_PAINT, WM_PRINTCLIENT) goes through the off-screen bitmap, WM_ERASEBKGND erases
    // nothing, WM_SIZE lays out.
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;
    void CaptureLost() override;
    void ThemeChanged() override;
    void SysColorChanged() override;
    void BoundsChanged(const TRect& old) override;
    void FontChanged() override;
    TColor DefaultColor() const override { return clWindow; }
    // The layout pass a batch held.
    void ContentLayout() override { UpdateLayout(); }

    int FHotIndex = kHotNone;
    TRect FCaptionRect, FDescriptionRect;
    bool FMouseIn = false;

private:
    bool PointerInside() const;
    // The shared "CONTROLPANEL" theme (null when the class does not open); never closed by callers.
    HTHEME ControlPanelTheme() const;
    void ForceFontSize();
    HFONT CachedFont(bool bold, int cellHeight, bool underline);
    template <typename T>
    void SetLayoutField(T& field, const T& value) {
        if (Change(field, value)) UpdateLayout();
    }

    bool drawButtonStyle_ = false;
    bool drawCloseButton_ = false;
    bool drawHighlight_ = true;
    std::wstring caption_, description_;
    TImageList* images_ = nullptr;
    int imageIndex_ = 0;
    Tkx_IconSource iconSource_ = Tkx_IconSource::kx_IconSourcePNGImage;
    TPngImage image_;
    int headerSpacing_ = 2;
    int imageSpacing_ = 8;
    Tkx_TaskMargins backgroundMargins_;
    Tkx_TaskInnerPadding innerPadding_;
    TColor drawGradientColor_ = clNone;
    Tkx_DrawingStyle drawingStyle_ = Tkx_DrawingStyle::kx_DrawingStyleThemed;

    // The off-screen bitmap and its canvas.
    UniqueMemDc bufferDc_;
    UniqueBitmap buffer_;
    HGDIOBJ bufferOld_ = nullptr;
    int bufferW_ = 0, bufferH_ = 0;
    // Fonts made from Font for the canvas, kept while Font does not change.
    struct FontSlot {
        bool bold = false, underline = false;
        int cellHeight = 0;
        UniqueFont font;
    };
    FontSlot fonts_[4];
    int nextFontSlot_ = 0;

    bool leftDown_ = false;
    bool inLayout_ = false;
    bool lastLayoutThemed_ = false;
    bool lastHighlightThemed_ = false;
    bool lastCloseThemed_ = false;
};

}  // namespace swt
