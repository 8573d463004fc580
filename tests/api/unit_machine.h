// The machine of the unit configuration tests: a family-8 controller with
// free drives, drives in odd states and a few units; a family-7 controller
// without RAID 6; a family-4 controller. Each test starts from it afresh
// (the library keeps nothing of a controller between calls), and moves
// the simulated clock itself.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "backend/series_backend.h"
#include "tests/api/library_machine.h"
#include "tests/support/journal.h"

namespace unit_machine {

constexpr uint8_t kCtl = 0;      // family 8, firmware level 37, RAID 6
constexpr uint8_t kNoRaid6 = 1;  // family 7, firmware level 35, no RAID 6
constexpr uint8_t kOldest = 2;   // family 4
constexpr uint64_t kDrive = 1000000;  // sectors of the free drives
constexpr int kTaskSeconds = 100;     // a whole task on kCtl

// Ports of kCtl: 0 to 29 free, 30 a free SAS drive, 31 a small one, 32 a
// drive taken out (status 2), 33 a drive with errors (status 0x80); 34 to
// 36 RAID 5 unit 20, 37 DISK unit 21, 38 spare 22, 39 single disk 23;
// 40 to 47 empty.
inline const std::string& base_scenario() {
    static const std::string text = [] {
        std::string s =
            "clock mode=virtual\n"
            "driver name=dq-Mxxx pairing=sysfs\n"
            "controller index=0 driver=dq-Mxxx arch=8 ports=48 task-seconds=100\n";
        for (int port = 0; port < 40; ++port)
            s += "  drive port=" + std::to_string(port) +
                 (port == 31 ? " capacity=500000\n" : " capacity=1000000\n");
        s += "  drive port=30 interface=sas\n"
             "  drive port=32 status=2\n"
             "  drive port=33 status=128\n"
             "  unit number=20 type=raid5 drives=34,35,36 stripe=64\n"
             "  unit number=21 type=disk drives=37\n"
             "  unit number=22 type=spare drives=38\n"
             "  unit number=23 type=single drives=39\n"
             "controller index=1 driver=dq-Mxxx arch=7 features=0 ports=8\n"
             "  param table=0x403 id=26 value=u32:0x300\n";
        for (int port = 0; port < 8; ++port) s += "  drive port=" + std::to_string(port) + "\n";
        s += "controller index=2 driver=dq-Mxxx arch=4 ports=4\n";
        for (int port = 0; port < 4; ++port) s += "  drive port=" + std::to_string(port) + "\n";
        return s;
    }();
    return text;
}

// A fresh machine: the base, then the extra lines.
inline void fresh(const std::string& extra = "") { reload_scenario(base_scenario() + extra); }

// A drive list of (controller, port) pairs, or of ports of one controller.
inline IdList list_of(const std::vector<std::pair<uint8_t, uint8_t>>& drives) {
    IdList list;
    std::memset(&list, 0xFF, sizeof list);
    list.count = 0;
    for (const auto& d : drives) list.ids[list.count++] = drive_on(d.first, d.second);
    return list;
}

inline IdList drive_list(const std::vector<uint8_t>& ports, uint8_t ctl = kCtl) {
    std::vector<std::pair<uint8_t, uint8_t>> drives;
    for (uint8_t port : ports) drives.emplace_back(ctl, port);
    return list_of(drives);
}

inline ObjectId unit_id(uint8_t number, uint8_t ctl = kCtl, uint8_t level1 = 0xFF) {
    ObjectId id;
    ctl_make_unit_id(ctl, 0xFF, number, level1, 0xFF, &id);
    return id;
}

inline std::vector<uint8_t> ports_of(const IdList& list) {
    std::vector<uint8_t> ports;
    for (uint32_t i = 0; i < list.count; ++i) ports.push_back(list.ids[i].b[2]);
    return ports;
}

inline std::vector<uint8_t> unit_numbers(uint8_t ctl = kCtl) {
    IdList units;
    EXPECT_EQ(ctl_get_unit_list(controller(ctl), &units), 0);
    std::vector<uint8_t> numbers;
    for (uint32_t i = 0; i < units.count; ++i) numbers.push_back(units.ids[i].b[4]);
    return numbers;
}

inline int32_t api_error() { return last_error().api_code; }

inline uint8_t status_of(ObjectId unit) {
    uint8_t status = 0;
    EXPECT_EQ(ctl_get_unit_status(unit, &status), 0) << last_error().text;
    return status;
}

inline int32_t percent_of(ObjectId unit) {
    int32_t percent = -1;
    EXPECT_EQ(ctl_get_percent_complete(unit, &percent), 0) << last_error().text;
    return percent;
}

inline int32_t type_of(ObjectId unit) {
    int32_t type = -1;
    EXPECT_EQ(ctl_get_unit_type(unit, &type), 0) << last_error().text;
    return type;
}

inline std::vector<uint8_t> drives_of(ObjectId unit) {
    IdList list;
    EXPECT_EQ(ctl_get_unit_drive_list(unit, &list), 0) << last_error().text;
    return ports_of(list);
}

inline uint8_t port_status(uint8_t port, uint8_t ctl = kCtl) {
    uint8_t status = 0;
    EXPECT_EQ(ctl_get_drive_status(drive_on(ctl, port), &status), 0);
    return status;
}

// The firmware commands (control code 264) of one opcode in the journal.
inline std::vector<sim::JournalEntry> commands(uint8_t opcode) {
    std::vector<sim::JournalEntry> out;
    for (const sim::JournalEntry& e : requests(264))
        if (e.sent.size() > 640 && e.sent[640] == opcode) out.push_back(e);
    return out;
}

// Every command's opcode, in order, leaving out GET and SET PARAMETER.
inline std::vector<uint8_t> command_opcodes() {
    std::vector<uint8_t> out;
    for (const sim::JournalEntry& e : requests(264))
        if (e.sent[640] != 0x52 && e.sent[640] != 0x53) out.push_back(e.sent[640]);
    return out;
}

// One 20-byte record of a descriptor list as the library sends it.
inline std::vector<uint8_t> record(uint8_t children, uint8_t type, uint8_t stripe = 0,
                                   uint8_t byte3 = 0, uint8_t byte18 = 0) {
    std::vector<uint8_t> r(20, 0);
    r[0] = children;
    r[1] = type;
    r[2] = stripe;
    r[3] = byte3;
    r[18] = byte18;
    return r;
}

inline std::vector<uint8_t> drive_record(uint8_t port) { return record(0, 12, 0, port); }

inline std::vector<uint8_t> volume_record(uint8_t index, uint64_t start, uint64_t size) {
    std::vector<uint8_t> r(20, 0);
    r[1] = 0x80;
    r[2] = index;
    for (int i = 0; i < 8; ++i) {
        r[4 + i] = uint8_t(start >> (8 * i));
        r[12 + i] = uint8_t(size >> (8 * i));
    }
    return r;
}

inline std::vector<uint8_t> joined(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> all;
    for (const std::vector<uint8_t>& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// The packet size of commands that carry a list: the architecture class
// (3 on 64-bit x86) plus 3.
inline uint8_t list_words() { return uint8_t(SeriesBackend::get_arch_class() + 3); }

// The events of a controller, oldest first: code and parameter text.
inline std::vector<std::pair<uint16_t, std::string>> events(uint8_t ctl = kCtl) {
    std::vector<std::pair<uint16_t, std::string>> out;
    EventRecord e;
    if (ctl_get_first_aen(controller(ctl), &e) != 0) return out;
    while (e.code != 0 && out.size() < 300) {
        out.emplace_back(e.code, e.parameter);
        if (ctl_get_next_aen(controller(ctl), e.sequence, &e) != 0) break;
    }
    return out;
}

inline void pass_seconds(uint64_t seconds) { sim::kernel_sleep(seconds * 1000000u); }

}  // namespace unit_machine
