#include "components/TaskCloseGlyph.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "components/VeltraGDIPOBJ.h"
#include "components/kx_Scale.h"
#include "base/DibSection.h"
#include "base/UniqueHandle.h"

namespace swt {

TPngImage CreateCloseGlyph(int baseWidth, int baseHeight, double f) {
    const int w = static_cast<int>(std::nearbyint(baseWidth * f));
    const int h = static_cast<int>(std::nearbyint(baseHeight * f));
    TPngImage png;
    if (w <= 0 || h <= 0) return png;
    void* bits = nullptr;
    UniqueBitmap bitmap = CreateDibSection(nullptr, w, h, 32, &bits);
    UniqueMemDc dc(::CreateCompatibleDC(nullptr));
    if (!bitmap || !bits || !dc) return png;
    {
        SelectGuard sel(dc.get(), bitmap.get());
        UniqueBrush red(::CreateSolidBrush(kCloseRed));
        const RECT all{0, 0, w, h};
        ::FillRect(dc.get(), &all, red.get());
        {
            std::unique_ptr<TGPGraphics> g(new TGPGraphics(dc.get()));
            g->SetSmoothingMode(SmoothingModeAntiAlias);
            std::unique_ptr<TGPPen> pen(new TGPPen(MakeARGB(255, 255, 255, 255), 1.0f));
            pen->SetWidth(static_cast<float>(1.7 * f));
            const double e = std::min(w, h) / 3.5;
            const double cx = w / 2.0 - 0.5, cy = h / 2.0 - 0.5;
            g->DrawLine(*pen, static_cast<float>(cx - e), static_cast<float>(cy - e), static_cast<float>(cx + e),
                        static_cast<float>(cy + e));
            g->DrawLine(*pen, static_cast<float>(cx + e), static_cast<float>(cy - e), static_cast<float>(cx - e),
                        static_cast<float>(cy + e));
        }
        ::GdiFlush();
    }
    png.AssignBitmap(bitmap.get());
    return png;
}

const TPngImage& CloseGlyph() {
    static const TPngImage glyph = CreateCloseGlyph(28, 16, GetWorkScaler()->ScalePercent / 100.0);
    return glyph;
}

}  // namespace swt
