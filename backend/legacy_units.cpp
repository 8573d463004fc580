// The first series' configuration and maintenance: create a unit of each
// RAID level, import, delete or export it, add and remove drives, rebuild,
// verify, write cache, task rate, controller option and rescan. Each
// operation stops at its first failure; what the controller already did
// stays done unless the operation says otherwise.
#include <cstring>

#include "backend/id_list_helpers.h"
#include "backend/legacy_backend.h"
#include "backend/legacy_command.h"
#include "backend/legacy_descriptor.h"
#include "driver/driver_access.h"
#include "driver/record_failure.h"

using namespace legacy_descriptor;

namespace {

constexpr uint8_t kOk = 255, kVerifying = 251, kInitializing = 247, kRebuilding = 223;
constexpr uint8_t kHealthyDrive = 0xFF;
constexpr uint8_t kNoPort = 0xFF;
constexpr uint8_t kDelete = 0x80, kExport = 0;
constexpr uint8_t kTaskRebuild = 4;
constexpr uint8_t kAdd = 1, kRemove = 0;
constexpr uint16_t kUnitTable = 0x300;
constexpr uint8_t kWriteCache = 7;
constexpr uint32_t kListRoom = 128;
// The unit types create accepts: the bits of 0, 2, 5, 6, 12, 13 and 15.
constexpr uint32_t kCreatableTypes = 0xB065;

bool in_unit(const ObjectId& owner) { return owner.b[4] != 0xFF; }

void clear_list(IdList* list) {
    std::memset(list, 0xFF, sizeof list->ids);
    list->count = 0;
}

IdList one_drive(const ObjectId& drive) {
    IdList list;
    clear_list(&list);
    list.ids[0] = drive;
    list.count = 1;
    return list;
}

// A caller's list holds at most 128 identifiers.
int check_list(const IdList* drives) {
    return drives->count > kListRoom ? fail_with_api_error(kInvalidArgument) : 0;
}

ObjectId unowned() {
    ObjectId id;
    std::memset(id.b, 0xFF, sizeof id.b);
    return id;
}

}  // namespace

// --- Create.

int LegacyBackend::check_unit_type(int32_t type) const {
    if (type >= 0 && type < 16 && (kCreatableTypes >> type & 1) != 0) return 1;
    fail_with_api_error(kApiConfigurationNotSupported);
    return 0;
}

int LegacyBackend::check_drive_count(int32_t type, uint32_t count) const {
    bool ok = false;
    switch (type) {
        case kRaid0:
            ok = count >= 2;
            break;
        case kRaid1Created:
            ok = count == 2;
            break;
        case kRaid5:
            ok = count >= 3;
            break;
        case kRaid10:
            ok = count >= 4 && count % 2 == 0;
            break;
        default:
            ok = count == 1;
            break;
    }
    // No family-3 controller has more ports than that.
    if (ok && count <= uint32_t(kMaxPorts)) return 1;
    fail_with_api_error(kApiInvalidDriveCount);
    return 0;
}

int LegacyBackend::check_stripe_size(int32_t type, int32_t stripe) const {
    bool ok = true;
    if (type == kRaid0 || type == kRaid10) ok = stripe >= 4 && stripe <= 11;
    if (type == kRaid5) ok = stripe == 7;
    if (ok) return 1;
    fail_with_api_error(kApiInvalidStripe);
    return 0;
}

int LegacyBackend::check_create_drives(const IdList* drives) const {
    const uint8_t controller = drives->ids[0].b[1];
    for (uint32_t i = 0; i < drives->count; ++i) {
        const ObjectId drive = drives->ids[i];
        if (drive.b[1] != controller) return fail_with_api_error(kApiDrivesNotSameController);
        if (id_lists::port_repeated(drives, i)) return fail_with_api_error(kApiDuplicateDrive);
        uint8_t status = 0;
        if (get_drive_status(drive, &status) != 0) return -1;
        if (status != kHealthyDrive) return fail_with_api_error(kApiCreatePortEmpty);
        ObjectId owner = unowned();
        if (get_drive_unit(drive, &owner) != 0) return -1;
        if (!in_unit(owner)) continue;
        int32_t type = 0;
        if (get_unit_type(owner, &type) != 0) return -1;
        if (owner.b[3] != 1 || type != kDisk) return fail_with_api_error(kApiDriveInOtherUnit);
        // A drive configured as a single disk is taken over.
        delete_unit(owner, 0, kDelete);
    }
    return 0;
}

