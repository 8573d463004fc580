// Public enclosure functions with checks of their own: the lists of element
// values check that each output has room for the list's count of values
// (and that the count fits the list), and the state functions reduce a
// fan's or power supply's status.
#include "api/ctl.h"
#include "api/family_router.h"
#include "driver/record_failure.h"

namespace {

// The list's count fits its room and every present output holds width
// bytes per listed element.
template <int N>
bool fits(const IdListOf<N>& list, uint32_t size, uint32_t width) {
    return list.count <= uint32_t(N) && uint64_t(size) >= uint64_t(list.count) * width;
}

// Running 0, off 1, anything else 128.
int32_t reduced_state(uint8_t status) {
    if (status == 0) return 0;
    return status == 3 ? 1 : 128;
}

}  // namespace

extern "C" {

int ctl_get_fan_list_status(uint8_t* status, uint32_t size, ElementIdList list) {
    if (!fits(list, size, 1)) return fail_with_api_error(kInvalidArgument);
    return family_router().get_fan_list_status(status, size, list);
}

int ctl_get_fan_list_speed(uint8_t* codes, uint32_t codes_size, uint32_t* rpm, uint32_t rpm_size,
                           ElementIdList list) {
    if ((codes == nullptr && rpm == nullptr) || (codes != nullptr && !fits(list, codes_size, 1)) ||
        (rpm != nullptr && !fits(list, rpm_size, 4)) || !fits(list, 0, 0))
        return fail_with_api_error(kInvalidArgument);
    return family_router().get_fan_list_speed(codes, codes_size, rpm, rpm_size, list);
}

int ctl_get_fan_list_identify(uint8_t* identify, uint32_t size, ElementIdList list) {
    if (!fits(list, size, 1)) return fail_with_api_error(kInvalidArgument);
    return family_router().get_fan_list_identify(identify, size, list);
}

int ctl_get_slot_list_status(uint32_t* flags, uint32_t size, SlotIdList list) {
    if (!fits(list, size, 4)) return fail_with_api_error(kInvalidArgument);
    return family_router().get_slot_list_status(flags, size, list);
}

int ctl_get_slot_list_identify(uint8_t* identify, uint32_t size, SlotIdList list) {
    if (!fits(list, size, 1)) return fail_with_api_error(kInvalidArgument);
    return family_router().get_slot_list_identify(identify, size, list);
}

int ctl_get_temp_sensor_list_status(uint8_t* status, uint32_t status_size, uint8_t* thresholds,
                                    uint32_t thresholds_size, TempSensorIdList list) {
    if (status == nullptr || thresholds == nullptr || !fits(list, status_size, 1) ||
        !fits(list, thresholds_size, 1))
        return fail_with_api_error(kInvalidArgument);
    return family_router().get_temp_sensor_list_status(status, status_size, thresholds,
                                                       thresholds_size, list);
}

int ctl_get_temp_sensor_list_temperature(int32_t* degrees, uint32_t size, TempSensorIdList list) {
    if (!fits(list, size, 4)) return fail_with_api_error(kInvalidArgument);
    return family_router().get_temp_sensor_list_temperature(degrees, size, list);
}

int ctl_get_temp_sensor_list_identify(uint8_t* identify, uint32_t size, TempSensorIdList list) {
    if (!fits(list, size, 1)) return fail_with_api_error(kInvalidArgument);
    return family_router().get_temp_sensor_list_identify(identify, size, list);
}

int ctl_get_power_supply_list_status(uint8_t* status, uint32_t status_size, uint8_t* dc,
                                     uint32_t dc_size, ElementIdList list) {
    if (status == nullptr || dc == nullptr || !fits(list, status_size, 1) ||
        !fits(list, dc_size, 1))
        return fail_with_api_error(kInvalidArgument);
    return family_router().get_power_supply_list_status(status, status_size, dc, dc_size, list);
}

int ctl_get_power_supply_list_identify(uint8_t* identify, uint32_t size, ElementIdList list) {
    if (!fits(list, size, 1)) return fail_with_api_error(kInvalidArgument);
    return family_router().get_power_supply_list_identify(identify, size, list);
}

int ctl_get_fan_state(ObjectId id, int32_t* state) {
    uint8_t status = 0;
    if (family_router().get_fan_status(id, &status) != 0) return -1;
    *state = reduced_state(status);
    return 0;
}

int ctl_get_power_supply_state(ObjectId id, int32_t* state) {
    uint8_t status = 0;
    if (family_router().get_power_supply_status(id, &status) != 0) return -1;
    *state = reduced_state(status);
    return 0;
}

}  // extern "C"
