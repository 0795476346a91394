#include "terminator/CountdownClock.h"

#include <windows.h>
#include <mmsystem.h>

#include "base/SystemLibrary.h"

namespace swt {

namespace {
// winmm.dll is not among the libraries Windows always takes from its system folder, so it is
// loaded from there at run time rather than imported (see support/SystemLibrary.h).
constinit TSystemLibrary winmm{L"winmm.dll"};
constinit TSystemProc<decltype(::timeGetTime)> timeGetTime{winmm, "timeGetTime"};

// Without winmm, the system tick count: the same milliseconds since start, wrapping alike.
uint32_t MultimediaTime() {
    if (auto f = timeGetTime.get()) return f();
    return ::GetTickCount();
}
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
