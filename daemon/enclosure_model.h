// The daemon's picture of one disk enclosure: its identity, the identifier
// lists of its elements and one element object per drive slot, fan, door
// lock, audible alarm, temperature sensor and power supply, each holding the
// values read from the library when the model was built. The enclosure pages
// build one per request; the enclosure monitor keeps one per enclosure as its
// baseline and updates the status fields in place.
//
// The library's element status values: fans and power supplies 0 OK, 1
// failed, 2 not installed, 3 off, 128 unknown; temperature sensors 0 OK, 1
// out of range, 2 not installed, 128 unknown; alarms 0 off, 1 sounding, 2
// not installed, 3 muted, 4 failed, 5 sounding and muted. An identify value
// is 1 while the element's LED blinks, 0 while it does not and 128 when it
// has none; identify_supported is 1 when the LED can be switched (preset
// 128).
#pragma once

#include <cstdint>

#include "driver/object_id.h"

// Kind mask: which element kinds get objects; 0 selects every kind.
enum : uint32_t {
    kEnclosureKindSlots = 0x0001,
    kEnclosureKindFans = 0x0002,
    kEnclosureKindDoorLocks = 0x0004,
    kEnclosureKindAlarms = 0x0008,
    kEnclosureKindTempSensors = 0x0010,
    kEnclosureKindPowerSupplies = 0x0020,
    // Fans, temperature sensors and power supplies read only the values the
    // monitor compares.
    kEnclosureMonitorMode = 0x8000,
};

// Room of each list.
enum : int {
    kEnclosureSlotRoom = 128,
    kEnclosureTempSensorRoom = 32,
    kEnclosureElementRoom = 16,
};

struct EnclosureSlot {
    explicit EnclosureSlot(ObjectId slot);
    ObjectId id;
    uint8_t index;
    uint32_t status;  // bit value 1: a device is in the slot
    uint8_t port_controller;
    uint8_t port;  // of the drive in the slot, 255 none
    uint8_t identify;
    int identify_supported;
};

struct EnclosureFan {
    EnclosureFan(ObjectId fan, uint32_t mask);
    ObjectId id;
    uint8_t index;
    uint8_t status;
    uint8_t running;  // 1 on, 0 off, 128 unknown
    uint8_t speed_level;
    uint32_t rpm;
    uint8_t identify;
    int identify_supported;
};

struct EnclosureDoorLock {
    explicit EnclosureDoorLock(ObjectId lock);
    ObjectId id;
    uint8_t index;
    int status;
};

struct EnclosureAlarm {
    explicit EnclosureAlarm(ObjectId alarm);
    ObjectId id;
    uint8_t index;
    int status;
    uint8_t state;       // 1 on
    uint8_t audibility;  // 0 audible, else muted
};

struct EnclosureTempSensor {
    EnclosureTempSensor(ObjectId sensor, uint32_t mask);
    ObjectId id;
    uint8_t index;
    int temperature_c;
    int temperature_f;
    uint8_t status;    // by read_temp_sensor_status: 2 for a sensor that does not exist
    uint8_t warnings;  // bit values 1 low, 2 too low, 4 high, 8 too high
    uint8_t identify;
    int identify_supported;
};

struct EnclosurePowerSupply {
    EnclosurePowerSupply(ObjectId supply, uint32_t mask);
    ObjectId id;
    uint8_t index;
    uint8_t status;
    uint8_t voltage_flags;  // the library's condition bits (kSupplyOverVoltage, ...)
    uint8_t running;
    int voltage_state;  // 4 over, 2 under (under wins), 0 normal
    int current_state;  // 1 over-current, 0 normal
    uint8_t identify;
    int identify_supported;
};

// A power supply's condition bits as the library reports them.
enum : uint8_t {
    kSupplyOverVoltage = 0x8,
    kSupplyUnderVoltage = 0x4,
    kSupplyOverCurrent = 0x2,
};

// The status of an element the enclosure reports not installed.
constexpr uint8_t kSensorNotInstalled = 2;

// A temperature sensor's status as the daemon takes it: the library's value,
// or 2 (not installed) when the library answers that the sensor does not
// exist (the enclosure reports it not installed). 0 with the status
// written; -1 for any other failure, the status then untouched.
int read_temp_sensor_status(ObjectId sensor, uint8_t* status);

// running of a fan or power supply from its status.
uint8_t enclosure_running_from_status(uint8_t status);
// voltage_state and current_state from a power supply's condition bits.
int enclosure_voltage_state(uint8_t voltage_flags);
int enclosure_current_state(uint8_t voltage_flags);

class EnclosureModel {
  public:
    // Reads the enclosure and builds the element objects the mask selects.
    // controller_position (the controller's place in the controller list) is
    // not kept. Every list count outside 0 to its room is taken as 0, so no
    // loop over a list can pass its end.
    EnclosureModel(ObjectId enclosure, int enclosure_index, int controller_position,
                   int controller_index, uint32_t mask);
    ~EnclosureModel();
    EnclosureModel(const EnclosureModel&) = delete;
    EnclosureModel& operator=(const EnclosureModel&) = delete;

    int enclosure_index;  // position in the controller's enclosure list
    int controller_index;
    ObjectId id;
    uint8_t number;
    uint8_t type;  // 1 SES, 0 SAF-TE
    int status;
    char vendor[9];
    char model[17];
    char revision[5];

    SlotIdList slots;
    ElementIdList fans;
    ElementIdList door_locks;  // read only when door locks are selected
    ElementIdList alarms;
    TempSensorIdList temp_sensors;
    ElementIdList power_supplies;

    // Entry i belongs to identifier i of the matching list; null for a kind
    // that was not selected.
    EnclosureSlot* slot_objects[kEnclosureSlotRoom];
    EnclosureFan* fan_objects[kEnclosureElementRoom];
    EnclosureDoorLock* door_lock_objects[kEnclosureElementRoom];
    EnclosureAlarm* alarm_objects[kEnclosureElementRoom];
    EnclosureTempSensor* temp_sensor_objects[kEnclosureTempSensorRoom];
    EnclosurePowerSupply* power_supply_objects[kEnclosureElementRoom];

    // Element counts as loop bounds: never above the list's room.
    int slot_count() const { return int(slots.count); }
    int fan_count() const { return int(fans.count); }
    int door_lock_count() const { return int(door_locks.count); }
    int alarm_count() const { return int(alarms.count); }
    int temp_sensor_count() const { return int(temp_sensors.count); }
    int power_supply_count() const { return int(power_supplies.count); }
};
