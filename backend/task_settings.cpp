// Background-task and power-up settings of the second series written by the
// library: task rates with their modes, self-test flags, the seven weekly
// schedule slots, spin-up and stagger settings, controller settings 10, 28
// and 42, and the controller's two error logs.
#include <cstring>
#include <new>

#include "backend/series_backend.h"
#include "backend/series_parameter_access.h"
#include "driver/driver_access.h"
#include "driver/record_failure.h"

namespace {

using namespace series_access;

constexpr Parameter kFlag10{0x403, 10, 1};
constexpr Parameter kErrorLog{0x403, 13, 0};        // size from kErrorLogSize
constexpr Parameter kErrorLogBuffer{0x403, 14, 0};  // likewise
constexpr Parameter kErrorLogSize{0x403, 15, 2};
constexpr uint32_t kUnreadableLogSize = 8192;

constexpr int32_t kSlowestRate = 1, kFastestRate = 5;
// Rates are stored as (14 - 50 * rate) modulo 256: 220 for rate 1 down to
// 20 for rate 5.
constexpr uint8_t kHighestLowRateByte = 170;
// Modes: 0 adaptive; 1 and 2 low latency, 2 while the rate is 1.
constexpr uint8_t kAdaptive = 0, kLowLatency = 1, kLowLatencyRate1 = 2;
constexpr uint32_t kModeFollowsRateLevel = 36;  // from the level above this
constexpr uint32_t kUnreadableLevel = 30;
constexpr int32_t kLongestStagger = 60;
constexpr int32_t kHighestSetting42 = 30;

uint8_t encoded_rate(int32_t rate) { return uint8_t(14 - 50 * rate); }

// The low-latency mode that suits a stored rate byte.
uint8_t low_latency_mode_for(uint8_t stored_rate) {
    return stored_rate <= kHighestLowRateByte ? kLowLatency : kLowLatencyRate1;
}

// Writes the rate; on later firmware a low-latency mode is kept in step
// with it (an adaptive mode is left alone).
int set_rate(const SeriesBackend& backend, ObjectId id, const int32_t* rate, Parameter rate_p,
             Parameter mode_p) {
    if (*rate < kSlowestRate || *rate > kFastestRate)
        return fail_with_api_error(kApiInvalidTaskRate);
    const uint8_t stored = encoded_rate(*rate);
    if (write_number(id, rate_p, stored) != 0) return -1;
    uint32_t level = kUnreadableLevel;
    if (backend.get_firmware_level(id, &level) != 0) level = kUnreadableLevel;
    if (level <= kModeFollowsRateLevel) return 0;
    uint8_t mode;
    if (read_as(id, mode_p, &mode) != 0) return -1;
    if (mode != kLowLatency && mode != kLowLatencyRate1) return 0;
    const uint8_t wanted = low_latency_mode_for(stored);
    return mode == wanted ? 0 : write_number(id, mode_p, wanted);
}

int set_mode(ObjectId id, uint8_t mode, Parameter rate_p, Parameter mode_p) {
    if (mode == kAdaptive) return write_number(id, mode_p, kAdaptive);
    if (mode != kLowLatency) return fail_with_api_error(kInvalidArgument);
    uint8_t stored;
    if (read_as(id, rate_p, &stored) != 0) return -1;
    return write_number(id, mode_p, low_latency_mode_for(stored));
}

// A scheduled start as the controller keeps it: in controller time on a
// virtual-machine driver, unless there is no task.
uint16_t controller_start(ObjectId id, uint16_t start) {
    if (start == TaskSchedule::kNoTask || DriverAccess::is_vm_driver(id) != 1) return start;
    return uint16_t(DriverAccess::to_controller_week_minutes(start));
}

// A slot's table id is 0x8410 + slot in 16 bits: a slot beyond the seven
// would name another table (0xFFF3 the controller settings), so it is
// refused before anything is sent.
int check_slot(uint16_t slot) {
    return slot < TaskSchedule::kSlots ? 0 : fail_with_api_error(kInvalidArgument);
}

// A rebuild or verify window: start in the low 16 bits, duration above.
int set_window(ObjectId id, Parameter p, uint16_t slot, uint16_t start, uint16_t duration) {
    if (check_slot(slot) != 0) return -1;
    const uint32_t value = uint32_t(controller_start(id, start)) | uint32_t(duration) << 16;
    return write_number(id, of_object(p, slot), value);
}

// Zeroes the caller's log buffer and reads the whole log, of the size the
// controller gives, into it; a longer log is cut to the buffer.
int read_error_log(ObjectId id, Parameter p, uint8_t* out) {
    uint16_t reported;
    const uint32_t size =
        read_as(id, kErrorLogSize, &reported) == 0 ? reported : kUnreadableLogSize;
    std::memset(out, 0, SeriesBackend::kErrorLogSize);
    if (size <= SeriesBackend::kErrorLogSize)
        return SeriesBackend::get_parameter(id, out, size, p.table, p.id, size);
    uint8_t* log = new (std::nothrow) uint8_t[size];
    if (log == nullptr) return fail_with_api_error(kApiMemoryAllocation);
    const int result = SeriesBackend::get_parameter(id, log, size, p.table, p.id, size);
    if (result == 0) std::memcpy(out, log, SeriesBackend::kErrorLogSize);
    delete[] log;
    return result;
}

}  // namespace