int LegacyBackend::create_unit(const IdList* drives, int32_t type, int32_t stripe,
                               uint8_t make_os_aware, ObjectId* out) const {
    if (check_list(drives) != 0) return -1;
    if (!check_unit_type(type) || !check_drive_count(type, drives->count) ||
        !check_stripe_size(type, stripe))
        return -1;
    if (check_create_drives(drives) != 0) return -1;

    ObjectId controller;
    ctl_make_controller_id(drives->ids[0].b[1], &controller);
    ObjectId unit;
    int built = -1;
    switch (type) {
        case kRaid0:
            built = build_raid0_unit(controller, drives, stripe, &unit);
            break;
        case kRaid1Created:
            built = build_raid1_unit(controller, drives, stripe, &unit);
            break;
        case kRaid5:
            built = build_raid5_unit(controller, drives, stripe, &unit);
            break;
        case kRaid10:
            built = build_raid10_unit(controller, drives, stripe, &unit);
            break;
        default:
            built = build_single_drive_unit(controller, drives->ids[0], &unit, uint8_t(type));
            break;
    }
    if (built != 0) return -1;
    if (type == kDisk || type == kSpare) make_os_aware = 0;

    enable_write_cache(unit);
    uint8_t flags = 0;
    if (get_unit_flags(unit, &flags) != 0) return -1;
    if (make_os_aware != 0 && (flags & 1) != 0 && tell_os(unit, kAdd) != 0) {
        delete_unit(unit, 0, kDelete);
        return -1;
    }
    *out = unit;
    return 0;
}

int LegacyBackend::build_raid0_unit(ObjectId controller, const IdList* drives, int32_t stripe,
                                    ObjectId* out) const {
    return build_raid_unit(controller, drives, kRaid0, stripe, out);
}

int LegacyBackend::build_raid1_unit(ObjectId controller, const IdList* drives, int32_t stripe,
                                    ObjectId* out) const {
    return build_raid_unit(controller, drives, kRaid1Created, stripe, out);
}

int LegacyBackend::build_raid5_unit(ObjectId controller, const IdList* drives, int32_t stripe,
                                    ObjectId* out) const {
    return build_raid_unit(controller, drives, kRaid5, stripe, out);
}

int LegacyBackend::build_raid10_unit(ObjectId controller, const IdList* drives, int32_t stripe,
                                     ObjectId* out) const {
    return build_raid_unit(controller, drives, kRaid10, stripe, out);
}

int LegacyBackend::build_raid_unit(ObjectId controller, const IdList* drives, uint8_t type,
                                   int32_t stripe, ObjectId* out) const {
    if (!check_stripe_size(type, stripe)) return -1;
    const int n = int(drives->count);
    uint8_t ports[kMaxPorts];
    uint64_t smallest = UINT64_MAX;
    for (int i = 0; i < n; ++i) {
        uint64_t capacity = 0;
        if (get_drive_capacity(drives->ids[i], &capacity) != 0) return -1;
        if (capacity < smallest) smallest = capacity;
        uint8_t owner_controller = 0;
        if (ctl_parse_drive_id(drives->ids[i], &owner_controller, &ports[i]) != 0) return -1;
    }
    // Every drive keeps its reserve; a drive no larger than that holds
    // nothing a unit could use.
    if (smallest <= kCapacityReserve) return fail_with_api_error(kApiInvalidConfiguration);
    const uint64_t share = smallest - kCapacityReserve;
    const int data_drives = type == kRaid0    ? n
                            : type == kRaid5  ? n - 1
                            : type == kRaid10 ? n / 2
                                              : 1;
    uint64_t total = share * uint64_t(data_drives);
    if (total > 0xFFFFFFFFu) total = 0xFFFFFFFFu;
    if (type != kRaid1Created) total -= total % (uint64_t(data_drives) << stripe);

    RaidLayout layout;
    layout.type = type;
    layout.stripe = type == kRaid1Created ? 0 : uint8_t(stripe);
    layout.ports = ports;
    layout.drives = n;
    layout.capacity = uint32_t(total);
    layout.share = uint32_t(total / uint64_t(data_drives));
    layout.mirror_capacity = uint32_t(share);
    uint8_t descriptor[kMaxSize];
    uint16_t length = 0;
    uint32_t data_length = 0;
    build_raid(layout, descriptor, &length, &data_length);
    return send_create_unit(controller, data_length, descriptor, length, out);
}

