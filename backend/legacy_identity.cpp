// The first series' controller identity, counts, task rate, error log and
// kernel driver version.
#include <cstdio>
#include <cstring>
#include <string>

#include "backend/legacy_backend.h"
#include "backend/parameter_size_table.h"
#include "driver/record_failure.h"
#include "driver/series_command.h"
#include "driver/system_files.h"
#include "driver/trim_whitespace.h"

namespace {

constexpr uint16_t kIdentity = 0x402;
constexpr uint16_t kSettings = 0x403;
constexpr uint16_t kPortSummary = 2;
constexpr uint16_t kUnitSummary = 3;
constexpr uint16_t kTaskRate = 0x405;
constexpr uint8_t kRateFirst = 3, kRateSecond = 4;

// The background task rate as the firmware keeps it: a pair of bytes per
// rate 1 to 5; the second byte tells the rate back.
struct RatePair {
    uint8_t first, second;
};
constexpr RatePair kRatePairs[5] = {{3, 15}, {8, 17}, {16, 25}, {25, 35}, {40, 40}};

// The driver's files that carry its version, by controller index.
constexpr char kProcDriverFile[] = "/proc/scsi/dq-xxxx";
constexpr char kSysStatsFile[] = "/sys/class/scsi_host/host%d/stats";

uint32_t size_of(uint16_t table, uint8_t parameter) {
    return uint32_t(ParameterSizeTable::size_of(table, parameter));
}

// Scans the version word of one of the driver's files into out
// (LegacyBackend::kDriverVersionSize bytes).
bool scan_version(const std::string& text, const char* format, char* out) {
    char word[LegacyBackend::kDriverVersionSize] = "";
    if (std::sscanf(text.c_str(), format, word) != 1) return false;
    std::memcpy(out, word, sizeof word);
    return true;
}

}  // namespace

int LegacyBackend::read_text(ObjectId id, uint16_t table, uint8_t parameter, char* out,
                             size_t out_size) const {
    std::memset(out, 0, out_size);
    uint32_t size = size_of(table, parameter);
    if (size >= out_size) size = uint32_t(out_size - 1);  // keeps a NUL at the end
    if (get_parameter(id, table, parameter, size, out, 0) != 0) return -1;
    trim_whitespace(out);
    return 0;
}

int LegacyBackend::read_count(ObjectId id, uint16_t table, uint8_t parameter, uint32_t* out) const {
    *out = 0;
    uint32_t size = size_of(table, parameter);
    if (size > sizeof *out) size = sizeof *out;
    uint8_t bytes[4] = {0, 0, 0, 0};
    if (get_parameter(id, table, parameter, size, bytes, 0) != 0) return -1;
    *out = uint32_t(le::load(bytes, 4));
    return 0;
}

int LegacyBackend::get_controller_model(ObjectId id, char* out) const {
    return read_text(id, kIdentity, 8, out, kModelSize);
}

int LegacyBackend::get_serial_number(ObjectId id, char* out) const {
    return read_text(id, kIdentity, 9, out, kTextSize);
}

int LegacyBackend::set_serial_number(ObjectId id, const char* text) const {
    const uint32_t size = size_of(kIdentity, 9);
    char value[kTextSize] = {};
    std::memcpy(value, text, strnlen(text, size));
    return set_parameter(id, kIdentity, 9, size, value, 0);
}

int LegacyBackend::get_version_string_5(ObjectId id, char* out) const {
    return read_text(id, kIdentity, 5, out, kTextSize);
}

int LegacyBackend::get_version_string_6(ObjectId id, char* out) const {
    return read_text(id, kIdentity, 6, out, kTextSize);
}

int LegacyBackend::get_version_string_7(ObjectId id, char* out) const {
    return read_text(id, kIdentity, 7, out, kTextSize);
}

int LegacyBackend::get_firmware_version(ObjectId id, char* out) const {
    return read_text(id, kIdentity, 3, out, kTextSize);
}

int LegacyBackend::get_bios_version(ObjectId id, char* out) const {
    return read_text(id, kIdentity, 4, out, kTextSize);
}

int LegacyBackend::get_boot_loader_version(ObjectId id, char* out) const {
    return read_text(id, kIdentity, 2, out, kTextSize);
}

int LegacyBackend::get_memory_size(ObjectId id, uint32_t* out) const {
    return get_parameter(id, kIdentity, 10, size_of(kIdentity, 10), out, 0);
}

int LegacyBackend::get_number_of_ports(ObjectId id, uint32_t* out) const {
    return read_count(id, kSettings, 3, out);
}

int LegacyBackend::get_drive_count(ObjectId id, uint32_t* out) const {
    return read_count(id, kPortSummary, 2, out);
}

int LegacyBackend::get_unit_count(ObjectId id, uint32_t* out) const {
    return read_count(id, kUnitSummary, 2, out);
}

int LegacyBackend::get_task_rate(ObjectId id, int32_t* rate) const {
    uint8_t first = 0, second = 0;
    if (get_parameter(id, kTaskRate, kRateFirst, 1, &first, 0) != 0) return -1;
    if (get_parameter(id, kTaskRate, kRateSecond, 1, &second, 0) != 0) return -1;
    *rate = -1;
    for (int r = 0; r < 5; ++r)
        if (kRatePairs[r].second == second) *rate = r + 1;
    return 0;
}

int LegacyBackend::set_task_rate(ObjectId id, const int32_t* rate) const {
    const uint32_t value = uint32_t(*rate);
    if (value == 0 || value > 5) return fail_with_api_error(kApiInvalidTaskRate);
    const RatePair pair = kRatePairs[value - 1];
    if (set_parameter(id, kTaskRate, kRateFirst, 1, &pair.first, 0) != 0) return -1;
    return set_parameter(id, kTaskRate, kRateSecond, 1, &pair.second, 0);
}

int LegacyBackend::get_error_log(ObjectId id, uint8_t* out) const {
    return read_error_log(id, out);
}

int LegacyBackend::get_driver_version(ObjectId id, char* out) const {
    const int index = id.b[1];
    char path[64];
    std::string text;
    std::snprintf(path, sizeof path, "%s/%i", kProcDriverFile, index);
    bool found = false;
    if (read_system_file(path, &text)) {
        // The version is on the line after the driver's title.
        const size_t end = text.find('\n');
        found = end != std::string::npos &&
                scan_version(text.substr(end + 1), "Driver version: %127s", out);
    } else {
        std::snprintf(path, sizeof path, kSysStatsFile, index);
        if (!read_system_file(path, &text)) return fail_with_api_error(kApiDriverNotLoaded);
        found = scan_version(text, "dq-xxxx Driver version: %127s", out);
    }
    return found ? 0 : fail_with_api_error(kApiDriverNotLoaded);
}
