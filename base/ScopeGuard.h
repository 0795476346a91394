// Runs a cleanup when the scope ends, however it ends (return, exception); Dismiss() keeps it from
// running, for undo steps that only a failure needs:
//     ScopeExit undo([&] { StopWhatStarted(); });
//     StartTheNextPart();   // may throw: undo runs
//     undo.Dismiss();       // all done: keep what started
#pragma once
#include <utility>

namespace swt {

template <class F>
class ScopeExit {
public:
    explicit ScopeExit(F f) noexcept : f_(std::move(f)) {}
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;
    ~ScopeExit() {
        if (active_) f_();
    }
    void Dismiss() noexcept { active_ = false; }

private:
    F f_;
    bool active_ = true;
};

}  // namespace swt
