// How long the terminator waits before showing its window and before terminating the process.
#pragma once
#include <cstdint>
#include <string>

namespace swt {

struct TCountdownTimes {
    int64_t showTime = 5000;
    int64_t maxTime = 60000;
};

// TEST HOOK, not a user setting: the end-to-end tests would otherwise wait a full minute per case.
// When the environment variable ENDWATCH_TEST_TIME_DIVISOR holds a whole number from 2 to 1000,
// both times are divided by it (20 gives 250 ms and 3 s). Any other value, or none, leaves 5 s and
// 60 s. The calling program never sets it.
inline constexpr const wchar_t* kTestTimeDivisorVariable = L"ENDWATCH_TEST_TIME_DIVISOR";

TCountdownTimes ScaledCountdownTimes(const std::wstring& divisorText);
TCountdownTimes CountdownTimes();

}  // namespace swt
