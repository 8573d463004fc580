// The firmware's commands that make, reshape, bring in and remove units:
// create (0x74), unit change (0x6F: migrate, mirror a single disk, split a
// mirror), port scan (0x06), import (0x07) and delete (0x15); and what the
// unit command files share.
#include <algorithm>
#include <set>
#include <string>

#include "sim/drives.h"
#include "sim/unit_ops.h"

namespace sim {

using namespace unit_ops;

namespace {

constexpr uint8_t kCreate = 0x74, kUnitChange = 0x6F, kPortScan = 0x06, kImport = 0x07,
                  kDelete = 0x15;
constexpr uint8_t kMigrate = 0, kSplit = 2, kMirror = 8;
constexpr uint8_t kDeleteWipe = 0x80, kDeleteExport = 0x40, kDeleteTakeApart = 0;
constexpr uint8_t kVolumeRecord = 0x80;
constexpr uint8_t kPresentBit = 0x80, kUsableBit = 0x01;
constexpr uint8_t kOk = kUnitOk;
constexpr uint8_t kRaid1Reported = 1;
constexpr uint32_t kScanSizeLevel = 34;
constexpr size_t kBitmap = 8;  // port scan and import: the port bitmap from byte 8

bool is_leaf(const UnitPlace& p) { return p.children.empty(); }

bool striped_code(uint8_t code) { return code == 5 || code == 7 || code == 9; }

bool all_leaves(const UnitPlace& p) {
    for (const UnitPlace& child : p.children)
        if (!is_leaf(child)) return false;
    return true;
}

// A sub-unit of a nested unit: RAID 1 of two drives or RAID 5 of three or
// more, each with the stripe the first one has.
bool fits_subunits(const UnitPlace& root) {
    const UnitPlace& first = root.children[0];
    for (const UnitPlace& sub : root.children) {
        if (is_leaf(sub) || !all_leaves(sub) || !sub.tasks.empty() || sub.type != first.type)
            return false;
        if (sub.type == kUnitTypeRaid1 && sub.children.size() != 2) return false;
        if (sub.type == kUnitTypeRaid5 &&
            (sub.children.size() < 3 || !striped_code(sub.stripe_code) ||
             sub.stripe_code != first.stripe_code))
            return false;
        if (sub.type != kUnitTypeRaid1 && sub.type != kUnitTypeRaid5) return false;
    }
    return first.type == kUnitTypeRaid5 || striped_code(root.stripe_code);
}

// The types a list may ask for, with the members each needs.
bool fits_layout(const UnitPlace& root) {
    const size_t n = root.children.size();
    switch (root.type) {
        case kUnitTypeSingle:
        case kUnitTypeDisk:
        case kUnitTypeSpare:
        case kUnitTypeJbod: return is_leaf(root) && root.tasks.empty();
        case kUnitTypeRaid1: return n == 2 && all_leaves(root) && root.tasks.empty();
        case kUnitTypeRaid5:
            return n >= 3 && all_leaves(root) && root.tasks.empty() && striped_code(root.stripe_code);
        case kUnitTypeRaid6:
            return n >= 4 && all_leaves(root) && root.tasks.size() == 1 &&
                   striped_code(root.stripe_code);
        case kUnitTypeRaid0:
            if (n < 2 || !root.tasks.empty()) return false;
            if (all_leaves(root)) return striped_code(root.stripe_code);
            return fits_subunits(root);
    }
    return false;
}

void leaf_ports(const UnitPlace& p, std::vector<int>* ports) {
    if (is_leaf(p)) ports->push_back(p.port);
    for (const UnitPlace& child : p.children) leaf_ports(child, ports);
}

// A create or migrate list's tree: a layout the firmware builds, each drive
// present, usable, named once and in no unit but the one being migrated.
uint16_t check_shape(const Controller& c, const UnitPlace& root, int keep) {
    if (!fits_layout(root)) return kInvalidField;
    std::vector<int> ports;
    leaf_ports(root, &ports);
    std::set<int> seen;
    for (int port : ports) {
        if (port < 0 || !seen.insert(port).second) return kInvalidField;
        const uint8_t status = port_status(c, port);
        if ((status & kPresentBit) == 0 || (status & kUsableBit) == 0) return kPortRefused;
        const int holder = unit_holding(c, port);
        if (holder >= 0 && holder != keep) return kPortRefused;
    }
    return 0;
}

// Capacities from the smallest member drive: a member place holds that
// much, a unit what its layout makes of its members.
uint64_t size_place(UnitPlace& p, uint64_t member) {
    if (is_leaf(p)) return p.capacity = member;
    uint64_t sum = 0;
    for (UnitPlace& child : p.children) sum += size_place(child, member);
    const uint64_t n = p.children.size();
    switch (p.type) {
        case kUnitTypeRaid1: return p.capacity = member;
        case kUnitTypeRaid5: return p.capacity = (n - 1) * member;
        case kUnitTypeRaid6: return p.capacity = (n - 2) * member;
        default: return p.capacity = is_nested(p) ? sum : n * member;
    }
}

void size_unit(const Controller& c, UnitPlace& root) {
    std::vector<int> ports;
    leaf_ports(root, &ports);
    uint64_t member = 0;
    for (int port : ports)
        if (const SimObject* d = drive_at(c, port))
            member = member == 0 ? drive_capacity(*d) : std::min(member, drive_capacity(*d));
    size_place(root, member);
}

// Every place OK, no task running.
void settle(UnitPlace& p) {
    p.status = kOk;
    p.progress = 0;
    p.state_member = 0;
    p.initialized = true;
    for (UnitPlace& t : p.tasks) {
        t.status = kOk;
        t.progress = 0;
        t.state_member = 0;
    }
    for (UnitPlace& child : p.children) settle(child);
}

bool is_redundant(uint8_t type) {
    return type == kUnitTypeRaid1 || type == kUnitTypeRaid5 || type == kUnitTypeRaid6;
}

// Volume records after the tree: contiguous LUNs whose sizes the unit
// holds.
bool parse_volumes(const uint8_t* records, size_t count, uint64_t capacity,
                   std::vector<UnitLun>* luns) {
    uint64_t end = 0;
    for (size_t j = 0; j < count; ++j) {
        const uint8_t* r = records + j * kUnitRecordSize;
        uint64_t start = 0, size = 0;
        for (int b = 7; b >= 0; --b) {
            start = start << 8 | r[4 + b];
            size = size << 8 | r[12 + b];
        }
        if (r[1] != kVolumeRecord || r[2] != uint8_t(j) || start != end || size == 0 ||
            size > capacity - end)
            return false;
        end += size;
        luns->push_back(UnitLun{size, 0, true});
    }
    return true;
}

// The tree of a list of the given length in data, and where it ends.
uint16_t read_list(const uint8_t* packet, const uint8_t* data, uint32_t length, UnitPlace* root,
                   size_t* used, size_t* count) {
    const uint16_t bytes = get16(packet + 6);
    if (bytes != length) return kLengthMismatch;
    if (bytes == 0 || bytes % kUnitRecordSize != 0) return kInvalidField;
    *count = bytes / kUnitRecordSize;
    std::string why;
    return parse_unit_records(data, *count, root, used, &why) ? 0 : kInvalidField;
}

bool list_packet(const Machine& m, const uint8_t* packet) {
    return packet[1] == m.arch_class() + 3 && packet[8] == 1;
}

// A new unit takes over its drives: configurations they carried from
// elsewhere are gone.
void forget_foreign_on(Controller& c, const UnitPlace& root) {
    std::vector<int> ports;
    leaf_ports(root, &ports);
    auto carries = [&](const SimUnit& u) {
        std::vector<int> theirs;
        leaf_ports(u.root, &theirs);
        for (int port : theirs)
            if (std::find(ports.begin(), ports.end(), port) != ports.end()) return true;
        return false;
    };
    c.foreign_units.erase(std::remove_if(c.foreign_units.begin(), c.foreign_units.end(), carries),
                          c.foreign_units.end());
}

SimUnit new_unit(int number, const UnitPlace& root) {
    SimUnit unit;
    unit.number = number;
    unit.root = root;
    unit.luns.assign(1, UnitLun{root.capacity, 0, true});
    refresh_flags(unit);
    return unit;
}

uint16_t create(Machine& m, Controller& c, uint8_t* packet, const uint8_t* data, uint32_t length) {
    if (!list_packet(m, packet)) return kInvalidField;
    UnitPlace root;
    size_t used = 0, count = 0;
    if (const uint16_t code = read_list(packet, data, length, &root, &used, &count)) return code;
    if (const uint16_t code = check_shape(c, root, -1)) return code;
    const int number = free_unit_number(c);
    if (number < 0) return kInvalidField;
    settle(root);
    size_unit(c, root);
    std::vector<UnitLun> luns;
    if (!parse_volumes(data + used * kUnitRecordSize, count - used, root.capacity, &luns))
        return kInvalidField;
    // A redundant unit initialises first where the controller does so.
    bool initialising = false;
    if (c.attr_number("initialize", 0) != 0) {
        for (UnitPlace* p : task_places(root)) {
            if (!is_redundant(p->type)) continue;
            p->status = kUnitInitializing;
            p->progress = kTaskActive;
            p->initialized = false;
            initialising = true;
        }
        root.initialized = !initialising;
    }
    forget_unit_settings(m, c, number, nullptr);
    forget_foreign_on(c, root);
    SimUnit unit = new_unit(number, root);
    if (!luns.empty()) unit.luns = luns;
    c.units[number] = unit;
    packet[3] = uint8_t(number);
    if (initialising) unit_event(m, c, kEventInitStarted, kInformation, number);
    return 0;
}

// The unit turns into a migrating unit over its old layout (sub-unit 0) and
// the new one (sub-unit 1), which must keep every drive it has.
uint16_t migrate(Machine& m, Controller& c, SimUnit& unit, uint8_t* packet, const uint8_t* data,
                 uint32_t length) {
    UnitPlace destination;
    size_t used = 0, count = 0;
    if (const uint16_t code = read_list(packet, data, length, &destination, &used, &count))
        return code;
    if (used != count) return kInvalidField;
    UnitPlace& source = unit.root;
    if (source.type == kUnitTypeMigrating) return kInvalidField;
    for (UnitPlace* p : task_places(source))
        if (p->status != kOk || (!p->tasks.empty() && p->tasks[0].status != kOk))
            return kInvalidField;
    if (const uint16_t code = check_shape(c, destination, unit.number)) return code;
    std::vector<int> old_ports, new_ports;
    leaf_ports(source, &old_ports);
    leaf_ports(destination, &new_ports);
    for (int port : old_ports)
        if (port >= 0 && std::find(new_ports.begin(), new_ports.end(), port) == new_ports.end())
            return kInvalidField;
    settle(destination);
    size_unit(c, destination);
    if (destination.capacity < source.capacity) return kTooSmall;
    destination.status = kUnitMigrating;
    destination.progress = kTaskActive;
    UnitPlace root;
    root.type = kUnitTypeMigrating;
    root.status = kUnitMigrating;
    root.progress = kTaskActive;
    root.capacity = source.capacity;
    root.initialized = source.initialized;
    root.children = {source, destination};
    unit.destination_capacity = destination.capacity;
    unit.root = root;
    unit_event(m, c, kEventMigrationStarted, kInformation, unit.number);
    return 0;
}

// A single disk and a DISK unit become a RAID 1 that copies the single
// disk onto the other drive.
uint16_t mirror(Machine& m, Controller& c, SimUnit& unit, uint8_t disk_number) {
    auto disk = c.units.find(disk_number);
    if (unit.root.type != kUnitTypeSingle || disk == c.units.end() || disk->second.number == unit.number ||
        disk->second.root.type != kUnitTypeDisk || !is_leaf(disk->second.root))
        return kInvalidField;
    const int port = disk->second.root.port;
    const SimObject* drive = drive_at(c, port);
    if (drive == nullptr || drive_capacity(*drive) < unit.root.capacity) return kTooSmall;
    UnitPlace kept, copy;
    kept.port = unit.root.port;
    copy.port = port;
    kept.capacity = copy.capacity = unit.root.capacity;
    copy.status = kUnitRebuilding;
    UnitPlace root;
    root.type = kUnitTypeRaid1;
    root.status = kUnitRebuilding;
    root.state_member = 1;
    root.progress = kTaskActive;
    root.capacity = unit.root.capacity;
    root.children = {kept, copy};
    unit.root = root;
    forget_unit_settings(m, c, disk_number, nullptr);
    c.units.erase(disk);
    refresh_flags(unit);
    unit_event(m, c, kEventRebuildStarted, kInformation, unit.number);
    return 0;
}

// An OK RAID 1 becomes two single disks: the unit keeps its first drive,
// the second goes to a unit of its own.
uint16_t split(Machine& m, Controller& c, SimUnit& unit) {
    UnitPlace& root = unit.root;
    if ((root.type != kUnitTypeRaid1 && root.type != kRaid1Reported) || root.status != kOk ||
        root.children.size() != 2 || !all_leaves(root) || root.children[0].port < 0 ||
        root.children[1].port < 0)
        return kSplitRefused;
    const int number = free_unit_number(c);
    if (number < 0) return kSplitRefused;
    UnitPlace first, second;
    first.type = second.type = kUnitTypeSingle;
    first.port = root.children[0].port;
    second.port = root.children[1].port;
    first.capacity = second.capacity = root.capacity;
    unit.root = first;
    refresh_flags(unit);
    forget_unit_settings(m, c, number, nullptr);
    c.units[number] = new_unit(number, second);
    return 0;
}

uint16_t unit_change(Machine& m, Controller& c, uint8_t* packet, const uint8_t* data,
                     uint32_t length) {
    if (!list_packet(m, packet)) return kInvalidField;
    auto it = c.units.find(packet[3]);
    if (it == c.units.end()) return kNoSuchUnit;
    switch (packet[10]) {
        case kMigrate: return migrate(m, c, it->second, packet, data, length);
        case kMirror: return mirror(m, c, it->second, packet[11]);
        case kSplit: return split(m, c, it->second);
    }
    return kInvalidField;
}

// The ports of the bitmap of a port scan or import, whose packet size
// follows the firmware level.
bool bitmap_ports(const Machine& m, const Controller& c, const uint8_t* packet,
                  std::vector<int>* ports) {
    uint8_t level[4];
    read_parameter(m, c, 0x8402, 11, level, sizeof level);
    if (packet[1] != (get32(level) > kScanSizeLevel ? 6 : 3)) return false;
    for (int port = 0; port < kPortSlots; ++port)
        if (packet[kBitmap + port / 8] & (1u << (port & 7))) ports->push_back(port);
    return true;
}

// Drives on the scanned ports that are there but not in use come in.
uint16_t port_scan(Machine& m, Controller& c, const uint8_t* packet) {
    std::vector<int> ports;
    if (!bitmap_ports(m, c, packet, &ports)) return kInvalidField;
    for (int port : ports) {
        if (drive_at(c, port) == nullptr || drive_present(c, port)) continue;
        set_port_status(c, port, kOk);
        port_event(m, c, kEventDriveInserted, kInformation, port);
    }
    return 0;
}

// The foreign units whose every drive is in the bitmap, present and free
// come back, under their own number when it is free.
uint16_t import(Machine& m, Controller& c, const uint8_t* packet) {
    std::vector<int> ports;
    if (!bitmap_ports(m, c, packet, &ports)) return kInvalidField;
    for (size_t i = 0; i < c.foreign_units.size();) {
        SimUnit& unit = c.foreign_units[i];
        std::vector<int> theirs;
        leaf_ports(unit.root, &theirs);
        bool whole = !theirs.empty();
        for (int port : theirs)
            whole = whole && port >= 0 &&
                    std::find(ports.begin(), ports.end(), port) != ports.end() &&
                    drive_present(c, port) && unit_holding(c, port) < 0;
        const int number = whole ? free_unit_number(c, unit.number) : -1;
        if (number < 0) {
            ++i;
            continue;
        }
        unit.number = number;
        forget_unit_settings(m, c, number, nullptr);
        c.units[number] = unit;
        c.foreign_units.erase(c.foreign_units.begin() + long(i));
    }
    return 0;
}

uint16_t delete_unit(Machine& m, Controller& c, const uint8_t* packet) {
    const uint8_t mode = packet[7];
    if (packet[1] != 2 || (mode != kDeleteWipe && mode != kDeleteExport && mode != kDeleteTakeApart))
        return kInvalidField;
    auto it = c.units.find(packet[3]);
    if (it == c.units.end()) return kNoSuchUnit;
    SimUnit unit = it->second;
    c.units.erase(it);
    forget_unit_settings(m, c, unit.number, &unit);
    // An exported unit's configuration stays on its drives.
    if (mode == kDeleteExport) c.foreign_units.push_back(unit);
    unit_event(m, c, kEventUnitDeleted, kInformation, unit.number);
    return 0;
}

}  // namespace

namespace unit_ops {

void unit_event(Machine& m, Controller& c, uint16_t code, uint8_t severity, int unit) {
    post_event(m, c, code, severity, "unit=" + std::to_string(unit));
}

void port_event(Machine& m, Controller& c, uint16_t code, uint8_t severity, int port) {
    post_event(m, c, code, severity, "port=" + std::to_string(port));
}

int free_unit_number(const Controller& c, int preferred) {
    if (preferred >= 0 && preferred < kMapUnits && c.units.count(preferred) == 0) return preferred;
    for (int number = 0; number < kMapUnits; ++number)
        if (c.units.count(number) == 0) return number;
    return -1;
}

void forget_unit_settings(Machine& m, Controller& c, int number, SimUnit* keep_in) {
    const uint32_t table = uint32_t(0x8300 + number);
    for (auto it = c.params.begin(); it != c.params.end();) {
        if (it->first >> 16 != table) {
            ++it;
            continue;
        }
        const uint16_t id = uint16_t(it->first & 0xFFFF);
        const uint8_t value = it->second.empty() ? 0 : it->second[0];
        if (keep_in != nullptr && id == 13) keep_in->policy = value;
        if (keep_in != nullptr && id == 20) keep_in->queuing = value;
        if (keep_in != nullptr && id == 29) keep_in->read_cache_mode = value;
        it = c.params.erase(it);
    }
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "param index=%d table=0x%04X ", c.index, table);
    m.persisted.erase(std::remove_if(m.persisted.begin(), m.persisted.end(),
                                     [&](const std::string& line) {
                                         return line.rfind(prefix, 0) == 0;
                                     }),
                      m.persisted.end());
}

bool is_nested(const UnitPlace& place) {
    return place.type == kUnitTypeRaid0 && !place.children.empty() && !is_leaf(place.children[0]);
}

std::vector<UnitPlace*> task_places(UnitPlace& root) {
    std::vector<UnitPlace*> places;
    if (is_nested(root)) {
        for (UnitPlace& sub : root.children) places.push_back(&sub);
    } else {
        places.push_back(&root);
    }
    return places;
}

bool is_running(uint8_t status) {
    return status == kUnitVerifying || status == kUnitInitializing ||
           status == kUnitRebuilding || status == kUnitMigrating;
}

void refresh_flags(SimUnit& unit) {
    if (unit.attrs.count("flags") == 0) unit.flags = default_unit_flags(unit);
}

void set_port_status(Controller& c, int port, uint8_t status) {
    auto it = c.drives.find(port);
    if (it != c.drives.end()) it->second.attrs["status"] = std::to_string(status);
}

}  // namespace unit_ops

bool series_unit_command(Machine& m, Controller& c, uint8_t* packet, const uint8_t* data,
                  uint32_t length, uint16_t* code) {
    bool handled = true;
    switch (packet[0]) {
        case kCreate: *code = create(m, c, packet, data, length); break;
        case kUnitChange: *code = unit_change(m, c, packet, data, length); break;
        case kPortScan: *code = port_scan(m, c, packet); break;
        case kImport: *code = import(m, c, packet); break;
        case kDelete: *code = delete_unit(m, c, packet); break;
        default: *code = maintenance_command(m, c, packet, &handled); break;
    }
    if (handled && *code == 0) persist_units(m, c);
    return handled;
}

}  // namespace sim
