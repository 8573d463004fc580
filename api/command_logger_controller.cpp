// Logging methods of controller changes: background task modes, rates,
// self-test flags, schedule slots and schedules, spin-ups, the auto-rebuild
// policy, the LUN settings, the battery backup unit, the error logs and
// firmware downloads.
#include "api/command_log_texts.h"
#include "api/command_logger.h"
#include "api/ctl.h"

using command_log_text::controller_number;
using command_log_text::outcome;

int CommandLogger::set_verify_mode(ObjectId controller, int mode) {
    const int result = ctl_set_verify_mode(controller, mode);
    log_operation("Set Verify Mode(controller=%d, mode=%d): %s", controller_number(controller),
                  mode, outcome(result));
    return result;
}

int CommandLogger::set_rebuild_mode(ObjectId controller, int mode) {
    const int result = ctl_set_rebuild_mode(controller, mode);
    log_operation("Set Rebuild Mode(controller=%d, mode=%d): %s", controller_number(controller),
                  mode, outcome(result));
    return result;
}

int CommandLogger::set_verify_rate(ObjectId controller, int32_t* rate) {
    const int result = ctl_set_verify_rate(controller, rate);
    log_operation("Set Verify Rate(controller=%d, rate=%d): %s", controller_number(controller),
                  *rate, outcome(result));
    return result;
}

int CommandLogger::set_rebuild_rate(ObjectId controller, int32_t* rate) {
    const int result = ctl_set_rebuild_rate(controller, rate);
    log_operation("Set Rebuild Rate(controller=%d, rate=%d): %s", controller_number(controller),
                  *rate, outcome(result));
    return result;
}

int CommandLogger::set_selftest_flags(ObjectId controller, uint16_t* flags) {
    const int result = ctl_set_selftest_flags(controller, flags);
    log_operation("Set Selftest Flags(controller=%d, flags=%x(%s)): %s",
                  controller_number(controller), *flags, command_log_text::selftest_flags(*flags),
                  outcome(result));
    return result;
}

void CommandLogger::log_task_slot(const char* task, ObjectId controller, int slot, int start,
                                  const int* duration, int result) {
    const uint8_t number = controller_number(controller);
    const char* day;
    int hour;
    if (!command_log_text::schedule_start(start, &day, &hour))
        log_operation("Set %s Task(controller=%d, slot=%d, start=delete: %s", task, number, slot,
                      outcome(result));
    else if (duration == nullptr)
        log_operation("Set %s Task(controller=%d, slot=%d, start=%s%02d:00): %s", task, number,
                      slot, day, hour, outcome(result));
    else
        log_operation("Set %s Task(controller=%d, slot=%d, start=%s%02d:00, duration=%d): %s",
                      task, number, slot, day, hour, *duration, outcome(result));
}

int CommandLogger::set_selftest_task(ObjectId controller, int slot, int start) {
    const int result = ctl_set_selftest_task(controller, slot, start);
    log_task_slot("Selftest", controller, slot, start, nullptr, result);
    return result;
}

int CommandLogger::set_verify_task(ObjectId controller, int slot, int start, int duration) {
    const int result = ctl_set_verify_task(controller, slot, start, duration);
    log_task_slot("Verify", controller, slot, start, &duration, result);
    return result;
}

int CommandLogger::set_rebuild_task(ObjectId controller, int slot, int start, int duration) {
    const int result = ctl_set_rebuild_task(controller, slot, start, duration);
    log_task_slot("Rebuild", controller, slot, start, &duration, result);
    return result;
}

int CommandLogger::set_number_spinups_allowed(ObjectId controller, int32_t count) {
    const int result = ctl_set_number_spinups_allowed(controller, count);
    log_operation("Set Number Spinups Allowed(controller=%d, spinups allowed=%d): %s",
                  controller_number(controller), count, outcome(result));
    return result;
}

int CommandLogger::set_stagger_time(ObjectId controller, int32_t time) {
    const int result = ctl_set_stagger_time(controller, time);
    log_operation("Set Stagger Time(controller=%d, stagger time=%d): %s",
                  controller_number(controller), time, outcome(result));
    return result;
}

