#include "terminator/CountdownTimes.h"

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

}  // namespace swt
