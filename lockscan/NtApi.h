// The one seam to ntdll: the native calls the lock scan needs, looked up once, and the
// system-information query with its grow-and-retry buffer.
#pragma once
#include <windows.h>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

namespace swt {

using NTSTATUS_T = LONG;

constexpr NTSTATUS_T kStatusSuccess = 0;
constexpr NTSTATUS_T kStatusInfoLengthMismatch = static_cast<NTSTATUS_T>(0xC0000004);
constexpr NTSTATUS_T kStatusBufferTooSmall = static_cast<NTSTATUS_T>(0xC0000023);
constexpr NTSTATUS_T kStatusNotImplemented = static_cast<NTSTATUS_T>(0xC0000002);
constexpr NTSTATUS_T kStatusInvalidInfoClass = static_cast<NTSTATUS_T>(0xC0000003);
constexpr NTSTATUS_T kStatusNoMemory = static_cast<NTSTATUS_T>(0xC0000017);

constexpr ULONG kSystemProcessInformation = 5;
constexpr ULONG kSystemHandleInformation = 16;
constexpr ULONG kSystemExtendedHandleInformation = 64;
constexpr ULONG kFileNameInformation = 9;
constexpr ULONG kObjectNameInformation = 1;
constexpr ULONG kMemoryBasicInformation = 0;
constexpr ULONG kMemoryMappedFilenameInformation = 2;

// The native records exactly as ntdll writes them (64-bit layout).
struct RawUnicodeString {
    USHORT Length;  // bytes, without a terminating zero
    USHORT MaximumLength;
    PWSTR Buffer;
};
struct RawIoStatusBlock {
    union {
        NTSTATUS_T Status;
        PVOID Pointer;
    };
    ULONG_PTR Information;
};
struct RawFileNameInformation {
    ULONG FileNameLength;  // bytes
    WCHAR FileName[1];
};

using NtQuerySystemInformationFn = NTSTATUS_T(NTAPI*)(ULONG infoClass, PVOID buffer, ULONG length, PULONG returnLength);
using NtQueryObjectFn = NTSTATUS_T(NTAPI*)(HANDLE handle, ULONG infoClass, PVOID buffer, ULONG length,
                                           PULONG returnLength);
using NtQueryInformationFileFn = NTSTATUS_T(NTAPI*)(HANDLE handle, RawIoStatusBlock* io, PVOID buffer, ULONG length,
                                                    ULONG infoClass);
// For another process, Wine has that process answer the question itself (a system APC), and
// waits for it without a time limit.
using NtQueryVirtualMemoryFn = NTSTATUS_T(NTAPI*)(HANDLE process, PVOID address, ULONG infoClass, PVOID buffer,
                                                  SIZE_T length, PSIZE_T returnLength);
using RtlNtStatusToDosErrorFn = ULONG(NTAPI*)(NTSTATUS_T status);

// ntdll's entry points, looked up on first use. The name-query worker reads NtQueryObject and
// NtQueryInformationFile, the memory-query worker NtQueryVirtualMemory, from here on every
// request, so a test may put a blocking stand-in in place.
struct NtFunctions {
    NtQuerySystemInformationFn QuerySystemInformation = nullptr;
    NtQueryObjectFn QueryObject = nullptr;
    NtQueryInformationFileFn QueryInformationFile = nullptr;
    NtQueryVirtualMemoryFn QueryVirtualMemory = nullptr;
    RtlNtStatusToDosErrorFn StatusToDosError = nullptr;
};
NtFunctions& Nt();

// Whether this ntdll is Wine's (it exports wine_get_version).
bool RunsUnderWine();

// A block holding the complete answer of one system-information query.
class SystemInfoBuffer {
public:
    SystemInfoBuffer(std::unique_ptr<std::byte[]> data, size_t size) : data_(std::move(data)), size_(size) {}
    const std::byte* data() const noexcept { return data_.get(); }
    size_t size() const noexcept { return size_; }

private:
    std::unique_ptr<std::byte[]> data_;
    size_t size_;
};

constexpr size_t kSystemInfoFirstSize = 0x80000;          // 512 KiB
constexpr size_t kSystemInfoMaxSize = size_t{1} << 30;    // 1 GiB: beyond that the table counts as not available

// Asks ZwQuerySystemInformation for infoClass, doubling the buffer while the answer does not fit,
// up to maxSize. None when the call fails or the answer would need more than maxSize; the last
// error is then set from the status. *status (if given) receives the final status, or
// STATUS_NO_MEMORY when the cap was reached.
std::optional<SystemInfoBuffer> QuerySystemInformationBuffer(ULONG infoClass, NTSTATUS_T* status = nullptr,
                                                             size_t firstSize = kSystemInfoFirstSize,
                                                             size_t maxSize = kSystemInfoMaxSize);

}  // namespace swt
