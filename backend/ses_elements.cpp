// Locating SES elements in the status page through the cache, the element
// kinds, and the identify indicator of any SES element.
#include <cstring>

#include "backend/enclosure_elements.h"
#include "backend/ses_pages.h"
#include "driver/record_failure.h"

using namespace enclosure;

namespace enclosure {

namespace {
const ElementKind* const kAllKinds[] = {&kFans, &kDoorLocks, &kAlarms, &kSlots, &kTempSensors,
                                        &kPowerSupplies};
}  // namespace

const ElementKind kFans{kKindFan,   kCooling, 15, kFanMissing, 16, ctl_make_fan_id,
                        kSafteFans, false};
const ElementKind kDoorLocks{kKindDoorLock, kDoorLock,      15,  kDoorLockMissing,
                             16,            ctl_make_door_lock_id, kSafteDoorLock, true};
const ElementKind kAlarms{kKindAlarm, kAlarm,          15,          kAlarmMissing,
                          16,         ctl_make_alarm_id, kSafteAlarm, true};
const ElementKind kSlots{kKindSlot, kArrayDevice,     127,         kSlotMissing,
                         128,       ctl_make_slot_id, kSafteSlots, false};
const ElementKind kTempSensors{kKindTempSensor,   kTemperature,           31,
                               kTempSensorMissing, 32, ctl_make_temp_sensor_id,
                               kSafteSensors,      false};
const ElementKind kPowerSupplies{kKindPowerSupply,   kPowerSupply,           15,
                                 kPowerSupplyMissing, 16, ctl_make_power_supply_id,
                                 kSafteSupplies,      false};

const ElementKind* element_kind_of(uint8_t kind) {
    for (const ElementKind* k : kAllKinds)
        if (k->kind == kind) return k;
    return nullptr;
}

int32_t missing_error_of_type(uint8_t ses_type) {
    if (ses_type == kDevice) return kSlotMissing;
    for (const ElementKind* k : kAllKinds)
        if (k->ses_type == ses_type) return k->missing_error;
    return kElementMissing;
}

int check_index(const ElementKind& kind, const ObjectId& id) {
    if (id.b[2] == 0xFF || id.b[2] > kind.limit) return fail_with_api_error(kind.missing_error);
    return 0;
}

int locate_element(SeriesBackend& backend, const ObjectId& id, uint8_t ses_type,
                   LocatedElement* out) {
    int32_t first = 0, count = 0;
    if (backend.find_element_type(id, ses_type, &first, &count) != 0) return -1;
    if (backend.receive_diagnostic_page(id, kStatusPage, out->page, sizeof out->page) != 0)
        return -1;
    int32_t position = first + 1;
    if (ses_type != kEnclosure) {
        const uint8_t index = element_index(id);
        if (index >= count) return fail_with_api_error(missing_error_of_type(ses_type));
        position += index;
    }
    out->offset = element_offset(position, out->page);
    if (out->offset == 0) return fail_with_api_error(kElementMissing);
    return 0;
}

int send_control_page(const ObjectId& id, uint8_t* page, size_t target) {
    const size_t length = make_control_page(page, target);
    if (length == 0) return fail_with_api_error(kWrongPageCode);
    return SeriesBackend::send_diagnostic_page(id, page, int32_t(length));
}

int read_safte_configuration(const ObjectId& id, uint8_t* buffer) {
    return SeriesBackend::read_buffer(id, kSafteConfiguration, buffer, kSafteConfigurationLength);
}

}  // namespace enclosure

int SeriesBackend::find_element_type(ObjectId id, uint8_t ses_type, int32_t* first,
                                     int32_t* count) {
    const EnclosureCacheRecord* record = valid_record(*this, id);
    if (record == nullptr) return -1;
    const int slot = kept_type_slot(ses_type);
    if (slot < 0) return fail_with_api_error(kElementMissing);
    const uint8_t sub = id.b[5];
    const int32_t n = sub < record->sub_enclosure_count
                          ? record->sub_enclosures[sub].element_count[slot]
                          : 0;
    if (n == 0) return fail_with_api_error(kElementMissing);
    *first = record->sub_enclosures[sub].first_element[slot];
    *count = n;
    return 0;
}

