// The back end of the second controller series (families 4 and 6 to 10).
// Nearly everything it knows of a controller lives in numbered parameters of
// numbered parameter tables inside the firmware, moved one at a time by GET
// and SET PARAMETER. Its only state is the enclosure cache.
//
// Results: 0 on success, -1 on failure with the reason in the last-error
// record; outputs are written only on success unless a member says
// otherwise. Controller members take any identifier of the controller (only
// its index, byte 1, is used); drive members take a drive or port identifier
// and use its port (byte 2); the phy member uses the phy (byte 2).
#pragma once

#include <cstddef>
#include <cstdint>

#include "backend/drive_stats_records.h"
#include "backend/enclosure_cache.h"
#include "backend/event_record.h"
#include "backend/firmware_records.h"
#include "backend/setting_access.h"
#include "backend/task_schedule.h"
#include "backend/unit_descriptor.h"
#include "backend/unit_list_builder.h"
#include "driver/compat_info.h"
#include "driver/object_id.h"

class SeriesBackend {
  public:
    static constexpr size_t kTextSize = 32;   // identity and version texts
    static constexpr size_t kModelSize = 64;  // the controller model
    static constexpr size_t kLunTableEntries = 65;
    static constexpr size_t kLunEntrySize = 20;
    static constexpr size_t kLunTableSize = kLunTableEntries * kLunEntrySize;  // 1300
    static constexpr uint32_t kLockMilliseconds = 5000;  // every read-modify-write
    static constexpr size_t kLargestSetting = 512;       // a setting read whole into a local
    static constexpr size_t kUnitNameSize = 21;
    static constexpr size_t kUnitSerialSize = 21;        // 20 characters and a NUL

    // The enclosure cache starts with every record invalid.
    SeriesBackend();
    ~SeriesBackend();
    SeriesBackend(const SeriesBackend&) = delete;
    SeriesBackend& operator=(const SeriesBackend&) = delete;

    // --- Parameter access, on the library's driver layer. These use no
    // state of the object.

    // GET PARAMETER into out. The whole output buffer is zeroed first, so a
    // failed read leaves zeros; a parameter larger than the buffer is refused
    // (API error 116).
    static int get_parameter(ObjectId id, void* out, uint32_t out_size, uint32_t table,
                             uint32_t parameter, uint32_t size);
    // SET PARAMETER of exactly size bytes of value; a parameter larger than
    // the value buffer is refused (API error 116).
    static int set_parameter(ObjectId id, const void* value, uint32_t value_size, uint32_t table,
                             uint32_t parameter, uint32_t size);
    // The packet size of parameter commands, in words, minus 2: 3 on 64-bit
    // x86 and PowerPC kernels, else 2.
    static int get_arch_class();
    // Control code 257: the driver's 128-byte compatibility record.
    static int get_compat_info(ObjectId id, DriverCompatInfo* out);

    // --- The controller lock, taken around a read-modify-write of settings
    // (kLockMilliseconds), on the identifier's controller. Ten tries a second
    // apart; -1 with the last try's error when none took it.
    static int get_controller_lock(ObjectId id, uint32_t timeout_ms);
    // One try; -1 when the release request failed.
    static int release_controller_lock(ObjectId id);

    // --- Identity. Texts arrive trimmed and NUL-padded to the whole buffer
    // (kTextSize bytes, kModelSize for the model).
    int get_boot_loader_version(ObjectId id, char* out) const;
    int get_firmware_version(ObjectId id, char* out) const;
    int get_bios_version(ObjectId id, char* out) const;
    int get_version_string_5(ObjectId id, char* out) const;
    int get_version_string_6(ObjectId id, char* out) const;
    int get_version_string_7(ObjectId id, char* out) const;
    int get_controller_model(ObjectId id, char* out) const;
    int get_serial_number(ObjectId id, char* out) const;
    // Write the text up to its end, at most 16 (model) or 20 (serial number)
    // characters, NUL-padded.
    int set_controller_model(ObjectId id, const char* text) const;
    int set_serial_number(ObjectId id, const char* text) const;
    int get_memory_size(ObjectId id, uint32_t* out) const;
    int get_firmware_level(ObjectId id, uint32_t* out) const;
    int get_controller_features(ObjectId id, uint64_t* out) const;

