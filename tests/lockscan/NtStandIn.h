// A stand-in for one of ntdll's entry points in Nt(), for one scope: how the time-limit tests make
// a query hang. The stand-in runs on a worker thread (system calls only) and waits for
// NtStandInGate() where it hangs; the gate opens when the scope ends.
#pragma once
#include <windows.h>

#include "lockscan/NtApi.h"

namespace swt::test {

// The gate of the latest stand-in; a gate stays open (and its handle valid) for good, since a
// worker may still be on its way into the wait.
inline HANDLE g_ntStandInGate = nullptr;
inline HANDLE NtStandInGate() { return g_ntStandInGate; }

template <typename Fn>
class NtStandIn {
public:
    // Puts standIn in the place of entry; real receives the entry it replaces, for the stand-in
    // to call.
    NtStandIn(Fn NtFunctions::*entry, Fn standIn, Fn& real) : entry_(entry), real_(Nt().*entry) {
        real = real_;
        g_ntStandInGate = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        Nt().*entry_ = standIn;
    }
    // Workers waiting in the stand-in get their answers now and end.
    ~NtStandIn() {
        Nt().*entry_ = real_;
        ::SetEvent(g_ntStandInGate);
    }
    NtStandIn(const NtStandIn&) = delete;
    NtStandIn& operator=(const NtStandIn&) = delete;

private:
    Fn NtFunctions::*entry_;
    Fn real_;
};

}  // namespace swt::test
