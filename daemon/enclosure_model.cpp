#include "daemon/enclosure_model.h"

#include <cstring>

#include "api/ctl.h"
#include "daemon/library_errors.h"
#include "daemon/snapshot_records.h"
#include "driver/api_errors.h"

namespace {

constexpr uint8_t kNoIndex = 255;
constexpr uint8_t kNoPort = 255;
constexpr uint8_t kUnknown = 128;
constexpr int kNoTemperature = 127;
constexpr int kNoLockOrAlarmStatus = 127;
constexpr int kEnclosureStatusPreset = 6;
constexpr uint32_t kSlotHoldsDevice = 0x1;

void clear_id(ObjectId& id) { std::memset(id.b, 0xFF, sizeof id.b); }

bool selected(uint32_t mask, uint32_t kind) { return mask == 0 || (mask & kind) != 0; }

bool monitor_mode(uint32_t mask) { return (mask & kEnclosureMonitorMode) != 0; }

// identify_supported, then identify when the LED can be switched.
template <int (*Get)(ObjectId, uint8_t*)>
void read_identify(ObjectId id, int* supported, uint8_t* identify) {
    uint32_t value = 0;
    if (ctl_supports_identify(id, &value) == 0) *supported = int(value);
    if (*supported == 1) Get(id, identify);
}

// A list's count outside 0 to its room is taken as 0.
template <int N>
void bound_count(IdListOf<N>& list) {
    if (list.count > uint32_t(N)) list.count = 0;
}

// One element object per identifier of a selected kind.
template <typename Element, int N, typename Make>
void build_elements(const IdListOf<N>& list, Element* (&objects)[N], Make make) {
    for (uint32_t i = 0; i < list.count; ++i) objects[i] = make(list.ids[i]);
}

template <typename Element, int N>
void delete_elements(Element* (&objects)[N]) {
    for (Element*& object : objects) {
        delete object;
        object = nullptr;
    }
}

template <typename Element, int N>
void clear_elements(Element* (&objects)[N]) {
    for (Element*& object : objects) object = nullptr;
}

}  // namespace

int read_temp_sensor_status(ObjectId sensor, uint8_t* status) {
    // The reason of this read alone: an older failure may have recorded the
    // same error for another sensor.
    forget_library_error();
    if (ctl_get_temp_sensor_status(sensor, status) == 0) return 0;
    if (library_api_error() != kTempSensorMissing) return -1;
    *status = kSensorNotInstalled;
    return 0;
}

uint8_t enclosure_running_from_status(uint8_t status) {
    if ((status & 0x3) != 0) return 0;
    return status != 0 ? kUnknown : 1;
}

int enclosure_voltage_state(uint8_t voltage_flags) {
    if (voltage_flags & kSupplyUnderVoltage) return 2;
    if (voltage_flags & kSupplyOverVoltage) return 4;
    return 0;
}

int enclosure_current_state(uint8_t voltage_flags) {
    return (voltage_flags & kSupplyOverCurrent) ? 1 : 0;
}

EnclosureSlot::EnclosureSlot(ObjectId slot)
    : id(slot),
      index(kNoIndex),
      status(0),
      port_controller(kNoPort),
      port(kNoPort),
      identify(kUnknown),
      identify_supported(kUnknown) {
    uint8_t enclosure = 0;
    ctl_decode_slot_id(id, &enclosure, &index);
    ctl_get_slot_status(id, &status);
    read_identify<ctl_get_slot_identify>(id, &identify_supported, &identify);
    if ((status & kSlotHoldsDevice) == 0) return;
    ObjectId drive;
    clear_id(drive);
    uint8_t controller = 0, drive_port = 0;
    if (ctl_get_slot_port(id, &drive) == 0 &&
        ctl_parse_port_id(drive, &controller, &drive_port) == 0) {
        port_controller = controller;
        port = drive_port;
    }
}

EnclosureFan::EnclosureFan(ObjectId fan, uint32_t mask)
    : id(fan),
      index(kNoIndex),
      status(kUnknown),
      running(kUnknown),
      speed_level(0),
      rpm(0),
      identify(kUnknown),
      identify_supported(kUnknown) {
    uint8_t enclosure = 0;
    ctl_decode_fan_id(id, &enclosure, &index);
    ctl_get_fan_status(id, &status);
    if (monitor_mode(mask)) return;
    running = enclosure_running_from_status(status);
    ctl_get_fan_speed_level(id, &speed_level);
    ctl_get_fan_rpm(id, &rpm);
    read_identify<ctl_get_fan_identify>(id, &identify_supported, &identify);
}

EnclosureDoorLock::EnclosureDoorLock(ObjectId lock)
    : id(lock), index(kNoIndex), status(kNoLockOrAlarmStatus) {
    uint8_t enclosure = 0;
    ctl_decode_door_lock_id(id, &enclosure, &index);
    uint32_t value = 0;
    if (ctl_get_door_lock_status(id, &value) == 0) status = int(value);
}

EnclosureAlarm::EnclosureAlarm(ObjectId alarm)
    : id(alarm),
      index(kNoIndex),
      status(kNoLockOrAlarmStatus),
      state(kUnknown),
      audibility(kUnknown) {
    uint8_t enclosure = 0;
    ctl_decode_alarm_id(id, &enclosure, &index);
    uint32_t value = 0;
    if (ctl_get_alarm_status(id, &value) == 0) status = int(value);
    ctl_get_alarm_state(id, &state);
    ctl_get_alarm_audibility(id, &audibility);
}

