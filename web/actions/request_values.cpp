#include "web/actions/request_values.h"

#include <cstdlib>
#include <cstring>

#include "daemon/query_params.h"

namespace {

constexpr uint8_t kNoLevel = 0xFF;

ObjectId blank_id() {
    ObjectId id;
    std::memset(id.b, 0xFF, sizeof id.b);
    return id;
}

}  // namespace

bool has_key(const char* url, const char* key) {
    return url != nullptr && key != nullptr && std::strstr(url, key) != nullptr;
}

bool get_value(const char* url, const char* key, char* out, int size) {
    if (out == nullptr || size < 1) return false;
    if (QueryParams::get_parameter(url, key, out, size) != nullptr) return true;
    out[0] = '\0';
    return false;
}

int get_number(const char* url, const char* key, int absent, int size) {
    char value[kValueSize];
    if (size > kValueSize) size = kValueSize;
    return get_value(url, key, value, size) ? std::atoi(value) : absent;
}

bool get_on(const char* url) {
    char value[kValueSize];
    return get_value(url, "On=", value) && value[0] == '1';
}

int make_unit_id(uint8_t controller, int unit, ObjectId* id) {
    *id = blank_id();
    return ctl_make_unit_id(controller, kNoLevel, static_cast<uint8_t>(unit & 0xFF), kNoLevel,
                            kNoLevel, id);
}

int make_drive_id(uint8_t controller, int port, ObjectId* id) {
    *id = blank_id();
    return ctl_make_drive_id(controller, static_cast<uint8_t>(port & 0xFF), id);
}

int make_port_id(uint8_t controller, int port, ObjectId* id) {
    *id = blank_id();
    return ctl_make_port_id(controller, static_cast<uint8_t>(port & 0xFF), id);
}

int make_phy_id(uint8_t controller, int phy, ObjectId* id) {
    *id = blank_id();
    return ctl_make_phy_id(controller, static_cast<uint8_t>(phy & 0xFF), id);
}
