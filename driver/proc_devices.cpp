#include "driver/proc_devices.h"

#include <cstdlib>
#include <cstring>

namespace {

bool blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Copies the word at text[*at] into word (room bytes); false when it does
// not fit or there is none before the end of the line.
bool take_word(const char* text, size_t end, size_t* at, char* word, size_t room) {
    while (*at < end && blank(text[*at])) ++*at;
    size_t n = 0;
    bool fits = true;
    while (*at < end && !blank(text[*at])) {
        if (n + 1 < room) {
            word[n++] = text[*at];
        } else {
            fits = false;
        }
        ++*at;
    }
    word[n] = '\0';
    return fits && n > 0;
}

}  // namespace

bool next_device_line(const char* text, size_t length, size_t* position, DeviceLine* out) {
    while (*position < length) {
        const char* newline =
            static_cast<const char*>(std::memchr(text + *position, '\n', length - *position));
        const size_t end = newline != nullptr ? size_t(newline - text) : length;
        size_t at = *position;
        *position = end + 1;
        char number[16];
        if (take_word(text, end, &at, number, sizeof number) &&
            take_word(text, end, &at, out->name, sizeof out->name)) {
            out->major = std::atoi(number);
            return true;
        }
    }
    return false;
}

int base_driver_major(const char* text, size_t length, const char* prefix) {
    const size_t prefix_length = std::strlen(prefix);
    size_t position = 0;
    DeviceLine line;
    while (next_device_line(text, length, &position, &line)) {
        if (std::strncmp(line.name, prefix, prefix_length) == 0 && line.name[3] != 'v')
            return line.major;
    }
    return 0;
}