    // --- Settings and counts.
    int get_number_of_ports(ObjectId id, uint32_t* out) const;
    int get_number_spinups_allowed(ObjectId id, uint32_t* out) const;
    int get_stagger_time(ObjectId id, uint32_t* out) const;
    // The controller clock, in whole seconds.
    int get_controller_time(ObjectId id, uint32_t* seconds) const;
    int set_controller_time(ObjectId id, uint32_t seconds) const;
    // Reads straight into the caller's byte: a failed read leaves it 0.
    int get_auto_rebuild(ObjectId id, uint8_t* out) const;
    int get_controller_setting_42(ObjectId id, uint32_t* out) const;
    int get_drive_count(ObjectId id, uint32_t* out) const;
    int get_unit_count(ObjectId id, uint32_t* out) const;

    // --- Phys and drives.
    int get_phy_device_type(ObjectId phy, uint8_t* out) const;
    int get_drive_reallocated_sectors(ObjectId drive, uint32_t* out) const;
    int get_drive_power_on_hours(ObjectId drive, uint32_t* out) const;
    int get_drive_temperature(ObjectId drive, int32_t* degrees) const;
    // 0 none, 1 or 5 SATA, 3 or 7 SAS.
    int get_drive_interface(ObjectId drive, uint8_t* out) const;
    int get_drive_port_count(ObjectId drive, uint32_t* out) const;
    int get_drive_connections(ObjectId drive, uint32_t* out) const;
    int get_drive_enclosure_position(ObjectId drive, uint32_t* out) const;
    int get_drive_slot_number(ObjectId drive, uint32_t* out) const;
    int get_drive_spindle_speed(ObjectId drive, uint32_t* out) const;

    // --- Background tasks. Rates 1 (fastest I/O) to 5 (fastest task);
    // modes 0 adaptive, 1 low latency. Minutes of the week are converted
    // between controller and local time on a virtual-machine driver.
    int get_rebuild_rate(ObjectId id, int32_t* rate) const;
    int get_verify_rate(ObjectId id, int32_t* rate) const;
    int get_task_setting_8(ObjectId id, uint16_t* out) const;
    int get_selftest_flags(ObjectId id, uint16_t* out) const;
    int get_basic_verify_time(ObjectId id, uint16_t* minutes) const;
    int set_basic_verify_time(ObjectId id, uint16_t minutes) const;
    int get_rebuild_mode(ObjectId id, uint8_t* mode) const;
    int get_verify_mode(ObjectId id, uint8_t* mode) const;
    // Schedule slots 0 to 6: starts (0xFFFF: none) and durations in minutes.
    int get_selftest_task(ObjectId id, uint16_t slot, uint16_t* start) const;
    int get_rebuild_task(ObjectId id, uint16_t slot, uint16_t* start, uint16_t* duration) const;
    int get_verify_task(ObjectId id, uint16_t slot, uint16_t* start, uint16_t* duration) const;
    // All seven slots; nothing is written unless every read succeeds.
    int get_task_schedule(ObjectId id, TaskSchedule* out) const;

    // --- Units.
    // The unit-present map's byte for a unit number, as a signed value; 0
    // for numbers the 32-byte map does not hold and when the read fails
    // (nothing recorded by the member itself).
    int is_unit_present(ObjectId id, uint8_t unit) const;
    // The LUN count of the unit (byte 4); API error 63 "No unit" when the
    // unit is absent. Reads straight into the caller's byte.
    int get_unit_lun_count(ObjectId unit, uint8_t* out) const;
    // The unit's LUN table: up to 65 entries of 20 bytes in kLunTableSize
    // bytes, unused bytes 0xFF; a unit with more LUNs has its first 65 read.
    // API error 63 for an absent unit.
    int read_lun_table(ObjectId unit, uint8_t* out) const;

