// Verify and rebuild of a unit, and taking one drive out of the
// configuration, each allowed only in the unit states the operation suits.
#include "backend/id_list_helpers.h"
#include "backend/series_backend.h"
#include "driver/record_failure.h"


namespace {

constexpr uint8_t kVerify = 0x05, kRebuild = 0x09, kBackgroundTask = 0x17;
constexpr uint8_t kStart = 1, kStop = 0x80;
constexpr uint8_t kRunTask = 0x80;
constexpr uint8_t kTakeApart = 0;  // delete mode of disk and spare units
constexpr uint8_t kNoUnit = 0xFF;
int send_verify(const SeriesBackend& backend, ObjectId unit, bool stop) {
    const SeriesBackend::UnitCommand command{kVerify, 0, stop ? kStop : kStart};
    return backend.send_unit_commands(unit, &command, 1);
}

// Rebuild steps 3 and 4: the replacement, a DISK or spare unit (a free
// drive is made one first), goes into the unit, and the rebuild starts. The
// command names the replacement by its unit number on the unit's own
// controller, so a drive of another controller cannot be one.
int rebuild_with(const SeriesBackend& backend, ObjectId unit, const IdList* drives) {
    const ObjectId drive = drives->ids[0];
    if (drive.b[1] != unit.b[1]) return fail_with_api_error(kApiReplacementInvalid);
    ObjectId holder;
    if (backend.get_drive_unit(drive, &holder) != 0) return -1;
    if (holder.b[4] == kNoUnit) {
        const IdList one = id_lists::of_one(drive);
        if (backend.create_unit(&one, kUnitDisk, 0, 0, &holder, 0, 0, VolumeSizes{}) != 0)
            return -1;
    } else {
        int32_t type;
        if (backend.get_unit_type(holder, &type) != 0) return -1;
        if (holder.b[3] != 1 || (type != kUnitDisk && type != kUnitSpare))
            return fail_with_api_error(kApiReplacementInvalid);
    }
    const SeriesBackend::UnitCommand commands[] = {
        {kRebuild, holder.b[4], 0},
        {kBackgroundTask, kRunTask, 0},
    };
    return backend.send_unit_commands(unit, commands, 2);
}

bool is_one_of(uint8_t status, uint8_t a, uint8_t b, uint8_t c) {
    return status == a || status == b || status == c;
}

}  // namespace

int SeriesBackend::verify_unit(ObjectId unit, int32_t stop) const {
    int32_t type;
    if (get_unit_type(unit, &type) != 0) return -1;
    if (type == kUnitRaid6) {
        if (check_raid6_support(unit) != 0) return -1;
        return verify_raid6_unit(unit, stop);
    }
    uint8_t status;
    if (get_unit_status(unit, &status) != 0) return -1;
    const bool stopping = stop != 0;
    if (status != (stopping ? kStatusVerifying : kStatusOk))
        return fail_with_api_error(kApiInvalidVerifyMode);
    return send_verify(*this, unit, stopping);
}

int SeriesBackend::verify_raid6_unit(ObjectId unit, int32_t stop) const {
    uint8_t first, second;
    if (get_raid6_degraded_drives(unit, &first, &second) != 0) return -1;
    const bool stopping = stop != 0;
    const uint8_t wanted = stopping ? kStatusVerifying : kStatusOk;
    if (first != wanted && second != wanted) return fail_with_api_error(kApiInvalidVerifyMode);
    return send_verify(*this, unit, stopping);
}

int SeriesBackend::rebuild_unit(ObjectId unit, const IdList* drives) const {
    if (id_lists::check(drives) != 0) return -1;
    if (drives->count == 0) return fail_with_api_error(kApiNoDrivesSpecified);
    int32_t type;
    if (get_unit_type(unit, &type) != 0) return -1;
    if (type == kUnitRaid6) {
        if (check_raid6_support(unit) != 0) return -1;
        return rebuild_raid6_unit(unit, drives);
    }
    uint8_t status;
    if (get_unit_status(unit, &status) != 0) return -1;
    if (status == kStatusOk) return fail_with_api_error(kApiUnitIsOk);
    if (status == kStatusRebuilding) return fail_with_api_error(kApiUnitIsRebuilding);
    if (status != kStatusDegraded) return fail_with_api_error(kApiUnitBusy);
    return rebuild_with(*this, unit, drives);
}

