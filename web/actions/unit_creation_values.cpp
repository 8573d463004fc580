#include "web/actions/unit_creation_values.h"

#include <cstring>

#include "daemon/query_params.h"
#include "web/actions/maintenance_values.h"

bool read_text(const char* url, const char* key, char* out, int size) {
    // One byte more than the buffer holds tells a value that was cut.
    char raw[kValueSize + 1];
    out[0] = '\0';
    if (!get_value(url, key, raw)) return false;
    const size_t length = std::strlen(raw);
    if (length >= static_cast<size_t>(size) || length >= static_cast<size_t>(kValueSize))
        return false;
    std::memcpy(out, raw, length + 1);
    QueryParams::url_decode(out);
    return true;
}

bool read_setting(const char* url, const char* key, int* value) {
    char text[kValueSize];
    *value = 0;
    if (!read_value(url, key, text)) return false;
    return text[0] == '\0' || read_number(url, key, text, value);
}
