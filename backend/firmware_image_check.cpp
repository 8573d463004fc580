// Checking a controller firmware image against a second-series controller:
// its size, architecture and magic, then what the library, the driver and
// the running firmware make of its SRLs and version.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "api/ctl.h"
#include "backend/firmware_images.h"
#include "backend/image_file.h"
#include "backend/series_backend.h"
#include "backend/series_parameter_access.h"
#include "driver/record_failure.h"
#include "platform/platform.h"

namespace {

using series_access::Parameter;

constexpr Parameter kArchitecture{0x402, 14, 4};
// A file that cannot be read is the system's error; one too short to hold
// a header cannot be an image of its size.
constexpr ImageFileErrors kHeaderErrors = {0, kApiInvalidImageSize, 0};
// Bits of the bus information word that tell a per-lane speed.
constexpr uint32_t kLaneSpeedBits = 0x300;

bool srl_in(uint16_t srl, uint16_t low, uint16_t high) { return low <= srl && srl <= high; }

bool either_srl_in(const FirmwareImageHeader& h, uint16_t low, uint16_t high) {
    return srl_in(h.srl, low, high) || srl_in(h.second_srl, low, high);
}

// The image's version (SRL, branch, build) above the running firmware's.
bool image_is_newer(const FirmwareImageHeader& h, const DriverCompatInfo& info) {
    if (h.srl != info.running_srl()) return h.srl > info.running_srl();
    if (h.branch != info.running_branch()) return h.branch > info.running_branch();
    return h.build > info.running_build();
}

// A text copied into a field of the report, cut to leave its NUL.
void put_text(char* field, size_t field_size, const char* text, size_t text_room) {
    const size_t n = strnlen(text, text_room);
    std::memcpy(field, text, n < field_size ? n : field_size - 1);
}

// The controller's bus information word; a controller without one refuses
// with API error 2.
int read_bus_word(ObjectId id, uint32_t* word) { return ctl_get_bus_info(id, word); }

// The four lines of an SRL range finding: in range when either SRL is.
void print_range(const char* what, uint16_t low, uint16_t high, const FirmwareImageHeader& h) {
    if (either_srl_in(h, low, high)) {
        std::printf("cz400: image_check: New image SRL is in range of %s's SRL!\n", what);
        std::printf("    (0x%08X <= 0x%08X <= 0x%08X)\n", low, h.second_srl, high);
        std::printf("                          OR\n");
        std::printf("    (0x%08X <= 0x%08X <= 0x%08X)\n", low, h.srl, high);
    } else {
        std::printf("cz400: image_check: New image SRL out of range of %s's SRL!\n", what);
        std::printf("    (0x%08X < 0x%08X) OR (0x%08X < 0x%08X)\n", h.second_srl, low, high,
                    h.second_srl);
        std::printf("                              AND\n");
        std::printf("    (0x%08X < 0x%08X) OR (0x%08X < 0x%08X)\n", h.srl, low, high, h.srl);
    }
}

}  // namespace

int SeriesBackend::read_image_header(const char* path, FirmwareImageHeader* header) {
    uint8_t bytes[FirmwareImageHeader::kSize];
    if (read_image_start(path, sizeof bytes, kHeaderErrors, bytes) != 0) return -1;
    *header = firmware_image::read_controller_header(bytes);
    return 0;
}

int SeriesBackend::check_image_file_size(const FirmwareImageHeader& header, const char* path) {
    struct stat st;
    if (platform::stat(path, &st) != 0) return fail_with_os_error(errno);
    if (st.st_size != off_t(header.image_size)) return fail_with_api_error(kApiInvalidImageSize);
    return 0;
}