int SeriesBackend::rebuild_raid6_unit(ObjectId unit, const IdList* drives) const {
    if (id_lists::check(drives) != 0) return -1;
    if (drives->count == 0) return fail_with_api_error(kApiNoDrivesSpecified);
    uint8_t first, second;
    if (get_raid6_degraded_drives(unit, &first, &second) != 0) return -1;
    if (first == kStatusOk && second == kStatusOk) return fail_with_api_error(kApiUnitIsOk);
    if (first == kStatusRebuilding && second == kStatusRebuilding)
        return fail_with_api_error(kApiUnitIsRebuilding);
    if (first != kStatusDegraded && second != kStatusDegraded)
        return fail_with_api_error(kApiUnitBusy);
    return rebuild_with(*this, unit, drives);
}

int SeriesBackend::remove_drive(ObjectId drive) const {
    const ObjectId controller = controller_id_of(drive);
    const uint8_t port = drive.b[2];
    if (is_port_present(drive, port) == 0) return fail_with_api_error(kApiRemovePortEmpty);
    ObjectId holder;
    if (get_drive_unit(drive, &holder) != 0) return -1;
    if (holder.b[4] != kNoUnit && holder.b[3] == 1) {
        // The drive is a unit by itself: a disk or spare unit is taken apart.
        int32_t type;
        if (get_unit_type(holder, &type) != 0) return -1;
        if (type != kUnitDisk && type != kUnitDiskAlone && type != kUnitSpare)
            return fail_with_api_error(kApiRemoveDriveFailed);
        if (delete_unit(holder, 0, kTakeApart) != 0) return -1;
    } else if (holder.b[4] != kNoUnit) {
        int32_t type, parent_type;
        if (get_unit_type(holder, &type) != 0) return -1;
        if (type != kUnitDisk && type != kUnitDiskAlone) return fail_with_api_error(kApiPortBusy);
        const ObjectId parent = unit_parent_id(holder);
        if (get_unit_type(parent, &parent_type) != 0) return -1;
        if (parent_type != kUnitRaid1 && parent_type != kUnitRaid1Mirror &&
            parent_type != kUnitRaid5 && parent_type != kUnitRaid6)
            return fail_with_api_error(kApiRemoveInvalid);
        // A healthy (or initialising or verifying) unit can spare a member;
        // a unit already in trouble only one that is itself not OK.
        uint8_t member;
        if (parent_type == kUnitRaid6) {
            uint8_t first, second;
            if (get_raid6_degraded_drives(parent, &first, &second) != 0) return -1;
            const bool can_spare =
                is_one_of(first, kStatusOk, kStatusInitializing, kStatusVerifying) ||
                is_one_of(second, kStatusOk, kStatusInitializing, kStatusVerifying);
            if (!can_spare) {
                if (get_unit_status(holder, &member) != 0) return -1;
                if (member == kStatusOk) return fail_with_api_error(kApiRemoveInvalid);
            }
        } else {
            uint8_t status;
            if (get_unit_status(parent, &status) != 0) return -1;
            if (status == kStatusRecovering) return fail_with_api_error(kApiRemoveDuringRecovery);
            if (!is_one_of(status, kStatusOk, kStatusInitializing, kStatusVerifying)) {
                if (get_unit_status(holder, &member) != 0) return -1;
                if (member == kStatusVerifying) return fail_with_api_error(kApiRemoveDuringVerify);
                if (member == kStatusOk) return fail_with_api_error(kApiRemoveInvalid);
            }
        }
    }
    return release_drive(controller, 0, port, 0);
}
