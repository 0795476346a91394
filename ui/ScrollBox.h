// The scroll box: a container that grows with its content.
#pragma once
#include "ui/WinControl.h"

namespace swt {

// A container without border or bevel that sizes itself to its content and never scrolls
// (no scroll bars); drawn double-buffered. Takes its parent's colour.
class TScrollBox : public TWinControl {
public:
    TScrollBox();
};

}  // namespace swt
