// Reading and writing one setting: the parameter command on the
// identifier's controller, and the setting's conversion.
#include "backend/setting_access.h"

#include <cstring>

#include "backend/series_backend.h"
#include "driver/series_command.h"

namespace {

constexpr size_t kNumberSize = 8;
constexpr uint16_t kTwoStates = 0x100;  // the third state of a three-state setting
constexpr uint8_t kLowByteMark = 0xFF;  // kept as kTwoStates by low-byte settings
constexpr size_t kTextSize = 64;  // the longest text setting, with room to spare

}  // namespace

uint32_t setting_table_of(ObjectId id, const Setting& s) {
    switch (s.table) {
    case setting_table::kPhy:
    case setting_table::kDrive: return uint32_t(s.table) + id.b[2];
    case setting_table::kUnit: return uint32_t(s.table) + id.b[4];
    default: return s.table;
    }
}

int read_setting_bytes(ObjectId id, const Setting& s, void* out, size_t out_size) {
    if (s.conversion == Conversion::Direct)
        return SeriesBackend::get_parameter(controller_id_of(id), out, uint32_t(out_size),
                                            setting_table_of(id, s), s.parameter, s.size);
    uint8_t local[SeriesBackend::kLargestSetting];
    if (SeriesBackend::get_parameter(controller_id_of(id), local, sizeof local,
                                     setting_table_of(id, s), s.parameter, s.size) != 0)
        return -1;
    std::memcpy(out, local, s.size < out_size ? s.size : out_size);
    return 0;
}

int read_setting_value(ObjectId id, const Setting& s, uint64_t* value) {
    uint8_t bytes[kNumberSize];
    if (SeriesBackend::get_parameter(controller_id_of(id), bytes, sizeof bytes,
                                     setting_table_of(id, s), s.parameter, s.size) != 0)
        return -1;
    uint64_t v = le::load(bytes, s.size);
    switch (s.conversion) {
    case Conversion::ThreeState: v = v >= kTwoStates ? 2 : v & 1; break;
    case Conversion::LowByte: v &= 0xFF; break;
    case Conversion::BigEndian:
        v = 0;
        for (size_t i = 0; i < s.size; ++i) v = v << 8 | bytes[i];
        break;
    default: break;
    }
    *value = v;
    return 0;
}

int write_setting_value(ObjectId id, const Setting& s, uint64_t value) {
    switch (s.conversion) {
    case Conversion::ThreeState: value = value <= 1 ? value : kTwoStates; break;
    case Conversion::LowByte: value = value == kLowByteMark ? kTwoStates : value; break;
    default: break;
    }
    uint8_t bytes[kNumberSize];
    if (s.conversion == Conversion::BigEndian) {
        for (size_t i = 0; i < s.size; ++i) bytes[i] = uint8_t(value >> (8 * (s.size - 1 - i)));
    } else {
        le::store(bytes, value, s.size);
    }
    return SeriesBackend::set_parameter(controller_id_of(id), bytes, sizeof bytes,
                                        setting_table_of(id, s), s.parameter, s.size);
}

int write_setting_bytes(ObjectId id, const Setting& s, const void* bytes) {
    if (s.conversion == Conversion::Text) {
        uint8_t text[kTextSize] = {};
        const size_t size = s.size < kTextSize ? s.size : kTextSize;
        const char* from = static_cast<const char*>(bytes);
        std::memcpy(text, from, strnlen(from, size));
        return SeriesBackend::set_parameter(controller_id_of(id), text, size,
                                            setting_table_of(id, s), s.parameter, size);
    }
    return SeriesBackend::set_parameter(controller_id_of(id), bytes, s.size,
                                        setting_table_of(id, s), s.parameter, s.size);
}
