// The last-error functions of the public interface: the record copied out as
// composed or in the caller's language, the record encoded as one 64-bit
// value, and the text of an encoded value.
#include <cstring>

#include "api/ctl.h"
#include "api/public_arguments.h"
#include "driver/message_catalogue.h"
#include "driver/record_failure.h"

namespace {

// Catalogue categories of the record's parts.
constexpr uint32_t kSeriesControllerCategory = 3;
constexpr uint32_t kSeriesDriverCategory = 6;
constexpr uint32_t kOsCategory = 9;
constexpr uint32_t kApiCategory = 11;
constexpr uint32_t kLegacyControllerCategory = 14;
constexpr uint32_t kLegacyDriverCategory = 17;


uint64_t encode(uint32_t category, int32_t code) {
    return uint64_t(category) << 32 | uint32_t(code);
}

}  // namespace

extern "C" {

int ctl_get_last_error(ErrorRecord* record) {
    copy_last_error(record, "", 0);
    return 0;
}

// The language index is a byte.
int ctl_get_last_error_localized(ErrorRecord* record, int language, const char* message_dir) {
    if (!fits_byte(language)) return fail_with_api_error(kInvalidArgument);
    copy_last_error(record, message_dir, uint8_t(language));
    return 0;
}

// The record's leading part, tried controller, driver, OS, API.
int ctl_decode_last_error(uint64_t* value, ErrorRecord record) {
    const bool first_series = (record.flags & kErrFirstSeries) != 0;
    if (record.flags & kErrController) {
        *value = encode(first_series ? kLegacyControllerCategory : kSeriesControllerCategory,
                        record.controller_status);
    } else if (record.flags & kErrDriver) {
        *value = encode(first_series ? kLegacyDriverCategory : kSeriesDriverCategory,
                        record.driver_status);
    } else if (record.flags & kErrOs) {
        *value = encode(kOsCategory, record.os_error);
    } else if (record.flags & kErrApi) {
        *value = encode(kApiCategory, record.api_code);
    } else {
        *value = 0;
    }
    return 0;
}

int ctl_split_error_code(uint64_t value, int32_t* category, int32_t* code) {
    *category = int32_t(uint32_t(value >> 32));
    *code = int32_t(uint32_t(value));
    return 0;
}

// The built-in English text, formatted as the catalogue formats it, copied
// into the caller's buffer of the given size (cut to fit, always ended by a
// NUL); an unknown value gives an empty text.
int ctl_get_error_code_text(uint64_t value, char* text, int32_t size) {
    if (text == nullptr || size <= 0) return fail_with_api_error(kInvalidArgument);
    thread_local MessageCatalogue catalogue;
    int32_t category = 0, code = 0;
    ctl_split_error_code(value, &category, &code);
    const char* found = catalogue.lookup(category, code, "", 0);
    const size_t length = strnlen(found, size_t(size) - 1);
    std::memcpy(text, found, length);
    text[length] = '\0';
    return 0;
}

}  // extern "C"