int LegacyBackend::build_single_drive_unit(ObjectId controller, ObjectId drive, ObjectId* out,
                                           uint8_t type) const {
    uint64_t capacity = 0;
    if (get_drive_capacity(drive, &capacity) != 0) return -1;
    if (capacity > 0xFFFFFFFFu) capacity = 0xFFFFFFFFu;
    uint8_t descriptor[kMaxSize];
    uint16_t length = 0;
    uint32_t data_length = 0;
    build_single(type, drive.b[2], uint32_t(capacity), descriptor, &length, &data_length);
    return send_create_unit(controller, data_length, descriptor, length, out);
}

// --- Import, delete, drives.

int LegacyBackend::check_import_drive(const IdList* drives, uint32_t position) const {
    const ObjectId drive = drives->ids[position];
    if (drive.b[1] != drives->ids[0].b[1]) return fail_with_api_error(kApiImportNotSameController);
    if (id_lists::port_repeated(drives, position))
        return fail_with_api_error(kApiDuplicateImportDrive);
    uint8_t status = 0;
    if (get_drive_status(drive, &status) != 0) return -1;
    if ((status & 0x80) == 0) return fail_with_api_error(kApiImportPortEmpty);
    if ((status & 0x01) == 0) return fail_with_api_error(kApiImportDriveError);
    ObjectId owner = unowned();
    if (get_drive_unit(drive, &owner) != 0) return -1;
    return in_unit(owner) ? fail_with_api_error(kApiDriveInUse) : 0;
}

int LegacyBackend::import_unit(const IdList* drives, uint8_t make_os_aware, IdList* out) const {
    if (check_list(drives) != 0) return -1;
    if (drives->count == 0) return fail_with_api_error(kApiNoDrivesSpecified);
    const ObjectId controller = drives->ids[0];
    IdList before;
    if (get_unit_list(controller, &before) != 0) return -1;
    for (uint32_t i = 0; i < drives->count; ++i) {
        if (check_import_drive(drives, i) != 0) return -1;
        // The status check leaves only ports 0 to 15 here.
        if (send_import_unit(controller, uint32_t(1) << drives->ids[i].b[2]) != 0) return -1;
    }
    IdList after;
    if (get_unit_list(controller, &after) != 0) return -1;
    IdList found;
    clear_list(&found);
    for (uint32_t i = 0; i < after.count; ++i) {
        bool known = false;
        for (uint32_t j = 0; j < before.count; ++j)
            known = known || before.ids[j].b[4] == after.ids[i].b[4];
        if (!known) found.ids[found.count++] = after.ids[i];
    }
    for (uint32_t i = 0; make_os_aware != 0 && i < found.count; ++i) {
        uint8_t flags = 0;
        if (get_unit_flags(found.ids[i], &flags) == 0 && (flags & 1) != 0)
            tell_os(found.ids[i], kAdd);
    }
    *out = found;
    return 0;
}

int LegacyBackend::delete_unit(ObjectId unit, uint8_t make_os_aware, uint8_t mode) const {
    if (is_unit_present(unit, unit.b[4]) != 1) return fail_with_api_error(kApiNoSuchUnitToDelete);
    int32_t type = 0;
    uint8_t flags = 0;
    if (get_unit_type(unit, &type) != 0 || get_unit_flags(unit, &flags) != 0) return -1;
    if (make_os_aware != 0 && type != kDisk && type != kSpare && (flags & 1) != 0 &&
        tell_os(unit, kRemove) != 0)
        return -1;
    return send_delete_unit(unit, mode);
}

