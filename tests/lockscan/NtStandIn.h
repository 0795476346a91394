// A stand-in for one of ntdll's entry points in Nt(), for one scope: how the time-limit tests make
// a query hang. The stand-in runs on a worker thread (system calls only) and waits for
// NtStandInGate() where it hangs; the gate opens when the scope ends.
#pragma once
#include <windows.h>

#include <algorithm>
#include <iterator>
#include <string>

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

// A stand-in for NtQueryObject that hangs on one name. It runs on the worker thread: system
// calls only.
inline NtQueryObjectFn g_realQueryObject = nullptr;
inline WCHAR g_hangName[1024];
inline size_t g_hangChars = 0;
inline volatile LONG g_hangSkips = 0;
inline volatile LONG g_hangsLeft = 0;

inline NTSTATUS_T NTAPI HangingQueryObject(HANDLE handle, ULONG infoClass, PVOID buffer, ULONG length,
                                           PULONG returned) {
    NTSTATUS_T status = g_realQueryObject(handle, infoClass, buffer, length, returned);
    if (status != kStatusSuccess || infoClass != kObjectNameInformation) return status;
    const auto* name = static_cast<const RawUnicodeString*>(buffer);
    if (name->Length / sizeof(WCHAR) != g_hangChars) return status;
    for (size_t i = 0; i < g_hangChars; ++i)
        if (name->Buffer[i] != g_hangName[i]) return status;
    if (::InterlockedDecrement(&g_hangSkips) >= 0) return status;
    if (::InterlockedDecrement(&g_hangsLeft) >= 0) ::WaitForSingleObject(NtStandInGate(), INFINITE);
    return status;
}

// Puts the stand-in in place for one scope: after the first `skips` queries of `name`, the next
// `hangs` never end.
class HangingNameQuery {
public:
    HangingNameQuery(const std::wstring& name, LONG hangs, LONG skips = 0) {
        g_hangChars = std::min(name.size(), std::size(g_hangName));
        std::copy(name.begin(), name.begin() + static_cast<std::ptrdiff_t>(g_hangChars), g_hangName);
        g_hangSkips = skips;
        g_hangsLeft = hangs;
    }
    LONG hangsLeft() const { return g_hangsLeft; }

private:
    // A worker that was left to finish gets its answer when the stand-in goes.
    NtStandIn<NtQueryObjectFn> standIn_{&NtFunctions::QueryObject, HangingQueryObject, g_realQueryObject};
};

}  // namespace swt::test
