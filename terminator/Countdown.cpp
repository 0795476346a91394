#include "terminator/Countdown.h"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <limits>

namespace swt {

int CountdownProgress(int64_t elapsed, int64_t maxTime) {
    if (maxTime <= 0) return 100;
    const double percent = static_cast<double>(elapsed) / static_cast<double>(maxTime) * 100.0;
    // nearbyint rounds in the current mode, which is to-nearest-even unless someone changed it.
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    double rounded = std::nearbyint(percent);
    std::fesetround(saved);
    rounded = std::clamp(rounded, static_cast<double>(std::numeric_limits<int>::min()),
                         static_cast<double>(std::numeric_limits<int>::max()));
    return static_cast<int>(rounded);
}

int ClampToBar(int position, int minimum, int maximum) { return std::clamp(position, minimum, maximum); }

int64_t CountdownSecondsLeft(int64_t elapsed, int64_t maxTime) { return (maxTime - elapsed) / 1000; }

std::wstring CountdownText(const std::wstring& displayName, int64_t elapsed, int64_t maxTime) {
    return displayName + L" wird in " + std::to_wstring(CountdownSecondsLeft(elapsed, maxTime)) +
           L" Sekunden beendet.";
}

}  // namespace swt
