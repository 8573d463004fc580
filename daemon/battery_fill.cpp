// Filling of the battery backup unit's record from the library.
#include "api/ctl.h"
#include "daemon/daemon_context.h"
#include "daemon/fill_reads.h"

using fill_reads::read_into;
using fill_reads::read_text;

int DaemonContext::fill_battery(ObjectId controller, BatteryRecord* r) {
    read_into<uint32_t>(r->enabled, ctl_get_bbu_enabled, controller);
    if (r->enabled != 1) return 0;
    ctl_get_bbu_present(controller, &r->bbu_present);
    if (r->bbu_present == 0) return 0;
    read_text(r->firmware_version, ctl_get_bbu_firmware_version, controller);
    read_text(r->serial_number, ctl_get_bbu_serial_number, controller);
    ctl_get_bbu_ready(controller, &r->ready);
    ctl_get_bbu_status(controller, &r->status);
    ctl_get_battery_present(controller, &r->battery_present);
    if (r->battery_present == 0) return 0;
    ctl_get_battery_voltage_status(controller, &r->voltage_status);
    ctl_get_battery_temperature_status(controller, &r->temperature_status);
    ctl_get_battery_temperature(controller, &r->temperature_c);
    r->temperature_f = fill_reads::fahrenheit(r->temperature_c);
    read_into<uint32_t>(r->backup_capacity, ctl_get_estimated_backup_capacity, controller);
    read_text(r->installation_date, ctl_get_battery_installation_date, controller);
    read_text(r->last_capacity_test, ctl_get_last_capacity_test, controller);
    return 0;
}
