// A machine with one controller of every family, laid out as the family
// machine (tests/api/family_machine.h), each second-series controller with a
// unit 0, for the tests of the settings.
#pragma once

#include <optional>
#include <ostream>
#include <vector>

#include "tests/api/family_machine.h"

// Index 0 family 3, 1 family 4, 2 family 6, 3 family 7, 4 family 8, 5
// family 9, 6 family 10, 7 an unknown family; index 8 has no controller.
// The firmware levels open every gate.
inline constexpr char kSettingsMachine[] =
    "clock mode=virtual\n"
    "driver name=dq-xxxx pairing=proc\n"
    "driver name=dq-Mxxx pairing=sysfs\n"
    "driver name=dq-sas pairing=sysfs\n"
    "controller index=0 driver=dq-xxxx ports=4\n"
    "controller index=1 driver=dq-Mxxx arch=4 ports=4\n"
    "  unit number=0\n"
    "controller index=2 driver=dq-Mxxx arch=6 ports=6 fw-level=40\n"
    "  unit number=0\n"
    "controller index=3 driver=dq-Mxxx arch=6 ports=8 fw-level=40\n"
    "  param table=0x403 id=26 value=u32:0x100\n"
    "  unit number=0\n"
    "controller index=4 driver=dq-sas arch=8 ports=8 fw-level=40\n"
    "  unit number=0\n"
    "controller index=5 driver=dq-Mxxx arch=9 ports=8\n"
    "  unit number=0\n"
    "controller index=6 driver=dq-Mxxx arch=10 ports=16\n"
    "  unit number=0\n"
    "controller index=7 driver=dq-Mxxx arch=11 ports=2\n";

inline ObjectId unit(uint8_t index) {
    ObjectId id;
    ctl_make_unit_id(index, 0xFF, 0, 0xFF, 0xFF, &id);
    return id;
}

// A SET PARAMETER as the firmware received it: the table without its
// 0x8000 mark, the parameter and the value's bytes.
struct Written {
    uint16_t table = 0, parameter = 0;
    std::vector<uint8_t> value;
    bool operator==(const Written&) const = default;
};

inline void PrintTo(const Written& w, std::ostream* os) {
    *os << "table 0x" << std::hex << w.table << std::dec << " parameter " << w.parameter << " [";
    for (uint8_t b : w.value) *os << ' ' << int(b);
    *os << " ]";
}

// Every SET PARAMETER since the journal was cleared, in order.
inline std::vector<Written> writes() {
    std::vector<Written> found;
    for (const sim::JournalEntry& e : sim::journal()) {
        if (e.request != 264 || e.sent.size() < 1544 || e.sent[512 + 128] != 0x53) continue;
        const uint8_t* block = e.sent.data() + 1536;
        Written w;
        w.table = uint16_t((block[0] | block[1] << 8) & 0x7FFF);
        w.parameter = uint16_t(block[2] | block[3] << 8);
        w.value.assign(block + 8, e.sent.data() + e.sent.size());
        found.push_back(w);
    }
    return found;
}

inline std::optional<Written> last_write() {
    const std::vector<Written> all = writes();
    if (all.empty()) return std::nullopt;
    return all.back();
}
