// The user's language as recorded at program start, and the per-language base number.
#pragma once
#include <cstdint>

namespace swt {

// Base number by primary language: German 70000, English 71000, Spanish 72000, Russian 73000,
// Italian 74000, French 75000, Portuguese 76000; every other language 71000.
int32_t LanguageBaseFor(int32_t primaryLanguage);

// Primary language of the user's default language (language id AND 0x3FF), and its base number;
// recorded at library start-up, 0 outside.
int32_t UserLanguage() noexcept;
int32_t LanguageBase() noexcept;
void RecordUserLanguage() noexcept;
void ClearUserLanguage() noexcept;

}  // namespace swt
