// Which drives a unit holds and which unit holds a drive, a unit's stripe
// size, and the task records of RAID 6 units: answers from the units'
// descriptor lists.
#include <cstring>

#include "backend/series_backend.h"
#include "backend/series_parameter_access.h"
#include "driver/record_failure.h"

using namespace series_access;
using namespace unit_record;

namespace {

constexpr Parameter kHolder{0x200, 11, 1};
constexpr uint8_t kNoUnit = 0xFF;
constexpr uint32_t kListRoom = sizeof(IdList::ids) / sizeof(IdList::ids[0]);

ObjectId blank_id(uint8_t kind, uint8_t controller) {
    ObjectId id;
    std::memset(id.b, 0xFF, sizeof id.b);
    id.b[0] = kind;
    id.b[1] = controller;
    return id;
}

ObjectId drive_of(uint8_t controller, uint8_t port) {
    ObjectId id = blank_id(kKindDrive, controller);
    id.b[2] = port;
    return id;
}

void clear_list(IdList* list) {
    std::memset(list, 0xFF, sizeof *list);
    list->count = 0;
}

// The drives of the records from first up to (not including) end: every
// member drive record gives its port once, every empty place an entry of
// its own. Task records are not drives. The walk stops at the end of the
// list and when the caller's list is full.
void collect_drives(const UnitDescriptorList& list, int first, int end, uint8_t controller,
                    IdList* out) {
    for (int place = first; place < end && out->count < kListRoom; ++place) {
        const uint8_t* r = list.record(place);
        if (r == nullptr || r[kChildren] == kTerminator) break;
        if (r[kChildren] != 0 || r[kType] == kUnitTaskRecord) continue;
        const uint8_t port = r[kStateIndex];
        bool listed = false;
        for (uint32_t i = 0; i < out->count && port != kNoPort; ++i)
            listed = listed || out->ids[i].b[2] == port;
        if (!listed) out->ids[out->count++] = drive_of(controller, port);
    }
}

}  // namespace

int SeriesBackend::get_stripe_size(ObjectId unit, uint32_t* out) const {
    int32_t type;
    if (get_unit_type(unit, &type) != 0) return -1;
    if (type != kUnitRaid0 && type != kUnitRaid5 && type != kUnitRaid6 && type != kUnitRaid10 &&
        type != kUnitRaid50)
        return fail_with_api_error(kApiInvalidStripeForUnit);
    UnitDescriptorList list;
    int place;
    if (read_unit_record(unit, &list, &place) != 0) return -1;
    // A RAID 50 unit keeps its stripe in its sub-units.
    const uint8_t* r = list.record(type == kUnitRaid50 ? place + 1 : place);
    const uint8_t code = r == nullptr ? 0 : r[kStripe];
    // Codes that give no size of 1 KiB or more, or none that fits 32 bits.
    if (code < 1 || code > 32) return fail_with_api_error(kApiInvalidStripeForUnit);
    *out = uint32_t(1) << (code - 1);
    return 0;
}

int SeriesBackend::get_drive_unit(ObjectId drive, ObjectId* out) const {
    const ObjectId free_drive = blank_id(kKindUnit, drive.b[1]);
    const uint8_t port = drive.b[2];
    *out = free_drive;
    if (is_port_present(drive, port) == 0) return fail_with_api_error(kApiDriveUnitPortEmpty);
    uint8_t number;
    if (read_as(drive, of_object(kHolder, port), &number) != 0) return -1;
    if (number == kNoUnit) return 0;
    ObjectId unit;
    UnitDescriptorList list;
    int place;
    ObjectId target = drive;
    target.b[4] = number;
    if (ctl_make_unit_id(drive.b[1], 0xFF, number, 0xFF, 0xFF, &unit) != 0 ||
        read_unit_descriptor(unit, &list) != 0 || find_record_id(target, list, &place, out) != 0) {
        *out = free_drive;
        return -1;
    }
    return 0;
}