    // --- Events: the driver's queue, read by sequence number. A reader that
    // succeeds writes the whole record, with an English description; code 0
    // means the queue held no such event.
    int get_first_aen(ObjectId id, EventRecord* out) const;
    int get_last_aen(ObjectId id, EventRecord* out) const;
    int get_next_aen(ObjectId id, uint32_t sequence, EventRecord* out) const;
    int get_previous_aen(ObjectId id, uint32_t sequence, EventRecord* out) const;
    // Queues the caller's event in the controller.
    int post_aen(ObjectId id, const EventPostRecord& event) const;

    // --- Drive statistics. Controller-wide members take any identifier of
    // the controller; the others a drive identifier. Set selects the first
    // (0) or second (1) statistics block and histogram.
    int get_drive_stats_enable(ObjectId id, uint8_t* on) const;
    int set_drive_stats_enable(ObjectId id, uint8_t on) const;
    int get_drive_stats_info(ObjectId id, DriveStatsInfo* out) const;
    int get_drive_stats_settings(ObjectId id, DriveStatsSettings* out) const;
    int set_drive_stats_settings(ObjectId id, const DriveStatsSettings& settings) const;
    int get_drive_stats_brief_a(ObjectId drive, DriveStatsBrief* out) const;
    int get_drive_stats_brief_b(ObjectId drive, DriveStatsBrief* out) const;
    int get_drive_stats_detail_a(ObjectId drive, DriveStatsDetail* out) const;
    int get_drive_stats_detail_b(ObjectId drive, DriveStatsDetail* out) const;
    // Histograms of the controller's entry count H; more entries than
    // kDriveStatsMaxEntries are refused (API error 116) before any transfer.
    int get_drive_stats_histogram_a(ObjectId drive, DriveStatsHistogramEntry* out) const;
    int get_drive_stats_histogram_b(ObjectId drive, DriveStatsHistogramEntry* out) const;
    int set_drive_stats_histogram_a(ObjectId drive, const DriveStatsHistogramEntry* in) const;
    int set_drive_stats_histogram_b(ObjectId drive, const DriveStatsHistogramEntry* in) const;
    int get_drive_stats_counters(ObjectId drive, DriveStatsCounters* out) const;
    int clear_drive_stats_a(ObjectId drive) const;
    int clear_drive_stats_b(ObjectId drive) const;
    int clear_drive_stats_detail_a(ObjectId drive) const;
    int clear_drive_stats_detail_b(ObjectId drive) const;
    int clear_drive_stats_counters(ObjectId drive) const;
    // All zero when the controller keeps no records or its clock gives no
    // tick rate; more records than kDriveStatsMaxEntries: API error 116.
    int get_drive_stats_rates(ObjectId drive, DriveStatsRates* out) const;
    // Kind 0 clears a statistics block, 1 a histogram, 2 the counters;
    // other kinds and sets do nothing and succeed.
    int reset_drive_stats(ObjectId drive, int32_t kind, int32_t set) const;

    // --- Event capture. The stored capture size 1 stands for 1024.
    static constexpr uint32_t kCaptureRecordSize = 32832;
    int enable_event_capture(ObjectId id, uint32_t size) const;
    int disable_event_capture(ObjectId id) const;
    int start_event_capture(ObjectId id) const;
    int stop_event_capture(ObjectId id) const;
    int get_event_capture_state(ObjectId id, uint32_t* on, uint32_t* size) const;
    int get_event_capture_running(ObjectId id, uint32_t* running) const;
    int get_event_capture_counts(ObjectId id, uint32_t* first, uint32_t* second) const;
    // The whole record is read; the caller receives its first length bytes
    // (the rest of a longer buffer is zeroed).
    int read_event_capture_record(ObjectId id, uint32_t index, uint8_t* buffer,
                                  uint32_t length) const;
    int get_event_capture_setting_8(ObjectId id, uint32_t* value) const;
    int get_event_capture_setting_10(ObjectId id, uint32_t* value) const;
    int get_event_capture_setting_11(ObjectId id, uint32_t* value) const;
    int get_event_capture_setting_12(ObjectId id, uint32_t* value) const;
    int set_event_capture_setting_8(ObjectId id, uint32_t value) const;
    int set_event_capture_setting_10(ObjectId id, uint32_t value) const;
    int set_event_capture_setting_11(ObjectId id, uint32_t value) const;
    int set_event_capture_setting_12(ObjectId id, uint32_t value) const;

