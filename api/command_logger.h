// The command log: one text line per controller change made from the web
// interface, appended to a plain file that is opened and closed for every
// line. The daemon also writes lines of its own (logins, settings) through
// append_line. The logging methods of the individual operations are added
// beside the operations they carry out.
#pragma once

#include <cstdint>

class CommandLogger {
public:
    // Copies both texts; opens nothing.
    CommandLogger(const char* source_name, const char* log_path, uint8_t enabled);
    ~CommandLogger();
    CommandLogger(const CommandLogger&) = delete;
    CommandLogger& operator=(const CommandLogger&) = delete;

    uint8_t is_enabled() const { return enabled_; }
    void set_enabled(uint8_t value) { enabled_ = value; }

    // Appends "<ctime without newline> <source name> [<text>]\n". Returns 0
    // when written, 1 when the file could not be opened or written (the
    // reason goes to standard error). Does not look at the enabled flag.
    int append_line(const char* text);

    const char* source_name() const { return source_name_; }
    const char* log_path() const { return log_path_; }

private:
    char* source_name_;
    char* log_path_;
    uint8_t enabled_;
};
