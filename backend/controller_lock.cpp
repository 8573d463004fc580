// The controller lock around a read-modify-write of settings. Families below
// 10 keep it in the driver (control codes 262 and 263 with the time-out in
// milliseconds); family 10 keeps it in the firmware, as a settings parameter
// holding the time-out in units of 10 milliseconds (0 releases it).
#include "backend/series_backend.h"
#include "driver/driver_access.h"
#include "driver/series_command.h"
#include "platform/platform.h"

namespace {

constexpr int kTries = 10;
constexpr unsigned kPauseSeconds = 1;
constexpr int32_t kParameterLockFamily = 10;
constexpr uint32_t kSettingsTable = 0x403;
constexpr uint32_t kLockParameter = 61;
constexpr uint32_t kLockDataSize = 12;

// One take (timeout_ms) or release (0) on the open node of the controller.
int lock_request(ObjectId controller, const int32_t& descriptor, uint32_t code,
                 uint32_t timeout_ms) {
    if (DriverAccess::get_controller_family(controller) >= kParameterLockFamily) {
        uint8_t value[4];
        le::store(value, code == driver_request::kTakeLock ? timeout_ms / 10 : 0, sizeof value);
        return SeriesBackend::set_parameter(controller, value, sizeof value, kSettingsTable,
                                            kLockParameter, sizeof value);
    }
    SeriesDriverRequest request(code);
    uint8_t data[kLockDataSize] = {};
    le::store(data, timeout_ms, 4);
    return DriverAccess::series_ioctl(descriptor, request.header, request.area, data, sizeof data);
}

}  // namespace

int SeriesBackend::get_controller_lock(ObjectId id, uint32_t timeout_ms) {
    const ObjectId controller = controller_id_of(id);
    int32_t descriptor = -1;
    if (DriverAccess::open_controller(controller, &descriptor) != 0) return -1;
    bool taken = false;
    for (int attempt = 0; attempt < kTries && !taken; ++attempt) {
        taken = lock_request(controller, descriptor, driver_request::kTakeLock, timeout_ms) == 0;
        if (!taken) platform::sleep(kPauseSeconds);
    }
    DriverAccess::close_controller(descriptor);
    return taken ? 0 : -1;
}

int SeriesBackend::release_controller_lock(ObjectId id) {
    const ObjectId controller = controller_id_of(id);
    int32_t descriptor = -1;
    if (DriverAccess::open_controller(controller, &descriptor) != 0) return -1;
    const int result = lock_request(controller, descriptor, driver_request::kReleaseLock, 0);
    DriverAccess::close_controller(descriptor);
    return result == 0 ? 0 : -1;
}
