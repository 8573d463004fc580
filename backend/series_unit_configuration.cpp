// Creating, importing, deleting, migrating and splitting units. Each
// operation checks its request in a fixed order, each refusal with its own
// API error, before it sends anything; new units are told apart from the
// old ones by the controller's unit list before and after.
#include "backend/id_list_helpers.h"
#include "backend/series_backend.h"
#include "driver/driver_access.h"
#include "driver/record_failure.h"


namespace {

constexpr uint8_t kNoUnit = 0xFF;
constexpr uint8_t kPresent = 0x80;
constexpr uint8_t kUsable = 0x01;
constexpr uint8_t kExposed = 0x01;
constexpr uint64_t kRaid6Feature = 0x02;
constexpr int32_t kLastFamilyWithSasJbod = 7;
constexpr uint8_t kSataInterface = 1, kSataInterfaceAlt = 5;
constexpr uint8_t kDeleteMode = 0x80;
constexpr uint8_t kDeleteUnit = 0x15;
constexpr uint8_t kAdd = 1, kRemove = 0;

bool is_held(const ObjectId& holder) { return holder.b[4] != kNoUnit; }

// Drive counts by type: the least and the most, and whether the count must
// be even.
struct DriveCount {
    int32_t type;
    uint32_t least, most;
    bool even, striped;
};
constexpr DriveCount kDriveCounts[] = {
    {kUnitRaid0, 2, 128, false, true},   {kUnitRaid1Mirror, 2, 2, false, false},
    {kUnitRaid5, 3, 128, false, true},   {kUnitRaid10, 4, 128, true, true},
    {kUnitRaid6, 5, 128, false, true},   {kUnitRaid50, 6, 128, false, true},
    {kUnitSingle, 1, 1, false, false},   {kUnitDisk, 1, 1, false, false},
    {kUnitSpare, 1, 1, false, false},    {kUnitJbod, 1, 1, false, false},
};

const DriveCount* drive_count_of(int32_t type) {
    for (const DriveCount& c : kDriveCounts)
        if (c.type == type) return &c;
    return nullptr;
}

bool is_single_drive_type(int32_t type) {
    return type == kUnitSingle || type == kUnitDisk || type == kUnitSpare || type == kUnitJbod;
}

bool is_disk_or_spare(int32_t type) { return type == kUnitDisk || type == kUnitSpare; }

// A unit the operating system is to hear of: asked for, neither a disk nor
// a spare, and exposed to the host.
bool announced(uint8_t make_os_aware, int32_t type, uint8_t flags) {
    return make_os_aware != 0 && !is_disk_or_spare(type) && (flags & kExposed) != 0;
}

// The units of the second list whose numbers the first does not hold, in
// list order, leaving out DISK units and units whose type cannot be read.
void new_units(const SeriesBackend& backend, const IdList& before, const IdList& after,
               IdList* out) {
    id_lists::clear(out);
    for (uint32_t i = 0; i < after.count; ++i) {
        bool old = false;
        for (uint32_t j = 0; j < before.count; ++j)
            old = old || before.ids[j].b[4] == after.ids[i].b[4];
        int32_t type;
        if (old || backend.get_unit_type(after.ids[i], &type) != 0 || type == kUnitDisk) continue;
        id_lists::append(out, after.ids[i]);
    }
}

// New units are announced to the operating system; failures of these
// notices do not fail the operation.
void announce_new_units(const SeriesBackend& backend, const IdList& units, uint8_t make_os_aware) {
    if (make_os_aware == 0) return;
    for (uint32_t i = 0; i < units.count; ++i) {
        uint8_t flags;
        if (backend.get_unit_flags(units.ids[i], &flags) == 0 && (flags & kExposed) != 0)
            DriverAccess::notify_os_unit_change(controller_id_of(units.ids[i]), units.ids[i], kAdd);
    }
}

// Create step 4: the drives, in list order. The drives of a migration
// must be on the migrated unit's controller, where its command goes: a
// unit of the same number elsewhere is another unit.
int check_create_drives(const SeriesBackend& backend, const IdList* drives,
                               uint8_t migrate, const ObjectId* unit) {
    const uint8_t controller = migrate != 0 ? unit->b[1] : drives->ids[0].b[1];
    for (uint32_t i = 0; i < drives->count; ++i) {
        const ObjectId drive = drives->ids[i];
        if (drive.b[1] != controller) return fail_with_api_error(kApiDrivesNotSameController);
        if (id_lists::port_repeated(drives, i)) return fail_with_api_error(kApiDuplicateDrive);
        uint8_t status;
        if (backend.get_drive_status(drive, &status) != 0) return -1;
        if ((status & kPresent) == 0) return fail_with_api_error(kApiCreatePortEmpty);
        if ((status & kUsable) == 0) return fail_with_api_error(kApiCreateDriveError);
        ObjectId holder;
        if (backend.get_drive_unit(drive, &holder) != 0) return -1;
        if (!is_held(holder)) continue;
        int32_t type;
        if (backend.get_unit_type(holder, &type) != 0) return -1;
        if (holder.b[3] == 1 && type == kUnitDisk) {
            // A drive kept alone as a DISK unit is taken over.
            backend.delete_unit(holder, 0, kDeleteMode);
            continue;
        }
        if (migrate != 0 && holder.b[4] == unit->b[4]) continue;
        return fail_with_api_error(kApiDriveInOtherUnit);
    }
    return 0;
}

}  // namespace

