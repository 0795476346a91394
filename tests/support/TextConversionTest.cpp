// Wide text to narrow code pages and back: the log's ANSI text, UTF-8, and the UTF-8-or-ANSI
// reading of messages whose encoding is not known.
#include <gtest/gtest.h>

#include "base/AnsiText.h"

namespace {

TEST(TextConversion, RoundTripsAndFallsBackToAnsiForInvalidUtf8) {
    const std::wstring words = L"Grüße aus Köln";
    EXPECT_EQ(swt::FromCodePage(swt::ToUtf8(words), CP_UTF8), words);
    EXPECT_EQ(swt::FromUtf8OrAnsi(swt::ToUtf8(words)), words);
    // In the ANSI code page "ü" is one byte that is no valid UTF-8: read as ANSI.
    const std::string ansi = swt::ToAnsi(words);
    if (::GetACP() != CP_UTF8) EXPECT_EQ(ansi.size(), words.size());
    EXPECT_EQ(swt::FromUtf8OrAnsi(ansi), words);
    EXPECT_EQ(swt::FromCodePage("", CP_UTF8), L"");
    EXPECT_EQ(swt::FromUtf8OrAnsi(""), L"");
    // Counted, not NUL-terminated: an embedded NUL stays.
    EXPECT_EQ(swt::FromCodePage(std::string_view("a\0b", 3), CP_ACP), std::wstring(L"a\0b", 3));
}

}  // namespace
