// Filling of drive (port) records from the library.
#include <cstring>

#include "api/ctl.h"
#include "daemon/daemon_context.h"
#include "daemon/fill_reads.h"

using fill_reads::listed;
using fill_reads::read_into;
using fill_reads::read_text;

namespace {

// The record as a clearing fill starts it: every field 0, but for the
// identifiers and the unit path, which say "none" (all 0xFF) until the
// library names one; 0 would name unit 0 or port 0.
void clear_drive(DriveRecord* r) {
    std::memset(static_cast<void*>(r), 0, sizeof *r);
    std::memset(r->unit_id.b, 0xFF, sizeof r->unit_id.b);
    std::memset(r->unit_path, 0xFF, sizeof r->unit_path);
    std::memset(r->slot_id.b, 0xFF, sizeof r->slot_id.b);
    std::memset(r->phy_id.b, 0xFF, sizeof r->phy_id.b);
    r->port = 255;
}

// The drive's own figures, which controllers above family 6 report.
void read_drive_figures(ObjectId port, DriveRecord* r) {
    read_into<uint32_t>(r->drive_port_count, ctl_get_drive_port_count, port);
    read_into<uint32_t>(r->connections, ctl_get_drive_connections, port);
    ctl_get_drive_interface(port, &r->interface);
    read_into<uint32_t>(r->reallocated_sectors, ctl_get_drive_reallocated_sectors, port);
    read_into<uint32_t>(r->power_on_hours, ctl_get_drive_power_on_hours, port);
    read_into<int32_t>(r->temperature_c, ctl_get_drive_temperature, port);
    r->temperature_f = fill_reads::fahrenheit(r->temperature_c);
    read_into<uint32_t>(r->spindle_speed, ctl_get_drive_spindle_speed, port);
}

}  // namespace

int DaemonContext::fill_drives(const IdList& ports, DriveRecord* records,
                               const ControllerRecord* controller, int detail) {
    const uint32_t count = records != nullptr ? listed(ports) : 0;
    for (uint32_t i = 0; i < count; i++) fill_drive(ports.ids[i], &records[i], controller, detail);
    return 0;
}

int DaemonContext::fill_drive(ObjectId port, DriveRecord* r, const ControllerRecord* controller,
                              int detail) {
    clear_drive(r);
    uint8_t index;
    ctl_parse_port_id(port, &index, &r->port);

    ctl_get_drive_capacity(port, &r->capacity);
    read_text(r->model, ctl_get_drive_model, port);
    read_text(r->firmware_version, ctl_get_drive_firmware_version, port);
    read_text(r->serial_number, ctl_get_drive_serial_number, port);
    ctl_get_drive_status(port, &r->status);
    ObjectId unit;
    if (ctl_get_drive_unit(port, &unit) == 0) {
        r->unit_id = unit;
        uint8_t controller_index;
        ctl_parse_unit_id(unit, &controller_index, &r->unit_path[3], &r->unit_path[0],
                          &r->unit_path[1], &r->unit_path[2]);
    }

    if (detail == 1) {
        if (r->status >= 128) ctl_get_port_slot(port, &r->slot_id);
        ctl_get_port_identify(port, &r->identify);
    }

    ctl_get_drive_queuing_supported(port, &r->queuing_supported);
    ctl_get_drive_queuing_enabled(port, &r->queuing_enabled);
    ctl_get_drive_link_speed_supported(port, &r->link_speed_supported);
    ctl_get_drive_link_speed(port, &r->link_speed);

    if (controller->family > 6) read_drive_figures(port, r);
    if (controller->family > 7 || controller->extended_device_info != 0) {
        ctl_get_drive_wwn(port, r->wwn);
        ctl_get_drive_phy(port, &r->phy_id);
    }
    return 0;
}
