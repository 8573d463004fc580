// Public pass-through functions that check their command before it reaches
// a device: only commands that read, or that do no harm to data, go
// through; everything else is refused with nothing sent, and so is a byte
// argument outside 0 to 255.
#include <cstddef>

#include "api/ctl.h"
#include "api/family_router.h"
#include "api/public_arguments.h"
#include "driver/record_failure.h"

namespace {

constexpr int32_t kLongestEnclosureCdb = 16;

// Enclosure services: TEST UNIT READY, REQUEST SENSE, INQUIRY, RECEIVE
// DIAGNOSTIC RESULTS, SEND DIAGNOSTIC, WRITE BUFFER, READ BUFFER.
constexpr uint8_t kEnclosureCommands[] = {0x00, 0x03, 0x12, 0x1C, 0x1D, 0x3B, 0x3C};

// ATA protocol codes the firmware carries with a command.
constexpr int32_t kNonData = 8, kDmaIn = 9, kPioIn = 13, kPioOut = 15;

struct AtaCommand {
    uint8_t command;
    int32_t protocol;
};
constexpr AtaCommand kAtaCommands[] = {
    {0x00, kNonData},  // NOP
    {0x20, kPioIn},    // READ SECTORS
    {0x24, kPioIn},    // READ SECTORS EXT
    {0x25, kDmaIn},    // READ DMA EXT
    {0x27, kNonData},  // READ NATIVE MAX ADDRESS EXT
    {0x2A, kDmaIn},    // READ STREAM DMA EXT
    {0x2B, kPioIn},    // READ STREAM EXT
    {0x2F, kPioIn},    // READ LOG EXT
    {0x37, kNonData},  // SET MAX ADDRESS EXT
    {0x3F, kPioOut},   // WRITE LOG EXT
    {0x40, kNonData},  // READ VERIFY SECTORS
    {0x42, kNonData},  // READ VERIFY SECTORS EXT
    {0x70, kNonData},  // SEEK
    {0xC8, kDmaIn},    // READ DMA
    {0xE1, kNonData},  // IDLE IMMEDIATE
    {0xE3, kNonData},  // IDLE
    {0xE4, kPioIn},    // READ BUFFER
    {0xE5, kNonData},  // CHECK POWER MODE
    {0xE7, kNonData},  // FLUSH CACHE
    {0xE8, kPioOut},   // WRITE BUFFER
    {0xEA, kNonData},  // FLUSH CACHE EXT
    {0xEC, kPioIn},    // IDENTIFY DEVICE
    {0xF5, kNonData},  // SECURITY FREEZE LOCK
    {0xF8, kNonData},  // READ NATIVE MAX ADDRESS
};

// SMART (0xB0) by its features register.
constexpr uint8_t kSmart = 0xB0;
constexpr AtaCommand kSmartFeatures[] = {
    {0xD0, kPioIn},    // READ DATA
    {0xD1, kPioIn},    // READ ATTRIBUTE THRESHOLDS
    {0xD2, kNonData},  // ENABLE/DISABLE ATTRIBUTE AUTOSAVE
    {0xD4, kNonData},  // EXECUTE OFF-LINE IMMEDIATE
    {0xD5, kPioIn},    // READ LOG
    {0xD6, kPioOut},   // WRITE LOG
    {0xD8, kNonData},  // ENABLE OPERATIONS
    {0xDA, kNonData},  // RETURN STATUS
};

constexpr int32_t kLongestDriveCdb = 256;
constexpr uint8_t kNoData = 0x80, kLastDirection = 0x83;

// Drive commands that read or verify. Where a service action is named, the
// low five bits of byte 1 must be one of those listed.
struct DriveCommand {
    uint8_t opcode;
    uint32_t service_actions;  // a bit per action; 0: any
};
constexpr DriveCommand kDriveCommands[] = {
    {0x00, 0},           // TEST UNIT READY
    {0x08, 0},           // READ(6)
    {0x12, 0},           // INQUIRY
    {0x1A, 0},           // MODE SENSE(6)
    {0x1C, 0},           // RECEIVE DIAGNOSTIC RESULTS
    {0x25, 0},           // READ CAPACITY(10)
    {0x28, 0},           // READ(10)
    {0x2F, 0},           // VERIFY(10)
    {0x37, 0},           // READ DEFECT DATA(10)
    {0x3C, 0},           // READ BUFFER
    {0x4D, 0},           // LOG SENSE
    {0x5A, 0},           // MODE SENSE(10)
    {0x88, 0},           // READ(16)
    {0x8F, 0},           // VERIFY(16)
    {0x9E, 1u << 0x10},  // SERVICE ACTION IN(16): READ CAPACITY(16)
    {0xA0, 0},           // REPORT LUNS
    {0xA3, 0xFC20},      // MAINTENANCE IN: 0x05 and 0x0A to 0x0F
    {0xA8, 0},           // READ(12)
    {0xAB, 1u << 0x01},  // SERVICE ACTION IN(12)
    {0xAF, 0},           // VERIFY(12)
    {0xB7, 0},           // READ DEFECT DATA(12)
};

template <size_t N>
const AtaCommand* find(const AtaCommand (&list)[N], uint16_t value) {
    for (const AtaCommand& c : list)
        if (c.command == value) return &c;
    return nullptr;
}

bool is_enclosure_command(uint8_t opcode) {
    for (uint8_t c : kEnclosureCommands)
        if (c == opcode) return true;
    return false;
}

// 0, or the API error that refuses the command block.
int32_t drive_command_refusal(const uint8_t* cdb, int32_t cdb_length) {
    for (const DriveCommand& c : kDriveCommands) {
        if (c.opcode != cdb[0]) continue;
        if (c.service_actions == 0) return 0;
        // The service action is in byte 1, which a shorter block lacks.
        if (cdb_length < 2) return kInvalidArgument;
        return (c.service_actions >> (cdb[1] & 0x1F) & 1) != 0 ? 0 : kApiScsiCommandNotSupported;
    }
    return kApiScsiCommandNotSupported;
}

}  // namespace

