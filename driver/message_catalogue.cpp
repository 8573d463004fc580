// The message catalogue: texts by category and code, from the message file
// of the user's language or else from the built-in English tables, handed
// back in the catalogue's form "(0x%02X:0x%04X): %s" from a ring of ten.
#include "driver/message_catalogue.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "driver/message_tables.h"

namespace {

constexpr int32_t kLastCategory = 26;
constexpr int kRingSize = 10;
constexpr size_t kLineSize = 1024;
constexpr size_t kPathSize = 128;
// Room a formatted text needs beyond its bare text.
constexpr size_t kFormatRoom = 32;

const char* const kLanguageCodes[] = {"en", "de", "ja", "tzh", "szh", "fr", "es", "it"};
constexpr uint8_t kLanguageCount = sizeof(kLanguageCodes) / sizeof(kLanguageCodes[0]);

const char* const kLibraryFile = "kq_msg_";
const char* const kDaemonFile = "wox_msg_";

// The message file prefix of a category, or null when no file holds it.
const char* file_prefix(int32_t category) {
    switch (category) {
    case 3: case 4: case 5: case 6: case 7: case 11: case 14: case 15: case 16:
    case 17: case 18: case 22: case 23: case 25: case 26:
        return kLibraryFile;
    case 12: case 19:
        return kDaemonFile;
    default:
        return nullptr;
    }
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

const char* skip_blanks(const char* p) {
    while (std::isspace(static_cast<unsigned char>(*p))) ++p;
    return p;
}

// Reads 1 to max_digits hexadecimal digits after optional white space.
// Returns the position after them, or null when there is no digit.
const char* parse_hex(const char* p, int max_digits, uint32_t* value) {
    p = skip_blanks(p);
    uint32_t v = 0;
    int n = 0;
    while (n < max_digits && hex_value(*p) >= 0) {
        v = v * 16 + static_cast<uint32_t>(hex_value(*p));
        ++p;
        ++n;
    }
    if (n == 0) return nullptr;
    *value = v;
    return p;
}

// Reads a signed decimal number after optional white space; values beyond
// the range of int stop at its limits.
bool parse_decimal(const char* p, int* value) {
    p = skip_blanks(p);
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
    long long v = 0;
    for (; std::isdigit(static_cast<unsigned char>(*p)); ++p) {
        if (v <= INT_MAX) v = v * 10 + (*p - '0');
    }
    if (negative) v = -v;
    *value = v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
    return true;
}

// A section head: "#0x" + category in up to two hexadecimal digits + ":" +
// the number of entry lines in decimal.
bool parse_head(const char* line, uint32_t* category, int* count) {
    if (std::strncmp(line, "#0x", 3) != 0) return false;
    const char* p = parse_hex(line + 3, 2, category);
    if (p == nullptr || *p != ':') return false;
    return parse_decimal(p + 1, count);
}

// An entry line begins with "0x" and the code in up to four hexadecimal
// digits; its text starts at the ninth character.
bool parse_entry_code(const char* line, uint32_t* code) {
    if (std::strncmp(line, "0x", 2) != 0) return false;
    return parse_hex(line + 2, 4, code) != nullptr;
}

constexpr size_t kEntryTextStart = 8;

// Moves the entry's text (from the ninth character up to the last double
// quote of the line) to the start of the line. Without a closing quote the
// text is empty.
void take_entry_text(char* line) {
    size_t length = std::strlen(line);
    size_t end = length;
    while (end > kEntryTextStart && line[end - 1] != '"') --end;
    if (end <= kEntryTextStart) {
        line[0] = '\0';
        return;
    }
    size_t text_length = end - 1 - kEntryTextStart;
    std::memmove(line, line + kEntryTextStart, text_length);
    line[text_length] = '\0';
}

// Reads the wanted entry's text of an open message file into line.
void search_file(std::FILE* file, char* line, uint32_t category, uint32_t code) {
    for (;;) {
        uint32_t head_category = 0;
        int count = 0;
        if (std::fgets(line, kLineSize, file) == nullptr || !parse_head(line, &head_category, &count)) {
            line[0] = '\0';
            return;
        }
        if (head_category == category) break;
        // Another category's section: pass over its lines (a negative count
        // passes over the rest of the file).
        for (long long skipped = 0; count < 0 || skipped < count; ++skipped) {
            if (std::fgets(line, kLineSize, file) == nullptr) {
                line[0] = '\0';
                return;
            }
        }
    }
    for (;;) {
        uint32_t entry_code = 0;
        if (std::fgets(line, kLineSize, file) == nullptr || !parse_entry_code(line, &entry_code)) {
            line[0] = '\0';
            return;
        }
        if (entry_code == code) {
            take_entry_text(line);
            return;
        }
    }
}

// The operating system's text for an error number, kept per thread. Either
// form of strerror_r may be the one the C library declares.
[[maybe_unused]] const char* strerror_text(const char* result, const char*) { return result; }
[[maybe_unused]] const char* strerror_text(int result, const char* buffer) {
    return result == 0 ? buffer : "";
}

const char* os_error_text(int32_t number) {
    thread_local char text[256];
    char buffer[256];
    buffer[0] = '\0';
    const char* message = strerror_text(strerror_r(number, buffer, sizeof buffer), buffer);
    std::snprintf(text, sizeof text, "%s", message != nullptr ? message : "");
    return text;
}

}  // namespace

MessageCatalogue::MessageCatalogue() : busy_(0), ring_{}, ring_position_(0) {}

MessageCatalogue::~MessageCatalogue() {
    for (char*& slot : ring_) {
        std::free(slot);
        slot = nullptr;
    }
}

const char* MessageCatalogue::lookup(int32_t category, int32_t code, const char* message_dir,
                                     uint8_t language) {
    if (category <= 0 || category > kLastCategory) return "";
    while (busy_.exchange(1, std::memory_order_acquire) != 0) std::this_thread::yield();

    char*& slot = ring_[ring_position_];
    std::free(slot);
    slot = nullptr;

    char line[kLineSize];
    const char* bare = "";
    if (language != 0) bare = lookup_file(line, category, code, message_dir, language);
    if (bare[0] == '\0') bare = lookup_builtin(category, code);

    const char* result = "";
    size_t size = std::strlen(bare) + kFormatRoom;
    if (bare[0] != '\0' && (slot = static_cast<char*>(std::malloc(size))) != nullptr) {
        unsigned ucategory = static_cast<unsigned>(category);
        unsigned ucode = static_cast<unsigned>(code);
        if (category == 15 && bare[0] >= '0' && bare[0] <= '9') {
            std::snprintf(slot, size, "%c(0x%02X:0x%04X): %s", bare[0], ucategory, ucode, bare + 1);
        } else if (category == 19) {
            std::snprintf(slot, size, "%s", bare);
        } else {
            std::snprintf(slot, size, "(0x%02X:0x%04X): %s", ucategory, ucode, bare);
        }
        result = slot;
        ring_position_ = static_cast<uint8_t>((ring_position_ + 1) % kRingSize);
    }
    busy_.store(0, std::memory_order_release);
    return result;
}

const char* MessageCatalogue::lookup_builtin(int32_t category, int32_t code) {
    if (category == 2) return code >= 1 && code <= 4 ? kSeverityNames[code] : "";
    if (category == 9) return os_error_text(code);
    const MessageRow* row = message_table(category);
    if (row == nullptr) return "";
    while (row->code != code && row->code != -1) ++row;
    return row->text;
}

char* MessageCatalogue::lookup_file(char* line, int32_t category, int32_t code,
                                    const char* message_dir, uint8_t language) {
    line[0] = '\0';
    const char* prefix = file_prefix(category);
    if (language >= kLanguageCount || prefix == nullptr) return line;

    // A path that does not fit is no file at all: cutting it could name
    // another file.
    char path[kPathSize];
    int length = std::snprintf(path, sizeof path, "%s/%s%s", message_dir != nullptr ? message_dir : "",
                               prefix, kLanguageCodes[language]);
    if (length < 0 || static_cast<size_t>(length) >= sizeof path) return line;

    std::FILE* file = std::fopen(path, "r");
    if (file == nullptr) return line;
    search_file(file, line, static_cast<uint32_t>(category), static_cast<uint32_t>(code));
    std::fclose(file);
    return line;
}

const MessageRow* message_table(int32_t category) {
    switch (category) {
    case 1: return kEventSourceNames;
    case 3: return kSeriesControllerStatus;
    case 4: return kSeriesEventTexts;
    case 6: return kSeriesDriverStatus;
    case 11: return kApiErrors;
    case 12: return kDaemonErrors;
    case 13: return kToolErrors;
    case 14: return kLegacyControllerStatus;
    case 15: return kLegacyEventTexts;
    case 17: return kLegacyDriverStatus;
    case 19: return kWebTexts;
    default: return nullptr;
    }
}

MessageCatalogue& library_catalogue() {
    // One per thread: a text handed to one thread is never freed by the
    // lookups of another.
    thread_local MessageCatalogue catalogue;
    return catalogue;
}