    // --- Battery backup unit. Everything but the enabled flag and the
    // switches needs the unit enabled (else API error 90); most need it
    // fitted (74) and some a battery in it (75).
    static constexpr size_t kBbuTextSize = 32;      // serial, firmware, text 5
    static constexpr size_t kBbuLongTextSize = 64;  // text 7
    static constexpr size_t kBatteryDateSize = 16;  // installation, last test
    int get_bbu_enabled(ObjectId id, uint32_t* out) const;
    // A word that cannot be read counts as 0 (no unit fitted).
    int get_bbu_status_bits(ObjectId id, uint32_t* out) const;
    int get_bbu_present(ObjectId id, int32_t* out) const;
    int get_battery_present(ObjectId id, int32_t* out) const;
    int get_bbu_ready(ObjectId id, int32_t* out) const;  // 8 ready, 0 not
    // 0 ok, 1 low, 2 high, 3 too low, 4 too high; -1 for anything else.
    int get_battery_voltage_status(ObjectId id, int32_t* out) const;
    int get_battery_temperature_status(ObjectId id, int32_t* out) const;
    int get_battery_status_bit11(ObjectId id, int32_t* out) const;
    int get_battery_status_bit14(ObjectId id, int32_t* out) const;
    int get_battery_temperature(ObjectId id, int32_t* degrees) const;
    int get_bbu_serial_number(ObjectId id, char* out) const;
    int get_bbu_firmware_version(ObjectId id, char* out) const;
    int get_bbu_string_5(ObjectId id, char* out) const;
    int get_bbu_value_6(ObjectId id, uint32_t* out) const;
    int get_bbu_string_7(ObjectId id, char* out) const;
    int get_battery_installation_date(ObjectId id, char* out) const;
    int get_last_capacity_test(ObjectId id, char* out) const;
    int get_estimated_backup_capacity(ObjectId id, uint32_t* hours) const;
    int get_battery_value_11(ObjectId id, uint8_t* out) const;
    int get_battery_value_16(ObjectId id, uint32_t* out) const;
    int get_battery_value_17(ObjectId id, uint16_t* out) const;
    int get_battery_value_20(ObjectId id, uint16_t* out) const;
    // 0 ok, 1 not present, 2 no battery, 3 testing, 4 charging, 5 fault, 6
    // error, 7 weak battery, 8 battery failed, 9 disabled; -1 otherwise.
    int get_bbu_status(ObjectId id, int32_t* out) const;
    int enable_bbu(ObjectId id) const;
    int disable_bbu(ObjectId id) const;
    int send_bbu_command_0(ObjectId id) const;
    int start_bbu_battery_test(ObjectId id) const;
    int send_bbu_command_2(ObjectId id) const;
    int send_bbu_command_3(ObjectId id) const;
    int send_bbu_command_31(ObjectId id) const;

