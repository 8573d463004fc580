// The command log's line writer, on real files, and the texts of its lines.
#include "api/command_logger.h"
#include "api/command_log_texts.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

class CommandLoggerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char dir[] = "/tmp/command_logger_test.XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        dir_ = dir;
        path_ = dir_ + "/kq_mgmt.log";
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

    std::string contents() const
    {
        std::ifstream f(path_);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }

    std::string dir_;
    std::string path_;
};

TEST_F(CommandLoggerTest, AppendsOneTimedLinePerTextAndRecreatesTheFile)
{
    CommandLogger log("Pyv2", path_.c_str(), 0);
    // The enabled flag belongs to the logging methods; the line writer writes anyway.
    EXPECT_EQ(log.append_line("User successfully logged in"), 0);
    EXPECT_EQ(log.append_line("Set Rebuild Rate(controller=0, rate=3): Success"), 0);
    const std::regex line("[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4} Pyv2 \\[(.*)\\]\n");
    std::string text = contents();
    std::smatch m;
    std::vector<std::string> texts;
    for (auto it = text.cbegin(); std::regex_search(it, text.cend(), m, line, std::regex_constants::match_continuous);
         it = m.suffix().first)
        texts.push_back(m[1]);
    EXPECT_EQ(texts, (std::vector<std::string>{"User successfully logged in",
                                               "Set Rebuild Rate(controller=0, rate=3): Success"}))
        << text;

    // A log moved away is recreated by the next line.
    ASSERT_EQ(unlink(path_.c_str()), 0);
    EXPECT_EQ(log.append_line("again"), 0);
    EXPECT_NE(contents().find("Pyv2 [again]\n"), std::string::npos);
}

