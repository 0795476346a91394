#include "components/VeltraGDIPOBJ.h"

#include <new>

namespace swt {

void* TGdiplusBase::operator new(size_t size) {
    void* p = GdipAlloc(size);
    if (!p) throw std::bad_alloc();
    return p;
}

void TGdiplusBase::operator delete(void* p) noexcept {
    if (p) GdipFree(p);
}

GpStatus TGdiplusBase::SetStatus(GpStatus status) {
    if (status != GpOk) lastResult = status;
    return status;
}

namespace {
// GDI+ answers a null native object with InvalidParameter; say so without asking it.
constexpr GpStatus GpInvalidParameter = 2;
}  // namespace

TGPGraphics::TGPGraphics(HDC dc) { lastResult = GdipCreateFromHDC(dc, &nativeGraphics); }

TGPGraphics::~TGPGraphics() {
    if (nativeGraphics) GdipDeleteGraphics(nativeGraphics);
}

GpStatus TGPGraphics::SetSmoothingMode(int mode) {
    if (!nativeGraphics) return SetStatus(GpInvalidParameter);
    return SetStatus(GdipSetSmoothingMode(nativeGraphics, mode));
}

GpStatus TGPGraphics::DrawLine(const TGPPen& pen, float x1, float y1, float x2, float y2) {
    if (!nativeGraphics || !pen.Native()) return SetStatus(GpInvalidParameter);
    return SetStatus(GdipDrawLine(nativeGraphics, pen.Native(), x1, y1, x2, y2));
}

TGPPen::TGPPen(ARGB color, float width) { lastResult = GdipCreatePen1(color, width, UnitWorld, &nativePen); }

TGPPen::~TGPPen() {
    if (nativePen) GdipDeletePen(nativePen);
}

GpStatus TGPPen::SetWidth(float width) {
    if (!nativePen) return SetStatus(GpInvalidParameter);
    return SetStatus(GdipSetPenWidth(nativePen, width));
}

}  // namespace swt
