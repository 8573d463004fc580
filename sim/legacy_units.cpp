// The first-series firmware's unit store: units built from the scenario's
// unit lines, each unit's members, masks, status byte and progress, drive
// failures, and the control lines that fail a drive or move the background
// tasks on.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "sim/machine.h"

namespace sim {

namespace legacy {

namespace {

// Descriptor layout.
constexpr size_t kMembers = 12, kRecord = 12, kMirrorStatus = 14, kMirrors = 24, kMirror = 36;
constexpr size_t kMirrorStatusBytes = 10;

void store16(std::vector<uint8_t>& d, size_t at, uint16_t v) {
    if (at + 2 <= d.size()) put16(&d[at], v);
}

// Where member bit's record starts (its port at +2, its capacity at +8).
size_t member_offset(const LegacyUnit& u, int bit) {
    if (is_single(unit_type(u))) return 0;
    if (unit_type(u) != kRaid10) return kMembers + size_t(bit) * kRecord;
    return kMirrors + size_t(bit / 2) * kMirror + kMembers + size_t(bit % 2) * kRecord;
}

uint8_t mirror_status(const LegacyUnit& u, int mirror) {
    const uint16_t bits = uint16_t(3u << (2 * mirror));
    if ((u.rebuilding & bits) != 0) return 0xDF;
    if ((u.failed & bits) != 0) return 0xEF;
    if (u.task == LegacyTask::Verify) return 0xFB;
    if (u.task == LegacyTask::Initialize) return 0xF7;
    return 0xFF;
}

}  // namespace

uint8_t unit_type(const LegacyUnit& u) { return u.descriptor.size() > 1 ? u.descriptor[1] : 0xFF; }

bool is_redundant(uint8_t type) {
    return type == kRaid1 || type == kRaid1Created || type == kRaid5 || type == kRaid10;
}

bool is_single(uint8_t type) {
    return type == kDisk || type == kSpare || type == kDiskReadBack || type == kJbod;
}

int member_count(const LegacyUnit& u) {
    if (u.descriptor.empty()) return 0;
    if (is_single(unit_type(u))) return 1;
    const int count = unit_type(u) == kRaid10 ? 2 * u.descriptor[0] : u.descriptor[0];
    return count > 16 ? 16 : count;
}

uint8_t member_port(const LegacyUnit& u, int bit) {
    const size_t at = member_offset(u, bit) + 2;
    return at < u.descriptor.size() ? u.descriptor[at] : kNoPort;
}

void set_member_port(LegacyUnit& u, int bit, uint8_t port) {
    const size_t at = member_offset(u, bit) + 2;
    if (at < u.descriptor.size()) u.descriptor[at] = port;
}

uint32_t member_share(const LegacyUnit& u, int bit) {
    const size_t at = member_offset(u, bit) + 8;
    return at + 4 <= u.descriptor.size() ? get32(&u.descriptor[at]) : 0;
}

uint16_t redundancy_group(const LegacyUnit& u, int bit) {
    if (unit_type(u) == kRaid10) return uint16_t(3u << (2 * (bit / 2)));
    return uint16_t((1u << member_count(u)) - 1);
}

uint8_t raw_status(const LegacyUnit& u) {
    uint8_t code = 255;
    if (u.rebuilding != 0)
        code = 223;
    else if (u.failed != 0)
        code = 239;
    else if (u.task == LegacyTask::Verify)
        code = 251;
    else if (u.task == LegacyTask::Initialize)
        code = 247;
    return u.exposed ? code : uint8_t(code - 1);
}

void refresh(LegacyUnit& u) {
    const uint8_t type = unit_type(u);
    if (is_single(type)) return;
    store16(u.descriptor, 3, u.failed);
    if (type != kRaid10) return;
    for (int m = 0; m < u.descriptor[0]; ++m) {
        store16(u.descriptor, kMirrors + size_t(m) * kMirror + 3,
                uint16_t(u.failed >> (2 * m) & 3));
        if (size_t(m) < kMirrorStatusBytes && kMirrorStatus + size_t(m) < u.descriptor.size())
            u.descriptor[kMirrorStatus + size_t(m)] = mirror_status(u, m);
    }
}

void progress_values(const LegacyUnit& u, uint16_t* values) {
    std::memset(values, 0, 8 * sizeof *values);
    const bool running = u.rebuilding != 0 || u.task != LegacyTask::None;
    if (!running) return;
    if (unit_type(u) != kRaid10) {
        values[0] = u.progress;
        return;
    }
    for (int m = 0; m < u.descriptor[0] && m < 8; ++m) {
        const uint8_t status = mirror_status(u, m);
        if (status == 0xDF || status == 0xFB || status == 0xF7) values[m] = u.progress;
    }
}

int owner_of(const LegacyStore& s, int port, int* bit) {
    for (const auto& entry : s.units) {
        for (int b = 0; b < member_count(entry.second); ++b) {
            if (member_port(entry.second, b) != port) continue;
            if (bit != nullptr) *bit = b;
            return entry.first;
        }
    }
    return -1;
}

int free_unit_number(const LegacyStore& s) {
    for (int n = 0; n < kUnits; ++n)
        if (s.units.count(n) == 0) return n;
    return -1;
}

uint32_t drive_capacity(const Controller& c, int port) {
    auto it = c.drives.find(port);
    if (it == c.drives.end()) return 0;
    auto cap = it->second.attrs.find("capacity");
    const unsigned long long v = cap == it->second.attrs.end()
                                     ? 488397168ull
                                     : std::strtoull(cap->second.c_str(), nullptr, 0);
    return v > 0xFFFFFFFFull ? 0xFFFFFFFFu : uint32_t(v);
}

void queue_event(Machine& m, Controller& c, uint16_t code, uint8_t parameter) {
    SimEvent e;
    e.sequence = c.next_sequence++;
    e.time = uint32_t(m.now_us() / 1000000 + 1700000000u);
    e.code = code;
    e.param = parameter;
    c.events.push_back(e);
    while (c.events.size() > 256) c.events.pop_front();
    ++m.events_version;
}

void fail_member(Machine& m, Controller& c, int number, int bit) {
    LegacyUnit& u = c.legacy.units[number];
    const uint16_t mask = uint16_t(1u << bit);
    u.replaced &= uint16_t(~mask);
    u.rebuilding &= uint16_t(~mask);
    u.verify_pending = false;
    u.task = LegacyTask::None;
    if ((u.failed & mask) == 0) {
        u.failed |= mask;
        queue_event(m, c, kEventUnitDegraded, uint8_t(number));
    }
    refresh(u);
}

}  // namespace legacy

using namespace legacy;

namespace {

struct TypeName {
    const char* name;
    uint8_t type;
};
const TypeName kTypeNames[] = {
    {"raid0", kRaid0}, {"raid1", kRaid1Created}, {"raid5", kRaid5}, {"raid10", kRaid10},
    {"disk", kDisk},   {"spare", kSpare},        {"jbod", kJbod},
};

std::string attr(const Attrs& a, const char* key, const char* fallback = "") {
    auto it = a.find(key);
    return it == a.end() ? fallback : it->second;
}

bool number_of(const std::string& text, long* out) {
    if (text.empty()) return false;
    char* end = nullptr;
    *out = std::strtol(text.c_str(), &end, 0);
    return *end == '\0';
}

bool ports_of(const std::string& text, std::vector<int>* out) {
    size_t start = 0;
    while (start < text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        long port;
        if (!number_of(text.substr(start, comma - start), &port) || port < 0 || port >= kPorts)
            return false;
        out->push_back(int(port));
        start = comma + 1;
    }
    return true;
}

void put_record(std::vector<uint8_t>& d, size_t at, uint8_t port, uint8_t index, uint32_t share) {
    d[at + 1] = kDisk;
    d[at + 2] = port;
    d[at + 3] = index;
    put32(&d[at + 8], share);
}

// The descriptor of a unit over the given ports, with the capacities that
// CreateUnit would have given it.
std::vector<uint8_t> build_descriptor(const Controller& c, uint8_t type, uint8_t stripe,
                                      const std::vector<int>& ports) {
    if (is_single(type)) {
        std::vector<uint8_t> d(12, 0);
        d[1] = type;
        d[2] = uint8_t(ports[0]);
        put32(&d[8], drive_capacity(c, ports[0]));
        return d;
    }
    uint64_t smallest = UINT64_MAX;
    for (int p : ports) smallest = std::min<uint64_t>(smallest, drive_capacity(c, p));
    const uint64_t each = smallest > 2048 ? smallest - 2048 : 0;
    const int n = int(ports.size());
    const int data = type == kRaid0 ? n : type == kRaid5 ? n - 1 : type == kRaid10 ? n / 2 : 1;
    uint64_t total = std::min<uint64_t>(each * uint64_t(data), 0xFFFFFFFFull);
    if (type != kRaid1Created) total -= total % (uint64_t(data) << stripe);
    const uint32_t share = uint32_t(total / uint64_t(data));
    std::vector<uint8_t> d;
    if (type != kRaid10) {
        d.assign(kMembers + size_t(n) * kRecord, 0);
        d[0] = uint8_t(n);
        for (int i = 0; i < n; ++i)
            put_record(d, kMembers + size_t(i) * kRecord, uint8_t(ports[size_t(i)]), uint8_t(i),
                       share);
    } else {
        d.assign(kMirrors + size_t(n / 2) * kMirror, 0);
        d[0] = uint8_t(n / 2);
        d[12] = 0xFF;
        std::memset(&d[kMirrorStatus], 0xFF, kMirrorStatusBytes);
        for (int m = 0; m < n / 2; ++m) {
            const size_t mirror = kMirrors + size_t(m) * kMirror;
            d[mirror] = 2;
            d[mirror + 1] = kRaid1Created;
            put32(&d[mirror + 8], uint32_t(std::min<uint64_t>(each, 0xFFFFFFFFull)));
            for (int k = 0; k < 2; ++k)
                put_record(d, mirror + kMembers + size_t(k) * kRecord,
                           uint8_t(ports[size_t(2 * m + k)]), uint8_t(k), share);
        }
    }
    d[1] = type;
    d[2] = type == kRaid1Created ? 0 : stripe;
    put32(&d[8], uint32_t(total));
    return d;
}

bool count_fits(uint8_t type, size_t n) {
    switch (type) {
        case kRaid0:
            return n >= 2;
        case kRaid1Created:
            return n == 2;
        case kRaid5:
            return n >= 3;
        case kRaid10:
            return n >= 4 && n % 2 == 0;
        default:
            return n == 1;
    }
}

// A unit line: type=, drives=, stripe= (KiB), status=, failed= (ports),
// progress= (percent), exposed=, write-cache=.
bool unit_from_line(const Controller& c, const Attrs& line, LegacyUnit* u, std::string* why) {
    const std::string type_name = attr(line, "type", "raid1");
    long type = -1;
    for (const TypeName& t : kTypeNames)
        if (type_name == t.name) type = t.type;
    std::vector<int> ports, failed;
    if (type < 0) {
        *why = "unknown unit type " + type_name;
        return false;
    }
    if (!ports_of(attr(line, "drives"), &ports) || !count_fits(uint8_t(type), ports.size())) {
        *why = "a " + type_name + " unit cannot be made of drives=" + attr(line, "drives");
        return false;
    }
    for (int p : ports) {
        if (c.drives.count(p) == 0) {
            *why = "no drive on port " + std::to_string(p);
            return false;
        }
    }
    long kib = 64;
    number_of(attr(line, "stripe", "64"), &kib);
    uint8_t stripe = 1;
    while (stripe < 12 && (1L << (stripe - 1)) != kib) ++stripe;
    if (stripe < 4 || stripe > 11) {
        *why = "stripe= must be 8 to 1024 KiB, a power of two";
        return false;
    }
    u->descriptor = build_descriptor(c, uint8_t(type), stripe, ports);
    if (!ports_of(attr(line, "failed"), &failed)) {
        *why = "bad failed=" + attr(line, "failed");
        return false;
    }
    for (int p : failed) {
        int bit = -1;
        for (int b = 0; b < member_count(*u); ++b)
            if (member_port(*u, b) == p) bit = b;
        if (bit < 0) {
            *why = "failed port " + std::to_string(p) + " is no member";
            return false;
        }
        u->failed |= uint16_t(1u << bit);
    }
    const std::string status = attr(line, "status", "ok");
    if (status == "rebuilding") u->rebuilding = u->failed;
    if (status == "verifying") u->task = LegacyTask::Verify;
    if (status == "initializing") u->task = LegacyTask::Initialize;
    const bool known = status == "ok" || status == "degraded" || status == "rebuilding" ||
                       status == "verifying" || status == "initializing";
    if (!known || ((status == "degraded" || status == "rebuilding") != (u->failed != 0))) {
        *why = "status=" + status + " does not go with failed=" + attr(line, "failed");
        return false;
    }
    long percent = 0, exposed = is_single(uint8_t(type)) && type != kJbod ? 0 : 1, cache = 1;
    number_of(attr(line, "progress", "0"), &percent);
    number_of(attr(line, "exposed", exposed ? "1" : "0"), &exposed);
    number_of(attr(line, "write-cache", "1"), &cache);
    u->progress = uint16_t(percent < 0 ? 0 : percent > 100 ? 1000 : percent * 10);
    u->exposed = exposed != 0;
    u->write_cache = cache != 0 ? 1 : 0;
    refresh(*u);
    return true;
}

// Every running task moves on by tenths of a percent; a task that reaches
// the end completes.
void advance(Machine& m, Controller& c, uint16_t tenths) {
    for (auto& entry : c.legacy.units) {
        LegacyUnit& u = entry.second;
        const uint8_t number = uint8_t(entry.first);
        if (u.rebuilding == 0 && u.task == LegacyTask::None) continue;
        u.progress = uint16_t(std::min<int>(1000, u.progress + tenths));
        if (u.progress < 1000) continue;
        u.progress = 0;
        if (u.rebuilding != 0) {
            u.failed &= uint16_t(~u.rebuilding);
            u.rebuilding = 0;
            queue_event(m, c, kEventRebuildDone, number);
        } else {
            queue_event(m, c, u.task == LegacyTask::Verify ? kEventVerifyDone : kEventInitDone,
                        number);
            u.task = LegacyTask::None;
        }
        refresh(u);
    }
}

}  // namespace

void legacy_drive_line(Controller& c, int port) {
    auto drive = c.drives.find(port);
    if (port < 0 || port >= kPorts || drive == c.drives.end()) return;
    const Attrs& a = drive->second.attrs;
    c.legacy.drive_state[port] = attr(a, "added", "1") == "0"    ? 0
                                 : attr(a, "failed", "0") == "1" ? kFailedDrive
                                                                 : kHealthy;
}

bool legacy_unit_line(Machine& m, Controller& c, long number, const Attrs& attrs,
                      std::string* why) {
    if (number < 0 || number >= kUnits) {
        *why = "first-series unit numbers are 0 to 15";
        return false;
    }
    LegacyUnit u;
    if (!unit_from_line(c, attrs, &u, why)) return false;
    LegacyStore& s = c.legacy;
    if (attr(attrs, "foreign", "0") == "1") {
        s.foreign.push_back(ForeignUnit{int(number), u});
        return true;
    }
    // A drive the unit counts failed and is still there reports errors; one
    // being rebuilt is the healthy replacement.
    for (int b = 0; b < member_count(u); ++b) {
        const uint8_t port = member_port(u, b);
        if ((u.failed & ~u.rebuilding) >> b & 1 && port < kPorts && s.drive_state[port] != 0)
            s.drive_state[port] = kFailedDrive;
    }
    s.units[int(number)] = u;
    // The machine starts with the devices of the units the system sees.
    if (!m.scsi_devices_seeded && u.exposed) m.scsi_devices.push_back({c.index, 0, int(number), 0});
    return true;
}

bool legacy_unit_exists(const Controller& c, int number) {
    return c.legacy.units.count(number) != 0;
}

bool legacy_control(Machine& m, Controller& c, const std::string& command, Attrs& args,
                    std::string* why) {
    if (c.series() != Series::First) {
        *why = command + " needs a first-series controller";
        return false;
    }
    if (command == "advance") {
        long percent = 0;
        if (!number_of(attr(args, "percent"), &percent) || percent <= 0) {
            *why = "advance needs percent= above 0";
            return false;
        }
        advance(m, c, uint16_t(std::min<long>(percent, 100) * 10));
        return true;
    }
    long port = -1;
    if (!number_of(attr(args, "port"), &port) || port < 0 || port >= kPorts ||
        c.legacy.drive_state[port] == 0) {
        *why = "fail-drive needs port= of a present drive";
        return false;
    }
    c.legacy.drive_state[port] = kFailedDrive;
    queue_event(m, c, kEventDriveError, uint8_t(port));
    int bit = -1;
    const int number = owner_of(c.legacy, int(port), &bit);
    if (number >= 0) fail_member(m, c, number, bit);
    return true;
}

}  // namespace sim
