// The drive actions of the Maintenance page: removing drives, making them
// spares and clearing their configuration. A list action tries every drive
// and reports, in one message, the library's error text of each failed call,
// then the drives not done and the drives done.
#include <cstring>

#include "api/command_logger.h"
#include "api/ctl.h"
#include "web/actions/handler_frame.h"
#include "web/actions/maintenance_values.h"

namespace {

constexpr int kTypeSpare = 13;
constexpr uint8_t kNoUnit = 0xFF;

// Catalogue texts.
constexpr int kOperationAborted = 31;  // 12:31 (after 12:17 " : ")
constexpr int kSelectOneDrive = 88;
constexpr int kRemoveFailed = 70;
constexpr int kRemoveDone = 71;
constexpr int kUnplugNow = 394;
constexpr int kSpareFailed = 570;
constexpr int kSpareDone = 571;
constexpr int kClearFailed = 573;
constexpr int kClearDone = 574;

// A port's status after its drive was removed: none (0), removed from the
// controller (1) or marked removed (2).
bool removed(uint8_t status) { return status <= 2; }

// The administrator refusal of every drive action: 12:17 " : " 12:31.
int refuse_drive_action(const MaintenanceRequest& m) {
    ActionMessage message(m.context);
    return maintenance_redirect(m, message.refusal(kRefusalColon).daemon(kOperationAborted),
                                kRedirectNotPermitted);
}

// Reads the action's port list; the list, or the answer that ends the
// action (a refusal, or the empty list's message) in *answer.
bool read_ports(const MaintenanceRequest& m, const char* key, NumberList* ports, int* answer) {
    if (!may_act(m)) {
        *answer = refuse_drive_action(m);
        return false;
    }
    if (!read_number_list(m.request->url, key, ports)) {
        *answer = refuse_bad_request(m);
        return false;
    }
    if (ports->count == 0) {
        ActionMessage message(m.context);
        *answer = maintenance_redirect(m, message.web(kSelectOneDrive), kRedirectDone);
        return false;
    }
    return true;
}

// Not done (without and with a library error) and done ports, each sentence
// only when it has ports: "<not done>3,5" then "<done>7 ,9.  ".
void append_outcome(ActionMessage& message, const NumberList& ports, int not_done_text,
                    int done_text) {
    NumberList not_done = ports;
    for (int i = 0; i < not_done.count; ++i)
        if (not_done.states[i] == kEntryFailed) not_done.states[i] = kEntryNotDone;
    if (not_done.count_of(kEntryNotDone) > 0) {
        message.web(not_done_text);
        append_numbers(message, not_done, kEntryNotDone, "", "", ",");
    }
    if (ports.count_of(kEntryDone) > 0) {
        message.web(done_text);
        append_numbers(message, ports, kEntryDone, "", " ", ",");
        message.text(".  ");
    }
}

// Whether clearing the drive's configuration deletes anything, and what:
// the unit the drive belongs to, or (second series) the configuration of
// an exported unit that the drive carries. 0, or -1 when the drive's unit
// cannot be read.
int configuration_to_clear(const MaintenanceRequest& m, ObjectId drive, ObjectId* unit,
                           bool* clear) {
    *clear = false;
    std::memset(unit->b, 0xFF, sizeof unit->b);
    if (ctl_get_drive_unit(drive, unit) != 0) return -1;
    uint8_t controller = kNoUnit, level3 = kNoUnit, number = kNoUnit, level1 = kNoUnit,
            level2 = kNoUnit;
    if (ctl_parse_unit_id(*unit, &controller, &level3, &number, &level1, &level2) != 0 ||
        number != kNoUnit) {
        *clear = true;
    } else if (m.controllers->selected().family >= 5) {
        uint8_t flags = 0;
        ctl_get_drive_flags(drive, &flags);
        *clear = (flags & 1) != 0;
    }
    return 0;
}

// One port of a list action: kEntryDone, kEntryNotDone, or kEntryFailed
// when a library call failed (its error record says why).
using PortEntry = int (*)(const MaintenanceRequest& m, ObjectId drive);

int remove_entry(const MaintenanceRequest& m, ObjectId drive) {
    if (m.context->command_logger()->remove_drive(drive) != 0) return kEntryFailed;
    uint8_t status = 0xFF;
    ctl_get_drive_status(drive, &status);
    return removed(status) ? kEntryDone : kEntryNotDone;
}

int spare_entry(const MaintenanceRequest& m, ObjectId drive) {
    IdList one;
    clear_id_list(one);
    one.ids[0] = drive;
    one.count = 1;
    ObjectId spare;
    return m.context->command_logger()->create_unit(&one, kTypeSpare, 0, 1, &spare) == 0
               ? kEntryDone
               : kEntryFailed;
}

int clear_entry(const MaintenanceRequest& m, ObjectId drive) {
    ObjectId unit;
    bool clear = false;
    if (configuration_to_clear(m, drive, &unit, &clear) != 0 ||
        (clear && m.context->command_logger()->delete_unit(unit, 1) != 0))
        return kEntryFailed;
    return kEntryDone;
}

// Tries every listed port in order, then reports the library's text of each
// failed call, the ports not done and the ports done (followed by the text
// tail, when not 0).
int port_list_action(const MaintenanceRequest& m, const char* key, PortEntry entry,
                     int not_done_text, int done_text, int tail) {
    NumberList ports;
    int answer = 0;
    if (!read_ports(m, key, &ports, &answer)) return answer;
    ActionMessage message(m.context);
    for (int i = 0; i < ports.count; ++i) {
        ObjectId drive;
        ports.states[i] =
            make_drive_id(m.controllers->controller_index(), ports.numbers[i], &drive) == 0
                ? entry(m, drive)
                : kEntryFailed;
        if (ports.states[i] == kEntryFailed) message.error().text(" : ");
    }
    append_outcome(message, ports, not_done_text, done_text);
    if (tail != 0 && ports.count_of(kEntryDone) > 0) message.web(tail);
    return maintenance_redirect(m, message, kRedirectDone);
}

}  // namespace

int remove_drive_action(const MaintenanceRequest& m) {
    if (!may_act(m)) return refuse_drive_action(m);
    char value[kValueSize];
    int port = 0;
    if (!read_number(m.request->url, "RemoveDrive=", value, &port)) return refuse_bad_request(m);
    ActionMessage message(m.context);
    ObjectId drive;
    const int state = make_drive_id(m.controllers->controller_index(), port, &drive) == 0
                          ? remove_entry(m, drive)
                          : kEntryFailed;
    if (state == kEntryFailed)
        message.failure(kRemoveFailed).value(value);
    else if (state == kEntryDone)
        message.web(kRemoveDone).value(value).text(".  ").web(kUnplugNow);
    else
        message.web(kRemoveFailed).value(value);
    return maintenance_redirect(m, message, kRedirectDone);
}

int remove_drives_action(const MaintenanceRequest& m) {
    return port_list_action(m, "RemoveDrives=", remove_entry, kRemoveFailed, kRemoveDone,
                            kUnplugNow);
}

int spare_drives_action(const MaintenanceRequest& m) {
    const char* key = has_key(m.request->url, "SpareDrives=") ? "SpareDrives=" : "SpareDrive=";
    return port_list_action(m, key, spare_entry, kSpareFailed, kSpareDone, 0);
}

int clear_drives_config_action(const MaintenanceRequest& m) {
    return port_list_action(m, "ClearDrivesConfig=", clear_entry, kClearFailed, kClearDone, 0);
}
