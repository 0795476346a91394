// The named-parameter syntax: value and flag lookup, requested names, the list's extra calls.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "support/ApplicationParams.h"
#include "support/ParamSyntax.h"
#include "tests/common/TestSupport.h"

namespace swt {
namespace {

std::string Narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }

TEST(ParamSyntax, ValueLookupTable) {
    const std::wstring v300 = std::wstring(300, L'v');
    struct Case {
        std::vector<std::wstring> entries;
        const wchar_t* name;
        std::optional<std::wstring> want;
    } cases[] = {
        {{L"/FONT:Tahoma"}, L"FONT", L"Tahoma"},
        {{L"/font:Segoe UI "}, L"FONT", L"Segoe UI "},          // name case ignored, value kept as is
        {{L"/FONT:Tahoma"}, L"font", L"Tahoma"},
        {{L"/FONT:"}, L"FONT", L""},                             // present but empty
        {{L"/FONTX:1"}, L"FONT", std::nullopt},                  // another name
        {{L"FONT=Arial"}, L"FONT", std::nullopt},                // values need the slash-colon form
        {{L"-FONT:Arial"}, L"FONT", std::nullopt},
        {{L" /FONT:Arial"}, L"FONT", std::nullopt},              // command-line entries are not trimmed
        {{L"/FONT:a:b=c"}, L"FONT", L"a:b=c"},
        {{L"/FONT:first", L"/FONT:second"}, L"FONT", L"first"},  // the first wins
        {{L"FONT", L"/FONT:later"}, L"FONT", L"later"},
        {{L"/X:" + v300}, L"X", std::wstring(255, L'v')},       // cut to 255 characters
        {{L"/$FONT:Arial"}, L"$FONT", L"Arial"},
        {{L"/ÄRGER:ü"}, L"ärger", L"ü"},                          // case mapping beyond ASCII
        {{}, L"FONT", std::nullopt},
        {{L""}, L"FONT", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.name) + " in " + (c.entries.empty() ? "<none>" : Narrow(c.entries[0])));
        EXPECT_EQ(FindParamValue(c.entries, c.name), c.want);
        TApplicationParamList list(c.entries);
        EXPECT_EQ(list.GetParamValue(c.name), c.want.value_or(L""));
    }
}

TEST(ParamSyntax, FlagLookupTable) {
    struct Case {
        const wchar_t* entry;
        const wchar_t* name;
        bool want;
    } cases[] = {
        {L"/NAME", L"NAME", true},     {L"-NAME", L"NAME", true},    {L"\\NAME", L"NAME", true},
        {L"NAME", L"NAME", true},      {L"/NAME:x", L"NAME", true},  {L"NAME=1", L"NAME", true},
        {L"name", L"NAME", true},      {L"/NAME", L"name", true},    {L"/ NAME :x", L"NAME", true},
        {L"FORCE_FONT_GUIDELINE=0", L"FORCE_FONT_GUIDELINE", true},
        {L"/NAMEX", L"NAME", false},   {L"//NAME", L"NAME", false},  {L"--NAME", L"NAME", false},
        {L"/NA:ME", L"NAME", false},   {L"NAME=1:2", L"NAME", true}, {L"A:NAME", L"NAME", false},
        {L"", L"NAME", false},         {L"", L"", false},            {L"/", L"", false},
        {L"=x", L"", false},           {L"/NAME", L"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("entry '" + Narrow(c.entry) + "', flag '" + Narrow(c.name) + "'");
        TApplicationParamList list({c.entry});
        EXPECT_EQ(list.GetCheckParam(c.name), c.want);
    }
}

TEST(ParamSyntax, NamePartAndRequestedName) {
    EXPECT_EQ(ParamNamePart(L"/Font:x=y"), L"FONT");
    EXPECT_EQ(ParamNamePart(L"font=x:y"), L"FONT");
    EXPECT_EQ(ParamNamePart(L" /font"), L"/FONT");  // only a leading prefix is removed
    struct Case {
        const wchar_t* name;
        const wchar_t* want;
    } cases[] = {
        {L"font", L"FONT"}, {L" /font ", L"FONT"}, {L"--/\\font", L"FONT"}, {L"a:b=c", L"ABC"},
        {L"/FONT:", L"FONT"}, {L"$font", L"$FONT"}, {L"", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.name));
        EXPECT_EQ(RequestedParamName(c.name), c.want);
    }
}

