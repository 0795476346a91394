#include "lockscan/NtApi.h"

#include <new>

namespace swt {

namespace {

NtFunctions LookUp() {
    NtFunctions f;
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    if (!ntdll) return f;
    f.QuerySystemInformation =
        reinterpret_cast<NtQuerySystemInformationFn>(::GetProcAddress(ntdll, "ZwQuerySystemInformation"));
    f.QueryObject = reinterpret_cast<NtQueryObjectFn>(::GetProcAddress(ntdll, "NtQueryObject"));
    f.QueryInformationFile =
        reinterpret_cast<NtQueryInformationFileFn>(::GetProcAddress(ntdll, "NtQueryInformationFile"));
    f.QueryVirtualMemory =
        reinterpret_cast<NtQueryVirtualMemoryFn>(::GetProcAddress(ntdll, "NtQueryVirtualMemory"));
    f.StatusToDosError = reinterpret_cast<RtlNtStatusToDosErrorFn>(::GetProcAddress(ntdll, "RtlNtStatusToDosError"));
    return f;
}

void SetLastErrorFromStatus(NTSTATUS_T status) {
    ULONG code = Nt().StatusToDosError ? Nt().StatusToDosError(status) : ERROR_GEN_FAILURE;
    ::SetLastError(code ? code : ERROR_GEN_FAILURE);
}

}  // namespace

NtFunctions& Nt() {
    static NtFunctions functions = LookUp();
    return functions;
}

bool RunsUnderWine() {
    static const bool wine = [] {
        HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
        return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
    }();
    return wine;
}

std::optional<SystemInfoBuffer> QuerySystemInformationBuffer(ULONG infoClass, NTSTATUS_T* status, size_t firstSize,
                                                             size_t maxSize) {
    auto done = [&](NTSTATUS_T s) {
        if (status) *status = s;
        if (s != kStatusSuccess) SetLastErrorFromStatus(s);
    };
    if (!Nt().QuerySystemInformation) {
        done(kStatusNotImplemented);
        return std::nullopt;
    }
    for (size_t size = firstSize; size <= maxSize && size <= ULONG_MAX; size *= 2) {
        // Out of memory leaves as std::bad_alloc, like every other allocation of the program.
        std::unique_ptr<std::byte[]> block(new std::byte[size]);
        NTSTATUS_T s = Nt().QuerySystemInformation(infoClass, block.get(), static_cast<ULONG>(size), nullptr);
        if (s == kStatusSuccess) {
            done(s);
            return SystemInfoBuffer(std::move(block), size);
        }
        if (s != kStatusInfoLengthMismatch && s != kStatusBufferTooSmall) {
            done(s);
            return std::nullopt;
        }
        // The table may grow between two calls: keep doubling rather than trusting the size asked for.
    }
    done(kStatusNoMemory);
    return std::nullopt;
}

}  // namespace swt
