// Trimming and upper-casing, for text compared without regard to surrounding blanks or case
// (parameter names, section headers, face names).
#pragma once
#include <string>
#include <string_view>

namespace swt {

// Blanks and control characters (everything up to the space character) off both ends.
std::wstring TrimBlanks(std::wstring_view text);
// Upper case by the system's case mapping; the result has the length of the text.
std::wstring UpperText(std::wstring_view text);

}  // namespace swt