TEST(ParamSyntax, RequestedNamesAreRecordedOnceInOrder) {
    TApplicationParamList list({L"/FONT:Tahoma"});
    list.GetParamValue(L"font");
    list.GetCheckParam(L"FORCE_FONT_GUIDELINE");
    list.GetParamValue(L"$FONT");
    list.GetParamValue(L"/Font:");
    list.GetCheckParam(L"-force_font_guideline");
    list.GetParamValueInt(L"$FONTQUALITY");
    EXPECT_EQ(list.RequestedParams(true),
              (std::vector<std::wstring>{L"FONT", L"FORCE_FONT_GUIDELINE", L"$FONT", L"$FONTQUALITY"}));
    EXPECT_EQ(list.RequestedParams(false), (std::vector<std::wstring>{L"FONT", L"FORCE_FONT_GUIDELINE"}));
    // Lookups through the free functions and the index do not record.
    list.GetParamIndex(L"OTHER");
    EXPECT_EQ(list.RequestedParams(true).size(), 4u);
}

TEST(ParamSyntax, SetIndexAndIntegerValue) {
    TApplicationParamList list({L"C:\\prog.exe", L"FONT=Arial", L"/FONT:Tahoma", L"/N: 42", L"/H:$1F", L"/BAD:4x"});
    EXPECT_EQ(list.GetParamIndex(L"font"), 1);
    EXPECT_EQ(list.GetParamIndex(L"missing"), -1);
    EXPECT_EQ(list.GetParamValueInt(L"N"), 42);
    EXPECT_EQ(list.GetParamValueInt(L"H"), 31);
    EXPECT_EQ(list.GetParamValueInt(L"BAD"), 0);
    EXPECT_EQ(list.GetParamValueInt(L"missing"), 0);

    // The first entry carrying the name is replaced, so the new value is the one read back.
    list.SetParamValue(L"FONT", L"Verdana");
    EXPECT_EQ(list.Strings(1), L"/FONT:Verdana");
    EXPECT_EQ(list.GetParamValue(L"FONT"), L"Verdana");
    list.SetParamValue(L"NEW", L"1");
    EXPECT_EQ(list.Count(), 7);
    EXPECT_EQ(list.GetParamValue(L"new"), L"1");
}

TEST(ParamSyntax, ExpandEnvironmentTable) {
    ::SetEnvironmentVariableW(L"SWT_TEST_VAR", L"C:\\Some Folder");
    ::SetEnvironmentVariableW(L"SWT_TEST_UNSET", nullptr);
    struct Case {
        const wchar_t* text;
        const wchar_t* want;
    } cases[] = {
        {L"%SWT_TEST_VAR%\\x", L"C:\\Some Folder\\x"},
        {L"  \"%SWT_TEST_VAR%\"  ", L"C:\\Some Folder"},
        {L"\"plain\"", L"plain"},
        {L"\"", L"\""},
        {L"\"a\"b\"", L"a\"b"},
        {L"%SWT_TEST_UNSET%", L"%SWT_TEST_UNSET%"},  // undefined stays as written
        {L"100%", L"100%"},
        {L"", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.text));
        EXPECT_EQ(ExpandEnvironment(c.text), c.want);
    }
    // Longer than any fixed buffer would be.
    std::wstring longValue(5000, L'z');
    ::SetEnvironmentVariableW(L"SWT_TEST_VAR", longValue.c_str());
    EXPECT_EQ(ExpandEnvironment(L"%SWT_TEST_VAR%%SWT_TEST_VAR%"), longValue + longValue);
    ::SetEnvironmentVariableW(L"SWT_TEST_VAR", nullptr);
}

}  // namespace
}  // namespace swt
