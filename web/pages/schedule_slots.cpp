#include "web/pages/schedule_slots.h"

#include <cstring>

static_assert(sizeof(TaskSchedule) == sizeof(ControllerRecord{}.schedule),
              "the record keeps the schedule as the library returns it");

TaskSchedule schedule_of(const ControllerRecord& record) {
    TaskSchedule schedule;
    std::memcpy(&schedule, record.schedule, sizeof schedule);
    return schedule;
}

void store_schedule(ControllerRecord& record, const TaskSchedule& schedule) {
    std::memcpy(record.schedule, &schedule, sizeof schedule);
}

uint16_t task_start(const TaskScheduleSlot& slot, int task) {
    switch (task) {
        case kRebuildTask:
            return slot.rebuild_start;
        case kVerifyTask:
            return slot.verify_start;
        default:
            return slot.selftest_start;
    }
}

uint16_t task_duration(const TaskScheduleSlot& slot, int task) {
    switch (task) {
        case kRebuildTask:
            return slot.rebuild_duration;
        case kVerifyTask:
            return slot.verify_duration;
        default:
            return 0;
    }
}

int slots_in_use(const ControllerRecord& record, int task) {
    const TaskSchedule schedule = schedule_of(record);
    int n = 0;
    for (const TaskScheduleSlot& slot : schedule.slots)
        if (start_in_use(task_start(slot, task))) ++n;
    return n;
}

int first_free_slot(const ControllerRecord& record, int task) {
    const TaskSchedule schedule = schedule_of(record);
    for (int i = 0; i < kScheduleSlots; ++i)
        if (!start_in_use(task_start(schedule.slots[i], task))) return i;
    return -1;
}

void free_slot(ControllerRecord& record, int task, int slot) {
    if (slot < 0 || slot >= kScheduleSlots) return;
    TaskSchedule schedule = schedule_of(record);
    TaskScheduleSlot& s = schedule.slots[slot];
    switch (task) {
        case kRebuildTask:
            s.rebuild_start = kFreeStart;
            break;
        case kVerifyTask:
            s.verify_start = kFreeStart;
            break;
        default:
            s.selftest_start = kFreeStart;
            break;
    }
    store_schedule(record, schedule);
}
