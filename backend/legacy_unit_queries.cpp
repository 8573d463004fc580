// The first series' unit and drive queries: the inventories, each unit's
// status, type, capacity, progress and members, each drive's status,
// details and owner. A unit's configuration is its descriptor (table 0x300
// + unit, parameter 6); its status is a raw byte of the unit status list.
#include <cstring>

#include "backend/legacy_backend.h"
#include "backend/legacy_descriptor.h"
#include "backend/parameter_size_table.h"
#include "driver/record_failure.h"

using namespace legacy_descriptor;

namespace {

constexpr uint16_t kPortSummary = 2;
constexpr uint16_t kUnitSummary = 3;
constexpr uint8_t kStatusList = 3;
constexpr uint32_t kStatusListSize = 16;  // one byte per port or unit number
constexpr uint16_t kDriveTable = 0x200;
constexpr uint16_t kUnitTable = 0x300;
constexpr uint8_t kDescriptorLength = 5;  // the descriptor's length plus 3
constexpr uint8_t kDescriptor = 6;
constexpr uint8_t kWriteCache = 7;
constexpr uint8_t kDriveCapacity = 2, kDriveModel = 3, kDriveSerial = 4, kDriveOwner = 11,
                  kDriveFirmware = 14;
constexpr uint16_t kProgress = 0x406;
constexpr uint8_t kProgressValues = 2;
constexpr size_t kProgressEntries = 8;  // tenths of a percent: the unit, then its members
constexpr uint8_t kNoUnit = 0xFF;
constexpr uint8_t kNoPort = 0xFF;

// Unit status codes.
constexpr uint8_t kOk = 255, kVerifying = 251, kInitializing = 247, kDegraded = 239,
                  kRebuilding = 223, kUnknown = 17;

uint8_t status_code(uint8_t raw) {
    if (raw >= 252) return kOk;
    if (raw >= 248) return kVerifying;
    if (raw >= 244) return kInitializing;
    if (raw >= 236 && raw <= 239) return kDegraded;
    if (raw >= 220 && raw <= 223) return kRebuilding;
    return raw == 0 ? 0 : kUnknown;
}

// The identifier of a top-level unit of id's controller.
int unit_id(ObjectId id, uint8_t unit, ObjectId* out) {
    return ctl_make_unit_id(id.b[1], 0xFF, unit, 0xFF, 0xFF, out);
}

ObjectId free_drive_unit() {
    ObjectId id;
    std::memset(id.b, 0xFF, sizeof id.b);
    id.b[0] = kKindUnit;
    return id;
}

void clear_list(IdList* list) {
    std::memset(list, 0xFF, sizeof list->ids);
    list->count = 0;
}

bool is_busy(uint8_t status) {
    return status == kVerifying || status == kInitializing || status == kRebuilding;
}

}  // namespace

// --- Descriptors.

int LegacyBackend::read_descriptor(ObjectId unit, uint8_t* out, size_t* length) const {
    if (is_unit_present(unit, unit.b[4]) != 1) return fail_with_api_error(kInvalidUnitId);
    const uint16_t table = uint16_t(kUnitTable + unit.b[4]);
    uint8_t stored[2] = {0, 0};
    if (get_parameter(unit, table, kDescriptorLength,
                      uint32_t(ParameterSizeTable::size_of(table, kDescriptorLength)), stored,
                      0) != 0)
        return -1;
    // The stored value is the length plus 3; below 3 it wraps and fails too.
    const uint16_t size = uint16_t(load16(stored) - 3);
    if (size > kMaxSize) return fail_with_api_error(kApiUnitDescriptor);
    std::memset(out, 0, kMaxSize);
    if (get_parameter(unit, table, kDescriptor, size, out, 0) != 0) return -1;
    *length = size;
    return 0;
}

int LegacyBackend::read_record(ObjectId unit, uint8_t* out, size_t* length) const {
    uint8_t descriptor[kMaxSize];
    size_t size = 0;
    if (read_descriptor(unit, descriptor, &size) != 0) return -1;
    Record record;
    if (!find_record(descriptor, size, unit.b[3], unit.b[5], unit.b[6], &record))
        return fail_with_api_error(kApiUnitDescriptor);
    std::memset(out, 0, kMaxSize);
    std::memcpy(out, descriptor + record.offset, record.size);
    *length = record.size;
    return 0;
}

