// Where a SAF-TE processor's answers keep each element, from the counts of
// its configuration buffer (READ BUFFER 0, 64 bytes). The enclosure status
// buffer (READ BUFFER 1) holds a byte per fan, a byte per power supply, the
// port of each slot, the door lock, the speaker, then a byte per
// temperature sensor; the slot status buffer (READ BUFFER 4) a four-byte
// status word per slot, then from 4 × slots + 1 a byte per slot saying
// whether it is being identified. Every offset is below 4 × 255 + 1 + 255,
// inside the buffers of kSafteBufferLength bytes the library reads them
// into.
#pragma once

#include <cstddef>
#include <cstdint>

#include "backend/enclosure_protocol.h"

namespace enclosure {

// The number of elements the configuration byte at count_byte gives: the
// byte itself, or one when presence_only and the byte is not 0.
inline uint32_t safte_element_count(const uint8_t* configuration, size_t count_byte,
                                    bool presence_only) {
    const uint8_t value = configuration[count_byte];
    return presence_only ? (value != 0 ? 1 : 0) : value;
}

// Enclosure status buffer offsets.
inline size_t safte_slot_ports_at(const uint8_t* configuration) {
    return size_t(configuration[kSafteFans]) + configuration[kSafteSupplies];
}
// The door lock's byte, followed by the speaker's.
inline size_t safte_slots_end(const uint8_t* configuration) {
    return safte_slot_ports_at(configuration) + configuration[kSafteSlots];
}
inline size_t safte_temperature_at(const uint8_t* configuration, uint8_t sensor) {
    return safte_slots_end(configuration) + 2 + sensor;
}
inline bool safte_reads_celsius(const uint8_t* configuration) {
    return (configuration[kSafteUnits] & kSafteCelsius) != 0;
}

// Slot status buffer: the status word of a slot and the offset of its
// identify byte.
inline uint32_t safte_slot_word(const uint8_t* slot_status, uint8_t slot) {
    return be32(slot_status + 4 * size_t(slot));
}
inline size_t safte_slot_identify_at(const uint8_t* configuration, uint8_t slot) {
    return 4 * size_t(configuration[kSafteSlots]) + 1 + slot;
}

}  // namespace enclosure
