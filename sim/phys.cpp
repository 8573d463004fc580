// The phys of a SAS controller and what is attached to them: a drive
// attached directly (by its port), an expander with the drives behind it,
// or nothing. Without phy lines phy n reaches the drive of port n: directly,
// or through the expander of the enclosure that drive sits in; with them the
// lines say everything, and a phy without a line has no link. A drive that no
// phy reaches directly sits behind the controller's expander when it has one.
#include <algorithm>
#include <cstdlib>

#include "sim/drives.h"
#include "sim/machine.h"

namespace sim {

namespace {

// SAS addresses: the controller's expander, and drives without a wwn=.
constexpr unsigned long long kExpanderAddress = 0x500605B000000000ull;
constexpr unsigned long long kDriveAddress = 0x5000C50000000000ull;

// Phy table parameters.
constexpr uint16_t kSupported = 2, kSpeed = 3, kLimit = 4, kDeviceType = 5, kAddress = 6;
// Drive table parameters.
constexpr uint16_t kQueuingSupported = 15, kQueuingEnabled = 16, kDriveSpeeds = 17,
                   kDriveSpeed = 18, kInterface = 24, kWwn = 27, kEnclosurePosition = 30,
                   kDirectPhy = 32;

struct Attachment {
    enum Kind { None, Drive, Expander } kind = None;
    int port = -1;
};

bool has_phys(const Controller& c) {
    const long arch = c.attr_number("arch", 0);
    return arch == 6 || arch == 7 || arch == 8 || arch == 10;
}

long number_attr(const Attrs& attrs, const char* key, long fallback) {
    auto it = attrs.find(key);
    if (it == attrs.end()) return fallback;
    char* end = nullptr;
    const long v = std::strtol(it->second.c_str(), &end, 0);
    return *end == '\0' && !it->second.empty() ? v : fallback;
}

unsigned long long address_attr(const Attrs& attrs, const char* key,
                                unsigned long long fallback) {
    auto it = attrs.find(key);
    if (it == attrs.end()) return fallback;
    char* end = nullptr;
    const unsigned long long v = std::strtoull(it->second.c_str(), &end, 0);
    return *end == '\0' && !it->second.empty() ? v : fallback;
}

Attachment attachment(const Controller& c, int phy) {
    Attachment a;
    if (phy >= phy_count(c)) return a;
    if (c.phys.empty()) {
        if (!drive_present(c, phy)) return a;
        if (drive_at(c, phy)->attrs.count("enclosure") != 0) {
            a.kind = Attachment::Expander;
        } else {
            a = {Attachment::Drive, phy};
        }
        return a;
    }
    auto it = c.phys.find(phy);
    if (it == c.phys.end()) return a;
    const long port = number_attr(it->second.attrs, "drive", -1);
    if (port >= 0 && port < kPortSlots && drive_present(c, int(port)))
        return {Attachment::Drive, int(port)};
    if (number_attr(it->second.attrs, "expander", 0) != 0) a.kind = Attachment::Expander;
    return a;
}

// The first phy the drive of a port is attached to directly, or -1.
int direct_phy(const Controller& c, int port) {
    for (int phy = 0; phy < phy_count(c); ++phy) {
        const Attachment a = attachment(c, phy);
        if (a.kind == Attachment::Drive && a.port == port) return phy;
    }
    return -1;
}

bool has_expander(const Controller& c) {
    for (int phy = 0; phy < phy_count(c); ++phy)
        if (attachment(c, phy).kind == Attachment::Expander) return true;
    return false;
}

// The fastest speed of a mask, as a speed code (1, 2 or 4); 0 for none.
uint8_t fastest(uint8_t mask) {
    for (uint8_t speed = 4; speed != 0; speed >>= 1)
        if (mask & speed) return speed;
    return 0;
}

// The speeds a controller's links run at.
uint8_t controller_speeds(const Controller& c) {
    return c.attr_number("arch", 0) >= 10 ? 0x7 : 0x3;
}

uint8_t drive_speeds(const SimObject& drive) {
    return uint8_t(number_attr(drive.attrs, "link-speeds", drive_is_sas(drive) ? 0x7 : 0x3));
}

unsigned long long drive_address(const Controller& c, const SimObject& drive) {
    return address_attr(drive.attrs, "wwn",
                        kDriveAddress | (unsigned long long)(c.index & 0xFF) << 16 |
                            unsigned(drive.number));
}

const Attrs* phy_attrs(const Controller& c, int phy) {
    auto it = c.phys.find(phy);
    return it == c.phys.end() ? nullptr : &it->second.attrs;
}

// The speed a phy's link runs at: the fastest both ends support, no faster
// than the negotiation limit.
uint8_t phy_speed(const Controller& c, int phy) {
    const Attrs* attrs = phy_attrs(c, phy);
    if (attrs != nullptr && attrs->count("speed")) return uint8_t(number_attr(*attrs, "speed", 0));
    const Attachment a = attachment(c, phy);
    if (a.kind == Attachment::None) return 0;
    uint8_t mask = phy_speeds(c, phy);
    if (a.kind == Attachment::Drive) mask &= drive_speeds(c.drives.at(a.port));
    const unsigned long long limit = stored_number(
        c, uint16_t(0x80 + phy), kLimit, attrs != nullptr ? number_attr(*attrs, "limit", 0) : 0);
    if (limit != 0) mask &= uint8_t((limit << 1) - 1);
    return fastest(mask);
}

void put_big_endian(uint8_t* out, size_t size, unsigned long long v) {
    for (size_t i = 0; i < size && i < 8; ++i) out[i] = uint8_t(v >> (8 * (7 - i)));
}

}  // namespace

int hardware_phys(const Controller& c) {
    if (!has_phys(c)) return 0;
    return int(std::min(128l, c.attr_number("phys", c.attr_number("ports", 4))));
}

int phy_count(const Controller& c) {
    const int hardware = hardware_phys(c);
    if (hardware == 0) return 0;
    return int(std::min<unsigned long long>(stored_number(c, 0x001, 2, unsigned(hardware)), 128));
}

uint8_t phy_speeds(const Controller& c, int phy) {
    const Attrs* attrs = phy_attrs(c, phy);
    const uint8_t own = controller_speeds(c);
    return attrs != nullptr ? uint8_t(number_attr(*attrs, "speeds", own)) : own;
}

bool phy_value(const Controller& c, int phy, uint16_t id, uint8_t* out, size_t size) {
    const Attachment a = attachment(c, phy);
    const Attrs* attrs = phy_attrs(c, phy);
    switch (id) {
        case kSupported: out[0] = phy_speeds(c, phy); return true;
        case kSpeed: out[0] = phy_speed(c, phy); return true;
        case kLimit:
            out[0] = uint8_t(attrs != nullptr ? number_attr(*attrs, "limit", 0) : 0);
            return true;
        case kDeviceType:
            // 0 nothing, 1 a SATA drive, 2 a SAS drive, 3 an expander.
            out[0] = a.kind == Attachment::Expander ? 3
                     : a.kind == Attachment::Drive  ? (drive_is_sas(c.drives.at(a.port)) ? 2 : 1)
                                                    : 0;
            return true;
        case kAddress: {
            unsigned long long address = 0;
            if (a.kind == Attachment::Drive) address = drive_address(c, c.drives.at(a.port));
            if (a.kind == Attachment::Expander)
                address = kExpanderAddress | (unsigned long long)(c.index & 0xFF) << 8;
            if (attrs != nullptr) address = address_attr(*attrs, "address", address);
            put_big_endian(out, size, address);
            return true;
        }
    }
    return false;
}

bool drive_link_value(const Controller& c, int port, uint16_t id, uint8_t* out, size_t size) {
    const SimObject* found = drive_at(c, port);
    if (found == nullptr) return false;
    const SimObject& drive = *found;
    const int phy = direct_phy(c, port);
    switch (id) {
        case kQueuingSupported:
            out[0] = uint8_t(number_attr(drive.attrs, "queuing", 1));
            return true;
        case kQueuingEnabled:
            out[0] = uint8_t(number_attr(drive.attrs, "queuing-enabled",
                                         number_attr(drive.attrs, "queuing", 1)));
            return true;
        case kDriveSpeeds: out[0] = drive_speeds(drive); return true;
        case kDriveSpeed:
            out[0] = phy >= 0 ? phy_speed(c, phy)
                              : fastest(drive_speeds(drive) & controller_speeds(c));
            return true;
        case kInterface:
            // 1 SATA, 3 SAS; 4 more behind an expander.
            out[0] = uint8_t((drive_is_sas(drive) ? 3 : 1) | (phy < 0 && has_expander(c) ? 4 : 0));
            return true;
        case kWwn: put_big_endian(out, size, drive_address(c, drive)); return true;
        case kEnclosurePosition:
            if (phy < 0) return false;  // the enclosure's business
            out[0] = 0xFF;
            return true;
        case kDirectPhy: out[0] = phy < 0 ? 0xFF : uint8_t(phy); return true;
    }
    return false;
}

}  // namespace sim
