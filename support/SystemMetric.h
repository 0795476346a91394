// A snapshot of system metrics taken at program start, and the Windows version tests.
#pragma once
#include <windows.h>

#include <cstdint>

namespace swt {

class TSystemMetric {
public:
    // Reads every metric once; the snapshot is never refreshed.
    TSystemMetric() noexcept;

    int32_t MenuHeight() const { return FMenuHeight; }
    int32_t CaptionHeight() const { return FCaptionHeight; }
    POINT Border() const { return FBorder; }
    POINT Frame() const { return FFrame; }
    POINT DlgFrame() const { return FDlgFrame; }
    POINT Bitmap() const { return FBitmap; }
    POINT HScroll() const { return FHScroll; }
    POINT VScroll() const { return FVScroll; }
    POINT Thumb() const { return FThumb; }
    POINT FullScreen() const { return FFullScreen; }
    POINT Min() const { return FMin; }
    POINT MinTrack() const { return FMinTrack; }
    POINT Cursor() const { return FCursor; }
    POINT Icon() const { return FIcon; }
    POINT DoubleClick() const { return FDoubleClick; }
    POINT IconSpacing() const { return FIconSpacing; }
    // Number of screen colours, 2^(planes x bits per pixel); 2147483647 from 31 bits on, where
    // the count no longer fits.
    int32_t ColorDepth() const { return FColorDepth; }

    // The colour count for a number of colour bits (planes x bits per pixel).
    static int32_t ColorCount(int bits) noexcept;

private:
    int32_t FColorDepth = 0;
    int32_t FMenuHeight = 0;
    int32_t FCaptionHeight = 0;
    POINT FBorder{}, FFrame{}, FDlgFrame{}, FBitmap{}, FHScroll{}, FVScroll{}, FThumb{}, FFullScreen{}, FMin{},
        FMinTrack{}, FCursor{}, FIcon{}, FDoubleClick{}, FIconSpacing{};
};

// The library's snapshot, taken at library start-up and released at shutdown; none outside, and
// none when there was no memory for it.
const TSystemMetric* SystemMetric() noexcept;
void TakeSystemMetricSnapshot() noexcept;
void ReleaseSystemMetricSnapshot() noexcept;

// Windows version as major x 10 + minor, from the platform's version query (read once).
int WindowsVersionValue();
bool IsWindowsVistaOrLater();  // 6.0 and later
bool IsWindows8OrLater();      // 6.2 and later
// Whether the version query succeeds and reports the NT platform (recorded at library start-up).
bool IsWinNT() noexcept;
void RecordIsWinNT() noexcept;
void ClearIsWinNT() noexcept;

}  // namespace swt
