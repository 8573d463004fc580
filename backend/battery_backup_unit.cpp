// The battery backup unit of a second-series controller: parameter table
// 0x8006 (status word, identity texts, measurements, enabled flag, status
// code) and the battery commands. Every query but the enabled flag first
// reads the status word and checks that the unit is enabled, fitted and, for
// the battery's own values, holds a battery.
#include <cstring>

#include "backend/series_backend.h"
#include "backend/series_parameter_access.h"
#include "driver/driver_access.h"
#include "driver/record_failure.h"
#include "driver/series_command.h"

namespace {

using namespace series_access;

constexpr uint32_t kTable = 0x8006;
constexpr Parameter kStatusWord{kTable, 2, 4};
constexpr Parameter kSerialNumber{kTable, 3, 20};
constexpr Parameter kFirmwareVersion{kTable, 4, 16};
constexpr Parameter kString5{kTable, 5, 16};
constexpr Parameter kValue6{kTable, 6, 1};
constexpr Parameter kString7{kTable, 7, 32};
constexpr Parameter kInstallationDate{kTable, 8, 12};
constexpr Parameter kLastCapacityTest{kTable, 9, 12};
constexpr Parameter kBackupCapacity{kTable, 10, 1};
constexpr Parameter kValue11{kTable, 11, 1};
constexpr Parameter kValue16{kTable, 16, 2};
constexpr Parameter kValue17{kTable, 17, 2};
constexpr Parameter kTemperature{kTable, 18, 1};
constexpr Parameter kValue20{kTable, 20, 2};
constexpr Parameter kEnabled{kTable, 64, 1};
constexpr Parameter kStatusCode{kTable, 65, 1};

// Status word bits and fields.
constexpr uint32_t kFitted = 1u << 31;
constexpr uint32_t kHasBattery = 1u << 30;
constexpr uint32_t kReady = 1u << 3;
constexpr int kVoltageShift = 4;
constexpr int kTemperatureShift = 8;
constexpr uint32_t kFieldMask = 7;
constexpr uint32_t kHighestField = 4;
constexpr int kBit11 = 11;
constexpr int kBit14 = 14;
constexpr uint32_t kHighestStatusCode = 9;

// Battery commands: opcode, packet length in words, sub-code.
constexpr uint8_t kBatteryOpcode = 0x1E;
constexpr uint8_t kBatteryWords = 2;
constexpr uint8_t kCommand31Opcode = 0x1F;
constexpr uint8_t kCommand31Words = 5;
constexpr uint16_t kCommand31Code = 24;
constexpr size_t kCommand31Value = 12;

enum class Needs { Enabled, Fitted, Battery };

// The status word, once the unit has what the caller needs.
int status_for(const SeriesBackend& backend, ObjectId id, Needs needs, uint32_t* word) {
    if (backend.get_bbu_status_bits(id, word) != 0) return -1;
    if (needs != Needs::Enabled && (*word & kFitted) == 0) return fail_with_api_error(kApiNoBbu);
    if (needs == Needs::Battery && (*word & kHasBattery) == 0)
        return fail_with_api_error(kApiNoBattery);
    return 0;
}

template <typename T>
int read_value(const SeriesBackend& backend, ObjectId id, Needs needs, Parameter p, T* out) {
    uint32_t word;
    if (status_for(backend, id, needs, &word) != 0) return -1;
    return read_as(id, p, out);
}

// A text straight into the caller's buffer, zeroed to its size first.
int read_text(const SeriesBackend& backend, ObjectId id, Needs needs, Parameter p, char* out,
              size_t out_size) {
    uint32_t word;
    if (status_for(backend, id, needs, &word) != 0) return -1;
    return SeriesBackend::get_parameter(id, out, uint32_t(out_size), p.table, p.id, p.size);
}

// A field of the status word: 0 to 4, anything else -1.
int32_t field_of(uint32_t word, int shift) {
    const uint32_t value = (word >> shift) & kFieldMask;
    return value <= kHighestField ? int32_t(value) : -1;
}

int send_battery_command(const SeriesBackend& backend, ObjectId id, Needs needs, uint8_t opcode,
                         uint8_t words, uint16_t code, bool with_value) {
    uint32_t word;
    if (status_for(backend, id, needs, &word) != 0) return -1;
    int32_t descriptor = -1;
    if (DriverAccess::open_controller(id, &descriptor) != 0) return -1;
    SeriesDriverRequest request(driver_request::kFirmwareCommand);
    uint8_t* packet = request.packet();
    packet[series_packet::kOpcode] = opcode;
    packet[series_packet::kSizeWords] = words;
    le::store(packet + series_packet::kCount, code, 2);
    if (with_value) le::store(packet + kCommand31Value, 1, 4);
    const int result =
        DriverAccess::series_ioctl(descriptor, request.header, request.area, nullptr, 0);
    DriverAccess::close_controller(descriptor);
    return result == -1 ? -1 : 0;
}

int send_sub_command(const SeriesBackend& backend, ObjectId id, uint16_t code) {
    return send_battery_command(backend, id, Needs::Battery, kBatteryOpcode, kBatteryWords, code,
                                false);
}

}  // namespace

int SeriesBackend::get_bbu_enabled(ObjectId id, uint32_t* out) const {
    return read_as(id, kEnabled, out);
}

int SeriesBackend::get_bbu_status_bits(ObjectId id, uint32_t* out) const {
    uint32_t enabled;
    if (read_as(id, kEnabled, &enabled) != 0) return -1;
    if (enabled == 0) return fail_with_api_error(kApiBbuDisabled);
    uint32_t word = 0;
    if (read_as(id, kStatusWord, &word) != 0) word = 0;
    *out = word;
    return 0;
}

