// The descriptor lists the library sends to create or migrate a unit of a
// second-series controller, and the port bitmap of the port scan and import
// commands. Pure builders over bytes: they check only that the records fit
// their buffer; whether a request is allowed at all is decided before.
//
// A list holds, in this order: the unit record (children, type as stored,
// stripe code; byte 18 = 1 for RAID 6), RAID 6's one task record, for a
// nested unit each sub-unit record followed by its drive records, the drive
// records (type 12, the port in byte 3) in the caller's order, and the
// volume records of a unit carved into LUNs.
#pragma once

#include <cstddef>
#include <cstdint>

#include "backend/unit_descriptor.h"

struct UnitListBuffer {
    static constexpr int kMaxRecords = 203;
    static constexpr size_t kBytes = size_t(kMaxRecords) * unit_record::kSize;  // 4060
    uint8_t bytes[kBytes];
    int records = 0;
    uint16_t length() const { return uint16_t(size_t(records) * unit_record::kSize); }
};

// Volume sizes as callers give them, in units of 1024 bytes.
struct VolumeSizes {
    const uint64_t* sizes = nullptr;
    uint32_t count = 0;
};

// 32 bytes; port p is bit (p AND 7) of byte p / 8. Ports are below 128.
struct PortBitmap {
    static constexpr size_t kBytes = 32;
    uint8_t bytes[kBytes] = {};
    void set(uint8_t port) { bytes[port / 8] |= uint8_t(1u << (port & 7)); }
};

// The drives per sub-unit of a RAID 50 of the given number of drives when
// the caller asks for asked: rows with one way of dividing the drives take
// it whatever was asked. 0 when the division is refused.
uint32_t raid50_group_size(uint32_t drives, int32_t asked);

// The builders zero the buffer and write the list; false, with nothing
// usable in it, when the records would not fit or the volumes' sectors do
// not fit 64 bits. Stripe codes are written as given.
bool build_single_drive_list(uint8_t type, uint8_t port, UnitListBuffer* out);
// RAID 0 (0), RAID 1 (2), RAID 5 (5) and RAID 6 (7).
bool build_flat_list(uint8_t type, uint8_t stripe, const uint8_t* ports, uint32_t count,
                     VolumeSizes volumes, UnitListBuffer* out);
// RAID 10 (6: sub-units of two drives) and RAID 50 (8: sub-units of group
// drives, the stripe code in the sub-units).
bool build_nested_list(uint8_t type, uint8_t stripe, const uint8_t* ports, uint32_t count,
                       uint32_t group, VolumeSizes volumes, UnitListBuffer* out);
