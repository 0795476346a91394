#include <gtest/gtest.h>

#include "terminator/DropShadow.h"

namespace {

TEST(DropShadow, OnlyFromXpToWindows7AndWhenSwitchedOn) {
    const struct {
        bool nt;
        DWORD major, minor;
        bool setting, expected;
    } cases[] = {
        {true, 5, 0, true, false},  {true, 5, 1, true, true},   {true, 5, 2, true, true},
        {true, 6, 0, true, true},   {true, 6, 1, true, true},   {true, 6, 2, true, false},
        {true, 6, 3, true, false},  {true, 10, 0, true, false}, {true, 6, 1, false, false},
        {false, 5, 1, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.major << "." << c.minor << " nt=" << c.nt << " setting=" << c.setting);
        EXPECT_EQ(swt::WantsDropShadow(c.nt, c.major, c.minor, c.setting), c.expected);
    }
}

}  // namespace
