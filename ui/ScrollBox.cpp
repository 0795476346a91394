#include "ui/ScrollBox.h"

namespace swt {

TScrollBox::TScrollBox() {
    SetBounds(0, 0, 185, 41);
    SetParentColor(true);
    SetAutoSize(true);
    SetDoubleBuffered(true);
}

}  // namespace swt