    // --- Background task settings. Rates 1 to 5 (else API error 45); on
    // firmware level 37 and above a low-latency mode follows the rate.
    int set_rebuild_rate(ObjectId id, const int32_t* rate) const;
    int set_verify_rate(ObjectId id, const int32_t* rate) const;
    // Mode 0 adaptive, 1 low latency; other modes: API error 122.
    int set_rebuild_mode(ObjectId id, uint8_t mode) const;
    int set_verify_mode(ObjectId id, uint8_t mode) const;
    int set_selftest_flags(ObjectId id, const uint16_t* flags) const;
    // One slot, 0 to 6 (else API error 122).
    int set_rebuild_task(ObjectId id, uint16_t slot, uint16_t start, uint16_t duration) const;
    int set_verify_task(ObjectId id, uint16_t slot, uint16_t start, uint16_t duration) const;
    int set_selftest_task(ObjectId id, uint16_t slot, uint16_t start) const;
    // All seven slots under the controller lock; the slots written before a
    // failure stay written.
    int set_task_schedule(ObjectId id, const TaskSchedule& schedule) const;
    // 1 to the number of ports, else API error 57.
    int set_number_spinups_allowed(ObjectId id, int32_t count) const;
    // 0 to 60, else API error 58.
    int set_stagger_time(ObjectId id, int32_t value) const;
    // 0 to 30, else API error 58.
    int set_controller_setting_42(ObjectId id, int32_t value) const;
    int get_controller_flag_10(ObjectId id, uint8_t* out) const;
    int set_controller_flag_10(ObjectId id, uint8_t value) const;
    int set_auto_rebuild(ObjectId id, int32_t value) const;
    // The controller's error log (or its second log buffer) into the
    // caller's kErrorLogSize bytes: the whole log is read, and a longer log
    // is cut to the buffer.
    static constexpr size_t kErrorLogSize = 32768;
    int get_error_log(ObjectId id, uint8_t* out) const;
    int get_error_log_buffer(ObjectId id, uint8_t* out) const;
    int do_nothing(ObjectId id) const;

    // --- Unit configuration descriptors (backend/unit_descriptor.h). Unit
    // members take a unit identifier (kind 2: depth in byte 3, the path
    // from byte 4, the top-level unit's number first); sub-units read the
    // list of their top-level unit.
    // The unit's list: API error 63 when the unit is absent; a list of more
    // records than the buffer holds, or of records not 20 bytes long, is
    // refused (API error 116 or 13) before the records are read.
    int read_unit_descriptor(ObjectId unit, UnitDescriptorList* out) const;
    // The place of the target's record in the list (search_descriptor);
    // -1 when it is not there.
    static int find_unit_record(ObjectId target, const UnitDescriptorList& list, int* place);
    // Also the place that follows it (-1 past the list's room).
    static int find_unit_record_and_next(ObjectId target, const UnitDescriptorList& list,
                                         int* place, int* next);
    // Also the identifier of the found place.
    static int find_record_id(ObjectId target, const UnitDescriptorList& list, int* place,
                              ObjectId* id);
    // The task record that the task identifier's byte 2 names: 0 the unit
    // record at first, 1 to N the task records after it (N its byte 18).
    // -1 with nothing recorded beyond that.
    static int get_task_record(ObjectId task, const UnitDescriptorList& list, int first,
                               int* place);
    // The unit's list and the place of the unit's record in it.
    int read_unit_record(ObjectId unit, UnitDescriptorList* list, int* place) const;
    // 0 when the unit's record is in its list, else -1.
    int check_unit_id(ObjectId unit) const;
    // 1 when the unit has a child at the index, else 0.
    int has_subunit(ObjectId unit, uint8_t index) const;
    // Non-zero when the port holds a drive (bit 7 of its port-status byte);
    // 0 for ports from 128 and when the status cannot be read.
    int is_port_present(ObjectId id, uint8_t port) const;
    // 1 when the port is below the controller's port count (port 0 always
    // when the count is 0); 0 otherwise or when the count cannot be read.
    int is_port_valid(ObjectId id, uint8_t port) const;

