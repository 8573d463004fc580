// Reading snapshot records safely: list counts as the signed numbers the
// pages compare (kNoneFound marks a list the handler found nothing usable
// in), and the records attached to a controller record, each read only
// within its list's count and only when it is attached.
#pragma once

#include <cstdint>

#include "daemon/snapshot_records.h"

// The count a list carries to a page when nothing usable was found (no
// controller, no unit within the bound): the page writes its "NO ..." form.
constexpr int kNoneFound = -888;

// A list's count read as the signed number the pages compare.
template <int N>
int list_count(const IdListOf<N>& list) {
    return static_cast<int32_t>(list.count);
}

template <int N>
void mark_none_found(IdListOf<N>& list) {
    list.count = static_cast<uint32_t>(kNoneFound);
}

// The record at position i of an array attached for the whole list, or null
// when i is not below the list's count or nothing is attached. (A single
// unit's details carry one unit record whatever the unit list holds: read
// that one as unit_records[0].)
inline const UnitRecord* unit_at(const ControllerRecord& record, int i) {
    return record.unit_records != nullptr && i >= 0 && i < list_count(record.units)
               ? &record.unit_records[i]
               : nullptr;
}

inline const DriveRecord* drive_at(const ControllerRecord& record, int i) {
    return record.drive_records != nullptr && i >= 0 && i < list_count(record.ports)
               ? &record.drive_records[i]
               : nullptr;
}

inline const PhyRecord* phy_at(const ControllerRecord& record, int i) {
    return record.phy_records != nullptr && i >= 0 && i < list_count(record.phys)
               ? &record.phy_records[i]
               : nullptr;
}

// A unit's sub-unit record k, or null when the sub-units are not filled or
// k is not below their count.
inline const UnitRecord* sub_unit_at(const UnitRecord& unit, int k) {
    return unit.sub_unit_records != nullptr && k >= 0 && k < list_count(unit.sub_units)
               ? &unit.sub_unit_records[k]
               : nullptr;
}
