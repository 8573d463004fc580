// The Alarms page ("/page3_0.html"): the Clear Alarms button, the colour
// legend, the table heading with its sort links and an inline frame that
// loads "/alarmsdata.html", the rows of the selected controller's events as
// its binary event file holds them, newest first or grouped by severity.
#pragma once

#include "driver/object_id.h"

class PageBuilder;
class StringBuilder;
struct ControllerRecord;

// Severity filter of write_alarm_rows: every severity but 4, or one.
constexpr int kAllSeverities = 0;

// The page of controller position c (kNoneFound with no controller, when
// the list's count is kNoneFound too and records is null); sort 1 shows the
// events grouped by severity. Returns 0.
int write_page3_0(PageBuilder& page, int c, const ControllerIdList* list,
                  const ControllerRecord* records, int sort);

// The frame's document: bare rows, no init() and no footer. Returns 0.
int write_alarmsdata(PageBuilder& page, int c, const ControllerIdList* list,
                     const ControllerRecord* records, int sort);

// One row per record of the event file at path whose severity the filter
// lets through (severity 4 never); returns the number of rows.
int write_alarm_rows(PageBuilder& page, const char* path, const ControllerRecord& controller,
                     int filter);

// The page's script functions sort_alarms(sortby) and clear_alarms().
void write_sort_alarms(PageBuilder& page);
void write_clear_alarms(PageBuilder& page);
