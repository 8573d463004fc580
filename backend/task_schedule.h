// The background task schedule of a second-series controller: seven slots.
#pragma once

#include <cstdint>

// Starts are minutes of the week (0 to 10,079), 0xFFFF for no task;
// durations are minutes.
struct TaskScheduleSlot {
    uint16_t selftest_start;
    uint16_t rebuild_start;
    uint16_t rebuild_duration;
    uint16_t verify_start;
    uint16_t verify_duration;
};

struct TaskSchedule {
    static constexpr int kSlots = 7;
    static constexpr uint16_t kNoTask = 0xFFFF;
    TaskScheduleSlot slots[kSlots];
};
static_assert(sizeof(TaskSchedule) == 70);
