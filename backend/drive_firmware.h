// Firmware of a drive behind a controller of family 6, 7, 8 or 10: an image
// file downloaded to a SATA drive by DOWNLOAD MICROCODE or to a SAS drive by
// WRITE BUFFER, in pieces of at most 32 KiB sent through the dispatcher's
// pass-through to the drive; and the drive's firmware version.
#pragma once

#include <cstddef>
#include <cstdint>

#include "backend/firmware_records.h"
#include "driver/object_id.h"

namespace drive_firmware {

constexpr size_t kPieceSize = 32768;
// The last piece's offset must fit the command: 16 bits of 512-byte blocks
// for DOWNLOAD MICROCODE, 24 bits of bytes for WRITE BUFFER.
constexpr size_t kLargestSataImage = size_t(1) << 25;
constexpr size_t kLargestSasImage = size_t(1) << 24;

// Drive interface codes (drive parameter 24).
constexpr uint8_t kNoDrive = 0;

int update_drive_firmware(ObjectId drive, const char* path);
// The record with verdict 128, both texts "UNKNOWN", and then the drive's
// version text as the installed one; -1 when that cannot be read.
int read_drive_firmware_version(ObjectId drive, FirmwareVersionRecord* record);

// The pieces: the first failed one ends a download with -1.
int download_sata_drive_firmware(ObjectId drive, const uint8_t* image, size_t size);
int send_drive_download_microcode(ObjectId drive, uint32_t byte_offset, uint8_t* piece,
                                  size_t piece_size);
int download_sas_drive_firmware(ObjectId drive, const uint8_t* image, size_t size);
int write_drive_buffer_in_pieces(ObjectId drive, uint8_t buffer_id, uint32_t start_offset,
                                 uint8_t mode, const uint8_t* image, size_t size);
int send_drive_write_buffer(ObjectId drive, uint8_t buffer_id, uint8_t mode, uint32_t offset,
                            uint8_t* piece, uint32_t piece_size);

}  // namespace drive_firmware
