// Reading a unit's descriptor list from the controller, finding records in
// it, and the two port tests on the controller's port tables.
#include <cstring>

#include "backend/series_backend.h"
#include "backend/series_parameter_access.h"
#include "driver/record_failure.h"

using namespace series_access;
using namespace unit_record;

namespace {

constexpr Parameter kRecordCount{0x300, 9, 2};
constexpr Parameter kRecordSize{0x300, 10, 1};
constexpr Parameter kRecords{0x300, 11, 0};  // record count × 20 bytes

}  // namespace

int SeriesBackend::read_unit_descriptor(ObjectId unit, UnitDescriptorList* out) const {
    ObjectId controller = unit;
    controller.b[0] = kKindController;
    const uint8_t number = unit.b[4];
    if (is_unit_present(controller, number) == 0) return fail_with_api_error(kApiNoUnit);
    uint16_t count;
    uint8_t size;
    if (read_as(controller, of_object(kRecordCount, number), &count) != 0 ||
        read_as(controller, of_object(kRecordSize, number), &size) != 0)
        return -1;
    // The list and its terminator must fit the buffer.
    if (count > UnitDescriptorList::kMaxRecords) return fail_with_api_error(kApiBufferTooSmall);
    if (size != kSize) return fail_with_api_error(kApiUnitDescriptor);
    UnitDescriptorList list;
    const Parameter records = of_object(kRecords, number);
    const uint32_t length = uint32_t(count) * kSize;
    if (get_parameter(controller, list.bytes, sizeof list.bytes, records.table, records.id,
                      length) != 0)
        return -1;
    std::memset(list.bytes + length, kTerminator, 4);
    std::memcpy(out, &list, sizeof list);
    return 0;
}

int SeriesBackend::find_unit_record(ObjectId target, const UnitDescriptorList& list, int* place) {
    DescriptorMatch match;
    if (search_descriptor(list, target, &match) != 0) return -1;
    *place = match.place;
    return 0;
}

int SeriesBackend::find_unit_record_and_next(ObjectId target, const UnitDescriptorList& list,
                                             int* place, int* next) {
    if (find_unit_record(target, list, place) != 0) return -1;
    *next = *place < UnitDescriptorList::kLastPlace ? *place + 1 : -1;
    return 0;
}

int SeriesBackend::find_record_id(ObjectId target, const UnitDescriptorList& list, int* place,
                                  ObjectId* id) {
    DescriptorMatch match;
    if (search_descriptor(list, target, &match) != 0) return -1;
    *place = match.place;
    *id = match.id;
    return 0;
}

int SeriesBackend::get_task_record(ObjectId task, const UnitDescriptorList& list, int first,
                                   int* place) {
    *place = -1;
    const uint8_t* unit = list.record(first);
    const uint8_t index = task.b[2];
    if (unit == nullptr || index > unit[kTaskRecords] || list.record(first + index) == nullptr)
        return -1;
    *place = first + index;
    return 0;
}

int SeriesBackend::read_unit_record(ObjectId unit, UnitDescriptorList* list, int* place) const {
    if (read_unit_descriptor(unit, list) != 0) return -1;
    return find_unit_record(unit, *list, place);
}

int SeriesBackend::check_unit_id(ObjectId unit) const {
    UnitDescriptorList list;
    int place;
    return read_unit_record(unit, &list, &place);
}

int SeriesBackend::has_subunit(ObjectId unit, uint8_t index) const {
    const uint8_t depth = unit.b[3];
    if (depth < 1 || depth >= DescriptorWalker::kMaxDepth) return 0;
    ObjectId child = unit;
    child.b[3] = uint8_t(depth + 1);
    child.b[4 + depth] = index;
    UnitDescriptorList list;
    int place;
    if (read_unit_descriptor(unit, &list) != 0) return 0;
    return find_unit_record(child, list, &place) == 0 ? 1 : 0;
}

int SeriesBackend::is_port_present(ObjectId id, uint8_t port) const {
    if (port >= kPortSlots) return 0;
    uint8_t status[kPortSlots];
    if (read_port_status(id, status) != 0) return 0;
    return drive_in_port(status, port);
}

int SeriesBackend::is_port_valid(ObjectId id, uint8_t port) const {
    uint32_t ports;
    if (read_as(id, kPorts, &ports) != 0) return 0;
    return port_within(ports, port);
}
