#include "terminator/DropShadow.h"

namespace swt {

namespace {
// The version the system reports about itself, without the compatibility shims of GetVersionEx.
bool ReadVersion(OSVERSIONINFOW& info) {
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    info = OSVERSIONINFOW{};
    info.dwOSVersionInfoSize = sizeof info;
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    auto rtlGetVersion =
        ntdll ? reinterpret_cast<RtlGetVersionFn>(::GetProcAddress(ntdll, "RtlGetVersion")) : nullptr;
    if (rtlGetVersion && rtlGetVersion(&info) == 0) return true;
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return ::GetVersionExW(&info) != FALSE;
#pragma GCC diagnostic pop
}
}  // namespace

bool WantsDropShadow(bool ntPlatform, DWORD major, DWORD minor, bool dropShadowSetting) {
    if (!ntPlatform || !dropShadowSetting) return false;
    const DWORD version = major * 100 + minor;
    return version >= 501 && version < 602;
}

UINT KillFrmClassStyle(UINT base) {
    OSVERSIONINFOW info;
    if (!ReadVersion(info)) return base;
    BOOL shadow = FALSE;
    const bool setting = ::SystemParametersInfoW(SPI_GETDROPSHADOW, 0, &shadow, 0) && shadow;
    if (WantsDropShadow(info.dwPlatformId == VER_PLATFORM_WIN32_NT, info.dwMajorVersion, info.dwMinorVersion,
                        setting))
        return base | CS_DROPSHADOW;
    return base;
}

}  // namespace swt
