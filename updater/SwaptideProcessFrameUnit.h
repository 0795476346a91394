// The updater's process row unit.
#pragma once
#include "updater/ProcessFrame.h"
#include "updater/TaskBlock.h"
