// What a second-series controller tells of its drives and ports: which
// ports hold a drive, the port-status bytes, the drives' own parameters,
// and the ATA and raw firmware command pass-throughs.
#include <cstring>

#include "backend/series_backend.h"
#include "backend/series_parameter_access.h"
#include "driver/driver_access.h"
#include "driver/driver_request_layout.h"
#include "driver/series_command.h"

using namespace series_access;

namespace {

constexpr Parameter kCapacity32{0x200, 2, 4};
constexpr Parameter kModel{0x200, 3, 40};
constexpr Parameter kSerialNumber{0x200, 4, 20};
constexpr Parameter kDriveFlags{0x200, 12, 1};
constexpr Parameter kFirmwareVersion{0x200, 14, 8};
constexpr Parameter kCapacity64{0x200, 23, 8};

constexpr uint8_t kNoPort = 0xFF;
constexpr uint32_t kWideCapacityLevel = 32;
constexpr uint32_t kListRoom = sizeof(IdList::ids) / sizeof(IdList::ids[0]);

// The ATA pass-through packet.
namespace ata {
constexpr size_t kPort = 3;
constexpr size_t kSizeAndTimeout = 5;
constexpr size_t kProtocol = 6;
constexpr size_t kFeatures = 8;
constexpr size_t kSectorCount = 10;
constexpr size_t kLbaLow = 12;
constexpr size_t kLbaMid = 14;
constexpr size_t kLbaHigh = 16;
constexpr size_t kDevice = 18;
constexpr size_t kCommand = 19;
constexpr uint8_t kWithoutData = 0x11;
constexpr uint8_t kWithData = 0xB1;
constexpr uint8_t kPacketWords = 5;
constexpr uint16_t kNonData = 8;
constexpr uint16_t kPioDataIn = 13;
constexpr uint8_t kDownloadMicrocode = 0x92;
constexpr uint8_t kSmart = 0xB0;
constexpr uint8_t kSmartReadData = 0xD0;
constexpr uint8_t kIdentifyDevice = 0xEC;
constexpr uint32_t kNoBlocksLength = 0x20000;
constexpr int32_t kLongestTimeout = 150;
}  // namespace ata

// Time-outs of up to 9 s ask for none; longer ones go in tens of seconds,
// at most 15.
uint8_t timeout_code(int32_t seconds) {
    if (seconds <= 9) return 0;
    return uint8_t((seconds > ata::kLongestTimeout ? ata::kLongestTimeout : seconds) / 10);
}

uint32_t ata_data_length(uint16_t sector_count, uint16_t lba_low, uint8_t command) {
    const uint32_t blocks = command == ata::kDownloadMicrocode
                                ? (lba_low & 0xFFu) * 256 + (sector_count & 0xFFu)
                                : sector_count;
    return blocks == 0 ? ata::kNoBlocksLength : blocks * uint32_t(SeriesBackend::kSectorSize);
}

// One sector of data in with a single ATA command.
int read_ata_sector(const SeriesBackend& backend, ObjectId drive, uint8_t command,
                    uint16_t features, uint16_t lba_mid, uint16_t lba_high, uint8_t* out) {
    uint16_t count = 1, lba_low = 0;
    uint8_t device = 0;
    return backend.send_ata_command(drive, 1, ata::kPioDataIn, &features, &count, &lba_low,
                                    &lba_mid, &lba_high, &device, &command, out, 0);
}

}  // namespace

// The two lists test every port as is_port_present and is_port_valid do,
// over one read of the port-status array or of the number of ports: the
// answer a read per port would give, for one request in place of 128. A
// failed read leaves every port out, as it would each port's test.
int SeriesBackend::get_drive_list(ObjectId id, IdList* out) const {
    IdList list;
    std::memset(&list, 0xFF, sizeof list);
    list.count = 0;
    uint8_t status[kPortSlots];
    const bool read = read_port_status(id, status) == 0;
    for (uint32_t port = 0; read && port < kPortSlots && list.count < kListRoom; ++port) {
        if (drive_in_port(status, port) == 0) continue;
        ObjectId& drive = list.ids[list.count++];
        drive.b[0] = kKindDrive;
        drive.b[1] = id.b[1];
        drive.b[2] = uint8_t(port);
    }
    *out = list;
    return 0;
}

int SeriesBackend::get_port_list(ObjectId id, IdList* out) const {
    IdList list;
    std::memset(&list, 0xFF, sizeof list);
    list.count = 0;
    uint32_t ports;
    const bool read = read_as(id, kPorts, &ports) == 0;
    for (uint32_t port = 0; read && port < kPortSlots; ++port) {
        if (port_within(ports, port) != 1) continue;
        ctl_make_port_id(id.b[1], uint8_t(port), &list.ids[list.count++]);
    }
    *out = list;
    return 0;
}

int SeriesBackend::get_drive_status(ObjectId drive, uint8_t* out) const {
    const uint8_t port = drive.b[2];
    if (port == kNoPort) {
        *out = 0;
        return 0;
    }
    uint8_t status[kPortSlots];
    if (read_port_status(drive, status) != 0) return -1;
    // Ports beyond the array hold no drive.
    *out = port < kPortSlots ? status[port] : 0;
    return 0;
}

