#include <gtest/gtest.h>

#include "base/IntText.h"

namespace {

struct Case {
    const wchar_t* text;
    std::optional<int32_t> value;
};

TEST(IntText, ReadsWholeIntegersOnly) {
    const Case cases[] = {Case{L"2", 2}, Case{L" 2", 2}, Case{L"   -2", -2}, Case{L"+7", 7},
                                           Case{L"-2", -2}, Case{L"2147483647", 2147483647},
                                           Case{L"-2147483648", INT32_MIN}, Case{L"2147483648", std::nullopt},
                                           Case{L"-2147483649", std::nullopt}, Case{L"99999999999", std::nullopt},
                                           Case{L"$1F", 31}, Case{L"0x1f", 31}, Case{L"0X10", 16}, Case{L"x10", 16},
                                           Case{L"$FFFFFFFF", -1}, Case{L"$100000000", std::nullopt},
                                           Case{L"-$10", -16}, Case{L"3x", std::nullopt}, Case{L"2 ", std::nullopt},
                                           Case{L"", std::nullopt}, Case{L" ", std::nullopt}, Case{L"$", std::nullopt},
                                           Case{L"0x", std::nullopt}, Case{L"-", std::nullopt},
                                           Case{L"\t2", std::nullopt}, Case{L"1.5", std::nullopt},
                                           Case{L"0", 0}, Case{L"007", 7}};
    for (const Case& c : cases)
        EXPECT_EQ(swt::TryStrToInt(c.text), c.value) << "text: \"" << testing::PrintToString(std::wstring(c.text)) << "\"";
}

}  // namespace
