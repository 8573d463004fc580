// Public functions about the library itself and the controllers it found,
// and the reserved entries that no platform offers.
#include "api/ctl.h"
#include "driver/driver_access.h"

extern "C" {

const char* ctl_get_vendor_name(void) { return "tavix"; }

const char* ctl_get_api_version(void) { return "2.08.00.027"; }

const char* ctl_get_notice_text(void) {
    return "tavix controller library 2.08.00.027. Manages the controllers, units, drives, "
           "battery backup units and enclosures found on this system.";
}

int ctl_list_controllers(ControllerIdList* list) { return DriverAccess::list_controllers(list); }

// The operating system's devices are not mapped to units on this platform.
int ctl_find_unit_by_os_device(const char*, ObjectId*) {
    return DriverAccess::report_not_supported();
}

int ctl_reserved_controller_query(ObjectId) { return DriverAccess::report_not_supported(); }
int ctl_reserved_controller_setting(ObjectId) { return DriverAccess::report_not_supported(); }
int ctl_reserved_door_lock_op_a(ObjectId) { return DriverAccess::report_not_supported(); }
int ctl_reserved_door_lock_op_b(ObjectId) { return DriverAccess::report_not_supported(); }
int ctl_reserved_door_lock_op_c(ObjectId) { return DriverAccess::report_not_supported(); }
int ctl_reserved_door_lock_op_d(ObjectId) { return DriverAccess::report_not_supported(); }

int ctl_init_bbu(ObjectId) { return 0; }

}  // extern "C"
