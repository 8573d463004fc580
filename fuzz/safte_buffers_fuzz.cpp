// The SAF-TE buffers on any bytes: the input is the configuration buffer
// (64 bytes), then the enclosure status buffer and the slot status buffer
// (up to 2048 bytes each; what the input lacks stays 0, as after a short
// answer). For every element index the library lets through, the byte it
// reads lies inside its buffer, no two elements share a byte, and the
// decoders give their documented values.
#include <cstring>
#include <vector>

#include "backend/enclosure_protocol.h"
#include "backend/safte_buffers.h"
#include "fuzz/fuzz_support.h"

using namespace enclosure;

namespace {

constexpr size_t kBuffer = size_t(kSafteBufferLength);

// Which element a byte of a buffer holds: each place may be claimed once.
struct Owners {
    std::vector<int> owner = std::vector<int>(kBuffer, -1);
    void claim(size_t at, size_t width, int who)
    {
        FUZZ_CHECK(at + width <= kBuffer);
        for (size_t i = at; i < at + width; ++i) {
            FUZZ_CHECK(owner[i] == -1);
            owner[i] = who;
        }
    }
};

size_t take(const uint8_t*& data, size_t& size, uint8_t* out, size_t room)
{
    const size_t n = size < room ? size : room;
    std::memcpy(out, data, n);
    data += n;
    size -= n;
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    uint8_t configuration[kBuffer] = {};
    uint8_t status[kBuffer] = {};
    uint8_t slots[kBuffer] = {};
    take(data, size, configuration, size_t(kSafteConfigurationLength));
    take(data, size, status, kBuffer);
    take(data, size, slots, kBuffer);

    const uint32_t fans = safte_element_count(configuration, kSafteFans, false);
    const uint32_t supplies = safte_element_count(configuration, kSafteSupplies, false);
    const uint32_t slot_count = safte_element_count(configuration, kSafteSlots, false);
    const uint32_t sensors = safte_element_count(configuration, kSafteSensors, false);
    const uint32_t locks = safte_element_count(configuration, kSafteDoorLock, true);
    const uint32_t alarms = safte_element_count(configuration, kSafteAlarm, true);
    FUZZ_CHECK(fans <= 255 && supplies <= 255 && slot_count <= 255 && sensors <= 255);
    FUZZ_CHECK(locks <= 1 && alarms <= 1);
    FUZZ_CHECK(locks == (configuration[kSafteDoorLock] != 0 ? 1u : 0u));

    // The enclosure status buffer: fans, supplies, slot ports, door lock,
    // speaker and sensors, each where the library reads it. Fans and
    // sensors are read only below their index limits (15 and 31); a slot's
    // port is looked up for every slot the configuration counts.
    Owners places;
    int who = 0;
    for (uint32_t i = 0; i < fans; ++i) places.claim(i, 1, who++);
    for (uint32_t i = 0; i < supplies; ++i) places.claim(fans + i, 1, who++);
    FUZZ_CHECK(safte_slot_ports_at(configuration) == fans + supplies);
    for (uint32_t i = 0; i < slot_count; ++i)
        places.claim(safte_slot_ports_at(configuration) + i, 1, who++);
    FUZZ_CHECK(safte_slots_end(configuration) == fans + supplies + slot_count);
    places.claim(safte_slots_end(configuration), 1, who++);      // door lock
    places.claim(safte_slots_end(configuration) + 1, 1, who++);  // speaker
    for (uint32_t i = 0; i < sensors; ++i)
        places.claim(safte_temperature_at(configuration, uint8_t(i)), 1, who++);

    // Every temperature reads as a plausible number in either unit.
    const bool celsius = safte_reads_celsius(configuration);
    for (uint32_t i = 0; i < sensors && i <= 31; ++i) {
        const uint8_t raw = status[safte_temperature_at(configuration, uint8_t(i))];
        const int32_t t = safte_celsius(raw, celsius);
        FUZZ_CHECK(celsius ? t == int32_t(raw) - 10 : (t >= -23 && t <= 118));
        if (!celsius) {
            const int32_t fahrenheit = int32_t(raw) - 10;
            FUZZ_CHECK(9 * t - (5 * fahrenheit - 160) > -9 && 9 * t - (5 * fahrenheit - 160) < 9);
        }
    }

    // The slot status buffer: a word per slot (slots below 128 only), then
    // an identify byte per slot.
    Owners slot_places;
    who = 0;
    for (uint32_t i = 0; i < slot_count && i < 128; ++i) {
        slot_places.claim(4 * size_t(i), 4, who++);
        const uint32_t word = safte_slot_word(slots, uint8_t(i));
        FUZZ_CHECK(word == be32(slots + 4 * size_t(i)));
        const uint32_t flags = safte_slot_flags(word);
        FUZZ_CHECK((flags & ~0x0Fu) == 0);
        FUZZ_CHECK(((flags & 1) != 0) == ((word & 1) != 0));
        FUZZ_CHECK(((flags & 8) != 0) == ((word & 4) != 0));
        FUZZ_CHECK(((flags & 6) == 6) == ((word & 2) != 0));
    }
    for (uint32_t i = 0; i < slot_count && i < 128; ++i)
        slot_places.claim(safte_slot_identify_at(configuration, uint8_t(i)), 1, who++);

    for (unsigned code = 0; code < 256; code += 37) {
        const uint8_t speed = safte_fan_speed(uint8_t(code));
        FUZZ_CHECK(code < 8 ? speed <= 4 : speed == code);
    }
    return 0;
}