// A new log is for its owner alone whatever the process's umask; an
// existing log keeps the mode it has.
TEST_F(CommandLoggerTest, NewLogHasModeSixHundredUnderAnyUmask)
{
    CommandLogger log("Pyv2", path_.c_str(), 1);
    for (mode_t mask : {0000, 0022, 0277}) {
        unlink(path_.c_str());
        mode_t old = umask(mask);
        int written = log.append_line("Administrator successfully logged in");
        umask(old);
        EXPECT_EQ(written, 0) << std::oct << mask;
        struct stat st;
        ASSERT_EQ(stat(path_.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0600u) << "umask " << std::oct << mask;
    }
    ASSERT_EQ(chmod(path_.c_str(), 0640), 0);
    EXPECT_EQ(log.append_line("again"), 0);
    struct stat st;
    ASSERT_EQ(stat(path_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_NE(contents().find("Pyv2 [Administrator successfully logged in]\n"), std::string::npos);
    EXPECT_NE(contents().find("Pyv2 [again]\n"), std::string::npos);
}

TEST_F(CommandLoggerTest, UnwritablePathIsReportedOnStandardError)
{
    std::string missing = dir_ + "/no/such/dir/kq_mgmt.log";
    CommandLogger log("Pyv2", missing.c_str(), 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(log.append_line("Failed attempt at User login"), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: Could not open file " + missing + "\n");
}

// A CR or LF in a text (a unit name, a file name) cannot start a line of
// its own.
TEST_F(CommandLoggerTest, TextIsAlwaysOneLine)
{
    CommandLogger log("Pyv2", path_.c_str(), 1);
    EXPECT_EQ(log.append_line("Set Unit Name(controller=0, unit=1, name=a\r\nFri Jan  1 00:00:00 2027 Pyv2 [forged]): Success"), 0);
    const std::string text = contents();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
    EXPECT_NE(text.find("Pyv2 [Set Unit Name(controller=0, unit=1, name=a??Fri Jan  1 00:00:00 2027 Pyv2 [forged]): Success]\n"),
              std::string::npos) << text;
}

TEST(CommandLogTexts, UnitTypesAndStripes)
{
    const std::vector<std::string> types = {
        "RAID 0", "RAID 1", "RAID 1", "UNKNOWN", "UNKNOWN", "RAID 5", "RAID 10", "RAID 6", "RAID 50",
        "UNKNOWN", "UNKNOWN", "SINGLE DISK", "DISK", "SPARE", "DISK", "JBOD", "UNKNOWN"};
    for (int32_t type = 0; type < int32_t(types.size()); ++type) {
        char text[32] = "?";
        EXPECT_EQ(CommandLogger::unit_type_text(type, text, sizeof text), 0);
        EXPECT_EQ(text, types[size_t(type)]) << type;
    }
    char text[32] = "";
    EXPECT_EQ(CommandLogger::unit_type_text(-1, text, sizeof text), 0);
    EXPECT_STREQ(text, "UNKNOWN");
    EXPECT_EQ(CommandLogger::unit_type_text(5, nullptr, 32), 1);
    EXPECT_EQ(CommandLogger::unit_type_text(11, text, 4), 0);
    EXPECT_STREQ(text, "SIN");

    struct Stripe {
        int32_t type, code;
        const char* text;
    };
    for (const Stripe& s : {Stripe{5, 5, "16"}, Stripe{0, 7, "64"}, Stripe{8, 9, "256"},
                            Stripe{6, 1, "1"}, Stripe{7, 32, "2147483648"}, Stripe{5, 0, "n/a"},
                            Stripe{5, -3, "n/a"}, Stripe{5, 33, "n/a"}, Stripe{1, 7, "n/a"},
                            Stripe{13, 7, "n/a"}}) {
        EXPECT_EQ(CommandLogger::stripe_text(s.type, s.code, text, sizeof text), 0);
        EXPECT_STREQ(text, s.text) << s.type << "/" << s.code;
    }
}

TEST(CommandLogTexts, DriveLists)
{
    IdList drives;
    drives.count = 0;
    char text[600] = "stale";
    CommandLogger::drive_list_text(&drives, text, sizeof text);
    EXPECT_STREQ(text, "");
    for (uint8_t port = 0; port < 128; ++port)
        ASSERT_EQ(ctl_make_drive_id(1, port, &drives.ids[port]), 0);
    drives.count = 4;
    CommandLogger::drive_list_text(&drives, text, sizeof text);
    EXPECT_STREQ(text, "0 1 2 3");
    // A count past the list's room reads the room only; a small buffer is cut.
    drives.count = 5000;
    CommandLogger::drive_list_text(&drives, text, sizeof text);
    EXPECT_EQ(std::string(text).substr(std::string(text).size() - 7), "126 127") << text;
    char small[6];
    CommandLogger::drive_list_text(&drives, small, sizeof small);
    EXPECT_STREQ(small, "0 1 2");
}

TEST(CommandLogTexts, ValueWords)
{
    using namespace command_log_text;
    const std::vector<std::string> flags = {"DISABLED", "DMA", "SMART", "DMA|SMART", "UNKNOWN"};
    for (uint16_t f = 0; f < 5; ++f)
        EXPECT_EQ(selftest_flags(f), flags[f]);
    EXPECT_STREQ(selftest_flags(0xFFFF), "UNKNOWN");

    struct Policy {
        uint8_t value;
        const char* text;
    };
    for (const Policy& p : {Policy{0, "OFF"}, Policy{255, "ALL"}, Policy{1, "CBOD"},
                            Policy{6, "JBOD, FAILED DISK"}, Policy{7, "CBOD, JBOD, FAILED DISK"},
                            Policy{8, "UNKNOWN"}, Policy{0x0C, "FAILED DISK"}}) {
        char text[64];
        auto_rebuild_policy(p.value, text, sizeof text);
        EXPECT_STREQ(text, p.text) << int(p.value);
    }
    EXPECT_STREQ(protection_mode(0), "protect");
    EXPECT_STREQ(protection_mode(2), "perform");
    EXPECT_STREQ(protection_mode(3), "illegal");
    EXPECT_STREQ(recovery_policy(0), "Disable");
    EXPECT_STREQ(recovery_policy(1), "Rebuild");
    EXPECT_STREQ(recovery_policy(2), "illegal");
    EXPECT_STREQ(recovery_policy(3), "All");

    struct Start {
        int minutes;
        const char* day;
        int hour;
    };
    for (const Start& s : {Start{0, "Sun.", 0}, Start{1500, "Mon.", 1}, Start{1439, "Sun.", 23},
                           Start{10065, "Sat.", 23}, Start{10066, nullptr, 0},
                           Start{0xFFFF, nullptr, 0}, Start{-1, nullptr, 0},
                           Start{-1440, nullptr, 0}}) {
        const char* day = nullptr;
        int hour = -1;
        const bool shown = schedule_start(s.minutes, &day, &hour);
        EXPECT_EQ(shown, s.day != nullptr) << s.minutes;
        if (shown && s.day != nullptr) {
            EXPECT_STREQ(day, s.day) << s.minutes;
            EXPECT_EQ(hour, s.hour) << s.minutes;
        }
    }
}

}  // namespace
