// The text-height cache of the forced font guideline: the height of "09gjIJ" per face and size,
// measured once per process on a canvas over the desktop window's device context.
// Process terminator only.
#pragma once
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>

#include "support/XProcsBuild.h"

#if SWT_XPROCS_TERMINATOR

namespace swt {

// Key of the cache: face name in upper case and size in points.
struct TDefaultFontSizeItem {
    std::wstring fFontName;
    int32_t fFontSize = 0;

    static TDefaultFontSizeItem Create(const std::wstring& AFontname, int32_t AFontSize);
    // Any font object with Name() and Size() (the window layer's TFont).
    template <class Font>
    static TDefaultFontSizeItem Create(const Font& aFont) {
        return Create(aFont.Name(), aFont.Size());
    }
    bool operator<(const TDefaultFontSizeItem& o) const {
        return fFontName != o.fFontName ? fFontName < o.fFontName : fFontSize < o.fFontSize;
    }
    bool operator==(const TDefaultFontSizeItem&) const = default;
};

class TDefaultFontSizes {
public:
    // Height in pixels of "09gjIJ" in the face AFontName at AFontSize points; measured with
    // aFont (the full description of that face and size: weight, quality, ...) the first time the
    // (face, size) pair is asked for, served from the cache afterwards.
    static int32_t TextHeight(const std::wstring& AFontName, int32_t AFontSize, const LOGFONTW& aFont);
    // The same for any font object with Name(), Size() and ToLogFont() (the window layer's TFont).
    template <class Font>
    static int32_t TextHeight(const Font& aFont) {
        return TextHeight(aFont.Name(), aFont.Size(), aFont.ToLogFont());
    }
    // Number of measurements made so far in this process (each a font selected on the canvas).
    static int Measurements();
    // Entries in the cache.
    static size_t Count();
};

}  // namespace swt

#endif
