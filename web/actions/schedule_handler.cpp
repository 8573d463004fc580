// "/page2_1.html": the Scheduling page and the changes of its schedules. A
// request carries at most one change, named by the first of the keys below
// present in its URL; every change needs the administrator level and is
// answered by the redirect page back to the tab of the schedule it changed.
// Every value is checked before anything is sent: days 0 to 6, hours 0 to
// 23, durations 1 to 24 hours, slots 0 to 6 and the self-test tasks 1 and 2.
#include "web/actions/schedule_handler.h"

#include <cstdlib>
#include <cstring>

#include "api/command_logger.h"
#include "api/ctl.h"
#include "web/actions/handler_frame.h"
#include "web/pages/schedule_page.h"
#include "web/pages/schedule_slots.h"

namespace {

const char* const kTargets[] = {"/page2_1.html?WhichSched=0", "/page2_1.html?WhichSched=1",
                                "/page2_1.html?WhichSched=2"};

constexpr int kLibraryTexts = 11;
constexpr int kInvalidArgument = 122;  // 11:122 "Invalid argument or value"
constexpr int kOperationAborted = 31;  // 12:31
constexpr int kLastDay = 6;
constexpr int kLastHour = 23;
constexpr int kLongestDuration = 24;
constexpr int kSelftestTaskMask = 3;  // 1 upgrade UDMA mode, 2 check SMART thresholds

// The texts of one schedule's changes (catalogue 19, or 12:31 where the
// refusal says kAborted).
constexpr int kAborted = -1;
struct ScheduleTexts {
    int task;
    const char* add_key;  // the day's key of a new slot
    int delete_refused;   // "... slot not deleted"
    int deleted;
    int add_refused;
    int slots_full;
    int add_failed;
    int added;
    // The follow/ignore switch (rebuild and verify).
    int followed;
    int ignored;
    int state_failed;
};

const ScheduleTexts kRebuild = {
    kRebuildTask, "RebuildSchedAddDay=", 48, 49, 57, 58, 59, 60, 42, 41, 43};
const ScheduleTexts kVerify = {
    kVerifyTask, "VerifySchedAddDay=", 50, 51, kAborted, 62, 63, 64, 46, 45, 47};
const ScheduleTexts kSelftest = {
    kSelftestTask, "SelftestSchedAddDay=", 52, 53, 65, 66, 67, 68, 0, 0, 0};

// One request's change.
struct Change {
    DaemonContext* context;
    CommandLogger* log;
    const char* url;
    ControllerRecord& r;
    ObjectId controller;
    ActionMessage& message;
};

// A value the request must hold, read with atoi, within low and high.
bool value_within(const char* url, const char* key, int low, int high, int* out) {
    char value[kValueSize];
    if (!get_value(url, key, value)) return false;
    *out = std::atoi(value);
    return *out >= low && *out <= high;
}

// A change refused before anything was sent: the library's text for an
// invalid value, " : " and the change's failure text.
void invalid(Change& c, int failure_text) {
    c.message.text(c.context->message(kLibraryTexts, kInvalidArgument)).text(" : ");
    c.message.web(failure_text);
}

// ---- Follow or ignore a schedule.

int switch_state(Change& c, const ScheduleTexts& t, bool follow) {
    const bool rebuild = t.task == kRebuildTask;
    int result;
    if (rebuild)
        result = follow ? c.log->enable_rebuild_schedule(c.controller)
                        : c.log->disable_rebuild_schedule(c.controller);
    else
        result = follow ? c.log->enable_verify_schedule(c.controller)
                        : c.log->disable_verify_schedule(c.controller);
    // Ignoring the advanced verify schedule brings back the basic verify
    // time, which the page then shows.
    if (result == 0 && !rebuild && !follow && c.r.firmware_level == 1)
        result = ctl_get_basic_verify_time(c.controller, &c.r.basic_verify_time);
    return result;
}

// "...SchedEnable=": a value that begins with "0" ignores the schedule,
// any other follows it.
void set_state(Change& c, const ScheduleTexts& t, const char* key) {
    char value[kValueSize];
    get_value(c.url, key, value);
    const bool follow = value[0] != '0';
    if (switch_state(c, t, follow) != 0) {
        c.message.failure(t.state_failed);
        return;
    }
    // Where the controller offers the choice, the states are its basic and
    // advanced verify schedules.
    const bool modes = t.task == kVerifyTask && c.r.firmware_level == 1;
    c.message.web(follow ? (modes ? 566 : t.followed) : (modes ? 565 : t.ignored));
}

// ---- Deleting slots.

int clear_slot(Change& c, int task, int slot) {
    switch (task) {
        case kRebuildTask:
            return c.log->set_rebuild_task(c.controller, slot, kFreeStart, 0);
        case kVerifyTask:
            return c.log->set_verify_task(c.controller, slot, kFreeStart, 0);
        default:
            return c.log->set_selftest_task(c.controller, slot, kFreeStart);
    }
}

// The slots of the list as the page numbers them (from 1).
void as_shown(NumberList& list) {
    for (int i = 0; i < list.count; ++i) ++list.numbers[i];
}

// True when every entry of a slot list, read as atoi reads it, is a slot
// (0 to 6) as it stands: "256" names no slot, though its low byte is 0.
bool every_entry_a_slot(const char* text) {
    for (const char* p = text; *p != '\0';) {
        const long slot = std::strtol(p, nullptr, 10);
        if (slot < 0 || slot >= kScheduleSlots) return false;
        const char* comma = std::strchr(p, ',');
        if (comma == nullptr) break;
        p = comma + 1;
    }
    return true;
}

void delete_slots(Change& c, const ScheduleTexts& t, const char* key) {
    char value[kValueSize];
    get_value(c.url, key, value);
    NumberList list;
    parse_number_list(value, &list);
    if (list.count == 0 || list.truncated || !every_entry_a_slot(value)) {
        // Nothing is deleted; the answer names the slots as the request did.
        invalid(c, t.delete_refused);
        if (value[0] != '\0') c.message.text(" ").value(value);
        return;
    }

    char error[256] = "";
    for (int i = 0; i < list.count; ++i) {
        if (clear_slot(c, t.task, list.numbers[i]) == 0) {
            list.states[i] = kEntryDone;
            free_slot(c.r, t.task, list.numbers[i]);
        } else {
            list.states[i] = kEntryFailed;
            library_error_text(c.context, error);
        }
    }
    as_shown(list);
    const bool failed = list.count_of(kEntryFailed) > 0;
    if (!failed) {
        c.message.web(t.deleted);
    } else {
        if (list.count_of(kEntryDone) > 0) {
            c.message.web(t.deleted);
            append_numbers(c.message, list, kEntryDone, " ", "", ", ");
            c.message.text(" : ");
        }
        c.message.value(error).text(" : ").web(t.delete_refused);
        append_numbers(c.message, list, kEntryFailed, " ", "", ", ");
    }

    // A rebuild or verify schedule without slots is ignored.
    if (t.task != kSelftestTask && slots_in_use(c.r, t.task) == 0 &&
        switch_state(c, t, false) != 0) {
        c.message.text(" : ").failure(t.state_failed);
    }
}

// ---- Adding a slot.

void add_slot(Change& c, const ScheduleTexts& t) {
    int day = 0;
    int hour = 0;
    int hours = 0;
    if (!value_within(c.url, t.add_key, 0, kLastDay, &day) ||
        !value_within(c.url, "Hour=", 0, kLastHour, &hour) ||
        (t.task != kSelftestTask &&
         !value_within(c.url, "Duration=", 1, kLongestDuration, &hours))) {
        invalid(c, t.add_failed);
        return;
    }
    const int slot = first_free_slot(c.r, t.task);
    if (slot < 0) {
        c.message.web(t.slots_full);
        return;
    }
    const int start = day * kMinutesPerDay + hour * kMinutesPerHour;
    const int duration = hours * kMinutesPerHour;
    int result;
    if (t.task == kRebuildTask)
        result = c.log->set_rebuild_task(c.controller, slot, start, duration);
    else if (t.task == kVerifyTask)
        result = c.log->set_verify_task(c.controller, slot, start, duration);
    else
        result = c.log->set_selftest_task(c.controller, slot, start);
    if (result != 0)
        c.message.failure(t.add_failed);
    else
        c.message.web(t.added);
}

void set_basic_verify_time(Change& c) {
    int day = 0;
    int hour = 0;
    if (!value_within(c.url, "BasicVerifySchedDay=", 0, kLastDay, &day) ||
        !value_within(c.url, "Hour=", 0, kLastHour, &hour)) {
        invalid(c, kVerify.add_failed);
        return;
    }
    const int start = day * kMinutesPerDay + hour * kMinutesPerHour;
    if (ctl_set_basic_verify_time(c.controller, start) != 0 ||
        ctl_get_basic_verify_time(c.controller, &c.r.basic_verify_time) != 0)
        c.message.failure(kVerify.add_failed);
    else
        c.message.web(kVerify.added);
}

void set_selftest_tasks(Change& c) {
    int mask = 0;
    if (!value_within(c.url, "SelftestSchedTasks=", 0, kSelftestTaskMask, &mask)) {
        invalid(c, 55);
        return;
    }
    uint16_t flags = static_cast<uint16_t>(mask);
    if (c.log->set_selftest_flags(c.controller, &flags) != 0)
        c.message.failure(55);
    else
        c.message.web(56);
}

// ---- The keys, in the order they are looked for.

struct ScheduleKey {
    const char* key;
    int tab;
    int refusal;
    void (*change)(Change&);
};

void set_rebuild_state(Change& c) { set_state(c, kRebuild, "RebuildSchedEnable="); }
void set_verify_state(Change& c) { set_state(c, kVerify, "VerifySchedEnable="); }
void delete_rebuild(Change& c) { delete_slots(c, kRebuild, "RebuildSchedDelete="); }
void delete_verify(Change& c) { delete_slots(c, kVerify, "VerifySchedDelete="); }
void delete_selftest(Change& c) { delete_slots(c, kSelftest, "SelftestSchedDelete="); }
void add_rebuild(Change& c) { add_slot(c, kRebuild); }
void add_verify(Change& c) { add_slot(c, kVerify); }
void add_selftest(Change& c) { add_slot(c, kSelftest); }

const ScheduleKey kKeys[] = {
    {"RebuildSchedEnable=", kRebuildTask, 40, set_rebuild_state},
    {"VerifySchedEnable=", kVerifyTask, 44, set_verify_state},
    {"RebuildSchedDelete=", kRebuildTask, kRebuild.delete_refused, delete_rebuild},
    {"VerifySchedDelete=", kVerifyTask, kVerify.delete_refused, delete_verify},
    {"SelftestSchedDelete=", kSelftestTask, kSelftest.delete_refused, delete_selftest},
    {"SelftestSchedTasks=", kSelftestTask, 54, set_selftest_tasks},
    {"RebuildSchedAddDay=", kRebuildTask, kRebuild.add_refused, add_rebuild},
    {"VerifySchedAddDay=", kVerifyTask, kVerify.add_refused, add_verify},
    {"BasicVerifySchedDay=", kVerifyTask, kAborted, set_basic_verify_time},
    {"SelftestSchedAddDay=", kSelftestTask, kSelftest.add_refused, add_selftest},
};

}  // namespace

bool page2_1_has_action(const char* url) { return first_key(url, kKeys) != nullptr; }

int handle_page2_1(DaemonContext* context, PageBuilder* page, const PageRequest& request) {
    ControllerSelection controllers;
    if (controllers.none())
        return write_page2_1(*page, kNoneFound, controllers.list(), nullptr, kRebuildTask);
    const int c = controllers.select(context->get_param_c(request.url));
    ControllerRecord* records = controllers.fill(context);

    if (const ScheduleKey* found = first_key(request.url, kKeys)) {
        const ScheduleKey& key = *found;
        ActionMessage message(context);
        Change change{context,          context->command_logger(),
                      request.url,      controllers.selected(),
                      controllers.id(), message};
        if (request.level != kAccessAdmin) {
            message.refusal(kRefusalColon);
            if (key.refusal == kAborted)
                message.daemon(kOperationAborted);
            else
                message.web(key.refusal);
            return message.redirect(page, kTargets[key.tab], kRedirectNotPermitted);
        }
        key.change(change);
        return message.redirect(page, kTargets[key.tab], kRedirectDone);
    }

    const int tab = get_number(request.url, "WhichSched=", kRebuildTask) & 0xFF;
    return write_page2_1(*page, c, controllers.list(), records, tab);
}
