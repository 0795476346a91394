#include "lockscan/DevicePaths.h"

#include <windows.h>

namespace swt {

TDevicePaths::TDevicePaths() {
    const DWORD drives = ::GetLogicalDrives();
    std::vector<wchar_t> buffer(1024);
    for (int i = 0; i < 26; ++i) {
        if (!(drives & (1u << i))) continue;
        const wchar_t drive[3] = {static_cast<wchar_t>(L'A' + i), L':', 0};
        DWORD n = ::QueryDosDeviceW(drive, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) continue;
        std::wstring device(buffer.data());  // the first of the names given
        if (!device.empty()) devices_.emplace_back(std::move(device), drive);
    }
}

std::wstring TDevicePaths::DrivePath(std::wstring_view path) const {
    if (path.empty()) return {};
    constexpr std::wstring_view dosPrefix = L"\\??\\";
    if (path.substr(0, dosPrefix.size()) == dosPrefix && path.size() >= 6 && path[5] == L':')
        return std::wstring(path.substr(dosPrefix.size()));
    // Some systems give some names in drive-letter form already.
    if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') return std::wstring(path);
    for (const auto& [device, drive] : devices_) {
        if (path.size() > device.size() && path[device.size()] == L'\\' &&
            ::CompareStringOrdinal(path.data(), static_cast<int>(device.size()), device.data(),
                                   static_cast<int>(device.size()), TRUE) == CSTR_EQUAL)
            return drive + std::wstring(path.substr(device.size()));
    }
    return L"\\\\?\\GLOBALROOT" + std::wstring(path);
}

}  // namespace swt
