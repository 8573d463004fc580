// The identify indicator of a unit: the indicators of the slots that hold
// its drives, each reached through the port's own operation.
#include "api/ctl.h"
#include "api/family_router.h"

namespace {

constexpr KindRule kUnitKind{kKindUnit, kInvalidUnitId};
constexpr uint8_t kNoPort = 0xFF;

// Calls visit(drive) for each drive of the unit on a port, in the list's
// order, until one fails: 0, or -1 as the failure left the record.
template <class Visit>
int each_connected_drive(ObjectId unit, Visit visit) {
    IdList drives;
    drives.count = 0;
    if (family_router().get_unit_drive_list(unit, &drives) != 0) return -1;
    constexpr uint32_t kRoom = sizeof drives.ids / sizeof drives.ids[0];
    for (uint32_t i = 0; i < drives.count && i < kRoom; ++i) {
        uint8_t controller, port;
        if (ctl_parse_port_id(drives.ids[i], &controller, &port) != 0) return -1;
        if (port == kNoPort) continue;
        if (visit(drives.ids[i]) != 0) return -1;
    }
    return 0;
}

}  // namespace

// Drives switched before one that fails stay switched.
int FamilyRouter::identify_unit(ObjectId id, uint8_t on) {
    return route<Pattern::C>(id, kUnitKind, SeriesCall{[&] {
        return each_connected_drive(id, [&](ObjectId drive) { return identify_port(drive, on); });
    }});
}

// 1 while every drive's slot shows its indicator (a unit without a drive on
// a port included), else 0; nothing is written when one cannot be read.
int FamilyRouter::get_unit_identify(ObjectId id, uint8_t* on) {
    return route<Pattern::C>(id, kUnitKind, SeriesCall{[&] {
        uint8_t all_on = 1;
        const int result = each_connected_drive(id, [&](ObjectId drive) {
            uint8_t drive_on = 0;
            if (get_port_identify(drive, &drive_on) != 0) return -1;
            if (drive_on == 0) all_on = 0;
            return 0;
        });
        if (result == 0) *on = all_on;
        return result;
    }});
}
