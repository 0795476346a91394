// Integer text as the programs read it from the registry and the command line.
#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

namespace swt {

// Reads a whole 32-bit integer: leading blanks, an optional sign, then decimal digits or a
// hexadecimal number after "$", "x" or "0x" (hex may use all 32 bits, so "$FFFFFFFF" is -1).
// Anything else, including trailing characters, an empty text and overflow, gives no value.
std::optional<int32_t> TryStrToInt(std::wstring_view text) noexcept;

inline int32_t StrToIntDef(std::wstring_view text, int32_t def) noexcept {
    return TryStrToInt(text).value_or(def);
}

}  // namespace swt