int LegacyBackend::get_unit_descriptor(ObjectId unit, uint8_t* out) const {
    size_t length = 0;
    return read_record(unit, out, &length);
}

// --- Units.

int LegacyBackend::get_unit_list(ObjectId id, IdList* out) const {
    IdList list;
    clear_list(&list);
    for (int number = 0; number < kMaxUnits; ++number) {
        if (is_unit_present(id, uint8_t(number)) != 1) continue;
        unit_id(id, uint8_t(number), &list.ids[list.count++]);
    }
    *out = list;
    return 0;
}

int LegacyBackend::is_unit_present(ObjectId id, uint8_t unit) const {
    ObjectId top;
    uint8_t status = 0;
    if (unit_id(id, unit, &top) != 0 || get_unit_status(top, &status) != 0) return 0;
    return status != 0 ? 1 : 0;
}

int LegacyBackend::get_unit_status_byte(ObjectId unit, uint8_t* out) const {
    const uint8_t depth = unit.b[3], subunit = unit.b[5], drive = unit.b[6];
    if (depth == 1) {
        uint8_t list[64] = {};
        if (get_parameter(unit, kUnitSummary, kStatusList, kStatusListSize, list, 0) != 0)
            return -1;
        *out = unit.b[4] < kStatusListSize ? list[unit.b[4]] : 0;
        return 0;
    }
    ObjectId top;
    uint8_t descriptor[kMaxSize];
    size_t length = 0;
    if (unit_id(unit, unit.b[4], &top) != 0 || read_descriptor(top, descriptor, &length) != 0)
        return -1;
    const uint8_t type = descriptor[kType];
    const uint16_t mask = load16(descriptor + kFailedMask);
    if (type == kRaid0 || type == kRaid1 || type == kRaid1Created || type == kRaid5) {
        if (depth == 3) return fail_with_api_error(kApiNoSuchSubunit);
        if (subunit >= 16) return fail_with_api_error(kApiUnitStatus);
        *out = (mask >> subunit & 1) != 0 ? kDegraded : kOk;
        return 0;
    }
    if (type != kRaid10) return fail_with_api_error(kApiUnitStatus);
    if (depth == 2 && subunit < kMirrorStatusBytes) {
        *out = descriptor[kMirrorStatus + subunit];
        return 0;
    }
    const unsigned bit = 2u * subunit + drive;
    if (depth != 3 || bit >= 16) return fail_with_api_error(kApiUnitStatus);
    *out = (mask >> bit & 1) != 0 ? kDegraded : kOk;
    return 0;
}

int LegacyBackend::get_unit_status(ObjectId unit, uint8_t* out) const {
    uint8_t raw = 0;
    if (get_unit_status_byte(unit, &raw) != 0) return -1;
    *out = status_code(raw);
    return 0;
}

int LegacyBackend::get_unit_flags(ObjectId unit, uint8_t* out) const {
    uint8_t raw = 0;
    if (get_unit_status_byte(unit, &raw) != 0) return -1;
    *out = raw & 0x7F;
    return 0;
}

int LegacyBackend::get_unit_type(ObjectId unit, int32_t* out) const {
    uint8_t record[kMaxSize];
    size_t length = 0;
    if (read_record(unit, record, &length) != 0) return -1;
    *out = record[kType];
    return 0;
}

int LegacyBackend::get_unit_capacity(ObjectId unit, uint64_t* out) const {
    uint8_t record[kMaxSize];
    size_t length = 0;
    if (read_record(unit, record, &length) != 0) return -1;
    *out = load32(record + kCapacity);
    return 0;
}

int LegacyBackend::get_subunit_count(ObjectId unit, uint32_t* out) const {
    uint8_t record[kMaxSize];
    size_t length = 0;
    if (read_record(unit, record, &length) != 0) return -1;
    *out = record[kCount];
    return 0;
}

