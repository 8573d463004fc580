// Builders of enclosure and element identifiers. They ask the controller,
// through the dispatcher, for the enclosure type and for the SES
// sub-enclosure that holds an element.
#include <cstring>

#include "api/ctl.h"
#include "api/family_router.h"
#include "driver/record_failure.h"

namespace {

constexpr uint8_t kNone = 0xFF;
constexpr uint8_t kPositionBase = 0x40;
constexpr uint8_t kLastPosition = 15;
constexpr uint8_t kSes = 1;

// Copies the enclosure identifier, sets the element's kind and index, and
// has an SES element's sub-enclosure filled in.
int make_element(ObjectId enclosure, uint8_t index, uint8_t kind, uint8_t limit, int32_t error,
                 ObjectId* out) {
    if (enclosure.b[1] == kNone || enclosure.b[4] < kPositionBase ||
        enclosure.b[4] > kPositionBase + kLastPosition)
        return fail_with_api_error(kInvalidEnclosureId);
    if (index > limit && index != kNone) return fail_with_api_error(error);
    ObjectId id = enclosure;
    id.b[0] = kind;
    id.b[2] = index;
    if (id.b[7] == kSes && family_router().resolve_element_id(&id) != 0) return -1;
    *out = id;
    return 0;
}

}  // namespace

extern "C" {

int ctl_make_enclosure_id(uint8_t controller, uint8_t position, ObjectId* out) {
    if (controller == kNone || (position > kLastPosition && position != kNone))
        return fail_with_api_error(kInvalidEnclosureId);
    ObjectId id;
    std::memset(id.b, kNone, sizeof id.b);
    id.b[0] = kKindEnclosure;
    id.b[1] = controller;
    if (position != kNone) {
        id.b[4] = uint8_t(kPositionBase + position);
        ObjectId controller_id;
        ctl_make_controller_id(controller, &controller_id);
        // Without a type the identifier keeps 0xFF there.
        uint8_t type = 0;
        if (ctl_query_enclosure_type(controller_id, &type) == 0) id.b[7] = type;
    }
    *out = id;
    return 0;
}

int ctl_make_fan_id(ObjectId enclosure, uint8_t index, ObjectId* out) {
    return make_element(enclosure, index, kKindFan, 15, kInvalidFanId, out);
}

int ctl_make_power_supply_id(ObjectId enclosure, uint8_t index, ObjectId* out) {
    return make_element(enclosure, index, kKindPowerSupply, 15, kInvalidPowerSupplyId, out);
}

int ctl_make_door_lock_id(ObjectId enclosure, uint8_t index, ObjectId* out) {
    return make_element(enclosure, index, kKindDoorLock, 15, kInvalidDoorLockId, out);
}

int ctl_make_alarm_id(ObjectId enclosure, uint8_t index, ObjectId* out) {
    return make_element(enclosure, index, kKindAlarm, 15, kInvalidAlarmId, out);
}

int ctl_make_slot_id(ObjectId enclosure, uint8_t index, ObjectId* out) {
    return make_element(enclosure, index, kKindSlot, 127, kInvalidSlotId, out);
}

int ctl_make_temp_sensor_id(ObjectId enclosure, uint8_t index, ObjectId* out) {
    return make_element(enclosure, index, kKindTempSensor, 31, kInvalidTempSensorId, out);
}

}  // extern "C"
