// Helpers for driver-layer tests that run against a simulated machine.
#pragma once

#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <cstring>
#include <string>
#include <vector>

#include "driver/error_record.h"
#include "sim/sim.h"

// Replaces the simulated machine; fails the test on a scenario error.
inline void load_machine(const std::string& scenario) {
    std::string error;
    ASSERT_TRUE(sim::load_scenario(scenario, &error)) << error;
}

inline void change_machine(const std::string& lines) {
    std::string error;
    ASSERT_TRUE(sim::apply(lines, &error)) << error;
}

inline ErrorRecord last_error() {
    ErrorRecord record;
    std::memset(&record, 0, sizeof record);
    copy_last_error(&record, "", 0);
    return record;
}

// Packet size, in words, of parameter commands on this machine: 5 on the
// 64-bit kernels that use the larger command form, 4 elsewhere.
inline uint8_t parameter_packet_words() {
    struct utsname name;
    ::uname(&name);
    return std::strcmp(name.machine, "x86_64") == 0 || std::strcmp(name.machine, "ppc64") == 0 ? 5
                                                                                               : 4;
}

inline uint32_t load32(const uint8_t* p) {
    return uint32_t(p[0] | p[1] << 8 | p[2] << 16) | uint32_t(p[3]) << 24;
}

inline void store32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

// A second-series request as a caller builds it.
struct SeriesRequest {
    uint8_t header[24] = {};
    uint8_t area[1024] = {};
    std::vector<uint8_t> data;

    explicit SeriesRequest(uint32_t code, size_t data_length = 0) : data(data_length, 0) {
        store32(header, code);
    }
};

// GET PARAMETER of one parameter: opcode 0x52, one parameter, the block with
// the table id marked 0x8000.
inline SeriesRequest get_parameter(uint16_t table, uint16_t id, uint16_t size) {
    SeriesRequest r(264, size + 8u);
    r.area[128] = 0x52;
    r.area[129] = parameter_packet_words();
    r.area[134] = 1;
    const uint16_t marked = table | 0x8000;
    r.data[0] = uint8_t(marked);
    r.data[1] = uint8_t(marked >> 8);
    r.data[2] = uint8_t(id);
    r.data[4] = uint8_t(size);
    r.data[5] = uint8_t(size >> 8);
    return r;
}
