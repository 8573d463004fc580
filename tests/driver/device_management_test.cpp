// Times of virtual-machine controllers converted to and from local time, in
// the machine's time zone, and the trimming of firmware texts.
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "driver/driver_access.h"
#include "driver/trim_whitespace.h"
#include "tests/driver/sim_machine.h"

namespace {

struct WeekCase {
    long offset;  // seconds east of UTC
    bool to_local;
    uint32_t minutes;
    uint32_t expected;
};

const WeekCase kWeekCases[] = {
    {-18000, true, 0, 9780},     {3600, true, 10079, 59},    {7200, false, 30, 9990},
    {-18000, false, 10000, 220}, {0, true, 5000, 5000},      {3600, false, 0, 10020},
    {0, true, 0xFFFF, 5055},     {3600, true, 0xFFFF, 5115}, {-12600, true, 210, 0},
    {50400, false, 10079, 9239},
};

class WeekMinutes : public ::testing::TestWithParam<WeekCase> {};

TEST_P(WeekMinutes, WrappedIntoTheWeek) {
    load_machine("clock utc-offset=" + std::to_string(GetParam().offset) + "\n");
    const uint32_t m = GetParam().minutes;
    EXPECT_EQ(GetParam().to_local ? DriverAccess::to_local_week_minutes(m)
                                  : DriverAccess::to_controller_week_minutes(m),
              GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Zones, WeekMinutes, ::testing::ValuesIn(kWeekCases));

TEST(LocalTime, OffsetInForceAtThatTime) {
    load_machine("clock utc-offset=-18000\n");
    EXPECT_EQ(DriverAccess::to_local_time(1700000000u), 1699982000u);
    EXPECT_EQ(DriverAccess::to_local_time(100u), 100u - 18000u);  // 32-bit arithmetic

    // Without a fixed offset the process's time zone applies, with its
    // summer time.
    load_machine("");
    ASSERT_EQ(setenv("TZ", "EST5EDT,M3.2.0,M11.1.0", 1), 0);
    tzset();
    EXPECT_EQ(DriverAccess::to_local_time(1688212800u), 1688212800u - 14400u);  // July
    EXPECT_EQ(DriverAccess::to_local_time(1704110400u), 1704110400u - 18000u);  // January
}

struct TrimCase {
    const char* text;
    const char* expected;
    int removed;
};

const TrimCase kTrimCases[] = {
    {" SN123  ", "SN123", 3}, {"   ", "", 3},          {"", "", 0},
    {"abc", "abc", 0},        {"\t\nx y\n", "x y", 3}, {"\rx\v", "\rx\v", 0},
    {"  a  b  ", "a  b", 4},
};

TEST(TrimWhitespace, BlanksTabsAndNewlinesAtBothEnds) {
    for (const TrimCase& c : kTrimCases) {
        char text[32];
        std::memset(text, 'x', sizeof text);
        std::snprintf(text, sizeof text, "%s", c.text);
        EXPECT_EQ(trim_whitespace(text), c.removed) << '"' << c.text << '"';
        EXPECT_STREQ(text, c.expected);
        // Up to the old end nothing of the text is left behind the new one.
        for (size_t i = std::strlen(c.expected); i <= std::strlen(c.text); ++i)
            EXPECT_EQ(text[i], '\0') << '"' << c.text << "\" at " << i;
        EXPECT_EQ(text[std::strlen(c.text) + 1], 'x');
    }
    EXPECT_EQ(trim_whitespace(nullptr), 1);
}

TEST(NotSupported, RecordsFeatureNotSupported) {
    EXPECT_EQ(DriverAccess::report_not_supported(), -1);
    const ErrorRecord record = last_error();
    EXPECT_EQ(record.flags, uint32_t(kErrApi));
    EXPECT_STREQ(record.text, "(0x0B:0x0002): Feature not supported");
}

}  // namespace
