// Logging methods of drives, ports, phys and the controller's rescan, and
// the line that lists a controller's units.
#include <cstdio>
#include <string>

#include "api/command_log_texts.h"
#include "api/command_logger.h"
#include "api/ctl.h"

using command_log_text::controller_number;
using command_log_text::drive_controller;
using command_log_text::outcome;
using command_log_text::port_number;
using command_log_text::unit_number;

namespace {

constexpr uint32_t kListRoom = sizeof(IdList::ids) / sizeof(IdList::ids[0]);

// The listed entries that are there to read.
uint32_t listed(const IdList& list) { return list.count < kListRoom ? list.count : kListRoom; }

// The type name of a unit as the unit reports it; "UNKNOWN" when it cannot
// be read.
std::string type_of(ObjectId unit) {
    int32_t type = -1;
    ctl_get_unit_type(unit, &type);
    char text[32];
    CommandLogger::unit_type_text(type, text, sizeof text);
    return text;
}

}  // namespace

int CommandLogger::add_drive(ObjectId port, ObjectId* drive) {
    command_log_text::clear_id(drive);
    const int result = ctl_add_drive(port, drive);
    const ObjectId added = command_log_text::returned_id(drive);
    log_operation("Add Drive(controller=%d, drive=%d): %s", drive_controller(added),
                  port_number(added), outcome(result));
    return result;
}

int CommandLogger::remove_drive(ObjectId drive) {
    const int result = ctl_remove_drive(drive);
    log_operation("Remove Drive(controller=%d, drive=%d): %s", drive_controller(drive),
                  port_number(drive), outcome(result));
    return result;
}

int CommandLogger::get_drive_smart_data(ObjectId drive, uint8_t* sector) {
    const int result = ctl_get_drive_smart_data(drive, sector);
    log_operation("Get Drive SMART Data(controller=%d, drive=%d): %s", drive_controller(drive),
                  port_number(drive), outcome(result));
    return result;
}

int CommandLogger::identify_port(ObjectId drive, int on) {
    const int result = ctl_identify_port(drive, on);
    log_operation("Identify Port(controller=%d, port=%d, enable=%s): %s", drive_controller(drive),
                  port_number(drive), command_log_text::yes_no(on), outcome(result));
    return result;
}

int CommandLogger::set_phy_link_negotiation_limit(ObjectId phy, int limit) {
    const int result = ctl_set_phy_link_negotiation_limit(phy, limit);
    log_operation("Set Phy Link Negotiation Limit(phy=%d, limit=%d): %s",
                  command_log_text::phy_number(phy), limit, outcome(result));
    return result;
}

int CommandLogger::rescan_controller(ObjectId controller, int make_os_aware, IdList* units,
                                     IdList* drives) {
    // A failed rescan may fill neither list.
    units->count = 0;
    drives->count = 0;
    const int result = ctl_rescan_controller(controller, make_os_aware, units, drives);
    const bool nothing_found = units->count == 0 && drives->count == 0;
    log_operation("Rescan Controller(controller=%d, make os aware=%s): %s%s",
                  controller_number(controller), command_log_text::yes_no(make_os_aware),
                  outcome(result), nothing_found ? " (nothing found)" : "");
    if (enabled_ == 0 || result != 0) return result;
    for (uint32_t i = 0; i < listed(*units); ++i)
        log_operation("    Rescan found unit %d (%s)", unit_number(units->ids[i]),
                      type_of(units->ids[i]).c_str());
    for (uint32_t i = 0; i < listed(*drives); ++i)
        log_operation("    Rescan found drive on port%d", port_number(drives->ids[i]));
    return result;
}

int CommandLogger::log_controller_unit_list(ObjectId controller) {
    IdList units;
    units.count = 0;
    const int result = ctl_get_unit_list(controller, &units);
    char entry[64];
    std::snprintf(entry, sizeof entry, "Controller %d Unit List:", controller_number(controller));
    std::string text = entry;
    // A list that could not be read is not walked.
    for (uint32_t i = 0; result == 0 && i < listed(units); ++i) {
        std::snprintf(entry, sizeof entry, " Unit%d[%s]", unit_number(units.ids[i]),
                      type_of(units.ids[i]).c_str());
        text += entry;
    }
    write_line("%s", text.c_str());
    return result;
}
