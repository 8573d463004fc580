// The last-error record: one per thread, its lines composed with the
// library's message catalogue.
#include "driver/error_record.h"

#include <cstdio>
#include <cstring>

#include "driver/message_catalogue.h"

namespace {

thread_local ErrorRecord t_record;

constexpr size_t kTextSize = sizeof(ErrorRecord::text);
constexpr size_t kDetailSize = sizeof(ErrorRecord::detail);
constexpr int kLineSize = 1024;

// How one part's line is made: the catalogue category of its text, the words
// of its not-found line, and whether a blank and the detail text follow the
// text (and the not-found words).
struct LineRule {
    int32_t category;
    const char* not_found;
    bool with_detail;
};

constexpr LineRule kApiRule{11, "API message not found", false};
constexpr LineRule kOsRule{9, "OS message not found", false};
constexpr LineRule kFirstDriverRule{17, "L000 driver message not found", false};
constexpr LineRule kSecondDriverRule{6, "Mxxx driver message not found", false};
// Rendered in another language, the second-series driver line carries the
// stored detail text like the controller line.
constexpr LineRule kSecondDriverRenderedRule{6, "Mxxx driver message not found", true};
constexpr LineRule kFirstControllerRule{14, "L000 controller message not found", false};
constexpr LineRule kSecondControllerRule{3, "Mxxx controller message not found", true};

// Writes one part's line into line (kLineSize bytes). text is the part's text
// (the catalogue's, already prefixed, or the controller's own); the line is
// found when that text is not empty and the whole line has 1 to 1023
// characters, otherwise the not-found line of missing is written.
void form_line(char* line, const LineRule& rule, const LineRule& missing, int32_t code,
               const char* text, const char* detail)
{
    int length = -1;
    if (text[0] != '\0') {
        length = rule.with_detail ? snprintf(line, kLineSize, "%s %s", text, detail)
                                  : snprintf(line, kLineSize, "%s", text);
    }
    if (length >= 1 && length < kLineSize) {
        return;
    }
    const unsigned category = static_cast<unsigned>(missing.category);
    const unsigned number = static_cast<unsigned>(code);
    if (missing.with_detail) {
        snprintf(line, kLineSize, "(0x%02X:0x%04X): %s %s", category, number, missing.not_found,
                 detail);
    } else {
        snprintf(line, kLineSize, "(0x%02X:0x%04X): %s", category, number, missing.not_found);
    }
}

// Looks the part's text up and forms its line; the catalogue's text is used
// at once, before any further lookup can recycle it.
void form_catalogue_line(char* line, const LineRule& rule, const LineRule& missing, int32_t code,
                         const char* message_dir, uint8_t language, const char* detail)
{
    const char* text = library_catalogue().lookup(rule.category, code, message_dir, language);
    form_line(line, rule, missing, code, text, detail);
}

// Appends a line to the record's text: after a newline unless the text is
// empty, never past the last character of the text area.
void append_line(ErrorRecord& record, const char* line)
{
    size_t length = strnlen(record.text, kTextSize - 1);
    if (length > 0 && length < kTextSize - 1) {
        record.text[length++] = '\n';
    }
    const size_t room = kTextSize - 1 - length;
    const size_t add = strnlen(line, room);
    memcpy(record.text + length, line, add);
    length += add;
    record.text[length] = '\0';
    record.text_length = static_cast<uint32_t>(length);
}

// The detail text as the record keeps it: at most 127 characters.
void store_detail(ErrorRecord& record, const char* detail)
{
    const size_t length = strnlen(detail, kDetailSize - 1);
    memcpy(record.detail, detail, length);
    record.detail[length] = '\0';
}

const LineRule& driver_rule(bool first_series)
{
    return first_series ? kFirstDriverRule : kSecondDriverRule;
}

const LineRule& controller_rule(bool first_series)
{
    return first_series ? kFirstControllerRule : kSecondControllerRule;
}

}  // namespace

