// The settings parameters of each firmware generation and the values the
// firmware accepts for them. A parameter another generation keeps is unknown
// here ("Parameter index does not exist"), a value outside its range is
// refused ("Invalid field in parameter list") and a parameter the firmware
// only reports cannot be written ("Parameter not changeable"). Scenario and
// state-file lines store values without these checks.
#include <algorithm>
#include <cstdlib>

#include "sim/machine.h"

namespace sim {

namespace {

constexpr uint16_t kInvalidValue = 0x01D0;
constexpr uint16_t kNotChangeable = 0x01D2;

// Generations as sets of architecture ids (bit n: architecture n).
constexpr unsigned kAll = ~0u;
constexpr unsigned kFirst = 1u << 4 | 1u << 5;                      // family 4
constexpr unsigned kLater = 1u << 6 | 1u << 7 | 1u << 8 | 1u << 10;  // families 6, 7, 8, 10
constexpr unsigned kSas = 1u << 8 | 1u << 10;                       // families 8, 10
constexpr unsigned kNewest = 1u << 10;                              // family 10

enum class Rule : uint8_t {
    Any,       // every value
    Flag,      // 0 or 1
    OneOf,     // one of the listed values
    Range,     // low to high, or the extra value
    ReadOnly,  // reported, never written
    Spinups,   // 1 to the number of ports
    PhyCount,  // 0 to the phys the controller has
    PhyLimit,  // 0 (automatic), or one speed the phy supports
};

constexpr long long kNoExtra = -1;

struct SettingRule {
    uint16_t table;  // without the 0x8000 mark; per-object tables by their first id
    uint16_t first, last;
    unsigned generations;
    Rule rule;
    long long low = 0, high = 0, extra = kNoExtra;  // Range
    const char* values = "";                        // OneOf, separated by blanks
};

// Carve (LUN) sizes are kept as sectors minus 1: 1 TiB to 32 TiB, or 0
// for none.
constexpr long long kSmallestCarve = (1024ll << 21) - 1;
constexpr long long kLargestCarve = (32768ll << 21) - 1;

const SettingRule kRules[] = {
    // controller settings
    {0x403, 7, 7, kAll, Rule::Spinups},
    {0x403, 8, 8, kAll, Rule::Range, 0, 60},
    {0x403, 16, 16, kLater, Rule::Range, 1, 255},
    {0x403, 17, 17, kAll, Rule::Flag},
    {0x403, 18, 18, kFirst, Rule::Flag},
    {0x403, 22, 22, kFirst, Rule::Flag},
    {0x403, 23, 24, kAll, Rule::Flag},
    {0x403, 26, 26, kAll, Rule::ReadOnly},
    {0x403, 29, 29, kAll, Rule::Range, kSmallestCarve, kLargestCarve, 0},
    {0x403, 35, 35, kAll, Rule::Flag},
    {0x403, 37, 38, kSas, Rule::OneOf, 0, 0, kNoExtra, "0 1 2"},
    {0x403, 39, 41, kSas, Rule::ReadOnly},
    {0x403, 43, 43, kNewest, Rule::Any},
    {0x403, 45, 45, kLater, Rule::Any},
    {0x403, 47, 50, kSas, Rule::Any},
    {0x403, 52, 52, kLater, Rule::Any},
    {0x403, 54, 56, kLater, Rule::Any},
    {0x403, 57, 57, kLater, Rule::Flag},
    {0x403, 58, 58, kLater, Rule::Range, 0, 254, 256},
    {0x403, 62, 62, kLater, Rule::ReadOnly},
    {0x403, 63, 63, kNewest, Rule::OneOf, 0, 0, kNoExtra, "1"},
    {0x402, 22, 23, kNewest, Rule::Any},
    // background tasks: rates 1 to 5 as kept, adaptive or low-latency modes
    {0x40C, 5, 6, kAll, Rule::OneOf, 0, 0, kNoExtra, "20 70 120 170 220"},
    {0x40C, 13, 14, kAll, Rule::OneOf, 0, 0, kNoExtra, "0 1 2"},
    // tables 10 and 11
    {0x00A, 5, 5, kAll & ~kFirst, Rule::Flag},
    {0x00B, 2, 6, kLater, Rule::Any},
    // phys
    {0x001, 2, 2, kLater, Rule::PhyCount},
    {0x080, 2, 3, kLater, Rule::ReadOnly},
    {0x080, 4, 4, kLater, Rule::PhyLimit},
    {0x080, 5, 7, kLater, Rule::ReadOnly},
    // drives
    {0x200, 15, 18, kLater, Rule::ReadOnly},
    {0x200, 27, 27, kSas, Rule::ReadOnly},
    // units
    {0x300, 14, 15, kAll, Rule::Flag},
    {0x300, 18, 18, kAll, Rule::ReadOnly},
    {0x300, 20, 20, kAll, Rule::Flag},
    {0x300, 21, 21, kLater, Rule::Flag},
    {0x300, 22, 23, kLater, Rule::OneOf, 0, 0, kNoExtra, "0 1 256"},
    {0x300, 27, 27, kLater, Rule::Any},
    {0x300, 28, 28, kLater, Rule::OneOf, 0, 0, kNoExtra, "0 1 3"},
    {0x300, 30, 30, kLater, Rule::Flag},
    {0x300, 31, 31, kLater, Rule::Range, 5, 999, 0},
    {0x300, 32, 32, kLater, Rule::ReadOnly},
};

const SettingRule* rule_of(uint16_t table, uint16_t id, int* number) {
    const uint16_t base = table_base(table, number);
    for (const SettingRule& r : kRules)
        if (r.table == base && id >= r.first && id <= r.last) return &r;
    return nullptr;
}

unsigned generation_bit(const Controller& c) {
    const long arch = c.attr_number("arch", 0);
    return arch >= 0 && arch < 32 ? 1u << arch : 0;
}

bool one_of(const char* values, long long v) {
    const char* p = values;
    while (*p != '\0') {
        char* end = nullptr;
        if (std::strtoll(p, &end, 10) == v) return true;
        p = end;
        while (*p == ' ') ++p;
    }
    return false;
}

bool single_speed(long long v) { return v == 1 || v == 2 || v == 4; }

}  // namespace

bool generation_has(const Controller& c, uint16_t table, uint16_t id) {
    int number;
    const SettingRule* r = rule_of(table, id, &number);
    return r == nullptr || (r->generations & generation_bit(c)) != 0;
}

uint16_t refuse_setting(const Machine& m, const Controller& c, uint16_t table, uint16_t id,
                        const uint8_t* value, size_t size) {
    int number;
    const SettingRule* r = rule_of(table, id, &number);
    if (r == nullptr) return 0;
    long long v = 0;
    for (size_t i = std::min<size_t>(size, 8); i-- > 0;) v = v << 8 | value[i];
    bool accepted = true;
    switch (r->rule) {
        case Rule::Any: break;
        case Rule::Flag: accepted = v == 0 || v == 1; break;
        case Rule::OneOf: accepted = one_of(r->values, v); break;
        case Rule::Range: accepted = (v >= r->low && v <= r->high) || v == r->extra; break;
        case Rule::ReadOnly: return kNotChangeable;
        case Rule::Spinups: {
            uint8_t ports = 0;
            read_parameter(m, c, 0x8403, 3, &ports, 1);
            accepted = v >= 1 && v <= ports;
            break;
        }
        case Rule::PhyCount: accepted = v <= hardware_phys(c); break;
        case Rule::PhyLimit:
            accepted = v == 0 || (single_speed(v) && (phy_speeds(c, number) & v) != 0);
            break;
    }
    return accepted ? 0 : kInvalidValue;
}

}  // namespace sim
