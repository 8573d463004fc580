#include "daemon/snapshot_records.h"

#include <cstring>

namespace {

void clear_id(ObjectId& id)
{
    std::memset(id.b, 0xFF, sizeof id.b);
}

template <size_t N>
void set_text(char (&field)[N], const char* text)
{
    std::strncpy(field, text, N - 1);
    field[N - 1] = '\0';
}

}  // namespace

UnitCacheRecord::UnitCacheRecord() : read_cache_mode(255), write_cache(255) {}

BatteryRecord::BatteryRecord()
    : enabled(-1), bbu_present(0), battery_present(0), ready(0), status(1), voltage_status(-1),
      temperature_status(-1), temperature_c(0), temperature_f(0), backup_capacity(0)
{
    set_text(firmware_version, "0.00.000.000");
    set_text(serial_number, "00000000000000000000");
    set_text(installation_date, "01-Jan-1970");
    set_text(last_capacity_test, "01-Jan-1970");
}

PhyRecord::PhyRecord()
    : phy(255), device_type(0), drive_port(255), sas_address{}, link_speed_supported(2), link_speed(0),
      link_limit(0)
{
    clear_id(drive_id);
}

DriveRecord::DriveRecord()
    : port(255), status(0), capacity(0), model{}, firmware_version{}, serial_number{}, unit_path{0xFF, 0xFF, 0xFF, 0xFF},
      identify(0), queuing_supported(0), queuing_enabled(0), link_speed_supported(1), link_speed(1),
      drive_port_count(0), connections(0), interface(0), wwn{}, reallocated_sectors(0), power_on_hours(65535),
      temperature_c(0), temperature_f(0), spindle_speed(0)
{
    clear_id(unit_id);
    clear_id(slot_id);
    clear_id(phy_id);
}

UnitRecord::UnitRecord()
    : number(255), name{}, serial_number{}, status(17), flags(127), percent_complete(0), capacity(0), type(-1),
      initialized(0), task_info(0), ecc_on_rebuild(0), auto_verify(0), queuing(0), protection_mode(0),
      recovery_policy(3), stripe_size(0), drive_port(255), lun_count(0), sub_unit_records(nullptr),
      identify(128), has_inoperable(0), has_recovering(0), has_degraded(0), has_rebuilding(0), has_verifying(0),
      has_initializing(0), has_migrating(0), is_ok(0), has_unknown(0), rebuild_percent(0), rebuild_task_info(0),
      task_percent(0), task_task_info(0), task_count(0), redundancy_left(0)
{
    clear_id(id);
    clear_id_list(sub_units);
    clear_id_list(luns);
}

UnitRecord::~UnitRecord()
{
    delete[] sub_unit_records;
}

ControllerRecord::ControllerRecord()
    : error_text{}, position(255), controller_index(255), raid6_allowed(0), model{}, family(-1),
      firmware_version{}, bios_version{}, boot_loader_version{}, driver_version{}, serial_number{},
      info_text_a{}, info_text_c{}, info_text_b{}, memory_size(0), rebuild_rate(3), verify_rate(3),
      multi_lun_policy(0), spinups_allowed(128), stagger_time(0), export_unconfigured_disk(0),
      disable_write_cache_on_degrade(0), auto_rebuild(0), rebuild_schedule_enabled(0), verify_schedule_enabled(0),
      firmware_level(0), basic_verify_time(0), recovery_policy_supported(0), selftest_flags(0), bus_info(0),
      carve_size_gb(0), configured_drives(0), max_active_drives(64), port_count(0), port_count_b(64),
      max_active_drives_alt(64), max_active_units(0), max_drives_per_unit(64), active_units(0),
      connection_count(0), port_list_count(0), unit_list_count(0), phy_count(0), extended_device_info(0),
      firmware_check{}, unit_records(nullptr), drive_records(nullptr), unit_drive_lists(nullptr),
      phy_records(nullptr), task_mode_supported(0), read_cache_supported(0), rebuild_mode(128), verify_mode(128),
      unit_cache_records(nullptr), battery(nullptr)
{
    clear_id_list(units);
    clear_id_list(ports);
    clear_id_list(phys);
    std::memset(schedule, 0xFF, sizeof schedule);
}

ControllerRecord::~ControllerRecord()
{
    delete[] unit_records;
    delete[] drive_records;
    delete[] unit_drive_lists;
    delete[] phy_records;
    delete[] unit_cache_records;
    delete battery;
}
