// What the back end keeps between calls about the SES enclosures of each
// controller: one record per (controller index, enclosure position).
#pragma once

#include <cstdint>

// One LUN of an enclosure.
struct SubEnclosureRecord {
    uint8_t address;  // 64 + position
    uint8_t lun;
    uint8_t logical_id[8];
    char vendor[8];    // not terminated
    char product[16];  // not terminated
    char revision[4];  // not terminated
    char alternate_revision[4];
    int32_t type_header_count;
    // In this order: device, cooling, temperature sensor, power supply, door
    // lock, audible alarm, enclosure, voltage sensor, SAS expander.
    uint8_t element_count[9];
    int32_t first_element[9];  // status-page position of each kind's overall element
};

struct EnclosureCacheRecord {
    static constexpr uint8_t kValid = 0x01;  // flags bit 0

    int32_t index;  // controller index × 16 + position
    uint8_t flags;
    uint8_t position_kind;
    uint8_t enclosure_type;
    uint8_t sub_enclosure_count;  // filled records, 0 to 8
    SubEnclosureRecord sub_enclosures[8];
};

constexpr int kEnclosurePositions = 16;
// Every controller index the driver layer can number (0 to 254).
constexpr int kEnclosureCacheControllers = 255;
constexpr int kEnclosureCacheRecords = kEnclosureCacheControllers * kEnclosurePositions;
