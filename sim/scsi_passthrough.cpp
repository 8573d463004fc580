// The firmware's SCSI pass-through (opcode 0x10): the packet's target and
// LUN name a device behind the controller, and the command block goes to
// it. Enclosure processors answer at targets from 64: an SES processor of
// position p at target 64 + p (its LUNs are sub-enclosures), a SAF-TE
// processor at target 64 with its position as the LUN. A CHECK CONDITION
// comes back with the SCSI status in packet byte 4, the sense data from
// area byte 0 with its length in area byte 127, and the firmware's code for
// "valid sense data" at area byte 22; a target where nothing answers fails
// with "Enclosure not present".
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "sim/machine.h"

namespace sim {

namespace {

constexpr size_t kAreaPacket = 128;
constexpr size_t kAreaCode = 22;
constexpr size_t kAreaSenseLength = 127;
constexpr uint16_t kSenseDataCode = 0x02C2;
constexpr uint16_t kNotPresentCode = 0x0411;
constexpr int kFirstEnclosureTarget = 64;

bool is_safte(const SimObject& enclosure) {
    auto it = enclosure.attrs.find("type");
    return it != enclosure.attrs.end() && it->second == "safte";
}

// The controller's enclosures are all of one kind: SAF-TE as soon as one is.
bool controller_has_safte(const Controller& c) {
    for (const auto& e : c.enclosures)
        if (is_safte(e.second)) return true;
    return false;
}

const SimObject* enclosure_at(const Controller& c, int position) {
    auto it = c.enclosures.find(position);
    return it == c.enclosures.end() ? nullptr : &it->second;
}

}  // namespace

long object_number(const SimObject& o, const char* key, long fallback) {
    auto it = o.attrs.find(key);
    if (it == o.attrs.end() || it->second.empty()) return fallback;
    char* end = nullptr;
    const long v = std::strtol(it->second.c_str(), &end, 0);
    return *end == '\0' ? v : fallback;
}

std::string object_text(const SimObject& o, const char* key, const std::string& fallback) {
    auto it = o.attrs.find(key);
    return it == o.attrs.end() ? fallback : it->second;
}

ScsiAnswer check_condition(uint8_t key, uint8_t code) {
    ScsiAnswer answer;
    answer.status = 0x02;
    answer.sense.assign(18, 0);
    answer.sense[0] = 0x70;
    answer.sense[2] = key;
    answer.sense[7] = 10;
    answer.sense[12] = code;
    return answer;
}

EnclosureModel& enclosure_model(Controller& c, const SimObject& enclosure) {
    auto it = c.enclosure_models.find(enclosure.number);
    if (it == c.enclosure_models.end())
        it = c.enclosure_models
                 .emplace(enclosure.number,
                          is_safte(enclosure) ? build_safte(enclosure) : build_ses(c, enclosure))
                 .first;
    return it->second;
}

void copy_reply(const std::vector<uint8_t>& reply, uint8_t* data, uint32_t length,
                uint32_t allocation) {
    const size_t n = std::min<size_t>({reply.size(), length, allocation});
    if (n > 0) std::memcpy(data, reply.data(), n);
}

void inquiry_reply(uint8_t peripheral, const SimObject& enclosure, const char* default_vendor,
                   uint8_t* data, uint32_t length, uint32_t allocation) {
    std::vector<uint8_t> reply(56, ' ');
    reply[0] = peripheral;
    reply[1] = 0;
    reply[2] = 5;
    reply[3] = 2;
    reply[4] = uint8_t(reply.size() - 5);
    reply[5] = reply[6] = reply[7] = 0;
    const std::string vendor = object_text(enclosure, "vendor", default_vendor);
    const std::string product = object_text(enclosure, "product", "SIM-ENCLOSURE");
    const std::string revision = object_text(enclosure, "revision", "0110");
    std::memcpy(reply.data() + 8, vendor.data(), std::min<size_t>(8, vendor.size()));
    std::memcpy(reply.data() + 16, product.data(), std::min<size_t>(16, product.size()));
    std::memcpy(reply.data() + 32, revision.data(), std::min<size_t>(4, revision.size()));
    // Bytes 36 on: a NUL, then what some processors keep there (an alternate
    // revision at 37, the SAF-TE mark at 44).
    reply[36] = 0;
    const std::string alternate = object_text(enclosure, "alt-revision", "");
    std::memcpy(reply.data() + 37, alternate.data(), std::min<size_t>(4, alternate.size()));
    if (peripheral != 0x0D) std::memcpy(reply.data() + 44, "SAF-TE", 6);
    // A module's own text from byte 36, in place of the above.
    const std::string text = object_text(enclosure, "inquiry-text", "");
    if (!text.empty()) {
        reply.resize(std::max(reply.size(), 36 + text.size() + 1), 0);
        std::memcpy(reply.data() + 36, text.data(), text.size());
        reply[36 + text.size()] = 0;
        reply[4] = uint8_t(std::min<size_t>(reply.size() - 5, 255));
    }
    copy_reply(reply, data, length, allocation);
}

bool enclosure_parameter(const Controller& c, uint16_t id, uint8_t* out, size_t size) {
    if (id == 2 && size >= 1) {
        out[0] = controller_has_safte(c) ? 0 : 1;
        return true;
    }
    if (id != 4) return false;
    for (const auto& e : c.enclosures) {
        if (e.first < 0 || size_t(e.first) >= size || e.first >= 16) continue;
        out[e.first] = uint8_t(object_number(e.second, "kind", is_safte(e.second) ? 0 : 2));
    }
    return true;
}

void scsi_pass_through(Machine&, Controller& c, uint8_t* area, uint8_t* data, uint32_t length) {
    uint8_t* packet = area + kAreaPacket;
    const int target = packet[1];
    const int lun = (get16(packet + 2) >> 12) & 15;
    uint8_t cdb[16];
    std::memcpy(cdb, packet + 8, sizeof cdb);
    const size_t cdb_length = std::min<size_t>(packet[5], sizeof cdb);
    std::memset(cdb + cdb_length, 0, sizeof cdb - cdb_length);

    ScsiAnswer answer{0, {}, true};
    const bool safte = controller_has_safte(c);
    const int position = safte ? (target == kFirstEnclosureTarget ? lun : -1)
                               : target - kFirstEnclosureTarget;
    const SimObject* enclosure = position >= 0 ? enclosure_at(c, position) : nullptr;
    if (enclosure != nullptr && object_number(*enclosure, "refuse", -1) == cdb[0]) {
        answer = check_condition(5, 0x20);
    } else if (enclosure != nullptr && object_number(*enclosure, "silent", 0) == 0) {
        answer = safte ? safte_command(c, *enclosure, cdb, data, length)
                       : ses_command(c, *enclosure, lun, cdb, data, length);
    }
    if (answer.no_device) {
        put16(area + kAreaCode, kNotPresentCode);
        packet[4] = 1;
        return;
    }
    packet[4] = answer.status;
    if (answer.status == 0) return;
    put16(area + kAreaCode, kSenseDataCode);
    const size_t n = std::min<size_t>(answer.sense.size(), kAreaCode);
    std::memcpy(area, answer.sense.data(), n);
    area[kAreaSenseLength] = uint8_t(n);
}

bool enclosure_element_line(Controller& c, Attrs& args, std::string* why) {
    char* end = nullptr;
    const long number = std::strtol(args["enclosure"].c_str(), &end, 0);
    auto it = c.enclosures.find(int(number));
    if (args["enclosure"].empty() || *end != '\0' || it == c.enclosures.end()) {
        *why = "no enclosure=" + args["enclosure"] + " on this controller";
        return false;
    }
    EnclosureModel& model = enclosure_model(c, it->second);
    return model.ses ? ses_element_line(model, args, why) : safte_element_line(model, args, why);
}

}  // namespace sim
