// The Windows clock converts moments to local time by the system's zone:
// a TZ variable, which the C runtime would obey, has no say.
#include "platform/clock.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "support/time_zone.h"

namespace paneloom {
namespace {

std::tm Converted(std::int64_t seconds) {
    std::tm local{};
    EXPECT_TRUE(platform::RealImpl<platform::Clock>().ToLocal(seconds, local));
    return local;
}

TEST(WindowsClock, LocalTimeIsTheSystemsWhateverTzSays) {
    for (const std::int64_t moment : {std::int64_t{1092000000}, std::int64_t{1709251199}, std::int64_t{0}}) {
        SCOPED_TRACE(moment);
        std::tm underUtc{};
        std::tm underOther{};
        {
            testing::ScopedTimeZone zone("UTC0");
            underUtc = Converted(moment);
        }
        {
            testing::ScopedTimeZone zone("XYZ-13");
            underOther = Converted(moment);
        }
        EXPECT_EQ(underUtc.tm_hour, underOther.tm_hour);
        EXPECT_EQ(underUtc.tm_mday, underOther.tm_mday);

        // What the system itself makes of the moment.
        TIME_ZONE_INFORMATION zone{};
        GetTimeZoneInformation(&zone);
        const auto ticks = static_cast<std::uint64_t>(moment + 11644473600) * 10000000u;
        FILETIME file{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
        SYSTEMTIME universal{};
        SYSTEMTIME local{};
        ASSERT_TRUE(FileTimeToSystemTime(&file, &universal));
        ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(&zone, &universal, &local));
        EXPECT_EQ(local.wHour, underOther.tm_hour);
        EXPECT_EQ(local.wDayOfWeek, underOther.tm_wday);
        EXPECT_EQ(local.wYear - 1900, underOther.tm_year);
    }
}

TEST(WindowsClock, MomentsOutsideTheSystemsCalendarAreRefused) {
    std::tm local{};
    EXPECT_FALSE(platform::RealImpl<platform::Clock>().ToLocal(-20000000000, local));
    EXPECT_FALSE(platform::RealImpl<platform::Clock>().ToLocal(std::int64_t{1} << 50, local));
}

}  // namespace
}  // namespace paneloom
