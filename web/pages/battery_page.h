// The Battery Backup page ("/page3_1.html"): the state of one controller's
// battery backup unit and the link that starts a capacity test.
#pragma once

#include "driver/object_id.h"

class PageBuilder;
struct ControllerRecord;

// c: the selected controller's position; list and records as the handler
// filled them, the selected record with its battery attached (a record
// without one shows the unit as not present). Returns 0.
int write_page3_1(PageBuilder& page, int c, const ControllerIdList* list,
                  const ControllerRecord* records);

// The page's script functions: init_bbu() tells the controller that a new
// battery was installed (no page element calls it), test_bbu() starts a
// capacity test once the user confirms.
int write_init_bbu(PageBuilder& page);
int write_test_bbu(PageBuilder& page);
