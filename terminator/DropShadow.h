// Whether the countdown window's class gets the system drop shadow.
#pragma once
#include <windows.h>

namespace swt {

// CS_DROPSHADOW only on the NT family from version 5.1 up to 6.1, and only when the user's display
// settings have drop shadows switched on.
bool WantsDropShadow(bool ntPlatform, DWORD major, DWORD minor, bool dropShadowSetting);

// The class style for the countdown window: `base` plus CS_DROPSHADOW where the rule above holds on
// this system.
UINT KillFrmClassStyle(UINT base);

}  // namespace swt
