#include "web/actions/maintenance_values.h"

#include <cstdlib>
#include <cstring>

#include "daemon/dispatcher.h"
#include "daemon/http_codes.h"
#include "web/pages/script_writer.h"

namespace {

constexpr int kOperationAborted = 31;  // 12:31

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// A number of 0 to 255 at p, at most three digits; its end in *end.
bool parse_byte(const char* p, const char** end) {
    int n = 0;
    int digits = 0;
    while (is_digit(*p) && digits < 4) {
        n = n * 10 + (*p - '0');
        ++p;
        ++digits;
    }
    *end = p;
    return digits >= 1 && digits <= 3 && n <= 255;
}

}  // namespace

bool read_value(const char* url, const char* key, char (&value)[kValueSize]) {
    // One character more than a value may hold tells a value that was cut.
    char longer[kValueSize + 1];
    if (!get_value(url, key, longer) || std::strlen(longer) >= static_cast<size_t>(kValueSize)) {
        value[0] = '\0';
        return false;
    }
    std::memcpy(value, longer, std::strlen(longer) + 1);
    return true;
}

bool read_number(const char* url, const char* key, char (&value)[kValueSize], int* number) {
    const char* end = nullptr;
    if (!read_value(url, key, value) || !parse_byte(value, &end) || *end != '\0') return false;
    *number = static_cast<int>(std::strtol(value, nullptr, 10));
    return true;
}

bool read_number_list(const char* url, const char* key, NumberList* list) {
    list->count = 0;
    char value[kValueSize];
    if (!has_key(url, key)) return true;
    if (!read_value(url, key, value)) return false;
    for (const char* p = value; *p != '\0';) {
        const char* end = nullptr;
        if (!parse_byte(p, &end) || (*end != ',' && *end != '\0')) return false;
        p = *end == ',' ? end + 1 : end;
    }
    parse_number_list(value, list);
    return !list->truncated;
}

int refuse_bad_request(const MaintenanceRequest& m) {
    ActionMessage message(m.context);
    return maintenance_redirect(m, message.daemon(kOperationAborted), kRedirectFailed);
}

int refuse_level(const MaintenanceRequest& m, const char* separator, int code) {
    ActionMessage message(m.context);
    return maintenance_redirect(m, message.refusal(separator).web(code), kRedirectNotPermitted);
}

bool may_act(const MaintenanceRequest& m) { return m.request->level == kAccessAdmin; }
