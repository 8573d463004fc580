#include "daemon/enclosure_events.h"

namespace {

constexpr EnclosureEventRow kRows[] = {
    {0x8000, 0, 0, 0, 3, "Enclosure fan normal"},
    {0x8001, 0, 0, 0, 1, "Enclosure fan error"},
    {0x8002, 0, 0, 0, 2, "Enclosure fan removed"},
    {0x8003, 0, 0, 0, 3, "Enclosure fan added"},
    {0x8004, 0, 0, 0, 2, "Enclosure fan status unknown"},
    {0x8006, 0, 0, 0, 2, "Enclosure fan off"},
    {0x8005, 0, 0, 0, 3, "Enclosure fan on"},
    {0x8010, 0, 0, 0, 2, "Enclosure fan stopped"},
    {0x8011, 0, 0, 0, 3, "Enclosure fan started"},
    {0x8012, 0, 0, 0, 3, "Enclosure fan speed increased"},
    {0x8013, 0, 0, 0, 3, "Enclosure fan speed decreased"},
    {0x8020, 0, 0, 0, 3, "Enclosure temperature normal"},
    {0x8021, 0, 0, 0, 2, "Enclosure temperature low"},
    {0x8022, 0, 0, 0, 2, "Enclosure temperature high"},
    {0x8023, 0, 0, 0, 1, "Enclosure temperature too low"},
    {0x8024, 0, 0, 0, 1, "Enclosure temperature too high"},
    {0x8025, 0, 0, 0, 2, "Enclosure temperature sensor removed"},
    {0x8026, 0, 0, 0, 3, "Enclosure temperature sensor added"},
    {0x8027, 0, 0, 0, 1, "Enclosure temperature sensor error"},
    {0x8028, 0, 0, 0, 2, "Enclosure temperature status unknown"},
    {0x8030, 0, 0, 0, 3, "Enclosure power supply normal"},
    {0x8031, 0, 0, 0, 1, "Enclosure power supply failed"},
    {0x8032, 0, 0, 0, 2, "Enclosure power supply removed"},
    {0x8033, 0, 0, 0, 3, "Enclosure power supply added"},
    {0x8034, 0, 0, 0, 2, "Enclosure power supply status unknown"},
    {0x8036, 0, 0, 0, 3, "Enclosure power supply on"},
    {0x8037, 0, 0, 0, 2, "Enclosure power supply off"},
    {0x8040, 0, 0, 0, 3, "Enclosure power supply voltage normal"},
    {0x8041, 0, 0, 0, 1, "Enclosure power supply voltage high"},
    {0x8042, 0, 0, 0, 1, "Enclosure power supply voltage low"},
    {0x8043, 0, 0, 0, 2, "Enclosure power supply voltage status unknown"},
    {0x8044, 0, 0, 0, 3, "Enclosure power supply current normal"},
    {0x8045, 0, 0, 0, 1, "Enclosure power supply current high"},
    {0x8046, 0, 0, 0, 2, "Enclosure power supply current status unknown"},
    {0x8047, 0, 0, 0, 1, "Enclosure audio alarm activated and muted"},
    {0x8048, 0, 0, 0, 1, "Enclosure audio alarm failed"},
    {0x8049, 0, 0, 0, 2, "Enclosure audio alarm removed"},
    {0x804A, 0, 0, 0, 3, "Enclosure audio alarm added"},
    {0x804B, 0, 0, 0, 2, "Enclosure audio alarm status unknown"},
};
constexpr int kRowCount = int(sizeof kRows / sizeof kRows[0]);
static_assert(kRowCount == 39);

// One rule: when the new value is `when_new` (any, for -1) and the old value
// is `when_old` (any, for -1), the change posts `code` (none, for 0). The
// first rule that matches decides; the last rule of each kind matches all.
struct Rule {
    EnclosureChangeKind kind;
    int when_old;
    int when_new;
    uint32_t code;
};

constexpr int kAny = -1;
using K = EnclosureChangeKind;

constexpr Rule kRules[] = {
    {K::FanStatus, kAny, 1, 0x8001},
    {K::FanStatus, kAny, 2, 0x8002},
    {K::FanStatus, 2, 0, 0x8003},
    {K::FanStatus, kAny, 0, 0x8000},
    {K::FanStatus, kAny, 3, 0x8006},
    {K::FanStatus, kAny, kAny, 0x8004},

    {K::SensorStatus, kAny, 1, 0x8027},
    {K::SensorStatus, kAny, 2, 0x8025},
    {K::SensorStatus, 2, 0, 0x8026},
    {K::SensorStatus, kAny, 0, 0x8020},
    {K::SensorStatus, kAny, kAny, 0x8028},

    {K::SensorWarnings, kAny, 1, 0x8021},
    {K::SensorWarnings, kAny, 4, 0x8022},
    {K::SensorWarnings, kAny, 2, 0x8023},
    {K::SensorWarnings, kAny, 8, 0x8024},
    // Warnings that clear: the temperature is back to normal.
    {K::SensorWarnings, kAny, 0, 0x8020},
    {K::SensorWarnings, kAny, kAny, 0x8028},

    {K::SupplyStatus, kAny, 1, 0x8031},
    {K::SupplyStatus, kAny, 2, 0x8032},
    {K::SupplyStatus, 2, 0, 0x8033},
    {K::SupplyStatus, kAny, 0, 0x8030},
    {K::SupplyStatus, kAny, 3, 0x8037},
    {K::SupplyStatus, kAny, kAny, 0x8034},

    {K::SupplyVoltage, kAny, 2, 0x8042},
    {K::SupplyVoltage, kAny, 4, 0x8041},
    {K::SupplyVoltage, kAny, 0, 0x8040},
    {K::SupplyVoltage, kAny, kAny, 0x8043},

    {K::SupplyCurrent, kAny, 1, 0x8045},
    {K::SupplyCurrent, kAny, 0, 0x8044},
    {K::SupplyCurrent, kAny, kAny, 0x8046},

    {K::AlarmStatus, kAny, 4, 0x8048},
    {K::AlarmStatus, kAny, 5, 0x8047},
    {K::AlarmStatus, 2, 0, 0x804A},
    {K::AlarmStatus, 2, 1, 0x804A},
    {K::AlarmStatus, 2, 3, 0x804A},
    {K::AlarmStatus, kAny, 2, 0x8049},
    {K::AlarmStatus, kAny, 128, 0x804B},
    {K::AlarmStatus, kAny, kAny, 0},
};

bool matches(int wanted, int value) { return wanted == kAny || wanted == value; }

}  // namespace

const EnclosureEventRow* enclosure_event_rows(int* count) {
    *count = kRowCount;
    return kRows;
}

const EnclosureEventRow* enclosure_event_row(uint32_t code) {
    for (const EnclosureEventRow& row : kRows)
        if (row.code == code) return &row;
    return nullptr;
}

const EnclosureEventRow* enclosure_event_for(EnclosureChangeKind kind, int old_value,
                                             int new_value) {
    for (const Rule& rule : kRules) {
        if (rule.kind != kind || !matches(rule.when_old, old_value) ||
            !matches(rule.when_new, new_value))
            continue;
        return rule.code == 0 ? nullptr : enclosure_event_row(rule.code);
    }
    return nullptr;
}

const char* enclosure_element_word(EnclosureChangeKind kind) {
    switch (kind) {
        case K::FanStatus:
            return "fan";
        case K::SensorStatus:
        case K::SensorWarnings:
            return "temperature sensor";
        case K::SupplyStatus:
        case K::SupplyVoltage:
        case K::SupplyCurrent:
            return "power supply";
        case K::AlarmStatus:
            return "audio alarm";
        default:
            return nullptr;
    }
}
