// The actions of the Maintenance page ("/page2_2.html"). handle_page2_2
// recognises at most one action per request by its key (the first key of
// its table present in the URL decides) and calls the action's function
// below; each function tests the access level itself (every action needs the
// administrator, each refuses with a text of its own), acts, and answers the
// redirect page that reports the outcome and loads the Maintenance page
// again.
#pragma once

#include "web/actions/action_message.h"

class ControllerSelection;
class DaemonContext;
class PageBuilder;
struct PageRequest;

// What the handler hands an action: the request, the controllers with their
// records filled and the requested one selected (controllers.selected() is
// the controller acted on, controllers.controller_index() builds every
// identifier), and the sort column of the available drives, which every
// redirect target carries back.
struct MaintenanceRequest {
    DaemonContext* context;
    PageBuilder* page;
    const PageRequest* request;
    ControllerSelection* controllers;
    int sort_column;
};

// The handler of "/page2_2.html": an action, or the Maintenance page when
// the request names none.
int handle_page2_2(DaemonContext* context, PageBuilder* page, const PageRequest& request);
// Whether the URL names one of the actions below (one of the handler's keys).
bool page2_2_has_action(const char* url);

// Answers the redirect page to "/page2_2.html?AvailListSort=<sort column>"
// with the message and the RedirectCode.
int maintenance_redirect(const MaintenanceRequest& m, const ActionMessage& message, int code);

// Drive actions.
int remove_drive_action(const MaintenanceRequest& m);         // "RemoveDrive="
int remove_drives_action(const MaintenanceRequest& m);        // "RemoveDrives="
int spare_drives_action(const MaintenanceRequest& m);         // "SpareDrives=", "SpareDrive="
int clear_drives_config_action(const MaintenanceRequest& m);  // "ClearDrivesConfig="

// Unit actions.
int stop_verify_action(const MaintenanceRequest& m);        // "StopVerifyUnit="
int rebuild_unit_action(const MaintenanceRequest& m);       // "RebuildUnit="
int verify_unit_action(const MaintenanceRequest& m);        // "VerifyUnit="
int remove_units_action(const MaintenanceRequest& m);       // "RemoveUnits="
int delete_units_action(const MaintenanceRequest& m);       // "DeleteUnits="
int rescan_controller_action(const MaintenanceRequest& m);  // "RescanController="

// Unit creation ("CreateDrives=", with CreateType=, UnitName=, ...) and
// migration ("ModifyUnit=", with ModifyDrives=, ModifyType=, ...).
int create_units_action(const MaintenanceRequest& m);
int modify_unit_action(const MaintenanceRequest& m);
