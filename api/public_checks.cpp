// Public functions of the operation tables that check or interpret before or
// after calling their operation.
#include "api/ctl.h"
#include "api/family_router.h"
#include "driver/record_failure.h"

namespace {


// 1 when the controller's firmware level is above the threshold, else 0;
// the level is read through the firmware-level query.
int level_above(ObjectId id, uint32_t threshold, int32_t* supported) {
    uint32_t level = 0;
    if (family_router().read_firmware_level(id, &level) != 0) return -1;
    *supported = level > threshold ? 1 : 0;
    return 0;
}

// Event sources a posted event may name: 0 to 3, or the caller's own sense
// data.
constexpr uint8_t kHighestEventSource = 3;

// The statistics set a selector names: 0 or 1.
bool is_stats_set(int32_t set) { return set == 0 || set == 1; }

}  // namespace

extern "C" {

int ctl_supports_recovery_policy(ObjectId id, int32_t* supported) {
    return level_above(id, 35, supported);
}

int ctl_supports_level_36_feature_b(ObjectId id, int32_t* supported) {
    return level_above(id, 35, supported);
}

int ctl_supports_level_36_feature_c(ObjectId id, int32_t* supported) {
    return level_above(id, 35, supported);
}

int ctl_supports_extended_device_info(ObjectId id, int32_t* supported) {
    return level_above(id, 35, supported);
}

int ctl_supports_read_cache(ObjectId id, int32_t* supported) {
    return level_above(id, 36, supported);
}

int ctl_supports_task_mode(ObjectId id, int32_t* supported) {
    return level_above(id, 36, supported);
}

// Only 1 to 100 are accepted.
int ctl_set_controller_time(ObjectId id, uint32_t seconds) {
    if (seconds < 1 || seconds > 100) return fail_with_api_error(kInvalidArgument);
    return family_router().set_controller_time(id, seconds);
}

int ctl_post_aen(ObjectId id, const EventPostRecord* event) {
    if (event == nullptr) return fail_with_api_error(kInvalidArgument);
    if (event->source > kHighestEventSource && event->source != EventPostRecord::kOwnSense)
        return fail_with_api_error(kApiUnknownEventSource);
    return family_router().post_aen(id, event);
}

int ctl_get_drive_stats_brief(ObjectId id, DriveStatsBrief* out, int32_t set) {
    if (!is_stats_set(set)) return fail_with_api_error(kApiNotSupported);
    return set == 0 ? family_router().get_drive_stats_brief_a(id, out)
                    : family_router().get_drive_stats_brief_b(id, out);
}

int ctl_get_drive_stats_detail(ObjectId id, DriveStatsDetail* out, int32_t set) {
    if (!is_stats_set(set)) return fail_with_api_error(kApiNotSupported);
    return set == 0 ? family_router().get_drive_stats_detail_a(id, out)
                    : family_router().get_drive_stats_detail_b(id, out);
}

int ctl_get_drive_stats_histogram(ObjectId id, DriveStatsHistogramEntry* out, int32_t set) {
    if (!is_stats_set(set)) return fail_with_api_error(kApiNotSupported);
    return set == 0 ? family_router().get_drive_stats_histogram_a(id, out)
                    : family_router().get_drive_stats_histogram_b(id, out);
}

// One status byte per listed drive: the buffer must hold the list's count,
// and the count must fit the list.
int ctl_get_drive_status_list(uint8_t* statuses, uint32_t size, IdList drives) {
    constexpr uint32_t kListRoom = sizeof drives.ids / sizeof drives.ids[0];
    if (statuses == nullptr || size < drives.count || drives.count > kListRoom)
        return fail_with_api_error(kInvalidArgument);
    return family_router().get_drive_status_list(statuses, size, drives);
}

}  // extern "C"
