// A command log in a private directory, and the bracketed texts of its
// lines, each line checked for its time stamp and source name.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "api/command_logger.h"
#include "tests/support/files.h"

class CommandLogFile : public ::testing::Test {
  protected:
    std::vector<std::string> lines() const {
        static const std::regex line(
            "[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4} Pyv2 "
            "\\[(.*)\\]");
        std::vector<std::string> texts;
        const std::string text = test_support::read_file(path_);
        size_t start = 0;
        while (start < text.size()) {
            const size_t end = text.find('\n', start);
            if (end == std::string::npos) {
                ADD_FAILURE() << "unfinished line: " << text.substr(start);
                break;
            }
            std::smatch m;
            const std::string one = text.substr(start, end - start);
            if (std::regex_match(one, m, line))
                texts.push_back(m[1]);
            else
                ADD_FAILURE() << "not a log line: " << one;
            start = end + 1;
        }
        return texts;
    }

    test_support::TempDir dir_;
    std::string path_ = dir_.file("kq_mgmt.log");
    CommandLogger log_{"Pyv2", path_.c_str(), 1};
};

// One logged change: the call, its result and the text of its line.
struct LoggedChange {
    std::function<int(CommandLogger&)> call;
    int result;
    const char* text;
};
