// The controllers a request acts on: the library's controller list, the
// position the request's "c=" selects (always one that exists), and the
// snapshot records of every controller, owned here so that they are freed
// on every path out of a handler. Also the arrays a handler attaches to a
// record before it fills them, each allocated only for a count the record
// can hold.
//
// A selection is the page build of its request: from its start to the end
// of the handler that holds it (its records' fills, the handler's action,
// the page), a read-only driver request answered once is not sent again;
// every request that changes a controller still is, and the reads of that
// controller after it go to the controller again (driver/read_reuse.h).
#pragma once

#include <cstdint>

#include "daemon/snapshot_records.h"
#include "driver/object_id.h"
#include "driver/read_reuse.h"
#include "web/pages/record_access.h"

class DaemonContext;

// The position a request's controller value selects among count
// controllers: the value itself when it names one, else 0.
int select_controller(int c, int count);

class ControllerSelection {
  public:
    // Reads the controller list. A list of fewer than 1 or more than 255
    // controllers (a failed read included) is marked kNoneFound: none().
    ControllerSelection();
    ~ControllerSelection();
    ControllerSelection(const ControllerSelection&) = delete;
    ControllerSelection& operator=(const ControllerSelection&) = delete;

    bool none() const { return count_ == 0; }
    // The number of controllers; 0 when none().
    int count() const { return count_; }
    // The list as the page writers take it (count kNoneFound when none()).
    const ControllerIdList* list() const { return &list_; }

    // Selects the controller at position c (select_controller); returns the
    // position selected. Position 0 until a selection is made.
    int select(int c);
    int position() const { return position_; }
    // The selected controller's identifier and index (0xFF when none()).
    ObjectId id() const;
    uint8_t controller_index() const;

    // Creates one record per controller and fills them all; returns the
    // records (null when none()). Each call refills the same records.
    ControllerRecord* fill(DaemonContext* context);
    // The records, null before fill().
    ControllerRecord* records() { return records_; }
    const ControllerRecord* records() const { return records_; }
    // The selected controller's record; fill() first.
    ControllerRecord& selected() { return records_[position_]; }

  private:
    ReadReuse::Scope page_build_;  // first in, last out: covers the records' lifetime
    ControllerIdList list_;
    int count_;
    int position_;
    ControllerRecord* records_;
};

// Arrays attached to a record for the fill methods. Each replaces what was
// attached before, returns the array, or null when the count the record's
// list holds is out of bounds (nothing is attached then; fill nothing).
// Units: 1 to 64 get records, any other count is marked kNoneFound.
UnitRecord* attach_unit_records(ControllerRecord& record);
// Exactly `count` unit records (1 to 128), whatever the unit list holds:
// one record for a single unit's details.
UnitRecord* attach_unit_records(ControllerRecord& record, int count);
// One drive list per unit record (the units count, 1 to 64).
IdList* attach_unit_drive_lists(ControllerRecord& record);
// One record per unit for the cache settings (the units count, 1 to 64).
UnitCacheRecord* attach_unit_cache_records(ControllerRecord& record);
// One record per entry of the port list (1 to 128).
DriveRecord* attach_drive_records(ControllerRecord& record);
// One record per entry of the phy list (1 to 128).
PhyRecord* attach_phy_records(ControllerRecord& record);
BatteryRecord* attach_battery(ControllerRecord& record);
