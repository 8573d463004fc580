// The battery backup unit a controller may have: what its firmware reports
// in table 0x8006, drawn from the controller's battery line, and the battery
// commands, among them the capacity test, which runs on the machine's clock
// and posts its start and end as events.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "sim/machine.h"

namespace sim {

namespace {

constexpr uint16_t kBatteryTable = 0x8006;
constexpr uint16_t kEnabledParameter = 64;

// Status word.
constexpr uint32_t kFitted = 1u << 31;
constexpr uint32_t kHasPack = 1u << 30;
constexpr uint32_t kReady = 1u << 3;
constexpr int kVoltageShift = 4, kTemperatureShift = 8;
constexpr int kFlag11 = 11, kFlag14 = 14;

// Status codes (parameter 65).
constexpr uint8_t kNotPresent = 1, kNoPack = 2, kTesting = 3, kDisabled = 9;
struct StateCode {
    const char* state;
    uint8_t code;
    bool ready;  // the unit protects the write cache
};
const StateCode kStates[] = {
    {"ok", 0, true},     {"testing", 3, false}, {"charging", 4, false}, {"fault", 5, false},
    {"error", 6, false}, {"weak", 7, true},     {"failed", 8, false},
};

// The five levels of a measured value's status bits.
const char* const kLevels[] = {"normal", "low", "high", "too-low", "too-high"};

// Battery commands.
constexpr uint8_t kBatteryCommand = 0x1E, kBatteryCommandWords = 2;
constexpr uint8_t kCommand31 = 0x1F, kCommand31Words = 5;
constexpr uint16_t kCommand31Code = 24;
constexpr uint16_t kCapacityTest = 1, kLastSubCode = 3;
constexpr uint16_t kBadField = 0x010D, kBadLength = 0x0103;
constexpr uint16_t kInUse = 0x0302, kNeedsPack = 0x0303, kNoUnit = 0x0382, kNotReady = 0x0383;
constexpr uint16_t kTestStarted = 0x004E, kTestCompleted = 0x0050;
constexpr uint8_t kInformation = 3;
constexpr long kDefaultTestSeconds = 300;

std::string battery_attr(const Controller& c, const char* key, const char* fallback) {
    auto it = c.battery.find(key);
    return it == c.battery.end() ? fallback : it->second;
}

long battery_number(const Controller& c, const char* key, long fallback) {
    auto it = c.battery.find(key);
    if (it == c.battery.end()) return fallback;
    char* end = nullptr;
    const long v = std::strtol(it->second.c_str(), &end, 0);
    return it->second.empty() || *end != '\0' ? fallback : v;
}

bool fitted(const Controller& c) { return c.has_battery && battery_number(c, "bbu", 1) != 0; }
bool has_pack(const Controller& c) { return fitted(c) && battery_number(c, "pack", 1) != 0; }

// The enabled flag as the library last wrote it, else the battery line's.
bool enabled(const Controller& c) {
    auto it = c.params.find(uint32_t(0x8000 | kBatteryTable) << 16 | kEnabledParameter);
    if (it != c.params.end() && !it->second.empty()) return it->second[0] != 0;
    return battery_number(c, "enabled", 1) != 0;
}

const StateCode& state_of(const Controller& c) {
    const std::string state = battery_attr(c, "state", "ok");
    for (const StateCode& s : kStates)
        if (state == s.state) return s;
    return kStates[3];  // anything unknown reads as a fault
}

uint32_t level_of(const Controller& c, const char* key) {
    const std::string level = battery_attr(c, key, "normal");
    for (uint32_t i = 0; i < sizeof kLevels / sizeof *kLevels; ++i)
        if (level == kLevels[i]) return i;
    return 7;  // a reading the firmware cannot class
}

uint32_t status_word(const Controller& c) {
    if (!fitted(c)) return 0;
    uint32_t word = kFitted;
    if (!has_pack(c)) return word;
    word |= kHasPack;
    if (enabled(c) && state_of(c).ready) word |= kReady;
    word |= level_of(c, "voltage") << kVoltageShift;
    word |= level_of(c, "temperature") << kTemperatureShift;
    if (battery_number(c, "flag-11", 0) != 0) word |= 1u << kFlag11;
    if (battery_number(c, "flag-14", 0) != 0) word |= 1u << kFlag14;
    return word;
}

uint8_t status_code(const Controller& c) {
    if (!fitted(c)) return kNotPresent;
    if (!has_pack(c)) return kNoPack;
    if (!enabled(c)) return kDisabled;
    return state_of(c).code;
}

// "14-Nov-2023", as the firmware writes its dates.
std::string date_text(uint32_t seconds) { return time_text(seconds, "%d-%b-%Y"); }

void put(uint8_t* out, size_t size, uint64_t value) {
    for (size_t i = 0; i < size && i < 8; ++i) out[i] = uint8_t(value >> (8 * i));
}

void put_text(uint8_t* out, size_t size, const std::string& text) {
    std::memcpy(out, text.data(), text.size() < size ? text.size() : size);
}

}  // namespace

bool battery_value(const Machine&, const Controller& c, uint16_t id, uint8_t* out, size_t size) {
    switch (id) {
        case 2:
            put(out, size, status_word(c));
            break;
        case 65:
            put(out, size, status_code(c));
            break;
        case 64:
            put(out, size, enabled(c) ? 1 : 0);
            break;
        default:
            if (!fitted(c)) return true;  // no unit: zeros
            break;
    }
    switch (id) {
        case 3:
            put_text(out, size, battery_attr(c, "serial", "BBU00000001"));
            break;
        case 4:
            put_text(out, size, battery_attr(c, "firmware", "BBU 3.02.00.004"));
            break;
        case 5:
            put_text(out, size, battery_attr(c, "hardware", "BBU-2 rev B"));
            break;
        case 6:
            put(out, size, uint64_t(battery_number(c, "value-6", 1)));
            break;
        case 7:
            put_text(out, size, battery_attr(c, "pack-type", "Li-ion 7.4 V 1500 mAh"));
            break;
        case 8:
            put_text(out, size, battery_attr(c, "installed", ""));
            break;
        case 9:
            put_text(out, size, battery_attr(c, "last-test", ""));
            break;
        case 10:
            put(out, size, uint64_t(battery_number(c, "capacity", 72)));
            break;
        case 11:
            put(out, size, uint64_t(battery_number(c, "value-11", 0)));
            break;
        case 16:
            put(out, size, uint64_t(battery_number(c, "value-16", 0)));
            break;
        case 17:
            put(out, size, uint64_t(battery_number(c, "value-17", 0)));
            break;
        case 18:
            put(out, size, uint64_t(battery_number(c, "celsius", 27)));
            break;
        case 20:
            put(out, size, uint64_t(battery_number(c, "value-20", 0)));
            break;
        default:
            break;
    }
    return true;
}

void advance_battery(Machine& m, Controller& c) {
    if (c.battery_test_end_us == 0 || m.now_us() < c.battery_test_end_us) return;
    const uint32_t ended =
        wall_seconds(m) - uint32_t((m.now_us() - c.battery_test_end_us) / 1000000u);
    c.battery_test_end_us = 0;
    c.battery["state"] = "ok";
    c.battery["last-test"] = date_text(ended);
    post_event(m, c, kTestCompleted, kInformation, "").time = ended;
}

uint16_t battery_command(Machine& m, Controller& c, const uint8_t* packet, uint32_t length) {
    if (length != 0) return kBadLength;
    if (packet[0] == kCommand31) {
        if (packet[1] != kCommand31Words || get16(packet + 6) != kCommand31Code ||
            get32(packet + 12) != 1)
            return kBadField;
        return fitted(c) ? 0 : kNoUnit;
    }
    const uint16_t sub = get16(packet + 6);
    if (packet[0] != kBatteryCommand || packet[1] != kBatteryCommandWords || sub > kLastSubCode)
        return kBadField;
    if (!fitted(c)) return kNoUnit;
    if (!has_pack(c) || !enabled(c)) return kNeedsPack;
    if (sub != kCapacityTest) return 0;
    if (c.battery_test_end_us != 0 || state_of(c).code == kTesting) return kInUse;
    if (!state_of(c).ready) return kNotReady;
    const long seconds = battery_number(c, "test-seconds", kDefaultTestSeconds);
    c.battery["state"] = "testing";
    c.battery_test_end_us = m.now_us() + uint64_t(seconds > 0 ? seconds : 1) * 1000000u;
    post_event(m, c, kTestStarted, kInformation, "");
    return 0;
}

}  // namespace sim
