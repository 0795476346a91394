// TWinControl: a control with a window of its own and the children it owns; window lifetime,
// message dispatch, painting, layout batching. TCustomControl: a windowed control that draws
// itself.
//
// Windowed controls create their window when first needed (the form's window is created when it
// is first shown or its Handle is asked for), so a whole form can be built, laid out and given
// its fonts before any window exists.
//
// Hooks for controls that draw themselves (override in a TCustomControl; all are called on the
// window's thread from its message handler, after the layer has done its own part):
//   void Paint(HDC dc)                          draw the client area (TControl)
//   void HandleCreated()                        the window (and its children's) exists
//   bool CursorQuery(int hitTest, int x, int y) WM_SETCURSOR over the window (x, y: client point);
//                                               true when the control set a cursor
//   void FocusIn() / void FocusOut()            WM_SETFOCUS / WM_KILLFOCUS
//   void DoMouseEnter() / void DoMouseLeave()   the mouse came / left (TrackMouseEvent; TControl)
//   void CaptureLost()                          the mouse capture went to another window
//   void ThemeChanged()                         WM_THEMECHANGED (the window is repainted after)
//   void SysColorChanged()                      the system colours changed (passed down the tree
//                                               from the top-level window, repainted after)
//   void DpiChanged(int oldDpi, int newDpi)     the form was scaled to another monitor's DPI
//                                               (sizes and fonts are already scaled)
//   void EnabledChanged()                       SetEnabled changed the state (TControl)
//   LRESULT WndProc(UINT, WPARAM, LPARAM)       anything else; call the base for the rest
#pragma once
#include "ui/BaseControl.h"

namespace swt {

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
    // Adds the child after the others, where a top-aligned stack lays it out: below the last
    // child, which it stands below until then (a batch may hold the layout while the child's
    // window is shown).
    void AppendControl(std::unique_ptr<TControl> child);
    // Destroys the child (and its window).
    void RemoveControl(TControl* child);
    int ControlCount() const { return static_cast<int>(controls_.size()); }
    TControl* Controls(int i) const { return controls_[static_cast<size_t>(i)].get(); }
    // The topmost visible graphic child at a client point, or null.
    TControl* ControlAtPos(int x, int y) const;
    // What the mouse is over at a client point: the topmost visible graphic child, else this
    // control, with the point in that control's client coordinates.
    struct THit {
        TControl* Control = nullptr;
        int X = 0, Y = 0;
    };
    THit HitTest(int x, int y);
    // A client point of this control in the client coordinates of c (this control or a child).
    POINT ToChild(const TControl* c, int x, int y) const;
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

    // Batches layout: nothing is laid out until the outermost EnableAlign. Prefer TAlignBatch.
    void DisableAlign() { ++alignDisabled_; }
    void EnableAlign();
    // Ends one DisableAlign without laying out; a pending layout waits for the next request.
    void ReleaseAlign() {
        if (alignDisabled_ > 0) --alignDisabled_;
    }
    // Lays out this control and everything below it now (the form when called on one), after the
    // content layouts a batch held.
    virtual void Realign();

    void Invalidate() override;
    void Repaint() override;
    void BringToFront();

    // Keyboard focus.
    bool Focused() const;
    void SetFocus();

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
    // Destroys the children, last first.
    void DestroyControls();
    // The message handler; unhandled messages go to DefaultHandler.
    virtual LRESULT WndProc(UINT msg, WPARAM w, LPARAM l);
    LRESULT DefaultHandler(UINT msg, WPARAM w, LPARAM l);
    // Background, then frame/caption (PaintFrame), then the control's own Paint, then the
    // graphic children.
    virtual void PaintWindow(HDC dc);
    virtual void PaintFrame(HDC dc) {}
    // Called once the window exists (children's windows too).
    virtual void HandleCreated() {}
    // --- hooks for controls that draw themselves (the list at the top of this header)
    virtual bool CursorQuery(int hitTest, int x, int y) { return false; }
    virtual void FocusIn() {}
    virtual void FocusOut() {}
    virtual void CaptureLost() {}
    virtual void ThemeChanged() {}
    virtual void SysColorChanged() {}
    virtual void DpiChanged(int oldDpi, int newDpi) {}
    // A control that measures its own content (text, links) asks this first: true while a batch
    // is open on its form, and the measuring waits; the batch's end then calls ContentLayout()
    // once, before the form is laid out (or, ended by an exception, the next layout does).
    bool DeferContentLayout();
    virtual void ContentLayout() {}
    // Calls DpiChanged on this control and every windowed control below it.
    void NotifyDpiChanged(int oldDpi, int newDpi);
    // Scales what is inside the control: the border width and the children.
    void ChangeScaleInside(int M, int D);
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
    // On the root: the content layouts that waited for the end of a batch, each once.
    void RunDeferredContentLayouts();
    void RunContentLayoutsBelow();
    TWinControl& LayoutRootControl();
    void NotifySysColorChanged();

    std::vector<std::unique_ptr<TControl>> controls_;
    int borderWidth_ = 0;
    bool doubleBuffered_ = false;
    int alignDisabled_ = 0;
    bool alignPending_ = false;
    bool inLayout_ = false;  // on the root: its layout pass is running
    bool contentLayoutDeferred_ = false;    // this control's content waits for the batch's end
    bool contentLayoutsDeferred_ = false;   // on the root: some control's content waits
    bool runningContentLayouts_ = false;    // on the root: the waiting ones are measured now
    bool subclassed_ = false;
    TControl* mouseTarget_ = nullptr;
    TControl* hoverChild_ = nullptr;
    bool trackingLeave_ = false;
};

// A windowed control that draws itself: override Paint(HDC) (client coordinates; the background
// in the control's colour is already there). Set DoubleBuffered for an off-screen canvas.
class TCustomControl : public TWinControl {};

// Batches the layout of the form (the root) that c sits on for the guard's scope: controls that
// measure their own content (task buttons) measure once, and the form is laid out once, when the
// outermost batch ends normally. Ended by an exception, the batch is only released (no layout
// while unwinding); the next layout request does the pending work.
class TAlignBatch {
public:
    explicit TAlignBatch(TControl& c);
    ~TAlignBatch() noexcept(false);
    TAlignBatch(const TAlignBatch&) = delete;
    TAlignBatch& operator=(const TAlignBatch&) = delete;

private:
    TWinControl* root_ = nullptr;
    int exceptions_ = 0;
};

// Window class names the layer registers.
inline constexpr const wchar_t* kControlClass = L"SwtControl";

}  // namespace swt
