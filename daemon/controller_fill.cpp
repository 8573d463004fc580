// Filling of controller records from the library.
#include <cstring>

#include "api/ctl.h"
#include "daemon/config_store.h"
#include "daemon/daemon_context.h"
#include "daemon/fill_reads.h"
#include "daemon/language.h"
#include "daemon/library_errors.h"
#include "driver/error_record.h"

using fill_reads::keep_in_room;
using fill_reads::read_into;
using fill_reads::read_text;

namespace {

// The web text (category 19) shown for a controller whose reads failed
// without a reason.
constexpr int kWebTexts = 19;
constexpr int kControllerNotReadText = 0x0252;

// Copies the library's last error, in the configured language, into the
// record's error text; when the failed read recorded no reason (the record
// was emptied before the reads), the catalogue's text that the controller
// could not be read.
void keep_last_error(DaemonContext* context, ControllerRecord* record) {
    ConfigStore* config = context->config();
    ErrorRecord* error = new ErrorRecord();
    ctl_get_last_error_localized(error, checked_language(config->get_language()),
                                 config->get_msg_path());
    const char* text = error->text;
    if (strnlen(error->text, sizeof error->text) == 0)
        text = context->message(kWebTexts, kControllerNotReadText);
    size_t n = strnlen(text, sizeof error->text);
    if (n > sizeof record->error_text - 1) n = sizeof record->error_text - 1;
    std::memcpy(record->error_text, text, n);
    record->error_text[n] = '\0';
    delete error;
}

// The kernel driver's version text. First-series drivers tell a text of up
// to 127 characters; the others a compatibility record whose version text
// is its first 32 bytes, followed by numbers.
void read_driver_version(ObjectId id, int family, ControllerRecord* r) {
    DriverCompatInfo info;
    std::memset(&info, 0, sizeof info);
    if (ctl_get_driver_version(id, &info) != 0) return;
    const char* text = reinterpret_cast<const char*>(info.bytes);
    const size_t room = family == 3 ? sizeof r->driver_version - 1 : DriverCompatInfo::kVersionSize;
    const size_t n = strnlen(text, room);
    std::memcpy(r->driver_version, text, n);
    r->driver_version[n] = '\0';
}

// The limits and counts that only second-series controllers report.
void read_limits(ObjectId id, int family, ControllerRecord* r) {
    read_into<uint32_t>(r->bus_info, ctl_get_bus_info, id);
    uint64_t carve = 0;
    ctl_get_lun_size(id, &carve);
    if (carve != 0) r->carve_size_gb = (carve + 1) >> 21;
    if (family <= 6) return;
    read_into<uint32_t>(r->max_active_drives, ctl_get_max_active_drives, id);
    read_into<uint32_t>(r->max_active_drives_alt, ctl_get_max_active_drives_alt, id);
    read_into<uint32_t>(r->max_active_units, ctl_get_max_active_units, id);
    read_into<uint32_t>(r->max_drives_per_unit, ctl_get_max_drives_per_unit, id);
    read_into<uint32_t>(r->port_count, ctl_get_number_of_ports, id);
    read_into<uint32_t>(r->port_count_b, ctl_get_number_of_ports, id);
    read_into<uint32_t>(r->configured_drives, ctl_get_configured_drive_count, id);
    read_into<uint32_t>(r->connection_count, ctl_get_connection_count, id);
    read_into<uint32_t>(r->phy_count, ctl_get_number_of_phys, id);
    ctl_get_phy_list(id, &r->phys);
    keep_in_room(r->phys);
}

// The background task and policy settings and the schedule.
void read_settings(ObjectId id, int family, ControllerRecord* r) {
    read_into<int32_t>(r->rebuild_rate, ctl_get_rebuild_rate, id);
    read_into<int32_t>(r->verify_rate, ctl_get_verify_rate, id);
    read_into<uint32_t>(r->spinups_allowed, ctl_get_number_spinups_allowed, id);
    read_into<uint32_t>(r->stagger_time, ctl_get_stagger_time, id);
    ctl_get_export_unconfigured_disk(id, &r->export_unconfigured_disk);
    if (family == 4) ctl_get_disable_write_cache_on_degrade(id, &r->disable_write_cache_on_degrade);
    ctl_get_multi_lun_policy(id, &r->multi_lun_policy);
    ctl_get_auto_rebuild(id, &r->auto_rebuild);
    ctl_get_rebuild_schedule(id, &r->rebuild_schedule_enabled);
    ctl_get_verify_schedule(id, &r->verify_schedule_enabled);
    ctl_get_basic_verify_time(id, &r->basic_verify_time);
    read_into<uint32_t>(r->firmware_level, ctl_get_firmware_level, id);
    read_into<int32_t>(r->recovery_policy_supported, ctl_supports_recovery_policy, id);
    static_assert(sizeof(TaskSchedule) == sizeof r->schedule, "a schedule is 7 slots of 10 bytes");
    TaskSchedule schedule;
    if (ctl_get_schedule(id, &schedule) == 0) std::memcpy(r->schedule, &schedule, sizeof schedule);
    ctl_get_selftest_flags(id, &r->selftest_flags);
    read_into<int32_t>(r->read_cache_supported, ctl_supports_read_cache, id);
    read_into<int32_t>(r->task_mode_supported, ctl_supports_task_mode, id);
    if (r->task_mode_supported == 1) {
        ctl_get_rebuild_mode(id, &r->rebuild_mode);
        ctl_get_verify_mode(id, &r->verify_mode);
    }
}

}  // namespace

