// Controller counts built from the public lists: the drives that units use,
// and the connections of the drives present.
#include "api/ctl.h"
#include "backend/series_backend.h"

namespace {

uint32_t entries(const IdList& list) {
    constexpr uint32_t kRoom = sizeof list.ids / sizeof list.ids[0];
    return list.count < kRoom ? list.count : kRoom;
}

}  // namespace

int SeriesBackend::get_configured_drive_count(ObjectId id, uint32_t* out) const {
    IdList units;
    if (ctl_get_unit_list(id, &units) != 0) return -1;
    uint32_t count = 0;
    for (uint32_t i = 0; i < entries(units); ++i) {
        IdList drives;
        if (ctl_get_unit_drive_list(units.ids[i], &drives) == 0) count += entries(drives);
    }
    *out = count;
    return 0;
}

int SeriesBackend::get_connection_count(ObjectId id, uint32_t* out) const {
    IdList drives;
    if (ctl_get_drive_list(id, &drives) != 0) return -1;
    uint32_t count = 0;
    for (uint32_t i = 0; i < entries(drives); ++i) {
        uint32_t connections;
        if (get_drive_connections(drives.ids[i], &connections) == 0) count += connections;
    }
    *out = count;
    return 0;
}
