// Shared by the page and date tests: a temporary directory, a configuration
// store and message catalogue set up in it, and running page scripts
// through node.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "daemon/config_store.h"
#include "tests/support/files.h"
#include "driver/message_catalogue.h"

namespace pagetest {

using test_support::read_file;
using test_support::TempDir;
using test_support::write_file;

// A message file section: "#0x13:<n>" and n entries.
struct Entry {
    int code;
    const char* text;
};

inline std::string section(int category, std::initializer_list<Entry> entries) {
    char line[64];
    snprintf(line, sizeof(line), "#0x%02X:%d\n", category, static_cast<int>(entries.size()));
    std::string out = line;
    for (const Entry& e : entries) {
        snprintf(line, sizeof(line), "0x%04X:\"", e.code);
        out += line;
        out += e.text;
        out += "\"\n";
    }
    return out;
}

// A configuration store reading its file from a temporary directory, with
// the message directory pointing into it, and the daemon's catalogue.
class PageEnv {
public:
    // config_lines: extra configuration file lines ("Refresh 3\n" ...).
    explicit PageEnv(const std::string& config_lines = "")
        : config_path_(dir_.file("pyv2.conf")), config_(config_path_.c_str()) {
        write_file(config_path_, "MsgPath " + dir_.path() + "\n" + config_lines);
        config_.read_file();
        config_.set_catalogue(&catalogue_);
    }
    // Writes the daemon's message file of a language ("de", "fr", ...).
    void write_messages(const char* language_code, const std::string& content) {
        write_file(dir_.file(std::string("wox_msg_") + language_code), content);
    }
    TempDir& dir() { return dir_; }
    ConfigStore& config() { return config_; }
    MessageCatalogue& catalogue() { return catalogue_; }

private:
    TempDir dir_;
    std::string config_path_;
    ConfigStore config_;
    MessageCatalogue catalogue_;
};

// True when text has the shape given: 'A' an upper-case letter, 'a' a
// lower-case letter, '9' a digit, any other character itself.
inline bool has_shape(const std::string& text, const std::string& shape) {
    if (text.size() != shape.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        bool ok = shape[i] == 'A'   ? (c >= 'A' && c <= 'Z')
                  : shape[i] == 'a' ? (c >= 'a' && c <= 'z')
                  : shape[i] == '9' ? (c >= '0' && c <= '9')
                                    : c == shape[i];
        if (!ok) return false;
    }
    return true;
}

// Runs node with the given arguments and script file; the exit status, and
// the combined output in *output.
inline int run_node(const std::string& args, const std::string& script_path, std::string* output) {
    std::string out_path = script_path + ".out";
    std::string command = "node " + args + " '" + script_path + "' >'" + out_path + "' 2>&1";
    int status = system(command.c_str());
    *output = read_file(out_path);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace pagetest
