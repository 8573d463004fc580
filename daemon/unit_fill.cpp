// Filling of unit records, unit drive lists and cache settings from the
// library, and the counts over a controller's units.
#include <cstring>

#include "api/ctl.h"
#include "daemon/daemon_context.h"
#include "daemon/fill_reads.h"

using fill_reads::keep_in_room;
using fill_reads::listed;
using fill_reads::read_into;
using fill_reads::read_text;

namespace {

// Unit statuses.
constexpr uint8_t kOk = 255;
constexpr uint8_t kVerifying = 251;
constexpr uint8_t kInitializing = 247;
constexpr uint8_t kDegraded = 239;
constexpr uint8_t kRebuilding = 223;
constexpr uint8_t kRecovering = 191;
constexpr uint8_t kMigratingStatus = 175;
constexpr uint8_t kInoperable = 0;
constexpr uint8_t kUnknown = 17;

// Unit types.
constexpr int kRaid6 = 7;
constexpr int kFirstSingleDriveType = 11;  // single disk, disk, spare, disk, JBOD
constexpr int kLastSingleDriveType = 15;
constexpr int kSpare = 13;
constexpr int kMigrating = 32;

// A unit path has at most four levels.
constexpr int kMaxDepth = 4;

// Sets the record's flag of a status other than OK.
void flag_status(UnitRecord* r, uint8_t status) {
    switch (status) {
        case kInoperable:
            r->has_inoperable = 1;
            break;
        case kRecovering:
            r->has_recovering = 1;
            break;
        case kDegraded:
            r->has_degraded = 1;
            break;
        case kRebuilding:
            r->has_rebuilding = 1;
            break;
        case kVerifying:
            r->has_verifying = 1;
            break;
        case kInitializing:
            r->has_initializing = 1;
            break;
        case kMigratingStatus:
            r->has_migrating = 1;
            break;
        case kUnknown:
            r->has_unknown = 1;
            break;
        default:
            break;
    }
}

bool runs_task(uint8_t status) {
    return status == kVerifying || status == kInitializing || status == kMigratingStatus;
}

// Keeps the drives of a unit's drive list, in order, and drops anything else
// the list might hold (a RAID 6 unit's task records are not its drives).
void keep_drives(IdList* list) {
    const uint32_t count = listed(*list);
    uint32_t kept = 0;
    for (uint32_t i = 0; i < count; i++)
        if (list->ids[i].b[0] == kKindDrive) list->ids[kept++] = list->ids[i];
    for (uint32_t i = kept; i < count; i++)
        std::memset(list->ids[i].b, 0xFF, sizeof list->ids[i].b);
    list->count = kept;
}

// The record as a clearing fill starts it: every field 0 (a sub-unit array
// from an earlier fill released), but for the identifiers and the fields
// whose 0 would mean something the library did not say: status "unknown",
// type "not read", identify "not read", drive port "none".
void clear_unit(UnitRecord* r) {
    delete[] r->sub_unit_records;
    std::memset(static_cast<void*>(r), 0, sizeof *r);
    r->status = kUnknown;
    r->type = -1;
    r->identify = 128;
    r->drive_port = 255;
    clear_id_list(r->sub_units);
    clear_id_list(r->luns);
}

// The statuses of a RAID 6 unit, gathered from its task records.
void gather_task_records(ObjectId unit, UnitRecord* r) {
    IdList tasks;
    if (ctl_get_unit_task_list(unit, &tasks) != 0) {
        r->redundancy_left = r->task_count > 0;
        return;
    }
    const uint32_t count = listed(tasks);
    uint32_t ok = 0, rebuilding = 0, failing = 0;
    int64_t rebuild_sum = 0;
    for (uint32_t i = 0; i < count; i++) {
        const ObjectId task = tasks.ids[i];
        uint8_t status;
        if (ctl_get_unit_status(task, &status) != 0) continue;
        if (status == kOk) {
            ok++;
            continue;
        }
        flag_status(r, status);
        if (status == kDegraded || status == kRebuilding) failing++;
        if (status == kRebuilding) {
            int32_t percent = 0;
            ctl_get_percent_complete(task, &percent);
            rebuild_sum += percent;
            rebuilding++;
            if (r->rebuild_task_info == 0)
                read_into<uint8_t>(r->rebuild_task_info, ctl_get_unit_task_info, task);
        } else if (runs_task(status)) {
            read_into<int32_t>(r->task_percent, ctl_get_percent_complete, task);
            read_into<uint8_t>(r->task_task_info, ctl_get_unit_task_info, task);
        }
    }
    r->is_ok = ok == count;
    if (rebuilding > 0) r->rebuild_percent = static_cast<int>(rebuild_sum / rebuilding);
    r->redundancy_left = static_cast<int64_t>(failing) < r->task_count;
}

// The status of any other unit, from the unit itself.
void read_own_status(ObjectId unit, UnitRecord* r) {
    ctl_get_unit_status(unit, &r->status);
    read_into<int32_t>(r->percent_complete, ctl_get_percent_complete, unit);
    if (r->status == kOk)
        r->is_ok = 1;
    else
        flag_status(r, r->status);
    if (r->status == kRebuilding) {
        r->rebuild_percent = r->percent_complete;
        r->rebuild_task_info = r->task_info;
    } else if (runs_task(r->status)) {
        r->task_percent = r->percent_complete;
        r->task_task_info = r->task_info;
    }
    r->redundancy_left = r->status != kDegraded && r->status != kRebuilding;
}

// The port of a single-drive unit's drive, 255 when it has none.
void read_drive_port(ObjectId unit, UnitRecord* r) {
    IdList drives;
    if (ctl_get_unit_drive_list(unit, &drives) != 0) return;
    keep_drives(&drives);
    uint8_t controller, port;
    if (drives.count > 0 && ctl_parse_drive_id(drives.ids[0], &controller, &port) == 0)
        r->drive_port = port;
}

// A number the library counts, kept inside the room of the list it counts.
int within_room(uint32_t count) { return count > 128 ? 128 : static_cast<int>(count); }

void fill_unit_at(ObjectId unit, UnitRecord* r, int recursion, const ControllerRecord* controller,
                  int level) {
    clear_unit(r);
    r->id = unit;

    uint8_t index = 255, level3 = 255, number = 255, level1 = 255, level2 = 255;
    ctl_parse_unit_id(unit, &index, &level3, &number, &level1, &level2);
    r->number = level3 != 255 ? level3 : level2 != 255 ? level2 : level1 != 255 ? level1 : number;

    read_text(r->name, ctl_get_unit_name, unit);
    read_text(r->serial_number, ctl_get_unit_serial_number, unit);
    read_into<int32_t>(r->type, ctl_get_unit_type, unit);
    ctl_get_unit_flags(unit, &r->flags);
    ctl_get_unit_capacity(unit, &r->capacity);
    ctl_get_subunit_list(unit, &r->sub_units);
    keep_in_room(r->sub_units);
    uint32_t luns = 0;
    if (ctl_get_lun_count(unit, &luns) == 0) r->lun_count = within_room(luns);
    ctl_get_unit_initialized(unit, &r->initialized);
    ctl_get_unit_task_info(unit, &r->task_info);
    ctl_get_ecc_on_rebuild(unit, &r->ecc_on_rebuild);
    ctl_get_auto_verify(unit, &r->auto_verify);
    if (controller->recovery_policy_supported == 1)
        ctl_get_recovery_policy(unit, &r->recovery_policy);
    ctl_get_unit_queuing(unit, &r->queuing);
    ctl_get_protection_mode(unit, &r->protection_mode);
    ctl_get_lun_list(unit, &r->luns);
    keep_in_room(r->luns);
    ctl_get_unit_identify(unit, &r->identify);
    uint32_t tasks = 0;
    if (ctl_get_unit_task_count(unit, &tasks) == 0) r->task_count = within_room(tasks);

    if (r->type == kRaid6)
        gather_task_records(unit, r);
    else
        read_own_status(unit, r);

    read_into<uint32_t>(r->stripe_size, ctl_get_stripe_size, unit);
    if (r->type >= kFirstSingleDriveType && r->type <= kLastSingleDriveType)
        read_drive_port(unit, r);

    const uint32_t subunits = r->sub_units.count;
    if (subunits == 0 || (recursion != 1 && r->type != kMigrating) || level >= kMaxDepth) return;
    r->sub_unit_records = new UnitRecord[subunits];
    for (uint32_t i = 0; i < subunits; i++) {
        // Only a unit one level below this one: a library that listed the
        // unit itself, or anything else, must not lead the fill in circles.
        const ObjectId sub = r->sub_units.ids[i];
        if (sub.b[0] != kKindUnit || sub.b[3] != unit.b[3] + 1) continue;
        fill_unit_at(sub, &r->sub_unit_records[i], recursion, controller, level + 1);
    }
}

}  // namespace

