#include "components/VeltraGDIPAPI.h"

namespace swt {

namespace {
ULONG_PTR g_token = 0;
bool g_started = false;
bool g_guardActive = false;
}  // namespace

GdiplusLibrary::GdiplusLibrary() {
    if (g_guardActive) return;
    g_guardActive = true;
    owner_ = true;
    const GdiplusStartupInput input;
    status_ = GdiplusStartup(&g_token, &input, nullptr);
    g_started = status_ == GpOk;
}

GdiplusLibrary::~GdiplusLibrary() {
    if (!owner_) return;
    // The wrapper creates no shared objects on demand in this program: nothing to free first.
    if (g_started) GdiplusShutdown(g_token);
    g_started = false;
    g_token = 0;
    g_guardActive = false;
}

bool GdiplusLibrary::Started() noexcept { return g_started; }

}  // namespace swt
