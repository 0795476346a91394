#include "terminator/DropShadow.h"

#include "support/SystemMetric.h"

namespace swt {

bool WantsDropShadow(bool ntPlatform, DWORD major, DWORD minor, bool dropShadowSetting) {
    if (!ntPlatform || !dropShadowSetting) return false;
    const DWORD version = major * 100 + minor;
    return version >= 501 && version < 602;
}

UINT KillFrmClassStyle(UINT base) {
    // The library's own platform facts: the NT test recorded at start-up and the version value
    // (major x 10 + minor) behind its Windows 8 test.
    const int version = WindowsVersionValue();
    BOOL shadow = FALSE;
    const bool setting = ::SystemParametersInfoW(SPI_GETDROPSHADOW, 0, &shadow, 0) && shadow;
    if (WantsDropShadow(IsWinNT(), static_cast<DWORD>(version / 10), static_cast<DWORD>(version % 10), setting))
        return base | CS_DROPSHADOW;
    return base;
}

}  // namespace swt