    // --- Unit queries. Lists are filled with 0xFF past their count.
    // The top-level units present. Always 0.
    int get_unit_list(ObjectId id, IdList* out) const;
    // UnitType; RAID 0 over RAID 1 or RAID 5 sub-units reads 6 or 8.
    int get_unit_type(ObjectId unit, int32_t* out) const;
    // UnitStatus of a unit, sub-unit, member place or task record (kind 11);
    // RAID 10 and RAID 50 merge their sub-units' statuses.
    int get_unit_status(ObjectId unit, uint8_t* out) const;
    // Percentage done of the running task, 0 to 100.
    int get_percent_complete(ObjectId unit, int32_t* out) const;
    // The statuses of a RAID 6 unit record and of its first task record;
    // both are set to 17 first.
    int get_raid6_degraded_drives(ObjectId unit, uint8_t* first, uint8_t* second) const;
    // In 512-byte sectors.
    int get_unit_capacity(ObjectId unit, uint64_t* out) const;
    // The children in index order, up to the first missing index. Always 0.
    int get_subunit_list(ObjectId unit, IdList* out) const;
    int get_subunit_count(ObjectId unit, uint32_t* out) const;
    // LUN identifiers: the unit identifier with kind 12 and the LUN's index.
    static ObjectId make_lun_id(ObjectId unit, uint8_t index);
    int get_lun_list(ObjectId unit, IdList* out) const;
    int get_lun_capacity(ObjectId lun, uint64_t* out) const;
    int get_lun_attribute(ObjectId lun, uint8_t* out) const;
    // Unit parameters. The flag byte of a sub-unit is 127, read from nowhere.
    int get_unit_flags(ObjectId unit, uint8_t* out) const;
    // 0 disabled, 1 basic, 2 intelligent.
    int get_read_cache(ObjectId unit, uint8_t* out) const;
    int get_write_cache(ObjectId unit, uint8_t* out) const;
    int get_lun_count(ObjectId unit, uint32_t* out) const;
    int get_unit_queuing(ObjectId unit, uint8_t* out) const;
    int set_unit_queuing(ObjectId unit, uint8_t value) const;

    // --- Unit membership.
    // In KiB, for RAID 0, 5, 6, 10 and 50 (API error 60 for other types).
    int get_stripe_size(ObjectId unit, uint32_t* out) const;
    // The identifier of the place that holds the drive (depth 1 for a drive
    // held as a unit by itself); kind 2, the controller and 0xFF elsewhere
    // for a free drive, and whenever the call fails after its first step.
    int get_drive_unit(ObjectId drive, ObjectId* out) const;
    // The drives of a unit or sub-unit, one entry with port 0xFF per member
    // place without a drive; a migrating unit gives the longer of its
    // source's and destination's lists.
    int get_unit_drive_list(ObjectId unit, IdList* out) const;
    // Task identifiers: the unit identifier with kind 11 and the index of the
    // record among the unit record (0) and its task records.
    static ObjectId make_task_id(ObjectId unit, uint8_t index);
    // The task records of a RAID 6 unit, the unit record first; API error 2
    // for other units. The count is set to 0 first.
    int build_unit_task_list(ObjectId unit, IdList* out) const;
    int get_unit_task_list(ObjectId unit, IdList* out) const;
    int get_unit_task_count(ObjectId unit, uint32_t* out) const;
    // The drive of the member that a failed or rebuilding task concerns;
    // -1 without an error of its own when the task concerns none.
    int get_task_drive(ObjectId task, ObjectId* out) const;

    // --- Drive and port queries.
    // The drives present, by port. Always 0.
    int get_drive_list(ObjectId id, IdList* out) const;
    // Every port of the controller, with a drive or not. Always 0.
    int get_port_list(ObjectId id, IdList* out) const;
    // The port's status byte; 0 for an empty member place (port 0xFF) and
    // for ports outside the status array.
    int get_drive_status(ObjectId drive, uint8_t* out) const;
    // One status byte per listed drive, from one read of the array.
    int get_drive_status_list(IdList list, uint8_t* out) const;
    // Sectors: the 64-bit parameter above firmware level 32, else the
    // 32-bit one.
    int get_drive_capacity(ObjectId drive, uint64_t* out) const;
    // Texts trimmed, NUL-padded to kModelSize or kTextSize bytes.
    int get_drive_model(ObjectId drive, char* out) const;
    int get_drive_serial_number(ObjectId drive, char* out) const;
    int get_drive_firmware_version(ObjectId drive, char* out) const;
    int get_drive_flags(ObjectId drive, uint8_t* out) const;
    // ATA pass-through to the drive: the low two bits of size_code, the
    // protocol code (with a buffer), the registers in and back out (also
    // when the command failed), the data buffer or null, the time-out in
    // seconds.
    int send_ata_command(ObjectId drive, uint8_t size_code, uint16_t protocol, uint16_t* features,
                         uint16_t* sector_count, uint16_t* lba_low, uint16_t* lba_mid,
                         uint16_t* lba_high, uint8_t* device, uint8_t* command, void* data,
                         int32_t timeout) const;
    static constexpr size_t kSectorSize = 512;
    int get_drive_smart_data(ObjectId drive, uint8_t* out) const;
    int get_drive_identify_data(ObjectId drive, uint8_t* out) const;
    // A caller-built 1024-byte command area with its data, to the controller
    // the identifier names; the flag has no effect.
    int send_firmware_command(ObjectId id, uint8_t flag, const uint8_t* area, void* data,
                              uint32_t data_length) const;