int SeriesBackend::set_rebuild_rate(ObjectId id, const int32_t* rate) const {
    return set_rate(*this, id, rate, kRebuildRate, kRebuildMode);
}

int SeriesBackend::set_verify_rate(ObjectId id, const int32_t* rate) const {
    return set_rate(*this, id, rate, kVerifyRate, kVerifyMode);
}

int SeriesBackend::set_rebuild_mode(ObjectId id, uint8_t mode) const {
    return set_mode(id, mode, kRebuildRate, kRebuildMode);
}

int SeriesBackend::set_verify_mode(ObjectId id, uint8_t mode) const {
    return set_mode(id, mode, kVerifyRate, kVerifyMode);
}

int SeriesBackend::set_selftest_flags(ObjectId id, const uint16_t* flags) const {
    return write_number(id, kSelftestFlags, *flags);
}

int SeriesBackend::set_rebuild_task(ObjectId id, uint16_t slot, uint16_t start,
                                    uint16_t duration) const {
    return set_window(id, kRebuildTask, slot, start, duration);
}

int SeriesBackend::set_verify_task(ObjectId id, uint16_t slot, uint16_t start,
                                   uint16_t duration) const {
    return set_window(id, kVerifyTask, slot, start, duration);
}

int SeriesBackend::set_selftest_task(ObjectId id, uint16_t slot, uint16_t start) const {
    if (check_slot(slot) != 0) return -1;
    return write_number(id, of_object(kSelftestTask, slot), controller_start(id, start));
}

int SeriesBackend::set_task_schedule(ObjectId id, const TaskSchedule& schedule) const {
    const TaskSchedule copy = schedule;
    if (get_controller_lock(id, kLockMilliseconds) != 0) return -1;
    for (uint16_t slot = 0; slot < TaskSchedule::kSlots; ++slot) {
        const TaskScheduleSlot& s = copy.slots[slot];
        if (set_selftest_task(id, slot, s.selftest_start) != 0 ||
            set_rebuild_task(id, slot, s.rebuild_start, s.rebuild_duration) != 0 ||
            set_verify_task(id, slot, s.verify_start, s.verify_duration) != 0) {
            release_controller_lock(id);
            return -1;
        }
    }
    release_controller_lock(id);
    return 0;
}

int SeriesBackend::set_number_spinups_allowed(ObjectId id, int32_t count) const {
    uint32_t ports;
    if (get_number_of_ports(id, &ports) != 0) return -1;
    if (count <= 0 || uint32_t(count) > ports) return fail_with_api_error(kApiInvalidSpinups);
    return write_number(id, kSpinups, uint8_t(count));
}

// Negative values would wrap into long times; they are refused like too
// long ones.
int SeriesBackend::set_stagger_time(ObjectId id, int32_t value) const {
    if (value < 0 || value > kLongestStagger) return fail_with_api_error(kApiInvalidStaggerTime);
    return write_number(id, kStaggerTime, uint8_t(value));
}

int SeriesBackend::set_controller_setting_42(ObjectId id, int32_t value) const {
    if (value < 0 || value > kHighestSetting42) return fail_with_api_error(kApiInvalidStaggerTime);
    return write_number(id, kSetting42, uint8_t(value));
}

int SeriesBackend::get_controller_flag_10(ObjectId id, uint8_t* out) const {
    return get_parameter(id, out, 1, kFlag10.table, kFlag10.id, kFlag10.size);
}

int SeriesBackend::set_controller_flag_10(ObjectId id, uint8_t value) const {
    return write_number(id, kFlag10, value);
}

int SeriesBackend::set_auto_rebuild(ObjectId id, int32_t value) const {
    return write_number(id, kAutoRebuild, uint8_t(value));
}

int SeriesBackend::get_error_log(ObjectId id, uint8_t* out) const {
    return read_error_log(id, kErrorLog, out);
}

int SeriesBackend::get_error_log_buffer(ObjectId id, uint8_t* out) const {
    return read_error_log(id, kErrorLogBuffer, out);
}

int SeriesBackend::do_nothing(ObjectId) const { return 0; }