int list_controllers(ControllerIdList* list) {
    list->count = 0;
    return ctl_list_controllers(list);
}

int DaemonContext::fill_controllers(const ControllerIdList& list, ControllerRecord* records) {
    const uint32_t count = records != nullptr ? fill_reads::listed(list) : 0;
    for (uint32_t i = 0; i < count; i++)
        fill_controller(static_cast<int>(i), list.ids[i], &records[i]);
    return 0;
}

int DaemonContext::fill_controller(int position, ObjectId id, ControllerRecord* r) {
    r->position = position;
    ctl_parse_controller_id(id, &r->controller_index);
    // The family read records no reason when it fails; what the record
    // holds then would be another read's failure.
    forget_library_error();
    int32_t family = r->family;
    if (ctl_get_controller_family(id, &family) != 0) {
        keep_last_error(this, r);
        return 1;
    }
    r->family = family;
    if (family > 6) {
        int32_t extended = 0;
        if (ctl_supports_extended_device_info(id, &extended) != 0) {
            keep_last_error(this, r);
            return 1;
        }
        r->extended_device_info = extended;
    }
    uint64_t features = 0;
    r->raid6_allowed = ctl_get_controller_features(id, &features) == 0 && (features & 2) != 0;

    read_text(r->model, ctl_get_controller_model, id);
    read_text(r->firmware_version, ctl_get_firmware_version, id);
    read_text(r->bios_version, ctl_get_bios_version, id);
    read_text(r->boot_loader_version, ctl_get_boot_loader_version, id);
    read_driver_version(id, family, r);
    read_text(r->serial_number, ctl_get_serial_number, id);
    read_text(r->info_text_a, ctl_get_controller_info_text_a, id);
    read_text(r->info_text_c, ctl_get_controller_info_text_c, id);
    read_text(r->info_text_b, ctl_get_controller_info_text_b, id);
    read_into<uint32_t>(r->memory_size, ctl_get_memory_size, id);
    if (family > 4) read_limits(id, family, r);

    ctl_get_unit_list(id, &r->units);
    keep_in_room(r->units);
    r->ports.count = 0;
    ctl_get_port_list(id, &r->ports);
    keep_in_room(r->ports);
    r->port_list_count = static_cast<int>(r->ports.count);
    r->unit_list_count = static_cast<int>(r->units.count);

    read_settings(id, family, r);
    return 0;
}
