// A simulated machine for the daemon's enclosure model and monitor: a
// family-6 controller with a SAF-TE enclosure (not watched), a family-8
// controller with an SES enclosure holding every element kind and a second
// one that reports more elements than the lists hold, and a family-10
// controller of a high index with one SES enclosure at the last position. Helpers read the
// newest event of a controller and catch the monitor's syslog lines.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "api/ctl.h"
#include "tests/api/library_machine.h"

// Positions in the controller list: 0 is controller index 2, 1 is index 3,
// 2 is index 200.
inline constexpr char kEnclosureDaemonMachine[] =
    "clock mode=virtual\n"
    "driver name=dq-Mxxx pairing=sysfs\n"
    "driver name=dq-sas pairing=sysfs\n"
    "controller index=2 driver=dq-Mxxx arch=6 ports=4\n"
    "  enclosure number=0 type=safte slots=4 fans=2 power-supplies=1 temp-sensors=1 alarms=1\n"
    "controller index=3 driver=dq-sas arch=8 ports=8\n"
    "  drive port=0 enclosure=0 slot=0\n"
    "  drive port=5 enclosure=0 slot=2\n"
    "  enclosure number=0 type=ses kind=2 vendor=\"SIMENC\" product=\"SIM-SES-JBOD-12\" "
    "revision=\"0110\" slots=4 fans=2 temp-sensors=2 power-supplies=2 door-locks=1 alarms=1\n"
    "  enclosure number=3 type=ses kind=2 slots=2 fans=20 temp-sensors=40\n"
    "controller index=200 driver=dq-sas arch=10 ports=4\n"
    "  enclosure number=15 type=ses kind=2 slots=2 fans=1 alarms=1\n";

inline constexpr uint8_t kWatchedIndex = 3;

inline ControllerIdList listed_controllers() {
    ControllerIdList list;
    std::memset(&list, 0xFF, sizeof list);
    list.count = 0;
    ctl_list_controllers(&list);
    return list;
}

// The enclosure at a position of a controller's enclosure list.
inline ObjectId enclosure_of(uint8_t index, uint32_t position) {
    EnclosureIdList list;
    std::memset(&list, 0xFF, sizeof list);
    list.count = 0;
    EXPECT_EQ(ctl_get_enclosure_list(controller(index), &list), 0);
    EXPECT_LT(position, list.count);
    return list.ids[position];
}

// The newest event of a controller (code 0 when there is none).
inline EventRecord newest_event(uint8_t index) {
    EventRecord event;
    std::memset(&event, 0, sizeof event);
    ctl_get_last_aen(controller(index), &event);
    return event;
}

// The events queued after the one numbered `after`, oldest first.
inline std::vector<EventRecord> events_after(uint8_t index, uint32_t after) {
    std::vector<EventRecord> found;
    for (;;) {
        EventRecord event;
        std::memset(&event, 0, sizeof event);
        if (ctl_get_next_aen(controller(index), after, &event) != 0 || event.code == 0) break;
        found.push_back(event);
        after = event.sequence;
    }
    return found;
}

// The monitor's syslog lines, caught in place of syslog.
struct LoggedLine {
    int priority;
    std::string text;
};
inline std::vector<LoggedLine>& logged_lines() {
    static std::vector<LoggedLine> lines;
    return lines;
}
inline void catch_line(int priority, const char* line) {
    logged_lines().push_back({priority, line});
}
