// TControl: what every control has (identity, bounds, alignment, colour, font, hint, mouse
// events, layout description) and TGraphicControl, a control without a window of its own that its
// parent paints and routes mouse input to.
//
// Children are owned by their parent: create them with parent->Add<TLabel>() and keep the
// returned pointer as a non-owning reference (ui/WinControl.h).
#pragma once
#include <windows.h>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/UniqueHandle.h"
#include "ui/Events.h"
#include "ui/Font.h"
#include "ui/Layout.h"
#include "ui/Types.h"

namespace swt {

class TWinControl;
class TForm;
class TPopupMenu;

class TControl {
public:
    TControl();
    virtual ~TControl();
    TControl(const TControl&) = delete;
    TControl& operator=(const TControl&) = delete;

    // --- identity
    const std::wstring& Name() const { return name_; }
    void SetName(const std::wstring& name) { name_ = name; }
    intptr_t Tag() const { return tag_; }
    void SetTag(intptr_t tag) { tag_ = tag; }
    TWinControl* Parent() const { return parent_; }
    // The form this control sits on (itself for a form), or null.
    TForm* ParentForm() const;
    virtual bool IsWindowed() const { return false; }

    // --- geometry (in the parent's client coordinates; for a form, screen coordinates)
    int Left() const { return bounds_.Left; }
    int Top() const { return bounds_.Top; }
    int Width() const { return bounds_.Width(); }
    int Height() const { return bounds_.Height(); }
    const TRect& BoundsRect() const { return bounds_; }
    void SetBounds(int left, int top, int width, int height);
    void SetLeft(int v) { SetBounds(v, Top(), Width(), Height()); }
    void SetTop(int v) { SetBounds(Left(), v, Width(), Height()); }
    void SetWidth(int v) { SetBounds(Left(), Top(), v, Height()); }
    void SetHeight(int v) { SetBounds(Left(), Top(), Width(), v); }
    // Client area in the control's own coordinates.
    virtual TRect ClientRect() const { return TRect{0, 0, Width(), Height()}; }
    int ClientWidth() const { return ClientRect().Width(); }
    int ClientHeight() const { return ClientRect().Height(); }
    // Screen position of a client point.
    virtual POINT ClientToScreen(POINT p) const;

    TAlign Align() const { return align_; }
    void SetAlign(TAlign a);
    bool AlignWithMargins() const { return alignWithMargins_; }
    void SetAlignWithMargins(bool v);
    const TMargins& Margins() const { return margins_; }
    void SetMargins(const TMargins& m);
    // Shorthand: margins on (AlignWithMargins) with these values.
    void SetMargins(int left, int top, int right, int bottom) {
        SetMargins(TMargins{left, top, right, bottom});
        SetAlignWithMargins(true);
    }
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool v);

    bool Visible() const { return visible_; }
    virtual void SetVisible(bool v);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible itself and every parent up to a shown form.
    bool Showing() const;
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool v);

    // --- look
    TColor Color() const { return color_; }
    void SetColor(TColor c);
    bool ParentColor() const { return parentColor_; }
    void SetParentColor(bool v);
    // The RGB the background is painted in (parent colour, default and system colours resolved).
    COLORREF BackgroundRGB() const;
    TColor EffectiveColor() const;

    // Changing the font switches ParentFont off; a control with ParentFont follows its parent.
    TFont& Font() { return font_; }
    const TFont& Font() const { return font_; }
    bool ParentFont() const { return parentFont_; }
    void SetParentFont(bool v);

    // Hint text ("short|long": the part before '|' is shown); lines separated by CR or CRLF.
    const std::wstring& Hint() const { return hint_; }
    void SetHint(const std::wstring& h) { hint_ = h; }
    bool ShowHint() const;
    void SetShowHint(bool v) {
        showHint_ = v;
        parentShowHint_ = false;
    }
    bool ParentShowHint() const { return parentShowHint_; }
    void SetParentShowHint(bool v) { parentShowHint_ = v; }

    // --- events
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseMoveEvent OnMouseMove;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;

    // Shown on a right click (or the menu key); without one, the nearest parent's is used.
    // Not owned: a form keeps its menus with TForm::Own.
    TPopupMenu* PopupMenu() const { return popupMenu_; }
    void SetPopupMenu(TPopupMenu* m) { popupMenu_ = m; }

    // --- drawing
    virtual void Invalidate();
    // Redraws at once.
    virtual void Repaint();

    // --- layout (used by the layout pass; see ui/Layout.h)
    virtual void BuildLayoutNode(TLayoutNode& n);
    virtual void ApplyLayoutNode(const TLayoutNode& n);
    // Lays the whole form out again (batched inside DisableAlign/EnableAlign of the root).
    void RequestLayout();

    // Scales lengths designed for D pixels per inch to M: bounds, margins, border width and the
    // control's own font height (a parent-font control follows its parent).
    virtual void ChangeScale(int M, int D);

    // Raised by the window layer; call to simulate input in tests.
    virtual void DoMouseDown(TMouseButton b, TShiftState s, int x, int y);
    virtual void DoMouseUp(TMouseButton b, TShiftState s, int x, int y);
    virtual void DoClick();
    virtual void DoDblClick();
    virtual void DoMouseMove(TShiftState s, int x, int y);
    virtual void DoMouseEnter();
    virtual void DoMouseLeave();
    // Whether the mouse is over the control (between enter and leave).
    bool MouseInControl() const { return mouseIn_; }

protected:
    friend class TWinControl;
    // Property setters: an equal value changes nothing; a new one is stored (Change) and
    // repainted, and with Relayout the control is laid out again too.
    template <typename T>
    static bool Change(T& field, const T& value) {
        if (field == value) return false;
        field = value;
        return true;
    }
    template <typename T>
    void SetRepaint(T& field, const T& value) {
        if (Change(field, value)) Invalidate();
    }
    template <typename T>
    void SetRelayout(T& field, const T& value) {
        if (!Change(field, value)) return;
        Invalidate();
        RequestLayout();
    }
    // Paints the control into dc whose origin is the control's top-left corner (graphic controls).
    virtual void Paint(HDC dc) {}
    // A leaf's content size for automatic sizing; width as in TLayoutNode::Measure.
    virtual bool HasContentSize() const { return false; }
    virtual TSize ContentSize(int width) { return TSize{Width(), Height()}; }
    virtual TColor DefaultColor() const { return clBtnFace; }
    // Bounds changed (by SetBounds or the layout pass).
    virtual void BoundsChanged(const TRect& old);
    virtual void FontChanged();
    virtual void VisibleChanged() {}
    // SetEnabled changed the state (after the window, if any, was enabled or disabled).
    virtual void EnabledChanged() {}
    // Called for a font change coming from the parent while ParentFont is on.
    void TakeParentFont(const TFont& f);

    TRect bounds_;

private:
    std::wstring name_;
    intptr_t tag_ = 0;
    TWinControl* parent_ = nullptr;
    TAlign align_ = TAlign::alNone;
    bool alignWithMargins_ = false;
    TMargins margins_;
    bool autoSize_ = false;
    bool visible_ = true;
    bool enabled_ = true;
    TColor color_ = clDefault;
    bool parentColor_ = false;
    TFont font_;
    bool parentFont_ = true;
    bool fontFromParent_ = false;
    std::wstring hint_;
    bool showHint_ = false;
    bool parentShowHint_ = true;
    TPopupMenu* popupMenu_ = nullptr;
    bool mouseIn_ = false;
};

// A control without a window: its parent paints it and routes mouse input to it.
class TGraphicControl : public TControl {};

}  // namespace swt
