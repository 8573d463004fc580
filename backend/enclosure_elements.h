// Pieces shared by the back end's enclosure members: the cache record of an
// identifier, the element kinds with their SES types, limits and errors,
// the location of one SES element in a freshly read status page, and the
// control page sent back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "backend/enclosure_protocol.h"
#include "backend/series_backend.h"
#include "api/ctl.h"
#include "driver/record_failure.h"

namespace enclosure {

// One position's probe, identifier and cache record: 1 and the enclosure's
// identifier when an enclosure answers there, 0 when none does, -1 when its
// identifier cannot be built.
int discover_position(SeriesBackend& backend, ObjectId controller, uint8_t position,
                      uint8_t type, uint8_t kind, ObjectId* out);

// The valid cache record of the identifier's enclosure, or null with API
// error 130 recorded.
EnclosureCacheRecord* valid_record(SeriesBackend& backend, const ObjectId& id);

// The element's index within its sub-enclosure: byte 3 inside a
// sub-enclosure other than the first, else byte 2.
inline uint8_t element_index(const ObjectId& id) { return id.b[5] != 0 ? id.b[3] : id.b[2]; }

// What each element kind is made of.
struct ElementKind {
    uint8_t kind;            // identifier byte 0
    uint8_t ses_type;        // the SES type that locates it (slots: array device)
    uint8_t limit;           // highest element index
    int32_t missing_error;   // "... does not exist"
    int capacity;            // identifiers in its list
    int (*builder)(ObjectId, uint8_t, ObjectId*);
    size_t safte_count;      // SAF-TE configuration byte holding its count
    bool safte_presence;     // that byte only says present (one) or not
};
extern const ElementKind kFans, kDoorLocks, kAlarms, kSlots, kTempSensors, kPowerSupplies;
// The kind of an identifier's byte 0, or null.
const ElementKind* element_kind_of(uint8_t kind);
// The "does not exist" error of the kind an SES type serves (127 for the
// enclosure element and for types no kind uses).
int32_t missing_error_of_type(uint8_t ses_type);

// 0 when byte 2 is an index of the kind, else the kind's error.
int check_index(const ElementKind& kind, const ObjectId& id);

// A status page read for one element: the page and the element's offset.
struct LocatedElement {
    uint8_t page[kPageBufferSize];
    size_t offset;
    uint8_t* element() { return page + offset; }
};
// Locates the type in the identifier's sub-enclosure, reads page 2 and
// finds the element (type 14: the first enclosure element; else by its
// index, which must be below the type's count there). An element outside
// the page as received is API error 127.
int locate_element(SeriesBackend& backend, const ObjectId& id, uint8_t ses_type,
                   LocatedElement* out);

// Sends the status page as a control page with the element at target
// selected: every other element's SELECT bit is cleared, page byte 0 set to
// 2, the length the page declared plus 4 (more than the buffer: API 126).
int send_control_page(const ObjectId& id, uint8_t* page, size_t target);

// SAF-TE configuration (read with length 64) into a page-sized buffer.
int read_safte_configuration(const ObjectId& id, uint8_t* buffer);

}  // namespace enclosure

