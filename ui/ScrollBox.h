// The scroll box: a container that grows with its content and scrolls once it may grow no more.
#pragma once
#include "ui/WinControl.h"

namespace swt {

// A container without border or bevel that sizes itself to its content; drawn double-buffered,
// in its parent's colour. Its parent may limit its height (a form that would pass its work
// area): the content then scrolls, with a vertical scroll bar and the mouse wheel, and stays as
// it is without a limit.
class TScrollBox : public TWinControl {
public:
    // Pixels one step of the scroll bar's arrows moves; a wheel notch moves three.
    static constexpr int kLineStep = 20;

    TScrollBox();

    // Whether the content is taller than the box (the scroll bar shows).
    bool Scrolling() const { return scrolled_; }
    int ScrollPos() const { return scrollY_; }
    // The content's full height, scrolled out of sight or not.
    int ContentHeight() const { return contentHeight_; }
    // Scrolls so that the content's line y stands at the box's top (as far as the content goes).
    void ScrollTo(int y);
    // Scrolls by a wheel rotation (WM_MOUSEWHEEL's delta: positive up).
    void ScrollByWheel(int delta);

    void BuildLayoutNode(TLayoutNode& n) override;
    void ApplyLayoutNode(const TLayoutNode& n) override;

protected:
    void HandleCreated() override;
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;

private:
    void UpdateScrollBar();

    bool scrolled_ = false;
    int scrollY_ = 0;
    int contentHeight_ = 0;
    int wheelRest_ = 0;  // wheel rotation short of a notch (fine-grained wheels)
};

}  // namespace swt
