#include "driver/trim_whitespace.h"

#include <cstring>

namespace {

bool is_trimmed(char c) { return c == ' ' || c == '\t' || c == '\n'; }

}  // namespace

int trim_whitespace(char* text) {
    if (text == nullptr) return 1;
    const size_t length = std::strlen(text);
    size_t first = 0;
    while (first < length && is_trimmed(text[first])) ++first;
    size_t end = length;
    while (end > first && is_trimmed(text[end - 1])) --end;
    // What remains moves to the start; every byte it left up to the old end
    // becomes NUL, so a fixed-size field is NUL-padded after its text.
    const size_t kept = end - first;
    std::memmove(text, text + first, kept);
    std::memset(text + kept, 0, length - kept);
    return int(length - kept);
}
