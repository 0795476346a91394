// Icon and colour conversion: the icon of an executable as a picture with transparency, and the
// HLS colour model with its blend.
#pragma once
#include "components/ColorHLS.h"
#include "components/IconConversion.h"
#include "components/PngImage.h"
