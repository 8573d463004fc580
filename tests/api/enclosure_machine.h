// A simulated machine with enclosures of both kinds behind second-series
// controllers, and helpers that read the SCSI pass-through requests back
// from the simulator's journal.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "backend/backends.h"
#include "tests/api/library_machine.h"

// Index 0 family 3, 1 family 4, 2 family 6 without enclosures, 3 family 8
// with SES enclosures (position 0: three sub-enclosures at LUNs 0 to 2;
// position 2: one processor with every element kind; position 5: larger
// than a status page), 4 family 9, 5 family 10 with SAF-TE enclosures
// (position 1 in degrees Celsius, position 3 in Fahrenheit), 40 family 10
// with an SES enclosure at position 15 whose type headers are given.
inline constexpr char kEnclosureMachine[] =
    "clock mode=virtual\n"
    "driver name=dq-xxxx pairing=proc\n"
    "driver name=dq-Mxxx pairing=sysfs\n"
    "driver name=dq-sas pairing=sysfs\n"
    "controller index=0 driver=dq-xxxx ports=4\n"
    "controller index=1 driver=dq-Mxxx arch=4 ports=4\n"
    "  enclosure number=0 type=ses kind=2 slots=2\n"
    "controller index=2 driver=dq-Mxxx arch=6 ports=4\n"
    "controller index=3 driver=dq-sas arch=8 ports=8\n"
    "  drive port=0 enclosure=2 slot=0\n"
    "  drive port=1 enclosure=2 slot=3\n"
    "  drive port=2\n"
    "  drive port=3 enclosure=4 slot=0\n"
    "  enclosure number=0 type=ses kind=1 luns=3 slots=2 fans=1 temp-sensors=1 "
    "door-locks=1 alarms=1\n"
    "  enclosure number=2 type=ses kind=2 vendor=\"SIMENC\" product=\"SIM-SES-JBOD-12\" "
    "revision=\"0110\" serial=\"SESENC0300\" slots=4 fans=3 temp-sensors=3 power-supplies=2 "
    "door-locks=1 alarms=1 tones=0xE help=\"All elements answer.\"\n"
    "  enclosure number=5 type=ses kind=2 slots=255 fans=255 temp-sensors=4\n"
    "controller index=4 driver=dq-Mxxx arch=9 ports=4\n"
    "controller index=5 driver=dq-Mxxx arch=10 ports=8\n"
    "  drive port=0\n"
    "  drive port=1\n"
    "  drive port=6\n"
    "  enclosure number=1 type=safte slots=4 fans=2 power-supplies=1 temp-sensors=2\n"
    "  enclosure number=3 type=safte slots=2 fans=1 temp-sensors=2 door-locks=0 celsius=0\n"
    "controller index=40 driver=dq-sas arch=10 ports=4\n"
    "  enclosure number=15 type=ses kind=2 types=1:2,23:0,3:2,7:1,3:1,14:1\n";

// Puts the machine back as the scenario describes it, so that a test does not
// see what an earlier one changed: the simulator is reloaded (its enclosures'
// elements and attributes, faults and journal start afresh) with the device
// nodes the library made when it started, and every enclosure record the
// library keeps is emptied, as if nothing had listed an enclosure yet.
inline void reload_machine(const char* scenario) {
    reload_scenario(scenario);
    for (int index = 0; index < 255; ++index)
        for (uint8_t position = 0; position < 16; ++position) {
            EnclosureCacheRecord* record = series_backend().enclosure_record(uint8_t(index), position);
            if (record != nullptr) std::memset(record, 0, sizeof *record);
        }
}

// The firmware packet and data of one SCSI pass-through request.
struct PassThrough {
    int controller;
    uint8_t target;
    uint16_t lun_field;
    uint16_t unit_lun;              // packet bytes 6 and 7
    std::vector<uint8_t> cdb;       // 16 bytes as sent
    std::vector<uint8_t> sent;      // the data buffer as sent
    std::vector<uint8_t> returned;  // and as it came back
    uint8_t status;                 // packet byte 4 on return
};

inline std::vector<PassThrough> pass_throughs() {
    std::vector<PassThrough> found;
    for (const sim::JournalEntry& e : sim::journal()) {
        if (e.request != 264 || e.sent.size() < 1536 || e.sent[512 + 128] != 0x10) continue;
        PassThrough p;
        p.controller = e.controller;
        p.target = e.sent[512 + 129];
        p.lun_field = uint16_t(e.sent[512 + 130] | e.sent[512 + 131] << 8);
        p.unit_lun = uint16_t(e.sent[512 + 134] | e.sent[512 + 135] << 8);
        p.cdb.assign(e.sent.begin() + 512 + 136, e.sent.begin() + 512 + 152);
        p.sent.assign(e.sent.begin() + 1536, e.sent.end());
        p.returned.assign(e.returned.begin() + 1536, e.returned.end());
        p.status = e.returned[512 + 132];
        found.push_back(p);
    }
    return found;
}

// The last pass-through whose command block starts with the opcode.
inline PassThrough last_command(uint8_t opcode) {
    PassThrough last{};
    for (const PassThrough& p : pass_throughs())
        if (!p.cdb.empty() && p.cdb[0] == opcode) last = p;
    return last;
}

inline std::vector<uint8_t> bytes(std::initializer_list<int> values, size_t size = 0) {
    std::vector<uint8_t> out;
    for (int v : values) out.push_back(uint8_t(v));
    if (out.size() < size) out.resize(size, 0);
    return out;
}

inline const std::vector<uint8_t> kUnusedId(8, 0xFF);

inline std::vector<uint8_t> id_bytes(const ObjectId& id) { return {id.b, id.b + 8}; }

// The control page the library makes of a status page with the element at
// byte offset target selected: the page as read, page code 2, every other
// element's byte 0 bit 7 (not a SELECT of theirs) cleared.
inline std::vector<uint8_t> as_control(const std::vector<uint8_t>& status, size_t target) {
    const size_t length = size_t(status[2] << 8 | status[3]) + 4;
    std::vector<uint8_t> page(status.begin(), status.begin() + length);
    page[0] = 2;
    for (size_t at = 8; at + 4 <= length; at += 4)
        if (at != target) page[at] &= 0x7F;
    return page;
}

inline int32_t api_error() { return last_error().flags & kErrApi ? last_error().api_code : 0; }
