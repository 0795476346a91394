// The process terminator's unit: the countdown window and the pieces of its waiting loop.
#pragma once

#include "terminator/CloseGlyph.h"
#include "terminator/Countdown.h"
#include "terminator/CountdownClock.h"
#include "terminator/CountdownTimes.h"
#include "terminator/DropShadow.h"
#include "terminator/KillCommandLine.h"
#include "terminator/KillForm.h"
#include "terminator/ProcessWatch.h"
#include "terminator/StartMonitor.h"
#include "terminator/WaitLoop.h"
