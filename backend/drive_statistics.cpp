// Drive statistics of the second series: the controller-wide switch,
// description and settings in table 9, and per drive (table 0x100 + port)
// two statistics blocks, two latency histograms, seven counters and a ring
// of recent command records from which command and data rates are derived.
#include <cstring>
#include <new>

#include "backend/series_backend.h"
#include "backend/series_parameter_access.h"
#include "driver/record_failure.h"

namespace {

using namespace series_access;

constexpr Parameter kSwitch{9, 4, 1};
constexpr Parameter kInfo{9, 5, sizeof(DriveStatsInfo)};
constexpr Parameter kSettings{9, 6, sizeof(DriveStatsSettings)};
constexpr uint32_t kDriveTable = 0x100;
constexpr uint32_t kRecords = 2;
constexpr uint32_t kBlock[2] = {3, 4};
constexpr uint32_t kHistogram[2] = {5, 6};
constexpr uint32_t kFirstCounter = 7;
constexpr uint32_t kCounters = 7;
constexpr uint32_t kBlockSize = 168;
constexpr uint32_t kBriefSize = sizeof(DriveStatsBrief);
constexpr uint32_t kRecordSize = 24;
constexpr uint32_t kEntrySize = sizeof(DriveStatsHistogramEntry);
constexpr uint64_t kNanoseconds = 1000000000ull;

static_assert(kBriefSize + sizeof(DriveStatsDetail) == kBlockSize);
static_assert(kEntrySize == 40);

uint32_t drive_table(ObjectId drive) { return kDriveTable + drive.b[2]; }

int read_info(ObjectId id, DriveStatsInfo* out) {
    return SeriesBackend::get_parameter(controller_id_of(id), out, sizeof *out, kInfo.table,
                                        kInfo.id, kInfo.size);
}

// A counted area is refused before any transfer when the count exceeds the
// room the library gives it.
int check_count(uint32_t count) {
    return count > kDriveStatsMaxEntries ? fail_with_api_error(kApiBufferTooSmall) : 0;
}

int read_block(ObjectId drive, int set, uint8_t* block) {
    return SeriesBackend::get_parameter(drive, block, kBlockSize, drive_table(drive), kBlock[set],
                                        kBlockSize);
}

int read_brief(ObjectId drive, int set, DriveStatsBrief* out) {
    uint8_t block[kBlockSize];
    if (read_block(drive, set, block) != 0) return -1;
    std::memcpy(out, block, sizeof *out);
    return 0;
}

int read_detail(ObjectId drive, int set, DriveStatsDetail* out) {
    uint8_t block[kBlockSize];
    if (read_block(drive, set, block) != 0) return -1;
    std::memcpy(out, block + kBriefSize, sizeof *out);
    return 0;
}

int clear_block(ObjectId drive, int set) {
    const uint8_t zeros[kBlockSize] = {};
    return SeriesBackend::set_parameter(drive, zeros, kBlockSize, drive_table(drive), kBlock[set],
                                        kBlockSize);
}

int read_histogram(ObjectId drive, int set, DriveStatsHistogramEntry* out) {
    DriveStatsInfo info;
    if (read_info(drive, &info) != 0 || check_count(info.histogram_entries) != 0) return -1;
    const uint32_t length = info.histogram_entries * kEntrySize;
    return SeriesBackend::get_parameter(drive, out, length, drive_table(drive), kHistogram[set],
                                        length);
}

int write_histogram(ObjectId drive, int set, const DriveStatsHistogramEntry* in) {
    DriveStatsInfo info;
    if (read_info(drive, &info) != 0 || check_count(info.histogram_entries) != 0) return -1;
    const uint32_t length = info.histogram_entries * kEntrySize;
    return SeriesBackend::set_parameter(drive, in, length, drive_table(drive), kHistogram[set],
                                        length);
}

// A zeroed histogram of the largest size, for the reset.
int clear_histogram(const SeriesBackend& backend, ObjectId drive, int set) {
    DriveStatsHistogramEntry* zeros =
        new (std::nothrow) DriveStatsHistogramEntry[kDriveStatsMaxEntries]();
    if (zeros == nullptr) return fail_with_api_error(kApiMemoryAllocation);
    const int result = set == 0 ? backend.set_drive_stats_histogram_a(drive, zeros)
                                : backend.set_drive_stats_histogram_b(drive, zeros);
    delete[] zeros;
    return result;
}

// Ticks from start to end of a tick counter that may have wrapped; equal
// ticks count as a whole wrap.
uint32_t ticks_between(uint32_t start, uint32_t end) {
    return end > start ? end - start : end - start - 1;
}

// The rates of the valid records among count records of 24 bytes.
DriveStatsRates rates_of(const uint8_t* records, uint32_t count, uint32_t tick_rate) {
    DriveStatsRates rates = {};
    uint32_t valid = 0, field_sum = 0;
    uint64_t length_sum = 0, busy = 0;
    uint32_t first_start = 0xFFFFFFFF, last_end = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* record = records + i * kRecordSize;
        if ((record[0] & 1) == 0) continue;
        const uint32_t start = uint32_t(le::load(record + 12, 4));
        const uint32_t end = uint32_t(le::load(record + 16, 4));
        ++valid;
        field_sum += uint32_t(le::load(record + 6, 2));
        length_sum += le::load(record + 8, 4);
        if (start < first_start) first_start = start;
        if (end > last_end) last_end = end;
        busy += ticks_between(start, end);
    }
    const uint32_t span = ticks_between(first_start, last_end);
    if (span == 0 || valid == 0) return rates;
    rates.average_field_6 = field_sum / valid;
    rates.command_rate = uint32_t(uint64_t(uint32_t(valid * tick_rate)) / span);
    rates.data_rate = uint32_t(((uint64_t(tick_rate) * length_sum) / span) >> 10);
    rates.average_response = uint32_t(((busy * 1000) / valid) / tick_rate);
    return rates;
}

}  // namespace

