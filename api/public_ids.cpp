// Identifier functions of the public interface: enclosure and element
// identifiers taken apart, the enclosure number under which an enclosure is
// kept, unit numbers and port identifiers.
//
// An enclosure number is the controller index times 16 plus the enclosure
// position, in one byte, 0xFF meaning no enclosure. An identifier whose
// enclosure byte is neither 0xFF nor 0x40 plus a position 0 to 15, or whose
// number would not fit below 0xFF (controller indexes above 15), cannot be
// told apart from another enclosure's and is refused with its kind's error.
#include <cstring>

#include "api/ctl.h"
#include "driver/record_failure.h"

namespace {

constexpr uint8_t kNone = 0xFF;
constexpr uint8_t kPositionBase = 0x40;
constexpr uint8_t kPositions = 16;


struct ElementKind {
    uint8_t kind;
    int32_t error;
};

constexpr ElementKind kEnclosure{kKindEnclosure, kInvalidEnclosureId};
constexpr ElementKind kFan{kKindFan, kInvalidFanId};
constexpr ElementKind kDoorLock{kKindDoorLock, kInvalidDoorLockId};
constexpr ElementKind kAlarm{kKindAlarm, kInvalidAlarmId};
constexpr ElementKind kSlot{kKindSlot, kInvalidSlotId};
constexpr ElementKind kTempSensor{kKindTempSensor, kInvalidTempSensorId};
constexpr ElementKind kPowerSupply{kKindPowerSupply, kInvalidPowerSupplyId};

bool has_enclosure(const ObjectId& id) { return id.b[4] != kNone; }

uint8_t position_of(const ObjectId& id) { return uint8_t(id.b[4] - kPositionBase); }

// The kind matches and the enclosure byte is 0xFF or names a position.
bool well_formed(const ObjectId& id, const ElementKind& expected) {
    if (id.b[0] != expected.kind) return false;
    return !has_enclosure(id) || (id.b[4] >= kPositionBase && position_of(id) < kPositions);
}

// Also the enclosure number fits below 0xFF.
bool numbered(const ObjectId& id, const ElementKind& expected) {
    if (!well_formed(id, expected)) return false;
    return !has_enclosure(id) || id.b[1] * kPositions + position_of(id) < kNone;
}

uint8_t enclosure_number(const ObjectId& id) {
    return has_enclosure(id) ? uint8_t(id.b[1] * kPositions + position_of(id)) : kNone;
}

// Element decoders: enclosure number and element index (byte 2); a slot
// without an enclosure also has no index.
int decode_element(const ObjectId& id, const ElementKind& expected, uint8_t* number,
                   uint8_t* element) {
    if (!numbered(id, expected)) return fail_with_api_error(expected.error);
    *number = enclosure_number(id);
    *element = expected.kind == kKindSlot && !has_enclosure(id) ? kNone : id.b[2];
    return 0;
}

// Element parsers: controller, enclosure position and element index, all
// 0xFF without an enclosure.
int parse_element(const ObjectId& id, const ElementKind& expected, uint8_t* controller,
                  uint8_t* enclosure, uint8_t* element) {
    if (!well_formed(id, expected)) return fail_with_api_error(expected.error);
    const bool known = has_enclosure(id);
    *controller = known ? id.b[1] : kNone;
    *enclosure = known ? position_of(id) : kNone;
    *element = known ? id.b[2] : kNone;
    return 0;
}

int parse_enclosure(const ObjectId& id, uint8_t* controller, uint8_t* enclosure) {
    if (!well_formed(id, kEnclosure)) return fail_with_api_error(kInvalidEnclosureId);
    const bool known = has_enclosure(id);
    *controller = known ? id.b[1] : kNone;
    *enclosure = known ? position_of(id) : kNone;
    return 0;
}

}  // namespace

extern "C" {

int ctl_decode_enclosure_number(ObjectId id, uint8_t* number) {
    if (!numbered(id, kEnclosure)) return fail_with_api_error(kInvalidEnclosureId);
    *number = enclosure_number(id);
    return 0;
}

int ctl_decode_enclosure_id(ObjectId id, uint8_t* controller, uint8_t* enclosure) {
    return parse_enclosure(id, controller, enclosure);
}

int ctl_parse_enclosure_id(ObjectId id, uint8_t* controller, uint8_t* enclosure) {
    return parse_enclosure(id, controller, enclosure);
}

int ctl_decode_fan_id(ObjectId id, uint8_t* enclosure_number, uint8_t* fan) {
    return decode_element(id, kFan, enclosure_number, fan);
}

int ctl_decode_door_lock_id(ObjectId id, uint8_t* enclosure_number, uint8_t* lock) {
    return decode_element(id, kDoorLock, enclosure_number, lock);
}

int ctl_decode_alarm_id(ObjectId id, uint8_t* enclosure_number, uint8_t* alarm) {
    return decode_element(id, kAlarm, enclosure_number, alarm);
}

int ctl_decode_slot_id(ObjectId id, uint8_t* enclosure_number, uint8_t* slot) {
    return decode_element(id, kSlot, enclosure_number, slot);
}

int ctl_decode_temp_sensor_id(ObjectId id, uint8_t* enclosure_number, uint8_t* sensor) {
    return decode_element(id, kTempSensor, enclosure_number, sensor);
}

int ctl_decode_power_supply_id(ObjectId id, uint8_t* enclosure_number, uint8_t* supply) {
    return decode_element(id, kPowerSupply, enclosure_number, supply);
}

int ctl_parse_fan_id(ObjectId id, uint8_t* controller, uint8_t* enclosure, uint8_t* fan) {
    return parse_element(id, kFan, controller, enclosure, fan);
}

int ctl_parse_door_lock_id(ObjectId id, uint8_t* controller, uint8_t* enclosure, uint8_t* lock) {
    return parse_element(id, kDoorLock, controller, enclosure, lock);
}

int ctl_parse_alarm_id(ObjectId id, uint8_t* controller, uint8_t* enclosure, uint8_t* alarm) {
    return parse_element(id, kAlarm, controller, enclosure, alarm);
}

int ctl_parse_slot_id(ObjectId id, uint8_t* controller, uint8_t* enclosure, uint8_t* slot) {
    return parse_element(id, kSlot, controller, enclosure, slot);
}

int ctl_parse_temp_sensor_id(ObjectId id, uint8_t* controller, uint8_t* enclosure,
                             uint8_t* sensor) {
    return parse_element(id, kTempSensor, controller, enclosure, sensor);
}

int ctl_parse_power_supply_id(ObjectId id, uint8_t* controller, uint8_t* enclosure,
                              uint8_t* supply) {
    return parse_element(id, kPowerSupply, controller, enclosure, supply);
}

int ctl_make_enclosure_id_raw(const uint8_t* bytes, ObjectId* id) {
    ObjectId made;
    std::memcpy(made.b, bytes, sizeof made.b);
    made.b[0] = kKindEnclosure;
    *id = made;
    return 0;
}

int ctl_get_unit_number(ObjectId id, uint8_t* number) {
    if (id.b[0] != kKindUnit) return fail_with_api_error(kInvalidUnitId);
    *number = id.b[4];
    return 0;
}

int ctl_get_port_id(ObjectId id, ObjectId* port) {
    if (id.b[0] != kKindDrive) return fail_with_api_error(kInvalidPortId);
    ObjectId made;
    std::memset(made.b, kNone, sizeof made.b);
    made.b[0] = kKindDrive;
    made.b[1] = id.b[1];
    made.b[2] = id.b[2];
    *port = made;
    return 0;
}

}  // extern "C"
