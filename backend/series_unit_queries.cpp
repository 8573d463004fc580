// What a second-series controller tells of its units: which exist, their
// type, status, progress and capacity, their sub-units and LUNs, and the
// unit parameters read one at a time. Type, status and progress come from
// the unit's descriptor list, where RAID 10 and RAID 50 are RAID 0 over
// RAID 1 or RAID 5 sub-units and report what their sub-units say.
#include <cstring>

#include "backend/series_backend.h"
#include "backend/series_parameter_access.h"
#include "driver/record_failure.h"

using namespace series_access;
using namespace unit_record;

namespace {

constexpr Parameter kUnitFlags{0x300, 3, 1};
constexpr Parameter kCapacity{0x300, 12, 8};
constexpr Parameter kLunCount{0x300, 16, 1};
constexpr Parameter kDestinationCapacity{0x300, 19, 8};
constexpr Parameter kQueuing{0x300, 20, 1};

constexpr uint8_t kSubUnitFlags = 0x7F;
constexpr uint8_t kMaxUnits = 64;
constexpr uint8_t kMaxSubUnits = 64;
constexpr uint8_t kMaxLuns = 64;

void clear_list(IdList* list) {
    std::memset(list, 0xFF, sizeof *list);
    list->count = 0;
}

void append(IdList* list, ObjectId id) {
    if (list->count < sizeof list->ids / sizeof list->ids[0]) list->ids[list->count++] = id;
}

// The identifier one level down, at the index.
ObjectId child_id(ObjectId unit, uint8_t index) {
    const uint8_t depth = unit.b[3];
    unit.b[3] = uint8_t(depth + 1);
    unit.b[4 + depth] = index;
    return unit;
}

// The record a task identifier (kind 11) names in its unit's list, and its
// type.
int read_task_record(const SeriesBackend& backend, ObjectId task, UnitDescriptorList* list,
                     int* place, uint8_t* type) {
    ObjectId owner = task;
    owner.b[0] = kKindUnit;
    int unit;
    if (backend.read_unit_record(owner, list, &unit) != 0 ||
        SeriesBackend::get_task_record(task, *list, unit, place) != 0)
        return -1;
    *type = list->type_at(*place);
    return 0;
}

bool is_task_type(uint8_t type) { return type == kUnitRaid6 || type == kUnitTaskRecord; }

// A member place is deeper than its unit; only such identifiers have a
// parent and a last path byte.
bool is_member_place(ObjectId unit, int32_t type) {
    return unit.b[3] > 1 && unit.b[3] <= DescriptorWalker::kMaxDepth && type == kUnitDisk;
}

bool is_failure_state(uint8_t status) {
    return status == kStatusDegraded || status == kStatusRebuilding ||
           status == kStatusRecovering || status == kStatusInoperable;
}

bool percentage_of(const uint8_t* r, int32_t* out) {
    const uint16_t progress = record_progress(r);
    if (progress > kProgressWhole) return false;
    *out = int32_t(progress * 100u / kProgressWhole);
    return true;
}

// The running status of a RAID 10 or RAID 50 unit after one more sub-unit:
// 191 > 0 > 239 > 223 > 251 > 247 > 175 > 255; a sub-unit reporting 17
// counts as degraded, a value outside the list sets 17.
uint8_t merge_status(uint8_t running, uint8_t sub) {
    static const uint8_t kPrecedence[] = {kStatusRecovering,  kStatusInoperable,
                                          kStatusDegraded,    kStatusRebuilding,
                                          kStatusVerifying,   kStatusInitializing,
                                          kStatusMigrating};
    if (sub == kStatusOk) return running;
    if (sub == kStatusUnknown) sub = kStatusDegraded;
    int rank = -1;
    for (int i = 0; i < int(sizeof kPrecedence); ++i)
        if (kPrecedence[i] == sub) rank = i;
    if (rank < 0) return kStatusUnknown;
    for (int i = 0; i < rank; ++i)
        if (kPrecedence[i] == running) return running;
    return sub;
}

}  // namespace

