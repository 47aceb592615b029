// The Linux clock converts moments to local time by the TZ variable, the
// system's own way of choosing a zone.
#include "platform/clock.h"

#include <gtest/gtest.h>

#include "support/time_zone.h"

namespace paneloom {
namespace {

TEST(LinuxClock, LocalTimeFollowsTheZoneInForce) {
    struct Case {
        const char* zone;
        int hour;
        int day;
    };
    const Case cases[] = {{"UTC0", 21, 8}, {"ABC-2", 23, 8}, {"XYZ+3", 18, 8}, {"EAST-5", 2, 9}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.zone);
        testing::ScopedTimeZone zone(c.zone);
        std::tm local{};
        ASSERT_TRUE(platform::RealImpl<platform::Clock>().ToLocal(1092000000, local));
        EXPECT_EQ(c.hour, local.tm_hour);
        EXPECT_EQ(c.day, local.tm_mday);
    }
}

}  // namespace
}  // namespace paneloom
