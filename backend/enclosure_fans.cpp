// Enclosure fans: status, speed, identify and the cooling control writer
// (SES); status bytes and the fan speed command (SAF-TE).
#include <cstring>

#include "backend/enclosure_elements.h"

using namespace enclosure;

namespace {

constexpr ControlField kFanFields[] = {
    {1, 1, 0x80, Check::Equal, kApiNotSupported},      // request identify
    {2, 3, 0x40, Check::Equal, kApiNotSupported},      // request fail
    {4, 3, 0x20, Check::OnNotOff, kApiNotSupported},   // request on
    {8, 3, 0x27, Check::SpeedCode, kFanSpeedNotSupported},
};
constexpr ControlWriter kFanWriter{&kFans, false, kFanFields, 4};

// Raw speed of a cooling element, in units of 10 rpm.
uint32_t raw_speed(const uint8_t* e) { return uint32_t(e[1] & 0x07) * 256 + e[2]; }

}  // namespace

int SeriesBackend::get_fan_count(ObjectId enclosure, uint32_t* count) {
    return count_of(*this, kFans, enclosure, count);
}

int SeriesBackend::get_fan_list(ObjectId enclosure, ElementIdList* out) {
    return list_of(*this, kFans, enclosure, out);
}

int SeriesBackend::get_fan_list_status(uint8_t* status, uint32_t size, ElementIdList list) {
    return list_bytes(*this, kFans, list, 128, status, size, fan_status);
}

int SeriesBackend::get_fan_list_speed(uint8_t* codes, uint32_t codes_size, uint32_t* rpm,
                                      uint32_t rpm_size, ElementIdList list) {
    uint8_t speed_codes[16];
    uint32_t speeds[16] = {};
    std::memset(speed_codes, 128, sizeof speed_codes);
    bool failed = false;
    if (walk_elements(*this, kFans, list, &failed, [&](uint32_t i, const uint8_t* e) {
            if (code_of(e) == kCodeNotInstalled) return 0;
            speed_codes[i] = e[3] & 0x07;
            speeds[i] = raw_speed(e) * 10;
            return 0;
        }) != 0)
        return -1;
    copy_out(codes, codes_size, speed_codes, sizeof speed_codes);
    copy_out(rpm, rpm_size, speeds, sizeof speeds);
    return 0;
}

int SeriesBackend::get_fan_list_identify(uint8_t* identify, uint32_t size, ElementIdList list) {
    return list_identify(*this, kFans, list, identify, size);
}

int SeriesBackend::get_fan_status(ObjectId fan, uint8_t* status) {
    if (check_fan_index(fan) != 0) return -1;
    if (fan.b[7] != kSes) return read_safte_status_byte(fan, kFans, 0, status);
    uint8_t e[4];
    if (read_element_status(fan, kCooling, e) != 0) return -1;
    *status = fan_status(e);
    return 0;
}

int SeriesBackend::get_fan_speed_level(ObjectId fan, uint8_t* code) {
    if (fan.b[7] != kSes) {
        if (check_fan_index(fan) != 0) return -1;
        return fail_with_api_error(kApiNotSupported);
    }
    uint8_t e[4];
    if (read_kind_element(*this, kFans, fan, e, true) != 0) return -1;
    *code = e[3] & 0x07;
    return 0;
}

int SeriesBackend::get_fan_rpm(ObjectId fan, uint32_t* rpm) {
    if (fan.b[7] != kSes) {
        if (check_fan_index(fan) != 0) return -1;
        return fail_with_api_error(kApiNotSupported);
    }
    uint8_t e[4];
    if (read_kind_element(*this, kFans, fan, e, true) != 0) return -1;
    // A running fan without a speed: the enclosure does not report speeds.
    if (raw_speed(e) == 0 && (e[3] & 0x07) != 0 && code_of(e) == kCodeOk)
        return fail_with_api_error(kApiNotSupported);
    *rpm = raw_speed(e) * 10;
    return 0;
}

int SeriesBackend::get_fan_identify(ObjectId fan, uint8_t* on) {
    if (check_fan_index(fan) != 0) return -1;
    if (fan.b[7] != kSes) return fail_with_api_error(kApiNotSupported);
    return get_ses_identify(fan, kCooling, on);
}

int SeriesBackend::identify_fan(ObjectId fan, uint8_t on) {
    if (check_fan_index(fan) != 0) return -1;
    if (fan.b[7] != kSes) return fail_with_api_error(kApiNotSupported);
    return set_ses_identify(fan, kCooling, on);
}

int SeriesBackend::set_fan_speed(ObjectId fan, uint8_t code) {
    if (check_fan_index(fan) != 0) return -1;
    if (fan.b[7] == kSes) {
        if (code == 0) return fail_with_api_error(kInvalidFanSpeed);
        const uint8_t control[4] = {kSelect, 0, 0, uint8_t(code & 0x07)};
        return write_fan_control(fan, 8, control);
    }
    uint32_t count = 0;
    if (get_fan_count(fan, &count) != 0) return -1;
    if (fan.b[2] >= count) return fail_with_api_error(kFanMissing);
    uint8_t command[kPageBufferSize] = {kSafteFanSpeed, fan.b[2], safte_fan_speed(code)};
    return write_buffer(fan, command, kSafteBufferLength);
}

int SeriesBackend::set_fan_state(ObjectId fan, uint8_t on) {
    if (fan.b[7] != kSes) return set_fan_speed(fan, on == 1 ? 4 : 0);
    if (check_fan_index(fan) != 0) return -1;
    const uint8_t control[4] = {kSelect, 0, 0, uint8_t((on & 1) << 5)};
    return write_fan_control(fan, 4, control);
}

int SeriesBackend::write_fan_control(ObjectId fan, uint8_t mask, const uint8_t* control) {
    if (check_fan_index(fan) != 0) return -1;
    return write_control(*this, kFanWriter, fan, mask, control);
}
