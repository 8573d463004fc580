// What a second-series controller tells of itself: identity and version
// texts, counts, clock, settings, per-drive facts, background task rates,
// modes and schedule slots, and its units' presence and LUN tables. Each
// member reads or writes one parameter and converts it.
#include <cstring>

#include "backend/series_backend.h"
#include "backend/series_parameter_access.h"
#include "driver/driver_access.h"
#include "driver/record_failure.h"
#include "driver/series_command.h"
#include "driver/trim_whitespace.h"

namespace {

using namespace series_access;

// Controller identity (0x402).
constexpr Parameter kBootLoaderVersion{0x402, 2, 16};
constexpr Parameter kFirmwareVersion{0x402, 3, 16};
constexpr Parameter kBiosVersion{0x402, 4, 16};
constexpr Parameter kVersionString5{0x402, 5, 8};
constexpr Parameter kVersionString6{0x402, 6, 8};
constexpr Parameter kVersionString7{0x402, 7, 8};
constexpr Parameter kModel{0x402, 8, 16};
constexpr Parameter kSerialNumber{0x402, 9, 20};
constexpr Parameter kMemorySize{0x402, 10, 4};
constexpr Parameter kFirmwareLevel{0x402, 11, 4};
constexpr Parameter kFeatures{0x402, 21, 8};
// Controller settings (0x403) and the port and unit summaries (2, 3).
constexpr Parameter kClock{0x403, 21, 8};
constexpr Parameter kDriveCount{2, 2, 2};
constexpr Parameter kUnitCount{3, 2, 2};
constexpr Parameter kUnitPresentMap{3, 3, 32};
// Per phy (0x80 + phy), drive (0x200 + port) and unit (0x300 + unit).
constexpr Parameter kPhyDeviceType{0x80, 5, 1};
constexpr Parameter kReallocatedSectors{0x200, 19, 2};
constexpr Parameter kPowerOnHours{0x200, 20, 2};
constexpr Parameter kTemperature{0x200, 22, 2};
constexpr Parameter kInterface{0x200, 24, 1};
constexpr Parameter kDrivePorts{0x200, 25, 1};
constexpr Parameter kConnections{0x200, 26, 1};
constexpr Parameter kEnclosurePosition{0x200, 30, 1};
constexpr Parameter kSlotNumber{0x200, 31, 1};
constexpr Parameter kSpindleSpeed{0x200, 33, 2};
constexpr Parameter kLunCount{0x300, 16, 1};
constexpr Parameter kLunParameter24{0x300, 24, 2};
constexpr Parameter kLunTable{0x300, 25, 0};  // LUN count × 20 bytes
// Background tasks (0x840C) and schedule slots (0x8410 + slot).
constexpr Parameter kTaskSetting8{0x840C, 8, 2};
constexpr Parameter kBasicVerifyTime{0x840C, 11, 2};

constexpr uint64_t kNanosecondsPerSecond = 1000000000ull;
constexpr uint16_t kNoTask = TaskSchedule::kNoTask;
constexpr size_t kUnitMapBuffer = 64;

// A text written to the firmware: up to its end, NUL-padded to the
// parameter's size.
int write_text(ObjectId id, Parameter p, const char* text) {
    char buffer[SeriesBackend::kTextSize] = {};
    std::memcpy(buffer, text, strnlen(text, p.size));
    return SeriesBackend::set_parameter(id, buffer, sizeof buffer, p.table, p.id, p.size);
}

// Stored rate bytes run from 220 (rate 1) down to 20 (rate 5).
int read_rate(ObjectId id, Parameter p, int32_t* rate) {
    uint8_t stored;
    if (read_as(id, p, &stored) != 0) return -1;
    *rate = (270 - int32_t(stored)) / 50;
    return 0;
}

int read_mode(ObjectId id, Parameter p, uint8_t* mode) {
    uint8_t stored;
    if (read_as(id, p, &stored) != 0) return -1;
    *mode = stored == 0 ? 0 : 1;
    return 0;
}

// A scheduled start as the caller sees it: in local time on a
// virtual-machine driver, unless there is no task.
uint16_t local_start(ObjectId id, uint16_t start) {
    if (start == kNoTask || DriverAccess::is_vm_driver(id) != 1) return start;
    return uint16_t(DriverAccess::to_local_week_minutes(start));
}

// A rebuild or verify slot: start in the low 16 bits, duration in the high.
int read_slot_task(ObjectId id, Parameter p, uint16_t slot, uint16_t* start, uint16_t* duration) {
    uint32_t value;
    if (read_as(id, of_object(p, slot), &value) != 0) return -1;
    *start = local_start(id, uint16_t(value));
    *duration = uint16_t(value >> 16);
    return 0;
}

}  // namespace

