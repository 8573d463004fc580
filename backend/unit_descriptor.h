// The unit configuration of a second-series controller: each top-level unit
// is a flat list of 20-byte records in preorder (the unit's own record, then
// for each child, a sub-unit or a member drive place, the child's record and
// the child's own subtree). A RAID 6 unit record is followed by its task
// records before its members; task records are not children and take no
// place in a path. This file holds the record layout, the value sets its
// bytes carry, the list as read, and the preorder walk that finds the record
// of a unit, sub-unit or drive by its identifier. It reads nothing from a
// controller: every routine works on a list already in memory and never
// reads past it, whatever its records claim.
#pragma once

#include <cstddef>
#include <cstdint>

#include "driver/object_id.h"

// One record, little-endian, as the firmware returns it and as the library
// sends it.
namespace unit_record {
constexpr size_t kSize = 20;
constexpr size_t kChildren = 0;    // child records (sub-units or member drive places)
constexpr size_t kType = 1;        // UnitType; 12 a member drive place, 0x30 a task record
constexpr size_t kStripe = 2;      // stripe code: 1 << (code - 1) KiB
constexpr size_t kStateIndex = 3;  // member the state concerns; a drive's port
constexpr size_t kStatus = 5;      // UnitStatus
constexpr size_t kProgress = 6;    // u16: bits 0-14 progress in 1/1024, bit 15 task flag
constexpr size_t kCapacityLow = 12;   // u32: low 32 bits of the capacity in sectors
constexpr size_t kCapacityHigh = 16;  // u16: its high 16 bits
constexpr size_t kTaskRecords = 18;   // task records after a RAID 6 unit record
constexpr size_t kFlags = 19;         // bit 7: the unit is initialised

constexpr uint16_t kProgressMask = 0x7FFF;
constexpr uint16_t kProgressWhole = 1024;
constexpr uint8_t kNoPort = 0xFF;      // a member place without a drive
constexpr uint8_t kTerminator = 0xFF;  // bytes 0 and 1 of the record that ends a list
}  // namespace unit_record

// Byte 1 of a unit record; also what the unit type query reports.
enum UnitType : uint8_t {
    kUnitRaid0 = 0,  // also the top of a RAID 10 or RAID 50 unit
    kUnitRaid1 = 1,
    kUnitRaid1Mirror = 2,  // RAID 1 as the library creates it
    kUnitRaid5 = 5,
    kUnitRaid10 = 6,  // reported for RAID 0 over RAID 1 sub-units
    kUnitRaid6 = 7,
    kUnitRaid50 = 8,  // reported for RAID 0 over RAID 5 sub-units
    kUnitSingle = 11,
    kUnitDisk = 12,  // a member drive place, or a drive held alone as a unit
    kUnitSpare = 13,
    kUnitDiskAlone = 14,
    kUnitJbod = 15,
    kUnitMigrating = 0x20,  // source (sub-unit 0) and destination (sub-unit 1)
    kUnitTaskRecord = 0x30,
    kUnitVolume = 0x80,
};

// Byte 5 of a record.
enum UnitStatus : uint8_t {
    kStatusInoperable = 0,
    kStatusUnknown = 17,  // the library's own: no record gives a status
    kStatusMigrating = 175,
    kStatusRecovering = 191,
    kStatusRebuilding = 223,
    kStatusDegraded = 239,
    kStatusInitializing = 247,
    kStatusVerifying = 251,
    kStatusOk = 255,
};

// A unit's list as read: the firmware's records from place 0, then a
// terminator record; every other byte 0. Places run from 0 to kLastPlace
// (194 records and the terminator fill the buffer).
struct UnitDescriptorList {
    static constexpr size_t kBytes = 3900;
    static constexpr int kMaxRecords = 194;
    static constexpr int kLastPlace = kMaxRecords;
    uint8_t bytes[kBytes];

    // The record at a place, or null outside the buffer.
    const uint8_t* record(int place) const {
        return place >= 0 && place <= kLastPlace ? bytes + size_t(place) * unit_record::kSize
                                                 : nullptr;
    }
    // The type byte at a place; the terminator's 0xFF outside the buffer.
    uint8_t type_at(int place) const {
        const uint8_t* r = record(place);
        return r == nullptr ? unit_record::kTerminator : r[unit_record::kType];
    }
};

// Units whose own record holds their status, progress and flags; RAID 10
// and RAID 50 units answer from their sub-units, member drive places from
// their parents.
inline bool record_holds_unit_state(int32_t type) {
    switch (type) {
        case kUnitRaid0:
        case kUnitRaid1:
        case kUnitRaid1Mirror:
        case kUnitRaid5:
        case kUnitRaid6:
        case kUnitSingle:
        case kUnitSpare:
        case kUnitJbod:
        case kUnitMigrating:
            return true;
    }
    return false;
}

// Statuses of a unit whose background task (verify, initialisation or
// rebuild) runs or is paused.
inline bool status_has_task(uint8_t status) {
    return status == kStatusVerifying || status == kStatusInitializing ||
           status == kStatusRebuilding;
}

// Values of one record.
inline uint16_t record_progress(const uint8_t* r) {
    return uint16_t((r[unit_record::kProgress] | r[unit_record::kProgress + 1] << 8) &
                    unit_record::kProgressMask);
}
uint64_t record_capacity(const uint8_t* r);

// The identifier of a member place's parent, one level up (the member's
// last path byte and the later ones 0xFF, the depth one less), and the
// member's index in its parent (that last path byte). For identifiers of
// depth 2 to 4.
inline ObjectId unit_parent_id(ObjectId member) {
    const uint8_t depth = member.b[3];
    for (int i = depth - 1; i < 4; ++i) member.b[4 + i] = 0xFF;
    member.b[3] = uint8_t(depth - 1);
    return member;
}
inline uint8_t unit_member_index(ObjectId member) { return member.b[4 + member.b[3] - 1]; }

// Where a search found its target: the place of the record (-1 none) and the
// identifier of that place (kind 2, the target's controller, depth and path).
struct DescriptorMatch {
    int place = -1;
    ObjectId id{};
};

// The state of one preorder walk: the places entered, one per level, the
// identifier of the current place (bytes not in use 0xFF), and the cursor,
// the place of the last record visited. Trees have at most four levels, the
// four path bytes of an identifier.
struct DescriptorWalker {
    static constexpr int kStackSize = 8;
    static constexpr uint8_t kMaxDepth = 4;
    static constexpr uint8_t kEmpty = 255;

    int stack[kStackSize];
    uint8_t top = kEmpty;  // stack index, 255 when empty
    ObjectId id{};
    int cursor = 0;

    // Enters the root: depth 1, path byte 0 the unit number.
    void start(int root, uint8_t controller, uint8_t unit);
    // Enters the first child of the current place; false, with nothing
    // changed, when that would go past the fourth level.
    bool enter_level(int child);
    // Moves to the next sibling at the current level.
    void next_sibling(int place);
    // Returns to the parent level.
    void leave_level();
    uint8_t depth() const { return id.b[3]; }
};

// The record of the target in the list, whose root is the unit named by the
// target's byte 4: a unit identifier (kind 2) names a place by depth and
// path; a drive identifier (kind 3) finds the first member drive record, in
// preorder, that holds the drive's port (byte 2). 0 when found; -1 when not,
// with nothing recorded; -1 with API error 34 for any other kind, or API
// error 13 when the list nests deeper than four levels before the target
// is found.
int search_descriptor(const UnitDescriptorList& list, ObjectId target, DescriptorMatch* found);