int SeriesBackend::check_image_architecture(ObjectId id, const FirmwareImageHeader& header) const {
    uint32_t architecture = 0;
    if (series_access::read_as(id, kArchitecture, &architecture) != 0) return -1;
    if (header.architecture != architecture) return fail_with_api_error(kApiIncompatibleArch);
    if (header.srl < kBusSpeedSrl) return 0;
    uint32_t word = 0;
    if (read_bus_word(id, &word) != 0) {
        // A controller that has no bus word cannot tell a per-lane speed:
        // the image does not suit it. Other read failures keep their error.
        return get_last_error_code() == kApiNotSupported ? fail_with_api_error(kApiIncompatibleArch)
                                                         : -1;
    }
    return (word & kLaneSpeedBits) != 0 ? 0 : fail_with_api_error(kApiIncompatibleArch);
}

int SeriesBackend::check_image_magic(const FirmwareImageHeader& header) {
    return header.magic == FirmwareImageHeader::kMagic ? 0 : fail_with_api_error(kApiInvalidMagic);
}

int SeriesBackend::check_firmware_image(ObjectId id, const FirmwareImageHeader* header,
                                        int32_t image_size, const void*,
                                        FirmwareCompatReport* report) const {
    const FirmwareImageHeader& h = *header;
    if (int64_t(h.image_size) != int64_t(image_size))
        return fail_with_api_error(kApiInvalidImageSize);
    std::memset(report, 0, sizeof *report);
    if (check_image_architecture(id, h) != 0 || check_image_magic(h) != 0) return -1;
    char firmware[kTextSize];
    if (get_firmware_version(id, firmware) != 0) return -1;
    DriverCompatInfo info;
    if (get_compat_info(id, &info) != 0) return -1;

    put_text(report->library_version, sizeof report->library_version, ctl_get_api_version(),
             sizeof report->library_version);
    put_text(report->driver_version, sizeof report->driver_version,
             reinterpret_cast<const char*>(info.bytes), DriverCompatInfo::kVersionSize);
    report->controller_verdict = 1;
    put_text(report->firmware_version, sizeof report->firmware_version, firmware, sizeof firmware);
    std::memcpy(report->image_version, h.version, sizeof report->image_version);
    report->library_verdict = either_srl_in(h, kLowestLibrarySrl, kHighestLibrarySrl) ? 1 : 0;
    report->driver_verdict = either_srl_in(h, info.lowest_srl(), info.highest_srl()) ? 1 : 0;
    if (image_is_newer(h, info)) report->driver_verdict = 2;
    return 0;
}

int SeriesBackend::check_firmware_image_file(ObjectId id, const char* path, const void* unused,
                                             FirmwareCompatReport* report) const {
    FirmwareImageHeader header;
    if (read_image_header(path, &header) != 0 || check_image_file_size(header, path) != 0)
        return -1;
    return check_firmware_image(id, &header, int32_t(header.image_size), unused, report);
}

int SeriesBackend::check_firmware_image_header(ObjectId id, const void* image,
                                               uint32_t size) const {
    if (size < FirmwareImageHeader::kSize) return fail_with_api_error(kApiInvalidImageSize);
    FirmwareImageHeader h;
    std::memcpy(&h, image, sizeof h);
    const uint32_t magic = FirmwareImageHeader::kMagic;
    if (h.magic == magic)
        std::printf("cz400: image_check: magic number is OK! (0x%08X = 0x%08X)\n", h.magic, magic);
    else
        std::printf("cz400: image_check: magic number is 0x%08X, expected 0x%08X\n", h.magic,
                    magic);
    uint32_t architecture = 0;
    if (series_access::read_as(id, kArchitecture, &architecture) != 0) return -1;
    if (h.architecture == architecture)
        std::printf("cz400: image_check: arch ID is OK! (0x%08X = 0x%08X)\n", h.architecture,
                    architecture);
    else
        std::printf("cz400: image_check: arch ID is 0x%08X, expected 0x%08X\n", h.architecture,
                    architecture);
    DriverCompatInfo info;
    if (get_compat_info(id, &info) != 0) return -1;
    print_range("driver", info.lowest_srl(), info.highest_srl(), h);
    print_range("API", kLowestLibrarySrl, kHighestLibrarySrl, h);
    return 0;
}
