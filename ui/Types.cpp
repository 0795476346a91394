#include "ui/Types.h"

namespace swt {

COLORREF ColorToRGB(TColor c, COLORREF fallback) {
    if (c == clNone || c == clDefault) return fallback;
    if (IsSystemColor(c)) return ::GetSysColor(static_cast<int>(c & 0xFF));
    return static_cast<COLORREF>(c & 0x00FFFFFF);
}

}  // namespace swt
