// The countdown's millisecond clock: the multimedia timer widened to a 64-bit count that does not wrap.
#pragma once
#include <cstdint>

namespace swt {

// timeGetTime counts milliseconds in 32 bits and wraps every 2^32 ms (about 49.7 days). Each reading
// is compared with the one before; a smaller value means the counter went round once, so 2^32 is
// added from then on. The waiting loop reads the clock four times a second, far more often than
// once per wrap, so no wrap is missed. Differences of two readings are therefore true elapsed times,
// also across a wrap, and stay signed 64-bit numbers where a click moved the start into the future.
class TCountdownClock {
public:
    using Source = uint32_t (*)();

    // The default source is timeGetTime; tests pass their own counter.
    explicit TCountdownClock(Source source = nullptr);

    // Milliseconds on the widened count; never decreases.
    int64_t Now();

private:
    Source source_;
    bool started_ = false;
    uint32_t last_ = 0;
    uint64_t high_ = 0;
};

}  // namespace swt