int DaemonContext::fill_units(const IdList& units, UnitRecord* records,
                              const ControllerRecord* controller, int recursion) {
    const uint32_t count = records != nullptr ? listed(units) : 0;
    for (uint32_t i = 0; i < count; i++)
        fill_unit(units.ids[i], &records[i], recursion, controller);
    return 0;
}

int DaemonContext::fill_unit(ObjectId unit, UnitRecord* record, int recursion,
                             const ControllerRecord* controller) {
    fill_unit_at(unit, record, recursion, controller, 1);
    return 0;
}

int DaemonContext::fill_unit_drive_lists(const IdList& units, IdList* lists) {
    const uint32_t count = lists != nullptr ? listed(units) : 0;
    for (uint32_t i = 0; i < count; i++) {
        if (ctl_get_unit_drive_list(units.ids[i], &lists[i]) == 0)
            keep_drives(&lists[i]);
        else
            clear_id_list(lists[i]);
    }
    return 0;
}

int DaemonContext::fill_unit_cache_settings(const IdList& units, UnitCacheRecord* records) {
    const uint32_t count = records != nullptr ? listed(units) : 0;
    for (uint32_t i = 0; i < count; i++) {
        ctl_get_read_cache(units.ids[i], &records[i].read_cache_mode);
        ctl_get_write_cache(units.ids[i], &records[i].write_cache);
    }
    return 0;
}

int DaemonContext::count_drives_in_units(ControllerRecord* record) {
    int sum = 0;
    if (record->unit_records != nullptr && record->unit_drive_lists != nullptr) {
        const uint32_t units = listed(record->units);
        for (uint32_t i = 0; i < units; i++)
            if (record->unit_records[i].type != kSpare)
                sum += static_cast<int>(listed(record->unit_drive_lists[i]));
    }
    record->configured_drives = sum;
    return 0;
}

int DaemonContext::count_active_units(ControllerRecord* record) {
    int active = 0;
    if (record->unit_records != nullptr) {
        const uint32_t units = listed(record->units);
        for (uint32_t i = 0; i < units; i++)
            if (record->unit_records[i].type != kSpare) active++;
    }
    record->active_units = active;
    return 0;
}
