// Enclosure operations that the dispatcher answers with logic of its own:
// the enclosures of every controller together, the lists of element values
// (routed by their first identifier), the identify indicators of ports,
// the identify capability, and the operations no family offers.
#include <cstring>

#include "api/family_router.h"
#include "backend/backends.h"
#include "driver/driver_access.h"
#include "driver/record_failure.h"

namespace {

constexpr KindRule kAnyKind{0, 0};
constexpr KindRule kFanKind{kKindFan, kInvalidFanId};
constexpr KindRule kSupplyKind{kKindPowerSupply, kInvalidPowerSupplyId};
constexpr KindRule kPortKind{kKindDrive, kInvalidPortId};
constexpr int32_t kFirstEnclosureFamily = 6;
constexpr int32_t kFamilyWithoutEnclosures = 9;

template <class F>
int series(ObjectId id, F call) {
    return route<Pattern::C>(id, kAnyKind, SeriesCall{call});
}

// The enclosures of every controller that has enclosure services, in
// controller order; nothing is written unless every listing succeeds. The
// list holds 16: enclosures past them are left out.
int merge_enclosures(EnclosureIdList* out) {
    ControllerIdList controllers;
    std::memset(&controllers, 0xFF, sizeof controllers);
    controllers.count = 0;
    if (DriverAccess::list_controllers(&controllers) != 0) return -1;
    EnclosureIdList merged;
    std::memset(&merged, 0xFF, sizeof merged);
    merged.count = 0;
    const uint32_t room = sizeof merged.ids / sizeof merged.ids[0];
    for (uint32_t c = 0; c < controllers.count && c < 255; ++c) {
        const ObjectId controller = controllers.ids[c];
        const int32_t family = DriverAccess::get_controller_family(controller);
        if (family < kFirstEnclosureFamily || family == kFamilyWithoutEnclosures) continue;
        EnclosureIdList found;
        std::memset(&found, 0xFF, sizeof found);
        found.count = 0;
        if (family_router().get_enclosure_list(controller, &found) != 0) return -1;
        for (uint32_t e = 0; e < found.count && e < room && merged.count < room; ++e)
            merged.ids[merged.count++] = found.ids[e];
    }
    *out = merged;
    return 0;
}

}  // namespace

int FamilyRouter::list_all_enclosures(EnclosureIdList* list) { return merge_enclosures(list); }

int FamilyRouter::get_all_enclosure_count(uint32_t* count) {
    EnclosureIdList list;
    if (merge_enclosures(&list) != 0) return -1;
    *count = list.count;
    return 0;
}

int FamilyRouter::resolve_element_id(ObjectId* id) {
    return series(*id, [&] { return series_backend().resolve_element_id(id); });
}

int FamilyRouter::supports_identify(ObjectId id, uint32_t* supported) {
    switch (id.b[0]) {
    case kKindEnclosure:
    case kKindSlot:
    case kKindDrive:
    case kKindUnit:
        return series(id, [&] { return series_backend().supports_identify(id, supported); });
    case kKindFan:
    case kKindPowerSupply:
    case kKindDoorLock:
    case kKindAlarm:
    case kKindTempSensor:
        return series(id, [&] {
            *supported = 0;
            return 0;
        });
    default: return fail_with_api_error(kInvalidElementId);
    }
}

int FamilyRouter::get_fan_list_status(uint8_t* status, uint32_t size, ElementIdList list) {
    return series(list.ids[0],
                  [&] { return series_backend().get_fan_list_status(status, size, list); });
}

int FamilyRouter::get_fan_list_speed(uint8_t* codes, uint32_t codes_size, uint32_t* rpm,
                                     uint32_t rpm_size, ElementIdList list) {
    return series(list.ids[0], [&] {
        return series_backend().get_fan_list_speed(codes, codes_size, rpm, rpm_size, list);
    });
}

int FamilyRouter::get_fan_list_identify(uint8_t* identify, uint32_t size, ElementIdList list) {
    return series(list.ids[0],
                  [&] { return series_backend().get_fan_list_identify(identify, size, list); });
}

int FamilyRouter::get_slot_list_status(uint32_t* flags, uint32_t size, SlotIdList list) {
    return series(list.ids[0],
                  [&] { return series_backend().get_slot_list_status(flags, size, list); });
}

int FamilyRouter::get_slot_list_identify(uint8_t* identify, uint32_t size, SlotIdList list) {
    return series(list.ids[0],
                  [&] { return series_backend().get_slot_list_identify(identify, size, list); });
}

int FamilyRouter::get_temp_sensor_list_status(uint8_t* status, uint32_t status_size,
                                              uint8_t* thresholds, uint32_t thresholds_size,
                                              TempSensorIdList list) {
    return series(list.ids[0], [&] {
        return series_backend().get_temp_sensor_list_status(status, status_size, thresholds,
                                                            thresholds_size, list);
    });
}

int FamilyRouter::get_temp_sensor_list_temperature(int32_t* degrees, uint32_t size,
                                                   TempSensorIdList list) {
    return series(list.ids[0], [&] {
        return series_backend().get_temp_sensor_list_temperature(degrees, size, list);
    });
}

int FamilyRouter::get_temp_sensor_list_identify(uint8_t* identify, uint32_t size,
                                                TempSensorIdList list) {
    return series(list.ids[0], [&] {
        return series_backend().get_temp_sensor_list_identify(identify, size, list);
    });
}

int FamilyRouter::get_power_supply_list_status(uint8_t* status, uint32_t status_size,
                                               uint8_t* dc, uint32_t dc_size, ElementIdList list) {
    return series(list.ids[0], [&] {
        return series_backend().get_power_supply_list_status(status, status_size, dc, dc_size,
                                                             list);
    });
}

int FamilyRouter::get_power_supply_list_identify(uint8_t* identify, uint32_t size,
                                                 ElementIdList list) {
    return series(list.ids[0], [&] {
        return series_backend().get_power_supply_list_identify(identify, size, list);
    });
}

int FamilyRouter::set_fan_speed(ObjectId id, uint8_t) { return route<Pattern::N>(id, kFanKind); }

int FamilyRouter::identify_fan(ObjectId id, uint8_t) { return route<Pattern::N>(id, kFanKind); }

int FamilyRouter::set_fan_state(ObjectId id, uint8_t) { return route<Pattern::N>(id, kFanKind); }

int FamilyRouter::identify_power_supply(ObjectId id, uint8_t) {
    return route<Pattern::N>(id, kSupplyKind);
}

// The slot of the port's drive, found through the port-to-slot operation;
// -1 with API error 101 when the port's drive sits in no slot.
namespace {

int slot_of_port(ObjectId port, ObjectId* slot) {
    if (family_router().get_port_slot(port, slot) != 0) return -1;
    if (slot->b[2] == 0xFF) return fail_with_api_error(kPortNotInSlot);
    return 0;
}

}  // namespace

int FamilyRouter::get_port_identify(ObjectId id, uint8_t* on) {
    return route<Pattern::C>(id, kPortKind, SeriesCall{[&] {
                                 ObjectId slot;
                                 if (slot_of_port(id, &slot) != 0) return -1;
                                 return series_backend().get_slot_identify(slot, on);
                             }});
}

int FamilyRouter::identify_port(ObjectId id, uint8_t on) {
    return route<Pattern::C>(id, kPortKind, SeriesCall{[&] {
                                 ObjectId slot;
                                 if (slot_of_port(id, &slot) != 0) return -1;
                                 return series_backend().identify_slot(slot, on);
                             }});
}
