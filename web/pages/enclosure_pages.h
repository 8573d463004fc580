// The enclosure pages: the Enclosure Summary page "/page3_2.html" (one row
// per enclosure of the selected controller) and the Enclosure Details page
// "/page3_3.html" (one enclosure, a table per element kind, with the alarm
// and identify controls whose scripts send the enclosure actions).
#pragma once

#include "api/ctl_types.h"

class EnclosureModel;
class PageBuilder;
class StringBuilder;
struct ControllerRecord;

// position: the selected controller's position in list; records: one filled
// record per controller; enclosures: the controller's enclosure list, its
// count kNoneFound when the controller has none; models: one model per
// enclosure of the list (built with slots and alarms), or null. Returns 0.
int write_page3_2(PageBuilder& page, int position, const ControllerIdList* list,
                  const ControllerRecord* records, const EnclosureIdList* enclosures,
                  EnclosureModel* const* models);

// model: built with every element kind, or null (the page then says that
// there is no enclosure, as it does for position kNoneFound); highlighted
// slot: a slot index whose row is marked, or -1. Returns 0.
int write_page3_3(PageBuilder& page, int position, const ControllerIdList* list,
                  const ControllerRecord* records, const EnclosureModel* model,
                  int highlighted_slot);

// The tables of the details page, for the controller at position.
void write_enclosure_details(PageBuilder& page, const EnclosureModel& model,
                             const ControllerRecord& controller, int position,
                             int highlighted_slot);

// The details page's scripts that send the enclosure actions and the
// diagnostic download, one JavaScript function each: set_powerstate,
// set_alarm_state, set_alarm_audibility, set_fanstate, set_fanspeed,
// blink_slot, blink_fan_slot, blink_ts_slot, blink_ps_slot and
// download_encl_diag_text.
void write_enclosure_scripts(StringBuilder& body);

// True when any of the model's audible alarms sounds (status 1 or 5).
bool enclosure_alarm_activated(const EnclosureModel& model);
