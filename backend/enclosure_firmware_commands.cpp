// The SCSI commands of enclosure firmware work, the downloads in pieces,
// the expander chip and what a module's INQUIRY data says it is.
#include <cstring>
#include <iterator>
#include <string_view>

#include "api/family_router.h"
#include "backend/enclosure_firmware.h"
#include "backend/enclosure_protocol.h"
#include "backend/firmware_images.h"
#include "driver/record_failure.h"
#include "driver/series_command.h"

namespace enclosure_firmware {

namespace {

constexpr int32_t kSenseSize = 128;
constexpr int32_t kTimeoutSeconds = 60;

constexpr uint8_t kVpdPage = 0x01;
constexpr uint8_t kPageFormat = 0x10;
constexpr uint8_t kPageCodeValid = 0x01;
constexpr uint8_t kDataMode = 0x02;
constexpr uint8_t kVendorMode = 0x01;
constexpr uint8_t kRegisterBuffer = 0xC2;
constexpr uint32_t kBufferReadLength = 1024;

constexpr size_t kWriteBufferPiece = 1024;
constexpr size_t kPagePiece = 768;
constexpr size_t kPageBuffer = 1040;
constexpr size_t kPageHeader = 24;
constexpr uint8_t kDownloadPage = 0x0E;
constexpr size_t kStatusByte = 10;
constexpr uint16_t kStatusReadLength = 1024;

constexpr uint32_t kChipIdRegister = 0xC000002C;
constexpr uint32_t kRevisionRegister = 0xC00000A0;
constexpr uint8_t kRevisionProbeBits = 0xC0;
constexpr uint8_t kRefinedRevision = 2;

constexpr uint8_t kNaaDesignator = 3;
constexpr uint8_t kIdentificationPage = 0x83;

constexpr size_t kInquiryVendor = 8;
constexpr size_t kInquiryText = 36;
constexpr const char* kCodeNames[] = {"Vexlin", "Orbane", "Quistel", "Tamsic", "Brannic"};
constexpr const char* kExpanderVendors[] = {"QEL", "RELDATA"};

struct Chip {
    uint16_t first, last;  // device types
    const char* name;
    uint8_t chip_class;
};
constexpr Chip kChips[] = {
    {0x211, 0x211, "XPDR-A", 1},
    {0x213, 0x213, "XPDR-B", 1},
    {0x220, 0x221, "XPDR-C", 2},
    {0x223, 0x227, "XPDR-C", 2},
};
constexpr const char* kRevisionTexts[] = {"A0", "A1", "B0/B1", "B2", "B3"};

int send(ObjectId module, const uint8_t* cdb, int32_t cdb_length, void* data, uint32_t length) {
    uint8_t status = 0;
    uint8_t sense[kSenseSize];
    return family_router().send_enclosure_scsi_command(module, cdb, cdb_length, &status, sense,
                                                       kSenseSize, data, int32_t(length),
                                                       kTimeoutSeconds, module.b[5]);
}

void copy_text(char* to, const char* text) {
    std::memset(to, 0, ExpanderIdentity::kTextSize);
    std::strncpy(to, text, ExpanderIdentity::kTextSize - 1);
}

bool contains_any(std::string_view text, const char* const* words, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (text.find(words[i]) != std::string_view::npos) return true;
    return false;
}

// INQUIRY data from a byte up to the first NUL of the data read.
std::string_view inquiry_text(const uint8_t* inquiry, size_t from) {
    const char* text = reinterpret_cast<const char*>(inquiry + from);
    return {text, strnlen(text, kInquirySize - from)};
}

// Revision 2 chips tell their stepping in two register bits that stay set
// only on the earlier one.
int refine_expander_revision(ObjectId module, uint8_t* revision) {
    uint8_t value[4];
    if (read_expander_register(module, kRevisionRegister, value, sizeof value) != 0) return -1;
    value[0] |= kRevisionProbeBits;
    if (write_expander_register(module, kRevisionRegister, value, sizeof value) != 0 ||
        read_expander_register(module, kRevisionRegister, value, sizeof value) != 0)
        return -1;
    const uint8_t bits = value[0] & kRevisionProbeBits;
    if (bits == 0)
        *revision = 4;
    else if (bits == 0x40)
        *revision = 3;
    return 0;
}

int name_expander_chip(ExpanderIdentity* identity) {
    for (const Chip& chip : kChips) {
        if (identity->device_type < chip.first || identity->device_type > chip.last) continue;
        copy_text(identity->chip, chip.name);
        identity->chip_class = chip.chip_class;
        const size_t revisions = sizeof kRevisionTexts / sizeof *kRevisionTexts;
        copy_text(identity->revision_text, identity->revision < revisions
                                               ? kRevisionTexts[identity->revision]
                                               : "Unknown Revision");
        return 0;
    }
    return fail_with_api_error(kApiExpanderTypeUnknown);
}

}  // namespace

bool is_enclosure_module(const uint8_t* inquiry) {
    return contains_any(inquiry_text(inquiry, kInquiryText), kCodeNames, std::size(kCodeNames));
}

bool names_expander_vendor(const uint8_t* inquiry) {
    return contains_any(inquiry_text(inquiry, kInquiryVendor), kExpanderVendors,
                        std::size(kExpanderVendors));
}

bool is_expander_vendor_field(const uint8_t* inquiry) {
    const std::string_view field(reinterpret_cast<const char*>(inquiry + kInquiryVendor), 8);
    return contains_any(field, kExpanderVendors, std::size(kExpanderVendors));
}

bool is_entry_list_image(const char* path) {
    if (path == nullptr) return false;
    const std::string_view name(path);
    return name.find(".bin") != std::string_view::npos ||
           name.find(".BIN") != std::string_view::npos;
}

bool matches_expander_signature(const uint8_t* header, const ExpanderIdentity& identity) {
    const size_t size = firmware_image::kExpanderHeaderSize;
    if (identity.chip_class == 2 && identity.revision == 3)
        return firmware_image::has_expander_signature_a(header, size);
    if (identity.chip_class == 1) return firmware_image::has_expander_signature_b(header, size);
    return firmware_image::has_expander_signature_a(header, size) ||
           firmware_image::has_expander_signature_b(header, size);
}

int send_enclosure_inquiry(ObjectId module, uint8_t page, uint8_t* buffer, uint16_t length) {
    std::memset(buffer, 0, length);
    uint8_t cdb[6] = {enclosure::kInquiry};
    if (page != kStandardInquiry) {
        cdb[1] = kVpdPage;
        cdb[2] = page;
    }
    be::store(cdb + 3, length, 2);
    return send(module, cdb, sizeof cdb, buffer, length);
}

int send_enclosure_write_buffer(ObjectId module, uint8_t mode, uint8_t buffer_id, uint32_t offset,
                                uint8_t* data, uint32_t length) {
    uint8_t cdb[10] = {enclosure::kWriteBuffer, uint8_t(mode & 0x1F), buffer_id};
    be::store(cdb + 3, offset, 3);
    be::store(cdb + 6, length, 3);
    return send(module, cdb, sizeof cdb, data, length);
}

int read_expander_buffer_header(ObjectId module, uint8_t buffer_id, uint8_t* header) {
    uint8_t data[kBufferReadLength] = {};
    uint8_t cdb[10] = {enclosure::kReadBuffer, kDataMode, buffer_id};
    be::store(cdb + 6, kBufferReadLength, 3);
    if (send(module, cdb, sizeof cdb, data, sizeof data) != 0) return -1;
    std::memcpy(header, data, firmware_image::kExpanderHeaderSize);
    return 0;
}

int read_expander_register(ObjectId module, uint32_t address, uint8_t* value, uint16_t length) {
    uint8_t cdb[10] = {enclosure::kReadBuffer, kVendorMode, kRegisterBuffer};
    be::store(cdb + 3, address, 4);
    be::store(cdb + 7, length, 2);
    return send(module, cdb, sizeof cdb, value, length);
}

int write_expander_register(ObjectId module, uint32_t address, uint8_t* value, uint16_t length) {
    uint8_t cdb[10] = {enclosure::kWriteBuffer, kVendorMode, kRegisterBuffer};
    be::store(cdb + 3, address, 4);
    be::store(cdb + 7, length, 2);
    return send(module, cdb, sizeof cdb, value, length);
}

int send_enclosure_diagnostic(ObjectId module, uint8_t* page, uint16_t length) {
    uint8_t cdb[6] = {enclosure::kSendDiagnostic, kPageFormat};
    be::store(cdb + 3, length, 2);
    return send(module, cdb, sizeof cdb, page, length);
}

int receive_enclosure_diagnostic(ObjectId module, uint8_t page_code, uint8_t* page,
                                 uint16_t length) {
    uint8_t cdb[6] = {enclosure::kReceiveDiagnostic, kPageCodeValid, page_code};
    be::store(cdb + 3, length, 2);
    return send(module, cdb, sizeof cdb, page, length);
}

int write_enclosure_buffer_in_pieces(ObjectId module, uint8_t buffer_id, uint32_t start_offset,
                                     uint8_t mode, const uint8_t* image, size_t size) {
    uint8_t piece[kWriteBufferPiece];
    for (size_t done = 0; done < size;) {
        const size_t n = size - done < sizeof piece ? size - done : sizeof piece;
        std::memcpy(piece, image + done, n);
        if (send_enclosure_write_buffer(module, mode, buffer_id, start_offset + uint32_t(done),
                                        piece, uint32_t(n)) != 0)
            return -1;
        done += n;
    }
    return 0;
}

int send_download_microcode_pages(ObjectId module, uint8_t buffer_id, uint32_t start_offset,
                                  uint8_t mode, const uint8_t* image, size_t size) {
    uint8_t page[kPageBuffer];
    for (size_t done = 0; done < size;) {
        const size_t n = size - done < kPagePiece ? size - done : kPagePiece;
        const size_t total = kPageHeader + ((n + 3) & ~size_t(3));
        std::memset(page, 0, sizeof page);
        page[0] = kDownloadPage;
        be::store(page + 2, total - 4, 2);
        page[8] = mode;
        page[11] = buffer_id;
        be::store(page + 12, start_offset + done, 4);
        be::store(page + 16, size, 4);
        be::store(page + 20, n, 4);
        std::memcpy(page + kPageHeader, image + done, n);
        if (send_enclosure_diagnostic(module, page, uint16_t(total)) != 0) return -1;
        done += n;
    }
    return 0;
}

int read_download_microcode_status(ObjectId module, uint8_t* status) {
    uint8_t page[kPageBuffer] = {};
    if (receive_enclosure_diagnostic(module, kDownloadPage, page, kStatusReadLength) != 0)
        return -1;
    *status = page[kStatusByte];
    return 0;
}

int read_enclosure_naa_identifier(ObjectId module, uint8_t* identifier) {
    std::memset(identifier, 0, firmware_image::kIdentifierSize);
    uint8_t page[kInquirySize];
    if (send_enclosure_inquiry(module, kIdentificationPage, page, sizeof page) != 0) return -1;
    const size_t page_end = 4 + (size_t(page[2]) << 8 | page[3]);
    const size_t end = page_end < sizeof page ? page_end : sizeof page;
    for (size_t at = 4; at + 4 <= end;) {
        const size_t length = page[at + 3];
        if ((page[at + 1] & 0x0F) == kNaaDesignator) {
            const size_t n =
                length < firmware_image::kIdentifierSize ? length : firmware_image::kIdentifierSize;
            if (at + 4 + n <= end) std::memcpy(identifier, page + at + 4, n);
            return 0;
        }
        at += 4 + length;
    }
    return 0;
}

int identify_expander(ObjectId module, ExpanderIdentity* identity) {
    std::memset(identity, 0, sizeof *identity);
    uint8_t chip_id[4];
    if (read_expander_register(module, kChipIdRegister, chip_id, sizeof chip_id) != 0) {
        copy_text(identity->chip, "Unknown Expander");
        copy_text(identity->revision_text, "Unknown Revision");
        uint8_t header[firmware_image::kExpanderHeaderSize];
        if (read_expander_buffer_header(module, 0, header) == 0 &&
            firmware_image::has_expander_signature_b(header, sizeof header))
            identity->chip_class = 1;
        return 0;
    }
    identity->revision = chip_id[1];
    identity->device_type = uint16_t(chip_id[2] | chip_id[3] << 8);
    if (identity->revision == kRefinedRevision &&
        refine_expander_revision(module, &identity->revision) != 0)
        return -1;
    return name_expander_chip(identity);
}

}  // namespace enclosure_firmware
