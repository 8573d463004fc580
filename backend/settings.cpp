// The settings of one parameter each, defined from the rows of the back-end
// classes' .def files, and the second-series settings that take more than
// one plain parameter command: the ECC policy of the units that have one,
// the unit serial number, the driver's record, the flags of tables 11 and 7.
#include <cstring>

#include "backend/family6_backend.h"
#include "backend/family8_backend.h"
#include "driver/record_failure.h"
#include "driver/series_command.h"

using namespace setting_table;

#define SETTING_ROW(...) SETTING_DEFINITION(SeriesBackend, __VA_ARGS__)
#include "backend/series_settings.def"
#undef SETTING_ROW
#define SETTING_ROW(...) SETTING_DEFINITION(Family6Backend, __VA_ARGS__)
#include "backend/family6_settings.def"
#undef SETTING_ROW
#define SETTING_ROW(...) SETTING_DEFINITION(Family8Backend, __VA_ARGS__)
#include "backend/family8_settings.def"
#undef SETTING_ROW

namespace {

constexpr Setting kEccOnRebuild{kUnit, 15, 1, Conversion::Direct};
constexpr Setting kUnitSerialNumber{kUnit, 18, 20, Conversion::Bytes};
constexpr Setting kTable11Flags{11, 2, 2, Conversion::Number};
constexpr Setting kTable7Record{7, 2, 512, Conversion::Bytes};
constexpr size_t kTable7FlagByte = 4;

// Read-modify-write of a setting under the controller lock: change() turns
// the value read into the one to write, or says that nothing is to be
// written. The lock is released on every path.
template <class Change>
int change_under_lock(ObjectId id, Change change) {
    if (SeriesBackend::get_controller_lock(id, SeriesBackend::kLockMilliseconds) != 0) return -1;
    const int result = change();
    SeriesBackend::release_controller_lock(id);
    return result;
}

int read_flag(ObjectId id, uint16_t mask, uint8_t* out) {
    uint16_t word;
    if (read_setting(id, kTable11Flags, &word) != 0) return -1;
    *out = (word & mask) != 0 ? 1 : 0;
    return 0;
}

// The word is written back even when the bit already had the wanted value.
int change_flag(ObjectId id, uint16_t mask, bool set) {
    return change_under_lock(id, [&] {
        uint16_t word;
        if (read_setting(id, kTable11Flags, &word) != 0) return -1;
        word = set ? uint16_t(word | mask) : uint16_t(word & ~mask);
        return write_setting_value(id, kTable11Flags, word);
    });
}

// Units with redundancy, and migrating units, keep an ECC policy; API error
// 82 for the others.
int check_ecc_unit(const SeriesBackend& backend, ObjectId unit) {
    int32_t type;
    if (backend.get_unit_type(unit, &type) != 0) return -1;
    switch (type) {
        case kUnitRaid1:
        case kUnitRaid1Mirror:
        case kUnitRaid5:
        case kUnitRaid10:
        case kUnitRaid6:
        case kUnitRaid50:
        case kUnitMigrating:
            return 0;
    }
    return fail_with_api_error(kApiEccPolicyInvalid);
}

}  // namespace

int SeriesBackend::get_ecc_on_rebuild(ObjectId unit, uint8_t* out) const {
    if (check_ecc_unit(*this, unit) != 0) return -1;
    return read_setting(unit, kEccOnRebuild, out);
}

int SeriesBackend::set_ecc_on_rebuild(ObjectId unit, uint8_t value) const {
    if (check_ecc_unit(*this, unit) != 0) return -1;
    return write_setting_value(unit, kEccOnRebuild, value);
}

int SeriesBackend::get_unit_serial_number(ObjectId unit, char* out) const {
    char serial[kUnitSerialSize] = {};
    if (read_setting_bytes(unit, kUnitSerialNumber, serial, kUnitSerialNumber.size) != 0) return -1;
    std::memcpy(out, serial, sizeof serial);
    return 0;
}

int SeriesBackend::get_driver_version(ObjectId id, DriverCompatInfo* out) const {
    DriverCompatInfo record;
    std::memset(&record, 0, sizeof record);
    if (get_compat_info(controller_id_of(id), &record) != 0) return -1;
    *out = record;
    return 0;
}

#define TABLE11_FLAG(bit)                                                        \
    int SeriesBackend::get_table11_flag_##bit(ObjectId id, uint8_t* out) const { \
        return read_flag(id, uint16_t(1u << bit), out);                          \
    }                                                                            \
    int SeriesBackend::enable_table11_flag_##bit(ObjectId id) const {            \
        return change_flag(id, uint16_t(1u << bit), true);                       \
    }                                                                            \
    int SeriesBackend::disable_table11_flag_##bit(ObjectId id) const {           \
        return change_flag(id, uint16_t(1u << bit), false);                      \
    }
TABLE11_FLAG(0)
TABLE11_FLAG(1)
TABLE11_FLAG(2)
TABLE11_FLAG(15)
#undef TABLE11_FLAG

int SeriesBackend::get_table7_flag(ObjectId id, uint8_t* out) const {
    uint8_t record[kTable7Record.size];
    if (read_setting_bytes(id, kTable7Record, record, sizeof record) != 0) return -1;
    *out = record[kTable7FlagByte] == 0 ? 1 : 0;
    return 0;
}

int SeriesBackend::set_table7_flag(ObjectId id, uint8_t value) const {
    return change_under_lock(id, [&] {
        uint8_t record[kTable7Record.size];
        if (read_setting_bytes(id, kTable7Record, record, sizeof record) != 0) return -1;
        const uint8_t wanted = value == 0 ? 1 : 0;
        if (record[kTable7FlagByte] == wanted) return 0;
        record[kTable7FlagByte] = wanted;
        return write_setting_bytes(id, kTable7Record, record);
    });
}
