#include "daemon/date_formatter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "tests/web/page_test_support.h"

namespace {

using pagetest::PageEnv;
using pagetest::section;

constexpr time_t kMarchFirst2009 = 1235916309;  // 2009-03-01 14:05:09 UTC, a Sunday

const char* const kGermanDays[] = {"Sonntag", "Montag", "Dienstag", "Mittwoch",
                                   "Donnerstag", "Freitag", "Samstag"};

std::string german_names() {
    return section(0x13, {{0x0136, kGermanDays[0]}, {0x0137, kGermanDays[1]}, {0x0138, kGermanDays[2]},
                          {0x0139, kGermanDays[3]}, {0x013A, kGermanDays[4]}, {0x013B, kGermanDays[5]},
                          {0x013C, kGermanDays[6]}, {0x015E, "Jan"}, {0x015F, "Feb"},
                          {0x0160, "M\xC3\xA4rz"}, {0x0161, "Apr"}, {0x0162, "Mai"}});
}

std::string format(DateFormatter& formatter, time_t t, int utc) {
    char out[DateFormatter::kTextSize];
    return formatter.format_time(t, out, sizeof(out), utc);
}

class DateFormatterTest : public testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "CET-1", 1);  // one hour east, no summer time
        tzset();
    }
};

TEST_F(DateFormatterTest, EventTimesInBothForms)
{
    const struct {
        const char* name;
        int language;
        bool german_file;
        int utc;
        const char* expected;
    } cases[] = {
        {"English, UTC", 0, true, 1, "Mar 01, 2009 02:05:09PM"},
        {"English, local", 0, true, 0, "Mar 01, 2009 03:05:09PM"},
        {"French uses the English form", 5, false, 1, "Mar 01, 2009 02:05:09PM"},
        {"German, UTC", 1, true, 1, "01.M\xC3\xA4rz 2009, 14:05.09Uhr"},
        {"German, local", 1, true, 0, "01.M\xC3\xA4rz 2009, 15:05.09Uhr"},
        {"German without a file falls back", 1, false, 1, "01.Mar 2009, 14:05.09Uhr"},
    };
    for (const auto& c : cases) {
        PageEnv env("Language " + std::to_string(c.language) + "\n");
        if (c.german_file) env.write_messages("de", german_names());
        DateFormatter formatter(&env.config(), &env.catalogue());
        EXPECT_EQ(format(formatter, kMarchFirst2009, c.utc), c.expected) << c.name;
    }
}

TEST_F(DateFormatterTest, NamesStayAsLookedUpWhileTheFormFollowsTheLanguage)
{
    PageEnv env("Language 0\n");
    env.write_messages("de", german_names());
    DateFormatter formatter(&env.config(), &env.catalogue());
    ASSERT_EQ(env.config().set_language(1), 0);
    EXPECT_EQ(format(formatter, kMarchFirst2009, 1), "01.Mar 2009, 14:05.09Uhr");

    PageEnv german("Language 1\n");
    german.write_messages("de", german_names());
    DateFormatter german_formatter(&german.config(), &german.catalogue());
    ASSERT_EQ(german.config().set_language(0), 0);
    EXPECT_EQ(format(german_formatter, kMarchFirst2009, 1), "Mar 01, 2009 02:05:09PM");
}

TEST_F(DateFormatterTest, CurrentTimeWithWeekday)
{
    PageEnv english("Language 0\n");
    DateFormatter formatter(&english.config(), &english.catalogue());
    std::string now = formatter.format_now();
    EXPECT_TRUE(pagetest::has_shape(now, "Aaa, Aaa 99, 9999 99:99:99AM")) << now;
    EXPECT_TRUE(now.substr(now.size() - 2) == "AM" || now.substr(now.size() - 2) == "PM") << now;

    PageEnv german("Language 1\n");
    german.write_messages("de", german_names());
    DateFormatter german_formatter(&german.config(), &german.catalogue());
    time_t before = time(nullptr);
    std::string german_now = german_formatter.format_now();
    time_t after = time(nullptr);
    // The weekday is the catalogue's name of today (or of the day the
    // second changed to while formatting), the month its name or the
    // built-in one where the file has none.
    struct tm tm_before, tm_after;
    localtime_r(&before, &tm_before);
    localtime_r(&after, &tm_after);
    std::string day = german_now.substr(0, german_now.find(','));
    EXPECT_TRUE(day == kGermanDays[tm_before.tm_wday] || day == kGermanDays[tm_after.tm_wday]) << day;
    std::string rest = german_now.substr(day.size());
    ASSERT_GT(rest.size(), 6u);
    EXPECT_TRUE(pagetest::has_shape(rest.substr(0, 5), ", 99.")) << german_now;
    size_t month_end = rest.find(' ', 5);
    ASSERT_NE(month_end, std::string::npos);
    EXPECT_GT(month_end, 5u);
    EXPECT_TRUE(pagetest::has_shape(rest.substr(month_end), " 9999, 99:99:99 Uhr")) << german_now;
}

TEST_F(DateFormatterTest, LongNamesAreCutBetweenCharacters)
{
    std::string long_march;
    for (int i = 0; i < 20; ++i) long_march += "\xC3\xA4";  // 40 bytes
    PageEnv env("Language 1\n");
    env.write_messages("de", section(0x13, {{0x0160, long_march.c_str()}}));
    DateFormatter formatter(&env.config(), &env.catalogue());
    EXPECT_EQ(format(formatter, kMarchFirst2009, 1), "01." + long_march.substr(0, 30) + " 2009, 14:05.09Uhr");
}

TEST_F(DateFormatterTest, OutputStaysWithinTheCallersBuffer)
{
    for (int language : {0, 1}) {
        PageEnv env("Language " + std::to_string(language) + "\n");
        DateFormatter formatter(&env.config(), &env.catalogue());
        char out[10];
        formatter.format_time(kMarchFirst2009, out, sizeof(out), 1);
        EXPECT_LE(strlen(out), sizeof(out) - 1);
    }
}

}  // namespace
