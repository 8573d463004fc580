// The unit actions of the Maintenance page: stop a verify, rebuild, start a
// verify, remove and delete units, and rescan the controller. Every unit
// named here is a top-level unit of the selected controller.
#include <cstdlib>
#include <cstring>

#include "api/command_logger.h"
#include "api/ctl.h"
#include "web/actions/handler_frame.h"
#include "web/actions/maintenance_values.h"

namespace {

constexpr int kTypeSpare = 13;

// Catalogue texts.
constexpr int kCannotStopVerify = 72;
constexpr int kStopVerifyFailed = 73;
constexpr int kStopVerifyDone = 74;
constexpr int kCannotRebuild = 75;
constexpr int kRebuildFailed = 76;
constexpr int kRebuildDone = 77;
constexpr int kCannotVerify = 78;
constexpr int kVerifyFailed = 79;
constexpr int kVerifyDone = 80;
constexpr int kInitializeDone = 399;
constexpr int kCannotRemoveUnits = 81;
constexpr int kCannotDeleteUnits = 84;
constexpr int kCannotRescan = 91;
constexpr int kRescanFailed = 92;
constexpr int kRescanUnits = 93;
constexpr int kRescanDrives = 94;

uint8_t controller_index(const MaintenanceRequest& m) { return m.controllers->controller_index(); }

// The unit number of a unit identifier; 0xFF when it is none.
uint8_t unit_number(ObjectId unit) {
    uint8_t controller = 0xFF, level3 = 0xFF, number = 0xFF, level1 = 0xFF, level2 = 0xFF;
    ctl_parse_unit_id(unit, &controller, &level3, &number, &level1, &level2);
    return number;
}

uint8_t port_number(ObjectId drive) {
    uint8_t controller = 0xFF, port = 0xFF;
    ctl_parse_drive_id(drive, &controller, &port);
    return port;
}

// The ECC policy of a rebuild on a second-series controller: the requested
// unit's own "ECC on rebuild" setting (0 when the unit is not listed).
int unit_ecc_policy(const MaintenanceRequest& m, int number) {
    ControllerRecord& r = m.controllers->selected();
    for (int i = 0; i < list_count(r.units) && i < 128; ++i) {
        if (unit_number(r.units.ids[i]) != number) continue;
        UnitRecord* unit = attach_unit_records(r, 1);
        m.context->fill_unit(r.units.ids[i], unit, 0, &r);
        return unit->ecc_on_rebuild;
    }
    return 0;
}

// Numbers joined as "<first>, <second>, ..." after ": " (the first) or
// ", " (the others); printed counts the numbers already printed.
void print_number(ActionMessage& message, int number, int* printed) {
    message.text(*printed == 0 ? ": " : ", ").number(number);
    ++*printed;
}

// Removes or deletes the listed units in order, up to the first failure.
int unit_list_action(const MaintenanceRequest& m, const char* key,
                     int (CommandLogger::*call)(ObjectId, int), int done_text, int failed_text) {
    NumberList units;
    if (!read_number_list(m.request->url, key, &units)) return refuse_bad_request(m);
    ActionMessage message(m.context);
    int failed = -1;
    for (int i = 0; i < units.count; ++i) {
        ObjectId unit;
        if (make_unit_id(controller_index(m), units.numbers[i], &unit) != 0 ||
            (m.context->command_logger()->*call)(unit, 1) != 0) {
            failed = i;
            break;
        }
        units.states[i] = kEntryDone;
    }
    if (units.count_of(kEntryDone) > 0) {
        message.web(done_text);
        append_numbers(message, units, kEntryDone, " ", "", ", ");
        if (failed >= 0) message.text(" : ");
    }
    if (failed >= 0) message.failure(failed_text).number(units.numbers[failed]);
    return maintenance_redirect(m, message, kRedirectDone);
}

}  // namespace

int stop_verify_action(const MaintenanceRequest& m) {
    if (!may_act(m)) return refuse_level(m, kRefusalColon, kCannotStopVerify);
    char value[kValueSize];
    int number = 0;
    if (!read_number(m.request->url, "StopVerifyUnit=", value, &number))
        return refuse_bad_request(m);
    ActionMessage message(m.context);
    ObjectId unit;
    if (make_unit_id(controller_index(m), number, &unit) != 0 || ctl_verify_unit(unit) != 0)
        message.failure(kStopVerifyFailed).value(value);
    else
        message.web(kStopVerifyDone).value(value);
    return maintenance_redirect(m, message, kRedirectDone);
}

