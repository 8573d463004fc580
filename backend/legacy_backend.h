// The back end of the first controller series (family 3): 512-byte firmware
// commands, one driver request each, without the controller lock. It keeps
// no state.
//
// Results: 0 on success, -1 on failure with the reason in the last-error
// record. Controller members take any identifier of the controller (only
// its index, byte 1, is used); drive members a drive or port identifier
// (the port is byte 2); unit members a unit identifier whose byte 3 is the
// depth of its path and bytes 4, 5 and 6 the unit number, the sub-unit
// (member or RAID 10 mirror) and the drive inside a mirror.
//
// A family-3 controller has at most 16 ports and 16 units.
#pragma once

#include <cstddef>
#include <cstdint>

#include "backend/event_record.h"
#include "driver/object_id.h"

class LegacyBackend {
  public:
    static constexpr size_t kTextSize = 32;   // identity, version and drive texts
    static constexpr size_t kModelSize = 64;  // controller and drive models
    static constexpr size_t kDriverVersionSize = 128;
    static constexpr size_t kDescriptorSize = 512;
    static constexpr uint32_t kErrorLogSize = 32768;
    static constexpr uint32_t kSectorSize = 512;
    static constexpr uint32_t kCapacityReserve = 2048;  // never used by a unit
    static constexpr int kMaxPorts = 16;
    static constexpr int kMaxUnits = 16;

    // --- Packets and parameters.
    // One parameter of table (no flag bit) into or from size bytes; unit is
    // byte 3 of the command (the unit a per-unit table such as 0x406 asks
    // about). A failed read leaves out untouched.
    int get_parameter(ObjectId id, uint16_t table, uint8_t parameter, uint32_t size, void* out,
                      uint8_t unit) const;
    int set_parameter(ObjectId id, uint16_t table, uint8_t parameter, uint32_t size,
                      const void* value, uint8_t unit) const;
    // Opcode 0x06 for the port in byte 2 of id, checked against the number
    // of ports (API error 24).
    int send_add_drive(ObjectId id) const;
    int send_import_unit(ObjectId id, uint32_t port_mask) const;
    int send_replace_drive(ObjectId id, uint8_t unit, uint8_t member, uint8_t replacement) const;
    int send_remove_drive(ObjectId id, uint8_t byte6, uint8_t byte7, uint8_t byte3) const;
    // Mode 0x80 deletes, 0 exports; the unit number is byte 4 of the id.
    int send_delete_unit(ObjectId unit, uint8_t mode) const;
    int send_background_task(ObjectId id, uint8_t unit, uint8_t task, uint8_t mode,
                             uint8_t subunit) const;
    // CreateUnit with data_length bytes of descriptor, descriptor_length of
    // them meaningful; out is the new depth-1 unit.
    int send_create_unit(ObjectId id, uint32_t data_length, const uint8_t* descriptor,
                         uint16_t descriptor_length, ObjectId* out) const;
    // kErrorLogSize bytes.
    int read_error_log(ObjectId id, uint8_t* out) const;
    // The record the unit id names, at the start of the kDescriptorSize-byte
    // out: the whole descriptor at depth 1, a member or mirror record at
    // depth 2, a mirror's drive record at depth 3 (API error 13 otherwise).
    int get_unit_descriptor(ObjectId unit, uint8_t* out) const;

    // --- Identity and settings. Texts arrive trimmed and NUL-padded in
    // kTextSize bytes (kModelSize for the models).
    int get_controller_model(ObjectId id, char* out) const;
    int get_serial_number(ObjectId id, char* out) const;
    // Writes the first 20 bytes of text.
    int set_serial_number(ObjectId id, const char* text) const;
    int get_version_string_5(ObjectId id, char* out) const;
    int get_version_string_6(ObjectId id, char* out) const;
    int get_version_string_7(ObjectId id, char* out) const;
    int get_firmware_version(ObjectId id, char* out) const;
    int get_bios_version(ObjectId id, char* out) const;
    int get_boot_loader_version(ObjectId id, char* out) const;
    int get_memory_size(ObjectId id, uint32_t* out) const;
    int get_number_of_ports(ObjectId id, uint32_t* out) const;
    int get_drive_count(ObjectId id, uint32_t* out) const;
    int get_unit_count(ObjectId id, uint32_t* out) const;
    // The one background task rate, 1 to 5, or -1 for a value it does not
    // know (still success). Both the rebuild and the verify rate.
    int get_task_rate(ObjectId id, int32_t* rate) const;