int SeriesBackend::read_element_status(ObjectId id, uint8_t ses_type, uint8_t* element) {
    LocatedElement located;
    if (locate_element(*this, id, ses_type, &located) != 0) return -1;
    std::memcpy(element, located.element(), 4);
    return 0;
}

int SeriesBackend::count_elements(ObjectId id, uint8_t ses_type, int32_t* count) {
    const EnclosureCacheRecord* record = valid_record(*this, id);
    if (record == nullptr) return -1;
    const int slot = kept_type_slot(ses_type);
    if (slot < 0) return fail_with_api_error(kElementMissing);
    int subs = record->sub_enclosure_count;
    // These processors report their door locks and alarms in every LUN.
    const char* last_vendor = subs > 0 ? record->sub_enclosures[subs - 1].vendor : "";
    if (subs > 0 && std::memcmp(last_vendor, "AMI     ", 8) == 0 &&
        (ses_type == kDoorLock || ses_type == kAlarm))
        subs = 1;
    int32_t total = 0;
    for (int s = 0; s < subs; ++s) total += record->sub_enclosures[s].element_count[slot];
    *count = total;
    return 0;
}

int SeriesBackend::resolve_element_id(ObjectId* id) {
    if (id->b[7] != kSes) return 0;
    const EnclosureCacheRecord* record = valid_record(*this, *id);
    if (record == nullptr) return -1;
    const int subs = record->sub_enclosure_count;
    if (subs < 2) return 0;
    const ElementKind* kind = element_kind_of(id->b[0]);
    if (kind == nullptr) return fail_with_api_error(kElementMissing);
    const int slot = kept_type_slot(kind->ses_type);
    int32_t before = 0;
    for (int s = 0; s < subs; ++s) {
        const int32_t here = record->sub_enclosures[s].element_count[slot];
        if (id->b[2] < before + here) {
            id->b[3] = uint8_t(id->b[2] - before);
            id->b[5] = uint8_t(s);
            return 0;
        }
        before += here;
    }
    id->b[5] = uint8_t(subs);
    return 0;
}

int SeriesBackend::set_ses_identify(ObjectId id, uint8_t ses_type, uint8_t on) {
    LocatedElement located;
    if (locate_element(*this, id, ses_type, &located) != 0) return -1;
    uint8_t* e = located.element();
    e[0] |= kSelect;
    const bool slot = id.b[0] == kKindSlot;
    uint8_t& field = slot ? e[2] : e[1];
    const uint8_t bit = slot ? kSlotIdentifyBit : kIdentifyBit;
    field = on == 1 ? uint8_t(field | bit) : uint8_t(field & ~bit);
    return send_control_page(id, located.page, located.offset);
}

int SeriesBackend::get_ses_identify(ObjectId id, uint8_t ses_type, uint8_t* on) {
    uint8_t e[4];
    if (read_element_status(id, ses_type, e) != 0) return -1;
    *on = id.b[0] == kKindSlot ? (e[2] & kSlotIdentifyBit) >> 1 : (e[1] & kIdentifyBit) >> 7;
    return 0;
}

int SeriesBackend::check_fan_index(ObjectId id) { return check_index(kFans, id); }
int SeriesBackend::check_door_lock_index(ObjectId id) { return check_index(kDoorLocks, id); }
int SeriesBackend::check_alarm_index(ObjectId id) { return check_index(kAlarms, id); }
int SeriesBackend::check_slot_index(ObjectId id) { return check_index(kSlots, id); }
int SeriesBackend::check_temp_sensor_index(ObjectId id) { return check_index(kTempSensors, id); }
int SeriesBackend::check_power_supply_index(ObjectId id) {
    return check_index(kPowerSupplies, id);
}
