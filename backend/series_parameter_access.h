// One firmware parameter of the second series, named by its table, id and
// size, and the back end's ways of moving it as a little-endian number or a
// trimmed text. The parameters named here are those of more than one
// back-end file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "backend/series_backend.h"
#include "driver/series_command.h"
#include "driver/trim_whitespace.h"

namespace series_access {

// Per-object tables by their first id (drive 0x200 + port, unit 0x300 +
// unit, schedule slot 0x8410 + slot, ...).
struct Parameter {
    uint32_t table;
    uint32_t id;
    uint32_t size;
};

// The same parameter in the table of one object.
inline Parameter of_object(Parameter p, uint32_t number) {
    p.table += number;
    return p;
}

// A number of the parameter's width (at most 8 bytes), zero-extended.
inline int read_number(ObjectId id, Parameter p, uint64_t* value) {
    uint8_t bytes[8];
    if (SeriesBackend::get_parameter(id, bytes, sizeof bytes, p.table, p.id, p.size) != 0)
        return -1;
    *value = le::load(bytes, p.size);
    return 0;
}

template <typename T>
int read_as(ObjectId id, Parameter p, T* out) {
    uint64_t value;
    if (read_number(id, p, &value) != 0) return -1;
    *out = T(value);
    return 0;
}

inline int write_number(ObjectId id, Parameter p, uint64_t value) {
    uint8_t bytes[8];
    le::store(bytes, value, p.size);
    return SeriesBackend::set_parameter(id, bytes, sizeof bytes, p.table, p.id, p.size);
}

// A text parameter: read into a zeroed buffer of the result's size (larger
// than the parameter, so it ends in NULs), trimmed, and handed over whole.
inline int read_text(ObjectId id, Parameter p, char* out, size_t out_size) {
    char buffer[SeriesBackend::kModelSize];
    if (SeriesBackend::get_parameter(id, buffer, uint32_t(out_size), p.table, p.id, p.size) != 0)
        return -1;
    trim_whitespace(buffer);
    std::memcpy(out, buffer, out_size);
    return 0;
}

// Controller settings (0x403).
constexpr Parameter kPorts{0x403, 3, 1};
// The port-status array: one byte per port 0 to 127, bit 7 set when the
// port holds a drive.
constexpr Parameter kPortStatus{2, 3, 128};
constexpr uint32_t kPortSlots = 128;
constexpr uint8_t kDrivePresent = 0x80;

// The two port tests over what their one read gave: a drive in the port
// (non-zero), and a port within the controller's ports (1; a count of 0
// accepts port 0).
inline int drive_in_port(const uint8_t* status, uint32_t port) {
    return port < kPortSlots ? status[port] & kDrivePresent : 0;
}
inline int port_within(uint32_t ports, uint32_t port) {
    if (ports > 0) --ports;
    return port <= ports ? 1 : 0;
}
inline int read_port_status(ObjectId id, uint8_t* status) {
    return SeriesBackend::get_parameter(id, status, kPortSlots, kPortStatus.table, kPortStatus.id,
                                        kPortStatus.size);
}
constexpr Parameter kSpinups{0x403, 7, 1};
constexpr Parameter kStaggerTime{0x403, 8, 1};
constexpr Parameter kAutoRebuild{0x403, 28, 1};
constexpr Parameter kSetting42{0x403, 42, 1};
// Unit cache policies (0x300 + unit): parameter 13 bit 0 read cache off and
// bit 2 write cache on, parameter 29 bit 5 basic read cache.
constexpr Parameter kUnitPolicy{0x300, 13, 1};
constexpr Parameter kUnitReadCacheMode{0x300, 29, 1};
constexpr uint8_t kReadCacheOff = 0x01;
constexpr uint8_t kWriteCacheOn = 0x04;
constexpr uint8_t kBasicReadCache = 0x20;
// Background tasks (0x840C) and schedule slots (0x8410 + slot).
constexpr Parameter kRebuildRate{0x840C, 5, 1};
constexpr Parameter kVerifyRate{0x840C, 6, 1};
constexpr Parameter kSelftestFlags{0x840C, 9, 2};
constexpr Parameter kRebuildMode{0x840C, 13, 1};
constexpr Parameter kVerifyMode{0x840C, 14, 1};
constexpr Parameter kSelftestTask{0x8410, 2, 2};
constexpr Parameter kRebuildTask{0x8410, 3, 4};
constexpr Parameter kVerifyTask{0x8410, 4, 4};

}  // namespace series_access
