// The updater's process row unit.
#pragma once
#include "updater/ProcessFrame.h"
#include "components/kx_taskbutton.h"