int LegacyBackend::get_stripe_size(ObjectId unit, uint32_t* out) const {
    uint8_t record[kMaxSize];
    size_t length = 0;
    if (read_record(unit, record, &length) != 0) return -1;
    const uint8_t type = record[kType], code = record[kStripe];
    const bool striped = type == kRaid0 || type == kRaid5 || type == kRaid10;
    // A code outside the ones a stripe can have tells no size.
    *out = striped && code >= 1 && code <= 31 ? 1u << (code - 1) : 0xFFFFFFFFu;
    return 0;
}

int LegacyBackend::get_percent_complete(ObjectId unit, int32_t* out) const {
    int32_t type = 0;
    if (get_unit_type(unit, &type) != 0) return -1;
    if (type == kRaid1 || type == kRaid1Created || type == kRaid5) {
        const size_t entry = unit.b[3] == 1 ? 0 : unit.b[3] == 2 ? unit.b[5] : kProgressEntries;
        if (entry >= kProgressEntries) return fail_with_api_error(kApiPercentComplete);
        uint8_t values[2 * kProgressEntries] = {};
        if (get_parameter(unit, kProgress, kProgressValues, sizeof values, values, unit.b[4]) != 0)
            return -1;
        *out = load16(values + 2 * entry) / 10;
        return 0;
    }
    if (type != kRaid10) return fail_with_api_error(kApiPercentComplete);
    IdList mirrors;
    if (get_subunit_list(unit, &mirrors) != 0) return -1;
    uint32_t sum = 0;
    bool busy = false;
    for (uint32_t m = 0; m < mirrors.count; ++m) {
        uint8_t status = 0;
        if (get_unit_status(mirrors.ids[m], &status) != 0) return -1;
        int32_t percent = 100;
        if (is_busy(status)) {
            busy = true;
            if (get_percent_complete(mirrors.ids[m], &percent) != 0) return -1;
        }
        sum += uint16_t(percent);
    }
    *out = busy ? int32_t(sum / mirrors.count) : 0;
    return 0;
}

int LegacyBackend::get_subunit_list(ObjectId unit, IdList* out) const {
    uint8_t record[kMaxSize];
    size_t length = 0;
    if (read_record(unit, record, &length) != 0) return -1;
    IdList list;
    clear_list(&list);
    const size_t members = member_count(record, length);
    for (size_t i = 0; i < members && list.count < 128; ++i) {
        const uint8_t index = uint8_t(i);
        ObjectId* id = &list.ids[list.count];
        int made = -1;
        if (unit.b[3] == 1) made = ctl_make_unit_id(unit.b[1], 0xFF, unit.b[4], index, 0xFF, id);
        if (unit.b[3] == 2)
            made = ctl_make_unit_id(unit.b[1], 0xFF, unit.b[4], unit.b[5], index, id);
        if (unit.b[3] != 1 && unit.b[3] != 2) return fail_with_api_error(kApiNoSubunits);
        if (made != 0) return -1;
        ++list.count;
    }
    *out = list;
    return 0;
}

int LegacyBackend::get_unit_drive_list(ObjectId unit, IdList* out) const {
    if (is_unit_present(unit, unit.b[4]) != 1) return fail_with_api_error(kApiDriveListNoUnit);
    uint8_t record[kMaxSize];
    size_t length = 0;
    if (read_record(unit, record, &length) != 0) return -1;
    uint8_t ports[128];
    const int found = record_drive_ports(record, length, ports, 128);
    if (found < 0) return fail_with_api_error(kApiUnitDriveList);
    IdList list;
    clear_list(&list);
    for (int i = 0; i < found; ++i)
        if (ctl_make_drive_id(unit.b[1], ports[i], &list.ids[list.count++]) != 0) return -1;
    *out = list;
    return 0;
}

int LegacyBackend::get_write_cache(ObjectId unit, uint8_t* out) const {
    if (write_cache_allowed(unit) != 0) return -1;
    return get_parameter(unit, uint16_t(kUnitTable + unit.b[4]), kWriteCache, 1, out, 0);
}

int LegacyBackend::write_cache_allowed(ObjectId unit) const {
    int32_t type = 0;
    if (get_unit_type(unit, &type) != 0) return -1;
    if (type == kDisk || type == kSpare) return fail_with_api_error(kApiWriteCacheNotSupported);
    return 0;
}

