// The firmware commands that create, change and import units and take
// drives in and out: their packets, and the descriptor lists that create
// and migrate carry.
#include <cstring>

#include "backend/id_list_helpers.h"
#include "backend/series_backend.h"
#include "driver/driver_access.h"
#include "driver/driver_request_layout.h"
#include "driver/record_failure.h"
#include "driver/series_command.h"


namespace {

constexpr uint8_t kCreateUnit = 0x74;
constexpr uint8_t kUnitChange = 0x6F;
constexpr uint8_t kPortScan = 0x06;
constexpr uint8_t kImport = 0x07;
constexpr uint8_t kRemoveDrive = 0x0A;

constexpr size_t kSubCode = 6;      // port scan: the caller's flag
constexpr size_t kByte7 = 7;        // remove drive: the port
constexpr size_t kDataMark = 8;     // list commands: 1
constexpr size_t kChange = 10;      // unit change: the sub-operation
constexpr size_t kDiskUnit = 11;    // mirror: the DISK unit
constexpr size_t kBitmap = 8;       // port scan and import: bytes 8 to 39

constexpr uint8_t kMigrate = 0, kSplit = 2, kMirror = 8;
constexpr uint8_t kPlainSize = 2;
constexpr uint8_t kScanSizeNew = 6, kScanSizeOld = 3;
constexpr uint32_t kScanSizeLevel = 34;
constexpr uint32_t kUnchangedData = 3900;  // what mirror and split send along
constexpr uint8_t kMaxUnitNumber = 63;

// One command on its own open of the controller; the packet's bytes as
// the command returned them go back in packet.
int send_command(ObjectId id, uint8_t* packet, size_t packet_size, void* data,
                 uint32_t length) {
    int32_t descriptor = -1;
    if (DriverAccess::open_controller(controller_id_of(id), &descriptor) != 0) return -1;
    SeriesDriverRequest request(driver_request::kFirmwareCommand);
    std::memcpy(request.packet(), packet, packet_size);
    const int result =
        DriverAccess::series_ioctl(descriptor, request.header, request.area, data, length);
    std::memcpy(packet, request.packet(), packet_size);
    DriverAccess::close_controller(descriptor);
    return result == 0 ? 0 : -1;
}

uint8_t list_packet_size() { return uint8_t(SeriesBackend::get_arch_class() + 3); }

// The ports of a drive list, in its order.
void ports_of(const IdList* drives, uint8_t* ports) {
    for (uint32_t i = 0; i < drives->count; ++i) ports[i] = drives->ids[i].b[2];
}

}  // namespace

int SeriesBackend::send_create_unit_command(ObjectId controller, const uint8_t* list,
                                            uint16_t length, ObjectId* out) const {
    uint8_t packet[16] = {};
    packet[series_packet::kOpcode] = kCreateUnit;
    packet[series_packet::kSizeWords] = list_packet_size();
    le::store(packet + series_packet::kCount, length, 2);
    packet[kDataMark] = 1;
    uint8_t data[UnitListBuffer::kBytes];
    std::memcpy(data, list, length);
    if (send_command(controller, packet, sizeof packet, data, length) != 0) return -1;
    // The firmware answers with the new unit's number; one that names no
    // unit leaves the caller nothing to use.
    const uint8_t number = packet[series_packet::kUnit];
    if (number > kMaxUnitNumber) return fail_with_api_error(kApiFailedToGetUnitId);
    return ctl_make_unit_id(controller.b[1], 0xFF, number, 0xFF, 0xFF, out);
}

namespace {

// Unit change 0x6F on the unit: the sub-operation, and for a mirror the
// DISK unit; the list of a migration, else the unchanged data.
int send_unit_change(ObjectId unit, uint8_t change, uint8_t disk, const uint8_t* list,
                     uint16_t length) {
    uint8_t packet[16] = {};
    packet[series_packet::kOpcode] = kUnitChange;
    packet[series_packet::kSizeWords] = list_packet_size();
    packet[series_packet::kUnit] = unit.b[4];
    le::store(packet + series_packet::kCount, length, 2);
    packet[kDataMark] = 1;
    packet[kChange] = change;
    packet[kDiskUnit] = disk;
    uint8_t data[UnitListBuffer::kBytes] = {};
    if (list != nullptr) std::memcpy(data, list, length);
    return send_command(unit, packet, sizeof packet, data,
                        list != nullptr ? length : kUnchangedData);
}

}  // namespace

int SeriesBackend::send_migrate_unit_command(ObjectId controller, const uint8_t* list,
                                             uint16_t length, ObjectId unit) const {
    unit.b[1] = controller.b[1];
    return send_unit_change(unit, kMigrate, 0, list, length);
}

int SeriesBackend::send_mirror_disk_command(ObjectId single, ObjectId disk) const {
    return send_unit_change(single, kMirror, disk.b[4], nullptr, 0);
}

int SeriesBackend::send_split_mirror_command(ObjectId unit) const {
    return send_unit_change(unit, kSplit, 0, nullptr, 0);
}

