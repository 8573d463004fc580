// Public functions of controller, drive and enclosure firmware that do more
// than forward: a controller image read from its file before the download,
// and the drive and enclosure firmware code called directly.
#include <climits>

#include "api/ctl.h"
#include "api/family_router.h"
#include "api/public_arguments.h"
#include "backend/drive_firmware.h"
#include "backend/enclosure_firmware.h"
#include "backend/image_file.h"
#include "driver/record_failure.h"

namespace {

// The file's own failures are the operating system's; an empty file, or one
// larger than a download can name, is no image of a size to send.
constexpr ImageFileErrors kControllerImageErrors = {0, kApiInvalidImageSize, 0};

}  // namespace

extern "C" {

int ctl_download_firmware_file(ObjectId id, const char* path) {
    ImageBuffer image;
    if (read_image_file(path, INT32_MAX, kControllerImageErrors, &image) != 0) return -1;
    return family_router().download_firmware(id, image.bytes.get(), int32_t(image.size)) == 0 ? 0
                                                                                              : -1;
}

int ctl_update_drive_firmware(ObjectId id, const char* path, int32_t) {
    return drive_firmware::update_drive_firmware(id, path);
}

int ctl_read_drive_firmware_version(ObjectId id, int32_t, FirmwareVersionRecord* record) {
    return drive_firmware::read_drive_firmware_version(id, record);
}

// The module index is a byte.
int ctl_update_enclosure_firmware(ObjectId id, int module, const char* path, int generic) {
    if (!fits_byte(module)) return fail_with_api_error(kInvalidArgument);
    return enclosure_firmware::update_enclosure_firmware(id, uint8_t(module), path, generic);
}

int ctl_compare_enclosure_firmware_file(ObjectId id, int module, const char* path,
                                        FirmwareVersionRecord* record) {
    if (!fits_byte(module)) return fail_with_api_error(kInvalidArgument);
    return enclosure_firmware::compare_enclosure_firmware_file(id, uint8_t(module), path, record);
}

int ctl_compare_enclosure_firmware_file_alt(ObjectId id, int module, const char* path,
                                            FirmwareVersionRecord* record) {
    return ctl_compare_enclosure_firmware_file(id, module, path, record);
}

int ctl_get_enclosure_firmware_versions(ObjectId id, EnclosureFirmwareVersionList* list) {
    return enclosure_firmware::get_enclosure_firmware_versions(id, list);
}

}  // extern "C"
