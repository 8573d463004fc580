#include "daemon/query_params.h"

#include <cstdlib>
#include <cstring>

namespace {

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The byte of "%XX" at p, or -1 when p does not start such an escape.
int percent_byte(const char* p) {
    if (p[0] != '%') return -1;
    int hi = hex_value(p[1]);
    if (hi < 0) return -1;
    int lo = hex_value(p[2]);
    if (lo < 0) return -1;
    return hi * 16 + lo;
}

bool ends_value(char c) { return c == '&' || c == '\0' || c == '\r' || c == '\n'; }

// One shared key: the text behind '&' and behind '?', the characters kept
// and the value when the key is absent.
struct IntKey {
    const char* after_amp;
    const char* after_question;  // null: only behind '&'
    int kept;
    int absent;
};

const IntKey kKeyC = {"&c=", "?c=", 7, 0};
const IntKey kKeySort = {"&AvailListSort=", "?AvailListSort=", 7, 1};
const IntKey kKeyE = {"&e=", "?e=", 7, 0};
const IntKey kKeySlot = {"&slot=", "?slot=", 9, -1};
const IntKey kKeyF = {"&f=", "?f=", 7, 0};
const IntKey kKeyA = {"&a=", "?a=", 7, 0};
const IntKey kKeyPs = {"&ps=", "?ps=", 7, 0};
const IntKey kKeyU = {"&u=", "?u=", 7, -2};
const IntKey kKeyD = {"&d=", nullptr, 7, -1};
const IntKey kKeyY = {"&y=", nullptr, 7, -1};

// Kept values are at most 9 characters, so atoi stays within int.
int get_int(const char* url, const IntKey& key) {
    char value[16];
    if (QueryParams::get_parameter(url, key.after_amp, value, key.kept + 1) != nullptr)
        return atoi(value);
    if (key.after_question != nullptr &&
        QueryParams::get_parameter(url, key.after_question, value, key.kept + 1) != nullptr)
        return atoi(value);
    return key.absent;
}

}  // namespace

char* QueryParams::get_parameter(const char* text, const char* key, char* out, int size) {
    if (text == nullptr || key == nullptr || out == nullptr || size < 1) return nullptr;
    const char* found = strstr(text, key);
    if (found == nullptr) return nullptr;
    const bool decode = strstr(key, "pwd") != nullptr;
    const char* p = found + strlen(key);
    int n = 0;
    while (n < size - 1 && !ends_value(*p)) {
        int byte = decode ? percent_byte(p) : -1;
        if (byte >= 0) {
            out[n++] = static_cast<char>(byte);
            p += 3;
        } else {
            out[n++] = *p++;
        }
    }
    out[n] = '\0';
    return out;
}

char* QueryParams::url_decode(char* text) {
    if (text == nullptr) return nullptr;
    const char* in = text;
    char* out = text;
    while (*in != '\0') {
        int byte = percent_byte(in);
        if (byte >= 0) {
            *out++ = static_cast<char>(byte);
            in += 3;
        } else {
            *out++ = *in == '+' ? ' ' : *in;
            ++in;
        }
    }
    *out = '\0';
    return text;
}

int QueryParams::get_param_c(const char* url) { return get_int(url, kKeyC); }

int QueryParams::get_param_avail_list_sort(const char* url) {
    int v = get_int(url, kKeySort);
    return v <= 0 ? 1 : v;
}

int QueryParams::get_param_e(const char* url) { return get_int(url, kKeyE); }
int QueryParams::get_param_slot(const char* url) { return get_int(url, kKeySlot); }
int QueryParams::get_param_f(const char* url) { return get_int(url, kKeyF); }
int QueryParams::get_param_a(const char* url) { return get_int(url, kKeyA); }
int QueryParams::get_param_ps(const char* url) { return get_int(url, kKeyPs); }
int QueryParams::get_param_u(const char* url) { return get_int(url, kKeyU); }
int QueryParams::get_param_d(const char* url) { return get_int(url, kKeyD); }
int QueryParams::get_param_y(const char* url) { return get_int(url, kKeyY); }

int QueryParams::get_param_image(const char* url, char* out, int size) {
    if (size < 2) return 0;
    if (get_parameter(url, "&image=", out, size - 1) != nullptr) return 1;
    if (get_parameter(url, "?image=", out, size - 1) != nullptr) return 1;
    return 0;
}