int SeriesBackend::get_drive_status_list(IdList list, uint8_t* out) const {
    uint8_t status[kPortSlots];
    if (read_port_status(list.ids[0], status) != 0) return -1;
    const uint32_t count = list.count < kListRoom ? list.count : kListRoom;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t port = list.ids[i].b[2];
        out[i] = port < kPortSlots ? status[port] : 0;
    }
    return 0;
}

int SeriesBackend::get_drive_capacity(ObjectId drive, uint64_t* out) const {
    uint32_t level = 0;
    if (get_firmware_level(drive, &level) != 0) level = 0;
    const Parameter p = level > kWideCapacityLevel ? kCapacity64 : kCapacity32;
    return read_as(drive, of_object(p, drive.b[2]), out);
}

int SeriesBackend::get_drive_model(ObjectId drive, char* out) const {
    return read_text(drive, of_object(kModel, drive.b[2]), out, kModelSize);
}

int SeriesBackend::get_drive_serial_number(ObjectId drive, char* out) const {
    return read_text(drive, of_object(kSerialNumber, drive.b[2]), out, kTextSize);
}

int SeriesBackend::get_drive_firmware_version(ObjectId drive, char* out) const {
    return read_text(drive, of_object(kFirmwareVersion, drive.b[2]), out, kTextSize);
}

int SeriesBackend::get_drive_flags(ObjectId drive, uint8_t* out) const {
    return read_as(drive, of_object(kDriveFlags, drive.b[2]), out);
}

int SeriesBackend::send_ata_command(ObjectId drive, uint8_t size_code, uint16_t protocol,
                                    uint16_t* features, uint16_t* sector_count, uint16_t* lba_low,
                                    uint16_t* lba_mid, uint16_t* lba_high, uint8_t* device,
                                    uint8_t* command, void* data, int32_t timeout) const {
    int32_t descriptor = -1;
    if (DriverAccess::open_controller(drive, &descriptor) != 0) return -1;
    SeriesDriverRequest request(driver_request::kFirmwareCommand);
    uint8_t* packet = request.packet();
    const bool with_data = data != nullptr;
    packet[series_packet::kOpcode] = with_data ? ata::kWithData : ata::kWithoutData;
    packet[series_packet::kSizeWords] =
        uint8_t(with_data ? get_arch_class() + ata::kPacketWords : ata::kPacketWords);
    packet[2] = 0xFF;
    packet[ata::kPort] = drive.b[2];
    packet[ata::kSizeAndTimeout] = uint8_t((size_code & 0x03) | timeout_code(timeout) << 4);
    le::store(packet + ata::kProtocol, with_data ? protocol : ata::kNonData, 2);
    le::store(packet + ata::kFeatures, *features, 2);
    le::store(packet + ata::kSectorCount, *sector_count, 2);
    le::store(packet + ata::kLbaLow, *lba_low, 2);
    le::store(packet + ata::kLbaMid, *lba_mid, 2);
    le::store(packet + ata::kLbaHigh, *lba_high, 2);
    packet[ata::kDevice] = *device;
    packet[ata::kCommand] = *command;
    const uint32_t length = with_data ? ata_data_length(*sector_count, *lba_low, *command) : 0;

    const int result =
        DriverAccess::series_ioctl(descriptor, request.header, request.area, data, length);
    *features = uint16_t(le::load(packet + ata::kFeatures, 2));
    *sector_count = uint16_t(le::load(packet + ata::kSectorCount, 2));
    *lba_low = uint16_t(le::load(packet + ata::kLbaLow, 2));
    *lba_mid = uint16_t(le::load(packet + ata::kLbaMid, 2));
    *lba_high = uint16_t(le::load(packet + ata::kLbaHigh, 2));
    *device = packet[ata::kDevice];
    *command = packet[ata::kCommand];
    DriverAccess::close_controller(descriptor);
    return result == 0 ? 0 : -1;
}

int SeriesBackend::get_drive_smart_data(ObjectId drive, uint8_t* out) const {
    return read_ata_sector(*this, drive, ata::kSmart, ata::kSmartReadData, 0x4F, 0xC2, out);
}

int SeriesBackend::get_drive_identify_data(ObjectId drive, uint8_t* out) const {
    return read_ata_sector(*this, drive, ata::kIdentifyDevice, 0, 0, 0, out);
}

int SeriesBackend::send_firmware_command(ObjectId id, uint8_t, const uint8_t* area, void* data,
                                         uint32_t data_length) const {
    int32_t descriptor = -1;
    if (DriverAccess::open_controller(id, &descriptor) != 0) return -1;
    SeriesDriverRequest request(driver_request::kFirmwareCommand);
    std::memcpy(request.area, area, sizeof request.area);
    const int result =
        DriverAccess::series_ioctl(descriptor, request.header, request.area, data, data_length);
    DriverAccess::close_controller(descriptor);
    return result == 0 ? 0 : -1;
}
