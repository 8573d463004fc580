// Drive slots: flags and identify indicators of SES device elements and of
// SAF-TE slot status words; the SAF-TE slot operation is sent under the
// controller lock.
#include <cstring>

#include "backend/enclosure_elements.h"
#include "backend/safte_buffers.h"

using namespace enclosure;

namespace {

constexpr ControlField kSlotFields[] = {
    {1, 2, kSlotIdentifyBit, Check::Equal, kApiNotSupported},  // request identify
};

// The SAF-TE configuration, with the slot's index checked against it.
int safte_slot(const ObjectId& slot, uint8_t* configuration) {
    if (read_safte_configuration(slot, configuration) != 0) return -1;
    if (slot.b[2] >= configuration[kSafteSlots] || slot.b[2] >= 128)
        return fail_with_api_error(kSlotMissing);
    return 0;
}

// The SAF-TE configuration (the slot's index checked against it) and the
// slot status buffer: a word of flags per slot, then the identify bytes.
int safte_slot_status(const ObjectId& slot, uint8_t* configuration, uint8_t* status) {
    if (safte_slot(slot, configuration) != 0) return -1;
    return SeriesBackend::read_buffer(slot, kSafteSlotStatus, status, kSafteBufferLength);
}

// Reads page 2 for the slot and finds its device element there, straight
// from the cached device position of its sub-enclosure.
int locate_slot(SeriesBackend& backend, const ObjectId& slot, uint8_t* page, size_t* at) {
    const EnclosureCacheRecord* record = valid_record(backend, slot);
    if (record == nullptr) return -1;
    const uint8_t sub = slot.b[5];
    const uint8_t index = element_index(slot);
    const int device = kept_type_slot(kDevice);
    if (sub >= record->sub_enclosure_count ||
        index >= record->sub_enclosures[sub].element_count[device])
        return fail_with_api_error(kSlotMissing);
    const int32_t position = record->sub_enclosures[sub].first_element[device] + 1 + index;
    if (SeriesBackend::receive_diagnostic_page(slot, kStatusPage, page, kPageBufferSize) != 0)
        return -1;
    *at = element_offset(position, page);
    if (*at == 0) return fail_with_api_error(kElementMissing);
    return 0;
}

}  // namespace

int SeriesBackend::get_slot_count(ObjectId enclosure, uint32_t* count) {
    return count_of(*this, kSlots, enclosure, count);
}

int SeriesBackend::get_slot_list(ObjectId enclosure, SlotIdList* out) {
    return list_of(*this, kSlots, enclosure, out);
}

int SeriesBackend::get_slot_list_status(uint32_t* flags, uint32_t size, SlotIdList list) {
    uint32_t values[128] = {};
    bool failed = false;
    if (walk_elements(*this, kSlots, list, &failed, [&](uint32_t i, const uint8_t* e) {
            values[i] = slot_flags(e);
            return 0;
        }) != 0)
        return -1;
    copy_out(flags, size, values, sizeof values);
    return 0;
}

int SeriesBackend::get_slot_list_identify(uint8_t* identify, uint32_t size, SlotIdList list) {
    return list_identify(*this, kSlots, list, identify, size);
}

int SeriesBackend::read_slot_element(ObjectId slot, uint8_t* element) {
    uint8_t page[kPageBufferSize];
    size_t at = 0;
    if (locate_slot(*this, slot, page, &at) != 0) return -1;
    std::memcpy(element, page + at, 4);
    return 0;
}

int SeriesBackend::get_slot_status(ObjectId slot, uint32_t* flags) {
    if (check_slot_index(slot) != 0) return -1;
    if (slot.b[7] == kSes) {
        uint8_t e[4];
        if (read_slot_element(slot, e) != 0) return -1;
        *flags = slot_flags(e);
        return 0;
    }
    uint8_t configuration[kPageBufferSize], status[kPageBufferSize];
    if (safte_slot_status(slot, configuration, status) != 0) return -1;
    *flags = safte_slot_flags(safte_slot_word(status, slot.b[2]));
    return 0;
}

int SeriesBackend::get_slot_identify(ObjectId slot, uint8_t* on) {
    if (check_slot_index(slot) != 0) return -1;
    if (slot.b[7] == kSes) {
        uint8_t e[4];
        if (read_slot_element(slot, e) != 0) return -1;
        *on = (e[2] & kSlotIdentifyBit) >> 1;
        return 0;
    }
    uint8_t configuration[kPageBufferSize], status[kPageBufferSize];
    if (safte_slot_status(slot, configuration, status) != 0) return -1;
    *on = status[safte_slot_identify_at(configuration, slot.b[2])] != 0 ? 1 : 0;
    return 0;
}

int SeriesBackend::identify_slot(ObjectId slot, uint8_t on) {
    if (check_slot_index(slot) != 0) return -1;
    if (slot.b[7] == kSes) {
        const uint8_t control[4] = {kSelect, 0, uint8_t(on == 1 ? kSlotIdentifyBit : 0), 0};
        return write_slot_control(slot, 1, control);
    }
    // The request bits of the slot are rewritten whole, so they are read
    // and written under the lock.
    if (get_controller_lock(slot, kLockMilliseconds) != 0) return -1;
    uint32_t flags = 0;
    if (get_slot_status(slot, &flags) != 0) {
        release_controller_lock(slot);
        return -1;
    }
    uint8_t command[kPageBufferSize] = {kSafteSlotOperation, slot.b[2]};
    command[2] = uint8_t(((flags & 4) ? 0x01 : 0) | ((flags & 2) ? 0x02 : 0) | (on ? 0x04 : 0));
    const int result = write_buffer(slot, command, kSafteSlotOperationLength);
    release_controller_lock(slot);
    return result == 0 ? 0 : -1;
}

int SeriesBackend::write_slot_control(ObjectId slot, uint8_t mask, const uint8_t* control) {
    uint8_t page[kPageBufferSize];
    size_t at = 0;
    if (locate_slot(*this, slot, page, &at) != 0) return -1;
    uint8_t* e = page + at;
    e[0] = uint8_t((e[0] & ~kControlClear) | kSelect);
    for (const ControlField& f : kSlotFields)
        if (mask & f.mask) e[f.byte] = uint8_t((e[f.byte] & ~f.bits) | (control[f.byte] & f.bits));
    return send_control_page(slot, page, at);
}
