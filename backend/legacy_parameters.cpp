// The first series' command transport, its parameter access and the small
// command senders that the queries and the configuration operations
// compose.
#include <memory>
#include <new>

#include "backend/legacy_backend.h"
#include "backend/legacy_command.h"
#include "backend/legacy_descriptor.h"
#include "driver/driver_access.h"
#include "driver/record_failure.h"

using namespace legacy_packet;

namespace {

// Parameters are at most this long; a larger size cannot describe one.
constexpr uint32_t kMaxParameterSize = 0xFFFF;

int parameter_command(uint8_t opcode, ObjectId id, uint16_t table, uint8_t parameter, uint32_t size,
                      const void* value, void* out, uint8_t unit) {
    if (size > kMaxParameterSize) return fail_with_api_error(kInvalidArgument);
    std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[size + kBlockValue]());
    if (!block) return fail_with_api_error(kApiMemoryAllocation);
    block[kBlockTable] = uint8_t(table);
    block[kBlockTable + 1] = uint8_t(table >> 8);
    block[kBlockParameter] = parameter;
    block[kBlockSize] = uint8_t(size);
    if (value != nullptr) std::memcpy(block.get() + kBlockValue, value, size);

    LegacyCommand command(opcode, 4);
    command.bytes[kUnit] = unit;
    command.put16(kOperand, 1);
    if (send_legacy_command(id, command, block.get(), size + kBlockValue) != 0) return -1;
    if (out != nullptr) std::memcpy(out, block.get() + kBlockValue, size);
    return 0;
}

}  // namespace

int send_on_descriptor(int32_t descriptor, LegacyCommand& command, void* data, uint32_t data_length,
                       uint8_t request) {
    return DriverAccess::legacy_ioctl(descriptor, command.bytes, data, data_length, request) == 0
               ? 0
               : -1;
}

int send_legacy_command(ObjectId id, LegacyCommand& command, void* data, uint32_t data_length,
                        uint8_t request) {
    int32_t descriptor = -1;
    if (DriverAccess::open_controller(id, &descriptor) != 0) return -1;
    const int result = send_on_descriptor(descriptor, command, data, data_length, request);
    DriverAccess::close_controller(descriptor);
    return result;
}

int LegacyBackend::get_parameter(ObjectId id, uint16_t table, uint8_t parameter, uint32_t size,
                                 void* out, uint8_t unit) const {
    return parameter_command(kGetParameter, id, table, parameter, size, nullptr, out, unit);
}

int LegacyBackend::set_parameter(ObjectId id, uint16_t table, uint8_t parameter, uint32_t size,
                                 const void* value, uint8_t unit) const {
    return parameter_command(kSetParameter, id, table, parameter, size, value, nullptr, unit);
}

int LegacyBackend::send_add_drive(ObjectId id) const {
    uint32_t ports = 0;
    if (get_number_of_ports(id, &ports) != 0) return -1;
    const uint8_t port = id.b[2];
    if (port >= ports) return fail_with_api_error(kApiScanInvalidPort);
    LegacyCommand command(kAddDrive, 3);
    command.put32(kPortMask, uint32_t(1) << port);
    return send_legacy_command(id, command, nullptr, 0);
}

int LegacyBackend::send_import_unit(ObjectId id, uint32_t port_mask) const {
    LegacyCommand command(kImportUnit, 3);
    command.put32(kPortMask, port_mask);
    return send_legacy_command(id, command, nullptr, 0);
}

int LegacyBackend::send_replace_drive(ObjectId id, uint8_t unit, uint8_t member,
                                      uint8_t replacement) const {
    LegacyCommand command(kReplaceDrive, 2);
    command.bytes[kUnit] = unit;
    command.bytes[kOperand] = replacement;
    command.bytes[kOperand2] = member;
    return send_legacy_command(id, command, nullptr, 0);
}

int LegacyBackend::send_remove_drive(ObjectId id, uint8_t byte6, uint8_t byte7,
                                     uint8_t byte3) const {
    LegacyCommand command(kRemoveDrive, 2);
    command.bytes[kUnit] = byte3;
    command.bytes[kOperand] = byte6;
    command.bytes[kOperand2] = byte7;
    return send_legacy_command(id, command, nullptr, 0);
}

int LegacyBackend::send_delete_unit(ObjectId unit, uint8_t mode) const {
    LegacyCommand command(kDeleteUnit, 2);
    command.bytes[kUnit] = unit.b[4];
    command.bytes[kOperand2] = mode;
    return send_legacy_command(unit, command, nullptr, 0);
}

int LegacyBackend::send_background_task(ObjectId id, uint8_t unit, uint8_t task, uint8_t mode,
                                        uint8_t subunit) const {
    LegacyCommand command(kBackgroundTask, 2);
    command.bytes[kUnit] = unit;
    command.bytes[kOperand] = uint8_t((mode & 3) << 6 | (task & 0x3F));
    command.bytes[kOperand2] = subunit;
    return send_legacy_command(id, command, nullptr, 0);
}

int LegacyBackend::send_create_unit(ObjectId id, uint32_t data_length, const uint8_t* descriptor,
                                    uint16_t descriptor_length, ObjectId* out) const {
    uint8_t data[legacy_descriptor::kMaxSize];
    if (data_length > sizeof data) return fail_with_api_error(kInvalidArgument);
    std::memcpy(data, descriptor, data_length);
    LegacyCommand command(kCreateUnit, 4);
    command.put16(kOperand, descriptor_length);
    if (send_legacy_command(id, command, data, data_length) != 0) return -1;
    // A number no family-3 unit can have names no unit.
    const uint8_t number = command.bytes[kUnit];
    if (number >= kMaxUnits) return fail_with_api_error(kApiFailedToGetUnitId);
    return ctl_make_unit_id(id.b[1], 0xFF, number, 0xFF, 0xFF, out);
}

int LegacyBackend::read_error_log(ObjectId id, uint8_t* out) const {
    LegacyCommand command(kReadErrorLog, 4);
    command.put16(kOperand, 2);
    return send_legacy_command(id, command, out, kErrorLogSize);
}