namespace enclosure {

// --- The element pattern, written once for every kind.

// The number of the kind's elements in the enclosure: SES from the cache,
// SAF-TE from the configuration buffer.
int count_of(SeriesBackend& backend, const ElementKind& kind, ObjectId enclosure,
             uint32_t* count);

// The identifiers of the kind's elements, each built by the kind's builder;
// more elements than the list holds fail with the builder's error and
// nothing is returned.
template <int N>
int list_of(SeriesBackend& backend, const ElementKind& kind, ObjectId enclosure,
            IdListOf<N>* out) {
    IdListOf<N> list;
    std::memset(&list, 0xFF, sizeof list);
    list.count = 0;
    uint8_t controller = 0, position = 0;
    if (ctl_parse_enclosure_id(enclosure, &controller, &position) != 0) return -1;
    uint32_t count = 0;
    if (count_of(backend, kind, enclosure, &count) != 0) return -1;
    // The builder refuses the first index past the list's room.
    for (uint32_t i = 0; i < count; ++i) {
        ObjectId id;
        if (kind.builder(enclosure, uint8_t(i), &id) != 0) return -1;
        if (i >= uint32_t(N)) return fail_with_api_error(kInvalidArgument);
        list.ids[i] = id;
        list.count = i + 1;
    }
    *out = list;
    return 0;
}

// Walks a list of SES element identifiers, reading page 2 once for each
// run of identifiers in one sub-enclosure, and hands each element to
// store(i, element); store returns -1 for an element whose value it could
// not take, which sets *element_failed and goes on. -1 when the walk
// itself fails (the first identifier's index, a non-SES enclosure, a page,
// an identifier outside its sub-enclosure's elements).
template <int N, class Store>
int walk_elements(SeriesBackend& backend, const ElementKind& kind, const IdListOf<N>& list,
                  bool* element_failed, Store store) {
    *element_failed = false;
    if (check_index(kind, list.ids[0]) != 0) return -1;
    if (list.ids[0].b[7] != kSes) return fail_with_api_error(kApiNotSupported);
    uint8_t page[kPageBufferSize];
    int32_t first = 0, count = 0;
    const uint32_t n = list.count < uint32_t(N) ? list.count : uint32_t(N);
    for (uint32_t i = 0; i < n; ++i) {
        const ObjectId& id = list.ids[i];
        if (i == 0 || id.b[5] != list.ids[i - 1].b[5]) {
            if (SeriesBackend::receive_diagnostic_page(id, kStatusPage, page, sizeof page) != 0 ||
                backend.find_element_type(id, kind.ses_type, &first, &count) != 0)
                return -1;
        }
        const uint8_t index = element_index(id);
        if (index >= count) return fail_with_api_error(kind.missing_error);
        const size_t at = element_offset(first + 1 + index, page);
        if (at == 0) return fail_with_api_error(kElementMissing);
        if (store(i, page + at) != 0) *element_failed = true;
    }
    return 0;
}

// Copies min(size, bytes) bytes of a result array to an output that may be
// absent.
inline void copy_out(void* out, uint32_t size, const void* values, size_t bytes) {
    if (out != nullptr) std::memcpy(out, values, size < bytes ? size : bytes);
}

// A list of one byte per element.
template <int N, class Value>
int list_bytes(SeriesBackend& backend, const ElementKind& kind, const IdListOf<N>& list,
               uint8_t initial, uint8_t* out, uint32_t size, Value value) {
    uint8_t values[N];
    std::memset(values, initial, sizeof values);
    bool failed = false;
    if (walk_elements(backend, kind, list, &failed, [&](uint32_t i, const uint8_t* e) {
            values[i] = value(e);
            return 0;
        }) != 0)
        return -1;
    copy_out(out, size, values, sizeof values);
    return 0;
}

// The identify bit of each element (byte 1 bit 7; slots byte 2 bit 1).
template <int N>
int list_identify(SeriesBackend& backend, const ElementKind& kind, const IdListOf<N>& list,
                  uint8_t* out, uint32_t size) {
    const bool slot = kind.kind == kKindSlot;
    return list_bytes(backend, kind, list, 0, out, size, [slot](const uint8_t* e) {
        return uint8_t(slot ? (e[2] & kSlotIdentifyBit) >> 1 : (e[1] & kIdentifyBit) >> 7);
    });
}

// --- SES control writers: the element located, its control element built
// from the status element (byte 0 bits 5 and 4 cleared, SELECT set) and the
// masked fields of the caller's control element, the page sent, read back
// and every masked field checked.
enum class Check : uint8_t {
    Equal,       // the field reads back as requested
    OnNotOff,    // requested on reads back, and the off bit differs from it
    SpeedCode,   // byte 3 bits 0-2 read back as the requested code (bit 5 set)
    TonesAdded,  // every requested tone sounds (0: every tone cleared)
};
struct ControlField {
    uint8_t mask;
    uint8_t byte;
    uint8_t bits;
    Check check;
    int32_t error;
};
struct ControlWriter {
    const ElementKind* kind;
    bool zero_other_elements;
    const ControlField* fields;
    int field_count;
};
int write_control(SeriesBackend& backend, const ControlWriter& writer, ObjectId id,
                  uint8_t mask, const uint8_t* control);

// The SAF-TE status buffer byte of an element at the given offset past the
// fans, supplies and slots, after checking the index against the kind's
// count; -1 with the kind's error or the read's.
int read_safte_status_byte(const ObjectId& id, const ElementKind& kind, size_t offset,
                           uint8_t* out);

// Reads an SES element of the kind after checking its index; an element
// that reports "not installed" is the kind's error when missing_if_absent.
int read_kind_element(SeriesBackend& backend, const ElementKind& kind, ObjectId id,
                      uint8_t* element, bool missing_if_absent);

}  // namespace enclosure
