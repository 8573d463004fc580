// Logging methods of unit configuration and maintenance: creating,
// migrating, deleting, exporting and removing units, splitting mirrors,
// verifying and rebuilding.
#include <string>

#include "api/command_log_texts.h"
#include "api/command_logger.h"
#include "api/ctl.h"

using command_log_text::drive_controller;
using command_log_text::outcome;
using command_log_text::unit_controller;
using command_log_text::unit_number;
using command_log_text::yes_no;

namespace {

constexpr uint32_t kListRoom = sizeof(IdList::ids) / sizeof(IdList::ids[0]);

// The texts that describe a unit's layout: its drives, type and stripe.
struct Layout {
    char drives[kListRoom * 4 + 1];  // "255 " at most per drive
    char type[32];
    char stripe[16];
};

Layout layout_of(const IdList* drives, int type, int stripe) {
    Layout text;
    static const IdList kNone = {{}, 0};
    CommandLogger::drive_list_text(drives != nullptr ? drives : &kNone, text.drives,
                                   sizeof text.drives);
    CommandLogger::unit_type_text(type, text.type, sizeof text.type);
    CommandLogger::stripe_text(type, stripe, text.stripe, sizeof text.stripe);
    return text;
}

// A RAID 50 whose drives divide into sub-units of more than one size.
bool shows_per_subunit(const IdList* drives, int type, int per_subunit) {
    constexpr int kRaid50 = 8;
    if (type != kRaid50 || per_subunit == 0 || drives == nullptr) return false;
    return drives->count == 12 || drives->count == 15 || drives->count == 16;
}

}  // namespace

int CommandLogger::log_unit_os_call(int result, const char* operation, ObjectId unit,
                                    int make_os_aware) {
    log_operation("%s(controller=%d, unit=%d, make os aware=%s): %s", operation,
                  unit_controller(unit), unit_number(unit), yes_no(make_os_aware),
                  outcome(result));
    return result;
}

void CommandLogger::log_create(const IdList* drives, int type, int stripe, int make_os_aware,
                               const ObjectId* unit, const int* per_subunit, int result) {
    const Layout text = layout_of(drives, type, stripe);
    const char* os_aware = yes_no(make_os_aware);
    if (result == 0) {
        const ObjectId created = command_log_text::returned_id(unit);
        const uint8_t controller = unit_controller(created), number = unit_number(created);
        if (per_subunit == nullptr)
            log_operation(
                "Create Unit(controller=%d drives=%s, type=%s, stripe=%s, make os "
                "aware=%s, unit created=%d): Success",
                controller, text.drives, text.type, text.stripe, os_aware, number);
        else
            log_operation(
                "Create Unit(controller=%d drives=%s, type=%s, stripe=%s, "
                "drives/subunit=%d, make os aware=%s, unit created=%d): SUCCESS",
                controller, text.drives, text.type, text.stripe, *per_subunit, os_aware, number);
        return;
    }
    const uint8_t controller =
        drives != nullptr && drives->count > 0 ? drive_controller(drives->ids[0]) : 0xFF;
    if (per_subunit == nullptr)
        log_operation(
            "Create Unit(controller=%d drives=%s, type=%s, stripe=%s, make os "
            "aware=%s): Failed",
            controller, text.drives, text.type, text.stripe, os_aware);
    else
        log_operation(
            "Create Unit(controller=%d drives=%s, type=%s, stripe=%s, "
            "drives/subunit=%d, make os aware=%s): FAILED",
            controller, text.drives, text.type, text.stripe, *per_subunit, os_aware);
}

int CommandLogger::create_unit(const IdList* drives, int type, int stripe, int make_os_aware,
                               ObjectId* unit) {
    command_log_text::clear_id(unit);
    const int result = ctl_create_unit(drives, type, stripe, make_os_aware, unit);
    log_create(drives, type, stripe, make_os_aware, unit, nullptr, result);
    return result;
}

int CommandLogger::create_unit_with_subunits(const IdList* drives, int type, int stripe,
                                             int make_os_aware, ObjectId* unit, int per_subunit) {
    command_log_text::clear_id(unit);
    const int result =
        ctl_create_unit_grouped(drives, type, stripe, make_os_aware, unit, per_subunit);
    log_create(drives, type, stripe, make_os_aware, unit, &per_subunit, result);
    return result;
}

int CommandLogger::start_migrate_unit(ObjectId unit, const IdList* drives, int type, int stripe,
                                      int make_os_aware, int per_subunit) {
    const int result = ctl_migrate_unit(unit, drives, type, stripe, make_os_aware, per_subunit);
    const Layout text = layout_of(drives, type, stripe);
    if (shows_per_subunit(drives, type, per_subunit))
        log_operation(
            "Start Migrate Unit(controller=%d unit=%d, drives=%s, type=%s, stripe=%s, "
            "drives/subunit=%d, make os aware=%s): %s",
            unit_controller(unit), unit_number(unit), text.drives, text.type, text.stripe,
            per_subunit, yes_no(make_os_aware), outcome(result));
    else
        log_operation(
            "Start Migrate Unit(controller=%d, unit=%d, drives=%s, type=%s, stripe=%s, "
            "make os aware=%s): %s",
            unit_controller(unit), unit_number(unit), text.drives, text.type, text.stripe,
            yes_no(make_os_aware), outcome(result));
    return result;
}

int CommandLogger::delete_unit(ObjectId unit, int make_os_aware) {
    return log_unit_os_call(ctl_delete_unit(unit, make_os_aware), "Delete Unit", unit,
                            make_os_aware);
}

int CommandLogger::export_unit(ObjectId unit, int make_os_aware) {
    return log_unit_os_call(ctl_export_unit(unit, make_os_aware), "Export Unit", unit,
                            make_os_aware);
}

int CommandLogger::remove_unit(ObjectId unit, int make_os_aware) {
    return log_unit_os_call(ctl_remove_unit(unit, make_os_aware), "Remove Unit", unit,
                            make_os_aware);
}

int CommandLogger::split_mirror(ObjectId unit, int make_os_aware, IdList* units) {
    return log_unit_os_call(ctl_split_mirror(unit, make_os_aware, units), "Split Mirror", unit,
                            make_os_aware);
}

int CommandLogger::verify_unit(ObjectId unit) {
    return log_unit_call(ctl_start_verify(unit), "Verify Unit", unit);
}

int CommandLogger::rebuild_unit(ObjectId unit, const IdList* drives, int ignore_ecc) {
    const int result = ctl_rebuild_unit(unit, drives, ignore_ecc);
    const Layout text = layout_of(drives, -1, 0);
    log_operation("Rebuild Unit(controller=%d, unit=%d, drives=%s, ignore ecc=%s): %s",
                  unit_controller(unit), unit_number(unit), text.drives,
                  yes_no(ignore_ecc), outcome(result));
    return result;
}
