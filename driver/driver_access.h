// The way the back ends reach the driver layer: a class without data whose
// methods forward to the library's one DriverLayer object.
#pragma once

#include <cstdint>

#include "driver/driver_layer.h"

class DriverAccess {
  public:
    static int list_controllers(ControllerIdList* out);
    static int open_controller(ObjectId id, int32_t* descriptor);
    static int32_t get_controller_family(ObjectId id);
    static int legacy_ioctl(const int32_t& descriptor, uint8_t* packet, void* data,
                            uint32_t data_length, uint8_t request);
    static int series_ioctl(const int32_t& descriptor, uint8_t* header, uint8_t* area, void* data,
                            uint32_t data_length);
    // For operations the library does not offer on this system: clears the
    // last-error record, records API error 2 "Feature not supported", -1.
    static int report_not_supported();
    static uint32_t to_local_week_minutes(uint32_t minutes);
    static uint32_t to_controller_week_minutes(uint32_t minutes);
    static uint32_t to_local_time(uint32_t seconds);
    static int is_vm_driver(ObjectId id);
    static int notify_os_unit_change(const ObjectId& controller, const ObjectId& unit,
                                     uint8_t action);
    static int close_controller(int32_t descriptor);
};
