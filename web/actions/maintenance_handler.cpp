// The Maintenance page's handler: the controller the request selects, the
// action its first action key names, or the page itself from fresh records
// of that controller.
#include <cstdio>

#include "web/actions/handler_frame.h"
#include "web/actions/maintenance_actions.h"
#include "web/pages/maintenance_page.h"

namespace {

using Action = int (*)(const MaintenanceRequest&);

struct ActionKey {
    const char* key;
    Action action;
};

// Keys are found anywhere in the URL, so a key that holds another one
// ("StopVerifyUnit=" holds "VerifyUnit=") comes before it.
const ActionKey kActionKeys[] = {
    {"RemoveDrive=", remove_drive_action},
    {"RemoveDrives=", remove_drives_action},
    {"SpareDrives=", spare_drives_action},
    {"SpareDrive=", spare_drives_action},
    {"ClearDrivesConfig=", clear_drives_config_action},
    {"StopVerifyUnit=", stop_verify_action},
    {"RebuildUnit=", rebuild_unit_action},
    {"VerifyUnit=", verify_unit_action},
    {"RemoveUnits=", remove_units_action},
    {"DeleteUnits=", delete_units_action},
    {"CreateDrives=", create_units_action},
    {"RescanController=", rescan_controller_action},
    {"ModifyUnit=", modify_unit_action},
};

// The sort columns of the available drives are 1 to 7; any other value
// sorts by port, as a request without one does.
int sort_column_of(const char* url) {
    const int column = QueryParams::get_param_avail_list_sort(url);
    return column >= 1 && column <= kAvailSortColumns ? column : 1;
}

// The records the page reads of the selected controller: its units with
// their sub-units and drive lists, the drive counts over them, every port's
// drive and the battery.
void fill_page_records(DaemonContext* context, ControllerSelection& controllers) {
    ControllerRecord& r = controllers.selected();
    if (attach_unit_records(r) != nullptr) {
        context->fill_units(r.units, r.unit_records, &r, 1);
        context->fill_unit_drive_lists(r.units, attach_unit_drive_lists(r));
        context->count_drives_in_units(&r);
        context->count_active_units(&r);
    }
    if (attach_drive_records(r) != nullptr) context->fill_drives(r.ports, r.drive_records, &r, 1);
    context->fill_battery(controllers.id(), attach_battery(r));
}

}  // namespace

bool page2_2_has_action(const char* url) { return first_key(url, kActionKeys) != nullptr; }

int maintenance_redirect(const MaintenanceRequest& m, const ActionMessage& message, int code) {
    char target[64];
    snprintf(target, sizeof target, "/page2_2.html?AvailListSort=%d", m.sort_column);
    return message.redirect(m.page, target, code);
}

int handle_page2_2(DaemonContext* context, PageBuilder* page, const PageRequest& request) {
    ControllerSelection controllers;
    if (controllers.none())
        return write_page2_2(*page, kNoneFound, kNoneFound, kNoneFound, controllers.list(),
                             nullptr);
    controllers.select(context->get_param_c(request.url));
    ControllerRecord* records = controllers.fill(context);
    const int unit = context->get_param_u(request.url);
    const MaintenanceRequest m{context, page, &request, &controllers, sort_column_of(request.url)};

    if (const ActionKey* k = first_key(request.url, kActionKeys)) return k->action(m);

    fill_page_records(context, controllers);
    return write_page2_2(*page, controllers.position(), unit, m.sort_column, controllers.list(),
                         records);
}
