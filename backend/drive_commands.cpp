// Commands sent through the driver as they are: a SCSI command to a drive,
// control code 512, and the family-9 firmware command 0x1F with sub-code 47.
// Each opens the controller's node, performs one request and closes the node
// whatever the request's outcome.
#include <cstring>

#include "backend/family8_backend.h"
#include "backend/family9_backend.h"
#include "driver/driver_access.h"
#include "driver/record_failure.h"
#include "driver/series_command.h"

namespace {

// The drive SCSI command packet.
constexpr uint8_t kScsiNoData = 0x11;
constexpr uint8_t kScsiWithData = 0xF1;
constexpr uint8_t kScsiWords = 67;  // a 12-byte head and a 256-byte command block field
constexpr size_t kPort = 3;
constexpr size_t kTimeout = 5;
constexpr size_t kDirection = 6;
constexpr size_t kTarget = 10;
constexpr uint8_t kTargetMark = 0x40;
constexpr size_t kCdb = 12;
constexpr size_t kAnyPort = 2;
constexpr uint8_t kAllPorts = 0xFF;

// Time-outs of up to 9 seconds take the firmware's own; longer ones are
// counted in tens of seconds, at most 150 seconds.
constexpr int32_t kShortestTimeout = 9;
constexpr int32_t kLongestTimeout = 150;

// Firmware command 0x1F with its sub-code.
constexpr uint8_t kControllerCommand = 0x1F;
constexpr uint8_t kControllerCommandWords = 5;
constexpr uint16_t kSubCode = 47;
constexpr size_t kCommandCount = 12;
constexpr size_t kCommandValue = 16;

constexpr uint32_t kDriverCommand512 = 512;

uint8_t timeout_code(int32_t seconds) {
    if (seconds <= kShortestTimeout) return 0;
    return uint8_t((seconds < kLongestTimeout ? seconds : kLongestTimeout) / 10);
}

// One request on the controller's node; -1 when the node does not open or
// the request fails.
int perform(ObjectId id, SeriesDriverRequest& request, void* data, uint32_t data_length) {
    int32_t descriptor = -1;
    if (DriverAccess::open_controller(controller_id_of(id), &descriptor) != 0) return -1;
    const int result =
        DriverAccess::series_ioctl(descriptor, request.header, request.area, data, data_length);
    DriverAccess::close_controller(descriptor);
    return result == 0 ? 0 : -1;
}

}  // namespace

int Family8Backend::send_drive_scsi_command(ObjectId drive, uint8_t, uint8_t direction,
                                            const uint8_t* cdb, int32_t cdb_length,
                                            uint8_t* status, uint8_t* sense,
                                            int32_t sense_length, void* data,
                                            int32_t data_length, int32_t timeout_seconds) const {
    const bool moves_data = direction != kNoData;
    if (cdb == nullptr || cdb_length < 1 || cdb_length > kLargestCdb || direction < kNoData ||
        direction > kLastDirection || (moves_data && (data == nullptr || data_length <= 0)))
        return fail_with_api_error(kInvalidArgument);

    // Nothing reaches the caller's status or sense data when the node does
    // not open.
    int32_t descriptor = -1;
    if (DriverAccess::open_controller(controller_id_of(drive), &descriptor) != 0) return -1;
    SeriesDriverRequest request(driver_request::kFirmwareCommand);
    uint8_t* packet = request.packet();
    packet[series_packet::kOpcode] = moves_data ? kScsiWithData : kScsiNoData;
    packet[series_packet::kSizeWords] =
        uint8_t(kScsiWords + (moves_data ? SeriesBackend::get_arch_class() : 0));
    packet[kAnyPort] = kAllPorts;
    packet[kPort] = drive.b[2];
    packet[kTimeout] = uint8_t(timeout_code(timeout_seconds) << 4);
    packet[kDirection] = direction;
    packet[kTarget] = kTargetMark;
    std::memcpy(packet + kCdb, cdb, size_t(cdb_length));

    const int result =
        DriverAccess::series_ioctl(descriptor, request.header, request.area,
                                   moves_data ? data : nullptr,
                                   moves_data ? uint32_t(data_length) : 0);
    const uint8_t scsi_status = packet[series_packet::kStatus];
    if (status != nullptr) *status = scsi_status;
    if (scsi_status != 0 && sense != nullptr && sense_length > 0)
        std::memcpy(sense, request.area,
                    size_t(sense_length < kSenseBytes ? sense_length : kSenseBytes));
    DriverAccess::close_controller(descriptor);
    return result == 0 ? 0 : -1;
}

int Family8Backend::send_driver_command_512(ObjectId id) const {
    SeriesDriverRequest request(kDriverCommand512);
    return perform(id, request, nullptr, 0);
}

int Family9Backend::send_opcode_1f_47(ObjectId id, uint16_t value) const {
    SeriesDriverRequest request(driver_request::kFirmwareCommand);
    uint8_t* packet = request.packet();
    packet[series_packet::kOpcode] = kControllerCommand;
    packet[series_packet::kSizeWords] = kControllerCommandWords;
    le::store(packet + series_packet::kCount, kSubCode, 2);
    le::store(packet + kCommandCount, 1, 4);
    le::store(packet + kCommandValue, value, 2);
    return perform(id, request, nullptr, 0);
}
