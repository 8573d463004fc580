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

}  // extern "C"
