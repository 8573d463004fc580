// The unit configuration members of SeriesBackend, included inside its
// class body: creating, importing, deleting, migrating and splitting units,
// verify and rebuild, taking drives in and out of the configuration, the
// unit cache policies and the rescan of a controller.
//
// Drive lists are caller-owned IdLists; their controller is that of the
// first entry. A missing list or one whose count is above 128 is refused
// with API error 122 before anything is asked. make_os_aware asks that the
// operating system be told of units that appear or go; only units exposed
// to the host (unit flag bit 0) are announced, never disks and spares.

// --- Firmware commands that carry a descriptor list or a port bitmap.
// The controller of every command is the drive's or the unit's.
// Create unit (0x74); out is the new depth-1 unit. A number that names no
// unit (64 and above) is refused with API error 34.
int send_create_unit_command(ObjectId controller, const uint8_t* list, uint16_t length,
                             ObjectId* out) const;
// Unit change 0x6F: migrate (sub-operation 0, the new layout's list),
// mirror a single disk onto a DISK unit (8), split a mirror (2).
int send_migrate_unit_command(ObjectId controller, const uint8_t* list, uint16_t length,
                              ObjectId unit) const;
int send_mirror_disk_command(ObjectId single, ObjectId disk) const;
int send_split_mirror_command(ObjectId unit) const;
// Port scan (0x06) and import (0x07); the packet's size follows the
// firmware level, read before each command.
int send_port_scan_bitmap(ObjectId controller, const PortBitmap& ports) const;
int send_port_scan_bitmap_with_flag(ObjectId controller, const PortBitmap& ports,
                                    uint8_t flag) const;
int send_import_bitmap(ObjectId controller, const PortBitmap& ports) const;
// The commands on one unit (its number, path byte 0, in byte 3), sent one
// after the other on one open of the controller; the first failure ends
// them: delete 0x15 (byte 7 the mode), verify 0x05 (byte 7 1 start, 0x80
// stop), rebuild 0x09 (byte 6 the replacement unit), background task 0x17
// (byte 6 0x80), flush 0x0E.
struct UnitCommand {
    uint8_t opcode, byte6, byte7;
};
int send_unit_commands(ObjectId unit, const UnitCommand* commands, int count) const;
// Remove drive (0x0A): bytes 6, 7 (the port) and 3 of the packet.
int release_drive(ObjectId controller, uint8_t byte6, uint8_t byte7, uint8_t byte3) const;

// --- Descriptor lists, built and sent. With migrate set the list is sent
// as a migration of the unit named by unit, else as a create whose new unit
// is written to unit. Lists that would not fit 203 records, or volumes
// whose sectors do not fit 64 bits, are refused with API error 122.
int build_single_drive_unit(const IdList* drives, int32_t type, ObjectId* out) const;
int build_flat_unit(const IdList* drives, int32_t type, int32_t stripe, ObjectId* unit,
                    uint8_t migrate, VolumeSizes volumes) const;
// RAID 50 drives per sub-unit: API error 35 for a grouping the controller
// does not build.
int build_nested_unit(const IdList* drives, int32_t type, int32_t stripe, ObjectId* unit,
                      int32_t per_subunit, uint8_t migrate, VolumeSizes volumes) const;

// --- Unit configuration.
// Readable feature bits with RAID 6 among them, else API error 2.
int check_raid6_support(ObjectId id) const;
// Checks in order: RAID 6 support (2), JBOD of SAS drives (133), type (33),
// drive count (26), stripe (27), then per drive controller (28), duplicate
// (29), port empty (30), drive error (32), drive held (31; a DISK unit of
// its own is deleted and the drive counts as free). With migrate 0 the new
// unit goes to unit; with migrate 1 unit names the unit being migrated.
int create_unit(const IdList* drives, int32_t type, int32_t stripe, uint8_t make_os_aware,
                ObjectId* unit, int32_t per_subunit, uint8_t migrate, VolumeSizes volumes) const;
// A single disk migrated to RAID 1: the free drive becomes a DISK unit and
// the single disk is mirrored onto it.
int make_disk_units(ObjectId single, const IdList* drives) const;
// The units the controller finds on the drives, in out.
int import_unit(const IdList* drives, uint8_t make_os_aware, IdList* out) const;
// Mode 0x80 deletes, 0x40 exports (the configuration stays on the drives
// for a later import), 0 takes a disk or spare unit apart.
int delete_unit(ObjectId unit, uint8_t make_os_aware, uint8_t mode) const;
int migrate_unit(ObjectId unit, const IdList* drives, int32_t type, int32_t stripe,
                 uint8_t make_os_aware, int32_t per_subunit) const;
int split_mirror(ObjectId unit, uint8_t make_os_aware, IdList* out) const;
// stop 0 starts a verify of an OK unit, 1 stops a running one.
int verify_unit(ObjectId unit, int32_t stop) const;
int verify_raid6_unit(ObjectId unit, int32_t stop) const;
// The first drive of the list replaces the degraded unit's missing member.
int rebuild_unit(ObjectId unit, const IdList* drives) const;
int rebuild_raid6_unit(ObjectId unit, const IdList* drives) const;
// Takes one drive out of the configuration: a free drive at once, a disk
// or spare unit after deleting it, a member of a redundant unit while the
// unit can spare it.
int remove_drive(ObjectId drive) const;

// --- Unit policies and drives.
// Read-modify-write of unit parameters 13 and 29 under the controller lock.
int enable_basic_read_cache(ObjectId unit) const;
int disable_read_cache(ObjectId unit) const;
int enable_intelligent_read_cache(ObjectId unit) const;
int enable_write_cache(ObjectId unit) const;
int disable_write_cache(ObjectId unit) const;
int flush_write_cache(ObjectId unit) const;
// Scans the empty port for a drive and names the drive there; API error 23
// when the port already holds one.
int add_drive(ObjectId port, ObjectId* out) const;
// Schedule switches of table 0x840C: 1 enabled; the disable members write
// the caller's value.
int get_verify_schedule(ObjectId id, uint8_t* out) const;
int get_rebuild_schedule(ObjectId id, uint8_t* out) const;
int enable_verify_schedule(ObjectId id) const;
int enable_rebuild_schedule(ObjectId id) const;
int disable_verify_schedule(ObjectId id, uint8_t value) const;
int disable_rebuild_schedule(ObjectId id, uint8_t value) const;
// A port scan of the listed ports (drive or port identifiers of one
// controller, below 128; else API error 24). An empty list sends nothing.
int send_port_scan(const IdList* ports) const;
int scan_ports(const IdList* ports, uint8_t flag) const;

// --- Rescan: deletes the units the controller marks as left over, adds
// the drives found on empty ports and imports the units on the drives that
// carry a configuration. units lists the units imported, drives the drives
// found that stayed free; with nothing found both counts are 0 and the
// entries are left as they were.
int rescan_controller(ObjectId id, uint8_t make_os_aware, IdList* units, IdList* drives) const;
int scan_present_ports(ObjectId id) const;
