// The enclosure events: the fixed table of the events the enclosure monitor
// posts to a controller, and the rules that turn one observed change of an
// element into one row of it. Pure tables and functions, no library calls.
#pragma once

#include <cstdint>

struct EnclosureEventRow {
    uint32_t code;
    uint32_t sense_key;
    uint8_t sense_code;
    uint8_t sense_qualifier;
    uint32_t severity;  // 1 error, 2 warning, 3 information
    const char* text;   // also the controller's own text of the code
};

// The 39 rows, codes 0x8000 to 0x804B.
const EnclosureEventRow* enclosure_event_rows(int* count);
// The row of a code, or null.
const EnclosureEventRow* enclosure_event_row(uint32_t code);

// What a check reports: a change of an element value, or one of the
// service's notices.
enum class EnclosureChangeKind {
    FanStatus,
    SensorStatus,
    SensorWarnings,
    SupplyStatus,
    SupplyVoltage,
    SupplyCurrent,
    AlarmStatus,
    ServiceStarted,
    MonitoringEnabled,
    LockNotTaken,
};

// The row that a change of an element value from old_value to new_value
// posts, or null when it posts nothing (an alarm that starts or stops
// sounding, and the notices). Temperature warnings that clear post the
// "normal" row.
const EnclosureEventRow* enclosure_event_for(EnclosureChangeKind kind, int old_value,
                                             int new_value);

// The element word of a change's text ("fan", "temperature sensor", "power
// supply", "audio alarm"), or null for the notices.
const char* enclosure_element_word(EnclosureChangeKind kind);