int rebuild_unit_action(const MaintenanceRequest& m) {
    if (!may_act(m)) return refuse_level(m, kRefusalColon, kCannotRebuild);
    const char* url = m.request->url;
    char value[kValueSize];
    int number = 0;
    NumberList ports;
    if (!read_number(url, "RebuildUnit=", value, &number) ||
        !read_number_list(url, "RebuildDrives=", &ports))
        return refuse_bad_request(m);
    ActionMessage message(m.context);
    IdList drives;
    clear_id_list(drives);
    ObjectId unit;
    int result = make_unit_id(controller_index(m), number, &unit);
    for (int i = 0; result == 0 && i < ports.count; ++i) {
        result = make_drive_id(controller_index(m), ports.numbers[i], &drives.ids[i]);
        drives.count = static_cast<uint32_t>(i + 1);
    }
    if (result == 0) {
        int ignore_ecc = 0;
        if (m.controllers->selected().family <= 3) {
            char flag[8];
            ignore_ecc = get_value(url, "ignoreECC=", flag) && std::atoi(flag) == 1 ? 1 : 0;
        } else {
            ignore_ecc = unit_ecc_policy(m, number);
        }
        result = m.context->command_logger()->rebuild_unit(unit, &drives, ignore_ecc);
    }
    if (result != 0)
        message.failure(kRebuildFailed).number(number);
    else
        message.web(kRebuildDone).number(number);
    return maintenance_redirect(m, message, kRedirectDone);
}

int verify_unit_action(const MaintenanceRequest& m) {
    if (!may_act(m)) return refuse_level(m, kRefusalColon, kCannotVerify);
    char value[kValueSize];
    int number = 0;
    if (!read_number(m.request->url, "VerifyUnit=", value, &number)) return refuse_bad_request(m);
    ActionMessage message(m.context);
    ObjectId unit;
    if (make_unit_id(controller_index(m), number, &unit) != 0) {
        message.failure(kVerifyFailed).value(value);
        return maintenance_redirect(m, message, kRedirectDone);
    }
    // A redundant unit (not RAID 6) that was never initialised starts its
    // initialisation instead.
    int32_t type = -1;
    uint8_t initialized = 1;
    const bool initializes = ctl_get_unit_type(unit, &type) == 0 &&
                             (type == 1 || type == 2 || type == 5 || type == 6 || type == 8) &&
                             ctl_get_unit_initialized(unit, &initialized) == 0 && initialized == 0;
    if (m.context->command_logger()->verify_unit(unit) != 0)
        message.failure(kVerifyFailed).value(value);
    else
        message.web(initializes ? kInitializeDone : kVerifyDone).value(value);
    return maintenance_redirect(m, message, kRedirectDone);
}

int remove_units_action(const MaintenanceRequest& m) {
    if (!may_act(m)) return refuse_level(m, kRefusalColon, kCannotRemoveUnits);
    return unit_list_action(m, "RemoveUnits=", &CommandLogger::remove_unit, 82, 83);
}

int delete_units_action(const MaintenanceRequest& m) {
    if (!may_act(m)) return refuse_level(m, kRefusalStop, kCannotDeleteUnits);
    return unit_list_action(m, "DeleteUnits=", &CommandLogger::delete_unit, 85, 86);
}

int rescan_controller_action(const MaintenanceRequest& m) {
    if (!may_act(m)) return refuse_level(m, kRefusalJoined, kCannotRescan);
    ActionMessage message(m.context);
    IdList units;
    IdList drives;
    clear_id_list(units);
    clear_id_list(drives);
    if (m.context->command_logger()->rescan_controller(m.controllers->id(), 1, &units, &drives) !=
        0) {
        message.failure(kRescanFailed);
        return maintenance_redirect(m, message, kRedirectDone);
    }
    const int unit_count = list_count(units) < 0 || list_count(units) > 128 ? 0 : list_count(units);
    const int drive_count =
        list_count(drives) < 0 || list_count(drives) > 128 ? 0 : list_count(drives);
    // Spares are named by their drive, among the drives found.
    ObjectId spares[128];
    int spare_count = 0;
    int printed = 0;
    message.web(kRescanUnits);
    for (int i = 0; i < unit_count; ++i) {
        int32_t type = -1;
        ctl_get_unit_type(units.ids[i], &type);
        if (type == kTypeSpare)
            spares[spare_count++] = units.ids[i];
        else
            print_number(message, unit_number(units.ids[i]), &printed);
    }
    if (printed == 0) message.text(": [none]");
    message.text(" : ").web(kRescanDrives);
    printed = 0;
    for (int i = 0; i < drive_count; ++i)
        print_number(message, port_number(drives.ids[i]), &printed);
    for (int i = 0; i < spare_count; ++i) {
        IdList spare_drives;
        clear_id_list(spare_drives);
        if (ctl_get_unit_drive_list(spares[i], &spare_drives) == 0 && list_count(spare_drives) > 0)
            print_number(message, port_number(spare_drives.ids[0]), &printed);
    }
    if (drive_count == 0 && spare_count == 0) message.text(": [none]");
    return maintenance_redirect(m, message, kRedirectDone);
}
