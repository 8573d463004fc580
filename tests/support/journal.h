// Reading the simulator's request journal: the requests of one control
// code, the parameter block of a GET or SET PARAMETER, and a second-series
// request as the driver must receive it, compared byte for byte.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "sim/sim.h"

inline void journal_store32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

// The driver requests of one control code in the journal, in order.
inline std::vector<sim::JournalEntry> requests(unsigned long code) {
    std::vector<sim::JournalEntry> out;
    for (const sim::JournalEntry& e : sim::journal())
        if (e.request == code) out.push_back(e);
    return out;
}

// The parameter block of a request 264 as sent: table, id, size, value.
struct SentBlock {
    uint16_t table = 0, id = 0, size = 0;
    std::vector<uint8_t> value;
};

inline SentBlock sent_block(const sim::JournalEntry& e) {
    SentBlock b;
    const uint8_t* data = e.sent.data() + 1536;
    b.table = uint16_t(data[0] | data[1] << 8);
    b.id = uint16_t(data[2] | data[3] << 8);
    b.size = uint16_t(data[4] | data[5] << 8);
    b.value.assign(data + 8, e.sent.data() + e.sent.size());
    return b;
}

// A second-series request as the driver must receive it, byte for byte: the
// header with its control code and data length, the command area zero but
// for the library's mark at 124 and the packet's leading bytes at 128, then
// the data.
inline std::vector<uint8_t> expected_request(uint32_t code, const std::vector<uint8_t>& packet,
                                             const std::vector<uint8_t>& data) {
    std::vector<uint8_t> bytes(1536 + data.size(), 0);
    journal_store32(&bytes[0], code);
    journal_store32(&bytes[20], uint32_t(data.size()));
    bytes[512 + 124] = 0x80;
    std::copy(packet.begin(), packet.end(), bytes.begin() + 512 + 128);
    std::copy(data.begin(), data.end(), bytes.begin() + 1536);
    return bytes;
}

// The offset of the first byte where a request differs from the expected
// one (the shorter length when one is a prefix of the other), or -1.
inline long first_difference(const std::vector<uint8_t>& sent,
                             const std::vector<uint8_t>& expected) {
    const size_t n = std::min(sent.size(), expected.size());
    for (size_t i = 0; i < n; ++i)
        if (sent[i] != expected[i]) return long(i);
    return sent.size() == expected.size() ? -1 : long(n);
}
