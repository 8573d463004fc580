// Times of controllers on a virtual-machine driver, whose clock runs in UTC,
// converted to and from local time.
#include <cstdint>

#include "driver/driver_layer.h"
#include "platform/platform.h"

namespace {

constexpr int64_t kSecondsPerWeek = 7 * 24 * 60 * 60;  // 604,800

// Seconds of the week, wrapped into the week, as minutes.
uint32_t week_minutes(int64_t seconds) {
    if (seconds < 0) {
        seconds += kSecondsPerWeek;
    } else if (seconds >= kSecondsPerWeek) {
        seconds %= kSecondsPerWeek;
    }
    return uint32_t(seconds / 60);
}

}  // namespace

uint32_t DriverLayer::to_local_time(uint32_t seconds) {
    return seconds + uint32_t(platform::utc_offset(time_t(seconds)));
}

uint32_t DriverLayer::to_local_week_minutes(uint32_t minutes) {
    return week_minutes(int64_t(minutes) * 60 + platform::utc_offset(platform::time_now()));
}

uint32_t DriverLayer::to_controller_week_minutes(uint32_t minutes) {
    return week_minutes(int64_t(minutes) * 60 - platform::utc_offset(platform::time_now()));
}
