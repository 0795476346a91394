// Controls: TControl (bounds, alignment, colour, font, hint, mouse events), TGraphicControl
// (drawn by its parent, no window of its own) and TWinControl (owns a window and its children).
//
// Children are owned by their parent: create them with parent->Add<TLabel>() and keep the
// returned pointer as a non-owning reference. Windowed controls create their window when first
// needed (the form's window is created when it is first shown or its Handle is asked for), so a
// whole form can be built, laid out and given its fonts before any window exists.
#pragma once
#include <windows.h>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/UniqueHandle.h"
#include "ui/Font.h"
#include "ui/Layout.h"
#include "ui/Types.h"

namespace swt {

class TWinControl;
class TForm;

enum class TMouseButton { mbLeft, mbRight, mbMiddle };
enum TShiftFlag : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32 };
using TShiftState = unsigned;

class TControl;
using TNotifyEvent = std::function<void(TControl& sender)>;
// Coordinates are in the sender's client coordinates.
using TMouseEvent = std::function<void(TControl& sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TControl& sender, TShiftState shift, int x, int y)>;
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
    // Not owned.
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

// Window creation parameters; a control may change them in CreateParams.
struct TCreateParams {
    std::wstring ClassName;   // registered by the layer unless it is a system class
    bool SystemClass = false; // a system class (subclassed after creation)
    UINT ClassStyle = CS_DBLCLKS;
    DWORD Style = 0;
    DWORD ExStyle = 0;
    std::wstring Caption;
    int X = 0, Y = 0, Width = 0, Height = 0;
    HWND Parent = nullptr;    // parent (child windows) or owner (forms)
};

class TWinControl : public TControl {
public:
    TWinControl();
    ~TWinControl() override;
    bool IsWindowed() const override { return true; }

    // The window, created (with its parents' and its children's windows) when first asked for.
    HWND Handle();
    bool HandleAllocated() const { return hwnd_ != nullptr; }
    // The control whose window this is, or null.
    static TWinControl* FromHandle(HWND h);

    // Creates a child owned by this control and returns it (non-owning pointer).
    template <class T, class... Args>
    T* Add(Args&&... args) {
        auto child = std::make_unique<T>(std::forward<Args>(args)...);
        T* p = child.get();
        InsertControl(std::move(child));
        return p;
    }
    void InsertControl(std::unique_ptr<TControl> child);
    // Destroys the child (and its window).
    void RemoveControl(TControl* child);
    int ControlCount() const { return static_cast<int>(controls_.size()); }
    TControl* Controls(int i) const { return controls_[static_cast<size_t>(i)].get(); }
    // The topmost visible, enabled graphic child at a client point, or null.
    TControl* ControlAtPos(int x, int y) const;
    bool ContainsControl(const TControl* c) const;

    // A frame of this width in the control's colour around the client area (outside it: children
    // are placed relative to the client area inside the frame).
    int BorderWidth() const { return borderWidth_; }
    TRect ClientRect() const override;
    POINT ClientToScreen(POINT p) const override;
    void SetBorderWidth(int w);
    // Paints through an off-screen bitmap (no flicker for controls repainted often).
    bool DoubleBuffered() const { return doubleBuffered_; }
    void SetDoubleBuffered(bool v);

    // Batches layout: nothing is laid out until the outermost EnableAlign.
    void DisableAlign() { ++alignDisabled_; }
    void EnableAlign();
    // Lays out this control and everything below it now (the form when called on one).
    virtual void Realign();

    void Invalidate() override;
    void Repaint() override;
    void BringToFront();

    void BuildLayoutNode(TLayoutNode& n) override;
    void ApplyLayoutNode(const TLayoutNode& n) override;
    void ChangeScale(int M, int D) override;

protected:
    // Inset, inside the client area, of the area children are aligned in (bevels).
    virtual TMargins Padding() const;
    void PaintBorder();
    virtual void CreateParams(TCreateParams& p);
    virtual void CreateHandle();
    void DestroyHandle();
    // The message handler; unhandled messages go to DefaultHandler.
    virtual LRESULT WndProc(UINT msg, WPARAM w, LPARAM l);
    LRESULT DefaultHandler(UINT msg, WPARAM w, LPARAM l);
    // Background, then frame/caption (PaintFrame), then the control's own Paint, then the
    // graphic children.
    virtual void PaintWindow(HDC dc);
    virtual void PaintFrame(HDC dc) {}
    // Called once the window exists (children's windows too).
    virtual void HandleCreated() {}
    void BoundsChanged(const TRect& old) override;
    void FontChanged() override;
    void VisibleChanged() override;
    // Places the window at bounds_ (child windows).
    virtual void UpdateWindowBounds();

    HWND hwnd_ = nullptr;

private:
    friend class TControl;
    static LRESULT CALLBACK StdWndProc(HWND h, UINT msg, WPARAM w, LPARAM l);
    static LRESULT CALLBACK SubclassProc(HWND h, UINT msg, WPARAM w, LPARAM l, UINT_PTR id, DWORD_PTR data);
    LRESULT Dispatch(UINT msg, WPARAM w, LPARAM l);
    bool HandleMouse(UINT msg, WPARAM w, LPARAM l);
    void HandleMouseMove(WPARAM w, LPARAM l);
    void HandleMouseLeave();
    bool HandleContextMenu(LPARAM l);
    void OnPaintMessage();
    void ForgetChild(TControl* c);
    void LayoutRoot();

    std::vector<std::unique_ptr<TControl>> controls_;
    int borderWidth_ = 0;
    bool doubleBuffered_ = false;
    int alignDisabled_ = 0;
    bool alignPending_ = false;
    bool subclassed_ = false;
    bool settingBounds_ = false;
    TControl* mouseTarget_ = nullptr;
    TControl* hoverChild_ = nullptr;
    bool trackingLeave_ = false;
};

// A windowed control that draws itself: override Paint(HDC) (client coordinates; the background
// in the control's colour is already there). Set DoubleBuffered for an off-screen canvas.
class TCustomControl : public TWinControl {};

// Window class names the layer registers.
inline constexpr const wchar_t* kControlClass = L"SwtControl";

}  // namespace swt