int SeriesBackend::get_unit_list(ObjectId id, IdList* out) const {
    IdList list;
    clear_list(&list);
    for (uint8_t number = 0; number < kMaxUnits; ++number) {
        if (is_unit_present(id, number) == 0) continue;
        ObjectId unit;
        std::memset(unit.b, 0xFF, sizeof unit.b);
        unit.b[0] = kKindUnit;
        unit.b[1] = id.b[1];
        unit.b[3] = 1;
        unit.b[4] = number;
        append(&list, unit);
    }
    *out = list;
    return 0;
}

int SeriesBackend::get_unit_type(ObjectId unit, int32_t* out) const {
    UnitDescriptorList list;
    int place;
    if (read_unit_record(unit, &list, &place) != 0) return -1;
    const uint8_t type = list.type_at(place);
    if (type != kUnitRaid0) {
        *out = type;
        return 0;
    }
    int child;
    if (unit.b[3] >= DescriptorWalker::kMaxDepth ||
        read_unit_record(child_id(unit, 0), &list, &child) != 0)
        return -1;
    const uint8_t child_type = list.type_at(child);
    *out = child_type == kUnitRaid1 || child_type == kUnitRaid1Mirror ? kUnitRaid10
           : child_type == kUnitRaid5                                ? kUnitRaid50
                                                                     : kUnitRaid0;
    return 0;
}

int SeriesBackend::get_unit_status(ObjectId unit, uint8_t* out) const {
    UnitDescriptorList list;
    int place;
    if (unit.b[0] == kKindTaskRecord) {
        uint8_t type;
        if (read_task_record(*this, unit, &list, &place, &type) != 0) return -1;
        *out = is_task_type(type) ? list.record(place)[kStatus] : uint8_t(kStatusUnknown);
        return 0;
    }
    int32_t type;
    if (get_unit_type(unit, &type) != 0) return -1;
    if (is_member_place(unit, type)) {
        if (read_unit_record(unit, &list, &place) != 0) return -1;
        const uint8_t own = list.record(place)[kStatus];
        if (own != kStatusOk) {
            *out = own == kStatusInoperable ? uint8_t(kStatusDegraded) : own;
            return 0;
        }
        int parent;
        if (find_unit_record(unit_parent_id(unit), list, &parent) != 0) return -1;
        const uint8_t index = unit_member_index(unit);
        // A RAID 6 parent keeps further failed members in its task records.
        const uint8_t* p = list.record(parent);
        const int records = p[kType] == kUnitRaid6 ? p[kTaskRecords] + 1 : 1;
        uint8_t status = kStatusOk;
        for (int i = 0; i < records && status == kStatusOk; ++i) {
            const uint8_t* r = list.record(parent + i);
            if (r != nullptr && is_failure_state(r[kStatus]) && r[kStateIndex] == index)
                status = kStatusDegraded;
        }
        *out = status;
        return 0;
    }
    if (type == kUnitRaid10 || type == kUnitRaid50) {
        IdList subunits;
        get_subunit_list(unit, &subunits);
        uint8_t running = kStatusUnknown;
        for (uint32_t i = 0; i < subunits.count && running != kStatusRecovering; ++i) {
            uint8_t sub;
            if (get_unit_status(subunits.ids[i], &sub) != 0) return -1;
            if (running == kStatusUnknown) running = sub;
            running = merge_status(running, sub);
        }
        *out = running;
        return 0;
    }
    if (read_unit_record(unit, &list, &place) != 0) return -1;
    const uint8_t* r = list.record(place);
    *out = r[kType] == kTerminator ? uint8_t(kStatusUnknown) : r[kStatus];
    return 0;
}

int SeriesBackend::get_raid6_degraded_drives(ObjectId unit, uint8_t* first,
                                             uint8_t* second) const {
    *first = *second = kStatusUnknown;
    int32_t type;
    if (get_unit_type(unit, &type) != 0 || type != kUnitRaid6) return -1;
    UnitDescriptorList list;
    int place, next;
    if (read_unit_descriptor(unit, &list) != 0 ||
        find_unit_record_and_next(unit, list, &place, &next) != 0)
        return -1;
    if (list.type_at(place) == kUnitRaid6) *first = list.record(place)[kStatus];
    if (list.type_at(next) == kUnitTaskRecord) *second = list.record(next)[kStatus];
    return 0;
}

