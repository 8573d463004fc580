// Two flags of a unit read from its descriptor list: whether it is
// initialised, and whether its background task runs or is paused. RAID 10
// and RAID 50 units answer from their sub-units; a drive member of a RAID 6
// unit from the record of the unit that rebuilds it; a task record (kind 11)
// from itself.
#include "backend/series_backend.h"
#include "driver/record_failure.h"

using namespace unit_record;

namespace {

constexpr uint8_t kInitialised = 0x80;  // flags byte
constexpr uint8_t kTaskActive = 0x80;   // high byte of the progress word
constexpr uint8_t kLastMemberDepth = DescriptorWalker::kMaxDepth;

bool answers_from_subunits(int32_t type) { return type == kUnitRaid10 || type == kUnitRaid50; }

uint8_t task_flag(const uint8_t* record) {
    return (record[kProgress + 1] & kTaskActive) != 0 ? 1 : 0;
}

// The byte of the unit's own record at offset, or the error missing when its
// place holds no record.
int read_own_byte(const SeriesBackend& backend, ObjectId unit, size_t offset, int32_t missing,
                  uint8_t* out) {
    UnitDescriptorList list;
    int place;
    if (backend.read_unit_record(unit, &list, &place) != 0) return -1;
    const uint8_t* r = list.record(place);
    if (r[kType] == kTerminator) return fail_with_api_error(missing);
    *out = r[offset];
    return 0;
}

}  // namespace

// A task record: the unit's record (index 0) or one of the task records
// that follow it. An index beyond them fails without an error of its own:
// the last-error record is left empty, so no older failure's text shows. A
// record the unit counts but the list ends before is API error 78.
int SeriesBackend::get_task_record_task_info(ObjectId task, uint8_t* out) const {
    ObjectId unit = task;
    unit.b[0] = kKindUnit;
    UnitDescriptorList list;
    int first, place;
    if (read_unit_record(unit, &list, &first) != 0) return -1;
    if (task.b[2] > list.record(first)[kTaskRecords]) {
        clear_last_error();
        return -1;
    }
    if (get_task_record(task, list, first, &place) != 0 || list.type_at(place) == kTerminator)
        return fail_with_api_error(kApiUnitTaskInfo);
    *out = task_flag(list.record(place));
    return 0;
}

// A drive member of a RAID 6 unit: the first of the unit's record and its
// task records that rebuilds this member.
int SeriesBackend::get_raid6_member_task_info(ObjectId member, uint8_t* out) const {
    UnitDescriptorList list;
    int parent;
    if (read_unit_record(unit_parent_id(member), &list, &parent) != 0) return -1;
    const uint8_t* p = list.record(parent);
    if (p[kType] != kUnitRaid6) return fail_with_api_error(kApiUnitTaskInfoInvalid);
    const uint8_t index = unit_member_index(member);
    for (int i = 0; i <= p[kTaskRecords]; ++i) {
        const uint8_t* r = list.record(parent + i);
        if (r == nullptr) break;
        if (r[kStatus] == kStatusRebuilding && r[kStateIndex] == index) {
            *out = task_flag(r);
            return 0;
        }
    }
    return fail_with_api_error(kApiPercentComplete);
}

int SeriesBackend::get_unit_initialized(ObjectId unit, uint8_t* out) const {
    int32_t type;
    if (get_unit_type(unit, &type) != 0) return -1;
    if (record_holds_unit_state(type)) {
        uint8_t flags;
        if (read_own_byte(*this, unit, kFlags, kApiUnitInitInfo, &flags) != 0) return -1;
        *out = (flags & kInitialised) != 0 ? 1 : 0;
        return 0;
    }
    if (!answers_from_subunits(type)) return fail_with_api_error(kApiUnitInitInfoInvalid);
    // Initialised when every sub-unit is; the walk stops at the first that
    // is not.
    IdList subunits;
    get_subunit_list(unit, &subunits);
    uint8_t result = 1;
    for (uint32_t i = 0; i < subunits.count && result == 1; ++i) {
        uint8_t status;
        if (get_unit_status(subunits.ids[i], &status) != 0 ||
            get_unit_initialized(subunits.ids[i], &result) != 0)
            return -1;
    }
    *out = result;
    return 0;
}

int SeriesBackend::get_unit_task_info(ObjectId id, uint8_t* out) const {
    if (id.b[0] == kKindTaskRecord) return get_task_record_task_info(id, out);
    int32_t type;
    if (get_unit_type(id, &type) != 0) return -1;
    if (record_holds_unit_state(type)) {
        uint8_t progress_high;
        if (read_own_byte(*this, id, kProgress + 1, kApiUnitTaskInfo, &progress_high) != 0)
            return -1;
        *out = (progress_high & kTaskActive) != 0 ? 1 : 0;
        return 0;
    }
    if (answers_from_subunits(type)) {
        // Active when the task of any sub-unit that runs one is; sub-units
        // without a task are not asked.
        IdList subunits;
        get_subunit_list(id, &subunits);
        uint8_t result = 0;
        for (uint32_t i = 0; i < subunits.count && result == 0; ++i) {
            uint8_t status;
            if (get_unit_status(subunits.ids[i], &status) != 0) return -1;
            if (status_has_task(status) && get_unit_task_info(subunits.ids[i], &result) != 0)
                return -1;
        }
        *out = result;
        return 0;
    }
    if (type == kUnitDisk && id.b[3] >= 2 && id.b[3] <= kLastMemberDepth)
        return get_raid6_member_task_info(id, out);
    return fail_with_api_error(kApiUnitTaskInfoInvalid);
}
