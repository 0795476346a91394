// The control core, in one include: event types (ui/Events.h), TControl and TGraphicControl
// (ui/BaseControl.h), TWinControl and TCustomControl with the hooks for controls that draw
// themselves (ui/WinControl.h).
#pragma once
#include "ui/BaseControl.h"
#include "ui/Events.h"
#include "ui/WinControl.h"