int SeriesBackend::get_percent_complete(ObjectId unit, int32_t* out) const {
    UnitDescriptorList list;
    int place;
    if (unit.b[0] == kKindTaskRecord) {
        uint8_t type;
        if (read_task_record(*this, unit, &list, &place, &type) != 0) return -1;
        if (is_task_type(type) && percentage_of(list.record(place), out)) return 0;
        return fail_with_api_error(kApiPercentComplete);
    }
    int32_t type;
    if (get_unit_type(unit, &type) != 0) return -1;
    if (record_holds_unit_state(type)) {
        if (read_unit_record(unit, &list, &place) != 0) return -1;
        const uint8_t* r = list.record(place);
        if (r[kType] != kTerminator && percentage_of(r, out)) return 0;
        return fail_with_api_error(kApiPercentComplete);
    }
    if (type == kUnitRaid10 || type == kUnitRaid50) {
        IdList subunits;
        get_subunit_list(unit, &subunits);
        // Nothing to average without sub-units.
        if (subunits.count == 0) return fail_with_api_error(kApiPercentComplete);
        int32_t sum = 0;
        for (uint32_t i = 0; i < subunits.count; ++i) {
            uint8_t status;
            if (get_unit_status(subunits.ids[i], &status) != 0) return -1;
            int32_t share = 100;
            if (status_has_task(status) && get_percent_complete(subunits.ids[i], &share) != 0)
                return -1;
            sum += share;
        }
        *out = sum / int32_t(subunits.count);
        return 0;
    }
    if (!is_member_place(unit, type)) return fail_with_api_error(kApiPercentageInvalidConfig);
    int parent;
    if (read_unit_descriptor(unit, &list) != 0 ||
        find_unit_record(unit_parent_id(unit), list, &parent) != 0)
        return -1;
    const uint8_t* p = list.record(parent);
    if (p[kType] != kUnitRaid6) return fail_with_api_error(kApiPercentageInvalidConfig);
    const uint8_t index = unit_member_index(unit);
    for (int i = 0; i <= p[kTaskRecords]; ++i) {
        const uint8_t* r = list.record(parent + i);
        if (r == nullptr || r[kStatus] != kStatusRebuilding || r[kStateIndex] != index) continue;
        if (percentage_of(r, out)) return 0;
        return fail_with_api_error(kApiPercentComplete);
    }
    return fail_with_api_error(kApiNotRebuilding);
}

int SeriesBackend::get_unit_capacity(ObjectId unit, uint64_t* out) const {
    const uint8_t number = unit.b[4];
    if (unit.b[3] == 1) return read_as(unit, of_object(kCapacity, number), out);
    UnitDescriptorList list;
    int place;
    if (read_unit_record(unit, &list, &place) != 0) return -1;
    const uint8_t* r = list.record(place);
    if (r[kType] == kTerminator) return fail_with_api_error(kApiUnitCapacity);
    // A migrating unit's source and destination have capacities of their own.
    if (list.type_at(0) == kUnitMigrating && unit.b[3] == 2) {
        if (unit.b[5] == 0) return read_as(unit, of_object(kCapacity, number), out);
        if (unit.b[5] == 1) return read_as(unit, of_object(kDestinationCapacity, number), out);
    }
    *out = record_capacity(r);
    return 0;
}

int SeriesBackend::get_subunit_list(ObjectId unit, IdList* out) const {
    IdList list;
    clear_list(&list);
    for (uint8_t index = 0; index < kMaxSubUnits && has_subunit(unit, index) == 1; ++index)
        append(&list, child_id(unit, index));
    *out = list;
    return 0;
}

int SeriesBackend::get_subunit_count(ObjectId unit, uint32_t* out) const {
    IdList list;
    get_subunit_list(unit, &list);
    *out = list.count;
    return 0;
}

ObjectId SeriesBackend::make_lun_id(ObjectId unit, uint8_t index) {
    unit.b[0] = kKindLun;
    unit.b[2] = index;
    return unit;
}

