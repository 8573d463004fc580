// The firmware's SCSI pass-through (opcode 0x10 of control code 264) and
// the enclosure commands built on it: INQUIRY, READ and WRITE BUFFER,
// RECEIVE DIAGNOSTIC RESULTS and SEND DIAGNOSTIC.
#include <cstring>

#include "backend/enclosure_protocol.h"
#include "backend/series_backend.h"
#include "driver/driver_access.h"
#include "driver/record_failure.h"
#include "driver/series_command.h"

using namespace enclosure;

namespace {

bool is_enclosure_target(const ObjectId& id) { return id.b[4] >= kPositionBase; }

// Target byte and LUN field of the packet. A plain command to a unit or
// port target gives the LUN as a number (twice); an enclosure command gives
// it in the field's top bits, as for an enclosure. A SAF-TE processor is
// addressed as target 64 with its position as the LUN.
void address(const ObjectId& id, uint8_t lun, bool enclosure_command, uint8_t* packet) {
    uint16_t field;
    if (!is_enclosure_target(id)) {
        packet[kPacketTarget] = id.b[4];
        field = enclosure_command ? uint16_t((lun & 15) << 12) : lun;
        if (!enclosure_command) le::store(packet + kPacketUnitLun, lun, 2);
    } else if (id.b[7] == kSes) {
        packet[kPacketTarget] = id.b[4];
        field = uint16_t((lun & 15) << 12);
    } else {
        packet[kPacketTarget] = kSafteTarget;
        field = uint16_t(((id.b[4] - kPositionBase) & 15) << 12);
    }
    le::store(packet + kPacketLun, field, 2);
}

// One pass-through request on the identifier's controller; the request's
// area is left in request for the caller to read.
int pass_through(ObjectId id, SeriesDriverRequest& request, void* data, int32_t length) {
    int32_t descriptor = -1;
    if (DriverAccess::open_controller(controller_id_of(id), &descriptor) != 0) return -1;
    const int result = DriverAccess::series_ioctl(descriptor, request.header, request.area,
                                                  length > 0 ? data : nullptr, uint32_t(length));
    DriverAccess::close_controller(descriptor);
    return result == 0 ? 0 : -1;
}

// A data buffer and its length agree, and the length is not negative.
bool data_agrees(const void* data, int32_t length) {
    return length >= 0 && (length == 0 || data != nullptr);
}

void store_length(uint8_t* at, int32_t length) {
    at[0] = uint8_t(length >> 8);
    at[1] = uint8_t(length);
}

}  // namespace

int SeriesBackend::send_scsi_command(ObjectId id, uint8_t* cdb, void* data, int32_t length,
                                     uint8_t lun) {
    if (cdb == nullptr || !data_agrees(data, length)) return fail_with_api_error(kInvalidArgument);
    SeriesDriverRequest request(driver_request::kFirmwareCommand);
    uint8_t* packet = request.packet();
    packet[0] = kPassThroughOpcode;
    address(id, lun, false, packet);
    packet[kPacketCdbLength] = kCdbSize;
    // The LUN bits of the old command block format.
    if (is_enclosure_target(id)) cdb[1] |= uint8_t(((le::load(packet + kPacketLun, 2) >> 12) & 7) << 5);
    std::memcpy(packet + kPacketCdb, cdb, kCdbSize);
    const int result = pass_through(id, request, data, length);
    std::memcpy(cdb, packet + kPacketCdb, kCdbSize);
    return result;
}

int SeriesBackend::send_enclosure_scsi_command(ObjectId id, const uint8_t* cdb, int32_t cdb_length,
                                               uint8_t* status, uint8_t* sense, int32_t sense_size,
                                               void* data, int32_t length, int32_t, uint8_t lun) {
    if (cdb == nullptr || cdb_length < 1 || cdb_length > int32_t(kCdbSize) ||
        !data_agrees(data, length) || (data != nullptr && length == 0) || sense_size < 0)
        return fail_with_api_error(kInvalidArgument);
    SeriesDriverRequest request(driver_request::kFirmwareCommand);
    uint8_t* packet = request.packet();
    packet[0] = kPassThroughOpcode;
    address(id, lun, true, packet);
    packet[kPacketCdbLength] = uint8_t(cdb_length);
    std::memcpy(packet + kPacketCdb, cdb, size_t(cdb_length));
    const int result = pass_through(id, request, data, length);

    auto copy_sense = [&] {
        const int32_t available = request.area[kAreaSenseLength];
        const int32_t n = available < sense_size ? available : sense_size;
        if (sense != nullptr && n > 0) std::memcpy(sense, request.area, size_t(n));
    };
    uint8_t scsi_status = packet[kPacketStatus];
    if (scsi_status != 0) copy_sense();
    if (request.area[kAreaStatusOverride] != 0) {
        scsi_status = request.area[kAreaStatusOverride];
        copy_sense();
    }
    if (status != nullptr) *status = scsi_status;
    return result;
}

int SeriesBackend::send_inquiry(ObjectId id, uint8_t* buffer, int32_t length, uint8_t lun) {
    if (length > 0 && buffer != nullptr) std::memset(buffer, 0, size_t(length));
    uint8_t cdb[kCdbSize] = {kInquiry, 0, 0, 0, 255};
    return send_scsi_command(id, cdb, buffer, length, lun);
}

int SeriesBackend::read_buffer(ObjectId id, uint8_t buffer_id, uint8_t* buffer, int32_t length) {
    if (length > kEnclosurePageSize) return fail_with_api_error(kInvalidArgument);
    std::memset(buffer, 0, kEnclosurePageSize);
    uint8_t cdb[kCdbSize] = {kReadBuffer, 0x01, buffer_id};
    store_length(cdb + 7, length);
    return send_scsi_command(id, cdb, buffer, length, 0);
}

int SeriesBackend::write_buffer(ObjectId id, uint8_t* buffer, int32_t length) {
    if (length > kEnclosurePageSize) return fail_with_api_error(kInvalidArgument);
    uint8_t cdb[kCdbSize] = {kWriteBuffer, 0x01, 0};
    store_length(cdb + 7, length);
    return send_scsi_command(id, cdb, buffer, length, 0);
}

int SeriesBackend::receive_diagnostic_page(ObjectId id, uint8_t page, uint8_t* buffer,
                                           int32_t length) {
    if (length > kEnclosurePageSize) return fail_with_api_error(kInvalidArgument);
    std::memset(buffer, 0, kEnclosurePageSize);
    uint8_t cdb[kCdbSize] = {kReceiveDiagnostic, 0x01, page};
    store_length(cdb + 3, length);
    if (send_scsi_command(id, cdb, buffer, length, id.b[5]) != 0) return -1;
    if (buffer[0] != page) return fail_with_api_error(kWrongPageCode);
    return 0;
}

int SeriesBackend::send_diagnostic_page(ObjectId id, uint8_t* buffer, int32_t length) {
    if (length > kEnclosurePageSize) return fail_with_api_error(kWrongPageCode);
    uint8_t cdb[kCdbSize] = {kSendDiagnostic, 0x10, 0};
    store_length(cdb + 3, length);
    return send_scsi_command(id, cdb, buffer, length, id.b[5]);
}