int SeriesBackend::get_boot_loader_version(ObjectId id, char* out) const {
    return read_text(id, kBootLoaderVersion, out, kTextSize);
}

int SeriesBackend::get_firmware_version(ObjectId id, char* out) const {
    return read_text(id, kFirmwareVersion, out, kTextSize);
}

int SeriesBackend::get_bios_version(ObjectId id, char* out) const {
    return read_text(id, kBiosVersion, out, kTextSize);
}

int SeriesBackend::get_version_string_5(ObjectId id, char* out) const {
    return read_text(id, kVersionString5, out, kTextSize);
}

int SeriesBackend::get_version_string_6(ObjectId id, char* out) const {
    return read_text(id, kVersionString6, out, kTextSize);
}

int SeriesBackend::get_version_string_7(ObjectId id, char* out) const {
    return read_text(id, kVersionString7, out, kTextSize);
}

int SeriesBackend::get_controller_model(ObjectId id, char* out) const {
    return read_text(id, kModel, out, kModelSize);
}

int SeriesBackend::get_serial_number(ObjectId id, char* out) const {
    return read_text(id, kSerialNumber, out, kTextSize);
}

int SeriesBackend::set_controller_model(ObjectId id, const char* text) const {
    return write_text(id, kModel, text);
}

int SeriesBackend::set_serial_number(ObjectId id, const char* text) const {
    return write_text(id, kSerialNumber, text);
}

int SeriesBackend::get_memory_size(ObjectId id, uint32_t* out) const {
    return read_as(id, kMemorySize, out);
}

int SeriesBackend::get_firmware_level(ObjectId id, uint32_t* out) const {
    return read_as(id, kFirmwareLevel, out);
}

int SeriesBackend::get_controller_features(ObjectId id, uint64_t* out) const {
    return read_as(id, kFeatures, out);
}

int SeriesBackend::get_number_of_ports(ObjectId id, uint32_t* out) const {
    return read_as(id, kPorts, out);
}

int SeriesBackend::get_number_spinups_allowed(ObjectId id, uint32_t* out) const {
    return read_as(id, kSpinups, out);
}

int SeriesBackend::get_stagger_time(ObjectId id, uint32_t* out) const {
    return read_as(id, kStaggerTime, out);
}

int SeriesBackend::get_controller_time(ObjectId id, uint32_t* seconds) const {
    uint64_t nanoseconds;
    if (read_number(id, kClock, &nanoseconds) != 0) return -1;
    *seconds = uint32_t(nanoseconds / kNanosecondsPerSecond);
    return 0;
}

int SeriesBackend::set_controller_time(ObjectId id, uint32_t seconds) const {
    return write_number(id, kClock, uint64_t(seconds) * kNanosecondsPerSecond);
}

int SeriesBackend::get_auto_rebuild(ObjectId id, uint8_t* out) const {
    return get_parameter(id, out, 1, kAutoRebuild.table, kAutoRebuild.id, kAutoRebuild.size);
}