EnclosureTempSensor::EnclosureTempSensor(ObjectId sensor, uint32_t mask)
    : id(sensor),
      index(kNoIndex),
      temperature_c(kNoTemperature),
      temperature_f(kNoTemperature),
      status(0),
      warnings(0),
      identify(kUnknown),
      identify_supported(kUnknown) {
    uint8_t enclosure = 0;
    ctl_decode_temp_sensor_id(id, &enclosure, &index);
    if (!monitor_mode(mask)) {
        int32_t celsius = 0;
        if (ctl_get_temp_sensor_temperature(id, &celsius) == 0) {
            temperature_c = celsius;
            temperature_f = celsius * 9 / 5 + 32;
        }
        read_identify<ctl_get_temp_sensor_identify>(id, &identify_supported, &identify);
    }
    read_temp_sensor_status(id, &status);
    ctl_get_temp_sensor_warnings(id, &warnings);
}

EnclosurePowerSupply::EnclosurePowerSupply(ObjectId supply, uint32_t mask)
    : id(supply),
      index(kNoIndex),
      status(kUnknown),
      voltage_flags(0),
      running(kUnknown),
      voltage_state(0),
      current_state(0),
      identify(kUnknown),
      identify_supported(kUnknown) {
    uint8_t enclosure = 0;
    ctl_decode_power_supply_id(id, &enclosure, &index);
    ctl_get_power_supply_status(id, &status);
    if (!monitor_mode(mask)) {
        read_identify<ctl_get_power_supply_identify>(id, &identify_supported, &identify);
        running = enclosure_running_from_status(status);
    }
    ctl_get_power_supply_voltage(id, &voltage_flags);
    voltage_state = enclosure_voltage_state(voltage_flags);
    current_state = enclosure_current_state(voltage_flags);
}

EnclosureModel::EnclosureModel(ObjectId enclosure, int enclosure_index_in_list,
                               int controller_position, int controller_index_value, uint32_t mask)
    : enclosure_index(enclosure_index_in_list),
      controller_index(controller_index_value),
      id(enclosure),
      number(0),
      type(0),
      status(kEnclosureStatusPreset),
      vendor{},
      model{},
      revision{} {
    (void)controller_position;
    clear_id_list(slots);
    clear_id_list(fans);
    clear_id_list(door_locks);
    clear_id_list(alarms);
    clear_id_list(temp_sensors);
    clear_id_list(power_supplies);
    clear_elements(slot_objects);
    clear_elements(fan_objects);
    clear_elements(door_lock_objects);
    clear_elements(alarm_objects);
    clear_elements(temp_sensor_objects);
    clear_elements(power_supply_objects);

    uint8_t controller = 0;
    ctl_decode_enclosure_id(id, &controller, &number);
    ctl_get_enclosure_type(id, &type);
    ctl_get_enclosure_vendor(id, vendor);
    ctl_get_enclosure_model(id, model);
    ctl_get_enclosure_revision(id, revision);
    uint32_t value = 0;
    if (ctl_get_enclosure_status(id, &value) == 0) status = int(value);
    ctl_get_slot_list(id, &slots);
    ctl_get_fan_list(id, &fans);
    ctl_get_power_supply_list(id, &power_supplies);
    ctl_get_temp_sensor_list(id, &temp_sensors);
    ctl_get_alarm_list(id, &alarms);
    // The texts are ended whatever the library wrote.
    vendor[sizeof vendor - 1] = '\0';
    model[sizeof model - 1] = '\0';
    revision[sizeof revision - 1] = '\0';
    bound_count(slots);
    bound_count(fans);
    bound_count(power_supplies);
    bound_count(temp_sensors);
    bound_count(alarms);

    if (selected(mask, kEnclosureKindSlots))
        build_elements(slots, slot_objects, [](ObjectId e) { return new EnclosureSlot(e); });
    if (selected(mask, kEnclosureKindFans))
        build_elements(fans, fan_objects, [mask](ObjectId e) { return new EnclosureFan(e, mask); });
    if (selected(mask, kEnclosureKindDoorLocks)) {
        ctl_get_door_lock_list(id, &door_locks);
        bound_count(door_locks);
        build_elements(door_locks, door_lock_objects,
                       [](ObjectId e) { return new EnclosureDoorLock(e); });
    }
    if (selected(mask, kEnclosureKindAlarms))
        build_elements(alarms, alarm_objects, [](ObjectId e) { return new EnclosureAlarm(e); });
    if (selected(mask, kEnclosureKindTempSensors))
        build_elements(temp_sensors, temp_sensor_objects,
                       [mask](ObjectId e) { return new EnclosureTempSensor(e, mask); });
    if (selected(mask, kEnclosureKindPowerSupplies))
        build_elements(power_supplies, power_supply_objects,
                       [mask](ObjectId e) { return new EnclosurePowerSupply(e, mask); });
}

EnclosureModel::~EnclosureModel() {
    delete_elements(slot_objects);
    delete_elements(fan_objects);
    delete_elements(door_lock_objects);
    delete_elements(alarm_objects);
    delete_elements(temp_sensor_objects);
    delete_elements(power_supply_objects);
}