    // --- Settings of one parameter each (backend/series_settings.def). On/off
    // settings hold 1 or 0; the unit name is 21 bytes both ways.
#define SETTING_ROW SETTING_DECLARATION
#include "backend/series_settings.def"
#undef SETTING_ROW
    // The unit's serial number: 20 characters, NUL-terminated in 21 bytes.
    int get_unit_serial_number(ObjectId unit, char* out) const;
    // The driver's compatibility record (control code 257), whose leading
    // text is the driver version; out is written only on success.
    int get_driver_version(ObjectId id, DriverCompatInfo* out) const;
    // Bits 0, 1, 2 and 15 of the flag word of table 11, as 1 or 0; enabling
    // and disabling change the word under the controller lock.
#define TABLE11_FLAG(bit)                                               \
    int get_table11_flag_##bit(ObjectId id, uint8_t* out) const;        \
    int enable_table11_flag_##bit(ObjectId id) const;                   \
    int disable_table11_flag_##bit(ObjectId id) const;
    TABLE11_FLAG(0)
    TABLE11_FLAG(1)
    TABLE11_FLAG(2)
    TABLE11_FLAG(15)
#undef TABLE11_FLAG
    // The flag of table 7: 1 when byte 4 of its 512-byte record is 0. The
    // setter writes the record back, under the controller lock, only when
    // byte 4 changes (0 for any value but 0, which stores 1).
    int get_table7_flag(ObjectId id, uint8_t* out) const;
    int set_table7_flag(ObjectId id, uint8_t value) const;
    // The ECC policy on rebuild: 1 go on past ECC errors, 0 halt. Kept by
    // RAID 1, 5, 6, 10 and 50 and migrating units; API error 82 for others.
    int get_ecc_on_rebuild(ObjectId unit, uint8_t* out) const;
    int set_ecc_on_rebuild(ObjectId unit, uint8_t value) const;
    // 1 when the unit is initialised (RAID 10 and 50: every sub-unit), else
    // 0. API error 77 for units of other kinds, 76 when the record is gone.
    int get_unit_initialized(ObjectId unit, uint8_t* out) const;
    // 1 when the background task of the unit, of a drive member of a RAID 6
    // unit or of a task record (kind 11) is active, 0 when it is paused.
    // API error 79 for other kinds, 78 when the record is gone, 17 for a
    // RAID 6 member that is not rebuilding.
    int get_unit_task_info(ObjectId id, uint8_t* out) const;
    // Its two cases of their own: a task record (API error 78 beyond the
    // unit's task records), and a drive member of a RAID 6 unit.
    int get_task_record_task_info(ObjectId task, uint8_t* out) const;
    int get_raid6_member_task_info(ObjectId member, uint8_t* out) const;
    // The drives of the controller's units, counted over the unit drive lists
    // that can be read; the connections of its drives, over the drives whose
    // count can be read.
    int get_configured_drive_count(ObjectId id, uint32_t* out) const;
    int get_connection_count(ObjectId id, uint32_t* out) const;

    // --- The enclosure cache: the record of (controller index, position),
    // or null outside the cache.
    EnclosureCacheRecord* enclosure_record(uint8_t controller, uint8_t position);

    // --- Enclosures and their elements.
#include "backend/series_enclosure_members.h"

    // --- Unit configuration and maintenance.
#include "backend/series_unit_members.h"

    // --- Controller firmware images.
#include "backend/series_firmware_members.h"

  private:
    EnclosureCacheRecord* enclosure_cache_;
};
