// Firmware images and versions as they cross the library's public interface:
// the header of a controller firmware image, the compatibility report of an
// image check, and the version records of drive and enclosure firmware.
// Every record is a byte layout of its own; the header's integers are in the
// host's order (an image file holds them little-endian).
#pragma once

#include <cstddef>
#include <cstdint>

// The first 64 bytes of a controller firmware image.
struct FirmwareImageHeader {
    static constexpr uint32_t kMagic = 0xBADDECAF;
    static constexpr size_t kSize = 64;
    static constexpr size_t kVersionSize = 16;

    uint16_t word_0;
    uint16_t word_2;
    uint32_t image_size;  // the whole image, header included
    uint32_t word_8;
    uint32_t architecture;  // must equal the controller's architecture id
    uint16_t word_16;
    uint16_t word_18;
    uint16_t branch;
    uint16_t build;
    uint16_t srl;  // the image's SRL, the leading part of its version
    uint16_t second_srl;
    uint32_t magic;
    uint8_t bytes_32[16];
    char version[kVersionSize];  // not necessarily NUL-terminated
};
static_assert(sizeof(FirmwareImageHeader) == FirmwareImageHeader::kSize);
static_assert(offsetof(FirmwareImageHeader, srl) == 24);
static_assert(offsetof(FirmwareImageHeader, version) == 48);

// What an image check finds, 227 bytes. The daemon words its message from
// the two verdicts: library and driver both compatible, either one not, or
// neither.
struct FirmwareCompatReport {
    static constexpr size_t kLibraryVersionSize = 32;
    static constexpr size_t kDriverVersionSize = 128;
    static constexpr size_t kFirmwareVersionSize = 32;

    uint8_t library_verdict;  // 1 the image suits this library, else 0
    char library_version[kLibraryVersionSize];
    uint8_t driver_verdict;  // 0 not compatible, 1 compatible, 2 newer than the running firmware
    char driver_version[kDriverVersionSize];
    uint8_t controller_verdict;                             // 1 in every filled report
    char firmware_version[kFirmwareVersionSize];            // the firmware the controller runs
    char image_version[FirmwareImageHeader::kVersionSize];  // the header's text as it is
    uint8_t image_version_end;                              // 0
    uint8_t reserved[15];                                   // 0
};
static_assert(sizeof(FirmwareCompatReport) == 227);

// A drive's or enclosure module's firmware compared with an image file, 65
// bytes.
struct FirmwareVersionRecord {
    static constexpr size_t kTextSize = 32;
    enum : uint8_t {
        kNotCompared = 0,
        kInstalledOlder = 1,
        kInstalledNewer = 2,
        kSame = 3,
        kInstalledUnknown = 128,
    };

    uint8_t verdict;
    char installed[kTextSize];
    char file[kTextSize];
};
static_assert(sizeof(FirmwareVersionRecord) == 65);

// The firmware versions of an enclosure's modules, 133 bytes.
struct EnclosureFirmwareVersionList {
    static constexpr size_t kModules = 4;
    struct Entry {
        uint8_t module;
        char version[FirmwareVersionRecord::kTextSize];
    };

    uint8_t count;
    Entry entries[kModules];
};
static_assert(sizeof(EnclosureFirmwareVersionList) == 133);
