// Device-independent bitmaps whose pixels the program reads and writes itself: the header that
// describes them, and a DIB section made from it.
#pragma once
#include <windows.h>

#include "base/UniqueHandle.h"

namespace swt {

enum class DibRows { TopDown, BottomUp };

// An uncompressed header for width x height pixels at bitCount bits each (24 or 32); rows start
// at the top unless BottomUp is asked for (the order bitmap files and GDI keep).
BITMAPINFO DibInfo(int width, int height, WORD bitCount, DibRows rows = DibRows::TopDown);

// A DIB section of that shape, compatible with dc (the screen when null); *bits receives its
// first stored row. Null, with *bits null, when it cannot be made.
UniqueBitmap CreateDibSection(HDC dc, int width, int height, WORD bitCount, void** bits,
                              DibRows rows = DibRows::TopDown);

}  // namespace swt