int SeriesBackend::get_bbu_present(ObjectId id, int32_t* out) const {
    uint32_t word;
    if (status_for(*this, id, Needs::Enabled, &word) != 0) return -1;
    *out = int32_t(word & kFitted);
    return 0;
}

int SeriesBackend::get_battery_present(ObjectId id, int32_t* out) const {
    uint32_t word;
    if (status_for(*this, id, Needs::Fitted, &word) != 0) return -1;
    *out = int32_t(word & kHasBattery);
    return 0;
}

int SeriesBackend::get_bbu_ready(ObjectId id, int32_t* out) const {
    uint32_t word;
    if (status_for(*this, id, Needs::Fitted, &word) != 0) return -1;
    *out = int32_t(word & kReady);
    return 0;
}

int SeriesBackend::get_battery_voltage_status(ObjectId id, int32_t* out) const {
    uint32_t word;
    if (status_for(*this, id, Needs::Battery, &word) != 0) return -1;
    *out = field_of(word, kVoltageShift);
    return 0;
}

int SeriesBackend::get_battery_temperature_status(ObjectId id, int32_t* out) const {
    uint32_t word;
    if (status_for(*this, id, Needs::Battery, &word) != 0) return -1;
    *out = field_of(word, kTemperatureShift);
    return 0;
}

int SeriesBackend::get_battery_status_bit11(ObjectId id, int32_t* out) const {
    uint32_t word;
    if (status_for(*this, id, Needs::Battery, &word) != 0) return -1;
    *out = int32_t((word >> kBit11) & 1);
    return 0;
}

int SeriesBackend::get_battery_status_bit14(ObjectId id, int32_t* out) const {
    uint32_t word;
    if (status_for(*this, id, Needs::Battery, &word) != 0) return -1;
    *out = int32_t((word >> kBit14) & 1);
    return 0;
}

int SeriesBackend::get_battery_temperature(ObjectId id, int32_t* degrees) const {
    uint8_t stored;
    if (read_value(*this, id, Needs::Battery, kTemperature, &stored) != 0) return -1;
    *degrees = int8_t(stored);
    return 0;
}

int SeriesBackend::get_bbu_serial_number(ObjectId id, char* out) const {
    return read_text(*this, id, Needs::Fitted, kSerialNumber, out, kBbuTextSize);
}

int SeriesBackend::get_bbu_firmware_version(ObjectId id, char* out) const {
    return read_text(*this, id, Needs::Fitted, kFirmwareVersion, out, kBbuTextSize);
}

int SeriesBackend::get_bbu_string_5(ObjectId id, char* out) const {
    return read_text(*this, id, Needs::Fitted, kString5, out, kBbuTextSize);
}

int SeriesBackend::get_bbu_value_6(ObjectId id, uint32_t* out) const {
    return read_value(*this, id, Needs::Fitted, kValue6, out);
}

int SeriesBackend::get_bbu_string_7(ObjectId id, char* out) const {
    return read_text(*this, id, Needs::Fitted, kString7, out, kBbuLongTextSize);
}

int SeriesBackend::get_battery_installation_date(ObjectId id, char* out) const {
    return read_text(*this, id, Needs::Battery, kInstallationDate, out, kBatteryDateSize);
}

int SeriesBackend::get_last_capacity_test(ObjectId id, char* out) const {
    return read_text(*this, id, Needs::Battery, kLastCapacityTest, out, kBatteryDateSize);
}

int SeriesBackend::get_estimated_backup_capacity(ObjectId id, uint32_t* hours) const {
    return read_value(*this, id, Needs::Battery, kBackupCapacity, hours);
}

int SeriesBackend::get_battery_value_11(ObjectId id, uint8_t* out) const {
    return read_value(*this, id, Needs::Battery, kValue11, out);
}

int SeriesBackend::get_battery_value_16(ObjectId id, uint32_t* out) const {
    return read_value(*this, id, Needs::Fitted, kValue16, out);
}

int SeriesBackend::get_battery_value_17(ObjectId id, uint16_t* out) const {
    return read_value(*this, id, Needs::Fitted, kValue17, out);
}

int SeriesBackend::get_battery_value_20(ObjectId id, uint16_t* out) const {
    return read_value(*this, id, Needs::Fitted, kValue20, out);
}

int SeriesBackend::get_bbu_status(ObjectId id, int32_t* out) const {
    uint32_t code;
    if (read_value(*this, id, Needs::Fitted, kStatusCode, &code) != 0) return -1;
    *out = code <= kHighestStatusCode ? int32_t(code) : -1;
    return 0;
}

int SeriesBackend::enable_bbu(ObjectId id) const { return write_number(id, kEnabled, 1); }

int SeriesBackend::disable_bbu(ObjectId id) const { return write_number(id, kEnabled, 0); }

int SeriesBackend::send_bbu_command_0(ObjectId id) const { return send_sub_command(*this, id, 0); }

int SeriesBackend::start_bbu_battery_test(ObjectId id) const {
    return send_sub_command(*this, id, 1);
}

int SeriesBackend::send_bbu_command_2(ObjectId id) const { return send_sub_command(*this, id, 2); }

int SeriesBackend::send_bbu_command_3(ObjectId id) const { return send_sub_command(*this, id, 3); }

int SeriesBackend::send_bbu_command_31(ObjectId id) const {
    return send_battery_command(*this, id, Needs::Fitted, kCommand31Opcode, kCommand31Words,
                                kCommand31Code, true);
}
