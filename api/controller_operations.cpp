// Controller operations that the dispatcher answers by itself or makes of
// more than one back-end call.
#include "api/ctl.h"
#include "api/family_router.h"
#include "backend/backends.h"
#include "driver/record_failure.h"

namespace {

// Controllers above this firmware level schedule verifies the newer way.
constexpr uint32_t kVerifyScheduleLevel = 35;

bool is_later_series(int32_t family) {
    return family == 6 || family == 7 || family == 8 || family == 10;
}

}  // namespace

// 1 when a family 6, 7, 8 or 10 controller runs firmware above level 35, 0
// for every other controller and family; -1 with the output untouched when
// the level cannot be read.
int FamilyRouter::get_verify_schedule_mode(ObjectId id, uint32_t* mode) {
    if (!is_later_series(controller_family(id))) {
        *mode = 0;
        return 0;
    }
    uint32_t level = 0;
    if (read_level(id, &level) != 0) return -1;
    *mode = level > kVerifyScheduleLevel ? 1 : 0;
    return 0;
}

// The second argument is not read.
int FamilyRouter::get_flag_always_zero(ObjectId id, int32_t, uint8_t* flag) {
    const int32_t family = controller_family(id);
    if (family == 4 || is_later_series(family)) {
        *flag = 0;
        return 0;
    }
    if (family == 3) return fail_with_api_error(kApiNotSupported);
    return -1;
}

// Nothing to do on any family that has a back end; -1 with nothing recorded
// for the others.
int FamilyRouter::do_nothing(ObjectId id) {
    const int32_t family = controller_family(id);
    if (family == 3) return legacy_backend().do_nothing(id);
    if (family == 4) return series_backend().do_nothing(id);
    if (is_later_series(family)) return 0;
    return -1;
}

// Flag 10 on, then table 10 setting 5 off. A controller without that
// setting ("Parameter index does not exist") still succeeds, with a clean
// record; any other failure of the second write leaves flag 10 on.
int FamilyRouter::enable_controller_flag_10_exclusive(ObjectId id) {
    constexpr int32_t kNoSuchParameter = 0x10C;
    const int32_t family = controller_family(id);
    if (family == 3) return fail_with_api_error(kApiNotSupported);
    if (family != 4 && !is_later_series(family)) return -1;
    if (series_backend().set_controller_flag_10(id, 1) != 0) return -1;
    if (series_backend().set_table10_setting_5(id, 0) == 0) return 0;
    ErrorRecord record;
    ctl_get_last_error(&record);
    if (record.controller_status != kNoSuchParameter) return -1;
    clear_last_error();
    return 0;
}
