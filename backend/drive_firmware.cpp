// Downloading a firmware image file to a drive, and the drive's firmware
// version.
#include "backend/drive_firmware.h"

#include <cstring>

#include "api/family_router.h"
#include "backend/image_file.h"
#include "driver/record_failure.h"
#include "driver/series_command.h"

namespace drive_firmware {

namespace {

constexpr ImageFileErrors kImageErrors = {kApiImageNotFound, kApiInvalidDriveImage,
                                          kApiInvalidDriveImage};
constexpr size_t kBlockSize = 512;
constexpr size_t kSataBuffer = 33280;
constexpr int32_t kTimeoutSeconds = 60;

// DOWNLOAD MICROCODE: with offsets, saved for immediate and future use.
constexpr uint8_t kDownloadMicrocode = 0x92;
constexpr uint16_t kWithOffsets = 3;
constexpr uint8_t kSizeCode = 1;  // the ATA pass-through's transfer code
constexpr int32_t kPioDataOutProtocol = 15;

// WRITE BUFFER: download microcode with offsets and save.
constexpr uint8_t kWriteBuffer = 0x3B;
constexpr uint8_t kSaveWithOffsets = 7;
constexpr uint8_t kDataToDrive = 0x81;
constexpr int32_t kSenseSize = 128;

bool is_sata(uint8_t code) { return code == 1 || code == 5; }
bool is_sas(uint8_t code) { return code == 3 || code == 7; }

}  // namespace

int send_drive_download_microcode(ObjectId drive, uint32_t byte_offset, uint8_t* piece,
                                  size_t piece_size) {
    const uint32_t blocks = uint32_t((piece_size + kBlockSize - 1) / kBlockSize);
    const uint32_t block_offset = byte_offset / kBlockSize;
    uint16_t features = kWithOffsets;
    uint16_t count = uint16_t(blocks & 0xFF), lba_low = uint16_t(blocks >> 8 & 0xFF);
    uint16_t lba_mid = uint16_t(block_offset & 0xFF), lba_high = uint16_t(block_offset >> 8 & 0xFF);
    uint8_t device = 0, command = kDownloadMicrocode;
    return family_router().send_ata_command(drive, kSizeCode, kPioDataOutProtocol, &features,
                                            &count, &lba_low, &lba_mid, &lba_high, &device,
                                            &command, piece, kTimeoutSeconds) == 0
               ? 0
               : -1;
}

int download_sata_drive_firmware(ObjectId drive, const uint8_t* image, size_t size) {
    uint8_t buffer[kSataBuffer];
    for (size_t done = 0; done < size;) {
        const size_t n = size - done < kPieceSize ? size - done : kPieceSize;
        std::memset(buffer, 0, sizeof buffer);
        std::memcpy(buffer, image + done, n);
        if (send_drive_download_microcode(drive, uint32_t(done), buffer, n) != 0) return -1;
        done += n;
    }
    return 0;
}

int send_drive_write_buffer(ObjectId drive, uint8_t buffer_id, uint8_t mode, uint32_t offset,
                            uint8_t* piece, uint32_t piece_size) {
    uint8_t cdb[10] = {kWriteBuffer, uint8_t(mode & 0x1F), buffer_id};
    be::store(cdb + 3, offset, 3);
    be::store(cdb + 6, piece_size, 3);
    uint8_t status = 0;
    uint8_t sense[kSenseSize];
    return family_router().send_drive_scsi_command(drive, 0, kDataToDrive, cdb, sizeof cdb, &status,
                                                   sense, kSenseSize, piece, int32_t(piece_size),
                                                   kTimeoutSeconds) == 0
               ? 0
               : -1;
}

int write_drive_buffer_in_pieces(ObjectId drive, uint8_t buffer_id, uint32_t start_offset,
                                 uint8_t mode, const uint8_t* image, size_t size) {
    uint8_t piece[kPieceSize];
    uint32_t offset = start_offset;
    for (size_t done = 0; done < size;) {
        const size_t n = size - done < kPieceSize ? size - done : kPieceSize;
        std::memcpy(piece, image + done, n);
        if (send_drive_write_buffer(drive, buffer_id, mode, offset, piece, uint32_t(n)) != 0)
            return -1;
        offset += uint32_t(n);
        done += n;
    }
    return 0;
}

int download_sas_drive_firmware(ObjectId drive, const uint8_t* image, size_t size) {
    return write_drive_buffer_in_pieces(drive, 0, 0, kSaveWithOffsets, image, size);
}

int update_drive_firmware(ObjectId drive, const char* path) {
    uint32_t supported = 0;
    family_router().supports_drive_firmware_update(drive, &supported);
    if (supported != 1) return fail_with_api_error(kApiDriveFirmwareNotSupported);
    ImageBuffer file;
    if (read_image_file(path, kLargestSataImage, kImageErrors, &file) != 0) return -1;
    uint8_t code = 0;
    if (family_router().get_drive_interface(drive, &code) != 0) return -1;
    if (code == kNoDrive) return fail_with_api_error(kApiDriveNotPresent);
    if (is_sata(code)) return download_sata_drive_firmware(drive, file.bytes.get(), file.size);
    if (!is_sas(code)) return fail_with_api_error(kApiDriveInterfaceUnknown);
    if (file.size > kLargestSasImage) return fail_with_api_error(kApiInvalidDriveImage);
    return download_sas_drive_firmware(drive, file.bytes.get(), file.size);
}

int read_drive_firmware_version(ObjectId drive, FirmwareVersionRecord* record) {
    std::memset(record, 0, sizeof *record);
    record->verdict = FirmwareVersionRecord::kInstalledUnknown;
    std::strcpy(record->installed, "UNKNOWN");
    std::strcpy(record->file, "UNKNOWN");
    char version[FirmwareVersionRecord::kTextSize];
    if (family_router().get_drive_firmware_version(drive, version) != 0) return -1;
    std::memcpy(record->installed, version, sizeof version);
    return 0;
}

}  // namespace drive_firmware
