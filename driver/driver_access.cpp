#include "driver/driver_access.h"

#include "driver/record_failure.h"

namespace {


}  // namespace

int DriverAccess::list_controllers(ControllerIdList* out) {
    return library_driver_layer().list_controllers(out);
}

int DriverAccess::open_controller(ObjectId id, int32_t* descriptor) {
    return library_driver_layer().open_controller(id, descriptor);
}

int32_t DriverAccess::get_controller_family(ObjectId id) {
    return library_driver_layer().get_controller_family(id);
}

int DriverAccess::legacy_ioctl(const int32_t& descriptor, uint8_t* packet, void* data,
                               uint32_t data_length, uint8_t request) {
    return library_driver_layer().legacy_ioctl(descriptor, packet, data, data_length, request);
}

int DriverAccess::series_ioctl(const int32_t& descriptor, uint8_t* header, uint8_t* area,
                               void* data, uint32_t data_length) {
    return library_driver_layer().series_ioctl(descriptor, header, area, data, data_length);
}

int DriverAccess::report_not_supported() { return fail_with_api_error(kApiNotSupported); }

uint32_t DriverAccess::to_local_week_minutes(uint32_t minutes) {
    return DriverLayer::to_local_week_minutes(minutes);
}

uint32_t DriverAccess::to_controller_week_minutes(uint32_t minutes) {
    return DriverLayer::to_controller_week_minutes(minutes);
}

uint32_t DriverAccess::to_local_time(uint32_t seconds) {
    return DriverLayer::to_local_time(seconds);
}

int DriverAccess::is_vm_driver(ObjectId id) { return library_driver_layer().is_vm_driver(id); }

int DriverAccess::notify_os_unit_change(const ObjectId& controller, const ObjectId& unit,
                                        uint8_t action) {
    return library_driver_layer().notify_os_unit_change(controller, unit, action);
}

int DriverAccess::close_controller(int32_t descriptor) {
    return library_driver_layer().close_controller(descriptor);
}