int SeriesBackend::get_unit_drive_list(ObjectId unit, IdList* out) const {
    int32_t type;
    if (get_unit_type(unit, &type) != 0) return -1;
    const uint8_t depth = unit.b[3];
    if (depth == 1 && type == kUnitMigrating) {
        IdList source, destination;
        ObjectId sub = unit;
        sub.b[3] = 2;
        sub.b[5] = 0;
        sub.b[6] = sub.b[7] = 0xFF;
        if (get_unit_drive_list(sub, &source) != 0) return -1;
        sub.b[5] = 1;
        if (get_unit_drive_list(sub, &destination) != 0) return -1;
        *out = destination.count > source.count ? destination : source;
        return 0;
    }
    UnitDescriptorList list;
    int place;
    if (read_unit_record(unit, &list, &place) != 0) return -1;
    int end = UnitDescriptorList::kLastPlace + 1;
    if (list.record(place)[kChildren] == 0) {
        end = place + 1;
    } else if (depth > 1 && depth <= DescriptorWalker::kMaxDepth) {
        ObjectId sibling = unit;
        sibling.b[4 + depth - 1] += 1;
        int next;
        if (find_unit_record(sibling, list, &next) == 0) end = next;
    }
    IdList drives;
    clear_list(&drives);
    collect_drives(list, place, end, unit.b[1], &drives);
    *out = drives;
    return 0;
}

ObjectId SeriesBackend::make_task_id(ObjectId unit, uint8_t index) {
    unit.b[0] = kKindTaskRecord;
    unit.b[2] = index;
    return unit;
}

int SeriesBackend::build_unit_task_list(ObjectId unit, IdList* out) const {
    out->count = 0;
    int32_t type;
    if (get_unit_type(unit, &type) != 0) return -1;
    if (type != kUnitRaid6) return fail_with_api_error(kApiNotSupported);
    UnitDescriptorList list;
    int place;
    if (read_unit_record(unit, &list, &place) != 0) return -1;
    IdList tasks;
    clear_list(&tasks);
    tasks.ids[tasks.count++] = make_task_id(unit, 0);
    const int records = list.record(place)[kTaskRecords];
    for (int i = 1; i <= records && tasks.count < kListRoom; ++i)
        if (list.type_at(place + i) == kUnitTaskRecord)
            tasks.ids[tasks.count++] = make_task_id(unit, uint8_t(i));
    *out = tasks;
    return 0;
}

int SeriesBackend::get_unit_task_list(ObjectId unit, IdList* out) const {
    return build_unit_task_list(unit, out);
}

int SeriesBackend::get_unit_task_count(ObjectId unit, uint32_t* out) const {
    IdList tasks;
    if (build_unit_task_list(unit, &tasks) != 0) return -1;
    *out = tasks.count;
    return 0;
}

// The members of a RAID 6 unit follow its record and its task records, so
// member m is N + 1 + m places after the unit record, N its task records.
int SeriesBackend::get_task_drive(ObjectId task, ObjectId* out) const {
    ObjectId unit = task;
    unit.b[0] = kKindUnit;
    UnitDescriptorList list;
    int place, record;
    if (read_unit_record(unit, &list, &place) != 0 ||
        get_task_record(task, list, place, &record) != 0)
        return -1;
    const uint8_t* t = list.record(record);
    const bool task_type = t[kType] == kUnitRaid6 || t[kType] == kUnitTaskRecord;
    const bool failed = t[kStatus] == kStatusDegraded || t[kStatus] == kStatusRebuilding ||
                        t[kStatus] == kStatusRecovering;
    if (!task_type || !failed) return -1;
    const uint8_t* member =
        list.record(place + list.record(place)[kTaskRecords] + 1 + t[kStateIndex]);
    if (member == nullptr || member[kChildren] != 0 || member[kType] != kUnitDisk) return -1;
    *out = drive_of(task.b[1], member[kStateIndex]);
    return 0;
}
