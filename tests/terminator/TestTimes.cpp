#include "tests/terminator/TestTimes.h"

#include "base/IntText.h"

namespace endwatch_test {

swt::TCountdownTimes ScaledCountdownTimes(const std::wstring& divisorText) {
    swt::TCountdownTimes times;
    const int32_t divisor = swt::StrToIntDef(divisorText, 1);
    if (divisor < 2 || divisor > 1000) return times;
    times.showTime /= divisor;
    times.maxTime /= divisor;
    return times;
}

}  // namespace endwatch_test
