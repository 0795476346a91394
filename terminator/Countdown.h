// The countdown's arithmetic: elapsed time, progress position, seconds left and their text.
// Pure functions of millisecond values, so the loop and the tests share them.
#pragma once
#include <cstdint>
#include <string>

namespace swt {

// Elapsed time of the countdown; negative after a click on the progress bar moved the start ahead.
inline int64_t CountdownElapsed(int64_t now, int64_t startTime) { return now - startTime; }

// Position for the progress bar: elapsed / maxTime x 100 in double precision, rounded to the nearest
// integer with halves to even. Not clamped: the bar keeps what it shows within its range.
int CountdownProgress(int64_t elapsed, int64_t maxTime);

// What a bar with the given range shows for a position.
int ClampToBar(int position, int minimum = 0, int maximum = 100);

// Whole seconds left: (maxTime - elapsed) / 1000, truncated toward zero.
int64_t CountdownSecondsLeft(int64_t elapsed, int64_t maxTime);

// "<name> wird in <n> Sekunden beendet."
std::wstring CountdownText(const std::wstring& displayName, int64_t elapsed, int64_t maxTime);

}  // namespace swt
