// The simulated SAF-TE processor: INQUIRY, the configuration, enclosure
// status, slot status and global flags buffers (READ BUFFER), and the slot
// operation, fan speed and global flags commands (WRITE BUFFER). It answers
// no diagnostic page.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "sim/machine.h"

namespace sim {

namespace {

constexpr size_t kBufferSize = 2048;
constexpr size_t kConfigurationSize = 64;

uint8_t count_attr(const SimObject& o, const char* key, long fallback) {
    return uint8_t(std::clamp(object_number(o, key, fallback), 0L, 255L));
}

// Offsets in the enclosure status buffer.
size_t slots_at(const SafteState& s) { return size_t(s.config[0]) + s.config[1]; }
size_t lock_at(const SafteState& s) { return slots_at(s) + s.config[2]; }
size_t sensors_at(const SafteState& s) { return lock_at(s) + 2; }

std::vector<uint8_t> slot_status_buffer(const SafteState& s) {
    std::vector<uint8_t> buffer;
    for (uint32_t word : s.slot_words)
        buffer.insert(buffer.end(), {uint8_t(word >> 24), uint8_t(word >> 16), uint8_t(word >> 8),
                                     uint8_t(word)});
    buffer.push_back(0);
    buffer.insert(buffer.end(), s.slot_identify.begin(), s.slot_identify.end());
    return buffer;
}

}  // namespace

EnclosureModel build_safte(const SimObject& enclosure) {
    EnclosureModel model;
    model.ses = false;
    SafteState& s = model.safte;
    s.config[0] = count_attr(enclosure, "fans", 0);
    s.config[1] = count_attr(enclosure, "power-supplies", 0);
    s.config[2] = count_attr(enclosure, "slots", 0);
    s.config[3] = count_attr(enclosure, "door-locks", 1);
    s.config[4] = count_attr(enclosure, "temp-sensors", 0);
    s.config[5] = count_attr(enclosure, "alarms", 1);
    s.config[6] = object_number(enclosure, "celsius", 1) != 0 ? 0x80 : 0x00;
    s.status.assign(kBufferSize, 0);
    // Slot i holds the drive of port i; the sensors read 30 degrees.
    for (size_t i = 0; i < s.config[2]; ++i) s.status[slots_at(s) + i] = uint8_t(i);
    for (size_t i = 0; i < s.config[4]; ++i)
        s.status[sensors_at(s) + i] = s.config[6] ? 40 : 96;
    s.slot_words.assign(s.config[2], 0x05);  // present and OK
    s.slot_identify.assign(s.config[2], 0);
    s.fan_speeds.assign(s.config[0], 2);
    // Flag bytes: alarm audible, door locked; the rest of the buffer is
    // never zero, so a command that sends it back can be checked whole.
    s.flags.resize(kBufferSize);
    for (size_t i = 0; i < kBufferSize; ++i) s.flags[i] = uint8_t(i % 251 + 1);
    s.flags[0] = 0x01;
    s.flags[1] = 0x04;
    s.flags[2] = 0x00;
    return model;
}

ScsiAnswer safte_command(Controller& c, const SimObject& enclosure, const uint8_t* cdb,
                         uint8_t* data, uint32_t length) {
    SafteState& s = enclosure_model(c, enclosure).safte;
    const uint8_t byte1 = cdb[1] & 0x1F;  // bits 5 to 7 carry the LUN of old command blocks
    switch (cdb[0]) {
    case 0x12:
        if (byte1 & 0x01) return check_condition(5, 0x24);
        inquiry_reply(0x03, enclosure, "SIMSAFTE", data, length, cdb[3] << 8 | cdb[4]);
        return {};
    case 0x3C: {
        if (byte1 != 0x01 || object_number(enclosure, "refuse-buffer", -1) == cdb[2])
            return check_condition(5, 0x24);
        const uint32_t allocation = uint32_t(cdb[6] << 16 | cdb[7] << 8 | cdb[8]);
        std::vector<uint8_t> buffer;
        switch (cdb[2]) {
        case 0:
            buffer.assign(s.config, s.config + sizeof s.config);
            buffer.resize(kConfigurationSize, 0);
            break;
        case 1: buffer = s.status; break;
        case 4: buffer = slot_status_buffer(s); break;
        case 5: buffer = s.flags; break;
        default: return check_condition(5, 0x24);
        }
        copy_reply(buffer, data, length, allocation);
        return {};
    }
    case 0x3B: {
        const uint32_t sent = std::min<uint32_t>(uint32_t(cdb[6] << 16 | cdb[7] << 8 | cdb[8]), length);
        if (byte1 != 0x01 || cdb[2] != 0 || sent < 4) return check_condition(5, 0x24);
        switch (data[0]) {
        case 0x12: {
            const uint8_t slot = data[1], bits = data[2];
            if (slot >= s.config[2]) return check_condition(5, 0x26);
            s.slot_identify[slot] = (bits & 0x04) ? 1 : 0;
            s.slot_words[slot] = (s.slot_words[slot] & ~0x02u) | ((bits & 0x03) ? 0x02u : 0u);
            return {};
        }
        case 0x13:
            if (data[1] >= s.config[0]) return check_condition(5, 0x26);
            s.fan_speeds[data[1]] = data[2];
            return {};
        case 0x15:
            std::memcpy(s.flags.data(), data + 1, 3);
            if (s.config[3] != 0) s.status[lock_at(s)] = (data[2] & 0x04) ? 0 : 1;
            return {};
        default: return check_condition(5, 0x26);
        }
    }
    default: return check_condition(5, 0x20);
    }
}

bool safte_element_line(EnclosureModel& model, std::map<std::string, std::string>& args,
                        std::string* why) {
    SafteState& s = model.safte;
    const std::string type = args["type"];
    const long number = args.count("number") ? std::strtol(args["number"].c_str(), nullptr, 0) : 0;
    auto value = [&](const char* key, long* out) {
        if (!args.count(key)) return false;
        *out = std::strtol(args[key].c_str(), nullptr, 0);
        return true;
    };
    auto in_range = [&](long count) {
        if (number >= 0 && number < count) return true;
        *why = "no element type=" + type + " number=" + args["number"];
        return false;
    };
    long v = 0;
    if (type == "fan" || type == "supply" || type == "power-supply") {
        const bool fan = type == "fan";
        if (!in_range(fan ? s.config[0] : s.config[1])) return false;
        if (value("value", &v)) s.status[(fan ? 0 : s.config[0]) + size_t(number)] = uint8_t(v);
        return true;
    }
    if (type == "slot") {
        if (!in_range(s.config[2])) return false;
        if (value("word", &v)) s.slot_words[size_t(number)] = uint32_t(v);
        if (value("scsi-id", &v)) s.status[slots_at(s) + size_t(number)] = uint8_t(v);
        if (value("identify", &v)) s.slot_identify[size_t(number)] = uint8_t(v);
        return true;
    }
    if (type == "lock" || type == "door-lock" || type == "alarm") {
        if (value("value", &v)) s.status[lock_at(s) + (type == "alarm" ? 1 : 0)] = uint8_t(v);
        return true;
    }
    if (type == "temp" || type == "temperature") {
        if (!in_range(s.config[4])) return false;
        if (value("value", &v)) s.status[sensors_at(s) + size_t(number)] = uint8_t(v);
        return true;
    }
    if (type == "flags") {
        for (int i = 0; i < 3; ++i) {
            const std::string key = "flag" + std::to_string(i);
            if (value(key.c_str(), &v)) s.flags[size_t(i)] = uint8_t(v);
        }
        return true;
    }
    *why = "unknown SAF-TE element type=" + type;
    return false;
}

}  // namespace sim
