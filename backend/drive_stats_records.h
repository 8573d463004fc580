// The drive statistics that second-series controllers collect, as they
// cross the library's public interface. The library interprets only the
// counts and clock of the information record and the command records it
// derives rates from; everything else is passed through as the controller
// gives it. Little-endian.
#pragma once

#include <cstdint>

// The controller-wide description of the collection, 28 bytes.
struct DriveStatsInfo {
    uint8_t reserved[12];
    uint16_t command_records;    // N: entries of the command-record ring
    uint16_t histogram_entries;  // H: entries of each latency histogram
    uint32_t clock;              // 1,000,000,000 / clock is the tick rate
    uint8_t reserved_tail[8];
};
static_assert(sizeof(DriveStatsInfo) == 28);

// The controller-wide collection settings, 20 bytes, read and written whole.
struct DriveStatsSettings {
    uint8_t bytes[20];
};

// A statistics block is 168 bytes: a 16-byte brief part and a 152-byte
// detail part.
struct DriveStatsBrief {
    uint8_t bytes[16];
};
struct DriveStatsDetail {
    uint8_t bytes[152];
};

// One entry of a latency histogram, 40 bytes. A histogram buffer must hold
// kDriveStatsMaxEntries entries.
struct DriveStatsHistogramEntry {
    uint8_t bytes[40];
};
constexpr uint32_t kDriveStatsMaxEntries = 1000;

// The seven per-drive counters, in parameter order.
struct DriveStatsCounters {
    uint32_t counter[7];
};
static_assert(sizeof(DriveStatsCounters) == 28);

// Rates derived from the drive's recent command records; all 0 when nothing
// can be computed.
struct DriveStatsRates {
    uint32_t command_rate;      // commands a second
    uint32_t data_rate;         // KiB a second
    uint32_t average_response;  // milliseconds
    uint32_t average_field_6;   // the records' 16-bit field at offset 6, averaged
};
static_assert(sizeof(DriveStatsRates) == 16);
