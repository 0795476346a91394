#include "terminator/CountdownClock.h"

#include <windows.h>
#include <mmsystem.h>

namespace swt {

namespace {
uint32_t MultimediaTime() { return ::timeGetTime(); }
}  // namespace

TCountdownClock::TCountdownClock(Source source) : source_(source ? source : &MultimediaTime) {}

int64_t TCountdownClock::Now() {
    const uint32_t raw = source_();
    if (started_ && raw < last_) high_ += uint64_t{1} << 32;
    started_ = true;
    last_ = raw;
    return static_cast<int64_t>(high_ + raw);
}

}  // namespace swt