int LegacyBackend::add_drive(ObjectId port, ObjectId* out) const {
    if (is_drive_present(port, port.b[2]) == 1) return fail_with_api_error(kApiPortInUse);
    if (send_add_drive(port) != 0) return -1;
    return ctl_make_drive_id(port.b[1], port.b[2], out);
}

int LegacyBackend::remove_drive(ObjectId drive) const {
    const uint8_t port = drive.b[2];
    if (is_drive_present(drive, port) != 1) return fail_with_api_error(kApiRemovePortEmpty);
    ObjectId owner = unowned();
    if (get_drive_unit(drive, &owner) != 0) return -1;
    if (in_unit(owner)) {
        int32_t type = 0;
        if (get_unit_type(owner, &type) != 0) return -1;
        const uint8_t depth = owner.b[3];
        if (depth == 1) {
            // A drive that is a unit by itself leaves that unit first.
            if (type != kDisk && type != kSpare && type != kDiskReadBack)
                return fail_with_api_error(kApiPortBusy);
            if (delete_unit(owner, 0, kExport) != 0) return -1;
        } else {
            if (type != kDisk && type != kDiskReadBack) return fail_with_api_error(kApiPortBusy);
            ObjectId parent = owner;
            for (int level = 3 + depth; level < 8; ++level) parent.b[level] = 0xFF;
            parent.b[3] = uint8_t(depth - 1);
            int32_t parent_type = 0;
            uint8_t parent_status = 0;
            if (get_unit_type(parent, &parent_type) != 0) return -1;
            if (parent_type != kRaid1 && parent_type != kRaid1Created && parent_type != kRaid5)
                return fail_with_api_error(kApiRemoveInvalid);
            if (get_unit_status(parent, &parent_status) != 0) return -1;
            if (parent_status != kOk && parent_status != kVerifying &&
                parent_status != kInitializing) {
                // A unit already short of a member loses only a failed one.
                uint8_t own = 0;
                if (get_unit_status(owner, &own) != 0) return -1;
                if (own == kOk) return fail_with_api_error(kApiRemoveInvalid);
            }
        }
    }
    return send_remove_drive(drive, 0, port, 0);
}

// --- Rebuild.

// The member to replace: for RAID 1 and 5 the lowest failed member; for
// RAID 10 the failed drive of the first degraded mirror, the unit
// identifier then naming that mirror.
int LegacyBackend::rebuild_target(ObjectId* unit, uint8_t status, uint8_t* member,
                                  uint8_t* mirror) const {
    uint8_t record[kMaxSize];
    size_t length = 0;
    if (read_record(*unit, record, &length) != 0) return -1;
    const uint8_t type = record[kType];
    if (type == kRaid1 || type == kRaid1Created || type == kRaid5) {
        if (status == kRebuilding) return fail_with_api_error(kApiUnitIsRebuilding);
        const uint16_t mask = load16(record + kFailedMask);
        for (uint8_t i = 0; i < 16; ++i) {
            if ((mask >> i & 1) == 0) continue;
            *member = i;
            *mirror = 0;
            return 0;
        }
        return fail_with_api_error(kApiUnitIsOk);
    }
    if (type != kRaid10) return fail_with_api_error(kApiRebuildInvalid);
    bool in_progress = false;
    const size_t mirrors = member_count(record, length);
    for (size_t j = 0; j < mirrors && j < kMirrorStatusBytes; ++j) {
        const uint8_t status = record[kMirrorStatus + j] | 3;
        if (status == 0xDF) in_progress = true;
        if (status != 0xEF) continue;
        const uint8_t* mirror_record = record + kMirrors + j * kMirrorRecordSize;
        const uint8_t drives = mirror_record[kCount];
        const uint16_t mask = load16(mirror_record + kFailedMask);
        for (uint8_t d = 0; d < drives && d < kMirrorDrives; ++d) {
            if ((mask >> d & 1) == 0) continue;
            *member = uint8_t(d + j * drives);
            *mirror = uint8_t(j);
            return ctl_make_unit_id(unit->b[1], 0xFF, unit->b[4], uint8_t(j), 0xFF, unit);
        }
        return fail_with_api_error(kApiUnitIsOk);
    }
    return fail_with_api_error(in_progress ? kApiUnitIsRebuilding : kApiUnitIsOk);
}

