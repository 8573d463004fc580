// Temperature sensors (readings and threshold bits) and power supplies
// (status, DC condition, identify and on/off through the power-supply
// control writer).
#include <cstring>

#include "backend/enclosure_elements.h"
#include "backend/safte_buffers.h"

using namespace enclosure;

namespace {

constexpr ControlField kSupplyFields[] = {
    {1, 1, 0x80, Check::Equal, kApiNotSupported},     // request identify
    {2, 3, 0x40, Check::Equal, kApiNotSupported},     // request fail
    {4, 3, 0x20, Check::OnNotOff, kApiNotSupported},  // request on
};
constexpr ControlWriter kSupplyWriter{&kPowerSupplies, true, kSupplyFields, 3};

// The temperature of an SES sensor element in degrees Celsius, or -1 with
// the reason recorded.
int ses_temperature(const uint8_t* e, int32_t* degrees) {
    const uint8_t code = code_of(e);
    if (code == kCodeNotInstalled) return fail_with_api_error(kTempSensorMissing);
    if (code < kCodeOk || code > kCodeUnrecoverable) return fail_with_api_error(kTemperatureUnknown);
    if (e[2] == 0) return fail_with_api_error(kInvalidTemperature);
    *degrees = int32_t(e[2]) - 20;
    return 0;
}

int ses_only(const ElementKind& kind, const ObjectId& id) {
    if (check_index(kind, id) != 0) return -1;
    if (id.b[7] != kSes) return fail_with_api_error(kApiNotSupported);
    return 0;
}

}  // namespace

int SeriesBackend::get_temp_sensor_count(ObjectId enclosure, uint32_t* count) {
    return count_of(*this, kTempSensors, enclosure, count);
}

int SeriesBackend::get_temp_sensor_list(ObjectId enclosure, TempSensorIdList* out) {
    return list_of(*this, kTempSensors, enclosure, out);
}

int SeriesBackend::get_temp_sensor_list_status(uint8_t* status, uint32_t status_size,
                                               uint8_t* thresholds, uint32_t thresholds_size,
                                               TempSensorIdList list) {
    uint8_t statuses[32], bits[32] = {};
    std::memset(statuses, 128, sizeof statuses);
    bool failed = false;
    if (walk_elements(*this, kTempSensors, list, &failed, [&](uint32_t i, const uint8_t* e) {
            statuses[i] = temp_sensor_status(e);
            if (code_of(e) != kCodeNotInstalled) bits[i] = e[3] & 0x0F;
            return 0;
        }) != 0)
        return -1;
    copy_out(status, status_size, statuses, sizeof statuses);
    copy_out(thresholds, thresholds_size, bits, sizeof bits);
    return 0;
}

// A sensor whose reading fails keeps 0 and its error; the walk goes on and
// the call fails once any sensor failed, with the array still copied out.
int SeriesBackend::get_temp_sensor_list_temperature(int32_t* degrees, uint32_t size,
                                                    TempSensorIdList list) {
    int32_t values[32] = {};
    bool failed = false;
    if (walk_elements(*this, kTempSensors, list, &failed, [&](uint32_t i, const uint8_t* e) {
            return ses_temperature(e, &values[i]);
        }) != 0)
        return -1;
    copy_out(degrees, size, values, sizeof values);
    return failed ? -1 : 0;
}

int SeriesBackend::get_temp_sensor_list_identify(uint8_t* identify, uint32_t size,
                                                 TempSensorIdList list) {
    return list_identify(*this, kTempSensors, list, identify, size);
}

int SeriesBackend::get_temp_sensor_status(ObjectId sensor, uint8_t* status) {
    if (check_temp_sensor_index(sensor) != 0) return -1;
    if (sensor.b[7] != kSes) {
        *status = 0;
        return 0;
    }
    uint8_t e[4];
    if (read_kind_element(*this, kTempSensors, sensor, e, true) != 0) return -1;
    *status = temp_sensor_status(e);
    return 0;
}

int SeriesBackend::get_temp_sensor_warnings(ObjectId sensor, uint8_t* thresholds) {
    if (ses_only(kTempSensors, sensor) != 0) return -1;
    uint8_t e[4];
    if (read_element_status(sensor, kTemperature, e) != 0) return -1;
    *thresholds = e[3] & 0x0F;
    return 0;
}

