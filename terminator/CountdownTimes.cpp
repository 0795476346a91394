#include "terminator/CountdownTimes.h"

#include <windows.h>

#include "support/IntText.h"

namespace swt {

TCountdownTimes ScaledCountdownTimes(const std::wstring& divisorText) {
    TCountdownTimes times;
    const int32_t divisor = StrToIntDef(divisorText, 1);
    if (divisor < 2 || divisor > 1000) return times;
    times.showTime /= divisor;
    times.maxTime /= divisor;
    return times;
}

TCountdownTimes CountdownTimes() {
    wchar_t buf[32];
    const DWORD n = ::GetEnvironmentVariableW(kTestTimeDivisorVariable, buf, 32);
    if (n == 0 || n >= 32) return TCountdownTimes{};
    return ScaledCountdownTimes(std::wstring(buf, n));
}

}  // namespace swt