// The single-drive unit of the first drive of the list: made of a free
// drive, or the drive's own single disk or spare.
int LegacyBackend::replacement_unit(const IdList* drives, ObjectId* replacement) const {
    ObjectId owner = unowned();
    const int found = get_drive_unit(drives->ids[0], &owner);
    if (found != 0) return found;
    if (!in_unit(owner)) {
        const IdList single = one_drive(drives->ids[0]);
        return create_unit(&single, kDisk, 0, 0, replacement);
    }
    int32_t type = 0;
    if (get_unit_type(owner, &type) != 0) return -1;
    if (owner.b[3] != 1 || (type != kDisk && type != kSpare))
        return fail_with_api_error(kApiReplacementInvalid);
    *replacement = owner;
    return 0;
}

// The smallest share of the unit's present members.
int LegacyBackend::smallest_member_capacity(ObjectId unit, uint64_t* smallest) const {
    IdList members;
    if (get_unit_drive_list(unit, &members) != 0) return -1;
    *smallest = UINT64_MAX;
    for (uint32_t i = 0; i < members.count; ++i) {
        if (members.ids[i].b[2] == kNoPort) continue;
        ObjectId owner = unowned();
        uint64_t capacity = 0;
        if (get_drive_unit(members.ids[i], &owner) != 0 || get_unit_capacity(owner, &capacity) != 0)
            return -1;
        if (capacity < *smallest) *smallest = capacity;
    }
    return 0;
}

int LegacyBackend::rebuild_unit(ObjectId unit, const IdList* drives, uint8_t ecc) const {
    if (check_list(drives) != 0) return -1;
    if (drives->count == 0) return fail_with_api_error(kApiNoDrivesSpecified);
    uint8_t status = 0;
    if (get_unit_status(unit, &status) != 0) return -1;
    if (status == kOk) return fail_with_api_error(kApiUnitIsOk);
    ObjectId target = unit;
    uint8_t member = 0, mirror = 0;
    if (rebuild_target(&target, status, &member, &mirror) != 0) return -1;

    ObjectId replacement;
    if (replacement_unit(drives, &replacement) != 0) return -1;
    uint64_t capacity = 0, smallest = 0;
    if (get_drive_capacity(drives->ids[0], &capacity) != 0) return -1;
    if (smallest_member_capacity(target, &smallest) != 0) return -1;
    if (capacity < kCapacityReserve || capacity - kCapacityReserve < smallest)
        return fail_with_api_error(kApiReplacementTooSmall);

    if (send_replace_drive(target, target.b[4], member, replacement.b[4]) != 0) return -1;
    const bool mirrored = target.b[3] == 2;
    return send_background_task(target, target.b[4], kTaskRebuild, ecc != 0 ? 3 : 2,
                                mirrored ? mirror : 0);
}

int LegacyBackend::send_rebuild_subcommand(ObjectId unit, uint8_t task) const {
    uint8_t status = 0;
    if (get_unit_status(unit, &status) != 0) return -1;
    if (status != kRebuilding) return fail_with_api_error(kApiUnitNotRebuilding);
    return send_background_task(unit, unit.b[4], task, 0, 0);
}

int LegacyBackend::send_rebuild_subcommand_2(ObjectId unit) const {
    return send_rebuild_subcommand(unit, 2);
}

int LegacyBackend::send_rebuild_subcommand_4(ObjectId unit) const {
    return send_rebuild_subcommand(unit, 4);
}

// --- Verify, write cache, controller option.

int LegacyBackend::verify_unit(ObjectId unit, int32_t stop) const {
    int32_t type = 0;
    uint8_t status = 0;
    if (get_unit_type(unit, &type) != 0) return -1;
    if (type != kRaid1 && type != kRaid1Created && type != kRaid5 && type != kRaid10)
        return fail_with_api_error(kApiVerifyInvalid);
    if (get_unit_status(unit, &status) != 0) return -1;
    int32_t descriptor = -1;
    if (DriverAccess::open_controller(unit, &descriptor) != 0) return -1;
    uint8_t action = 0;
    if (stop == 1 && status == kVerifying) action = 0x80;
    if (stop == 0 && status == kOk) action = 1;
    int result = -1;
    if (action == 0) {
        result = fail_with_api_error(kApiInvalidVerifyMode);
    } else {
        LegacyCommand command(legacy_packet::kVerify, 2);
        command.bytes[legacy_packet::kUnit] = unit.b[4];
        command.bytes[legacy_packet::kOperand2] = action;
        result = send_on_descriptor(descriptor, command, nullptr, 0);
    }
    DriverAccess::close_controller(descriptor);
    if (result != 0 || stop != 0) return result;
    return send_background_task(unit, unit.b[4], kTaskRebuild, 0, 0);
}