int SeriesBackend::get_temp_sensor_temperature(ObjectId sensor, int32_t* degrees) {
    if (check_temp_sensor_index(sensor) != 0) return -1;
    if (sensor.b[7] == kSes) {
        uint8_t e[4];
        if (read_element_status(sensor, kTemperature, e) != 0) return -1;
        return ses_temperature(e, degrees);
    }
    uint8_t configuration[kPageBufferSize];
    if (read_safte_configuration(sensor, configuration) != 0) return -1;
    if (sensor.b[2] >= configuration[kSafteSensors]) return fail_with_api_error(kTempSensorMissing);
    uint8_t status[kPageBufferSize];
    if (read_buffer(sensor, kSafteStatus, status, kSafteBufferLength) != 0) return -1;
    *degrees = safte_celsius(status[safte_temperature_at(configuration, sensor.b[2])],
                             safte_reads_celsius(configuration));
    return 0;
}

int SeriesBackend::identify_temp_sensor(ObjectId sensor, uint8_t on) {
    if (ses_only(kTempSensors, sensor) != 0) return -1;
    return set_ses_identify(sensor, kTemperature, on);
}

int SeriesBackend::get_temp_sensor_identify(ObjectId sensor, uint8_t* on) {
    if (ses_only(kTempSensors, sensor) != 0) return -1;
    return get_ses_identify(sensor, kTemperature, on);
}

int SeriesBackend::get_power_supply_count(ObjectId enclosure, uint32_t* count) {
    return count_of(*this, kPowerSupplies, enclosure, count);
}

int SeriesBackend::get_power_supply_list(ObjectId enclosure, ElementIdList* out) {
    return list_of(*this, kPowerSupplies, enclosure, out);
}

int SeriesBackend::get_power_supply_list_status(uint8_t* status, uint32_t status_size,
                                                uint8_t* dc, uint32_t dc_size,
                                                ElementIdList list) {
    uint8_t statuses[16], bits[16] = {};
    std::memset(statuses, 128, sizeof statuses);
    bool failed = false;
    if (walk_elements(*this, kPowerSupplies, list, &failed, [&](uint32_t i, const uint8_t* e) {
            statuses[i] = fan_status(e);
            if (code_of(e) != kCodeNotInstalled) bits[i] = e[2] & 0x0E;
            return 0;
        }) != 0)
        return -1;
    copy_out(status, status_size, statuses, sizeof statuses);
    copy_out(dc, dc_size, bits, sizeof bits);
    return 0;
}

int SeriesBackend::get_power_supply_list_identify(uint8_t* identify, uint32_t size,
                                                  ElementIdList list) {
    return list_identify(*this, kPowerSupplies, list, identify, size);
}

int SeriesBackend::get_power_supply_status(ObjectId supply, uint8_t* status) {
    if (check_power_supply_index(supply) != 0) return -1;
    if (supply.b[7] != kSes) {
        *status = 0;
        return 0;
    }
    uint8_t e[4];
    if (read_element_status(supply, kPowerSupply, e) != 0) return -1;
    *status = fan_status(e);
    return 0;
}

int SeriesBackend::get_power_supply_voltage(ObjectId supply, uint8_t* dc) {
    if (ses_only(kPowerSupplies, supply) != 0) return -1;
    uint8_t e[4];
    if (read_kind_element(*this, kPowerSupplies, supply, e, true) != 0) return -1;
    *dc = e[2] & 0x0E;
    return 0;
}

int SeriesBackend::identify_power_supply(ObjectId supply, uint8_t on) {
    if (ses_only(kPowerSupplies, supply) != 0) return -1;
    return set_ses_identify(supply, kPowerSupply, on);
}

int SeriesBackend::get_power_supply_identify(ObjectId supply, uint8_t* on) {
    if (ses_only(kPowerSupplies, supply) != 0) return -1;
    return get_ses_identify(supply, kPowerSupply, on);
}

int SeriesBackend::set_power_supply_state(ObjectId supply, uint8_t on) {
    if (ses_only(kPowerSupplies, supply) != 0) return -1;
    const uint8_t control[4] = {kSelect, 0, 0, uint8_t((on & 1) << 5)};
    return write_power_supply_control(supply, 4, control);
}

int SeriesBackend::write_power_supply_control(ObjectId supply, uint8_t mask,
                                              const uint8_t* control) {
    if (check_power_supply_index(supply) != 0) return -1;
    return write_control(*this, kSupplyWriter, supply, mask, control);
}
