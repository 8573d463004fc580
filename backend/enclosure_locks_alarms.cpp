// Door locks and audible alarms: status and identify (SES), the alarm's
// mute, remind and tones through the alarm control writer (SES), and the
// SAF-TE global flags that lock the door and silence the alarm, changed
// under the controller lock.
#include <cstring>

#include "backend/enclosure_elements.h"

using namespace enclosure;

namespace {

constexpr ControlField kAlarmFields[] = {
    {1, 1, 0x80, Check::Equal, kApiNotSupported},      // request identify
    {2, 3, 0x40, Check::Equal, kApiNotSupported},      // set mute
    {4, 3, 0x10, Check::Equal, kApiNotSupported},      // set remind
    {8, 3, 0x0F, Check::TonesAdded, kToneNotSupported},
};
constexpr ControlWriter kAlarmWriter{&kAlarms, true, kAlarmFields, 4};

// Global flag byte (0 to 2) and bit that an element's setting changes.
struct FlagBit {
    int byte;
    uint8_t bit;
};

// The SAF-TE global flags read under the controller lock, one bit changed,
// and sent back as command 0x15 with the rest of the buffer as read.
int update_global_flags(SeriesBackend& backend, const ElementKind& kind, ObjectId id,
                        FlagBit flag, bool set) {
    uint32_t count = 0;
    if (count_of(backend, kind, id, &count) != 0) return -1;
    if (id.b[2] >= count || id.b[2] > kind.limit) return fail_with_api_error(kind.missing_error);
    if (SeriesBackend::get_controller_lock(id, SeriesBackend::kLockMilliseconds) != 0) return -1;
    uint8_t buffer[kPageBufferSize];
    if (SeriesBackend::read_buffer(id, kSafteGlobalFlags, buffer, kSafteBufferLength) != 0) {
        SeriesBackend::release_controller_lock(id);
        return -1;
    }
    uint8_t flags[3] = {buffer[0], buffer[1], buffer[2]};
    flags[flag.byte] = set ? uint8_t(flags[flag.byte] | flag.bit) : uint8_t(flags[flag.byte] & ~flag.bit);
    buffer[0] = kSafteSendFlags;
    std::memcpy(buffer + 1, flags, sizeof flags);
    const int result = SeriesBackend::write_buffer(id, buffer, kSafteBufferLength);
    SeriesBackend::release_controller_lock(id);
    return result == 0 ? 0 : -1;
}

// A door lock's or alarm's status: its byte of the SAF-TE status buffer, or
// its SES element's status converted.
int element_status(SeriesBackend& backend, ObjectId id, const ElementKind& kind,
                   size_t safte_offset, uint8_t ses_type, uint32_t (*from_element)(const uint8_t*),
                   uint32_t* status) {
    if (id.b[7] != kSes) {
        uint8_t value = 0;
        if (read_safte_status_byte(id, kind, safte_offset, &value) != 0) return -1;
        *status = value;
        return 0;
    }
    uint8_t e[4];
    if (backend.read_element_status(id, ses_type, e) != 0) return -1;
    *status = from_element(e);
    return 0;
}

}  // namespace

int SeriesBackend::get_door_lock_count(ObjectId enclosure, uint32_t* count) {
    return count_of(*this, kDoorLocks, enclosure, count);
}

int SeriesBackend::get_door_lock_list(ObjectId enclosure, ElementIdList* out) {
    return list_of(*this, kDoorLocks, enclosure, out);
}

int SeriesBackend::get_door_lock_status(ObjectId lock, uint32_t* status) {
    if (check_door_lock_index(lock) != 0) return -1;
    return element_status(*this, lock, kDoorLocks, 0, kDoorLock, door_lock_status, status);
}

int SeriesBackend::identify_door_lock(ObjectId lock, uint8_t on) {
    if (check_door_lock_index(lock) != 0) return -1;
    if (lock.b[7] != kSes) return fail_with_api_error(kApiNotSupported);
    return set_ses_identify(lock, kDoorLock, on);
}

int SeriesBackend::set_door_lock(ObjectId lock, int32_t lock_it) {
    if (check_door_lock_index(lock) != 0) return -1;
    // The SES door lock control element is not driven.
    if (lock.b[7] == kSes) return fail_with_api_error(kApiNotSupported);
    return update_global_flags(*this, kDoorLocks, lock, {1, kSafteLocked}, lock_it != 0);
}

int SeriesBackend::get_alarm_count(ObjectId enclosure, uint32_t* count) {
    return count_of(*this, kAlarms, enclosure, count);
}

int SeriesBackend::get_alarm_list(ObjectId enclosure, ElementIdList* out) {
    return list_of(*this, kAlarms, enclosure, out);
}

int SeriesBackend::get_alarm_status(ObjectId alarm, uint32_t* status) {
    if (check_alarm_index(alarm) != 0) return -1;
    return element_status(*this, alarm, kAlarms, 1, kAlarm, alarm_status, status);
}

int SeriesBackend::identify_alarm(ObjectId alarm, uint8_t on) {
    if (check_alarm_index(alarm) != 0) return -1;
    if (alarm.b[7] != kSes) return fail_with_api_error(kApiNotSupported);
    return set_ses_identify(alarm, kAlarm, on);
}

int SeriesBackend::get_alarm_identify(ObjectId alarm, uint8_t* on) {
    if (check_alarm_index(alarm) != 0) return -1;
    if (alarm.b[7] != kSes) return fail_with_api_error(kApiNotSupported);
    return get_ses_identify(alarm, kAlarm, on);
}

int SeriesBackend::set_alarm_audibility(ObjectId alarm, uint8_t audible) {
    if (check_alarm_index(alarm) != 0) return -1;
    if (alarm.b[7] != kSes)
        return update_global_flags(*this, kAlarms, alarm, {0, kSafteAudible}, audible != 0);
    const uint8_t control[4] = {kSelect, 0, 0, uint8_t(audible == 1 ? 0 : 0x40)};
    return write_alarm_control(alarm, 2, control);
}

int SeriesBackend::get_alarm_audibility(ObjectId alarm, uint8_t* muted) {
    if (alarm.b[7] != kSes) {
        if (check_alarm_index(alarm) != 0) return -1;
        return fail_with_api_error(kApiNotSupported);
    }
    uint8_t e[4];
    if (read_kind_element(*this, kAlarms, alarm, e, true) != 0) return -1;
    *muted = (e[3] & 0x40) ? 1 : 0;
    return 0;
}

int SeriesBackend::get_alarm_state(ObjectId alarm, uint8_t* sounding) {
    if (alarm.b[7] != kSes) {
        if (check_alarm_index(alarm) != 0) return -1;
        return fail_with_api_error(kApiNotSupported);
    }
    uint8_t e[4];
    if (read_kind_element(*this, kAlarms, alarm, e, true) != 0) return -1;
    *sounding = (e[3] & 0x0F) != 0 ? 1 : 0;
    return 0;
}

int SeriesBackend::set_alarm_state(ObjectId alarm, uint8_t tones) {
    if (check_alarm_index(alarm) != 0) return -1;
    if (alarm.b[7] != kSes) return fail_with_api_error(kApiNotSupported);
    const uint8_t control[4] = {kSelect, 0, 0, uint8_t(tones & 0x0F)};
    return write_alarm_control(alarm, 8, control);
}

int SeriesBackend::write_alarm_control(ObjectId alarm, uint8_t mask, const uint8_t* control) {
    if (check_alarm_index(alarm) != 0) return -1;
    return write_control(*this, kAlarmWriter, alarm, mask, control);
}
