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

class TFont;

// Key of the cache: face name in upper case and size in points.
struct TDefaultFontSizeItem {
    std::wstring fFontName;
    int32_t fFontSize = 0;

    static TDefaultFontSizeItem Create(const std::wstring& AFontname, int32_t AFontSize);
    static TDefaultFontSizeItem Create(const TFont& aFont);
    bool operator<(const TDefaultFontSizeItem& o) const {
        return fFontName != o.fFontName ? fFontName < o.fFontName : fFontSize < o.fFontSize;
    }
    bool operator==(const TDefaultFontSizeItem&) const = default;
};

class TDefaultFontSizes {
public:
    // Height in pixels of "09gjIJ" in aFont; measured with all of aFont's attributes the first
    // time its (face, size) pair is asked for, served from the cache afterwards.
    static int32_t TextHeight(const TFont& aFont);
    // Number of measurements made so far in this process (each a font selected on the canvas).
    static int Measurements();
    // Entries in the cache.
    static size_t Count();
};

}  // namespace swt

#endif
