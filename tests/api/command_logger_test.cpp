// The command log's line writer, on real files.
#include "api/command_logger.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

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

}  // namespace
