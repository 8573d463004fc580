// The rescan of a second-series controller: left-over units go, drives on
// empty ports come in, and the units that drives from elsewhere carry are
// imported. Only a failed import fails it; every other step that fails is
// passed over.
#include "backend/id_list_helpers.h"
#include "backend/series_backend.h"

namespace {

constexpr uint8_t kKeptUnit = 0x83;  // unit flag bits of units a rescan leaves alone
constexpr uint8_t kPresent = 0x80;
constexpr uint8_t kPassedOver = 0xE8;  // a port status the rescan leaves alone
constexpr uint8_t kCarriesUnit = 0x01;  // drive flag: the drive carries a configuration
constexpr uint8_t kNoPort = 0xFF;
constexpr uint8_t kNoUnit = 0xFF;
constexpr uint8_t kTakeApart = 0;

}  // namespace

int SeriesBackend::scan_present_ports(ObjectId id) const {
    IdList drives;
    get_drive_list(id, &drives);
    return send_port_scan(&drives);
}

int SeriesBackend::rescan_controller(ObjectId id, uint8_t make_os_aware, IdList* units,
                                     IdList* drives) const {
    scan_present_ports(id);
    IdList unit_list, port_list, found;
    get_unit_list(id, &unit_list);
    get_port_list(id, &port_list);
    id_lists::clear(&found);
    units->count = 0;
    drives->count = 0;

    for (uint32_t i = 0; i < unit_list.count; ++i) {
        const ObjectId unit = unit_list.ids[i];
        uint8_t flags;
        IdList members;
        if (get_unit_flags(unit, &flags) != 0 || get_unit_drive_list(unit, &members) != 0 ||
            flags == 0 || (flags & kKeptUnit) != 0)
            continue;
        if (delete_unit(unit, 0, kTakeApart) != 0) continue;
        for (uint32_t m = 0; m < members.count; ++m)
            if (members.ids[m].b[2] != kNoPort) remove_drive(members.ids[m]);
    }

    for (uint32_t i = 0; i < port_list.count; ++i) {
        ObjectId drive = port_list.ids[i];
        uint8_t status;
        if (get_drive_status(drive, &status) != 0) continue;
        if ((status & kPresent) == 0) {
            if (add_drive(port_list.ids[i], &drive) == 0 && get_drive_status(drive, &status) == 0 &&
                (status & kPresent) != 0)
                id_lists::append(&found, drive);
            continue;
        }
        if (status == kPassedOver) continue;
        uint8_t flags;
        ObjectId holder;
        if (get_drive_flags(drive, &flags) != 0 || get_drive_unit(drive, &holder) != 0) continue;
        if ((flags & kCarriesUnit) != 0 && holder.b[4] == kNoUnit) id_lists::append(&found, drive);
    }
    if (found.count == 0) return 0;

    if (import_unit(&found, make_os_aware, units) != 0) return -1;
    IdList imported;
    id_lists::clear(&imported);
    for (uint32_t i = 0; i < units->count; ++i) {
        IdList members;
        if (get_unit_drive_list(units->ids[i], &members) != 0) continue;
        for (uint32_t m = 0; m < members.count; ++m)
            if (members.ids[m].b[2] != kNoPort) id_lists::append(&imported, members.ids[m]);
    }
    IdList left;
    id_lists::clear(&left);
    for (uint32_t i = 0; i < found.count; ++i)
        if (!id_lists::holds_port(imported, found.ids[i].b[2])) id_lists::append(&left, found.ids[i]);
    *drives = left;
    return 0;
}
