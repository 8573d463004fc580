// The controller information pages: the summary of all controllers
// ("/page0.html"), one controller's details ("/page1_0.html"), its units
// ("/page1_1.html": the list, or one unit's tree), drives ("/page1_2.html")
// and phys ("/page1_0_1.html"). Each page writer takes the position c of
// the selected controller (kNoneFound with no controller), the controller
// list (count kNoneFound when none was found) and one record per listed
// controller (null when none), as the handlers filled them; it writes the
// whole page into the page builder and returns 0.
#pragma once

#include "driver/object_id.h"

class PageBuilder;
class StringBuilder;
struct ControllerRecord;
struct UnitRecord;

// u is not used by the page.
int write_page0(PageBuilder& page, int c, int u, const ControllerIdList* list,
                const ControllerRecord* records);

int write_page1_0(PageBuilder& page, int c, int u, const ControllerIdList* list,
                  const ControllerRecord* records);
int write_controller_details(PageBuilder& page, const ControllerRecord& controller);

// u negative: the unit list; otherwise the details of the one unit record
// attached to the selected controller.
int write_page1_1(PageBuilder& page, int c, int u, const ControllerIdList* list,
                  const ControllerRecord* records);
int write_unit_list(PageBuilder& page, const ControllerRecord& controller);
int write_unit_details(PageBuilder& page, const ControllerRecord& controller);
int write_subunit(PageBuilder& page, int k, const UnitRecord& unit,
                  const ControllerRecord& controller);
// The script function show_migrate_unit(show), which shows (1) or hides a
// migrating unit's pop-up.
void write_show_migrate_unit(StringBuilder& body);

// d: the position of the drive row to highlight (-1: none).
int write_page1_2(PageBuilder& page, int c, int d, const ControllerIdList* list,
                  const ControllerRecord* records);
int write_drive_list(PageBuilder& page, const ControllerRecord& controller, int d);

// y: the position of the phy row to highlight (-1: none).
int write_page1_0_1(PageBuilder& page, int c, int y, const ControllerIdList* list,
                    const ControllerRecord* records);
int write_phy_list(PageBuilder& page, const ControllerRecord& controller, int y);
