// An enclosure as a whole: its identity from the cache, serial number,
// help text, status and identify indicator, whether an object can be
// identified, and the mapping between controller ports and drive slots.
#include <cstring>

#include "backend/enclosure_elements.h"
#include "backend/safte_buffers.h"

using namespace enclosure;

namespace {

constexpr int32_t kVpdBufferSize = 512;
constexpr size_t kSerialRoom = 128;

// The first sub-enclosure record of a valid SES enclosure.
const SubEnclosureRecord* first_sub_enclosure(SeriesBackend& backend, const ObjectId& id) {
    const EnclosureCacheRecord* record = valid_record(backend, id);
    return record == nullptr ? nullptr : &record->sub_enclosures[0];
}

void copy_text(char* out, const char* text, size_t length) {
    std::memcpy(out, text, length);
    out[length] = '\0';
}

// Whether the port holds a drive: bit 7 of its byte in the port status
// array; 0 for ports past the array and when the array cannot be read.
bool port_present(const ObjectId& id, uint8_t port) {
    if (port >= kPortStatusSize) return false;
    uint8_t status[kPortStatusSize];
    if (SeriesBackend::get_parameter(id, status, sizeof status, kPortStatusTable,
                                     kPortStatusParameter, kPortStatusSize) != 0)
        return false;
    return (status[port] & kPortPresent) != 0;
}

int drive_byte(const ObjectId& id, uint8_t port, uint32_t parameter, uint8_t* out) {
    return SeriesBackend::get_parameter(id, out, 1, kDriveTableBase + port, parameter, 1);
}

}  // namespace

int SeriesBackend::get_enclosure_logical_id(ObjectId id, uint8_t* out) {
    if (id.b[7] != kSes) return fail_with_api_error(kApiNotSupported);
    const SubEnclosureRecord* sub = first_sub_enclosure(*this, id);
    if (sub == nullptr) return -1;
    std::memcpy(out, sub->logical_id, sizeof sub->logical_id);
    return 0;
}

int SeriesBackend::get_enclosure_serial_number(ObjectId id, uint8_t* out) {
    if (id.b[7] != kSes) return fail_with_api_error(kApiNotSupported);
    uint8_t reply[kVpdBufferSize] = {};
    uint8_t pages[kCdbSize] = {kInquiry, 0x01, 0x00, 0x00, 0xFF};
    if (send_scsi_command(id, pages, reply, sizeof reply, 0) != 0) return -1;
    std::memset(reply, 0, sizeof reply);
    uint8_t serial[kCdbSize] = {kInquiry, 0x01, 0x80, 0x02, 0x00};
    if (send_scsi_command(id, serial, reply, sizeof reply, 0) != 0) return -1;
    const size_t n = reply[3] < kSerialRoom ? reply[3] : kSerialRoom;
    std::memcpy(out, reply + 4, n);
    return 0;
}

int SeriesBackend::get_enclosure_vendor(ObjectId id, char* out) {
    if (id.b[7] != kSes) return 0;
    const SubEnclosureRecord* sub = first_sub_enclosure(*this, id);
    if (sub == nullptr) return -1;
    copy_text(out, sub->vendor, sizeof sub->vendor);
    return 0;
}

int SeriesBackend::get_enclosure_model(ObjectId id, char* out) {
    if (id.b[7] != kSes) return 0;
    const SubEnclosureRecord* sub = first_sub_enclosure(*this, id);
    if (sub == nullptr) return -1;
    copy_text(out, sub->product, sizeof sub->product);
    return 0;
}

int SeriesBackend::get_enclosure_revision(ObjectId id, char* out) {
    if (id.b[7] != kSes) return 0;
    const SubEnclosureRecord* sub = first_sub_enclosure(*this, id);
    if (sub == nullptr) return -1;
    const bool ami = std::memcmp(sub->vendor, "AMI     ", 8) == 0;
    copy_text(out, ami ? sub->alternate_revision : sub->revision, 4);
    return 0;
}

