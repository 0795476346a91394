// How long the terminator waits before showing its window and before terminating the process.
#pragma once
#include <cstdint>

namespace swt {

// Endwatch.exe always waits 5 s and 60 s: nothing its caller sets changes these.
struct TCountdownTimes {
    int64_t showTime = 5000;
    int64_t maxTime = 60000;
};

}  // namespace swt
