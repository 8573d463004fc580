// The unit store: building units from scenario lines, and everything the
// firmware generates from them (record lists, unit parameters, holders).
#include "sim/units.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "sim/drives.h"
#include "sim/machine.h"

namespace sim {

namespace {

// Unit parameters the model answers (table 0x300 + number).
enum : uint16_t {
    kParamFlags = 3,
    kParamRecordCount = 9,
    kParamRecordSize = 10,
    kParamRecords = 11,
    kParamCapacity = 12,
    kParamPolicy = 13,
    kParamLunCount = 16,
    kParamDestinationCapacity = 19,
    kParamQueuing = 20,
    kParamLunCountWord = 24,
    kParamLunTable = 25,
    kParamReadCacheMode = 29,
};

constexpr uint8_t kFlagExposed = 0x01;
constexpr uint8_t kFlagInService = 0x02;
constexpr uint8_t kFlagInitialised = 0x04;
constexpr uint8_t kReadCacheOff = 0x01;
constexpr uint8_t kWriteCacheOn = 0x04;
constexpr uint8_t kBasicReadCache = 0x20;
constexpr uint16_t kTaskActive = 0x8000;
constexpr uint8_t kInitialisedRecord = 0x80;
constexpr uint8_t kNoPort = 0xFF;
constexpr uint8_t kVolumeRecord = 0x80;
constexpr int kMaxLuns = 255;

enum class Layout { Raid0, Raid1, Raid5, Raid6, Raid10, Raid50, Single, Disk, Spare, Jbod };

struct LayoutName {
    const char* name;
    Layout layout;
};
const LayoutName kLayouts[] = {
    {"raid0", Layout::Raid0},   {"raid1", Layout::Raid1},   {"raid5", Layout::Raid5},
    {"raid6", Layout::Raid6},   {"raid10", Layout::Raid10}, {"raid50", Layout::Raid50},
    {"single", Layout::Single}, {"disk", Layout::Disk},     {"spare", Layout::Spare},
    {"jbod", Layout::Jbod},
};

struct StatusName {
    const char* name;
    uint8_t code;
};
const StatusName kStatuses[] = {
    {"ok", kUnitOk},
    {"verifying", kUnitVerifying},
    {"initializing", kUnitInitializing},
    {"degraded", kUnitDegraded},
    {"rebuilding", kUnitRebuilding},
    {"recovering", kUnitRecovering},
    {"migrating", kUnitMigrating},
    {"inoperable", kUnitInoperable},
};

bool is_grouped(Layout l) { return l == Layout::Raid10 || l == Layout::Raid50; }
bool is_single_drive(Layout l) {
    return l == Layout::Single || l == Layout::Disk || l == Layout::Spare || l == Layout::Jbod;
}
bool is_running(uint8_t status) {
    return status == kUnitVerifying || status == kUnitInitializing ||
           status == kUnitRebuilding || status == kUnitMigrating;
}

uint8_t type_code(Layout l) {
    switch (l) {
        case Layout::Raid0:
        case Layout::Raid10:
        case Layout::Raid50: return kUnitTypeRaid0;
        case Layout::Raid1: return kUnitTypeRaid1;
        case Layout::Raid5: return kUnitTypeRaid5;
        case Layout::Raid6: return kUnitTypeRaid6;
        case Layout::Single: return kUnitTypeSingle;
        case Layout::Disk: return kUnitTypeDisk;
        case Layout::Spare: return kUnitTypeSpare;
        case Layout::Jbod: return kUnitTypeJbod;
    }
    return kUnitTypeDisk;
}

bool fail_with(std::string* why, const char* text) {
    *why = text;
    return false;
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

bool parse_number(const std::string& text, long long* out) {
    if (text.empty()) return false;
    char* end = nullptr;
    *out = std::strtoll(text.c_str(), &end, 0);
    return *end == '\0';
}

// What one scenario line asks for, checked, before the places are built.
class UnitBuilder {
  public:
    UnitBuilder(const Controller& c, const SimUnit& unit, std::string* why)
        : c_(c), unit_(unit), why_(why) {}

    bool layout(const char* key, const char* fallback, Layout* out) {
        const std::string name = attr_text(unit_.attrs, key, fallback);
        for (const LayoutName& l : kLayouts) {
            if (name == l.name) {
                *out = l.layout;
                return true;
            }
        }
        return fail(std::string("unknown unit ") + key + "=" + name);
    }

    // Member ports by group ("0,1/2,3"), -1 for a place without a drive
    // ("-"). Without "/", RAID 10 takes pairs and RAID 50 groups of group=.
    bool groups(const char* key, Layout layout, std::vector<std::vector<int>>* out) {
        out->clear();
        const std::string text = attr_text(unit_.attrs, key);
        if (text.empty()) return check_counts(layout, *out);
        for (const std::string& group : split(text, '/')) {
            out->emplace_back();
            for (const std::string& item : split(group, ',')) {
                long long port = -1;
                if (item != "-" && (!parse_number(item, &port) || port < 0 || port >= kPortSlots))
                    return fail(std::string("bad port \"") + item + "\" in " + key + "=");
                if (port >= 0 && drive_at(c_, int(port)) == nullptr)
                    return fail("port " + item + " in " + key + "= has no drive");
                const int holder = port >= 0 ? unit_holding(c_, int(port)) : -1;
                if (holder >= 0 && holder != unit_.number)
                    return fail("port " + item + " already belongs to unit " +
                                std::to_string(holder));
                out->back().push_back(int(port));
            }
        }
        if (is_grouped(layout) && out->size() == 1) {
            const long long size = layout == Layout::Raid10 ? 2 : attr_number(unit_.attrs, "group", 3);
            std::vector<int> all = out->front();
            out->clear();
            for (size_t i = 0; size > 0 && i < all.size(); i += size_t(size))
                out->emplace_back(all.begin() + long(i),
                                  all.begin() + long(std::min(all.size(), i + size_t(size))));
        }
        return check_counts(layout, *out);
    }

    // Per sub-unit values of a list attribute ("255,223"); one value serves
    // every sub-unit. Statuses by name or number.
    bool values(const char* key, size_t count, bool status, std::vector<long long>* out) {
        out->clear();
        if (!unit_.attrs.count(key)) return true;
        for (const std::string& item : split(unit_.attrs.at(key), ',')) {
            long long v = -1;
            for (const StatusName& s : kStatuses)
                if (status && item == s.name) v = s.code;
            if (v < 0 && (!parse_number(item, &v) || v < 0 || v > 0xFFFF))
                return fail(std::string("bad value \"") + item + "\" in " + key + "=");
            out->push_back(v);
        }
        if (out->size() == 1) out->resize(count, out->front());
        if (out->size() != count)
            return fail(std::string(key) + "= needs one value or one per sub-unit");
        return true;
    }

    bool stripe(const char* key, Layout layout, uint8_t* code) {
        const bool striped = layout == Layout::Raid0 || layout == Layout::Raid5 ||
                             layout == Layout::Raid6 || is_grouped(layout);
        const long long kib = attr_number(unit_.attrs, key, striped ? 64 : 0);
        *code = 0;
        if (kib == 0) return true;
        for (uint8_t c = 1; c <= 16; ++c)
            if ((1ll << (c - 1)) == kib) *code = c;
        return *code != 0 || fail(std::string("bad ") + key + "=: a power of two KiB");
    }

    bool fail(const std::string& text) {
        *why_ = text;
        return false;
    }

  private:
    bool check_counts(Layout layout, const std::vector<std::vector<int>>& groups) {
        size_t members = 0;
        for (const auto& g : groups) members += g.size();
        if (members == 0) return true;  // a unit whose drives the scenario leaves out
        bool ok = true;
        switch (layout) {
            case Layout::Raid0: ok = groups.size() == 1; break;
            case Layout::Raid1: ok = groups.size() == 1 && members == 2; break;
            case Layout::Raid5: ok = groups.size() == 1 && members >= 3; break;
            case Layout::Raid6: ok = groups.size() == 1 && members >= 4; break;
            case Layout::Raid10:
            case Layout::Raid50:
                ok = groups.size() >= 2;
                for (const auto& g : groups)
                    ok = ok && (layout == Layout::Raid10 ? g.size() == 2 : g.size() >= 3);
                break;
            default: ok = groups.size() == 1 && members == 1; break;
        }
        return ok || fail("wrong number of drives for the unit's type");
    }

    const Controller& c_;
    const SimUnit& unit_;
    std::string* why_;
};

// The smallest capacity among the present drives of the groups.
uint64_t member_size(const Controller& c, const std::vector<std::vector<int>>& groups) {
    uint64_t size = 0;
    for (const auto& g : groups)
        for (int port : g)
            if (const SimObject* d = port >= 0 ? drive_at(c, port) : nullptr)
                size = size == 0 ? drive_capacity(*d) : std::min(size, drive_capacity(*d));
    return size;
}

uint64_t data_capacity(Layout layout, size_t members, uint64_t size) {
    switch (layout) {
        case Layout::Raid0: return members * size;
        case Layout::Raid5: return (members - 1) * size;
        case Layout::Raid6: return (members - 2) * size;
        default: return size;
    }
}

UnitPlace member_place(const Controller& c, int port, uint64_t size) {
    UnitPlace place;
    place.type = kUnitTypeDisk;
    place.port = port;
    const SimObject* d = port >= 0 ? drive_at(c, port) : nullptr;
    place.capacity = d != nullptr ? drive_capacity(*d) : size;
    place.status = d != nullptr ? kUnitOk : kUnitInoperable;
    return place;
}

// The status a layout reports by itself, naming its first empty place:
// degraded (RAID 6: its task record names the second), or inoperable with
// more empty places than it can lose.
void derive_state(Layout layout, UnitPlace* place) {
    std::vector<uint8_t> missing;
    for (size_t i = 0; i < place->children.size(); ++i)
        if (place->children[i].port < 0) missing.push_back(uint8_t(i));
    const size_t tolerated = layout == Layout::Raid6 ? 2 : layout == Layout::Raid0 ? 0 : 1;
    if (missing.empty()) return;
    place->state_member = missing[0];
    if (missing.size() > tolerated) {
        place->status = kUnitInoperable;
        return;
    }
    place->status = kUnitDegraded;
    if (missing.size() == 2 && !place->tasks.empty()) {
        place->tasks[0].status = kUnitDegraded;
        place->tasks[0].state_member = missing[1];
    }
}

// The places of one layout over its groups of member ports.
UnitPlace build_layout(const Controller& c, Layout layout,
                       const std::vector<std::vector<int>>& groups, uint8_t stripe) {
    const uint64_t size = member_size(c, groups);
    UnitPlace root;
    root.type = type_code(layout);
    root.stripe_code = stripe;
    if (is_single_drive(layout)) {
        root.port = groups.empty() || groups[0].empty() ? -1 : groups[0][0];
        root.capacity = size;
        return root;
    }
    if (is_grouped(layout)) {
        // RAID 10 keeps its stripe in its top record, RAID 50 in its RAID 5
        // sub-units.
        const Layout sub = layout == Layout::Raid10 ? Layout::Raid1 : Layout::Raid5;
        const uint8_t sub_stripe = layout == Layout::Raid50 ? stripe : 0;
        if (layout == Layout::Raid50) root.stripe_code = 0;
        for (const auto& g : groups) {
            root.children.push_back(build_layout(c, sub, {g}, sub_stripe));
            root.capacity += root.children.back().capacity;
        }
        return root;
    }
    const std::vector<int> none;
    const std::vector<int>& ports = groups.empty() ? none : groups[0];
    for (int port : ports) root.children.push_back(member_place(c, port, size));
    if (layout == Layout::Raid6) {
        UnitPlace task;
        task.type = kUnitTypeTask;
        root.tasks.push_back(task);
    }
    root.capacity = ports.empty() ? 0 : data_capacity(layout, ports.size(), size);
    derive_state(layout, &root);
    return root;
}

void set_task_flag(UnitPlace* place, bool paused) {
    place->progress = uint16_t((place->progress & 0x7FFF) |
                               (is_running(place->status) && !paused ? kTaskActive : 0));
}

bool any_uninitialised(const UnitPlace& place) {
    if (!place.initialized) return true;
    for (const UnitPlace& child : place.children)
        if (!child.children.empty() && any_uninitialised(child)) return true;
    return false;
}

void emit(const UnitPlace& place, int depth, std::vector<uint8_t>* out) {
    uint8_t record[kUnitRecordSize] = {};
    record[0] = uint8_t(place.children.size());
    record[1] = place.type;
    record[2] = place.stripe_code;
    record[3] = !place.children.empty() ? place.state_member
                : place.port < 0        ? kNoPort
                                        : uint8_t(place.port);
    record[5] = place.status;
    put16(record + 6, place.progress);
    put32(record + 12, uint32_t(place.capacity));
    put16(record + 16, uint16_t(place.capacity >> 32));
    record[18] = uint8_t(place.tasks.size());
    const bool member = depth > 1 && place.children.empty();
    record[19] = place.initialized && !member ? kInitialisedRecord : 0;
    out->insert(out->end(), record, record + kUnitRecordSize);
    // Task records follow their unit record; byte 18 of each tells how many
    // places on the unit's first member lies.
    for (size_t k = 0; k < place.tasks.size(); ++k) {
        const UnitPlace& t = place.tasks[k];
        uint8_t task[kUnitRecordSize] = {};
        task[1] = kUnitTypeTask;
        task[3] = t.state_member;
        task[5] = t.status;
        put16(task + 6, t.progress);
        task[18] = uint8_t(place.tasks.size() - k);
        out->insert(out->end(), task, task + kUnitRecordSize);
    }
    for (const UnitPlace& child : place.children) emit(child, depth + 1, out);
}

bool holds_port(const UnitPlace& place, int port) {
    if (place.children.empty()) return place.port == port;
    for (const UnitPlace& child : place.children)
        if (holds_port(child, port)) return true;
    return false;
}

// The status, member and progress of a place (or of each sub-unit of a
// grouped unit) that the scenario gives, and the task flag.
bool apply_state(UnitBuilder& b, Layout layout, UnitPlace* root) {
    std::vector<UnitPlace*> targets;
    if (is_grouped(layout)) {
        for (UnitPlace& sub : root->children) targets.push_back(&sub);
    } else {
        targets.push_back(root);
    }
    std::vector<long long> status, member, progress, paused, initialized;
    if (!b.values("status", targets.size(), true, &status) ||
        !b.values("member", targets.size(), false, &member) ||
        !b.values("progress", targets.size(), false, &progress) ||
        !b.values("paused", targets.size(), false, &paused) ||
        !b.values("initialized", targets.size(), false, &initialized))
        return false;
    for (size_t i = 0; i < targets.size(); ++i) {
        UnitPlace* t = targets[i];
        if (!status.empty()) t->status = uint8_t(status[i]);
        if (!member.empty()) t->state_member = uint8_t(member[i]);
        if (!progress.empty()) t->progress = uint16_t(progress[i]);
        t->initialized = initialized.empty() ? t->status != kUnitInitializing : initialized[i] != 0;
        set_task_flag(t, !paused.empty() && paused[i] != 0);
    }
    if (!root->tasks.empty()) {
        UnitPlace& task = root->tasks[0];
        std::vector<long long> v;
        if (!b.values("task-status", 1, true, &v)) return false;
        if (!v.empty()) task.status = uint8_t(v[0]);
        if (!b.values("task-member", 1, false, &v)) return false;
        if (!v.empty()) task.state_member = uint8_t(v[0]);
        if (!b.values("task-progress", 1, false, &v)) return false;
        if (!v.empty()) task.progress = uint16_t(v[0]);
        set_task_flag(&task, !paused.empty() && paused[0] != 0);
    }
    if (is_grouped(layout)) root->initialized = !any_uninitialised(*root);
    return true;
}

bool configure_luns(UnitBuilder& b, SimUnit* unit) {
    const Attrs& a = unit->attrs;
    std::vector<std::string> sizes;
    if (a.count("lun-sizes")) sizes = split(a.at("lun-sizes"), ',');
    const long long count = sizes.empty() ? attr_number(a, "luns", 1) : (long long)sizes.size();
    if (count < 0 || count > kMaxLuns) return b.fail("bad luns=");
    unit->luns.assign(size_t(count), UnitLun{});
    for (size_t i = 0; i < unit->luns.size(); ++i) {
        UnitLun& lun = unit->luns[i];
        lun.sectors = unit->root.capacity / uint64_t(count);
        if (i < sizes.size()) {
            long long v = 0;
            lun.used = sizes[i] != "-";
            if (lun.used && (!parse_number(sizes[i], &v) || v < 0))
                return b.fail("bad size \"" + sizes[i] + "\" in lun-sizes=");
            lun.sectors = lun.used ? uint64_t(v) : 0;
        }
    }
    std::vector<long long> attributes;
    if (!b.values("lun-attributes", unit->luns.size(), false, &attributes)) return false;
    for (size_t i = 0; i < attributes.size(); ++i) unit->luns[i].attribute = uint8_t(attributes[i]);
    return true;
}

bool configure_settings(UnitBuilder& b, SimUnit* unit) {
    const Attrs& a = unit->attrs;
    unit->flags = uint8_t(attr_number(a, "flags", default_unit_flags(*unit)));
    unit->policy = attr_number(a, "write-cache", 1) != 0 ? kWriteCacheOn : 0;
    const std::string read_cache = attr_text(a, "read-cache", "intelligent");
    if (read_cache == "off") {
        unit->policy |= kReadCacheOff;
        unit->read_cache_mode = kBasicReadCache;
    } else if (read_cache == "basic") {
        unit->read_cache_mode = kBasicReadCache;
    } else if (read_cache == "intelligent") {
        unit->read_cache_mode = 0;
    } else {
        return b.fail("bad read-cache=" + read_cache);
    }
    unit->queuing = uint8_t(attr_number(a, "queuing", 1));
    unit->attached = attr_number(a, "attached", 1) != 0;
    return true;
}

bool parse_place(const uint8_t* records, size_t count, size_t* pos, int depth, UnitPlace* out,
                 std::string* why) {
    if (depth > 4) return fail_with(why, "the unit's tree is deeper than four levels");
    if (*pos >= count) return fail_with(why, "the record list ends inside the unit");
    const uint8_t* r = records + *pos * kUnitRecordSize;
    ++*pos;
    if (r[1] == kUnitTypeTask || r[1] == kVolumeRecord || r[1] == 0xFF)
        return fail_with(why, "a task, volume or end record where a place belongs");
    UnitPlace place;
    place.type = r[1];
    place.stripe_code = r[2];
    place.status = r[5];
    place.progress = get16(r + 6);
    place.capacity = get32(r + 12) | uint64_t(get16(r + 16)) << 32;
    place.initialized = (r[19] & kInitialisedRecord) != 0;
    if (r[0] == 0) {
        place.port = r[3] == kNoPort ? -1 : r[3];
    } else {
        place.state_member = r[3];
    }
    for (int k = 0; k < r[18]; ++k) {
        if (*pos >= count || records[*pos * kUnitRecordSize + 1] != kUnitTypeTask)
            return fail_with(why, "a RAID 6 unit without its task records");
        const uint8_t* t = records + (*pos)++ * kUnitRecordSize;
        UnitPlace task;
        task.type = kUnitTypeTask;
        task.status = t[5];
        task.state_member = t[3];
        task.progress = get16(t + 6);
        place.tasks.push_back(task);
    }
    for (int i = 0; i < r[0]; ++i) {
        UnitPlace child;
        if (!parse_place(records, count, pos, depth + 1, &child, why)) return false;
        place.children.push_back(child);
    }
    *out = place;
    return true;
}

void collect_ports(const UnitPlace& place, std::vector<int>* ports) {
    if (place.children.empty() && place.port >= 0) ports->push_back(place.port);
    for (const UnitPlace& child : place.children) collect_ports(child, ports);
}

// A unit exactly as its record list gives it (the state file keeps units
// this way); its drives declared and in no other unit.
bool records_layout(UnitBuilder& b, const Controller& c, const SimUnit& unit, SimUnit* built) {
    std::vector<uint8_t> bytes;
    if (!decode_hex(attr_text(unit.attrs, "records"), &bytes) || bytes.empty() ||
        bytes.size() % kUnitRecordSize != 0)
        return b.fail("bad records=: whole 20-byte records in hex");
    std::string why;
    size_t used = 0;
    const size_t count = bytes.size() / kUnitRecordSize;
    if (!parse_unit_records(bytes.data(), count, &built->root, &used, &why))
        return b.fail("records=: " + why);
    if (used != count) return b.fail("records=: records after the unit's tree");
    std::vector<int> ports;
    collect_ports(built->root, &ports);
    for (int port : ports) {
        const int holder = unit_holding(c, port);
        if (drive_at(c, port) == nullptr)
            return b.fail("records=: port " + std::to_string(port) + " has no drive");
        if (holder >= 0 && holder != unit.number)
            return b.fail("records=: port " + std::to_string(port) + " already belongs to unit " +
                          std::to_string(holder));
    }
    const UnitPlace& root = built->root;
    built->destination_capacity =
        root.type == kUnitTypeMigrating && root.children.size() == 2 ? root.children[1].capacity : 0;
    return true;
}

// A unit as its type, drives, state and migration attributes describe it.
bool described_layout(UnitBuilder& b, const Controller& c, const SimUnit& unit, SimUnit* out) {
    Layout layout;
    std::vector<std::vector<int>> groups;
    uint8_t stripe;
    if (!b.layout("type", "single", &layout) || !b.groups("drives", layout, &groups) ||
        !b.stripe("stripe", layout, &stripe))
        return false;
    SimUnit& built = *out;
    built.root = build_layout(c, layout, groups, stripe);
    if (!unit.attrs.count("from")) {
        if (!apply_state(b, layout, &built.root)) return false;
    } else {
        // A unit being migrated: the old layout is sub-unit 0, the new one
        // sub-unit 1; status and progress are the migration's.
        Layout from;
        std::vector<std::vector<int>> from_groups;
        uint8_t from_stripe;
        if (!b.layout("from", "single", &from) || !b.groups("from-drives", from, &from_groups) ||
            !b.stripe("from-stripe", from, &from_stripe))
            return false;
        UnitPlace root;
        root.type = kUnitTypeMigrating;
        root.status = kUnitMigrating;
        if (!apply_state(b, Layout::Single, &root)) return false;
        UnitPlace& destination = built.root;
        if (destination.status == kUnitOk) destination.status = kUnitMigrating;
        destination.progress = root.progress;
        built.destination_capacity = destination.capacity;
        root.children.push_back(build_layout(c, from, from_groups, from_stripe));
        root.children.push_back(destination);
        root.capacity = root.children[0].capacity;
        built.root = root;
    }
    return true;
}

}  // namespace

bool parse_unit_records(const uint8_t* records, size_t count, UnitPlace* root, size_t* used,
                        std::string* why) {
    size_t pos = 0;
    if (!parse_place(records, count, &pos, 1, root, why)) return false;
    *used = pos;
    return true;
}

uint8_t default_unit_flags(const SimUnit& unit) {
    return uint8_t((unit_exposed(unit) ? kFlagExposed : 0) | kFlagInService |
                   (unit.root.initialized ? kFlagInitialised : 0));
}

bool carries_foreign_unit(const Controller& c, int port) {
    for (const SimUnit& u : c.foreign_units)
        if (holds_port(u.root, port)) return true;
    return false;
}

bool apply_unit_line(Controller& c, int number, Attrs& attrs, std::string* why) {
    if (attrs.count("foreign")) {
        const bool foreign = attr_number(attrs, "foreign", 0) != 0;
        attrs.erase("foreign");
        SimUnit u;
        u.number = number;
        u.attrs = attrs;
        if (foreign) {
            if (!configure_unit(c, u, why)) return false;
            std::vector<int> ports;
            collect_ports(u.root, &ports);
            for (int port : ports) {
                if (carries_foreign_unit(c, port)) {
                    *why = "port " + std::to_string(port) + " already carries a foreign unit";
                    return false;
                }
            }
            c.foreign_units.push_back(u);
            return true;
        }
    }
    const bool added = c.units.count(number) == 0;
    SimUnit& u = c.units[number];
    u.number = number;
    const Attrs before = u.attrs;
    // A line that describes the layout anew replaces a record list.
    if (attrs.count("type") || attrs.count("drives")) u.attrs.erase("records");
    for (auto& kv : attrs) u.attrs[kv.first] = kv.second;
    if (configure_unit(c, u, why)) return true;
    // A refused line changes nothing.
    if (added) {
        c.units.erase(number);
    } else {
        u.attrs = before;
    }
    return false;
}

bool configure_unit(Controller& c, SimUnit& unit, std::string* why) {
    UnitBuilder b(c, unit, why);
    SimUnit built = unit;
    built.destination_capacity = 0;
    if (unit.attrs.count("records")) {
        if (!records_layout(b, c, unit, &built)) return false;
    } else if (!described_layout(b, c, unit, &built)) {
        return false;
    }
    const long long capacity = attr_number(unit.attrs, "capacity", -1);
    if (capacity >= 0) built.root.capacity = uint64_t(capacity);
    if (!configure_luns(b, &built) || !configure_settings(b, &built)) return false;
    unit = built;
    return true;
}


std::vector<uint8_t> unit_records(const SimUnit& unit) {
    std::vector<uint8_t> records;
    emit(unit.root, 1, &records);
    return records;
}

bool unit_parameter(const SimUnit& unit, uint16_t id, uint8_t* out, size_t size) {
    auto put = [&](uint64_t v) {
        for (size_t i = 0; i < size && i < 8; ++i) out[i] = uint8_t(v >> (8 * i));
        return true;
    };
    switch (id) {
        case kParamFlags: return put(unit.flags);
        case kParamRecordCount: return put(unit_records(unit).size() / kUnitRecordSize);
        case kParamRecordSize: return put(kUnitRecordSize);
        case kParamRecords: {
            const std::vector<uint8_t> records = unit_records(unit);
            std::memcpy(out, records.data(), std::min(size, records.size()));
            return true;
        }
        case kParamCapacity: return put(unit.root.capacity);
        case kParamPolicy: return put(unit.policy);
        case kParamLunCount:
        case kParamLunCountWord: return put(unit.luns.size());
        case kParamDestinationCapacity: return put(unit.destination_capacity);
        case kParamQueuing: return put(unit.queuing);
        case kParamReadCacheMode: return put(unit.read_cache_mode);
        case kParamLunTable:
            // 20-byte entries: in use (byte 1 = 0x80), attribute, size at 12.
            for (size_t i = 0; i < unit.luns.size() && (i + 1) * kUnitRecordSize <= size; ++i) {
                uint8_t* entry = out + i * kUnitRecordSize;
                entry[0] = uint8_t(i);
                entry[1] = unit.luns[i].used ? 0x80 : 0;
                entry[2] = unit.luns[i].attribute;
                for (int b = 0; b < 8; ++b) entry[12 + b] = uint8_t(unit.luns[i].sectors >> (8 * b));
            }
            return true;
    }
    return false;
}

long unit_parameter_size(const SimUnit& unit, uint16_t id, uint16_t record_count) {
    if (id == kParamRecords) return long(record_count) * long(kUnitRecordSize);
    if (id == kParamLunTable) return long(unit.luns.size() * kUnitRecordSize);
    return -1;
}

int unit_holding(const Controller& c, int port) {
    for (const auto& u : c.units)
        if (holds_port(u.second.root, port)) return u.first;
    return -1;
}

bool unit_exposed(const SimUnit& unit) {
    return unit.root.type != kUnitTypeDisk && unit.root.type != kUnitTypeSpare;
}

}  // namespace sim
