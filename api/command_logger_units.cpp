// Logging methods of unit changes: the ECC policy on rebuild, auto verify,
// the unit's name, protection mode and recovery policy, its caches and
// command queuing.
#include "api/command_log_texts.h"
#include "api/command_logger.h"
#include "api/ctl.h"

using command_log_text::outcome;
using command_log_text::unit_controller;
using command_log_text::unit_number;

int CommandLogger::log_unit_call(int result, const char* operation, ObjectId unit) {
    log_operation("%s(controller=%d, unit=%d): %s", operation, unit_controller(unit),
                  unit_number(unit), outcome(result));
    return result;
}

int CommandLogger::halt_on_ecc_errors_on_rebuild(ObjectId unit) {
    return log_unit_call(ctl_halt_on_ecc_error(unit), "Halt on ECC errors on rebuild", unit);
}

int CommandLogger::continue_on_ecc_errors_on_rebuild(ObjectId unit) {
    return log_unit_call(ctl_continue_on_ecc_error(unit), "Continue on ECC errors on rebuild",
                         unit);
}

int CommandLogger::disable_auto_verify(ObjectId unit) {
    return log_unit_call(ctl_disable_auto_verify(unit), "Disable Auto Verify", unit);
}

int CommandLogger::enable_auto_verify(ObjectId unit) {
    return log_unit_call(ctl_enable_auto_verify(unit), "Enable Auto Verify", unit);
}

int CommandLogger::set_unit_name(ObjectId unit, const char* name) {
    const int result = ctl_set_unit_name(unit, name);
    log_operation("Set Unit Name(controller=%d, unit=%d, name=%s): %s", unit_controller(unit),
                  unit_number(unit), name != nullptr ? name : "", outcome(result));
    return result;
}

int CommandLogger::set_protection_mode(ObjectId unit, int mode) {
    const int result = ctl_set_protection_mode(unit, mode);
    log_operation("Set Pervault Mode(controller=%d, unit=%d, mode=%s): %s", unit_controller(unit),
                  unit_number(unit), command_log_text::protection_mode(mode),
                  outcome(result));
    return result;
}

int CommandLogger::set_recovery_policy(ObjectId unit, int policy) {
    const int result = ctl_set_recovery_policy(unit, policy);
    log_operation("Set Quickmend(controller=%d, unit=%d, qm_recovery=%s): %s",
                  unit_controller(unit), unit_number(unit),
                  command_log_text::recovery_policy(policy), outcome(result));
    return result;
}

int CommandLogger::disable_read_cache(ObjectId unit) {
    return log_unit_call(ctl_disable_read_cache(unit), "Disable Read Cache", unit);
}

int CommandLogger::enable_basic_read_cache(ObjectId unit) {
    return log_unit_call(ctl_enable_basic_read_cache(unit), "Enable Basic Read Cache", unit);
}

int CommandLogger::enable_intelligent_read_cache(ObjectId unit) {
    return log_unit_call(ctl_enable_intelligent_read_cache(unit), "Enable Intelligent Read Cache",
                         unit);
}

int CommandLogger::disable_write_cache(ObjectId unit) {
    return log_unit_call(ctl_disable_write_cache(unit), "Disable Write Cache", unit);
}

int CommandLogger::enable_write_cache(ObjectId unit) {
    return log_unit_call(ctl_enable_write_cache(unit), "Enable Write Cache", unit);
}

int CommandLogger::flush_write_cache(ObjectId unit) {
    return log_unit_call(ctl_flush_write_cache(unit), "Flush Write Cache", unit);
}

int CommandLogger::disable_unit_queuing(ObjectId unit) {
    return log_unit_call(ctl_disable_unit_queuing(unit), "Disabled Unit Queuing", unit);
}

int CommandLogger::enable_unit_queuing(ObjectId unit) {
    return log_unit_call(ctl_enable_unit_queuing(unit), "Enabled Unit Queuing", unit);
}
