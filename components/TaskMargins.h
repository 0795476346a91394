// The task button's margin objects: DrawBackgroundMargins (0, 0, 0, 0) widens the highlight
// beyond the client area; DrawInnerPadding (16, 12, 16, 12) is the space between the client edge
// and icon and text. A change of any value raises OnChange once.
#pragma once
#include <functional>

namespace swt {

class Tkx_TaskMargins {
public:
    Tkx_TaskMargins() = default;
    Tkx_TaskMargins(int left, int top, int right, int bottom) : left_(left), top_(top), right_(right), bottom_(bottom) {}
    Tkx_TaskMargins(const Tkx_TaskMargins&) = delete;
    Tkx_TaskMargins& operator=(const Tkx_TaskMargins&) = delete;
    virtual ~Tkx_TaskMargins() = default;

    int Left() const { return left_; }
    int Top() const { return top_; }
    int Right() const { return right_; }
    int Bottom() const { return bottom_; }
    void SetLeft(int v) { SetBounds(v, top_, right_, bottom_); }
    void SetTop(int v) { SetBounds(left_, v, right_, bottom_); }
    void SetRight(int v) { SetBounds(left_, top_, v, bottom_); }
    void SetBottom(int v) { SetBounds(left_, top_, right_, v); }
    // Sets all four; OnChange once when any differs.
    void SetBounds(int left, int top, int right, int bottom) {
        if (left == left_ && top == top_ && right == right_ && bottom == bottom_) return;
        left_ = left;
        top_ = top;
        right_ = right;
        bottom_ = bottom;
        if (OnChange) OnChange();
    }
    // Copies the four values of another margin object.
    void Assign(const Tkx_TaskMargins& o) { SetBounds(o.left_, o.top_, o.right_, o.bottom_); }

    std::function<void()> OnChange;

private:
    int left_ = 0, top_ = 0, right_ = 0, bottom_ = 0;
};

class Tkx_TaskInnerPadding : public Tkx_TaskMargins {
public:
    Tkx_TaskInnerPadding() : Tkx_TaskMargins(16, 12, 16, 12) {}
};

}  // namespace swt
