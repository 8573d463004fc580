#include "web/actions/controller_selection.h"

#include <cstring>

#include "api/ctl.h"
#include "daemon/daemon_context.h"

namespace {

constexpr int kMaxControllers = 255;
constexpr int kMaxListedUnits = 64;
constexpr int kListRoom = 128;

// The count of a list when it lies within 1 and most, else 0.
template <int N>
int bounded_count(const IdListOf<N>& list, int most) {
    const int count = list_count(list);
    return count >= 1 && count <= most ? count : 0;
}

template <typename T>
T* replace_array(T*& slot, int count) {
    delete[] slot;
    slot = count > 0 ? new T[count] : nullptr;
    return slot;
}

}  // namespace

int select_controller(int c, int count) { return c >= 0 && c < count ? c : 0; }

ControllerSelection::ControllerSelection() : count_(0), position_(0), records_(nullptr) {
    clear_id_list(list_);
    list_controllers(&list_);
    count_ = bounded_count(list_, kMaxControllers);
    if (count_ == 0) mark_none_found(list_);
}

ControllerSelection::~ControllerSelection() { delete[] records_; }

int ControllerSelection::select(int c) {
    position_ = select_controller(c, count_);
    return position_;
}

ObjectId ControllerSelection::id() const {
    if (count_ > 0) return list_.ids[position_];
    ObjectId none;
    std::memset(none.b, 0xFF, sizeof none.b);
    return none;
}

uint8_t ControllerSelection::controller_index() const {
    uint8_t index = 0xFF;
    if (count_ > 0) ctl_parse_controller_id(list_.ids[position_], &index);
    return index;
}

ControllerRecord* ControllerSelection::fill(DaemonContext* context) {
    if (count_ == 0) return nullptr;
    if (records_ == nullptr) records_ = new ControllerRecord[count_];
    context->fill_controllers(list_, records_);
    return records_;
}

UnitRecord* attach_unit_records(ControllerRecord& record) {
    const int count = bounded_count(record.units, kMaxListedUnits);
    if (count == 0) mark_none_found(record.units);
    return replace_array(record.unit_records, count);
}

UnitRecord* attach_unit_records(ControllerRecord& record, int count) {
    return replace_array(record.unit_records, count >= 1 && count <= kListRoom ? count : 0);
}

IdList* attach_unit_drive_lists(ControllerRecord& record) {
    const int count = bounded_count(record.units, kMaxListedUnits);
    IdList* lists = replace_array(record.unit_drive_lists, count);
    for (int i = 0; i < count; ++i) clear_id_list(lists[i]);
    return lists;
}

UnitCacheRecord* attach_unit_cache_records(ControllerRecord& record) {
    return replace_array(record.unit_cache_records, bounded_count(record.units, kMaxListedUnits));
}

DriveRecord* attach_drive_records(ControllerRecord& record) {
    return replace_array(record.drive_records, bounded_count(record.ports, kListRoom));
}

PhyRecord* attach_phy_records(ControllerRecord& record) {
    return replace_array(record.phy_records, bounded_count(record.phys, kListRoom));
}

BatteryRecord* attach_battery(ControllerRecord& record) {
    delete record.battery;
    record.battery = new BatteryRecord();
    return record.battery;
}
