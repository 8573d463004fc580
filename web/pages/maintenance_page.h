// The Maintenance page ("/page2_2.html") of one controller: the rescan
// button, the unit maintenance table with the unit actions, the available
// drives (sortable by any column) with the drive actions, and the hidden
// rebuild, create and migrate pop-ups that the page's scripts open.
#pragma once

#include "driver/object_id.h"

class PageBuilder;
struct ControllerRecord;

// The columns the available drives can be sorted by (1 port, 2 model,
// 3 capacity, 4 type, 5 phy, 6 slot, 7 status).
constexpr int kAvailSortColumns = 7;

// Writes the whole page. position: the current controller's position in
// list and records (kNoneFound with list's count kNoneFound and no records:
// the "NO CONTROLLERS" form); unit: the request's unit, not used; sort
// column: 1 to 7. The current record carries its unit records, unit drive
// lists, drive records (one per entry of its port list) and battery, and
// configured_drives counts the drives of its units that are not spares.
// Returns 0.
int write_page2_2(PageBuilder& page, int position, int unit, int sort_column,
                  const ControllerIdList* list, const ControllerRecord* records);