extern "C" {

int ctl_send_checked_drive_scsi_command(ObjectId id, int unused, int direction, const uint8_t* cdb,
                                        int32_t cdb_length, uint8_t* status, uint8_t* sense,
                                        int32_t sense_length, void* data, int32_t data_length,
                                        int32_t timeout_seconds) {
    if (!fits_byte(unused) || !fits_byte(direction)) return fail_with_api_error(kInvalidArgument);
    const uint8_t way = uint8_t(direction);
    if (cdb == nullptr || cdb_length < 1 || cdb_length > kLongestDriveCdb || way < kNoData ||
        way > kLastDirection || data_length < 0 ||
        (way != kNoData && (data == nullptr || data_length == 0)))
        return fail_with_api_error(kInvalidArgument);
    if (const int32_t refusal = drive_command_refusal(cdb, cdb_length))
        return fail_with_api_error(refusal);
    return family_router().send_drive_scsi_command(id, uint8_t(unused), way, cdb, cdb_length,
                                                   status, sense, sense_length, data, data_length,
                                                   timeout_seconds);
}

int ctl_send_enclosure_scsi_command(ObjectId id, const uint8_t* cdb, int32_t cdb_length,
                                    uint8_t* status, uint8_t* sense, int32_t sense_size, void* data,
                                    int32_t length, int32_t timeout_seconds, int lun) {
    if (cdb == nullptr || cdb_length < 1 || cdb_length > kLongestEnclosureCdb || length < 0 ||
        (length > 0) != (data != nullptr) || !fits_byte(lun))
        return fail_with_api_error(kInvalidArgument);
    if (!is_enclosure_command(cdb[0])) return fail_with_api_error(kApiScsiCommandNotSupported);
    return family_router().send_enclosure_scsi_command(id, cdb, cdb_length, status, sense,
                                                       sense_size, data, length, timeout_seconds,
                                                       uint8_t(lun));
}

int ctl_send_firmware_command(ObjectId id, int flag, const uint8_t* area, void* data,
                              int32_t length) {
    if (area == nullptr || length < 0 || (length > 0) != (data != nullptr) || !fits_byte(flag))
        return fail_with_api_error(kInvalidArgument);
    return family_router().send_firmware_command(id, uint8_t(flag), area, data, length);
}

int ctl_send_checked_ata_command_timed(ObjectId id, int size_code, uint16_t* features,
                                       uint16_t* sector_count, uint16_t* lba_low, uint16_t* lba_mid,
                                       uint16_t* lba_high, uint8_t* device, uint8_t* command,
                                       void* data, int32_t timeout_seconds) {
    if (features == nullptr || sector_count == nullptr || lba_low == nullptr ||
        lba_mid == nullptr || lba_high == nullptr || device == nullptr || command == nullptr ||
        !fits_byte(size_code))
        return fail_with_api_error(kInvalidArgument);
    const AtaCommand* accepted = *command == kSmart ? nullptr : find(kAtaCommands, *command);
    if (*command == kSmart) {
        accepted = find(kSmartFeatures, *features);
        if (accepted == nullptr) return fail_with_api_error(kApiSmartFeatureNotSupported);
    }
    if (accepted == nullptr) return fail_with_api_error(kApiAtaCommandNotSupported);
    return family_router().send_ata_command(id, uint8_t(size_code), accepted->protocol, features,
                                            sector_count, lba_low, lba_mid, lba_high, device,
                                            command, data, timeout_seconds);
}

int ctl_send_checked_ata_command(ObjectId id, int size_code, uint16_t* features,
                                 uint16_t* sector_count, uint16_t* lba_low, uint16_t* lba_mid,
                                 uint16_t* lba_high, uint8_t* device, uint8_t* command,
                                 void* data) {
    return ctl_send_checked_ata_command_timed(id, size_code, features, sector_count, lba_low,
                                              lba_mid, lba_high, device, command, data, 0);
}

}  // extern "C"
