// The Maintenance page's scripts for every action but creating and
// migrating units: each writer appends one JavaScript function to the page's
// text body and returns 0. The action scripts check the selection in the
// browser, confirm what destroys something, and load "/page2_2.html" with
// the action's keys, "&c=" and the current controller and (all but
// remove_unit) "&AvailListSort=" and the current sort column.
#pragma once

class PageBuilder;
struct ControllerRecord;

int write_stop_verify(PageBuilder& page);   // stop_verify(unit)
int write_remove_drive(PageBuilder& page);  // remove_drive(port)
int write_verify_unit(PageBuilder& page);   // verify_unit()
// show_rebuildpopup(show); the port label from the controller (may be null).
int write_show_rebuildpopup(PageBuilder& page, const ControllerRecord* controller);
int write_rebuild_unit(PageBuilder& page);             // rebuild_unit()
int write_remove_drives(PageBuilder& page);            // remove_drives()
int write_mark_spares(PageBuilder& page);              // mark_spares()
int write_clear_driveconfig(PageBuilder& page);        // clear_driveconfig()
int write_remove_unit(PageBuilder& page);              // remove_unit()
int write_delete_unit(PageBuilder& page);              // delete_unit()
int write_rescan_controller(PageBuilder& page);        // rescan_controller()
int write_selectalldrives(PageBuilder& page);          // selectalldrives()
int write_deselectalldrives(PageBuilder& page);        // deselectalldrives()
int write_update_available_drives(PageBuilder& page);  // update_available_drives()
int write_update_page_sort_column(PageBuilder& page);  // update_page_sort_column(i)
