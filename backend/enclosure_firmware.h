// Firmware of the modules of a disk enclosure behind a controller of family
// 8 or 10: the enclosure's modules (known by a model code name in their
// INQUIRY text), the SAS expanders (known by their vendor, the chip then
// read from a register) and, when the caller asks for it, any other
// enclosure. An image file is compared with the installed firmware and
// downloaded by WRITE BUFFER or by SES download microcode pages; every
// command goes through the dispatcher's enclosure pass-through to the
// module whose index is byte 5 of the enclosure identifier (the LUN it
// addresses).
#pragma once

#include <cstddef>
#include <cstdint>

#include "backend/firmware_records.h"
#include "backend/image_file.h"
#include "driver/api_errors.h"
#include "driver/object_id.h"

namespace enclosure_firmware {

constexpr uint8_t kModules = 4;
constexpr size_t kInquirySize = 512;
constexpr uint8_t kStandardInquiry = 0xFF;  // page argument of the standard data
// WRITE BUFFER offsets have 24 bits: no larger image can be placed.
constexpr size_t kLargestImage = size_t(1) << 24;
constexpr ImageFileErrors kImageErrors = {kApiImageNotFound, kApiInvalidEnclosureImage,
                                          kApiInvalidEnclosureImage};

// --- The entry points of the public functions.
// Downloads the file to the module; generic not 0 also serves an enclosure
// of unknown vendor and lets the expander paths go by the product text.
int update_enclosure_firmware(ObjectId enclosure, uint8_t module, const char* path, int generic);
int compare_enclosure_firmware_file(ObjectId enclosure, uint8_t module, const char* path,
                                    FirmwareVersionRecord* record);
int get_enclosure_firmware_versions(ObjectId enclosure, EnclosureFirmwareVersionList* list);

// --- What the INQUIRY data of a module says it is.
// A model code name in the text from byte 36 (up to its NUL).
bool is_enclosure_module(const uint8_t* inquiry);
// An expander vendor in the data from byte 8 up to the first NUL.
bool names_expander_vendor(const uint8_t* inquiry);
// An expander vendor in the 8-character vendor field.
bool is_expander_vendor_field(const uint8_t* inquiry);
// A file name of the expander's second image kind (".bin" anywhere).
bool is_entry_list_image(const char* path);

// --- The expander chip.
struct ExpanderIdentity {
    static constexpr size_t kTextSize = 24;
    uint8_t chip_class;  // 0 unknown, 1 "XPDR-A" and "XPDR-B", 2 "XPDR-C"
    uint16_t device_type;
    char chip[kTextSize];
    uint8_t revision;
    char revision_text[kTextSize];
};
int identify_expander(ObjectId module, ExpanderIdentity* identity);
// Which signature suits the chip: class 2 at revision 3 only A, class 1
// only B, any other either.
bool matches_expander_signature(const uint8_t* header, const ExpanderIdentity& identity);

// --- SCSI commands to the module. Each passes a 128-byte sense buffer and
// a 60-second time-out; only the pass-through's success counts.
int send_enclosure_inquiry(ObjectId module, uint8_t page, uint8_t* buffer, uint16_t length);
int send_enclosure_write_buffer(ObjectId module, uint8_t mode, uint8_t buffer_id, uint32_t offset,
                                uint8_t* data, uint32_t length);
// The first kExpanderHeaderSize bytes of a buffer (1024 read).
int read_expander_buffer_header(ObjectId module, uint8_t buffer_id, uint8_t* header);
int read_expander_register(ObjectId module, uint32_t address, uint8_t* value, uint16_t length);
int write_expander_register(ObjectId module, uint32_t address, uint8_t* value, uint16_t length);
int send_enclosure_diagnostic(ObjectId module, uint8_t* page, uint16_t length);
int receive_enclosure_diagnostic(ObjectId module, uint8_t page_code, uint8_t* page,
                                 uint16_t length);

// --- Downloads in pieces from the image's start; the first failed piece
// ends one with -1.
// WRITE BUFFER, 1024 bytes a piece, at start_offset plus the bytes sent.
int write_enclosure_buffer_in_pieces(ObjectId module, uint8_t buffer_id, uint32_t start_offset,
                                     uint8_t mode, const uint8_t* image, size_t size);
// SES download microcode control pages, 768 bytes a piece.
int send_download_microcode_pages(ObjectId module, uint8_t buffer_id, uint32_t start_offset,
                                  uint8_t mode, const uint8_t* image, size_t size);
// The first sub-enclosure's download status.
int read_download_microcode_status(ObjectId module, uint8_t* status);
// The module's NAA designator (8 bytes, zero when it has none).
int read_enclosure_naa_identifier(ObjectId module, uint8_t* identifier);

}  // namespace enclosure_firmware
