// Progress bar: the system's msctls_progress32 (comctl32 version 6 through the manifest).
#pragma once
#include "ui/Control.h"

namespace swt {

class TProgressBar : public TWinControl {
public:
    TProgressBar();

    int Min() const { return min_; }
    int Max() const { return max_; }
    void SetRange(int min, int max);
    void SetMin(int v) { SetRange(v, max_); }
    void SetMax(int v) { SetRange(min_, v); }
    // Kept within Min..Max, as the bar shows it.
    int Position() const { return position_; }
    void SetPosition(int v);

protected:
    void CreateParams(TCreateParams& p) override;
    void HandleCreated() override;

private:
    int min_ = 0, max_ = 100, position_ = 0;
};

}  // namespace swt
