// EndwatchTestBuild.exe: the terminator with its times divided by ENDWATCH_TEST_TIME_DIVISOR, for
// the end-to-end tests. The shipped Endwatch.exe (terminator/main.cpp) reads no such variable.
#include <windows.h>

#include "terminator/EndwatchMain.h"
#include "tests/terminator/TestTimes.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t divisor[32];
    const DWORD n = ::GetEnvironmentVariableW(endwatch_test::kTestTimeDivisorVariable, divisor, 32);
    const swt::TCountdownTimes times =
        n > 0 && n < 32 ? endwatch_test::ScaledCountdownTimes(std::wstring(divisor, n)) : swt::TCountdownTimes{};
    return swt::EndwatchMain(times);
}
