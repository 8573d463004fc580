#include "web/actions/unit_creation_values.h"

#include <cstring>

#include "daemon/query_params.h"
#include "web/actions/maintenance_values.h"

namespace {

// The longest value read as text.
constexpr size_t kLongestText = 255;

}  // namespace

bool read_encoded_text(const char* url, const char* key, char* out, int size) {
    // One byte more than the longest value tells a value that was cut.
    char raw[kLongestText + 2];
    out[0] = '\0';
    if (!get_value(url, key, raw)) return false;
    const size_t length = std::strlen(raw);
    if (length >= static_cast<size_t>(size) || length > kLongestText) return false;
    std::memcpy(out, raw, length + 1);
    return true;
}

bool read_text(const char* url, const char* key, char* out, int size) {
    if (!read_encoded_text(url, key, out, size)) return false;
    QueryParams::url_decode(out);
    return true;
}

bool read_setting(const char* url, const char* key, int* value) {
    char text[kValueSize];
    *value = 0;
    if (!read_value(url, key, text)) return false;
    return text[0] == '\0' || read_number(url, key, text, value);
}
