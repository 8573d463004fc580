// A first-series controller with a unit of every kind, and helpers to read
// its driver requests from the journal.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "api/ctl.h"
#include "backend/backends.h"
#include "tests/backend/library_machine.h"
#include "tests/support/param_names.h"

// Controller 1, 16 ports: free drives on 0 (1,000,000 sectors), 1 (900,000)
// and 6 (2,000,000), port 13 empty; unit 1 a RAID 10 over 2 to 5 whose
// mirror 1 lost its drive 0 (port 4); unit 2 a single disk on 10; unit 3 a
// RAID 5 over 7 to 9 a quarter through a verify; unit 4 a JBOD on 12; unit
// 5 a spare on 11; unit 6 a RAID 0 over 14 and 15 with 16 KiB stripes.
inline constexpr char kLegacyMachine[] =
    "clock mode=virtual\n"
    "driver name=dq-xxxx pairing=proc\n"
    "controller index=1 driver=dq-xxxx model=\"QX-2400-16\" serial=\"L1A0000001\" ports=16 "
    "driver-version=1.26.02.002\n"
    "  drive port=0 capacity=1000000 model=\" SIMDISK S250 \" serial=\"S250-0001\" "
    "firmware=\"08.02D08\"\n"
    "  drive port=1 capacity=900000\n"
    "  drive port=2 capacity=1000000\n"
    "  drive port=3 capacity=1000000\n"
    "  drive port=4 capacity=1000000\n"
    "  drive port=5 capacity=1000000\n"
    "  drive port=6 capacity=2000000 model=\"SIMDISK S1000\" serial=\"S1K-0006\" "
    "firmware=\"09.01\" reallocated=3 power-on-hours=4321 temperature=41\n"
    "  drive port=7 capacity=1000000\n"
    "  drive port=8 capacity=1000000\n"
    "  drive port=9 capacity=1000000\n"
    "  drive port=10 capacity=1000000\n"
    "  drive port=11 capacity=1000000\n"
    "  drive port=12 capacity=1000000\n"
    "  drive port=14 capacity=1000000\n"
    "  drive port=15 capacity=1000000\n"
    "  unit number=1 type=raid10 drives=2,3,4,5 status=degraded failed=4\n"
    "  unit number=2 type=disk drives=10\n"
    "  unit number=3 type=raid5 drives=7,8,9 status=verifying progress=25\n"
    "  unit number=4 type=jbod drives=12\n"
    "  unit number=5 type=spare drives=11\n"
    "  unit number=6 type=raid0 drives=14,15 stripe=16\n";

constexpr uint8_t kLegacyIndex = 1;

inline const LegacyBackend& legacy() { return legacy_backend(); }

inline ObjectId legacy_unit(uint8_t unit, uint8_t sub = 0xFF, uint8_t drive = 0xFF) {
    ObjectId id;
    ctl_make_unit_id(kLegacyIndex, 0xFF, unit, sub, drive, &id);
    return id;
}

inline ObjectId legacy_drive(uint8_t port) { return drive_id(kLegacyIndex, port); }

inline IdList drive_list(std::initializer_list<uint8_t> ports) {
    IdList list;
    std::memset(&list, 0xFF, sizeof list);
    list.count = 0;
    for (uint8_t port : ports) list.ids[list.count++] = legacy_drive(port);
    return list;
}

// Bytes given by their leading values, zero-padded to size.
inline std::vector<uint8_t> bytes_of(std::initializer_list<int> leading, size_t size) {
    std::vector<uint8_t> out(size, 0);
    size_t i = 0;
    for (int b : leading) out[i++] = uint8_t(b);
    return out;
}

// A first-series request as the driver must receive it: the data length at
// 0, the 512-byte packet at 512, the data from 1024.
inline std::vector<uint8_t> legacy_request(const std::vector<uint8_t>& packet,
                                           const std::vector<uint8_t>& data) {
    std::vector<uint8_t> out(1024 + data.size(), 0);
    store32(&out[0], uint32_t(data.size()));
    std::copy(packet.begin(), packet.end(), out.begin() + 512);
    std::copy(data.begin(), data.end(), out.begin() + 1024);
    return out;
}

// The first-series commands in the journal, with the opcode given when it
// is not 0 (opcode 0 is never sent).
inline std::vector<sim::JournalEntry> commands(uint8_t opcode = 0) {
    std::vector<sim::JournalEntry> out;
    for (const sim::JournalEntry& e : sim::journal())
        if (e.request != 0 && e.sent.size() >= 1024 && (opcode == 0 || e.sent[512] == opcode))
            out.push_back(e);
    return out;
}

// The opcodes of the commands sent, in order, apart from parameter reads.
inline std::vector<int> changes() {
    std::vector<int> out;
    for (const sim::JournalEntry& e : commands())
        if (e.sent[512] != 0x52) out.push_back(e.sent[512]);
    return out;
}

inline const uint8_t* packet_of(const sim::JournalEntry& e) { return e.sent.data() + 512; }
