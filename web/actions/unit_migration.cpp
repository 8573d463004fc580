// Migrating a unit from the maintenance page's migrate pop-up ("ModifyUnit="):
// the unit, the drives added to it, the new type, stripe and drives per
// subunit are checked as the page checks them before anything changes;
// then the single disks among the added drives are released, and a RAID 1
// of two drives becoming a single disk splits its mirror, any other change
// starts a migration in the controller.
#include <cstring>

#include "api/command_logger.h"
#include "api/ctl.h"
#include "web/actions/handler_frame.h"
#include "web/actions/maintenance_values.h"
#include "web/actions/unit_creation_rules.h"
#include "web/actions/unit_creation_values.h"
#include "web/pages/status_texts.h"

namespace {

// Catalogue texts.
constexpr int kCannotMigrate = 95;
constexpr int kUnknownType = 96;
constexpr int kStarted = 97;
constexpr int kStartFailed = 98;
constexpr int kMirrorSplit = 343;
constexpr int kKindsDiffer = 522;
constexpr int kConfigured = 576;

constexpr int kTypeSize = 64;

struct MigrateRequest {
    int unit;
    NumberList ports;
    char type_name[kTypeSize];
    const UnitType* type;
    int stripe;
    int per_subunit;
};

// Reads the values the migration uses; false when one is not what the page
// sends (a key missing, a value that is no number, a list too long).
bool read_request(const char* url, MigrateRequest* r) {
    char value[kValueSize];
    if (!read_number(url, "ModifyUnit=", value, &r->unit)) return false;
    if (!has_key(url, "ModifyDrives=") || !read_number_list(url, "ModifyDrives=", &r->ports) ||
        !has_key(url, "ModifyType="))
        return false;
    read_text(url, "ModifyType=", r->type_name);
    r->type = find_unit_type(r->type_name);
    return read_setting(url, "ModifyStripe=", &r->stripe) &&
           read_setting(url, "ModifyDperS=", &r->per_subunit);
}

// What the unit is now: its type, its drives and, for a RAID 50, the drives
// of each subunit.
struct CurrentUnit {
    ObjectId id;
    int32_t type = -1;
    int drives = 0;
    int subunit_drives = 0;
};

// A unit the page lists for migration: not a drive of its own, nor a spare.
bool migratable(int type) {
    return type != kUnitDisk && type != kUnitSpare && type != kUnitDiskOther;
}

int refuse(const MaintenanceRequest& m, ActionMessage& message) {
    return maintenance_redirect(m, message, kRedirectFailed);
}

// The interface class of each added drive against the class of the unit's
// first drive; the number of drives of the other class.
int kind_mismatches(const IdList& list, int unit_drives) {
    int mismatches = 0;
    uint8_t interface = 0;
    const DriveClass unit_class =
        unit_drives > 0 && ctl_get_drive_interface(list.ids[0], &interface) == 0
            ? drive_class(interface)
            : kClassNone;
    for (uint32_t i = static_cast<uint32_t>(unit_drives); i < list.count; ++i) {
        interface = 0;
        ctl_get_drive_interface(list.ids[i], &interface);
        const DriveClass c = drive_class(interface);
        if ((c == kClassSata && unit_class != kClassSata) ||
            (c == kClassSas && unit_class != kClassSas))
            ++mismatches;
    }
    return mismatches;
}

}  // namespace