int SeriesBackend::get_controller_setting_42(ObjectId id, uint32_t* out) const {
    return read_as(id, kSetting42, out);
}

int SeriesBackend::get_drive_count(ObjectId id, uint32_t* out) const {
    return read_as(id, kDriveCount, out);
}

int SeriesBackend::get_unit_count(ObjectId id, uint32_t* out) const {
    return read_as(id, kUnitCount, out);
}

int SeriesBackend::get_phy_device_type(ObjectId phy, uint8_t* out) const {
    return read_as(phy, of_object(kPhyDeviceType, phy.b[2]), out);
}

int SeriesBackend::get_drive_reallocated_sectors(ObjectId drive, uint32_t* out) const {
    return read_as(drive, of_object(kReallocatedSectors, drive.b[2]), out);
}

int SeriesBackend::get_drive_power_on_hours(ObjectId drive, uint32_t* out) const {
    return read_as(drive, of_object(kPowerOnHours, drive.b[2]), out);
}

int SeriesBackend::get_drive_temperature(ObjectId drive, int32_t* degrees) const {
    uint16_t stored;
    if (read_as(drive, of_object(kTemperature, drive.b[2]), &stored) != 0) return -1;
    *degrees = int16_t(stored);
    return 0;
}

int SeriesBackend::get_drive_interface(ObjectId drive, uint8_t* out) const {
    return read_as(drive, of_object(kInterface, drive.b[2]), out);
}

int SeriesBackend::get_drive_port_count(ObjectId drive, uint32_t* out) const {
    return read_as(drive, of_object(kDrivePorts, drive.b[2]), out);
}

int SeriesBackend::get_drive_connections(ObjectId drive, uint32_t* out) const {
    return read_as(drive, of_object(kConnections, drive.b[2]), out);
}

int SeriesBackend::get_drive_enclosure_position(ObjectId drive, uint32_t* out) const {
    return read_as(drive, of_object(kEnclosurePosition, drive.b[2]), out);
}

int SeriesBackend::get_drive_slot_number(ObjectId drive, uint32_t* out) const {
    return read_as(drive, of_object(kSlotNumber, drive.b[2]), out);
}

int SeriesBackend::get_drive_spindle_speed(ObjectId drive, uint32_t* out) const {
    return read_as(drive, of_object(kSpindleSpeed, drive.b[2]), out);
}

int SeriesBackend::get_rebuild_rate(ObjectId id, int32_t* rate) const {
    return read_rate(id, kRebuildRate, rate);
}

int SeriesBackend::get_verify_rate(ObjectId id, int32_t* rate) const {
    return read_rate(id, kVerifyRate, rate);
}

int SeriesBackend::get_task_setting_8(ObjectId id, uint16_t* out) const {
    return read_as(id, kTaskSetting8, out);
}

int SeriesBackend::get_selftest_flags(ObjectId id, uint16_t* out) const {
    return read_as(id, kSelftestFlags, out);
}

// The basic verify time is converted on a virtual-machine driver whatever
// its value, 0xFFFF included.
int SeriesBackend::get_basic_verify_time(ObjectId id, uint16_t* minutes) const {
    uint16_t stored;
    if (read_as(id, kBasicVerifyTime, &stored) != 0) return -1;
    *minutes = DriverAccess::is_vm_driver(id) == 1
                   ? uint16_t(DriverAccess::to_local_week_minutes(stored))
                   : stored;
    return 0;
}

int SeriesBackend::set_basic_verify_time(ObjectId id, uint16_t minutes) const {
    const uint16_t stored = DriverAccess::is_vm_driver(id) == 1
                                ? uint16_t(DriverAccess::to_controller_week_minutes(minutes))
                                : minutes;
    return write_number(id, kBasicVerifyTime, stored);
}

int SeriesBackend::get_rebuild_mode(ObjectId id, uint8_t* mode) const {
    return read_mode(id, kRebuildMode, mode);
}

