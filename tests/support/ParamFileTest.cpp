// The parameter file: encodings, line ends, the [STARTPARAMS] section, and files that are no
// parameter file at all.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/ParamFile.h"
#include "tests/common/TestSupport.h"

namespace swt {
namespace {

using Lines = std::vector<std::wstring>;

std::string Utf16Le(const std::wstring& s, bool bom) {
    std::string out = bom ? std::string("\xFF\xFE") : std::string();
    for (wchar_t c : s) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>((c >> 8) & 0xFF));
    }
    return out;
}

std::string Utf16Be(const std::wstring& s) {
    std::string out("\xFE\xFF");
    for (wchar_t c : s) {
        out.push_back(static_cast<char>((c >> 8) & 0xFF));
        out.push_back(static_cast<char>(c & 0xFF));
    }
    return out;
}

TEST(ParamFile, EncodingsAndLineEnds) {
    const std::wstring text = L"[STARTPARAMS]\r\n/FONT:Ärial\n/X:1\r/Y:2\r\n";
    const Lines want = {L"/FONT:Ärial", L"/X:1", L"/Y:2"};
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"utf-8 with bom", "\xEF\xBB\xBF[STARTPARAMS]\r\n/FONT:\xC3\x84rial\n/X:1\r/Y:2\r\n"},
        {"utf-16le with bom", Utf16Le(text, true)},
        {"utf-16be with bom", Utf16Be(text)},
        {"ansi (1252)", "[STARTPARAMS]\r\n/FONT:\xC4rial\n/X:1\r/Y:2\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(StartParamsEntries(DecodeTextLines(c.bytes)), want);
    }
}

TEST(ParamFile, SectionRules) {
    struct Case {
        const char* name;
        Lines lines;
        Lines want;
    } cases[] = {
        {"entries trimmed, blank lines skipped", {L"[STARTPARAMS]", L"  /A:1  ", L"", L"   ", L"\tB"}, {L"/A:1", L"B"}},
        {"header in lower case with blanks inside brackets' line", {L"[startparams]  ", L"/A:1"}, {L"/A:1"}},
        {"indented header is no header", {L" [STARTPARAMS]", L"/A:1"}, {}},
        {"indented header inside the section is an entry", {L"[STARTPARAMS]", L" [OTHER]", L"/A:1"}, {L"[OTHER]", L"/A:1"}},
        {"other section ends it", {L"[STARTPARAMS]", L"/A:1", L"[OTHER]", L"/B:2"}, {L"/A:1"}},
        {"section may come back", {L"[STARTPARAMS]", L"/A:1", L"[X]", L"/B:2", L"[StartParams]", L"/C:3"},
         {L"/A:1", L"/C:3"}},
        {"no comment syntax", {L"[STARTPARAMS]", L";/A:1", L"#B"}, {L";/A:1", L"#B"}},
        {"lines before any header ignored", {L"/A:1", L"[STARTPARAMS]"}, {}},
        {"value parameter named INIFILE is just an entry", {L"[STARTPARAMS]", L"/INIFILE:x.ini"}, {L"/INIFILE:x.ini"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(StartParamsEntries(c.lines), c.want);
    }
}

TEST(ParamFile, FilesThatAreNoParameterFile) {
    test::TempDir dir;
    std::mt19937 rng(7);
    std::string binary(64 * 1024, '\0');
    for (char& b : binary) b = static_cast<char>(rng());
    // The section header near the start, so only the size can keep a huge file from being read.
    std::string huge = "[STARTPARAMS]\r\n/X:1\r\n" + std::string(kMaxParamFileBytes, 'a');
    std::string noLineEnd = "[STARTPARAMS]" + std::string(200000, 'b');
    std::string withNul = std::string("[STARTPARAMS]\r\n/X:\0\x01\x02y\r\n", 22);
    struct Case {
        const char* name;
        std::string bytes;
        Lines want;
    } cases[] = {
        {"binary", binary, {}},
        {"larger than a parameter file can be", huge, {}},
        {"no line end at all", noLineEnd, {}},
        {"utf-16 without bom reads as ANSI and matches no header", Utf16Le(L"[STARTPARAMS]\r\n/X:1\r\n", false), {}},
        {"odd-length utf-16", Utf16Le(L"[STARTPARAMS]\r\n/X:1\r\n", true) + "\x41", {L"/X:1"}},
        {"empty", "", {}},
        {"bom only", "\xEF\xBB\xBF", {}},
        {"nul inside a value is kept", withNul, {std::wstring(L"/X:\0\x01\x02y", 7)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring path = dir / L"p.ini";
        test::WriteFileBytes(path, c.bytes);
        EXPECT_EQ(ReadParamFileEntries(path), c.want);
    }
    // Only just within the limit is still read.
    std::string big = "[STARTPARAMS]\r\n/X:1\r\n";
    big += std::string(kMaxParamFileBytes - big.size(), ' ');
    test::WriteFileBytes(dir / L"big.ini", big);
    EXPECT_EQ(ReadParamFileEntries(dir / L"big.ini"), Lines{L"/X:1"});

    EXPECT_TRUE(ReadParamFileEntries(dir.path()).empty());           // a folder
    EXPECT_TRUE(ReadParamFileEntries(dir / L"missing.ini").empty());  // no file
    EXPECT_TRUE(ReadParamFileEntries(L"").empty());
    EXPECT_TRUE(ReadParamFileEntries(L"C:\\a<b>|c.ini").empty());
}

}  // namespace
}  // namespace swt
