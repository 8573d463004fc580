// The first-series firmware's commands: the 512-byte packet of request 0x1F
// with its data. A refused command sets status byte 4 (low) and byte 5
// (high) of the packet to the firmware's code.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "sim/machine.h"

namespace sim {

using namespace legacy;

namespace {

// Firmware codes.
constexpr uint16_t kBadSize = 0x0EC1;  // the packet does not fit its opcode
constexpr uint16_t kNoTable = 0x15C1;
constexpr uint16_t kNoIndex = 0x16C1;
constexpr uint16_t kBadOpcode = 0x00D2;
constexpr uint16_t kBadCommand = 0x00DB;
constexpr uint16_t kBadPortMap = 0x00C4;
constexpr uint16_t kBadUnit = 0x00CB;
constexpr uint16_t kBadSgl = 0x10C4;  // the data does not fit the command
constexpr uint16_t kUnitsFull = 0x29C4;
constexpr uint16_t kBadDescriptorValue = 0x31C4;
constexpr uint16_t kBadConfiguration = 0x31DB;
constexpr uint16_t kBadReplaceType = 0x32C4;
constexpr uint16_t kVerifyFailed = 0x3CC4;
constexpr uint16_t kNotAMember = 0x3EC4;
constexpr uint16_t kDoubleDegrade = 0x3FC4;
constexpr uint16_t kTooSmall = 0x40C4;
constexpr uint16_t kNoDrive = 0x41C4;
constexpr uint16_t kDriveBusy = 0x42C4;
constexpr uint16_t kAborted = 0x04C7;
constexpr uint16_t kNextImageBuffer = 0x0231;
constexpr uint16_t kBadImage = 0x2DC1;

constexpr uint32_t kErrorLogSize = 32768;
constexpr uint32_t kLargestAtaTransfer = 131072;

void refuse(uint8_t* packet, uint16_t code) {
    packet[4] = uint8_t(code);
    packet[5] = uint8_t(code >> 8);
}

std::string drive_text(const Controller& c, int port, const char* key) {
    auto it = c.drives.find(port);
    if (it == c.drives.end()) return "";
    auto value = it->second.attrs.find(key);
    return value == it->second.attrs.end() ? "" : value->second;
}

// --- Parameters.

// Values the firmware answers from its own state; false for the others.
bool read_own(const Controller& c, uint8_t unit_byte, uint16_t table, uint8_t id, uint8_t* out,
              size_t size) {
    const LegacyStore& s = c.legacy;
    auto put_text = [&](const std::string& text) {
        std::memcpy(out, text.data(), std::min(size, text.size()));
    };
    if (table == 2 || table == 3) {
        uint8_t list[16] = {};
        uint16_t count = 0;
        for (int i = 0; i < 16; ++i) {
            if (table == 2) list[i] = s.drive_state[i];
            auto unit = s.units.find(i);
            if (table == 3 && unit != s.units.end()) list[i] = raw_status(unit->second);
            if (list[i] & 0x80) ++count;
        }
        if (id == 2) put16(out, count);
        if (id == 3) std::memcpy(out, list, std::min<size_t>(size, sizeof list));
        return id == 2 || id == 3;
    }
    if (table >= 0x200 && table < 0x200 + kPorts) {
        const int port = table - 0x200;
        if (s.drive_state[port] == 0) return true;  // no drive: zeros
        int bit = -1;
        switch (id) {
            case 2:
                put32(out, drive_capacity(c, port));
                return true;
            case 3:
                put_text(drive_text(c, port, "model"));
                return true;
            case 4:
                put_text(drive_text(c, port, "serial"));
                return true;
            case 11:
                out[0] = uint8_t(owner_of(s, port, &bit));
                return true;
            case 14:
                put_text(drive_text(c, port, "firmware"));
                return true;
        }
        return false;
    }
    if (table >= 0x300 && table < 0x300 + kUnits) {
        const LegacyUnit& u = s.units.at(table - 0x300);
        if (id == 5) put16(out, uint16_t(u.descriptor.size() + 3));
        if (id == 6) std::memcpy(out, u.descriptor.data(), std::min(size, u.descriptor.size()));
        if (id == 7) out[0] = u.write_cache;
        return true;
    }
    if (table == 0x405) {
        out[0] = id == 3 ? 16 : 25;  // rate 3 until one is set
        return true;
    }
    if (table == 0x406) {
        uint16_t values[8] = {};
        auto unit = s.units.find(unit_byte);
        if (unit != s.units.end()) progress_values(unit->second, values);
        for (int i = 0; i < 8 && size_t(2 * i + 2) <= size; ++i) put16(out + 2 * i, values[i]);
        return true;
    }
    return false;
}

// 0 when the value was taken; the firmware's code when it refuses it.
uint16_t write_own(Machine& m, Controller& c, uint16_t table, uint8_t id, const uint8_t* value,
                   size_t size) {
    if (table >= 0x300 && table < 0x300 + kUnits && id == 7) {
        c.legacy.units.at(table - 0x300).write_cache = value[0] != 0 ? 1 : 0;
        return 0;
    }
    // The inventories and the units' descriptors are the firmware's own.
    if (table == 2 || table == 3 || table == 0x406 || (table >= 0x200 && table < 0x400))
        return kBadCommand;
    return write_parameter(m, c, table, id, value, size);
}

void parameter(Machine& m, Controller& c, uint8_t* packet, uint8_t* data, uint32_t length) {
    if (packet[1] != 4 || get16(packet + 6) != 1 || length < 4) return refuse(packet, kBadSize);
    const uint16_t table = get16(data);
    const uint8_t id = data[2];
    long expected = parameter_size(c, table, id);
    if (expected == 0) return refuse(packet, kNoTable);
    if (expected == -1) return refuse(packet, kNoIndex);
    if (expected == -2) expected = long(length) - 4;  // any size goes
    if ((expected & 0xFF) != data[3] || length != uint32_t(expected) + 4)
        return refuse(packet, kBadSize);
    uint8_t* value = data + 4;
    if (packet[0] == 0x53) {
        if (const uint16_t code = write_own(m, c, table, id, value, size_t(expected)))
            refuse(packet, code);
        return;
    }
    // A value a param line wrote stands over the firmware's own.
    std::memset(value, 0, size_t(expected));
    if (c.params.count(uint32_t(table) << 16 | id) != 0 ||
        !read_own(c, packet[3], table, id, value, size_t(expected)))
        read_parameter(m, c, table, id, value, size_t(expected));
}

// --- Units.

bool drive_usable(const Controller& c, int port) {
    return port < kPorts && c.legacy.drive_state[port] == kHealthy &&
           owner_of(c.legacy, port, nullptr) < 0;
}

// Checks a descriptor as CreateUnit receives it: the code to refuse it
// with, or 0.
uint16_t check_descriptor(const Controller& c, const LegacyUnit& u) {
    const uint8_t type = unit_type(u);
    const std::vector<uint8_t>& d = u.descriptor;
    const size_t length = d.size();
    if (is_single(type) && type != kDiskReadBack) {
        if (d[0] != 0 || !drive_usable(c, d[2])) return kBadConfiguration;
        return get32(&d[8]) <= drive_capacity(c, d[2]) ? 0 : kBadDescriptorValue;
    }
    const size_t n = d[0];
    if (type == kRaid10) {
        if (n < 2 || length != 24 + 36 * n || d[12] != 0xFF) return kBadDescriptorValue;
    } else if (type == kRaid0 || type == kRaid1 || type == kRaid1Created || type == kRaid5) {
        const size_t least = type == kRaid5 ? 3 : 2;
        if (n < least || ((type == kRaid1 || type == kRaid1Created) && n != 2) ||
            length != 12 + 12 * n)
            return kBadDescriptorValue;
    } else {
        return kBadConfiguration;
    }
    if (type != kRaid1 && type != kRaid1Created && (d[2] < 4 || d[2] > 11))
        return kBadDescriptorValue;
    uint32_t seen = 0;
    for (int b = 0; b < member_count(u); ++b) {
        const uint8_t port = member_port(u, b);
        if (!drive_usable(c, port) || (seen >> port & 1) != 0) return kBadConfiguration;
        seen |= 1u << port;
        if (member_share(u, b) > drive_capacity(c, port)) return kBadDescriptorValue;
    }
    return 0;
}

// Drops the configurations left on drives that a new unit takes.
void forget_foreign(LegacyStore& s, const LegacyUnit& u) {
    for (int b = 0; b < member_count(u); ++b) {
        const uint8_t port = member_port(u, b);
        s.foreign.erase(std::remove_if(s.foreign.begin(), s.foreign.end(),
                                       [&](const ForeignUnit& f) {
                                           for (int k = 0; k < member_count(f.unit); ++k)
                                               if (member_port(f.unit, k) == port) return true;
                                           return false;
                                       }),
                        s.foreign.end());
    }
}

void create_unit(Machine& m, Controller& c, uint8_t* packet, uint8_t* data, uint32_t length) {
    const uint16_t meaningful = get16(packet + 6);
    if (packet[1] != 4 || length > 512 || meaningful > length || meaningful < 12)
        return refuse(packet, kBadDescriptorValue);
    LegacyUnit u;
    u.descriptor.assign(data, data + meaningful);
    if (const uint16_t code = check_descriptor(c, u)) return refuse(packet, code);
    const int number = free_unit_number(c.legacy);
    if (number < 0) return refuse(packet, kUnitsFull);
    const uint8_t type = unit_type(u);
    u.exposed = type != kDisk && type != kSpare;
    if (is_redundant(type) && c.attr("initialize", "0") == "1") {
        u.task = LegacyTask::Initialize;
        queue_event(m, c, kEventInitStarted, uint8_t(number));
    }
    refresh(u);
    forget_foreign(c.legacy, u);
    c.legacy.units[number] = u;
    packet[3] = uint8_t(number);
}

void delete_unit(Machine& m, Controller& c, uint8_t* packet) {
    const uint8_t number = packet[3], mode = packet[7];
    auto it = c.legacy.units.find(number);
    if (packet[1] != 2) return refuse(packet, kBadSize);
    if (it == c.legacy.units.end()) return refuse(packet, kBadUnit);
    if (mode != 0x80 && mode != 0) return refuse(packet, kBadCommand);
    if (mode == 0) {
        // Exported: the configuration stays on the drives.
        LegacyUnit kept = it->second;
        kept.task = LegacyTask::None;
        kept.verify_pending = false;
        kept.progress = 0;
        c.legacy.foreign.push_back(ForeignUnit{number, kept});
    }
    c.legacy.units.erase(it);
    queue_event(m, c, kEventUnitDeleted, number);
}

void add_drive(Controller& c, uint8_t* packet, uint32_t length) {
    if (packet[1] != 3 || length != 0) return refuse(packet, kBadSize);
    const uint32_t mask = get32(packet + 8);
    const long ports = c.attr_number("ports", 4);
    for (int p = 0; p < 32; ++p) {
        if ((mask >> p & 1) == 0) continue;
        if (p >= ports || p >= kPorts) return refuse(packet, kBadPortMap);
        auto drive = c.drives.find(p);
        if (drive == c.drives.end() || c.legacy.drive_state[p] != 0) continue;
        const auto failed = drive->second.attrs.find("failed");
        const bool bad = failed != drive->second.attrs.end() && failed->second == "1";
        c.legacy.drive_state[p] = bad ? kFailedDrive : kHealthy;
    }
}

// Import: a configuration found on the drive comes back as a unit when
// every drive it needs is present and free.
void import_unit(Controller& c, uint8_t* packet, uint32_t length) {
    if (packet[1] != 3 || length != 0) return refuse(packet, kBadSize);
    LegacyStore& s = c.legacy;
    const uint32_t mask = get32(packet + 8);
    for (int p = 0; p < kPorts; ++p) {
        if ((mask >> p & 1) == 0) continue;
        for (size_t f = 0; f < s.foreign.size(); ++f) {
            const LegacyUnit& u = s.foreign[f].unit;
            bool mine = false, complete = true;
            for (int b = 0; b < member_count(u); ++b) {
                const uint8_t port = member_port(u, b);
                mine = mine || port == p;
                if (port == kNoPort) continue;
                complete = complete && port < kPorts && (s.drive_state[port] & 0x80) != 0 &&
                           owner_of(s, port, nullptr) < 0;
            }
            if (!mine || !complete) continue;
            int number = s.foreign[f].number;
            if (s.units.count(number) != 0) number = free_unit_number(s);
            if (number < 0) return refuse(packet, kUnitsFull);
            s.units[number] = u;
            s.foreign.erase(s.foreign.begin() + long(f));
            break;
        }
    }
}

void replace_drive(Controller& c, uint8_t* packet) {
    LegacyStore& s = c.legacy;
    if (packet[1] != 2) return refuse(packet, kBadSize);
    auto unit = s.units.find(packet[3]);
    auto single = s.units.find(packet[6]);
    if (unit == s.units.end() || single == s.units.end()) return refuse(packet, kBadUnit);
    LegacyUnit& u = unit->second;
    const uint8_t single_type = unit_type(single->second);
    if (!is_redundant(unit_type(u)) || (single_type != kDisk && single_type != kSpare))
        return refuse(packet, kBadReplaceType);
    const int bit = packet[7];
    if (bit >= member_count(u) || (u.failed >> bit & 1) == 0) return refuse(packet, kNotAMember);
    const uint8_t port = member_port(single->second, 0);
    if (drive_capacity(c, port) < member_share(u, bit)) return refuse(packet, kTooSmall);
    s.units.erase(single);
    set_member_port(u, bit, port);
    u.replaced |= uint16_t(1u << bit);
    refresh(u);
}

void remove_drive(Machine& m, Controller& c, uint8_t* packet) {
    LegacyStore& s = c.legacy;
    const uint8_t port = packet[7];
    if (packet[1] != 2) return refuse(packet, kBadSize);
    if (port >= kPorts || s.drive_state[port] == 0) return refuse(packet, kNoDrive);
    int bit = -1;
    const int number = owner_of(s, port, &bit);
    if (number >= 0) {
        LegacyUnit& u = s.units[number];
        const uint16_t mask = uint16_t(1u << bit);
        if (!is_redundant(unit_type(u))) return refuse(packet, kDriveBusy);
        const uint16_t others = uint16_t(redundancy_group(u, bit) & ~mask);
        if ((u.failed & mask) == 0 && (u.failed & others) != 0)
            return refuse(packet, kDoubleDegrade);
        fail_member(m, c, number, bit);
        set_member_port(u, bit, kNoPort);
    }
    s.drive_state[port] = 0;
}

void background_task(Machine& m, Controller& c, uint8_t* packet) {
    if (packet[1] != 2) return refuse(packet, kBadSize);
    auto it = c.legacy.units.find(packet[3]);
    if (it == c.legacy.units.end()) return refuse(packet, kBadUnit);
    LegacyUnit& u = it->second;
    // Task 4 starts what waits for it; other tasks change nothing here.
    if ((packet[6] & 0x3F) != 4) return;
    if (u.replaced != 0) {
        u.rebuilding |= u.replaced;
        u.replaced = 0;
        u.progress = 0;
        queue_event(m, c, kEventRebuildStarted, packet[3]);
    } else if (u.verify_pending) {
        u.verify_pending = false;
        u.task = LegacyTask::Verify;
        u.progress = 0;
        queue_event(m, c, kEventVerifyStarted, packet[3]);
    }
    refresh(u);
}

void verify(Controller& c, uint8_t* packet) {
    if (packet[1] != 2) return refuse(packet, kBadSize);
    auto it = c.legacy.units.find(packet[3]);
    if (it == c.legacy.units.end()) return refuse(packet, kBadUnit);
    LegacyUnit& u = it->second;
    if (!is_redundant(unit_type(u))) return refuse(packet, kBadCommand);
    const bool ok = (raw_status(u) | 1) == 255;
    if (packet[7] == 1) {
        if (!ok) return refuse(packet, kVerifyFailed);
        u.verify_pending = true;
    } else if (packet[7] == 0x80) {
        if (u.task != LegacyTask::Verify) return refuse(packet, kVerifyFailed);
        u.task = LegacyTask::None;
        u.progress = 0;
    } else {
        return refuse(packet, kBadCommand);
    }
    refresh(u);
}

void unit_command(Controller& c, uint8_t* packet) {
    if (packet[1] != 2) return refuse(packet, kBadSize);
    if (c.legacy.units.count(packet[3]) == 0) refuse(packet, kBadUnit);
}

void controller_option(Controller& c, uint8_t* packet, uint8_t operand) {
    if (packet[1] != 2 || operand != 4) return refuse(packet, kBadCommand);
    c.legacy.option_4 = packet[6] != 0;
}

void error_log(const Controller& c, uint8_t* packet, uint8_t* data, uint32_t length) {
    if (packet[1] != 4 || get16(packet + 6) != 2 || length != kErrorLogSize)
        return refuse(packet, kBadSize);
    std::memset(data, 0, length);
    std::snprintf(reinterpret_cast<char*>(data), length,
                  "%s error log\n"
                  "0000: cold start, firmware %s\n"
                  "0001: port 9 timeout, retried\n"
                  "0002: port 9 error, drive dropped\n",
                  c.attr("model", "controller").c_str(), c.attr("firmware", "").c_str());
}

void download(const Controller& c, uint8_t* packet, uint32_t length) {
    if (packet[1] != 4 || get16(packet + 6) != 8 || length == 0) return refuse(packet, kBadSize);
    const std::string mode = c.attr("download", "ok");
    if (mode == "next-buffer") refuse(packet, kNextImageBuffer);
    if (mode == "error") refuse(packet, kBadImage);
}

// --- ATA pass-through.

// An ATA text: two characters per word, the first in the high byte,
// padded with blanks.
void ata_text(uint8_t* out, size_t words, const std::string& text) {
    for (size_t i = 0; i < 2 * words; ++i) {
        const char ch = i < text.size() ? text[i] : ' ';
        out[i ^ 1] = uint8_t(ch);
    }
}

void finish_sector(uint8_t* sector, bool signature) {
    if (signature) sector[510] = 0xA5;
    uint8_t sum = 0;
    for (int i = 0; i < 511; ++i) sum = uint8_t(sum + sector[i]);
    sector[511] = uint8_t(-sum);
}

void identify_data(const Controller& c, int port, uint8_t* out) {
    std::memset(out, 0, 512);
    const uint32_t sectors = drive_capacity(c, port);
    put16(out, 0x0040);
    ata_text(out + 20, 10, drive_text(c, port, "serial"));
    ata_text(out + 46, 4, drive_text(c, port, "firmware"));
    ata_text(out + 54, 20, drive_text(c, port, "model"));
    put16(out + 98, 0x0300);  // LBA and DMA
    put32(out + 120, sectors > 0x0FFFFFFF ? 0x0FFFFFFF : sectors);
    put16(out + 166, 0x4400);  // 48-bit addressing
    put32(out + 200, sectors);
    finish_sector(out, true);
}

void smart_data(const Controller& c, int port, uint8_t* out) {
    std::memset(out, 0, 512);
    put16(out, 0x0010);
    auto number = [&](const char* key, unsigned long fallback) {
        const std::string text = drive_text(c, port, key);
        return text.empty() ? fallback : std::strtoul(text.c_str(), nullptr, 0);
    };
    struct Attribute {
        uint8_t id;
        uint8_t value;
        unsigned long raw;
    };
    const bool failing = c.legacy.drive_state[port] == kFailedDrive;
    const Attribute attributes[] = {
        {1, 100, 0},
        {5, uint8_t(failing ? 1 : 100), number("reallocated", failing ? 2000 : 0)},
        {9, 99, number("power-on-hours", 1000)},
        {194, 100, number("temperature", 30)},
    };
    for (size_t i = 0; i < sizeof attributes / sizeof *attributes; ++i) {
        uint8_t* entry = out + 2 + 12 * i;
        entry[0] = attributes[i].id;
        put16(entry + 1, 0x0033);
        entry[3] = attributes[i].value;
        entry[4] = attributes[i].value;
        put32(entry + 5, uint32_t(attributes[i].raw));
    }
    out[362] = 0x82;  // off-line data collection completed
    finish_sector(out, false);
}

void ata_command(Controller& c, uint8_t* packet, uint8_t operand, uint8_t* data, uint32_t length) {
    const bool with_data = packet[0] == 0xB1;
    if (packet[1] != (with_data ? 7 : 5) || packet[2] != 0xFF) return refuse(packet, kBadSize);
    const uint8_t port = packet[3];
    if (port >= kPorts || (c.legacy.drive_state[port] & 0x80) == 0) return refuse(packet, kNoDrive);
    const uint16_t features = get16(packet + 8), count = get16(packet + 10);
    const uint16_t mid = get16(packet + 14), high = get16(packet + 16);
    const uint8_t command = packet[19];
    const uint32_t expected = count != 0 ? uint32_t(count) * 512 : kLargestAtaTransfer;
    if (with_data && length != expected) return refuse(packet, kBadSgl);
    bool done = false;
    if (command == 0xEC && with_data && (operand & 3) == 1) {
        identify_data(c, port, data);
        done = true;
    } else if (command == 0xB0 && mid == 0x4F && high == 0xC2) {
        if (features == 0xD0 && with_data && (operand & 3) == 1) {
            smart_data(c, port, data);
            done = true;
        } else if (features == 0xDA && !with_data) {
            // SMART RETURN STATUS: a failing drive turns the signature round.
            if (c.legacy.drive_state[port] == kFailedDrive) {
                put16(packet + 14, 0xF4);
                put16(packet + 16, 0x2C);
            }
            done = true;
        }
    }
    // The status and error registers come back in command and features.
    packet[19] = done ? 0x50 : 0x51;
    put16(packet + 8, done ? 0 : 0x04);
    if (!done) refuse(packet, kAborted);
}

}  // namespace

namespace {

void dispatch(Machine& m, Controller& c, uint8_t* packet, uint8_t operand, uint8_t* data,
              uint32_t length) {
    switch (packet[0]) {
        case 0x52:
        case 0x53:
            return parameter(m, c, packet, data, length);
        case 0x54:
            return create_unit(m, c, packet, data, length);
        case 0x15:
            return delete_unit(m, c, packet);
        case 0x06:
            return add_drive(c, packet, length);
        case 0x07:
            return import_unit(c, packet, length);
        case 0x09:
            return replace_drive(c, packet);
        case 0x0A:
            return remove_drive(m, c, packet);
        case 0x17:
            return background_task(m, c, packet);
        case 0x05:
            return verify(c, packet);
        case 0x0E:
            return unit_command(c, packet);
        case 0x18:
            return controller_option(c, packet, operand);
        case 0x59:
            return error_log(c, packet, data, length);
        case 0x56:
            return download(c, packet, length);
        case 0x11:
        case 0xB1:
            return ata_command(c, packet, operand, data, length);
    }
    refuse(packet, kBadOpcode);
}

}  // namespace

void legacy_command(Machine& m, Controller& c, uint8_t* packet, uint8_t operand, uint8_t* data,
                    uint32_t length) {
    dispatch(m, c, packet, operand, data, length);
    if (packet[0] != 0x52) legacy_record_state(m, c, true);
}

}  // namespace sim
