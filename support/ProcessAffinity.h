// The "PROCESSAFFINITYMASK" parameter: which processors the process may run on.
#pragma once
#include <cstdint>
#include <string_view>

namespace swt {

// The mask a parameter value asks for: a signed 32-bit whole number (decimal, or hexadecimal
// after "$" or "0x"); text that is no such number counts as 0.
int32_t AffinityMaskFromText(std::wstring_view value) noexcept;

// Applies a positive mask to the current process; zero and negative values change nothing, and a
// mask the machine cannot satisfy is ignored.
void ApplyProcessAffinityMask(std::wstring_view value) noexcept;

}  // namespace swt
