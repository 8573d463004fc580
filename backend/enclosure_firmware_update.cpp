// Downloading a firmware image file to an enclosure module: the module
// tells from its INQUIRY data which kind it is, and each kind has its image
// checks and its way of receiving the image.
#include <cstring>
#include <string_view>

#include "api/family_router.h"
#include "backend/enclosure_firmware.h"
#include "backend/firmware_images.h"
#include "backend/image_file.h"
#include "driver/record_failure.h"

namespace enclosure_firmware {

namespace {

constexpr uint8_t kModuleMode = 0x0E;    // download microcode with offsets, select activation
constexpr uint8_t kPagesMode = 0x07;     // download microcode with offsets, save
constexpr uint8_t kExpanderMode = 0x02;  // data
constexpr uint8_t kSignedBuffer = 0xE2, kSignedPagesBuffer = 2;
constexpr uint8_t kEntryListBuffer = 0xE3, kEntryListPagesBuffer = 3;
constexpr uint8_t kUnreadStatus = 0xFF;
// SES download microcode status: 0x80 to 0x8F report errors (the image
// discarded or not valid).
constexpr uint8_t kFirstErrorStatus = 0x80, kLastErrorStatus = 0x8F;
constexpr size_t kInquiryProduct = 16, kProductSize = 16;
constexpr size_t kLastIdentifierByte = firmware_image::kIdentifierSize - 1;

// Expanders whose product text names the second chip generation take the
// image in a buffer.
bool product_names_buffer_chip(const uint8_t* inquiry) {
    const std::string_view product(reinterpret_cast<const char*>(inquiry + kInquiryProduct),
                                   kProductSize);
    return product.find("2x") != std::string_view::npos ||
           product.find("2X") != std::string_view::npos;
}

int download_esm_firmware(ObjectId module, const uint8_t* image, size_t size) {
    return write_enclosure_buffer_in_pieces(module, 0, 0, kModuleMode, image, size);
}

int write_expander_buffer(ObjectId module, uint8_t buffer_id, const uint8_t* image, size_t size) {
    return write_enclosure_buffer_in_pieces(module, buffer_id, 0, kExpanderMode, image, size);
}

// The pages, then the status the expander reports, whatever the pages did.
int download_expander_firmware_ses(ObjectId module, uint8_t buffer_id, const uint8_t* image,
                                   size_t size) {
    const bool pages_failed =
        send_download_microcode_pages(module, buffer_id, 0, kPagesMode, image, size) != 0;
    uint8_t status = kUnreadStatus;
    if (read_download_microcode_status(module, &status) != 0) return -1;
    if (status >= kFirstErrorStatus && status <= kLastErrorStatus)
        return fail_with_api_error(kApiExpanderDownloadError);
    return pages_failed ? -1 : 0;
}

// The buffer path for chips of class 2 (or, generic, a product text that
// names them), else download pages.
int download_to_expander(ObjectId module, const uint8_t* image, size_t size, int generic,
                         const uint8_t* inquiry, uint8_t buffer_id, uint8_t pages_buffer_id) {
    bool buffer_chip;
    if (generic == 0) {
        ExpanderIdentity identity;
        if (identify_expander(module, &identity) != 0) return -1;
        buffer_chip = identity.chip_class == 2;
    } else {
        buffer_chip = product_names_buffer_chip(inquiry);
    }
    return buffer_chip ? write_expander_buffer(module, buffer_id, image, size)
                       : download_expander_firmware_ses(module, pages_buffer_id, image, size);
}

int download_expander_firmware(ObjectId module, const uint8_t* image, size_t size, int generic,
                               const uint8_t* inquiry) {
    return download_to_expander(module, image, size, generic, inquiry, kSignedBuffer,
                                kSignedPagesBuffer);
}

// An image of the entry-list kind names the expander family it is for in
// its identifier, which must agree with the module's NAA designator.
int download_expander_bin_image(ObjectId module, const uint8_t* image, size_t size, int generic,
                                const uint8_t* inquiry) {
    uint8_t wanted[firmware_image::kIdentifierSize];
    if (generic == 0 && firmware_image::find_image_identifier(image, size, wanted)) {
        uint8_t naa[firmware_image::kIdentifierSize];
        if (read_enclosure_naa_identifier(module, naa) != 0) return -1;
        if ((wanted[kLastIdentifierByte] >> 4) != (naa[kLastIdentifierByte] >> 4))
            return fail_with_api_error(kApiExpanderImageMismatch);
    }
    return download_to_expander(module, image, size, generic, inquiry, kEntryListBuffer,
                                kEntryListPagesBuffer);
}

int download_generic(ObjectId module, const uint8_t* image, size_t size) {
    if (write_enclosure_buffer_in_pieces(module, 0, 0, kModuleMode, image, size) == 0) return 0;
    return send_download_microcode_pages(module, 0, 0, kPagesMode, image, size);
}

}  // namespace

int update_enclosure_firmware(ObjectId enclosure, uint8_t module_index, const char* path,
                              int generic) {
    uint32_t supported = 0;
    family_router().supports_enclosure_firmware_update(enclosure, &supported);
    if (supported != 1) return fail_with_api_error(kApiEnclosureFirmwareNotSupported);
    ImageBuffer file;
    if (read_image_file(path, kLargestImage, kImageErrors, &file) != 0) return -1;
    const uint8_t* image = file.bytes.get();

    ObjectId module = enclosure;
    module.b[5] = module_index;
    uint8_t inquiry[kInquirySize];
    if (send_enclosure_inquiry(module, kStandardInquiry, inquiry, sizeof inquiry) != 0) return -1;
    if (is_enclosure_module(inquiry)) return download_esm_firmware(module, image, file.size);
    if (names_expander_vendor(inquiry)) {
        if (is_entry_list_image(path))
            return download_expander_bin_image(module, image, file.size, generic, inquiry);
        if (!firmware_image::has_expander_signature_a(image, file.size) &&
            !firmware_image::has_expander_signature_b(image, file.size))
            return fail_with_api_error(kApiExpanderImageFormat);
        return download_expander_firmware(module, image, file.size, generic, inquiry);
    }
    if (generic == 0) return fail_with_api_error(kApiExpanderTypeUnknown);
    return download_generic(module, image, file.size);
}

}  // namespace enclosure_firmware
