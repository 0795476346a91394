#include "support/Languages.h"

#include <windows.h>

namespace swt {

namespace {
int32_t g_userLanguage = 0;
int32_t g_languageBase = 0;
}  // namespace

int32_t LanguageBaseFor(int32_t primaryLanguage) {
    switch (primaryLanguage) {
        case LANG_GERMAN: return 70000;      // 7
        case LANG_ENGLISH: return 71000;     // 9
        case LANG_SPANISH: return 72000;     // 10
        case LANG_RUSSIAN: return 73000;     // 25
        case LANG_ITALIAN: return 74000;     // 16
        case LANG_FRENCH: return 75000;      // 12
        case LANG_PORTUGUESE: return 76000;  // 22
        default: return 71000;
    }
}

int32_t UserLanguage() noexcept { return g_userLanguage; }
int32_t LanguageBase() noexcept { return g_languageBase; }

void RecordUserLanguage() noexcept {
    g_userLanguage = ::GetUserDefaultLangID() & 0x3FF;
    g_languageBase = LanguageBaseFor(g_userLanguage);
}

void ClearUserLanguage() noexcept {
    g_userLanguage = 0;
    g_languageBase = 0;
}

}  // namespace swt
