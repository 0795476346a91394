// The part of the GDI+ flat interface of gdiplus.dll this program draws with, and the program's
// GDI+ start-up and shutdown.
#pragma once
#include <windows.h>

#include <cstdint>

namespace swt {

using GpStatus = int32_t;  // 0 = Ok
inline constexpr GpStatus GpOk = 0;
inline constexpr GpStatus GpGdiplusNotInitialized = 18;
using ARGB = uint32_t;     // alpha << 24 | red << 16 | green << 8 | blue
inline constexpr ARGB MakeARGB(BYTE a, BYTE r, BYTE g, BYTE b) {
    return static_cast<ARGB>(a) << 24 | static_cast<ARGB>(r) << 16 | static_cast<ARGB>(g) << 8 | b;
}
inline constexpr int SmoothingModeAntiAlias = 4;
inline constexpr int UnitWorld = 0;

struct GpGraphics;
struct GpPen;

struct GdiplusStartupInput {
    UINT32 GdiplusVersion = 1;
    void* DebugEventCallback = nullptr;
    BOOL SuppressBackgroundThread = FALSE;
    BOOL SuppressExternalCodecs = FALSE;
};

extern "C" {
GpStatus WINAPI GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, void* output);
void WINAPI GdiplusShutdown(ULONG_PTR token);
void* WINAPI GdipAlloc(size_t size);
void WINAPI GdipFree(void* ptr);
GpStatus WINAPI GdipCreateFromHDC(HDC dc, GpGraphics** graphics);
GpStatus WINAPI GdipDeleteGraphics(GpGraphics* graphics);
GpStatus WINAPI GdipSetSmoothingMode(GpGraphics* graphics, int mode);
GpStatus WINAPI GdipDrawLine(GpGraphics* graphics, GpPen* pen, float x1, float y1, float x2, float y2);
GpStatus WINAPI GdipCreatePen1(ARGB color, float width, int unit, GpPen** pen);
GpStatus WINAPI GdipDeletePen(GpPen* pen);
GpStatus WINAPI GdipSetPenWidth(GpPen* pen, float width);
}

// GDI+ for the program's run: started (version 1, background thread and external codecs not
// suppressed) when made, shut down when destroyed. A program holds one, made before its main
// window; a second guard in the same process does nothing. A failed start-up leaves GDI+ off:
// every wrapper call then fails with a kept status and nothing is raised.
class GdiplusLibrary {
public:
    GdiplusLibrary();
    ~GdiplusLibrary();
    GdiplusLibrary(const GdiplusLibrary&) = delete;
    GdiplusLibrary& operator=(const GdiplusLibrary&) = delete;

    GpStatus StartupStatus() const { return status_; }
    static bool Started() noexcept;

private:
    bool owner_ = false;
    GpStatus status_ = GpOk;
};

}  // namespace swt
