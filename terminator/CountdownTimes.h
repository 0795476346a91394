// How long the terminator waits before showing its window and before terminating the process.
#pragma once
#include <cstdint>
#include <string>

namespace swt {

// Endwatch.exe always waits 5 s and 60 s: nothing its caller sets changes these.
struct TCountdownTimes {
    int64_t showTime = 5000;
    int64_t maxTime = 60000;
};

// For the test build of the program only (EndwatchTestBuild.exe, built from the same sources with
// ENDWATCH_TEST_BUILD defined), whose end-to-end tests would otherwise wait a full minute per
// case: there this environment variable, holding a whole number from 2 to 1000, divides both
// times (20 gives 250 ms and 3 s). The shipped program never reads it.
inline constexpr const wchar_t* kTestTimeDivisorVariable = L"ENDWATCH_TEST_TIME_DIVISOR";

// The times divided by the number in the text; any other text leaves 5 s and 60 s.
TCountdownTimes ScaledCountdownTimes(const std::wstring& divisorText);

}  // namespace swt
