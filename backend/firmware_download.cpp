// Downloading a controller firmware image to a second-series controller:
// pieces of 8192 bytes under the controller lock, each answered "next image
// buffer expected" until the controller has the whole image.
#include <cstring>

#include "backend/series_backend.h"
#include "driver/driver_access.h"
#include "driver/record_failure.h"
#include "driver/series_command.h"

namespace {

// The lock is held at least this long, and a second for every 2048 bytes
// of the image: a time-out of 0 would release the lock of family 10.
constexpr uint32_t kShortestLockMilliseconds = SeriesBackend::kLockMilliseconds;
constexpr int32_t kBytesPerLockSecond = 2048;
constexpr uint16_t kDownloadSubCode = 8;

ObjectId controller_of(ObjectId id) {
    id.b[0] = kKindController;
    return id;
}

// The controller refused the last command with the code.
bool controller_answered(int32_t code) {
    ErrorRecord error;
    copy_last_error(&error, "", 0);
    return (error.flags & (kErrController | kErrSecondSeries)) != 0 &&
           error.controller_status == code;
}

uint32_t lock_milliseconds(int32_t size) {
    const uint32_t computed = uint32_t(size / kBytesPerLockSecond) * 1000u;
    return computed > kShortestLockMilliseconds ? computed : kShortestLockMilliseconds;
}

// One piece on the open node. The request's data is a copy of the piece:
// the driver writes the data area back, and the image is the caller's.
int send_piece(const int32_t& descriptor, const uint8_t* piece, int32_t length) {
    uint8_t data[SeriesBackend::kDownloadPieceSize];
    std::memcpy(data, piece, size_t(length));
    SeriesDriverRequest request(driver_request::kFirmwareCommand);
    uint8_t* packet = request.packet();
    packet[series_packet::kOpcode] = SeriesBackend::kDownloadOpcode;
    packet[series_packet::kSizeWords] = uint8_t(SeriesBackend::get_arch_class() + 2);
    le::store(packet + series_packet::kCount, kDownloadSubCode, 2);
    return DriverAccess::series_ioctl(descriptor, request.header, request.area, data,
                                      uint32_t(length));
}

}  // namespace

int SeriesBackend::download_firmware_once(ObjectId id, const void* image, int32_t size) const {
    if (size <= 0 || image == nullptr) return fail_with_api_error(kApiInvalidImageSize);
    const ObjectId controller = controller_of(id);
    int32_t descriptor = -1;
    if (DriverAccess::open_controller(controller, &descriptor) != 0) return -1;
    if (get_controller_lock(controller, lock_milliseconds(size)) != 0) {
        DriverAccess::close_controller(descriptor);
        return -1;
    }
    const uint8_t* bytes = static_cast<const uint8_t*>(image);
    int result = 0;
    for (int32_t offset = 0; offset < size && result == 0; offset += kDownloadPieceSize) {
        const int32_t length =
            size - offset < kDownloadPieceSize ? size - offset : kDownloadPieceSize;
        if (send_piece(descriptor, bytes + offset, length) == 0) continue;
        // The controller waits for more of the image: fine for any piece
        // but the last, after which it would be left waiting.
        const bool last = offset + length == size;
        if (last || !controller_answered(kNextImageBufferExpected)) result = -1;
    }
    release_controller_lock(controller);
    DriverAccess::close_controller(descriptor);
    return result;
}

int SeriesBackend::download_firmware(ObjectId id, const void* image, int32_t size) const {
    if (download_firmware_once(id, image, size) == 0) return 0;
    if (!controller_answered(kImageChecksumError)) return -1;
    return download_firmware_once(id, image, size);
}
