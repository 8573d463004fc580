// The controller firmware's parameter tables: which tables and parameters
// exist, their sizes, and their values. The sizes are the firmware's own
// list; a GET or SET that names another size is refused.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "sim/drives.h"
#include "sim/machine.h"
#include "sim/units.h"

namespace sim {

namespace {

// Tables whose ids run from first to last share one list of "id=size";
// "id=*" takes any size.
struct TableSizes {
    uint16_t first, last;
    const char* sizes;
};

const char kIdentity[] =
    "1=2 2=16 3=16 4=16 5=8 6=8 7=8 8=16 9=20 10=4 11=4 12=8 13=16 14=4 15=4 16=4 17=4 18=8 19=8 "
    "20=4 21=8 22=2 23=1";
const char kDrive[] =
    "1=2 2=4 3=40 4=20 5=2 6=2 7=2 8=2 9=2 10=2 11=1 12=1 13=4 14=8 15=1 16=1 17=1 18=1 19=2 20=2 "
    "21=2 22=2 23=8 24=1 25=1 26=1 27=8 28=8 29=8 30=1 31=1 32=1 33=2";
const char kSettings[] =
    "1=2 2=2 3=1 4=4 5=4 6=4 7=1 8=1 9=1 10=1 11=1 12=1024 13=* 14=* 15=2 16=2 17=1 18=1 "
    "19=1 20=1 21=8 22=1 23=1 24=1 25=1 26=4 27=1 28=1 29=8 30=4 31=4 32=4 33=1 34=1 35=1 36=1 "
    "37=1 38=1 39=2 40=2 41=2 42=1 43=8 44=1 45=4 46=1 47=4 48=4 49=4 50=4 51=4 52=1 53=1 54=1 "
    "55=1 56=2 57=1 58=2 59=2 60=4 61=4 62=255 63=1";
const char kUnitSecond[] =
    "1=2 2=1 3=1 4=4 5=2 6=2 7=1 8=1 9=2 10=1 11=* 12=8 13=1 14=1 15=1 16=1 17=21 18=20 19=8 "
    "20=1 21=1 22=2 23=2 24=2 25=* 26=1 27=1 28=1 29=1 30=1 31=2 32=1";

const TableSizes kSecondSeries[] = {
    {0x8402, 0x8402, kIdentity},
    {0x8002, 0x8002, "1=2 2=2 3=128"},
    {0x8003, 0x8003, "1=2 2=2 3=32"},
    {0x8008, 0x8008, "1=2 2=1 3=1024 4=32"},
    {0x8200, 0x827F, kDrive},
    {0x8300, 0x833F, kUnitSecond},
    {0x8403, 0x8403, kSettings},
    {0x840C, 0x840C, "2=1 3=1 4=1 5=1 6=1 7=1 8=2 9=2 10=1 11=2 12=8 13=1 14=1 15=2"},
    {0x8410, 0x8416, "2=2 3=4 4=4"},
    {0x8006, 0x8006,
     "2=4 3=20 4=16 5=16 6=1 7=32 8=12 9=12 10=1 11=1 12=4 13=1 15=2 16=2 17=2 18=1 19=4 20=2 "
     "21=12 22=12 23=1 24=1 25=2 26=2 64=1 65=1"},
    {0x8009, 0x8009, "2=2 3=512 4=1 5=28 6=20"},
    {0x8100, 0x817F, "2=* 3=168 4=168 5=* 6=* 7=4 8=4 9=4 10=4 11=4 12=4 13=4"},
    {0x800A, 0x800A, "2=1 3=1 4=2 5=1"},
    {0x8001, 0x8001, "1=2 2=1"},
    {0x8080, 0x80FF, "1=2 2=1 3=1 4=1 5=1 6=8 7=2"},
    {0x8407, 0x8407,
     "1=2 2=4 3=4 4=4 5=4 6=32832 7=4 8=4 9=4 10=4 11=4 12=4 13=4 14=8 15=4 16=8 17=8"},
    {0x8007, 0x8007, "2=512"},
    {0x800B, 0x800B, "2=2 3=2 4=2 5=2 6=2"},
};

// The first series keeps fewer tables; its port and unit status lists are
// 16 bytes and a unit's descriptor has the length it has.
const TableSizes kFirstSeries[] = {
    {0x0402, 0x0402, kIdentity},
    {0x0002, 0x0002, "1=2 2=2 3=16"},
    {0x0003, 0x0003, "1=2 2=2 3=16"},
    {0x0200, 0x020F, kDrive},
    {0x0300, 0x030F, "1=2 2=1 3=1 4=4 5=2 6=* 7=1 8=1"},
    {0x0403, 0x0403, kSettings},
    {0x0405, 0x0405, "3=1 4=1"},
    {0x0406, 0x0406, "2=16"},
};

const TableSizes* find_table(const Controller& c, uint16_t table) {
    const bool first = c.series() == Series::First;
    const TableSizes* begin = first ? kFirstSeries : kSecondSeries;
    size_t n = first ? sizeof kFirstSeries / sizeof *kFirstSeries
                     : sizeof kSecondSeries / sizeof *kSecondSeries;
    for (size_t i = 0; i < n; ++i)
        if (table >= begin[i].first && table <= begin[i].last) return &begin[i];
    return nullptr;
}

// Per-object tables exist only for the objects the controller has.
bool object_exists(const Controller& c, const TableSizes& t, uint16_t table) {
    if (t.first == t.last) return true;
    int number = table - t.first;
    switch (t.first & 0x7FFF) {
        case 0x200:
            return number < c.attr_number("ports", 4);
        case 0x100:
            return c.drives.count(number) != 0;
        case 0x300:
            if (c.series() == Series::First) return legacy_unit_exists(c, number);
            return c.units.count(number) != 0;
        case 0x080:
            return number < phy_count(c);
        default:
            return true;
    }
}

// Size of parameter id in a list; 0 when absent, -2 when any size goes.
long size_in(const char* sizes, uint16_t id) {
    const char* p = sizes;
    while (*p) {
        char* end = nullptr;
        long key = std::strtol(p, &end, 10);
        p = end + 1;  // past '='
        long size = -2;
        if (*p == '*') {
            ++p;
        } else {
            size = std::strtol(p, &end, 10);
            p = end;
        }
        if (key == id) return size;
        while (*p == ' ') ++p;
    }
    return 0;
}

void put_number(uint8_t* out, size_t size, unsigned long long v) {
    for (size_t i = 0; i < size && i < 8; ++i) out[i] = uint8_t(v >> (8 * i));
}

void put_text(uint8_t* out, size_t size, const std::string& text) {
    std::memcpy(out, text.data(), std::min(size, text.size()));
}

long long to_number(const std::string& text, long long fallback) {
    char* end = nullptr;
    long long v = std::strtoll(text.c_str(), &end, 0);
    return text.empty() || *end != '\0' ? fallback : v;
}

// What each generation's firmware reports of itself, by architecture id.
struct Generation {
    long arch;
    long level;     // firmware level (identity parameter 11)
    long features;  // feature bits (identity parameter 21); bit 1: RAID 6
};
const Generation kGenerations[] = {
    {4, 30, 0x0}, {5, 30, 0x0}, {6, 35, 0x2},  {7, 35, 0x2},
    {8, 37, 0x3}, {9, 37, 0x2}, {10, 40, 0x3},
};
const Generation kOtherGeneration = {0, 36, 0x0};

const Generation& generation_of(const Controller& c) {
    const long arch = c.attr_number("arch", 0);
    for (const Generation& g : kGenerations)
        if (g.arch == arch) return g;
    return kOtherGeneration;
}

// Values of parameters nothing has written: an attribute of the controller
// or a fallback. Drives and units answer from their models (sim/drives.h,
// sim/units.h).
enum class Source { Controller, Fixed };
enum class Kind { Text, Number };
struct Default {
    uint16_t table;  // without the 0x8000 mark; per-object tables by their first id
    uint16_t id;
    Source source;
    const char* attr;
    Kind kind;
    const char* fallback;
};

const Default kDefaults[] = {
    // identity
    {0x402, 2, Source::Controller, "boot", Kind::Text, "BL 1.00.00.001"},
    {0x402, 3, Source::Controller, "firmware", Kind::Text, "FW 4.10.00.024"},
    {0x402, 4, Source::Controller, "bios", Kind::Text, "BE 1.08.00.020"},
    {0x402, 5, Source::Controller, "info-a", Kind::Text, ""},
    {0x402, 6, Source::Controller, "info-b", Kind::Text, ""},
    {0x402, 7, Source::Controller, "info-c", Kind::Text, ""},
    {0x402, 8, Source::Controller, "model", Kind::Text, "QX-0000"},
    {0x402, 9, Source::Controller, "serial", Kind::Text, "SIM00000000"},
    {0x402, 10, Source::Controller, "memory", Kind::Number, "268435456"},
    {0x402, 14, Source::Controller, "arch", Kind::Number, "0"},
    // settings
    {0x403, 3, Source::Controller, "ports", Kind::Number, "4"},
    {0x403, 7, Source::Controller, "spinups", Kind::Number, "1"},
    {0x403, 8, Source::Controller, "stagger", Kind::Number, "2"},
    {0x403, 28, Source::Controller, "auto-rebuild", Kind::Number, "0"},
    {0x403, 39, Source::Controller, "max-active-drives", Kind::Number, "128"},
    {0x403, 40, Source::Controller, "max-drives-per-unit", Kind::Number, "32"},
    {0x403, 41, Source::Controller, "max-active-units", Kind::Number, "32"},
    // background tasks: rates 3, adaptive modes, basic verify on Sunday 0:00
    {0x40C, 5, Source::Fixed, nullptr, Kind::Number, "120"},
    {0x40C, 6, Source::Fixed, nullptr, Kind::Number, "120"},
    // schedule slots: no task (start 0xFFFF, duration 0)
    {0x410, 2, Source::Fixed, nullptr, Kind::Number, "0xFFFF"},
    {0x410, 3, Source::Fixed, nullptr, Kind::Number, "0xFFFF"},
    {0x410, 4, Source::Fixed, nullptr, Kind::Number, "0xFFFF"},
};

constexpr uint16_t kClockTable = 0x8403, kClockParameter = 21;
constexpr uint16_t kLockTable = 0x8403, kLockParameter = 61;
constexpr uint16_t kLockHeldCode = 0x0133;  // the lock belongs to another holder
constexpr long kLockParameterArch = 10;

bool is_lock_parameter(const Controller& c, uint16_t table, uint16_t id) {
    return table == kLockTable && id == kLockParameter &&
           c.attr_number("arch", 0) == kLockParameterArch;
}

const SimUnit* unit_of(const Controller& c, uint16_t base, int number) {
    auto it = c.units.find(number);
    return base != 0x300 || it == c.units.end() ? nullptr : &it->second;
}

// Values the firmware works out from what the controller has.
bool derived_value(const Controller& c, uint16_t base, int number, uint16_t id, uint8_t* out,
                   size_t size) {
    const bool second = c.series() == Series::Second;
    switch (base) {
        case 0x402:
            if (id == 11) put_number(out, size, c.attr_number("fw-level", generation_of(c).level));
            if (id == 21)
                put_number(out, size, c.attr_number("features", generation_of(c).features));
            return id == 11 || id == 21;
        case 0x002:
            if (id == 2) put_number(out, size, (unsigned long long)present_drive_count(c));
            // Port status: bit 7 where a drive is present.
            if (id == 3)
                for (int port = 0; port < kPortSlots && size_t(port) < size; ++port)
                    out[port] = port_status(c, port);
            return id == 2 || id == 3;
        case 0x003:
            if (id == 2) put_number(out, size, c.units.size());
            if (id == 3)
                for (const auto& u : c.units)
                    if (size_t(u.first) < size) out[u.first] = 1;
            return id == 2 || id == 3;
        case 0x200:
            // A drive's link comes from the phys; the rest from the drive
            // model (an empty port reads zeros).
            return drive_link_value(c, number, id, out, size) ||
                   drive_parameter(c, number, id, out, size);
        case 0x001:
            if (id == 2) put_number(out, size, (unsigned long long)phy_count(c));
            return id == 2;
        case 0x80:
            return phy_value(c, number, id, out, size);
        case 0x300: {
            const SimUnit* unit = unit_of(c, base, number);
            return second && unit != nullptr && unit_parameter(*unit, id, out, size);
        }
        case 0x008:
            return enclosure_parameter(c, id, out, size);
    }
    return false;
}

void default_value(const Controller& c, uint16_t table, uint16_t id, uint8_t* out, size_t size) {
    int number;
    const uint16_t base = table_base(table, &number);
    if (derived_value(c, base, number, id, out, size)) return;
    for (const Default& d : kDefaults) {
        if (d.table != base || d.id != id) continue;
        std::string value = d.fallback;
        const Attrs* attrs = d.source == Source::Controller ? &c.attrs : nullptr;
        if (attrs != nullptr && d.attr != nullptr && attrs->count(d.attr))
            value = attrs->at(d.attr);
        if (d.kind == Kind::Text) {
            put_text(out, size, value);
        } else {
            put_number(out, size, (unsigned long long)to_number(value, to_number(d.fallback, 0)));
        }
        return;
    }
}

// A parameter's value as a GET would read it, for sizes that depend on it.
void read_stored_or_default(const Controller& c, uint16_t table, uint16_t id, uint8_t* out,
                            size_t size) {
    std::memset(out, 0, size);
    auto stored = c.params.find(uint32_t(table) << 16 | id);
    if (stored != c.params.end()) {
        std::memcpy(out, stored->second.data(), std::min(size, stored->second.size()));
        return;
    }
    default_value(c, table, id, out, size);
}

std::string persisted_key(const Controller& c, uint16_t table, uint16_t id) {
    char key[96];
    std::snprintf(key, sizeof key, "param index=%d table=0x%04X id=%u value=", c.index, table, id);
    return key;
}

}  // namespace

uint16_t table_base(uint16_t table, int* number) {
    const uint16_t plain = table & 0x7FFF;
    *number = 0;
    for (uint16_t base : {0x200, 0x300}) {
        if (plain >= base && plain < base + 0x100) {
            *number = plain - base;
            return base;
        }
    }
    if (plain >= 0x410 && plain <= 0x416) {
        *number = plain - 0x410;
        return 0x410;
    }
    if (plain >= 0x80 && plain < 0x100) {
        *number = plain - 0x80;
        return 0x80;
    }
    return plain;
}

unsigned long long stored_number(const Controller& c, uint16_t table, uint16_t id,
                                 unsigned long long fallback) {
    const uint16_t marked = c.series() == Series::Second ? uint16_t(table | 0x8000) : table;
    auto stored = c.params.find(uint32_t(marked) << 16 | id);
    if (stored == c.params.end()) return fallback;
    unsigned long long v = 0;
    for (size_t i = std::min<size_t>(stored->second.size(), 8); i-- > 0;)
        v = v << 8 | stored->second[i];
    return v;
}

long parameter_size(const Controller& c, uint16_t table, uint16_t id) {
    const TableSizes* t = find_table(c, table);
    if (t == nullptr || !object_exists(c, *t, table)) return 0;
    if (c.series() == Series::Second && !generation_has(c, table, id)) return -1;
    long size = size_in(t->sizes, id);
    if (size == -2 && c.series() == Series::Second) {
        // A second-series unit's record list and LUN table are as long as
        // its records and LUNs take; the record count is what parameter 9
        // reads.
        int number;
        const uint16_t base = table_base(table, &number);
        const SimUnit* unit = unit_of(c, base, number);
        if (unit != nullptr) {
            uint8_t count[2];
            read_stored_or_default(c, table, 9, count, sizeof count);
            const long variable = unit_parameter_size(*unit, id, get16(count));
            if (variable >= 0) return variable == 0 ? kEmptyParameter : variable;
        }
        size = diagnostic_parameter_size(c, table, id);
    }
    return size == 0 ? -1 : size;
}

void read_parameter(const Machine& m, const Controller& c, uint16_t table, uint16_t id,
                    uint8_t* out, size_t size) {
    std::memset(out, 0, size);
    if (is_lock_parameter(c, table, id)) {
        // The time-out still to run, in units of 10 ms.
        if (controller_lock_held(m, c))
            put_number(out, size,
                       c.lock_expiry_us == UINT64_MAX ? 0xFFFFFFFFu
                                                      : (c.lock_expiry_us - m.now_us()) / 10000);
        return;
    }
    auto stored = c.params.find(uint32_t(table) << 16 | id);
    if (table == kClockTable && id == kClockParameter) {
        // The controller's clock runs from the time it was last set, or with
        // the host's wall clock.
        unsigned long long ns;
        if (stored != c.params.end() && stored->second.size() >= 8) {
            ns = 0;
            for (int i = 7; i >= 0; --i) ns = ns << 8 | stored->second[size_t(i)];
            ns += (m.now_us() - c.clock_set_us) * 1000ull;
        } else {
            struct timespec now;
            ::clock_gettime(CLOCK_REALTIME, &now);
            ns = (unsigned long long)now.tv_sec * 1000000000ull + (unsigned long long)now.tv_nsec;
        }
        put_number(out, size, ns);
        return;
    }
    if (stored != c.params.end()) {
        std::memcpy(out, stored->second.data(), std::min(size, stored->second.size()));
        return;
    }
    if (c.series() == Series::Second && diagnostic_value(m, c, table, id, out, size)) return;
    default_value(c, table, id, out, size);
}

uint16_t write_parameter(Machine& m, Controller& c, uint16_t table, uint16_t id,
                         const uint8_t* value, size_t size) {
    if (is_lock_parameter(c, table, id)) {
        uint32_t ticks = 0;
        for (size_t i = 0; i < size && i < 4; ++i) ticks |= uint32_t(value[i]) << (8 * i);
        if (ticks == 0) {
            release_controller_lock(m, c);
            return 0;
        }
        return take_controller_lock(m, c, uint64_t(ticks) * 10000) ? 0 : kLockHeldCode;
    }
    if (c.series() == Series::Second) {
        if (const uint16_t refused = diagnostic_write_refusal(table, id)) return refused;
        if (const uint16_t refused = refuse_setting(m, c, table, id, value, size)) return refused;
    }
    store_parameter(m, c, table, id, std::vector<uint8_t>(value, value + size), true);
    return 0;
}

void store_parameter(Machine& m, Controller& c, uint16_t table, uint16_t id,
                     const std::vector<uint8_t>& value, bool persist) {
    c.params[uint32_t(table) << 16 | id] = value;
    if (table == kClockTable && id == kClockParameter) c.clock_set_us = m.now_us();
    if (!persist) return;
    const std::string key = persisted_key(c, table, id);
    const std::string line = key + "hex:" + hex_digits(value.data(), value.size());
    bool replaced = false;
    for (std::string& old : m.persisted) {
        if (old.rfind(key, 0) == 0) {
            old = line;
            replaced = true;
        }
    }
    if (!replaced) m.persisted.push_back(line);
    save_state(m);
}

}  // namespace sim
