// The first series' unit configuration descriptor: the unit's configuration
// as the firmware stores it (at most 512 bytes, little-endian), the walk to
// the record a unit identifier's path names, and the descriptors that
// CreateUnit receives. Pure functions over bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "driver/series_command.h"

namespace legacy_descriptor {

constexpr size_t kMaxSize = 512;

// Offsets of the whole descriptor and of every record: member count, type,
// stripe code (or a single drive's port), failed-member mask, capacity.
constexpr size_t kCount = 0;
constexpr size_t kType = 1;
constexpr size_t kStripe = 2;
constexpr size_t kPort = 2;
constexpr size_t kFailedMask = 3;
constexpr size_t kCapacity = 8;
constexpr size_t kMemberIndex = 3;  // in a drive record

// Members of RAID 0, 1 and 5 (and the drives of a RAID 10 mirror) are
// 12-byte drive records from offset 12; RAID 10 keeps one status byte per
// mirror from 14 and one 36-byte mirror record per mirror from 24.
constexpr size_t kDriveRecordSize = 12;
constexpr size_t kMembers = 12;
constexpr size_t kMirrorStatus = 14;
constexpr size_t kMirrorStatusBytes = 10;  // 14 to 23
constexpr size_t kMirrorRecordSize = 36;
constexpr size_t kMirrors = 24;
constexpr size_t kMirrorDrives = 2;  // drive records in a mirror record

// Unit types as the first series uses them.
enum UnitType : uint8_t {
    kRaid0 = 0,
    kRaid1 = 1,
    kRaid1Created = 2,
    kRaid5 = 5,
    kRaid10 = 6,
    kDisk = 12,
    kSpare = 13,
    kDiskReadBack = 14,
    kJbod = 15,
};

// Data lengths of CreateUnit by kind of descriptor.
constexpr uint32_t kCreateDataRaid = 204;
constexpr uint32_t kCreateDataRaid10 = 312;
constexpr uint32_t kCreateDataSingle = 512;

// Where a record lies in the descriptor.
struct Record {
    size_t offset;
    size_t size;
};

// The record an identifier of depth 1 to 3 names, with its sub-unit index
// (byte 5) and drive index (byte 6): the whole descriptor at depth 1; a
// member drive record of RAID 0, 1 and 5 at depth 2; a RAID 10 mirror
// record at depth 2 and one of its drive records at depth 3. Every index
// must lie below its count and every record inside the descriptor's length.
// False for any other path.
bool find_record(const uint8_t* descriptor, size_t length, uint8_t depth, uint8_t subunit,
                 uint8_t drive, Record* out);

// The drive records a record holds, by port: a single drive's own port
// (types 12 to 15), one per member (types 0, 1, 2, 5 and a RAID 10 mirror)
// or one per mirror drive (type 6), in order, at most room of them; only
// records inside length count. -1 for any other type, else the number.
int record_drive_ports(const uint8_t* record, size_t length, uint8_t* ports, int room);

// The record's count of members (drives, mirrors or a mirror's drives),
// limited to the records that lie inside length.
size_t member_count(const uint8_t* record, size_t length);

// The path of the drive on port inside a RAID descriptor: the member index
// (RAID 0, 1, 5) or the mirror and its drive (RAID 10), the first match in
// member order. False when no member has the port or the type has none.
bool find_port(const uint8_t* descriptor, size_t length, uint8_t port, uint8_t* subunit,
               uint8_t* drive, uint8_t* depth);

// Little-endian fields.
inline uint16_t load16(const uint8_t* p) { return uint16_t(le::load(p, 2)); }
inline uint32_t load32(const uint8_t* p) { return uint32_t(le::load(p, 4)); }
inline void store32(uint8_t* p, uint32_t value) { le::store(p, value, 4); }

// A RAID descriptor as CreateUnit receives it, for the drives' ports in
// member order: each drive contributes share bytes of capacity, the unit
// holds capacity in all. RAID 10 pairs the ports into mirrors in order and
// records each mirror's capacity as mirror_capacity. Fills out (kMaxSize
// bytes, zeroed first) and gives the descriptor's meaningful length and the
// command's data length.
struct RaidLayout {
    uint8_t type;
    uint8_t stripe;
    const uint8_t* ports;
    int drives;
    uint32_t capacity;
    uint32_t share;
    uint32_t mirror_capacity;
};
void build_raid(const RaidLayout& layout, uint8_t* out, uint16_t* length, uint32_t* data_length);

// A single-drive descriptor (types 12, 13, 15): 12 meaningful bytes in a
// 512-byte command.
void build_single(uint8_t type, uint8_t port, uint32_t capacity, uint8_t* out, uint16_t* length,
                  uint32_t* data_length);

}  // namespace legacy_descriptor
