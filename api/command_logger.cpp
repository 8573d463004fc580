#include "api/command_logger.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/platform.h"

namespace {

char* copy_text(const char* s)
{
    if (s == nullptr)
        s = "";
    size_t n = std::strlen(s);
    char* copy = new char[n + 1];
    std::memcpy(copy, s, n + 1);
    return copy;
}

// Opens the log for appending. A log that is not there yet is created for
// its owner alone (mode 0600), whatever umask the process has.
FILE* open_log(const char* path)
{
    for (int attempt = 0; attempt < 2; attempt++) {
        int fd = platform::open(path, O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            // The umask may have taken bits from the mode asked for.
            platform::chmod(path, 0600);
        } else if (errno == EEXIST) {
            fd = platform::open(path, O_WRONLY | O_APPEND | O_CLOEXEC);
            if (fd < 0 && errno == ENOENT)
                continue;  // removed in between: created anew
        }
        if (fd < 0)
            return nullptr;
        FILE* f = fdopen(fd, "a");
        if (f == nullptr)
            platform::close(fd);
        return f;
    }
    return nullptr;
}

// The text as it is written: a CR or LF would end the line early and let a
// text pass for a line of its own.
std::string one_line(const char* text) {
    std::string line = text == nullptr ? "" : text;
    for (char& c : line)
        if (c == '\r' || c == '\n') c = '?';
    return line;
}

std::string format_text(const char* format, va_list args) {
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    std::string text(length > 0 ? size_t(length) : 0, '\0');
    if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    return text;
}

void append_formatted(CommandLogger& log, const char* format, va_list args) {
    log.append_line(format_text(format, args).c_str());
}

}  // namespace

CommandLogger::CommandLogger(const char* source_name, const char* log_path, uint8_t enabled)
    : source_name_(copy_text(source_name)), log_path_(copy_text(log_path)), enabled_(enabled)
{
}

CommandLogger::~CommandLogger()
{
    delete[] source_name_;
    delete[] log_path_;
}

int CommandLogger::append_line(const char* text)
{
    FILE* f = open_log(log_path_);
    if (f == nullptr) {
        std::fprintf(stderr, "Error: Could not open file %s\n", log_path_);
        return 1;
    }
    // ctime_r: the request thread and the monitor thread may both log.
    char when[64] = "";
    time_t now = std::time(nullptr);
    if (ctime_r(&now, when) != nullptr) {
        size_t n = std::strlen(when);
        if (n > 0 && when[n - 1] == '\n')
            when[n - 1] = '\0';
    }
    int result = 0;
    if (std::fprintf(f, "%s %s [%s]\n", when, source_name_, one_line(text).c_str()) < 0 ||
        std::fflush(f) != 0) {
        std::fprintf(stderr, "Error: Could not write to file %s\n", log_path_);
        result = 1;
    }
    if (std::fclose(f) != 0 && result == 0) {
        std::fprintf(stderr, "Error: Could not write to file %s\n", log_path_);
        result = 1;
    }
    return result;
}

void CommandLogger::log_operation(const char* format, ...) {
    if (enabled_ == 0) return;
    va_list args;
    va_start(args, format);
    append_formatted(*this, format, args);
    va_end(args);
}

void CommandLogger::write_line(const char* format, ...) {
    va_list args;
    va_start(args, format);
    append_formatted(*this, format, args);
    va_end(args);
}
