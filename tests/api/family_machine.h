// A simulated machine with one controller of every family, for the tests of
// the dispatcher's routing.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <string>

#include "tests/api/library_machine.h"

// Index 0 family 3, 1 family 4, 2 family 6, 3 family 7, 4 family 8, 5
// family 9, 6 family 10, 7 an architecture no family has (-1); index 8 has
// no controller.
inline constexpr char kFamilyMachine[] =
    "clock mode=virtual\n"
    "driver name=dq-xxxx pairing=proc\n"
    "driver name=dq-Mxxx pairing=sysfs\n"
    "driver name=dq-sas pairing=sysfs\n"
    "controller index=0 driver=dq-xxxx model=\"QX-2400-4\" ports=4\n"
    "controller index=1 driver=dq-Mxxx arch=4 model=\"QX-4100\" firmware=\"FE9X 1.04\" ports=4\n"
    "controller index=2 driver=dq-Mxxx arch=6 model=\"QX-6200\" firmware=\"FE9X 2.06\" ports=6\n"
    "controller index=3 driver=dq-Mxxx arch=6 model=\"QX-7300\" firmware=\"FE9X 3.07\" ports=8\n"
    "  param table=0x403 id=26 value=u32:0x100\n"
    "controller index=4 driver=dq-sas arch=8 model=\"QX-8400\" firmware=\"FH9X 4.08\" ports=10\n"
    "controller index=5 driver=dq-Mxxx arch=9 model=\"QX-9500\" firmware=\"FE9X 5.09\" ports=12\n"
    "controller index=6 driver=dq-Mxxx arch=10 model=\"QX-10600\" firmware=\"FH9X 6.10\" "
    "ports=16\n"
    "controller index=7 driver=dq-Mxxx arch=11 model=\"QX-11700\" ports=2\n";

struct MachineController {
    uint8_t index;
    int32_t family;  // 0 where no controller has the index
    const char* model;
    uint32_t ports;
};

inline constexpr MachineController kMachineControllers[] = {
    {0, 3, "QX-2400-4", 4},  {1, 4, "QX-4100", 4},   {2, 6, "QX-6200", 6},
    {3, 7, "QX-7300", 8},    {4, 8, "QX-8400", 10},  {5, 9, "QX-9500", 12},
    {6, 10, "QX-10600", 16}, {7, -1, "QX-11700", 2}, {8, 0, "", 0},
    {255, 0, "", 0},
};

// Sets the firmware level that the given second-series controllers report.
inline void set_firmware_level(std::initializer_list<uint8_t> indexes, uint32_t level) {
    std::string lines;
    for (uint8_t index : indexes)
        lines += "param index=" + std::to_string(index) + " table=0x402 id=11 value=u32:" +
                 std::to_string(level) + "\n";
    change_machine(lines);
}

// How a call ended.
enum class Outcome { Legacy, Series, Alternate, Refused, Unrouted };

// The outcome a family gets from a pattern, as the families served by each
// target and the families refused; every other family is unrouted, or
// refused when the pattern is strict.
struct FamilySets {
    std::initializer_list<int32_t> legacy, series, alternate, refused;
    bool strict;

    Outcome of(int32_t family) const {
        for (int32_t f : legacy)
            if (f == family) return Outcome::Legacy;
        for (int32_t f : series)
            if (f == family) return Outcome::Series;
        for (int32_t f : alternate)
            if (f == family) return Outcome::Alternate;
        for (int32_t f : refused)
            if (f == family) return Outcome::Refused;
        return strict ? Outcome::Refused : Outcome::Unrouted;
    }
};

inline const char* outcome_name(Outcome o) {
    switch (o) {
    case Outcome::Legacy: return "legacy";
    case Outcome::Series: return "series";
    case Outcome::Alternate: return "alternate";
    case Outcome::Refused: return "refused";
    case Outcome::Unrouted: return "unrouted";
    }
    return "?";
}

inline void PrintTo(Outcome o, std::ostream* os) { *os << outcome_name(o); }

// Checks the result and the last-error record that a refusal or an unrouted
// call leaves, given the record as it was before the call.
inline void expect_failure(Outcome expected, int result, const ErrorRecord& before) {
    EXPECT_EQ(result, -1);
    const ErrorRecord after = last_error();
    if (expected == Outcome::Refused) {
        EXPECT_EQ(after.flags, uint32_t(kErrApi));
        EXPECT_EQ(after.api_code, 2);
        EXPECT_STREQ(after.text, "(0x0B:0x0002): Feature not supported");
    } else {
        EXPECT_TRUE(same_record(before, after)) << "record changed to: " << after.text;
    }
}
