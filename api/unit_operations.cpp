// Unit configuration operations that the dispatcher routes by hand: those
// routed by the controller of a drive list, removing a unit, a rebuild with
// several replacement drives, and whether a whole unit supports queuing.
#include "api/ctl.h"
#include "api/family_router.h"
#include "backend/backends.h"
#include "backend/id_list_helpers.h"
#include "driver/record_failure.h"

namespace {

constexpr uint32_t kListRoom = sizeof(IdList::ids) / sizeof(IdList::ids[0]);
constexpr uint8_t kNoPort = 0xFF;

// The controller of a drive list is that of its first entry, whatever the
// list's count.
ObjectId controller_of_list(const IdList* drives) { return controller_id_of(drives->ids[0]); }

bool is_series_family(int32_t family) {
    return family == 4 || family == 6 || family == 7 || family == 8 || family == 10;
}

template <Pattern P, class Series, class Legacy>
int route_list(const IdList* drives, Series series, Legacy legacy) {
    if (drives == nullptr) return fail_with_api_error(kInvalidArgument);
    return route<P>(controller_of_list(drives), KindRule{0, 0}, SeriesCall{series},
                    LegacyCall{legacy});
}

}  // namespace

int FamilyRouter::create_unit(const IdList* drives, int32_t type, int32_t stripe,
                              uint8_t make_os_aware, ObjectId* unit, int32_t per_subunit) {
    return route_list<Pattern::LB>(
        drives,
        [&] {
            return series_backend().create_unit(drives, type, stripe, make_os_aware, unit,
                                                per_subunit, 0, VolumeSizes{});
        },
        [&] { return legacy_backend().create_unit(drives, type, stripe, make_os_aware, unit); });
}

int FamilyRouter::create_unit_ex(const IdList* drives, int32_t type, int32_t stripe,
                                 uint8_t make_os_aware, ObjectId* unit, int32_t per_subunit,
                                 uint64_t lun_size) {
    return route_list<Pattern::LB>(
        drives,
        [&] {
            return series_backend().create_unit(drives, type, stripe, make_os_aware, unit,
                                                per_subunit, 0, VolumeSizes{&lun_size, 1});
        },
        [&] { return legacy_backend().create_unit(drives, type, stripe, make_os_aware, unit); });
}

int FamilyRouter::create_unit_ex2(const IdList* drives, int32_t type, int32_t stripe,
                                  uint8_t make_os_aware, ObjectId* unit, int32_t per_subunit,
                                  const uint64_t* lun_sizes, int32_t lun_count) {
    if (drives == nullptr) return fail_with_api_error(kInvalidArgument);
    return route<Pattern::C>(controller_of_list(drives), KindRule{0, 0}, SeriesCall{[&] {
        // A size list must be there for its count.
        if (lun_count < 0 || (lun_count > 0 && lun_sizes == nullptr))
            return fail_with_api_error(kInvalidArgument);
        return series_backend().create_unit(drives, type, stripe, make_os_aware, unit, per_subunit,
                                            0, VolumeSizes{lun_sizes, uint32_t(lun_count)});
    }});
}

int FamilyRouter::import_unit(const IdList* drives, uint8_t make_os_aware, IdList* units) {
    if (drives != nullptr && int32_t(drives->count) <= 0)
        return fail_with_api_error(kApiNoDrivesSpecified);
    return route_list<Pattern::LB>(
        drives, [&] { return series_backend().import_unit(drives, make_os_aware, units); },
        [&] { return legacy_backend().import_unit(drives, make_os_aware, units); });
}

// Exports the unit, then takes each of its drives out of the configuration.
// A failed export leaves the unit and its drives alone; a failed removal
// does not stop the others.
int FamilyRouter::remove_unit(ObjectId id, uint8_t make_os_aware) {
    const int32_t family = controller_family(id);
    if (family != 3 && !is_series_family(family)) return -1;
    IdList drives;
    if (get_unit_drive_list(id, &drives) != 0 || export_unit(id, make_os_aware) != 0) return -1;
    int result = 0;
    const uint32_t count = drives.count < kListRoom ? drives.count : kListRoom;
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t controller, port;
        if (ctl_parse_drive_id(drives.ids[i], &controller, &port) != 0) return -1;
        if (port == kNoPort) continue;
        if (remove_drive(drives.ids[i]) != 0) result = -1;
    }
    return result;
}

// The replacement drives are handed on one at a time. When one fails
// because the unit is already rebuilding onto a drive taken before, the
// rebuild runs and the call succeeds; any other failure gives the drives
// taken so far back (removed and added again) and fails.
int FamilyRouter::rebuild_unit(ObjectId id, const IdList* drives, uint8_t ignore_ecc) {
    if (drives == nullptr || drives->count > kListRoom) return fail_with_api_error(kInvalidArgument);
    IdList accepted;
    accepted.count = 0;
    int result = -1;
    bool roll_back = false;
    for (uint32_t i = 0; i < drives->count; ++i) {
        const IdList one = id_lists::of_one(drives->ids[i]);
        const int32_t family = controller_family(id);
        int step = -1;
        if (is_series_family(family)) {
            step = series_backend().set_ecc_on_rebuild(id, ignore_ecc);
            if (step == 0) step = series_backend().rebuild_unit(id, &one);
        } else if (family == 3) {
            step = legacy_backend().rebuild_unit(id, &one, ignore_ecc);
        }
        if (step == 0) {
            accepted.ids[accepted.count++] = drives->ids[i];
            if (i + 1 == drives->count) result = 0;
            continue;
        }
        ErrorRecord record;
        ctl_get_last_error(&record);
        if ((record.flags & kErrApi) != 0 && record.api_code == kApiUnitIsRebuilding &&
            accepted.count > 0) {
            result = 0;
        } else {
            roll_back = true;
        }
        break;
    }
    if (roll_back) {
        for (uint32_t i = 0; i < accepted.count; ++i) {
            ObjectId scratch;
            remove_drive(accepted.ids[i]);
            add_drive(accepted.ids[i], &scratch);
        }
    }
    return result;
}

// 1 when every drive of the unit supports command queuing; a drive that
// does not gives 0 at once, one that cannot tell fails the call with the
// output at 1.
int FamilyRouter::get_unit_queuing_supported(ObjectId id, uint32_t* supported) {
    const int32_t family = controller_family(id);
    if (family == 3) return fail_with_api_error(kApiNotSupported);
    if (!is_series_family(family)) return -1;
    IdList drives;
    if (get_unit_drive_list(id, &drives) != 0) return -1;
    *supported = 1;
    const uint32_t count = drives.count < kListRoom ? drives.count : kListRoom;
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t drive = 0;
        if (get_drive_queuing_supported(drives.ids[i], &drive) != 0) return -1;
        if (drive == 0) {
            *supported = 0;
            return 0;
        }
    }
    return 0;
}
