// Thin objects over the GDI+ flat interface: a graphics surface on a device context and a pen.
// Nothing here raises for a GDI+ failure: construction keeps the status in lastResult, every
// other call returns its status and keeps it when it is not Ok. A wrapper whose native object
// could not be made fails every later call the same quiet way.
#pragma once
#include "components/VeltraGDIPAPI.h"

namespace swt {

// Wrapper objects live in GDI+'s own heap and keep the last status that was not Ok.
class TGdiplusBase {
public:
    static void* operator new(size_t size);
    static void operator delete(void* p) noexcept;

    GpStatus GetLastStatus() const { return lastResult; }

protected:
    TGdiplusBase() = default;
    ~TGdiplusBase() = default;
    // Returns status, kept as the last one when it is not Ok.
    GpStatus SetStatus(GpStatus status);

    GpStatus lastResult = GpOk;
};

class TGPPen;

class TGPGraphics : public TGdiplusBase {
public:
    explicit TGPGraphics(HDC dc);
    ~TGPGraphics();
    TGPGraphics(const TGPGraphics&) = delete;
    TGPGraphics& operator=(const TGPGraphics&) = delete;

    GpStatus SetSmoothingMode(int mode);
    GpStatus DrawLine(const TGPPen& pen, float x1, float y1, float x2, float y2);

private:
    GpGraphics* nativeGraphics = nullptr;
};

class TGPPen : public TGdiplusBase {
public:
    TGPPen(ARGB color, float width = 1.0f);
    ~TGPPen();
    TGPPen(const TGPPen&) = delete;
    TGPPen& operator=(const TGPPen&) = delete;

    GpStatus SetWidth(float width);
    GpPen* Native() const { return nativePen; }

private:
    GpPen* nativePen = nullptr;
};

}  // namespace swt
