// Trimming and upper-casing, for text compared without regard to surrounding blanks or case
// (parameter names, section headers, face names).
#pragma once
#include <string>
#include <string_view>

namespace swt {

// Blanks and control characters (everything up to the space character) off both ends.
std::wstring TrimBlanks(std::wstring_view text);
// The same, as a part of the text (no copy, so it cannot fail).
std::wstring_view TrimmedView(std::wstring_view text) noexcept;
// Upper case by the system's case mapping; the result has the length of the text.
std::wstring UpperText(std::wstring_view text);

// File names compare without regard to case the way Windows compares them: both in upper case by
// the file system's rules (LCMapStringEx, invariant locale, LCMAP_UPPERCASE without linguistic
// casing), which reach beyond ASCII ("ä" and "Ä" are one letter) and keep the length. Writes the
// n characters of text in upper case to out (room for n); false when they cannot be mapped one to
// one. Calls the system only: safe on a thread that touches no heap.
bool MapFileNameUpper(const wchar_t* text, size_t n, wchar_t* out) noexcept;
// The same for a whole string; a text that cannot be mapped comes back unchanged.
std::wstring FileNameUpper(std::wstring_view text);

}  // namespace swt