int SeriesBackend::check_raid6_support(ObjectId id) const {
    uint64_t features = 0;
    if (get_controller_features(controller_id_of(id), &features) != 0 ||
        (features & kRaid6Feature) == 0)
        return fail_with_api_error(kApiNotSupported);
    return 0;
}

int SeriesBackend::create_unit(const IdList* drives, int32_t type, int32_t stripe,
                               uint8_t make_os_aware, ObjectId* unit, int32_t per_subunit,
                               uint8_t migrate, VolumeSizes volumes) const {
    if (id_lists::check(drives) != 0) return -1;
    const ObjectId first = drives->ids[0];
    if (type == kUnitRaid6) {
        if (check_raid6_support(first) != 0) return -1;
    } else if (type == kUnitJbod &&
               DriverAccess::get_controller_family(first) > kLastFamilyWithSasJbod) {
        uint8_t interface;
        if (get_drive_interface(first, &interface) != 0) return -1;
        if (interface != kSataInterface && interface != kSataInterfaceAlt)
            return fail_with_api_error(kApiJbodOfSasDrive);
    }
    const DriveCount* count = drive_count_of(type);
    if (count == nullptr) return fail_with_api_error(kApiInvalidConfiguration);
    if (drives->count < count->least || drives->count > count->most ||
        (count->even && drives->count % 2 != 0))
        return fail_with_api_error(kApiInvalidDriveCount);
    if (count->striped && ((stripe != 5 && stripe != 7 && stripe != 9) ||
                           (type == kUnitRaid6 && stripe == 5)))
        return fail_with_api_error(kApiInvalidStripe);
    if (check_create_drives(*this, drives, migrate, unit) != 0) return -1;

    int built;
    if (is_single_drive_type(type)) {
        built = build_single_drive_unit(drives, type, unit);
    } else if (type == kUnitRaid10 || type == kUnitRaid50) {
        built = build_nested_unit(drives, type, stripe, unit, per_subunit, migrate, volumes);
    } else if (type == kUnitRaid1Mirror && migrate != 0) {
        int32_t current;
        if (get_unit_type(*unit, &current) != 0) return -1;
        built = current == kUnitSingle && drives->count == 2
                    ? make_disk_units(*unit, drives)
                    : build_flat_unit(drives, type, stripe, unit, migrate, VolumeSizes{});
    } else {
        built = build_flat_unit(drives, type, stripe, unit, migrate, volumes);
    }
    if (built != 0 || migrate != 0) return built;

    // The new unit either is whole (announced where asked) or is taken
    // away again: a unit whose flags cannot be read, or whose announcement
    // fails, is deleted, so a failure leaves nothing behind. The failure's
    // error stays unless the deletion records its own.
    uint8_t flags;
    if (get_unit_flags(*unit, &flags) != 0 ||
        (announced(make_os_aware, type, flags) &&
         DriverAccess::notify_os_unit_change(controller_id_of(*unit), *unit, kAdd) != 0)) {
        delete_unit(*unit, 0, kDeleteMode);
        return -1;
    }
    return 0;
}

int SeriesBackend::make_disk_units(ObjectId single, const IdList* drives) const {
    for (uint32_t i = 0; i < drives->count; ++i) {
        ObjectId holder;
        if (get_drive_unit(drives->ids[i], &holder) != 0) return -1;
        if (is_held(holder)) continue;
        const IdList one = id_lists::of_one(drives->ids[i]);
        ObjectId disk;
        if (create_unit(&one, kUnitDisk, 0, 0, &disk, 0, 0, VolumeSizes{}) != 0) return -1;
        return send_mirror_disk_command(single, disk);
    }
    return fail_with_api_error(kApiDriveInOtherUnit);
}