    // --- Units.
    int get_unit_list(ObjectId id, IdList* out) const;
    // 1 when the unit number has a unit, else 0.
    int is_unit_present(ObjectId id, uint8_t unit) const;
    // The raw status byte: the firmware's for a unit, derived from the
    // descriptor for a member or mirror.
    int get_unit_status_byte(ObjectId unit, uint8_t* out) const;
    // 255 ok, 251 verifying, 247 initializing, 239 degraded, 223
    // rebuilding, 0 no unit, 17 unknown.
    int get_unit_status(ObjectId unit, uint8_t* out) const;
    // The raw status AND 0x7F; bit 0: the unit is exposed to the system.
    int get_unit_flags(ObjectId unit, uint8_t* out) const;
    int get_unit_type(ObjectId unit, int32_t* out) const;
    int get_unit_capacity(ObjectId unit, uint64_t* out) const;
    // In KiB; 0xFFFFFFFF (-1) for a unit without stripes (still success).
    int get_stripe_size(ObjectId unit, uint32_t* out) const;
    int get_percent_complete(ObjectId unit, int32_t* out) const;
    int get_subunit_list(ObjectId unit, IdList* out) const;
    int get_subunit_count(ObjectId unit, uint32_t* out) const;
    int get_unit_drive_list(ObjectId unit, IdList* out) const;
    int get_write_cache(ObjectId unit, uint8_t* out) const;

    // --- Drives and ports.
    // 0 no drive; 0xFF present and healthy; bit 7 present, bit 0 free of
    // errors.
    int get_drive_status(ObjectId drive, uint8_t* out) const;
    int is_drive_present(ObjectId id, uint8_t port) const;
    int get_drive_list(ObjectId id, IdList* out) const;
    int get_port_list(ObjectId id, IdList* out) const;
    int get_drive_capacity(ObjectId drive, uint64_t* out) const;
    int get_drive_model(ObjectId drive, char* out) const;
    int get_drive_serial_number(ObjectId drive, char* out) const;
    int get_drive_firmware_version(ObjectId drive, char* out) const;
    // The unit or member that holds the drive; a free drive gives kind 2
    // and seven bytes 0xFF.
    int get_drive_unit(ObjectId drive, ObjectId* out) const;

    // --- Controller logs and driver.
    int get_error_log(ObjectId id, uint8_t* out) const;
    // The kernel driver's version word, NUL-terminated in
    // kDriverVersionSize bytes.
    int get_driver_version(ObjectId id, char* out) const;

    // --- Configuration and maintenance. make_os_aware asks that the
    // operating system be told of a unit that appears or goes.
    int create_unit(const IdList* drives, int32_t type, int32_t stripe, uint8_t make_os_aware,
                    ObjectId* out) const;
    int import_unit(const IdList* drives, uint8_t make_os_aware, IdList* out) const;
    int delete_unit(ObjectId unit, uint8_t make_os_aware, uint8_t mode) const;
    int add_drive(ObjectId port, ObjectId* out) const;
    int remove_drive(ObjectId drive) const;
    // The first drive of the list replaces the unit's failed member.
    int rebuild_unit(ObjectId unit, const IdList* drives, uint8_t ecc) const;
    int send_rebuild_subcommand_2(ObjectId unit) const;
    int send_rebuild_subcommand_4(ObjectId unit) const;
    // stop 0 starts a verify, 1 stops one.
    int verify_unit(ObjectId unit, int32_t stop) const;
    int enable_write_cache(ObjectId unit) const;
    int disable_write_cache(ObjectId unit) const;
    int flush_write_cache(ObjectId unit) const;
    // Rates 1 to 5; the rebuild and the verify rate are one setting.
    int set_task_rate(ObjectId id, const int32_t* rate) const;
    int enable_controller_option_4(ObjectId id) const;
    int disable_controller_option_4(ObjectId id) const;
    // Adds the drives found on empty ports and imports the units on them;
    // units lists the units imported, drives the drives found that stay
    // free.
    int rescan_controller(ObjectId id, uint8_t make_os_aware, IdList* units, IdList* drives) const;
    int do_nothing(ObjectId id) const;

