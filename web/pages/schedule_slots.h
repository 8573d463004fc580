// A controller's task schedule as its snapshot record keeps it: seven slots,
// each with a self-test start, a rebuild start and duration and a verify
// start and duration. Starts are minutes of the week (0 Sunday 0:00); a
// start after Saturday 23:45 leaves the slot free for that task. The page
// and the scheduling handler read and change it through these.
#pragma once

#include <cstdint>

#include "api/ctl_types.h"
#include "daemon/snapshot_records.h"

// The scheduled tasks, numbered as the page's tabs and scripts number them.
enum : int {
    kRebuildTask = 0,
    kVerifyTask = 1,
    kSelftestTask = 2,
};

constexpr int kScheduleSlots = TaskSchedule::kSlots;
// Saturday 23:45: the last start of a slot in use.
constexpr int kLastScheduleStart = 6 * 1440 + 23 * 60 + 45;
constexpr int kMinutesPerDay = 1440;
constexpr int kMinutesPerHour = 60;
constexpr uint16_t kFreeStart = TaskSchedule::kNoTask;

TaskSchedule schedule_of(const ControllerRecord& record);
void store_schedule(ControllerRecord& record, const TaskSchedule& schedule);

// The start and the duration of a task in a slot (a self-test has no
// duration: 0).
uint16_t task_start(const TaskScheduleSlot& slot, int task);
uint16_t task_duration(const TaskScheduleSlot& slot, int task);

inline bool start_in_use(uint16_t start) { return start <= kLastScheduleStart; }

// The number of slots that hold a start of the task.
int slots_in_use(const ControllerRecord& record, int task);
// The lowest slot free for the task, or -1 when every slot holds one.
int first_free_slot(const ControllerRecord& record, int task);
// Marks the task's start in slot (0 to 6) free in the record.
void free_slot(ControllerRecord& record, int task, int slot);
