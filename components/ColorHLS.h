// A small HLS colour model on the 0-240 scale of the Windows colour functions, and a blend of
// two colours. Colours are in the framework encoding; system colours are resolved to RGB first.
#pragma once
#include <cstdint>

#include "ui/Types.h"

namespace swt {

struct THLSColor {
    uint8_t H = 0;  // hue
    uint8_t S = 0;  // saturation
    uint8_t L = 0;  // luminance
    constexpr bool operator==(const THLSColor&) const = default;
};

THLSColor ColorToHLS(TColor color);
TColor HLSToColor(THLSColor hls);
// Per channel x * A + (1 - x) * B: weight 1 gives A, weight 0 gives B; a weight outside 0-1 is
// clamped per channel to 0-255.
TColor BlendColors(TColor a, TColor b, double x);

}  // namespace swt
