// The firmware versions of enclosure modules and expanders: an image file
// compared with what a module runs, and the list of the versions an
// enclosure's modules run.
#include <cstring>

#include "api/family_router.h"
#include "backend/enclosure_firmware.h"
#include "backend/firmware_images.h"
#include "backend/image_file.h"
#include "driver/record_failure.h"

namespace enclosure_firmware {

namespace {

using firmware_image::kExpanderHeaderSize;
using firmware_image::kModuleHeaderSize;

constexpr char kUnknown[] = "UNKNOWN";
constexpr size_t kInquiryRevision = 32;
constexpr size_t kInquiryText = 36;
constexpr size_t kCopiedInquiryText = 20;
constexpr uint8_t kVersionPage = 0x02;
constexpr size_t kPageVersion = 73;  // 8 characters
constexpr size_t kPageVersionEnd = kPageVersion + 8;
constexpr uint8_t kRevisionDerivedBelow = 3;
constexpr uint8_t kInstalledBuffer = 1, kBufferChipInstalledBuffer = 0xE1;

// How a module's installed version was learned: from its revision (only
// the low two bytes say anything) or from its version page.
struct ModuleVersion {
    uint32_t version = 0;
    bool from_revision = false;
};

void put_text(char* field, const char* text) {
    std::memset(field, 0, FirmwareVersionRecord::kTextSize);
    std::strncpy(field, text, FirmwareVersionRecord::kTextSize - 1);
}

// The first characters of the module's INQUIRY text.
void put_inquiry_text(char* field, const uint8_t* inquiry) {
    const char* text = reinterpret_cast<const char*>(inquiry + kInquiryText);
    std::memset(field, 0, FirmwareVersionRecord::kTextSize);
    std::memcpy(field, text, strnlen(text, kCopiedInquiryText));
}

// 1 when the installed version is older than the file's, 2 newer, 3 the
// same, over the bytes compared.
uint8_t verdict(uint32_t file, uint32_t installed, uint32_t compared) {
    file &= compared;
    installed &= compared;
    if (file > installed) return FirmwareVersionRecord::kInstalledOlder;
    return file < installed ? FirmwareVersionRecord::kInstalledNewer : FirmwareVersionRecord::kSame;
}

// Revisions below "03" carry the version; later modules keep it in their
// version page, which must reach its eight characters.
int read_esm_installed_version(ObjectId module, const uint8_t* inquiry, ModuleVersion* out) {
    const char* revision = reinterpret_cast<const char*>(inquiry + kInquiryRevision);
    const uint8_t major = firmware_image::digit_pair(revision[0], revision[1]);
    if (major < kRevisionDerivedBelow) {
        const uint32_t top = major == 1 ? 0 : 0x90;
        out->version =
            top << 24 | uint32_t(major) << 8 | firmware_image::digit_pair(revision[2], revision[3]);
        out->from_revision = true;
        return 0;
    }
    uint8_t page[kInquirySize];
    if (send_enclosure_inquiry(module, kVersionPage, page, sizeof page) != 0) return -1;
    // A page too short for the version says nothing: the caller shows the
    // version as unknown.
    if (4 + (size_t(page[2]) << 8 | page[3]) < kPageVersionEnd) return -1;
    out->version = firmware_image::digit_pairs(reinterpret_cast<const char*>(page + kPageVersion));
    return 0;
}

// The version of the image an expander holds, in the buffer of its chip's
// class.
int read_expander_firmware_version(ObjectId module, const ExpanderIdentity& identity,
                                   uint32_t* version) {
    uint8_t header[kExpanderHeaderSize];
    const uint8_t buffer = identity.chip_class == 2 ? kBufferChipInstalledBuffer : kInstalledBuffer;
    if (read_expander_buffer_header(module, buffer, header) != 0) return -1;
    *version = firmware_image::expander_image_version(header);
    return 0;
}

// The same for an expander whose chip must first be known.
int identify_and_read_expander_version(ObjectId module, uint32_t* version) {
    ExpanderIdentity identity;
    if (identify_expander(module, &identity) != 0) return -1;
    if (identity.chip_class == 0) return fail_with_api_error(kApiExpanderTypeUnknown);
    return read_expander_firmware_version(module, identity, version);
}

int compare_esm_firmware_file(ObjectId module, const uint8_t* inquiry, const char* path,
                              FirmwareVersionRecord* record) {
    uint8_t start[kModuleHeaderSize];
    if (read_image_start(path, sizeof start, kImageErrors, start) != 0) return -1;
    if (!firmware_image::has_module_marker(start, sizeof start)) {
        record->verdict = FirmwareVersionRecord::kNotCompared;
        return fail_with_api_error(kApiExpanderImageFormat);
    }
    const uint32_t file = firmware_image::module_file_version(start, sizeof start);
    firmware_image::module_version_text(file, record->file);
    ModuleVersion installed;
    if (read_esm_installed_version(module, inquiry, &installed) != 0) {
        record->verdict = FirmwareVersionRecord::kInstalledUnknown;
    } else {
        record->verdict =
            verdict(file, installed.version, installed.from_revision ? 0xFFFFu : 0xFFFFFFFFu);
    }
    firmware_image::module_version_text(installed.version, record->installed);
    return 0;
}

int compare_expander_firmware_file(ObjectId module, const char* path,
                                   FirmwareVersionRecord* record) {
    record->verdict = FirmwareVersionRecord::kNotCompared;
    uint8_t header[kExpanderHeaderSize];
    if (read_image_start(path, sizeof header, kImageErrors, header) != 0) return -1;
    if (!firmware_image::has_expander_signature_a(header, sizeof header) &&
        !firmware_image::has_expander_signature_b(header, sizeof header))
        return fail_with_api_error(kApiExpanderImageFormat);
    const uint32_t file = firmware_image::expander_image_version(header);
    firmware_image::expander_version_text(file, record->file);
    ExpanderIdentity identity;
    if (identify_expander(module, &identity) != 0 || identity.chip_class == 0)
        return fail_with_api_error(kApiExpanderTypeUnknown);
    if (!matches_expander_signature(header, identity))
        return fail_with_api_error(kApiExpanderImageMismatch);
    uint32_t installed = 0;
    if (read_expander_firmware_version(module, identity, &installed) != 0)
        record->verdict = FirmwareVersionRecord::kInstalledUnknown;
    else
        record->verdict = verdict(file, installed, 0xFFFFFFFFu);
    firmware_image::expander_version_text(installed, record->installed);
    return 0;
}

}  // namespace

int compare_enclosure_firmware_file(ObjectId enclosure, uint8_t module_index, const char* path,
                                    FirmwareVersionRecord* record) {
    ObjectId module = enclosure;
    module.b[5] = module_index;
    record->verdict = FirmwareVersionRecord::kNotCompared;
    put_text(record->installed, kUnknown);
    put_text(record->file, kUnknown);
    uint8_t inquiry[kInquirySize];
    if (send_enclosure_inquiry(module, kStandardInquiry, inquiry, sizeof inquiry) != 0) return -1;
    if (is_enclosure_module(inquiry))
        return compare_esm_firmware_file(module, inquiry, path, record);
    if (!is_expander_vendor_field(inquiry)) return fail_with_api_error(kApiExpanderTypeUnknown);
    // That image kind carries no version to compare.
    if (is_entry_list_image(path)) {
        record->verdict = FirmwareVersionRecord::kInstalledUnknown;
        return 0;
    }
    if (compare_expander_firmware_file(module, path, record) == 0) return 0;
    put_inquiry_text(record->installed, inquiry);
    return -1;
}

int get_enclosure_firmware_versions(ObjectId enclosure, EnclosureFirmwareVersionList* list) {
    uint32_t supported = 0;
    family_router().supports_enclosure_firmware_update(enclosure, &supported);
    if (supported != 1) return fail_with_api_error(kApiNotSupported);
    std::memset(list, 0, sizeof *list);
    for (uint8_t index = 0; index < kModules; ++index) {
        ObjectId module = enclosure;
        module.b[5] = index;
        uint8_t inquiry[kInquirySize];
        if (send_enclosure_inquiry(module, kStandardInquiry, inquiry, sizeof inquiry) != 0) break;
        EnclosureFirmwareVersionList::Entry& entry = list->entries[list->count++];
        entry.module = index;
        put_text(entry.version, kUnknown);
        if (is_enclosure_module(inquiry)) {
            ModuleVersion installed;
            if (read_esm_installed_version(module, inquiry, &installed) == 0)
                firmware_image::module_version_text(installed.version, entry.version);
        } else if (is_expander_vendor_field(inquiry)) {
            uint32_t version = 0;
            if (identify_and_read_expander_version(module, &version) == 0)
                firmware_image::expander_version_text(version, entry.version);
            else
                put_inquiry_text(entry.version, inquiry);
        }
    }
    return 0;
}

}  // namespace enclosure_firmware
