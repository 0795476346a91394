// The three 16 x 16 status pictures of the window's image list: kill, close, bring to front.
#pragma once
#include <windows.h>
#include <array>
#include <cstdint>

#include "base/UniqueHandle.h"

namespace swt {

enum TStatusImage { siKill = 0, siClose = 1, siForeground = 2 };
inline constexpr int kStatusImageCount = 3;
inline constexpr int kStatusImageSize = 16;

// The picture as 0xAARRGGBB pixels, rows from the top, straight (not premultiplied) alpha.
std::array<uint32_t, kStatusImageSize * kStatusImageSize> StatusImagePixels(TStatusImage image);

// The picture as a 32-bit icon with alpha; none when the system refuses.
UniqueIcon StatusImageIcon(TStatusImage image);

}  // namespace swt
