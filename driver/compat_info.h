// The driver's compatibility record, the answer to control code 257: the
// driver's version text and the firmware SRLs it accepts and runs. 128 bytes,
// little-endian; the SAS driver serves only its first 56 bytes (from sysfs).
#pragma once

#include <cstddef>
#include <cstdint>

struct DriverCompatInfo {
    static constexpr size_t kSize = 128;
    static constexpr size_t kKeptSize = 56;  // what the driver layer keeps
    static constexpr size_t kVersionSize = 32;
    // The character of the version text that marks a virtual-machine driver.
    static constexpr size_t kVmMarkIndex = 11;
    static constexpr char kVmMark = 'v';

    // Bytes 0 to 31 hold the version text, NUL-terminated by the driver (not
    // guaranteed: read it with strnlen over kVersionSize).
    uint8_t bytes[kSize];

    uint16_t highest_srl() const { return field(38); }
    uint16_t lowest_srl() const { return field(44); }
    uint16_t running_srl() const { return field(50); }
    uint16_t running_branch() const { return field(52); }
    uint16_t running_build() const { return field(54); }

  private:
    uint16_t field(size_t offset) const { return uint16_t(bytes[offset] | bytes[offset + 1] << 8); }
};
static_assert(sizeof(DriverCompatInfo) == DriverCompatInfo::kSize);