int SeriesBackend::get_verify_mode(ObjectId id, uint8_t* mode) const {
    return read_mode(id, kVerifyMode, mode);
}

int SeriesBackend::get_selftest_task(ObjectId id, uint16_t slot, uint16_t* start) const {
    uint16_t stored;
    if (read_as(id, of_object(kSelftestTask, slot), &stored) != 0) return -1;
    *start = local_start(id, stored);
    return 0;
}

int SeriesBackend::get_rebuild_task(ObjectId id, uint16_t slot, uint16_t* start,
                                    uint16_t* duration) const {
    return read_slot_task(id, kRebuildTask, slot, start, duration);
}

int SeriesBackend::get_verify_task(ObjectId id, uint16_t slot, uint16_t* start,
                                   uint16_t* duration) const {
    return read_slot_task(id, kVerifyTask, slot, start, duration);
}

int SeriesBackend::get_task_schedule(ObjectId id, TaskSchedule* out) const {
    TaskSchedule schedule;
    for (uint16_t slot = 0; slot < TaskSchedule::kSlots; ++slot) {
        TaskScheduleSlot& s = schedule.slots[slot];
        if (get_selftest_task(id, slot, &s.selftest_start) != 0 ||
            get_rebuild_task(id, slot, &s.rebuild_start, &s.rebuild_duration) != 0 ||
            get_verify_task(id, slot, &s.verify_start, &s.verify_duration) != 0)
            return -1;
    }
    *out = schedule;
    return 0;
}

int SeriesBackend::is_unit_present(ObjectId id, uint8_t unit) const {
    if (unit >= kUnitMapBuffer) return 0;
    uint8_t map[kUnitMapBuffer];
    if (get_parameter(id, map, sizeof map, kUnitPresentMap.table, kUnitPresentMap.id,
                      kUnitPresentMap.size) != 0)
        return 0;
    return int8_t(map[unit]);
}

namespace {

// The controller of a unit identifier and whether the unit (byte 4) exists;
// API error 63 "No unit" when it does not.
bool unit_exists(const SeriesBackend& backend, ObjectId unit) {
    ObjectId controller = unit;
    controller.b[0] = kKindController;
    if (backend.is_unit_present(controller, unit.b[4]) != 0) return true;
    fail_with_api_error(kApiNoUnit);
    return false;
}

}  // namespace

int SeriesBackend::get_unit_lun_count(ObjectId unit, uint8_t* out) const {
    if (!unit_exists(*this, unit)) return -1;
    const Parameter p = of_object(kLunCount, unit.b[4]);
    return get_parameter(unit, out, 1, p.table, p.id, p.size);
}

int SeriesBackend::read_lun_table(ObjectId unit, uint8_t* out) const {
    if (!unit_exists(*this, unit)) return -1;
    uint8_t count;
    uint16_t unused;
    if (read_as(unit, of_object(kLunCount, unit.b[4]), &count) != 0 ||
        read_as(unit, of_object(kLunParameter24, unit.b[4]), &unused) != 0)
        return -1;
    // The firmware answers the whole table of count entries or nothing, so
    // a unit with more LUNs than the caller's table holds is read into a
    // scratch area of the largest count, and its first entries kept. A unit
    // without LUNs has no entry to read. Only the entries read are handed to
    // the parameter access (which zeroes its buffer), so the rest of the
    // table keeps its 0xFF.
    uint8_t whole[255 * kLunEntrySize];
    static_assert(sizeof whole >= kLunTableSize);
    std::memset(whole, 0xFF, sizeof whole);
    const Parameter p = of_object(kLunTable, unit.b[4]);
    const uint32_t length = uint32_t(count) * uint32_t(kLunEntrySize);
    if (length != 0 && get_parameter(unit, whole, length, p.table, p.id, length) != 0) return -1;
    std::memcpy(out, whole, kLunTableSize);
    return 0;
}
