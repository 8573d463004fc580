// The element pattern shared by every kind of enclosure element: counts,
// single-element reads, SAF-TE status bytes and the SES control writer.
#include <cstring>

#include "backend/enclosure_elements.h"
#include "backend/safte_buffers.h"

namespace enclosure {

int count_of(SeriesBackend& backend, const ElementKind& kind, ObjectId enclosure,
             uint32_t* count) {
    if (enclosure.b[7] == kSes) {
        int32_t n = 0;
        const uint8_t type = kind.kind == kKindSlot ? kDevice : kind.ses_type;
        if (backend.count_elements(enclosure, type, &n) != 0) return -1;
        *count = uint32_t(n);
        return 0;
    }
    uint8_t configuration[kPageBufferSize];
    if (read_safte_configuration(enclosure, configuration) != 0) return -1;
    *count = safte_element_count(configuration, kind.safte_count, kind.safte_presence);
    return 0;
}

int read_kind_element(SeriesBackend& backend, const ElementKind& kind, ObjectId id,
                      uint8_t* element, bool missing_if_absent) {
    if (check_index(kind, id) != 0) return -1;
    const int result = kind.kind == kKindSlot ? backend.read_slot_element(id, element)
                                              : backend.read_element_status(id, kind.ses_type, element);
    if (result != 0) return -1;
    if (missing_if_absent && code_of(element) == kCodeNotInstalled)
        return fail_with_api_error(kind.missing_error);
    return 0;
}

int read_safte_status_byte(const ObjectId& id, const ElementKind& kind, size_t offset,
                           uint8_t* out) {
    uint8_t configuration[kPageBufferSize];
    if (read_safte_configuration(id, configuration) != 0) return -1;
    const uint32_t count =
        safte_element_count(configuration, kind.safte_count, kind.safte_presence);
    const uint8_t index = id.b[2];
    if (index >= count || index > kind.limit) return fail_with_api_error(kind.missing_error);
    uint8_t status[kPageBufferSize];
    if (SeriesBackend::read_buffer(id, kSafteStatus, status, kSafteBufferLength) != 0) return -1;
    // Fans from the start of the buffer; the door lock and the speaker
    // behind the slots.
    const size_t first = kind.kind == kKindFan ? 0 : safte_slots_end(configuration);
    *out = status[first + offset + index];
    return 0;
}

namespace {

void apply_field(const ControlField& f, uint8_t* e, const uint8_t* control) {
    switch (f.check) {
    case Check::Equal:
    case Check::OnNotOff:
        e[f.byte] = uint8_t((e[f.byte] & ~f.bits) | (control[f.byte] & f.bits));
        break;
    case Check::SpeedCode:
        e[3] = uint8_t((e[3] & ~0x27) | 0x20 | (control[3] & 0x07));
        break;
    case Check::TonesAdded: {
        const uint8_t tones = control[3] & 0x0F;
        e[3] = tones != 0 ? uint8_t(e[3] | tones) : uint8_t(e[3] & ~0x0F);
        break;
    }
    }
}

bool field_read_back(const ControlField& f, const uint8_t* e, const uint8_t* control) {
    switch (f.check) {
    case Check::Equal: return (e[f.byte] & f.bits) == (control[f.byte] & f.bits);
    case Check::OnNotOff: {
        const bool on = (control[3] & 0x20) != 0;
        return ((e[3] & 0x20) != 0) == on && ((e[3] & 0x10) != 0) != on;
    }
    case Check::SpeedCode: return (e[3] & 0x07) == (control[3] & 0x07);
    case Check::TonesAdded: {
        const uint8_t tones = control[3] & 0x0F;
        return (e[3] & tones) == tones;
    }
    }
    return false;
}

}  // namespace

int write_control(SeriesBackend& backend, const ControlWriter& writer, ObjectId id,
                  uint8_t mask, const uint8_t* control) {
    LocatedElement located;
    if (locate_element(backend, id, writer.kind->ses_type, &located) != 0) return -1;
    uint8_t element[4];
    std::memcpy(element, located.element(), 4);
    if (code_of(element) == kCodeNotInstalled)
        return fail_with_api_error(writer.kind->missing_error);
    element[0] = uint8_t((element[0] & ~kControlClear) | kSelect);
    for (int i = 0; i < writer.field_count; ++i)
        if (mask & writer.fields[i].mask) apply_field(writer.fields[i], element, control);
    if (writer.zero_other_elements)
        std::memset(located.page + kFirstElement, 0, sizeof located.page - kFirstElement);
    std::memcpy(located.element(), element, 4);
    if (send_control_page(id, located.page, located.offset) != 0) return -1;

    LocatedElement after;
    if (locate_element(backend, id, writer.kind->ses_type, &after) != 0) return -1;
    for (int i = 0; i < writer.field_count; ++i) {
        const ControlField& f = writer.fields[i];
        if ((mask & f.mask) && !field_read_back(f, after.element(), control))
            return fail_with_api_error(f.error);
    }
    return 0;
}

}  // namespace enclosure