int SeriesBackend::get_enclosure_diagnostic_log(ObjectId id, char* buffer, int32_t* size) {
    if (size == nullptr || (buffer == nullptr && *size > 0))
        return fail_with_api_error(kInvalidArgument);
    if (id.b[7] != kSes) return fail_with_api_error(kApiNotSupported);
    uint8_t page[kPageBufferSize];
    if (receive_diagnostic_page(id, kSupportedPages, page, sizeof page) != 0) return -1;
    const size_t listed = bounded_page_length(page);
    if (std::memchr(page + kPageHeader, kHelpTextPage, listed) == nullptr)
        return fail_with_api_error(kApiNotSupported);
    if (receive_diagnostic_page(id, kHelpTextPage, page, sizeof page) != 0) return -1;
    // A text longer than the page buffer is cut to what arrived.
    const int32_t n = int32_t(bounded_page_length(page));
    if (*size < n) {
        *size = n;
        return fail_with_api_error(kApiBufferTooSmall);
    }
    // An empty text may be asked for without a buffer.
    if (n > 0) std::memcpy(buffer, page + kPageHeader, size_t(n));
    *size = n;
    return 0;
}

int SeriesBackend::identify_enclosure(ObjectId id, uint8_t on) {
    if (id.b[7] != kSes) return fail_with_api_error(kApiNotSupported);
    return set_ses_identify(id, kEnclosure, on);
}

int SeriesBackend::get_enclosure_identify(ObjectId id, uint8_t* on) {
    if (id.b[7] != kSes) return fail_with_api_error(kApiNotSupported);
    return get_ses_identify(id, kEnclosure, on);
}

int SeriesBackend::get_enclosure_status(ObjectId id, uint32_t* status) {
    if (id.b[7] != kSes) {
        *status = 1;
        return 0;
    }
    uint8_t e[4];
    if (read_element_status(id, kEnclosure, e) != 0) {
        // An enclosure without an enclosure element reports 0.
        if (get_last_error_code() != kElementMissing) return -1;
        *status = 0;
        return 0;
    }
    *status = enclosure_status(e);
    return 0;
}

int SeriesBackend::supports_identify(ObjectId id, uint32_t* supported) {
    const uint8_t kind = id.b[0];
    if (kind == kKindSlot || kind == kKindDrive || kind == kKindUnit) {
        *supported = 1;
        return 0;
    }
    if (id.b[7] != kSes) {
        *supported = 0;
        return 0;
    }
    uint8_t type;
    switch (kind) {
    case kKindEnclosure: type = kEnclosure; break;
    case kKindFan: type = kCooling; break;
    case kKindPowerSupply: type = kPowerSupply; break;
    case kKindDoorLock: type = kDoorLock; break;
    case kKindAlarm: type = kAlarm; break;
    case kKindTempSensor: type = kTemperature; break;
    default: return fail_with_api_error(kApiNotSupported);
    }
    // Switched on briefly to see whether it takes, then set back.
    uint8_t saved = 0, now = 0;
    if (get_ses_identify(id, type, &saved) != 0 || set_ses_identify(id, type, 1) != 0 ||
        get_ses_identify(id, type, &now) != 0 || set_ses_identify(id, type, saved) != 0)
        return -1;
    *supported = now == 1 ? 1 : 0;
    return 0;
}

