// Reading the icon of an executable and turning an icon, a bitmap or a picture into a TPngImage
// whose transparency survives (AND mask, or the icon's own 32-bit alpha channel).
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "components/PngImage.h"
#include "base/UniqueHandle.h"

namespace swt {

class TBitmap;

// Owns one icon handle and destroys it with itself.
class TIcon {
public:
    TIcon() = default;
    HICON Handle() const { return icon_.get(); }
    // Takes ownership; the previous icon is destroyed.
    void SetHandle(HICON icon) { icon_.reset(icon); }
    bool Empty() const { return !icon_; }

private:
    UniqueIcon icon_;
};

// -1 when the file does not exist (links followed), else the number of icons in it (0: none).
int GetIconCount(const std::wstring& path);
// False when the file has no icon with this index; otherwise the icon goes into `icon`.
bool ExtractFileIcon(const std::wstring& path, uint16_t index, TIcon& icon);

// Windows NT 5.1 or later: icons may carry an alpha channel in their colour bitmap.
bool IsAlphaIconPlatform();

// A new picture; the caller owns it and the source is unchanged.
// - icon: colours of the icon; alpha 0 where its AND mask is set, or, on a 32-bit display of an
//   alpha platform, the icon's own alpha bytes when any of them is non-zero (then every pixel gets
//   an alpha channel). An empty icon gives an empty picture.
std::unique_ptr<TPngImage> GraphicToPng(const TIcon& icon);
// - bitmap: with Transparent on, every pixel of the transparent colour (fixed, or the
//   bottom-left pixel's) becomes alpha 0; without it the picture is opaque and has no alpha.
std::unique_ptr<TPngImage> GraphicToPng(TBitmap& bitmap);
// - picture: an identical copy.
std::unique_ptr<TPngImage> GraphicToPng(const TPngImage& picture);

}  // namespace swt
