// Later-generation settings that take more than one plain parameter
// command: the readings of table 9, the bus bandwidth, and the settings
// named by a selector or with an unset value.
#include <cstring>

#include "backend/family6_backend.h"
#include "backend/family8_backend.h"
#include "driver/record_failure.h"
#include "driver/series_command.h"

namespace {

constexpr Setting kTable9Count{9, 2, 2, Conversion::Number};
constexpr Setting kTable9EntryList{9, 3, 512, Conversion::Bytes};
constexpr Setting kBusInfo{setting_table::kSettings, 26, 4, Conversion::Number};
constexpr Setting kSetting56{setting_table::kSettings, 56, 2, Conversion::Number};
constexpr Setting kSetting63{setting_table::kSettings, 63, 1, Conversion::Number};
constexpr uint16_t kUnset = 0xFFFF;

// The bus information word: the speed of a lane, and the lane count.
constexpr uint32_t kLane500 = 1u << 9;
constexpr uint32_t kLane250 = 1u << 8;
constexpr uint32_t kLaneMask = 0x7800;
struct LanePattern {
    uint32_t bits;
    uint32_t lanes;
};
constexpr LanePattern kLanePatterns[] = {
    {0x0800, 1}, {0x1000, 4}, {0x2000, 8}, {0x4000, 16},
};

// A controller setting of one of two parameters, picked by a selector.
constexpr Setting selected(uint8_t selector, uint16_t first, uint16_t second, uint16_t size,
                           Conversion conversion) {
    return Setting{setting_table::kSettings, selector == 1 ? first : second, size, conversion};
}

}  // namespace

int Family6Backend::get_table9_entries(ObjectId id, uint16_t* out) const {
    uint8_t bytes[kTable9EntryList.size];
    if (read_setting_bytes(id, kTable9EntryList, bytes, sizeof bytes) != 0) return -1;
    for (size_t i = 0; i < kTable9Entries; ++i) out[i] = uint16_t(le::load(bytes + 2 * i, 2));
    return 0;
}

int Family6Backend::get_table9_list(ObjectId id, uint8_t* out) const {
    std::memset(out, 0, kTable9ListSize);
    uint8_t list[kTable9ListSize];
    if (read_setting_bytes(id, kTable9Count, list, 2) != 0 ||
        read_setting_bytes(id, kTable9EntryList, list + 2, kTable9ListSize - 2) != 0)
        return -1;
    std::memcpy(out, list, sizeof list);
    return 0;
}

int Family6Backend::get_bus_bandwidth(ObjectId id, uint32_t* out) const {
    uint32_t word;
    if (read_setting(id, kBusInfo, &word) != 0) return -1;
    const uint32_t per_lane = (word & kLane500) ? 500 : (word & kLane250) ? 250 : 0;
    if (per_lane == 0) return fail_with_api_error(kApiNotSupported);
    uint32_t lanes = 0;
    for (const LanePattern& p : kLanePatterns)
        if ((word & kLaneMask) == p.bits) lanes = p.lanes;
    *out = lanes * per_lane;
    return 0;
}

int Family6Backend::get_controller_setting_54_55(ObjectId id, int32_t selector,
                                                 uint8_t* out) const {
    return read_setting(id, selected(selector == 1 ? 1 : 2, 54, 55, 1, Conversion::Number), out);
}

int Family6Backend::set_controller_setting_54_55(ObjectId id, int32_t selector,
                                                 uint8_t value) const {
    return write_setting_value(id, selected(selector == 1 ? 1 : 2, 54, 55, 1, Conversion::Number),
                               value);
}

int Family6Backend::get_controller_setting_56(ObjectId id, uint8_t* present,
                                              uint16_t* value) const {
    uint16_t stored;
    if (read_setting(id, kSetting56, &stored) != 0) return -1;
    *present = stored == kUnset ? 0 : 1;
    *value = stored == kUnset ? 0 : stored;
    return 0;
}

// Only selectors 1 and 2 name a setting to read; another fails without
// asking the controller and without recording anything.
int Family8Backend::get_controller_setting_47_48(ObjectId id, uint8_t selector,
                                                 uint32_t* out) const {
    if (selector != 1 && selector != 2) return -1;
    return read_setting(id, selected(selector, 47, 48, 4, Conversion::Number), out);
}

int Family8Backend::set_controller_setting_47_48(ObjectId id, uint8_t selector,
                                                 uint32_t value) const {
    return write_setting_value(id, selected(selector, 47, 48, 4, Conversion::Number), value);
}

int Family8Backend::get_controller_setting_49_50(ObjectId id, uint8_t selector,
                                                 uint32_t* out) const {
    return read_setting(id, selected(selector, 49, 50, 4, Conversion::Number), out);
}

int Family8Backend::set_controller_setting_49_50(ObjectId id, uint8_t selector,
                                                 uint32_t value) const {
    return write_setting_value(id, selected(selector, 49, 50, 4, Conversion::Number), value);
}

int Family8Backend::set_controller_setting_63(ObjectId id) const {
    return write_setting_value(id, kSetting63, 1);
}