int CommandLogger::set_auto_rebuild(ObjectId controller, int policy) {
    const int result = ctl_set_auto_rebuild(controller, policy);
    char text[64];
    command_log_text::auto_rebuild_policy(policy, text, sizeof text);
    log_operation("Set Auto Rebuild (controller=%d, policy=%x(%s)): %s",
                  controller_number(controller), policy, text, outcome(result));
    return result;
}

int CommandLogger::log_controller_call(int result, const char* operation, ObjectId controller) {
    log_operation("%s(controller=%d): %s", operation, controller_number(controller),
                  outcome(result));
    return result;
}

int CommandLogger::disable_multi_lun_policy(ObjectId controller) {
    return log_controller_call(ctl_disable_multi_lun_policy(controller),
                               "Disable Multi-Lun Policy", controller);
}

int CommandLogger::enable_multi_lun_policy(ObjectId controller) {
    return log_controller_call(ctl_enable_multi_lun_policy(controller), "Enable Multi-Lun Policy",
                               controller);
}

int CommandLogger::set_lun_size(ObjectId controller, uint64_t size) {
    const int result = ctl_set_lun_size(controller, size);
    log_operation("Set LUN Size(controller=%d, size=%llu): %s", controller_number(controller),
                  static_cast<unsigned long long>(size), outcome(result));
    return result;
}

int CommandLogger::disable_bbu(ObjectId controller) {
    return log_controller_call(ctl_disable_bbu(controller), "Disable BBU", controller);
}

int CommandLogger::enable_bbu(ObjectId controller) {
    return log_controller_call(ctl_enable_bbu(controller), "Enable BBU", controller);
}

int CommandLogger::start_bbu_battery_test(ObjectId controller) {
    return log_controller_call(ctl_start_bbu_battery_test(controller), "Start BBU Battery Test",
                               controller);
}

int CommandLogger::get_error_log_buffer(ObjectId controller, uint8_t* log) {
    return log_controller_call(ctl_get_error_log_buffer(controller, log),
                               "Get Error Log Controller", controller);
}

int CommandLogger::get_error_log(ObjectId controller, uint8_t* log) {
    return log_controller_call(ctl_get_error_log(controller, log), "Get Error Log Controller",
                               controller);
}

namespace {

// The verify schedule's line: the newer wording where the controller
// schedules verifies the newer way (a basic verify time or an advanced
// schedule) rather than by switching its schedule on and off.
const char* verify_schedule_operation(ObjectId controller, const char* newer, const char* older) {
    uint32_t mode = 0;
    return ctl_get_firmware_level(controller, &mode) == 0 && mode == 1 ? newer : older;
}

}  // namespace

int CommandLogger::disable_verify_schedule(ObjectId controller) {
    const int result = ctl_disable_verify_schedule(controller);
    if (enabled_ == 0) return result;
    return log_controller_call(
        result,
        verify_schedule_operation(controller, "Basic Verify Schedule", "Disable Verify Schedule"),
        controller);
}

int CommandLogger::enable_verify_schedule(ObjectId controller) {
    const int result = ctl_enable_verify_schedule(controller);
    if (enabled_ == 0) return result;
    return log_controller_call(
        result,
        verify_schedule_operation(controller, "Advance Verify Schedule", "Enable Verify Schedule"),
        controller);
}

int CommandLogger::disable_rebuild_schedule(ObjectId controller) {
    return log_controller_call(ctl_disable_rebuild_schedule(controller), "Disable Rebuild Schedule",
                               controller);
}

int CommandLogger::enable_rebuild_schedule(ObjectId controller) {
    return log_controller_call(ctl_enable_rebuild_schedule(controller), "Enable Rebuild Schedule",
                               controller);
}

int CommandLogger::download_firmware(ObjectId controller, const char* file_name) {
    const int result = ctl_download_firmware_file(controller, file_name);
    log_operation("Download firmware(controller=%d, filename=%s): %s",
                  controller_number(controller), file_name != nullptr ? file_name : "",
                  outcome(result));
    return result;
}