namespace {

int send_bitmap(const SeriesBackend& backend, ObjectId controller, uint8_t opcode,
                const PortBitmap& ports, uint8_t flag) {
    uint32_t level = 30;
    if (backend.get_firmware_level(controller, &level) != 0) level = 30;
    uint8_t packet[kBitmap + PortBitmap::kBytes] = {};
    packet[series_packet::kOpcode] = opcode;
    packet[series_packet::kSizeWords] = level > kScanSizeLevel ? kScanSizeNew : kScanSizeOld;
    packet[kSubCode] = flag;
    std::memcpy(packet + kBitmap, ports.bytes, PortBitmap::kBytes);
    return send_command(controller, packet, sizeof packet, nullptr, 0);
}

}  // namespace

int SeriesBackend::send_port_scan_bitmap(ObjectId controller, const PortBitmap& ports) const {
    return send_bitmap(*this, controller, kPortScan, ports, 0);
}

int SeriesBackend::send_port_scan_bitmap_with_flag(ObjectId controller, const PortBitmap& ports,
                                                   uint8_t flag) const {
    return send_bitmap(*this, controller, kPortScan, ports, flag);
}

int SeriesBackend::send_import_bitmap(ObjectId controller, const PortBitmap& ports) const {
    return send_bitmap(*this, controller, kImport, ports, 0);
}

int SeriesBackend::send_unit_commands(ObjectId unit, const UnitCommand* commands,
                                      int count) const {
    int32_t descriptor = -1;
    if (DriverAccess::open_controller(controller_id_of(unit), &descriptor) != 0) return -1;
    int result = 0;
    for (int i = 0; i < count && result == 0; ++i) {
        SeriesDriverRequest request(driver_request::kFirmwareCommand);
        uint8_t* packet = request.packet();
        packet[series_packet::kOpcode] = commands[i].opcode;
        packet[series_packet::kSizeWords] = kPlainSize;
        packet[series_packet::kUnit] = unit.b[4];
        packet[kSubCode] = commands[i].byte6;
        packet[kByte7] = commands[i].byte7;
        if (DriverAccess::series_ioctl(descriptor, request.header, request.area, nullptr, 0) != 0)
            result = -1;
    }
    DriverAccess::close_controller(descriptor);
    return result;
}

int SeriesBackend::release_drive(ObjectId controller, uint8_t byte6, uint8_t byte7,
                                 uint8_t byte3) const {
    uint8_t packet[8] = {};
    packet[series_packet::kOpcode] = kRemoveDrive;
    packet[series_packet::kSizeWords] = kPlainSize;
    packet[series_packet::kUnit] = byte3;
    packet[kSubCode] = byte6;
    packet[kByte7] = byte7;
    return send_command(controller, packet, sizeof packet, nullptr, 0);
}

// --- Descriptor lists.

namespace {

int send_list(const SeriesBackend& backend, const IdList* drives, const UnitListBuffer& list,
              ObjectId* unit, uint8_t migrate) {
    const ObjectId controller = controller_id_of(drives->ids[0]);
    if (migrate != 0)
        return backend.send_migrate_unit_command(controller, list.bytes, list.length(), *unit);
    return backend.send_create_unit_command(controller, list.bytes, list.length(), unit);
}

}  // namespace

int SeriesBackend::build_single_drive_unit(const IdList* drives, int32_t type,
                                           ObjectId* out) const {
    UnitListBuffer list;
    if (!build_single_drive_list(uint8_t(type), drives->ids[0].b[2], &list))
        return fail_with_api_error(kInvalidArgument);
    return send_create_unit_command(controller_id_of(drives->ids[0]), list.bytes, list.length(), out);
}

int SeriesBackend::build_flat_unit(const IdList* drives, int32_t type, int32_t stripe,
                                   ObjectId* unit, uint8_t migrate, VolumeSizes volumes) const {
    uint8_t ports[sizeof(IdList::ids) / sizeof(IdList::ids[0])];
    ports_of(drives, ports);
    // A migration carries the new layout only.
    if (migrate != 0) volumes = VolumeSizes{};
    UnitListBuffer list;
    if (!build_flat_list(uint8_t(type), uint8_t(stripe), ports, drives->count, volumes, &list))
        return fail_with_api_error(kInvalidArgument);
    return send_list(*this, drives, list, unit, migrate);
}

int SeriesBackend::build_nested_unit(const IdList* drives, int32_t type, int32_t stripe,
                                     ObjectId* unit, int32_t per_subunit, uint8_t migrate,
                                     VolumeSizes volumes) const {
    uint32_t group = 2;
    if (type == kUnitRaid50) {
        group = raid50_group_size(drives->count, per_subunit);
        if (group == 0) return fail_with_api_error(kApiInvalidGrouping);
    }
    uint8_t ports[sizeof(IdList::ids) / sizeof(IdList::ids[0])];
    ports_of(drives, ports);
    if (migrate != 0) volumes = VolumeSizes{};
    UnitListBuffer list;
    if (!build_nested_list(uint8_t(type), uint8_t(stripe), ports, drives->count, group, volumes,
                           &list))
        return fail_with_api_error(kInvalidArgument);
    return send_list(*this, drives, list, unit, migrate);
}