    // --- Events, ATA pass-through and firmware.
    // The next queued event; code 0 when there is none.
    int get_aen(ObjectId id, EventRecord* out) const;
    // The registers are sent and read back (also when the command fails);
    // data, when given, holds sector count × 512 bytes (131,072 for a
    // count of 0).
    int send_ata_command(ObjectId drive, int32_t protocol, uint16_t value, uint16_t* features,
                         uint16_t* sector_count, uint16_t* lba_low, uint16_t* lba_mid,
                         uint16_t* lba_high, uint8_t* device, uint8_t* command, void* data) const;
    // One 512-byte sector each.
    int get_drive_smart_data(ObjectId drive, uint8_t* out) const;
    int get_drive_identify_data(ObjectId drive, uint8_t* out) const;
    // Accepts every image.
    int check_firmware_image_header(ObjectId id, const void* image, uint32_t size) const;
    int download_firmware(ObjectId id, const void* image, int32_t size) const;

  private:
    int read_text(ObjectId id, uint16_t table, uint8_t parameter, char* out, size_t out_size) const;
    int read_count(ObjectId id, uint16_t table, uint8_t parameter, uint32_t* out) const;
    // The whole descriptor of the unit number (byte 4) in kDescriptorSize
    // zeroed bytes, with its meaningful length.
    int read_descriptor(ObjectId unit, uint8_t* out, size_t* length) const;
    // The record the identifier's path names, moved to the start of out,
    // with its length.
    int read_record(ObjectId unit, uint8_t* out, size_t* length) const;
    int write_cache_allowed(ObjectId unit) const;
    int set_write_cache(ObjectId unit, uint8_t value) const;
    int controller_option_4(ObjectId id, uint8_t on) const;
    int send_rebuild_subcommand(ObjectId unit, uint8_t task) const;
    // Create's checks: 1 when the value passes, else 0 with its API error.
    int check_unit_type(int32_t type) const;
    int check_drive_count(int32_t type, uint32_t count) const;
    int check_stripe_size(int32_t type, int32_t stripe) const;
    int check_create_drives(const IdList* drives) const;
    // The descriptor builders; each sends CreateUnit.
    int build_raid0_unit(ObjectId controller, const IdList* drives, int32_t stripe,
                         ObjectId* out) const;
    int build_raid1_unit(ObjectId controller, const IdList* drives, int32_t stripe,
                         ObjectId* out) const;
    int build_raid5_unit(ObjectId controller, const IdList* drives, int32_t stripe,
                         ObjectId* out) const;
    int build_raid10_unit(ObjectId controller, const IdList* drives, int32_t stripe,
                          ObjectId* out) const;
    int build_raid_unit(ObjectId controller, const IdList* drives, uint8_t type, int32_t stripe,
                        ObjectId* out) const;
    int build_single_drive_unit(ObjectId controller, ObjectId drive, ObjectId* out,
                                uint8_t type) const;
    int check_import_drive(const IdList* drives, uint32_t position) const;
    int rebuild_target(ObjectId* unit, uint8_t status, uint8_t* member, uint8_t* mirror) const;
    int replacement_unit(const IdList* drives, ObjectId* replacement) const;
    int smallest_member_capacity(ObjectId unit, uint64_t* smallest) const;
    int tell_os(ObjectId unit, uint8_t action) const;
};
