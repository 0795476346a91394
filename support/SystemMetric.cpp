#include "support/SystemMetric.h"

#include <memory>
#include <new>

#include "base/UniqueHandle.h"

namespace swt {

namespace {

std::unique_ptr<TSystemMetric> g_snapshot;
bool g_isWinNT = false;

POINT MetricPair(int x, int y) noexcept { return POINT{::GetSystemMetrics(x), ::GetSystemMetrics(y)}; }

bool QueryVersion(OSVERSIONINFOW& info) {
    info = OSVERSIONINFOW{};
    info.dwOSVersionInfoSize = sizeof info;  // 276 bytes
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return ::GetVersionExW(&info) != FALSE;
#pragma GCC diagnostic pop
}

}  // namespace

int32_t TSystemMetric::ColorCount(int bits) noexcept {
    if (bits <= 0) return 1;
    if (bits >= 31) return INT32_MAX;
    return static_cast<int32_t>(1u << bits);
}

TSystemMetric::TSystemMetric() noexcept {
    FMenuHeight = ::GetSystemMetrics(SM_CYMENU);
    FCaptionHeight = ::GetSystemMetrics(SM_CYCAPTION);
    FBorder = MetricPair(SM_CXBORDER, SM_CYBORDER);
    FFrame = MetricPair(SM_CXFRAME, SM_CYFRAME);
    FDlgFrame = MetricPair(SM_CXDLGFRAME, SM_CYDLGFRAME);
    FBitmap = MetricPair(SM_CXSIZE, SM_CYSIZE);
    FHScroll = MetricPair(SM_CXHSCROLL, SM_CYHSCROLL);
    FVScroll = MetricPair(SM_CXVSCROLL, SM_CYVSCROLL);
    FThumb = MetricPair(SM_CXHTHUMB, SM_CYVTHUMB);
    FFullScreen = MetricPair(SM_CXFULLSCREEN, SM_CYFULLSCREEN);
    FMin = MetricPair(SM_CXMIN, SM_CYMIN);
    FMinTrack = MetricPair(SM_CXMINTRACK, SM_CYMINTRACK);
    FCursor = MetricPair(SM_CXCURSOR, SM_CYCURSOR);
    FIcon = MetricPair(SM_CXICON, SM_CYICON);
    FDoubleClick = MetricPair(SM_CXDOUBLECLK, SM_CYDOUBLECLK);
    FIconSpacing = MetricPair(SM_CXICONSPACING, SM_CYICONSPACING);
    WindowDc screen(nullptr);
    if (screen) FColorDepth = ColorCount(::GetDeviceCaps(screen.get(), PLANES) * ::GetDeviceCaps(screen.get(), BITSPIXEL));
}

const TSystemMetric* SystemMetric() noexcept { return g_snapshot.get(); }

void TakeSystemMetricSnapshot() noexcept { g_snapshot.reset(new (std::nothrow) TSystemMetric); }

void ReleaseSystemMetricSnapshot() noexcept { g_snapshot.reset(); }

int WindowsVersionValue() {
    static const int value = [] {
        OSVERSIONINFOW info;
        return QueryVersion(info) ? static_cast<int>(info.dwMajorVersion * 10 + info.dwMinorVersion) : 0;
    }();
    return value;
}

bool IsWindowsVistaOrLater() { return WindowsVersionValue() >= 60; }
bool IsWindows8OrLater() { return WindowsVersionValue() >= 62; }

bool IsWinNT() noexcept { return g_isWinNT; }

void RecordIsWinNT() noexcept {
    OSVERSIONINFOW info;
    g_isWinNT = QueryVersion(info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

void ClearIsWinNT() noexcept { g_isWinNT = false; }

}  // namespace swt