// --- Drives and ports.

int LegacyBackend::get_drive_status(ObjectId drive, uint8_t* out) const {
    const uint8_t port = drive.b[2];
    if (port == kNoPort) {
        *out = 0;
        return 0;
    }
    uint8_t list[128] = {};
    if (get_parameter(drive, kPortSummary, kStatusList, kStatusListSize, list, 0) != 0) return -1;
    *out = port < kStatusListSize ? list[port] : 0;
    return 0;
}

int LegacyBackend::is_drive_present(ObjectId id, uint8_t port) const {
    ObjectId drive = id;
    drive.b[0] = kKindDrive;
    drive.b[2] = port;
    uint8_t status = 0;
    if (get_drive_status(drive, &status) != 0) return 0;
    return status != 0 && status != 1 ? 1 : 0;
}

int LegacyBackend::get_drive_list(ObjectId id, IdList* out) const {
    IdList list;
    clear_list(&list);
    for (int port = 0; port < kMaxPorts; ++port)
        if (is_drive_present(id, uint8_t(port)) == 1)
            ctl_make_drive_id(id.b[1], uint8_t(port), &list.ids[list.count++]);
    *out = list;
    return 0;
}

int LegacyBackend::get_port_list(ObjectId id, IdList* out) const {
    uint32_t ports = 0;
    if (get_number_of_ports(id, &ports) != 0) return -1;
    IdList list;
    clear_list(&list);
    for (uint32_t port = 0; port < ports && port < 128; ++port)
        ctl_make_port_id(id.b[1], uint8_t(port), &list.ids[list.count++]);
    *out = list;
    return 0;
}

int LegacyBackend::get_drive_capacity(ObjectId drive, uint64_t* out) const {
    *out = 0;
    uint8_t bytes[4] = {};
    if (get_parameter(drive, uint16_t(kDriveTable + drive.b[2]), kDriveCapacity, 4, bytes, 0) != 0)
        return -1;
    *out = load32(bytes);
    return 0;
}

int LegacyBackend::get_drive_model(ObjectId drive, char* out) const {
    return read_text(drive, uint16_t(kDriveTable + drive.b[2]), kDriveModel, out, kModelSize);
}

int LegacyBackend::get_drive_serial_number(ObjectId drive, char* out) const {
    return read_text(drive, uint16_t(kDriveTable + drive.b[2]), kDriveSerial, out, kTextSize);
}

int LegacyBackend::get_drive_firmware_version(ObjectId drive, char* out) const {
    return read_text(drive, uint16_t(kDriveTable + drive.b[2]), kDriveFirmware, out, kTextSize);
}

int LegacyBackend::get_drive_unit(ObjectId drive, ObjectId* out) const {
    // Anything not found below leaves the answer of a free drive.
    *out = free_drive_unit();
    const uint8_t port = drive.b[2];
    if (is_drive_present(drive, port) != 1) return fail_with_api_error(kApiDriveUnitPortEmpty);
    uint8_t owner = kNoUnit;
    if (get_parameter(drive, uint16_t(kDriveTable + port), kDriveOwner, 1, &owner, 0) != 0)
        return -1;
    if (owner == kNoUnit) return 0;
    ObjectId top;
    uint8_t descriptor[kMaxSize];
    size_t length = 0;
    if (unit_id(drive, owner, &top) != 0 || read_descriptor(top, descriptor, &length) != 0)
        return -1;
    const uint8_t type = descriptor[kType];
    if (type == kJbod || type == kDisk || type == kSpare) {
        *out = top;
        return 0;
    }
    if (type != kRaid0 && type != kRaid1 && type != kRaid1Created && type != kRaid5 &&
        type != kRaid10)
        return 0;
    uint8_t subunit = 0xFF, index = 0xFF, depth = 1;
    if (!find_port(descriptor, length, port, &subunit, &index, &depth))
        return fail_with_api_error(kApiDriveNotInUnit);
    return ctl_make_unit_id(drive.b[1], 0xFF, owner, subunit, depth == 3 ? index : 0xFF, out);
}
