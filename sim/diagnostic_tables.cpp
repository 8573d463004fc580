// Tables the firmware fills from what the controller is and has seen, until
// something writes them: the battery backup unit (battery.cpp), the drive
// statistics (table 9 and, per drive, 0x100 + port), the event capture
// (0x407) and the two error logs of the settings table (0x403, 13 to 15).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "sim/machine.h"

namespace sim {

namespace {

constexpr uint16_t kBatteryTable = 0x8006;
constexpr uint16_t kEnabledParameter = 64;
constexpr uint16_t kStatsTable = 0x8009;
constexpr uint16_t kFirstDriveStats = 0x8100, kLastDriveStats = 0x817F;
constexpr uint16_t kCaptureTable = 0x8407;
constexpr uint16_t kSettingsTable = 0x8403;

// Statistics: the switch and description of table 9, the per-drive
// parameters.
constexpr uint16_t kStatsSwitch = 4, kStatsInfo = 5;
constexpr size_t kInfoSize = 28;
constexpr uint16_t kRecords = 2, kBlockA = 3, kBlockB = 4, kHistogramA = 5, kHistogramB = 6;
constexpr uint16_t kFirstCounter = 7, kLastCounter = 13;
constexpr size_t kRecordSize = 24, kEntrySize = 40, kBlockSize = 168;

// Event capture: the index written before a record is read, the record.
constexpr uint16_t kCaptureIndex = 5, kCaptureRecord = 6;
constexpr uint32_t kCaptureRecordSize = 32832;

// Error logs: their size, the log and the second log buffer.
constexpr uint16_t kErrorLog = 13, kErrorLogBuffer = 14, kErrorLogSize = 15;
constexpr long kDefaultErrorLogSize = 8192;

// A stored value, or none.
const std::vector<uint8_t>* stored(const Controller& c, uint16_t table, uint16_t id) {
    auto it = c.params.find(uint32_t(table) << 16 | id);
    return it == c.params.end() ? nullptr : &it->second;
}

uint64_t stored_number(const std::vector<uint8_t>& value, size_t size) {
    uint64_t v = 0;
    for (size_t i = value.size() < size ? value.size() : size; i-- > 0;) v = v << 8 | value[i];
    return v;
}

void put(uint8_t* out, size_t size, size_t offset, uint64_t value, size_t width) {
    for (size_t i = 0; i < width && offset + i < size; ++i)
        out[offset + i] = uint8_t(value >> (8 * i));
}

// A small reproducible sequence per drive, so every port shows its own
// figures and every read the same ones.
struct Figures {
    uint32_t state;
    explicit Figures(uint32_t seed) : state(seed * 2654435761u + 12345u) {}
    uint32_t next(uint32_t below) {
        state = state * 1103515245u + 12345u;
        return (state >> 8) % below;
    }
};

// The collection's description: record and histogram counts and the clock
// (1,000,000,000 / clock ticks a second).
void stats_info(const Controller& c, uint8_t* out, size_t size) {
    if (const std::vector<uint8_t>* v = stored(c, kStatsTable, kStatsInfo)) {
        std::memcpy(out, v->data(), v->size() < size ? v->size() : size);
        return;
    }
    put(out, size, 12, uint64_t(c.attr_number("stats-records", 32)), 2);
    put(out, size, 14, uint64_t(c.attr_number("stats-buckets", 12)), 2);
    put(out, size, 16, uint64_t(c.attr_number("stats-clock", 1000)), 4);
}

uint32_t info_field(const Controller& c, size_t offset, size_t width) {
    uint8_t info[kInfoSize] = {};
    stats_info(c, info, sizeof info);
    uint32_t v = 0;
    for (size_t i = width; i-- > 0;) v = v << 8 | info[offset + i];
    return v;
}

uint32_t command_records(const Controller& c) { return info_field(c, 12, 2); }
uint32_t histogram_entries(const Controller& c) { return info_field(c, 14, 2); }

// Recent commands: three quarters of the ring filled, each record with its
// queue depth, length in bytes and start and end ticks.
void command_ring(uint32_t port, uint32_t count, uint8_t* out, size_t size) {
    Figures f(port + 1);
    uint32_t tick = 1000 + f.next(5000);
    for (uint32_t i = 0; i < count * 3 / 4; ++i) {
        const size_t at = size_t(i) * kRecordSize;
        tick += 200 + f.next(800);
        put(out, size, at, 1, 1);
        put(out, size, at + 6, 1 + f.next(8), 2);
        put(out, size, at + 8, 4096u << f.next(5), 4);
        put(out, size, at + 12, tick, 4);
        put(out, size, at + 16, tick + 150 + f.next(2500), 4);
    }
}

// Latency buckets with their upper bound in microseconds and their count.
void histogram(uint32_t port, uint16_t set, uint32_t count, uint8_t* out, size_t size) {
    Figures f((port + 1) * 7 + set);
    uint32_t hits = 20000 + f.next(20000);
    for (uint32_t i = 0; i < count; ++i) {
        put(out, size, size_t(i) * kEntrySize, 250u << (i < 20 ? i : 20), 4);
        put(out, size, size_t(i) * kEntrySize + 4, hits, 4);
        hits = hits / 2 + f.next(50);
    }
}

void block(uint32_t port, uint16_t set, uint8_t* out, size_t size) {
    Figures f((port + 1) * 13 + set);
    for (size_t at = 0; at + 4 <= kBlockSize; at += 4) put(out, size, at, f.next(1000000), 4);
}

bool drive_stats(const Controller& c, uint16_t table, uint16_t id, uint8_t* out, size_t size) {
    const uint32_t port = uint32_t(table - kFirstDriveStats);
    switch (id) {
        case kRecords:
            command_ring(port, command_records(c), out, size);
            return true;
        case kBlockA:
        case kBlockB:
            block(port, id, out, size);
            return true;
        case kHistogramA:
        case kHistogramB:
            histogram(port, id, histogram_entries(c), out, size);
            return true;
    }
    if (id < kFirstCounter || id > kLastCounter) return false;
    Figures f((port + 1) * 31 + id);
    put(out, size, 0, 1000 + f.next(5000000), 4);
    return true;
}

uint32_t error_log_size(const Controller& c) {
    if (const std::vector<uint8_t>* v = stored(c, kSettingsTable, kErrorLogSize))
        return uint32_t(stored_number(*v, 2));
    return uint32_t(c.attr_number("error-log-size", kDefaultErrorLogSize));
}

std::string clock_text(uint32_t seconds) { return time_text(seconds, "%Y-%m-%d %H:%M:%S"); }

// The error log: the start-up lines, then a line for each event the
// controller keeps. The second buffer traces the ports.
std::string error_log(const Machine& m, const Controller& c, uint16_t id) {
    char line[256];
    std::string log;
    if (id == kErrorLog) {
        std::snprintf(line, sizeof line, "%s I 0000 controller %s serial %s firmware %s started\n",
                      clock_text(wall_seconds(m)).c_str(), c.attr("model", "QX-0000").c_str(),
                      c.attr("serial", "SIM00000000").c_str(),
                      c.attr("firmware", "FW 4.10.00.024").c_str());
        log += line;
        for (const SimEvent& e : c.events) {
            std::snprintf(line, sizeof line, "%s %c %04X seq=%u %s\n", clock_text(e.time).c_str(),
                          e.severity == 1   ? 'E'
                          : e.severity == 2 ? 'W'
                                            : 'I',
                          e.code, e.sequence, e.text.c_str());
            log += line;
        }
    } else {
        for (int port = 0; port < c.attr_number("ports", 4); ++port) {
            const bool drive = c.drives.count(port) != 0;
            std::snprintf(line, sizeof line, "port %02d: %s\n", port,
                          drive ? "link up, device ready" : "no device");
            log += line;
        }
    }
    return log;
}

// A captured record: its index, its size, then bytes that follow from both.
void capture_record(const Controller& c, uint8_t* out, size_t size) {
    uint32_t index = 0;
    if (const std::vector<uint8_t>* v = stored(c, kCaptureTable, kCaptureIndex))
        index = uint32_t(stored_number(*v, 4));
    put(out, size, 0, index, 4);
    put(out, size, 4, kCaptureRecordSize, 4);
    for (size_t i = 8; i < size; ++i) out[i] = uint8_t(index * 31 + i);
}

constexpr uint16_t kBatteryReadOnly = 0x0322, kNotChangeable = 0x01D2;
constexpr uint16_t kCaptureFirstCount = 3, kCaptureSecondCount = 4;

}  // namespace

uint16_t diagnostic_write_refusal(uint16_t table, uint16_t id) {
    if (table == kBatteryTable) return id == kEnabledParameter ? 0 : kBatteryReadOnly;
    const bool read_only =
        (table == kStatsTable && id == kStatsInfo) ||
        (table >= kFirstDriveStats && table <= kLastDriveStats && id == kRecords) ||
        (table == kCaptureTable &&
         (id == kCaptureFirstCount || id == kCaptureSecondCount || id == kCaptureRecord)) ||
        (table == kSettingsTable &&
         (id == kErrorLog || id == kErrorLogBuffer || id == kErrorLogSize));
    return read_only ? kNotChangeable : 0;
}

long diagnostic_parameter_size(const Controller& c, uint16_t table, uint16_t id) {
    long size = kAnySize;
    if (table >= kFirstDriveStats && table <= kLastDriveStats) {
        if (id == kRecords) size = long(command_records(c) * kRecordSize);
        if (id == kHistogramA || id == kHistogramB) size = long(histogram_entries(c) * kEntrySize);
    } else if (table == kSettingsTable && (id == kErrorLog || id == kErrorLogBuffer)) {
        size = long(error_log_size(c));
    }
    return size == 0 ? kEmptyParameter : size;
}

bool diagnostic_value(const Machine& m, const Controller& c, uint16_t table, uint16_t id,
                      uint8_t* out, size_t size) {
    if (table == kBatteryTable) return battery_value(m, c, id, out, size);
    if (table >= kFirstDriveStats && table <= kLastDriveStats)
        return drive_stats(c, table, id, out, size);
    if (table == kStatsTable && id == kStatsInfo) {
        stats_info(c, out, size);
        return true;
    }
    if (table == kStatsTable && id == kStatsSwitch) {
        put(out, size, 0, uint64_t(c.attr_number("stats", 1)), 1);
        return true;
    }
    if (table == kCaptureTable && id == kCaptureRecord) {
        capture_record(c, out, size);
        return true;
    }
    if (table == kSettingsTable && id == kErrorLogSize) {
        put(out, size, 0, error_log_size(c), 2);
        return true;
    }
    if (table == kSettingsTable && (id == kErrorLog || id == kErrorLogBuffer)) {
        const std::string log = error_log(m, c, id);
        std::memcpy(out, log.data(), log.size() < size ? log.size() : size);
        return true;
    }
    return false;
}

}  // namespace sim
