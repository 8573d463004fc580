// What a unit may be made of, as the maintenance page offers it and the
// server checks it again before it changes anything: the unit types by the
// names the page sends, the types a number of drives allows (for a new unit
// and for a unit migrated to another type), the stripe sizes of each type,
// the drives per subunit of a RAID 50, unit names, and the drives a unit may
// take.
#pragma once

#include <cstdint>

#include "driver/object_id.h"

struct ControllerRecord;

struct UnitType {
    const char* name;  // as the page sends it
    int code;          // the library's unit type
    bool keeps_stripe;
    bool keeps_subunits;  // the drives per subunit the request gives
    bool sets_ecc;        // the rebuild's ECC policy applies
    bool per_drive;       // one unit per drive
};

// The type the page's name stands for (the whole text), or null.
const UnitType* find_unit_type(const char* name);

// The unit type codes the rules name.
enum : int {
    kUnitRaid0 = 0,
    kUnitRaid1 = 2,
    kUnitRaid5 = 5,
    kUnitRaid10 = 6,
    kUnitRaid6 = 7,
    kUnitRaid50 = 8,
    kUnitSingle = 11,
    kUnitDisk = 12,
    kUnitSpare = 13,
    kUnitDiskOther = 14,
    kUnitJbod = 15,
};

// True when a new unit of the type may be made of `drives` drives on the
// controller: RAID 0 of 2 or more, RAID 1 of 2, RAID 5 of 3 or more, RAID 6
// of 5 or more where the controller allows it, RAID 10 of an even 4 or
// more, RAID 50 (second series) of 6 or more but 7, 11, 13, 17, 19, 23, 25,
// 29 and 31; the single-drive types of any number, one unit each.
bool create_type_offered(const UnitType& type, int drives, const ControllerRecord& controller);

// True when a unit of current_type with unit_drives drives (subunit_drives
// per subunit for a RAID 50) may become the new type with `drives` drives
// in all: each type needs room for the unit's data, and a RAID 1 of two
// drives alone may split into single disks.
bool migrate_type_offered(const UnitType& type, int drives, int current_type, int unit_drives,
                          int subunit_drives, const ControllerRecord& controller);

// True when the stripe code is one the page offers for the type on this
// controller (any code for a type whose stripe is not kept).
bool stripe_offered(const UnitType& type, int stripe, const ControllerRecord& controller);

// True when a RAID 50 of `drives` drives may have `per_subunit` drives per
// subunit (0: the controller chooses).
bool subunits_offered(int drives, int per_subunit);

// True for a unit name of at most 20 bytes of UTF-8 holding no blank, no
// control character and none of % & , ; : " ' { } | \ ~ ` * [ ] < > ( ) @.
bool unit_name_valid(const char* name);
// The same test of the characters alone, for a name of any length.
bool unit_name_characters_valid(const char* name);

// Interface classes of a drive.
enum DriveClass : int { kClassNone = 0, kClassSata = 1, kClassSas = 2 };
DriveClass drive_class(uint8_t interface);

// Why a drive may not go into a new unit (or be added to a unit).
enum DriveRefusal : int {
    kDriveFree = 0,     // free, or a single disk that is released first
    kDriveAbsent = 1,   // no drive on that port, or the port does not exist
    kDriveInUse = 2,    // a spare, a member of a unit, or part of an exported unit
    kDriveUnknown = 3,  // the library could not tell (its error record says why)
};

// Looks at the drive on port of the controller; its identifier in *drive.
DriveRefusal check_drive(const ControllerRecord& controller, int port, ObjectId* drive);

// Deletes the single disk unit that holds each drive of the list, so that
// its drive can go into a new or a migrated unit; the unit number own_unit
// is never deleted. Results are not checked: a failure shows in the
// command that needs the drive.
class CommandLogger;
void release_single_disks(CommandLogger* logger, const IdList& drives, int own_unit);
