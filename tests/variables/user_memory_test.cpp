#include <string>

#include <gtest/gtest.h>

#include "variables/user_memory.h"
#include "variables/variables_fixture.h"

namespace paneloom {
namespace {

TEST(RamInfoText, KilobytesRoundedUpIn64Bits) {
    EXPECT_EQ("0 Kb RAM", RamInfoText(0));
    EXPECT_EQ("1 Kb RAM", RamInfoText(1));
    EXPECT_EQ("523776 Kb RAM", RamInfoText(536346624));
    EXPECT_EQ("523777 Kb RAM", RamInfoText(536346625));
    EXPECT_EQ("4194304 Kb RAM", RamInfoText(4ull << 30));
    EXPECT_EQ("6291457 Kb RAM", RamInfoText((6ull << 30) + 1));
    // Past 2 TB a 32-bit count of kilobytes would wrap.
    EXPECT_EQ("3221225472 Kb RAM", RamInfoText(3ull << 40));
    EXPECT_EQ("18014398509481984 Kb RAM", RamInfoText(~0ull));
}

using UserAndMemoryTest = testing::VariablesTest;

TEST_F(UserAndMemoryTest, UserNameAndMemory) {
    facts.totalMemory = 25276178432ull;
    EXPECT_EQ("alice has 24683768 Kb RAM", Substitute("%USERNAME% has %RAMINFO%"));
}

TEST_F(UserAndMemoryTest, AUserNameThatCannotBeReadIsUnknown) {
    facts.userName.reset();
    EXPECT_EQ("[unknown]/523776 Kb RAM", Substitute("%USERNAME%/%RAMINFO%"));
}

TEST_F(UserAndMemoryTest, AUserNameEndsAtItsFirstNul) {
    facts.userName = std::string("bob\0junk", 8);
    EXPECT_EQ("[bob]", Substitute("[%USERNAME%]"));
}

}  // namespace
}  // namespace paneloom