int SeriesBackend::get_drive_stats_enable(ObjectId id, uint8_t* on) const {
    return read_as(controller_id_of(id), kSwitch, on);
}

int SeriesBackend::set_drive_stats_enable(ObjectId id, uint8_t on) const {
    return write_number(controller_id_of(id), kSwitch, on);
}

int SeriesBackend::get_drive_stats_info(ObjectId id, DriveStatsInfo* out) const {
    DriveStatsInfo info;
    if (read_info(id, &info) != 0) return -1;
    *out = info;
    return 0;
}

int SeriesBackend::get_drive_stats_settings(ObjectId id, DriveStatsSettings* out) const {
    DriveStatsSettings settings;
    if (get_parameter(controller_id_of(id), &settings, sizeof settings, kSettings.table,
                      kSettings.id, kSettings.size) != 0)
        return -1;
    *out = settings;
    return 0;
}

int SeriesBackend::set_drive_stats_settings(ObjectId id, const DriveStatsSettings& settings) const {
    return set_parameter(controller_id_of(id), &settings, sizeof settings, kSettings.table,
                         kSettings.id, kSettings.size);
}

int SeriesBackend::get_drive_stats_brief_a(ObjectId drive, DriveStatsBrief* out) const {
    return read_brief(drive, 0, out);
}

int SeriesBackend::get_drive_stats_brief_b(ObjectId drive, DriveStatsBrief* out) const {
    return read_brief(drive, 1, out);
}

int SeriesBackend::get_drive_stats_detail_a(ObjectId drive, DriveStatsDetail* out) const {
    return read_detail(drive, 0, out);
}

int SeriesBackend::get_drive_stats_detail_b(ObjectId drive, DriveStatsDetail* out) const {
    return read_detail(drive, 1, out);
}

int SeriesBackend::get_drive_stats_histogram_a(ObjectId drive,
                                               DriveStatsHistogramEntry* out) const {
    return read_histogram(drive, 0, out);
}

int SeriesBackend::get_drive_stats_histogram_b(ObjectId drive,
                                               DriveStatsHistogramEntry* out) const {
    return read_histogram(drive, 1, out);
}

int SeriesBackend::set_drive_stats_histogram_a(ObjectId drive,
                                               const DriveStatsHistogramEntry* in) const {
    return write_histogram(drive, 0, in);
}

int SeriesBackend::set_drive_stats_histogram_b(ObjectId drive,
                                               const DriveStatsHistogramEntry* in) const {
    return write_histogram(drive, 1, in);
}

int SeriesBackend::get_drive_stats_counters(ObjectId drive, DriveStatsCounters* out) const {
    DriveStatsCounters counters = {};
    for (uint32_t i = 0; i < kCounters; ++i)
        if (read_as(drive, Parameter{drive_table(drive), kFirstCounter + i, 4},
                    &counters.counter[i]) != 0)
            return -1;
    *out = counters;
    return 0;
}

int SeriesBackend::clear_drive_stats_a(ObjectId drive) const { return clear_block(drive, 0); }

int SeriesBackend::clear_drive_stats_b(ObjectId drive) const { return clear_block(drive, 1); }

int SeriesBackend::clear_drive_stats_detail_a(ObjectId drive) const {
    return clear_block(drive, 0);
}

int SeriesBackend::clear_drive_stats_detail_b(ObjectId drive) const {
    return clear_block(drive, 1);
}

int SeriesBackend::clear_drive_stats_counters(ObjectId drive) const {
    for (uint32_t i = 0; i < kCounters; ++i)
        if (write_number(drive, Parameter{drive_table(drive), kFirstCounter + i, 4}, 0) != 0)
            return -1;
    return 0;
}

int SeriesBackend::get_drive_stats_rates(ObjectId drive, DriveStatsRates* out) const {
    DriveStatsInfo info;
    if (read_info(drive, &info) != 0) return -1;
    DriveStatsRates rates = {};
    // A clock above one tick a nanosecond gives no tick rate, like no clock.
    const uint32_t tick_rate = info.clock == 0 ? 0 : uint32_t(kNanoseconds / info.clock);
    if (info.command_records != 0 && tick_rate != 0) {
        if (check_count(info.command_records) != 0) return -1;
        const uint32_t length = info.command_records * kRecordSize;
        uint8_t* records = new (std::nothrow) uint8_t[length];
        if (records == nullptr) return fail_with_api_error(kApiMemoryAllocation);
        const int result =
            get_parameter(drive, records, length, drive_table(drive), kRecords, length);
        if (result == 0) rates = rates_of(records, info.command_records, tick_rate);
        delete[] records;
        if (result != 0) return -1;
    }
    *out = rates;
    return 0;
}

int SeriesBackend::reset_drive_stats(ObjectId drive, int32_t kind, int32_t set) const {
    if (kind == 0 && set == 0) return clear_drive_stats_a(drive);
    if (kind == 0 && set == 1) return clear_drive_stats_b(drive);
    if (kind == 1 && (set == 0 || set == 1)) return clear_histogram(*this, drive, set);
    if (kind == 2) return clear_drive_stats_counters(drive);
    return 0;
}
