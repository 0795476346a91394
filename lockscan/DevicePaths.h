// Device-form paths ("\Device\HarddiskVolume2\Dir\File") turned into drive-letter paths, as the
// mapped-view scan needs them: the system names a mapped file only in device form.
#pragma once
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace swt {

class TDevicePaths {
public:
    // Reads the device behind each drive letter once.
    TDevicePaths();
    // "C:\Dir\File" for a path on the device of drive C:, for "\??\C:\Dir\File" and for
    // "C:\Dir\File" itself;
    // a path on a device without a drive letter in the "\\?\GLOBALROOT\Device\..." form, which
    // the file functions open as well. Empty for an empty path.
    std::wstring DrivePath(std::wstring_view devicePath) const;

private:
    std::vector<std::pair<std::wstring, std::wstring>> devices_;  // device name, "C:"
};

}  // namespace swt
