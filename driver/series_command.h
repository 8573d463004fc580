// A second-series driver request as the library builds it: the 24-byte
// driver header with its control code and the zeroed 1024-byte command area,
// whose firmware command packet starts at offset 128.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "driver/driver_request_layout.h"

// The firmware command packet shared by every second-series command.
namespace series_packet {
constexpr size_t kOpcode = 0;
constexpr size_t kSizeWords = 1;  // packet size in 32-bit words
constexpr size_t kUnit = 3;       // unit or port of a command on one of them
constexpr size_t kStatus = 4;     // 0: success
constexpr size_t kCount = 6;      // u16 count or sub-code

constexpr uint8_t kGetParameter = 0x52;
constexpr uint8_t kSetParameter = 0x53;
}  // namespace series_packet

// The data of GET and SET PARAMETER: table id OR 0x8000, parameter id,
// parameter size and 0, each 16 bits, then the value.
namespace parameter_block {
constexpr size_t kTable = 0;
constexpr size_t kParameter = 2;
constexpr size_t kSize = 4;
constexpr size_t kValue = 8;
constexpr uint16_t kTableMark = 0x8000;
}  // namespace parameter_block

struct SeriesDriverRequest {
    uint8_t header[driver_request::kHeaderSize];
    uint8_t area[driver_request::kAreaSize];

    explicit SeriesDriverRequest(uint32_t control_code) {
        std::memset(header, 0, sizeof header);
        std::memset(area, 0, sizeof area);
        for (int i = 0; i < 4; ++i)
            header[driver_request::kHeaderCode + i] = uint8_t(control_code >> (8 * i));
    }
    uint8_t* packet() { return area + driver_request::kAreaPacket; }
};

// Little-endian values of 1 to 8 bytes, as the firmware keeps them.
namespace le {
inline void store(uint8_t* p, uint64_t value, size_t size) {
    for (size_t i = 0; i < size; ++i) p[i] = uint8_t(value >> (8 * i));
}
inline uint64_t load(const uint8_t* p, size_t size) {
    uint64_t value = 0;
    for (size_t i = size; i-- > 0;) value = value << 8 | p[i];
    return value;
}
}  // namespace le

// Big-endian values, as SCSI command blocks and pages hold them.
namespace be {
inline void store(uint8_t* p, uint64_t value, size_t size) {
    for (size_t i = 0; i < size; ++i) p[i] = uint8_t(value >> (8 * (size - 1 - i)));
}
}  // namespace be