int SeriesBackend::get_port_slot(ObjectId port, ObjectId* slot) {
    uint32_t ports = 0;
    if (get_number_of_ports(port, &ports) != 0) return -1;
    const uint8_t p = port.b[2];
    if (p == 0xFF || p >= ports || p >= 128) return fail_with_api_error(kInvalidPortId);
    uint8_t type = 0;
    if (get_enclosure_type(port, &type) != 0) return -1;
    ObjectId controller = port;
    controller.b[0] = kKindController;

    if (type == kSes) {
        if (!port_present(port, p)) return fail_with_api_error(kPortNotInSlot);
        if (port.b[1] == 0xFF) return fail_with_api_error(kInvalidPortId);
        uint8_t position = 0, index = 0;
        if (drive_byte(port, p, kDrivePositionParameter, &position) != 0) return -1;
        if (position >= kPositions) return fail_with_api_error(kPortNotInSlot);
        if (drive_byte(port, p, kDriveSlotParameter, &index) != 0) return -1;
        if (index > 127) return fail_with_api_error(kPortNotInSlot);
        ObjectId enclosure;
        const EnclosureCacheRecord* record = enclosure_record(port.b[1], position);
        if (record == nullptr || (record->flags & EnclosureCacheRecord::kValid) == 0) {
            uint8_t kinds[kKindsSize];
            if (get_enclosure_position_kinds(controller, kinds) != 0)
                std::memset(kinds, 0, sizeof kinds);
            const int found =
                discover_position(*this, controller, position, type, kinds[position], &enclosure);
            if (found < 0) return -1;
            if (found == 0) return fail_with_api_error(kPortNotInSlot);
        } else {
            if (ctl_make_enclosure_id(port.b[1], position, &enclosure) != 0) return -1;
            enclosure.b[6] = record->position_kind;
            enclosure.b[5] = record->sub_enclosures[0].lun;
        }
        return ctl_make_slot_id(enclosure, index, slot);
    }

    uint8_t controller_index = 0, port_number = 0;
    if (ctl_parse_port_id(port, &controller_index, &port_number) != 0) return -1;
    if (port_number >= ports) return fail_with_api_error(kInvalidPortId);
    ObjectId found;
    std::memset(found.b, 0xFF, sizeof found.b);
    found.b[0] = kKindSlot;
    found.b[1] = controller_index;
    EnclosureIdList enclosures;
    if (get_enclosure_list(controller, &enclosures) != 0) return -1;
    for (uint32_t e = 0; e < enclosures.count && found.b[2] == 0xFF; ++e) {
        const ObjectId& enclosure = enclosures.ids[e];
        uint8_t configuration[kPageBufferSize], status[kPageBufferSize];
        if (read_safte_configuration(enclosure, configuration) != 0 ||
            read_buffer(enclosure, kSafteStatus, status, kSafteBufferLength) != 0)
            return -1;
        const size_t ids = safte_slot_ports_at(configuration);
        for (uint32_t i = 0; i < configuration[kSafteSlots]; ++i) {
            if (status[ids + i] != port_number) continue;
            if (ctl_make_slot_id(enclosure, uint8_t(i), &found) != 0) return -1;
            break;
        }
    }
    *slot = found;
    return 0;
}

int SeriesBackend::get_slot_port(ObjectId slot, ObjectId* port) {
    if (check_slot_index(slot) != 0) return -1;
    uint8_t type = 0;
    if (get_enclosure_type(slot, &type) != 0) return -1;
    if (type == kSes) {
        uint8_t present[kPortStatusSize];
        if (get_parameter(slot, present, sizeof present, kPortStatusTable, kPortStatusParameter,
                          kPortStatusSize) != 0)
            return -1;
        for (int p = 0; p < int(kPortStatusSize); ++p) {
            if ((present[p] & kPortPresent) == 0) continue;
            uint8_t position = 0, index = 0;
            if (drive_byte(slot, uint8_t(p), kDrivePositionParameter, &position) != 0) return -1;
            if (position >= kPositions || position != uint8_t(slot.b[4] - kPositionBase)) continue;
            if (drive_byte(slot, uint8_t(p), kDriveSlotParameter, &index) != 0) return -1;
            if (index > 127 || index != slot.b[2]) continue;
            return ctl_make_port_id(slot.b[1], uint8_t(p), port);
        }
        return fail_with_api_error(kPortNotInSlot);
    }
    uint8_t configuration[kPageBufferSize];
    if (read_safte_configuration(slot, configuration) != 0) return -1;
    if (slot.b[2] >= configuration[kSafteSlots]) return fail_with_api_error(kSlotMissing);
    uint8_t status[kPageBufferSize];
    if (read_buffer(slot, kSafteStatus, status, kSafteBufferLength) != 0) return -1;
    return ctl_make_port_id(slot.b[1], status[safte_slot_ports_at(configuration) + slot.b[2]], port);
}
