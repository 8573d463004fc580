// Unit creation ("CreateDrives=") and migration ("ModifyUnit=") until they
// are built: the administrator is refused as those actions refuse him, and
// every other request answers that nothing was done, so that no request is
// ignored without a word. This file goes when the actions are built.
#include "web/actions/handler_frame.h"
#include "web/actions/maintenance_values.h"

int create_units_action(const MaintenanceRequest& m) {
    if (!may_act(m)) return refuse_level(m, kRefusalJoined, 87);  // "Cannot create units"
    return refuse_bad_request(m);
}

int modify_unit_action(const MaintenanceRequest& m) {
    if (!may_act(m)) return refuse_level(m, kRefusalColon, 95);  // "Cannot Migrate unit"
    return refuse_bad_request(m);
}
