// Shorter countdown times for the test build of Endwatch (EndwatchTestBuild.exe), whose end-to-end
// tests would otherwise wait a full minute per case. The shipped program has none of this.
#pragma once
#include <string>

#include "terminator/CountdownTimes.h"

namespace endwatch_test {

// Read by the test build from its environment: a whole number from 2 to 1000 divides both times
// (20 gives 250 ms and 3 s).
inline constexpr const wchar_t* kTestTimeDivisorVariable = L"ENDWATCH_TEST_TIME_DIVISOR";

// The times divided by the number in the text; any other text leaves 5 s and 60 s.
swt::TCountdownTimes ScaledCountdownTimes(const std::wstring& divisorText);

}  // namespace endwatch_test
