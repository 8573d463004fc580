// "/page2_0.html", the Controller Settings page: one controller's
// background task rates and modes, its units' policies and names, its other
// settings, and the firmware update form with the pop-up that shows an
// image check's outcome. Every control calls a function of
// web/pages/settings_scripts.h, which requests the page's handler with one
// query key.
#pragma once

#include "driver/object_id.h"

class PageBuilder;
struct ControllerRecord;
struct FirmwareCompatReport;

// FirmwareVerdict: what an image check found, shown in the pop-up.
enum : int {
    kVerdictNone = 0,  // no check to show; the pop-up is hidden
    kVerdictCompatible = 3,
    kVerdictDriverIncompatible = 4,
    kVerdictToolsIncompatible = 5,
    kVerdictNeitherCompatible = 6,
};

// The verdict of a check's report: the library's verdict byte (1
// compatible, 0 not) and the driver's (0 not compatible, 1 compatible, 2
// compatible and newer than the running firmware). kVerdictNone for any
// other combination.
int firmware_verdict(const FirmwareCompatReport& report);

// Writes the whole page. current is the position of the shown controller
// in list, records one filled record per entry of list. Without
// controllers the list's count is kNoneFound (current too) and records is
// null: the page says "NO CONTROLLERS". verdict is a FirmwareVerdict; a
// non-zero one shows the pop-up with the current record's firmware_check,
// and the page then does not refresh itself. Returns 0.
int write_page2_0(PageBuilder& page, int current, const ControllerIdList* list,
                  const ControllerRecord* records, int verdict);

// The pieces of the page that hold the firmware update (family above 3):
// the upload form and the pop-up.
void write_firmware_form(PageBuilder& page, const ControllerRecord& controller);
void write_firmware_popup(PageBuilder& page, const ControllerRecord& controller, int verdict);
