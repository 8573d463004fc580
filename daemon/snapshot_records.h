// Plain snapshot records of controllers, units, drives, phys and batteries,
// filled from the library for one request (or one monitor pass) and read
// directly by the page generators. Constructors set the presets below and
// allocate nothing; a ControllerRecord owns the arrays a handler attaches.
#pragma once

#include <cstdint>

#include "api/ctl_types.h"
#include "driver/object_id.h"

struct UnitCacheRecord {
    UnitCacheRecord();
    uint8_t read_cache_mode;  // 0 off, 1 basic, 2 intelligent, 255 unknown
    uint8_t write_cache;      // flag, 255 unknown
};

struct BatteryRecord {
    BatteryRecord();
    int enabled;
    int bbu_present;
    int battery_present;
    char firmware_version[32];
    char serial_number[32];
    int ready;
    int status;
    char installation_date[16];
    int voltage_status;
    int temperature_status;
    int temperature_c;
    int temperature_f;
    int backup_capacity;
    char last_capacity_test[16];
};

struct PhyRecord {
    PhyRecord();
    uint8_t phy;
    uint8_t device_type;
    uint8_t drive_port;
    ObjectId drive_id;
    uint8_t sas_address[8];
    uint8_t link_speed_supported;
    uint8_t link_speed;
    uint8_t link_limit;
};

struct DriveRecord {
    DriveRecord();
    uint8_t port;
    uint8_t status;  // 128 and above: the port holds a drive
    uint64_t capacity;
    char model[64];
    char firmware_version[32];
    char serial_number[32];
    ObjectId unit_id;
    uint8_t unit_path[4];
    ObjectId slot_id;
    uint8_t identify;
    uint8_t queuing_supported;
    uint8_t queuing_enabled;
    uint8_t link_speed_supported;
    uint8_t link_speed;
    int drive_port_count;
    int connections;
    uint8_t interface;
    uint8_t wwn[8];
    int reallocated_sectors;
    int power_on_hours;
    int temperature_c;
    int temperature_f;
    int spindle_speed;
    ObjectId phy_id;
};

struct UnitRecord {
    UnitRecord();
    ~UnitRecord();
    UnitRecord(const UnitRecord&) = delete;
    UnitRecord& operator=(const UnitRecord&) = delete;

    ObjectId id;
    uint8_t number;
    char name[21];
    char serial_number[21];
    uint8_t status;
    uint8_t flags;
    int percent_complete;
    uint64_t capacity;
    int type;
    uint8_t initialized;
    uint8_t task_info;
    uint8_t ecc_on_rebuild;
    uint8_t auto_verify;
    uint8_t queuing;
    uint8_t protection_mode;
    uint8_t recovery_policy;
    int stripe_size;
    uint8_t drive_port;
    IdList sub_units;
    int lun_count;
    IdList luns;
    UnitRecord* sub_unit_records;  // owned, new[]
    uint8_t identify;
    int has_inoperable;
    int has_recovering;
    int has_degraded;
    int has_rebuilding;
    int has_verifying;
    int has_initializing;
    int has_migrating;
    int is_ok;
    int has_unknown;
    int rebuild_percent;
    int rebuild_task_info;
    int task_percent;
    int task_task_info;
    int task_count;
    int redundancy_left;
};

struct ControllerRecord {
    ControllerRecord();
    ~ControllerRecord();
    ControllerRecord(const ControllerRecord&) = delete;
    ControllerRecord& operator=(const ControllerRecord&) = delete;

    char error_text[256];
    int position;
    uint8_t controller_index;
    uint8_t raid6_allowed;
    char model[66];
    int family;
    char firmware_version[32];
    char bios_version[32];
    char boot_loader_version[32];
    char driver_version[128];
    char serial_number[32];
    char info_text_a[32];
    char info_text_c[32];
    char info_text_b[32];
    int memory_size;
    IdList units;
    IdList ports;
    IdList phys;
    unsigned rebuild_rate;
    unsigned verify_rate;
    uint8_t multi_lun_policy;
    int spinups_allowed;
    int stagger_time;
    uint8_t export_unconfigured_disk;
    uint8_t disable_write_cache_on_degrade;
    uint8_t auto_rebuild;
    uint8_t rebuild_schedule_enabled;
    uint8_t verify_schedule_enabled;
    int firmware_level;
    uint16_t basic_verify_time;
    int recovery_policy_supported;
    uint8_t schedule[70];
    uint16_t selftest_flags;
    int bus_info;
    uint64_t carve_size_gb;
    int configured_drives;
    int max_active_drives;
    int port_count;
    int port_count_b;
    int max_active_drives_alt;
    int max_active_units;
    int max_drives_per_unit;
    int active_units;
    int connection_count;
    int port_list_count;
    int unit_list_count;
    int phy_count;
    int extended_device_info;
    FirmwareCompatReport firmware_check;  // written by the firmware update pages
    UnitRecord* unit_records;          // owned, new[]
    DriveRecord* drive_records;        // owned, new[]
    IdList* unit_drive_lists;          // owned, new[]
    PhyRecord* phy_records;            // owned, new[]
    int task_mode_supported;
    int read_cache_supported;
    uint8_t rebuild_mode;
    uint8_t verify_mode;
    UnitCacheRecord* unit_cache_records;  // owned, new[]
    BatteryRecord* battery;               // owned, new
};

// An empty identifier list: every identifier 0xFF, count 0.
template <int N>
void clear_id_list(IdListOf<N>& list)
{
    for (int i = 0; i < N; i++)
        for (int b = 0; b < 8; b++)
            list.ids[i].b[b] = 0xFF;
    list.count = 0;
}