int modify_unit_action(const MaintenanceRequest& m) {
    if (!may_act(m)) return refuse_level(m, kRefusalColon, kCannotMigrate);
    MigrateRequest req;
    if (!read_request(m.request->url, &req)) return refuse_bad_request(m);
    ControllerRecord& r = m.controllers->selected();
    ActionMessage message(m.context);

    CurrentUnit unit;
    IdList list;
    std::memset(&list, 0, sizeof list);
    if (make_unit_id(r.controller_index, req.unit, &unit.id) != 0 ||
        ctl_get_unit_type(unit.id, &unit.type) != 0 ||
        ctl_get_unit_drive_list(unit.id, &list) != 0 || list.count > 128) {
        message.failure(kStartFailed).number(req.unit);
        return maintenance_redirect(m, message, kRedirectDone);
    }
    if (req.type == nullptr)
        return maintenance_redirect(m, message.web(kUnknownType), kRedirectDone);
    if (!migratable(unit.type)) {
        message.web(kCannotMigrate).text(" : unit ").number(req.unit).text(" cannot be migrated");
        return refuse(m, message);
    }
    unit.drives = static_cast<int>(list.count);
    if (unit.type == kUnitRaid50) {
        uint32_t subunits = 0;
        if (ctl_get_subunit_count(unit.id, &subunits) == 0 && subunits > 0)
            unit.subunit_drives = unit.drives / static_cast<int>(subunits);
    }

    // The drives added: free ones of this controller, each once.
    for (int i = 0; i < req.ports.count; ++i) {
        const int port = req.ports.numbers[i];
        ObjectId drive;
        const DriveRefusal refusal = check_drive(r, port, &drive);
        bool listed = false;
        for (uint32_t j = 0; j < list.count; ++j)
            listed = listed || std::memcmp(list.ids[j].b, drive.b, sizeof drive.b) == 0;
        if (refusal == kDriveUnknown) {
            message.failure(kStartFailed).number(req.unit);
            return maintenance_redirect(m, message, kRedirectDone);
        }
        if (refusal == kDriveInUse || listed) return refuse(m, message.web(kConfigured));
        if (refusal == kDriveAbsent || list.count == 128) {
            message.web(kCannotMigrate).text(" : no drive to add on port ").number(port);
            return refuse(m, message);
        }
        list.ids[list.count++] = drive;
    }

    if (later_generation(r) && kind_mismatches(list, unit.drives) > 0)
        return maintenance_redirect(m, message.web(kKindsDiffer), kRedirectNotPermitted);

    const UnitType& type = *req.type;
    const int n = static_cast<int>(list.count);
    if (!migrate_type_offered(type, n, unit.type, unit.drives, unit.subunit_drives, r)) {
        message.web(kCannotMigrate).text(" : ").value(type.name).text(" is not offered for unit ");
        message.number(req.unit).text(" with ").number(n).text(" drive(s)");
        return refuse(m, message);
    }
    if (!stripe_offered(type, req.stripe, r)) {
        message.web(kCannotMigrate).text(" : stripe ").number(req.stripe);
        message.text(" is not offered for ").value(type.name);
        return refuse(m, message);
    }
    if (type.keeps_subunits && !subunits_offered(n, req.per_subunit)) {
        message.web(kCannotMigrate).text(" : ").number(req.per_subunit);
        message.text(" drives per subunit are not offered for ").number(n).text(" drives");
        return refuse(m, message);
    }

    CommandLogger* log = m.context->command_logger();
    release_single_disks(log, list, req.unit);
    const bool mirror = unit.type == 1 || unit.type == kUnitRaid1;
    if (mirror && type.code == kUnitSingle) {
        IdList units;
        std::memset(&units, 0xFF, sizeof units);
        units.count = 0;
        if (log->split_mirror(unit.id, 1, &units) != 0) {
            message.failure(kStartFailed).number(req.unit);
        } else {
            message.web(kMirrorSplit).text(": units ").number(req.unit);
            uint8_t c = 0, level3 = 0, second = 0, level1 = 0, level2 = 0;
            if (units.count > 0 &&
                ctl_parse_unit_id(units.ids[0], &c, &level3, &second, &level1, &level2) == 0)
                message.text(", ").number(second);
        }
        return maintenance_redirect(m, message, kRedirectDone);
    }
    const int stripe = type.keeps_stripe ? req.stripe : 0;
    const int per_subunit = type.keeps_subunits ? req.per_subunit : 0;
    if (log->start_migrate_unit(unit.id, &list, type.code, stripe, 1, per_subunit) != 0)
        message.failure(kStartFailed).number(req.unit);
    else
        message.web(kStarted).number(req.unit);
    return maintenance_redirect(m, message, kRedirectDone);
}
