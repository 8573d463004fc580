// The Scheduling page ("/page2_1.html"): one controller's rebuild/migrate,
// verify and self-test schedules, one tab at a time, and the scripts that
// send their changes back to the page's handler.
#pragma once

#include "driver/object_id.h"

class PageBuilder;
struct ControllerRecord;

// c: the selected controller's position (kNoneFound with no controller);
// list: the controller list (count kNoneFound when none was found);
// records: one record per listed controller, or null; tab: 0 rebuild/migrate,
// 1 verify, 2 self-test, any other value the rebuild/migrate table with no
// tab selected. Returns 0.
int write_page2_1(PageBuilder& page, int c, const ControllerIdList* list,
                  const ControllerRecord* records, int tab);

// The tables of the tabs.
int write_rebuild_schedule(PageBuilder& page, const ControllerRecord& controller);
int write_verify_schedule(PageBuilder& page, const ControllerRecord& controller);
// The verify table of a controller that offers the basic/advanced choice.
int write_verify_schedule_modes(PageBuilder& page, const ControllerRecord& controller);
int write_selftest_schedule(PageBuilder& page, const ControllerRecord& controller);

// The page's script functions, one each.
int write_select_which_task(PageBuilder& page);
int write_enable_sched(PageBuilder& page);
int write_delete_sched(PageBuilder& page);
int write_add_sched(PageBuilder& page);
int write_change_sched_tasks(PageBuilder& page);
int write_set_basicverify_day_time(PageBuilder& page);
