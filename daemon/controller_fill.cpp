// Filling of controller records from the library.
#include <cstring>

#include "api/ctl.h"
#include "daemon/config_store.h"
#include "daemon/daemon_context.h"
#include "daemon/language.h"
#include "driver/error_record.h"

namespace {

// Copies the library's last error, in the configured language, into the
// record's error text.
void keep_last_error(ConfigStore* config, ControllerRecord* record)
{
    ErrorRecord* error = new ErrorRecord();
    ctl_get_last_error_localized(error, checked_language(config->get_language()), config->get_msg_path());
    size_t n = strnlen(error->text, sizeof error->text);
    if (n > sizeof record->error_text - 1)
        n = sizeof record->error_text - 1;
    std::memcpy(record->error_text, error->text, n);
    record->error_text[n] = '\0';
    delete error;
}

// Reads a library value of type T into a field of another integer type; a
// failed read leaves the field as it was.
template <typename T, typename Field, typename Getter>
void read_into(Field& field, Getter getter, ObjectId id)
{
    T value{};
    if (getter(id, &value) == 0)
        field = static_cast<Field>(value);
}

}  // namespace

int list_controllers(ControllerIdList* list)
{
    list->count = 0;
    return ctl_list_controllers(list);
}

int DaemonContext::fill_controllers(const ControllerIdList& list, ControllerRecord* records)
{
    uint32_t count = list.count > 255 ? 255 : list.count;
    for (uint32_t i = 0; i < count; i++)
        fill_controller(static_cast<int>(i), list.ids[i], &records[i]);
    return 0;
}

int DaemonContext::fill_controller(int position, ObjectId id, ControllerRecord* r)
{
    r->position = position;
    ctl_parse_controller_id(id, &r->controller_index);
    int32_t family = r->family;
    if (ctl_get_controller_family(id, &family) != 0) {
        keep_last_error(config_, r);
        return 1;
    }
    r->family = family;
    if (family > 6) {
        int32_t extended = 0;
        if (ctl_supports_extended_device_info(id, &extended) != 0) {
            keep_last_error(config_, r);
            return 1;
        }
        r->extended_device_info = extended;
    }
    uint64_t features = 0;
    r->raid6_allowed = ctl_get_controller_features(id, &features) == 0 && (features & 2) != 0 ? 1 : 0;

    ctl_get_controller_model(id, r->model);
    ctl_get_firmware_version(id, r->firmware_version);
    ctl_get_bios_version(id, r->bios_version);
    ctl_get_boot_loader_version(id, r->boot_loader_version);
    ctl_get_serial_number(id, r->serial_number);
    ctl_get_controller_info_text_a(id, r->info_text_a);
    ctl_get_controller_info_text_c(id, r->info_text_c);
    ctl_get_controller_info_text_b(id, r->info_text_b);
    read_into<uint32_t>(r->memory_size, ctl_get_memory_size, id);
    if (family > 6) {
        read_into<uint32_t>(r->port_count, ctl_get_number_of_ports, id);
        read_into<uint32_t>(r->port_count_b, ctl_get_number_of_ports, id);
    }

    read_into<int32_t>(r->rebuild_rate, ctl_get_rebuild_rate, id);
    read_into<int32_t>(r->verify_rate, ctl_get_verify_rate, id);
    read_into<uint32_t>(r->spinups_allowed, ctl_get_number_spinups_allowed, id);
    read_into<uint32_t>(r->stagger_time, ctl_get_stagger_time, id);
    ctl_get_auto_rebuild(id, &r->auto_rebuild);
    ctl_get_basic_verify_time(id, &r->basic_verify_time);
    read_into<uint32_t>(r->firmware_level, ctl_get_firmware_level, id);
    read_into<int32_t>(r->recovery_policy_supported, ctl_supports_recovery_policy, id);
    static_assert(sizeof(TaskSchedule) == sizeof r->schedule, "a schedule is 7 slots of 10 bytes");
    ctl_get_schedule(id, reinterpret_cast<TaskSchedule*>(r->schedule));
    ctl_get_selftest_flags(id, &r->selftest_flags);
    read_into<int32_t>(r->read_cache_supported, ctl_supports_read_cache, id);
    read_into<int32_t>(r->task_mode_supported, ctl_supports_task_mode, id);
    if (r->task_mode_supported == 1) {
        ctl_get_rebuild_mode(id, &r->rebuild_mode);
        ctl_get_verify_mode(id, &r->verify_mode);
    }
    return 0;
}