void clear_last_error()
{
    memset(&t_record, 0, sizeof t_record);
}

void set_last_error(uint32_t flags, int32_t api_code, int32_t os_error, int32_t driver_status,
                    int32_t controller_status, const char* detail, const char* controller_text)
{
    ErrorRecord& record = t_record;
    record.flags |= flags;
    const bool first_series = (flags & kErrFirstSeries) != 0;

    // The detail as it will be stored, so the composed line and the field
    // agree when the given text is too long.
    char kept_detail[kDetailSize] = {};
    if (detail != nullptr) {
        store_detail(record, detail);
        memcpy(kept_detail, record.detail, kDetailSize);
    }

    char line[kLineSize];
    if (flags & kErrApi) {
        record.api_code = api_code;
        form_catalogue_line(line, kApiRule, kApiRule, api_code, "", 0, kept_detail);
        append_line(record, line);
    }
    if (flags & kErrOs) {
        record.os_error = os_error;
        form_catalogue_line(line, kOsRule, kOsRule, os_error, "", 0, kept_detail);
        append_line(record, line);
    }
    if (flags & kErrDriver) {
        record.driver_status = driver_status;
        const LineRule& rule = driver_rule(first_series);
        form_catalogue_line(line, rule, rule, driver_status, "", 0, kept_detail);
        append_line(record, line);
    }
    if (flags & kErrController) {
        record.controller_status = controller_status;
        const LineRule& rule = controller_rule(first_series);
        // The not-found line follows the series of the whole record.
        const LineRule& missing = controller_rule((record.flags & kErrFirstSeries) != 0);
        if (!first_series && controller_text != nullptr) {
            form_line(line, rule, missing, controller_status, controller_text, kept_detail);
        } else {
            form_catalogue_line(line, rule, missing, controller_status, "", 0, kept_detail);
        }
        append_line(record, line);
    }
}

void render_last_error(ErrorRecord* out, const char* message_dir, uint8_t language)
{
    ErrorRecord& record = t_record;
    const char* dir = message_dir != nullptr ? message_dir : "";
    const bool first_series = (record.flags & kErrFirstSeries) != 0;
    memset(record.text, 0, kTextSize);
    record.text_length = 0;

    char line[kLineSize];
    if (record.api_code != 0) {
        form_catalogue_line(line, kApiRule, kApiRule, record.api_code, dir, language,
                            record.detail);
        append_line(record, line);
    }
    if (record.os_error != 0) {
        form_catalogue_line(line, kOsRule, kOsRule, record.os_error, dir, language, record.detail);
        append_line(record, line);
    }
    if (record.driver_status != 0) {
        const LineRule& rule = first_series ? kFirstDriverRule : kSecondDriverRenderedRule;
        form_catalogue_line(line, rule, rule, record.driver_status, dir, language, record.detail);
        append_line(record, line);
    }
    if (record.controller_status != 0) {
        const LineRule& rule = controller_rule(first_series);
        form_catalogue_line(line, rule, rule, record.controller_status, dir, language,
                            record.detail);
        append_line(record, line);
    }
    if (out != nullptr) {
        memcpy(out, &record, sizeof record);
    }
}

void copy_last_error(ErrorRecord* out, const char* message_dir, uint8_t language)
{
    if (language != 0) {
        render_last_error(out, message_dir, language);
    }
    if (out != nullptr) {
        memcpy(out, &t_record, sizeof t_record);
    }
}

int32_t get_last_error_code()
{
    return t_record.api_code;
}

void copy_memory(void* dst, const void* src, int32_t length)
{
    auto* to = static_cast<unsigned char*>(dst);
    const auto* from = static_cast<const unsigned char*>(src);
    for (int32_t i = 0; i < length; ++i) {
        to[i] = from[i];
    }
}

void fill_memory(void* buffer, uint8_t value, int32_t length)
{
    auto* to = static_cast<unsigned char*>(buffer);
    for (int32_t i = 0; i < length; ++i) {
        to[i] = value;
    }
}