namespace {

// The unit's LUN table and its count of LUNs.
int read_luns(const SeriesBackend& backend, ObjectId unit, uint8_t* table, uint8_t* count) {
    unit.b[0] = kKindUnit;
    if (backend.read_lun_table(unit, table) != 0) return -1;
    return backend.get_unit_lun_count(unit, count);
}

// The entry a LUN identifier names in its unit's table: its index (byte 2)
// below the count, in use; API error 108 otherwise.
int find_lun_entry(const SeriesBackend& backend, ObjectId lun, uint8_t* out) {
    uint8_t table[SeriesBackend::kLunTableSize];
    uint8_t count;
    if (read_luns(backend, lun, table, &count) != 0) return -1;
    const uint8_t index = lun.b[2];
    const uint8_t* entry = table + size_t(index) * SeriesBackend::kLunEntrySize;
    if (index >= count || index >= SeriesBackend::kLunTableEntries || entry[kType] != kUnitVolume)
        return fail_with_api_error(kApiInvalidLunId);
    std::memcpy(out, entry, SeriesBackend::kLunEntrySize);
    return 0;
}

}  // namespace

int SeriesBackend::get_lun_list(ObjectId unit, IdList* out) const {
    // The count first: a unit without LUNs has no table to read.
    uint8_t count = 0;
    unit.b[0] = kKindUnit;
    if (get_unit_lun_count(unit, &count) != 0) return -1;
    if (count == 0) return fail_with_api_error(kApiUnitHasNoLuns);
    uint8_t table[kLunTableSize];
    if (read_lun_table(unit, table) != 0) return -1;
    if (count > kMaxLuns) count = kMaxLuns;
    IdList list;
    clear_list(&list);
    for (uint8_t i = 0; i < count; ++i)
        if (table[size_t(i) * kLunEntrySize + kType] == kUnitVolume)
            append(&list, make_lun_id(unit, i));
    *out = list;
    return 0;
}

int SeriesBackend::get_lun_capacity(ObjectId lun, uint64_t* out) const {
    uint8_t entry[kLunEntrySize];
    if (find_lun_entry(*this, lun, entry) != 0) return -1;
    *out = le::load(entry + kCapacityLow, 8);
    return 0;
}

int SeriesBackend::get_lun_attribute(ObjectId lun, uint8_t* out) const {
    uint8_t entry[kLunEntrySize];
    if (find_lun_entry(*this, lun, entry) != 0) return -1;
    *out = entry[kStripe];  // the attribute byte
    return 0;
}

int SeriesBackend::get_unit_flags(ObjectId unit, uint8_t* out) const {
    if (unit.b[3] > 1) {
        *out = kSubUnitFlags;
        return 0;
    }
    return read_as(unit, of_object(kUnitFlags, unit.b[4]), out);
}

int SeriesBackend::get_read_cache(ObjectId unit, uint8_t* out) const {
    uint8_t policy, mode;
    if (read_as(unit, of_object(kUnitPolicy, unit.b[4]), &policy) != 0) return -1;
    if (policy & kReadCacheOff) {
        *out = 0;
        return 0;
    }
    if (read_as(unit, of_object(kUnitReadCacheMode, unit.b[4]), &mode) != 0) return -1;
    *out = mode & kBasicReadCache ? 1 : 2;
    return 0;
}

int SeriesBackend::get_write_cache(ObjectId unit, uint8_t* out) const {
    uint8_t policy;
    if (read_as(unit, of_object(kUnitPolicy, unit.b[4]), &policy) != 0) return -1;
    *out = policy & kWriteCacheOn ? 1 : 0;
    return 0;
}

int SeriesBackend::get_lun_count(ObjectId unit, uint32_t* out) const {
    return read_as(unit, of_object(kLunCount, unit.b[4]), out);
}

int SeriesBackend::get_unit_queuing(ObjectId unit, uint8_t* out) const {
    return read_as(unit, of_object(kQueuing, unit.b[4]), out);
}

int SeriesBackend::set_unit_queuing(ObjectId unit, uint8_t value) const {
    return write_number(unit, of_object(kQueuing, unit.b[4]), value);
}
