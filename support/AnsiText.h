// Conversion to the system ANSI code page, for the few places that write or compare narrow text.
#pragma once
#include <string>
#include <string_view>

namespace swt {

// Characters the code page cannot represent become the conversion's default character.
std::string ToAnsi(std::wstring_view text);

}  // namespace swt
