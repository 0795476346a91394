// Reading the update job: the named string values of one subkey under HKEY_CURRENT_USER.
#pragma once
#include <windows.h>
#include <cstdint>
#include <string>

#include "support/UniqueHandle.h"

namespace swt {

// The job key ("<base>\Update", opened with full access and created when missing) and, below
// it, the job's section subkey. A key that cannot be opened makes every read yield its default.
class TUpdateJobKey {
public:
    TUpdateJobKey(const std::wstring& baseKey, const std::wstring& section);

    // A REG_SZ or REG_EXPAND_SZ value (not expanded), cut at its first NUL; a missing value
    // gives def. Any other registry type raises "Ungültiger Datentyp für '<name>'".
    std::wstring ReadString(const std::wstring& name, const std::wstring& def) const;
    // Whether the value exists, whatever its type.
    bool HasValue(const std::wstring& name) const;
    // A string value read as integer text; anything that is not a whole 32-bit integer is 0.
    int32_t ReadInteger(const std::wstring& name) const;
    // The highest n for which a value "<n>_Source" exists (0 when none): entries past it can
    // only be skipped, so a huge "count" never makes the reader walk billions of numbers.
    int32_t HighestSourceIndex() const;
    // Deletes the section subkey with everything in it; failures are ignored.
    void EraseSection();

    bool HasSection() const { return static_cast<bool>(section_); }

private:
    UniqueKey update_;
    UniqueKey section_;
    std::wstring sectionName_;
};

}  // namespace swt