int SeriesBackend::import_unit(const IdList* drives, uint8_t make_os_aware, IdList* out) const {
    if (id_lists::check(drives) != 0) return -1;
    if (drives->count == 0) return fail_with_api_error(kApiNoDrivesSpecified);
    const ObjectId controller = controller_id_of(drives->ids[0]);
    IdList before;
    get_unit_list(controller, &before);
    PortBitmap ports;
    for (uint32_t i = 0; i < drives->count; ++i) {
        const ObjectId drive = drives->ids[i];
        if (drive.b[1] != controller.b[1]) return fail_with_api_error(kApiImportNotSameController);
        if (id_lists::port_repeated(drives, i)) return fail_with_api_error(kApiDuplicateImportDrive);
        uint8_t status;
        if (get_drive_status(drive, &status) != 0) return -1;
        if ((status & kPresent) == 0) return fail_with_api_error(kApiImportPortEmpty);
        ObjectId holder;
        if (get_drive_unit(drive, &holder) != 0) return -1;
        if (is_held(holder)) return fail_with_api_error(kApiDriveInUse);
        // Present drives sit on ports below 128.
        ports.set(drive.b[2]);
    }
    if (send_import_bitmap(controller, ports) != 0) return -1;
    IdList after, found;
    get_unit_list(controller, &after);
    new_units(*this, before, after, &found);
    announce_new_units(*this, found, make_os_aware);
    *out = found;
    return 0;
}

int SeriesBackend::delete_unit(ObjectId unit, uint8_t make_os_aware, uint8_t mode) const {
    const ObjectId controller = controller_id_of(unit);
    if (is_unit_present(controller, unit.b[4]) == 0)
        return fail_with_api_error(kApiNoSuchUnitToDelete);
    int32_t type;
    uint8_t flags;
    if (get_unit_type(unit, &type) != 0 || get_unit_flags(unit, &flags) != 0) return -1;
    if (announced(make_os_aware, type, flags) &&
        DriverAccess::notify_os_unit_change(controller, unit, kRemove) != 0)
        return -1;
    const UnitCommand command{kDeleteUnit, 0, mode};
    return send_unit_commands(unit, &command, 1);
}

int SeriesBackend::migrate_unit(ObjectId unit, const IdList* drives, int32_t type, int32_t stripe,
                                uint8_t make_os_aware, int32_t per_subunit) const {
    if (id_lists::check(drives) != 0) return -1;
    if (type == kUnitRaid6 && check_raid6_support(unit) != 0) return -1;
    int32_t current;
    if (get_unit_type(unit, &current) != 0) return -1;
    bool changes = current != type;
    if (current == kUnitRaid0 || current == kUnitRaid5 || current == kUnitRaid6 ||
        current == kUnitRaid10 || current == kUnitRaid50) {
        uint32_t kib;
        if (get_stripe_size(unit, &kib) != 0) return -1;
        // A code that names no size of 1 KiB to 2 GiB names another size.
        changes = changes || stripe < 1 || stripe > 32 || kib != uint32_t(1) << (stripe - 1);
    }
    IdList held;
    if (get_unit_drive_list(unit, &held) != 0) return -1;
    if (held.count > drives->count) return fail_with_api_error(kApiMigrationDropsDrives);
    changes = changes || held.count != drives->count;
    for (uint32_t i = 0; i < drives->count && !changes; ++i)
        changes = !id_lists::holds_port(held, drives->ids[i].b[2]);
    if (!changes) return fail_with_api_error(kApiMigrationChangesNothing);
    return create_unit(drives, type, stripe, make_os_aware, &unit, per_subunit, 1, VolumeSizes{});
}

int SeriesBackend::split_mirror(ObjectId unit, uint8_t make_os_aware, IdList* out) const {
    int32_t type;
    if (get_unit_type(unit, &type) != 0) return -1;
    if (type != kUnitRaid1 && type != kUnitRaid1Mirror) return fail_with_api_error(kApiNotAMirror);
    const ObjectId controller = controller_id_of(unit);
    IdList before, after, found;
    get_unit_list(controller, &before);
    if (send_split_mirror_command(unit) != 0) return -1;
    get_unit_list(controller, &after);
    new_units(*this, before, after, &found);
    announce_new_units(*this, found, make_os_aware);
    *out = found;
    return 0;
}