int LegacyBackend::set_write_cache(ObjectId unit, uint8_t value) const {
    if (write_cache_allowed(unit) != 0) return -1;
    return set_parameter(unit, uint16_t(kUnitTable + unit.b[4]), kWriteCache, 1, &value, 0);
}

int LegacyBackend::enable_write_cache(ObjectId unit) const { return set_write_cache(unit, 1); }

int LegacyBackend::disable_write_cache(ObjectId unit) const { return set_write_cache(unit, 0); }

int LegacyBackend::flush_write_cache(ObjectId unit) const {
    if (write_cache_allowed(unit) != 0) return -1;
    LegacyCommand command(legacy_packet::kFlushWriteCache, 2);
    command.bytes[legacy_packet::kUnit] = unit.b[4];
    return send_legacy_command(unit, command, nullptr, 0);
}

int LegacyBackend::controller_option_4(ObjectId id, uint8_t on) const {
    LegacyCommand command(legacy_packet::kControllerOption, 2);
    command.bytes[legacy_packet::kDetail] = 4;
    command.bytes[legacy_packet::kOperand] = on;
    return send_legacy_command(id, command, nullptr, 0);
}

int LegacyBackend::enable_controller_option_4(ObjectId id) const {
    return controller_option_4(id, 1);
}

int LegacyBackend::disable_controller_option_4(ObjectId id) const {
    return controller_option_4(id, 0);
}

// --- Rescan.

int LegacyBackend::rescan_controller(ObjectId id, uint8_t make_os_aware, IdList* units,
                                     IdList* drives) const {
    IdList ports;
    if (get_port_list(id, &ports) != 0) return -1;
    IdList found, imported, free;
    clear_list(&found);
    clear_list(&imported);
    clear_list(&free);
    for (uint32_t i = 0; i < ports.count; ++i) {
        uint8_t status = 0;
        ObjectId drive;
        if (get_drive_status(ports.ids[i], &status) != 0 || status != 0) continue;
        if (add_drive(ports.ids[i], &drive) != 0 || get_drive_status(drive, &status) != 0) continue;
        if (status == kHealthyDrive) found.ids[found.count++] = drive;
    }
    for (uint32_t i = 0; i < found.count; ++i) {
        const IdList single = one_drive(found.ids[i]);
        IdList result;
        // An import that found no unit on the drive adds none.
        if (import_unit(&single, make_os_aware, &result) == 0 && result.count > 0)
            imported.ids[imported.count++] = result.ids[0];
    }
    uint8_t taken[kListRoom];
    uint32_t taken_count = 0;
    for (uint32_t i = 0; i < imported.count; ++i) {
        IdList members;
        if (get_unit_drive_list(imported.ids[i], &members) != 0) continue;
        for (uint32_t j = 0; j < members.count && taken_count < kListRoom; ++j)
            if (members.ids[j].b[2] != kNoPort) taken[taken_count++] = members.ids[j].b[2];
    }
    for (uint32_t i = 0; i < found.count; ++i) {
        bool used = false;
        for (uint32_t j = 0; j < taken_count; ++j) used = used || taken[j] == found.ids[i].b[2];
        if (!used) free.ids[free.count++] = found.ids[i];
    }
    *units = imported;
    *drives = free;
    return 0;
}

int LegacyBackend::do_nothing(ObjectId) const { return 0; }

int LegacyBackend::tell_os(ObjectId unit, uint8_t action) const {
    ObjectId controller;
    ctl_make_controller_id(unit.b[1], &controller);
    return DriverAccess::notify_os_unit_change(controller, unit, action);
}
