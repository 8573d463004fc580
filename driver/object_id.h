// Object identifiers: eight bytes naming a controller, unit, drive or port,
// phy, LUN, task record, enclosure or enclosure element; byte 0 is the kind.
// Bytes a kind does not use are 0xFF.
#pragma once

#include <cstdint>

struct ObjectId {
    uint8_t b[8];
};
static_assert(sizeof(ObjectId) == 8);

// Kinds (byte 0).
enum : uint8_t {
    kKindController = 1,
    kKindUnit = 2,
    kKindDrive = 3,  // drive or port
    kKindEnclosure = 4,
    kKindFan = 5,
    kKindPowerSupply = 6,
    kKindDoorLock = 7,
    kKindAlarm = 8,
    kKindSlot = 9,
    kKindTaskRecord = 11,
    kKindLun = 12,
    kKindTempSensor = 13,
    kKindPhy = 14,
};

// The identifier with kind 1: the identifier of any object of a controller
// as the controller's own, for the requests that address the controller.
inline ObjectId controller_id_of(ObjectId id) {
    id.b[0] = kKindController;
    return id;
}

// Identifier lists: the identifiers first, then the 32-bit count; entries
// after the count are 0xFF.
template <int N>
struct IdListOf {
    ObjectId ids[N];
    uint32_t count;
};
using ControllerIdList = IdListOf<255>;  // the controllers found
using IdList = IdListOf<128>;            // units, drives, ports, phys, LUNs, task records
using EnclosureIdList = IdListOf<16>;    // enclosures; element lists use 16, 32 or 128
using ElementIdList = IdListOf<16>;      // fans, power supplies, door locks, alarms
using TempSensorIdList = IdListOf<32>;
using SlotIdList = IdListOf<128>;
static_assert(sizeof(ControllerIdList) == 255 * 8 + 4);
static_assert(sizeof(IdList) == 128 * 8 + 4);

// Builders and parsers: 0 on success, -1 with an API error recorded (and no
// output written) on refusal.
extern "C" {
int ctl_make_controller_id(uint8_t controller, ObjectId* out);
int ctl_make_unit_id(uint8_t controller, uint8_t level3, uint8_t unit, uint8_t level1,
                     uint8_t level2, ObjectId* out);
int ctl_make_drive_id(uint8_t controller, uint8_t port, ObjectId* out);
int ctl_make_port_id(uint8_t controller, uint8_t port, ObjectId* out);
int ctl_make_phy_id(uint8_t controller, uint8_t phy, ObjectId* out);

int ctl_parse_controller_id(ObjectId id, uint8_t* controller);
int ctl_parse_unit_id(ObjectId id, uint8_t* controller, uint8_t* level3, uint8_t* unit,
                      uint8_t* level1, uint8_t* level2);
int ctl_parse_drive_id(ObjectId id, uint8_t* controller, uint8_t* port);
int ctl_parse_port_id(ObjectId id, uint8_t* controller, uint8_t* port);
int ctl_parse_phy_id(ObjectId id, uint8_t* controller, uint8_t* phy);

// Enclosure and element identifiers. These ask the controller, through the
// family dispatcher, for the enclosure type and for the SES sub-enclosure
// of an element (defined with the public interface). Enclosure positions
// are 0 to 15; element indexes 0 to 15 (fans, power supplies, door locks,
// alarms), 0 to 127 (drive slots) or 0 to 31 (temperature sensors), and
// 0xFF for none.
int ctl_make_enclosure_id(uint8_t controller, uint8_t position, ObjectId* out);
int ctl_make_fan_id(ObjectId enclosure, uint8_t index, ObjectId* out);
int ctl_make_power_supply_id(ObjectId enclosure, uint8_t index, ObjectId* out);
int ctl_make_door_lock_id(ObjectId enclosure, uint8_t index, ObjectId* out);
int ctl_make_alarm_id(ObjectId enclosure, uint8_t index, ObjectId* out);
int ctl_make_slot_id(ObjectId enclosure, uint8_t index, ObjectId* out);
int ctl_make_temp_sensor_id(ObjectId enclosure, uint8_t index, ObjectId* out);
}
