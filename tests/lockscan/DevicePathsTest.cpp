// Mapped files are named in device form; entries show them in drive-letter form.
#include <gtest/gtest.h>

#include "lockscan/FileInUse_Tools.h"

namespace swt::test {
namespace {

TEST(DevicePaths, DeviceFormsBecomeDriveLetterPaths) {
    wchar_t device[1024] = {};
    ASSERT_NE(::QueryDosDeviceW(L"C:", device, 1024), 0u);
    const std::wstring c = device;
    const TDevicePaths devices;
    struct Case {
        std::wstring in;
        std::wstring out;
    };
    const Case cases[] = {
        {c + L"\\dir\\file.dat", L"C:\\dir\\file.dat"},
        // A device whose name only begins like C:'s (HarddiskVolume1 / HarddiskVolume10) is another one.
        {c + L"0\\dir\\file.dat", L"\\\\?\\GLOBALROOT" + c + L"0\\dir\\file.dat"},
        {L"\\??\\C:\\dir\\file.dat", L"C:\\dir\\file.dat"},
        {L"C:\\dir\\file.dat", L"C:\\dir\\file.dat"},
        {L"\\Device\\NoSuchDevice\\x.dat", L"\\\\?\\GLOBALROOT\\Device\\NoSuchDevice\\x.dat"},
        {L"", L""},
    };
    for (const Case& k : cases) EXPECT_EQ(devices.DrivePath(k.in), k.out) << testing::PrintToString(k.in);
}

}  // namespace
}  // namespace swt::test
