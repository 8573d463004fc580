// Unit and controller settings through the public functions, on a machine
// with one controller of every family, each second-series one with a unit:
// every setting is written, kept by the firmware as the bytes it expects,
// read back, refused out of range (by the public function or the
// firmware), and refused or left unrouted on the families without it.
#include <cstring>
#include <optional>
#include <vector>

#include "tests/api/settings_machine.h"
#include "tests/support/param_names.h"

namespace {

PYV2_LIBRARY_MACHINE(kSettingsMachine);

// Families served and refused, by routing pattern (gates open).
const FamilySets kB{{}, {4, 6, 7, 8, 10}, {}, {3}, false};
const FamilySets kC{{}, {6, 7, 8, 10}, {}, {3, 4}, false};
const FamilySets kD{{}, {7, 8, 10}, {}, {3, 4, 6}, false};
const FamilySets kE{{}, {8, 10}, {}, {3, 4, 6, 7}, false};
const FamilySets kF{{}, {4}, {}, {3, 6, 7, 8, 10}, false};
const FamilySets kDStrict{{}, {7, 8, 10}, {}, {}, true};
const FamilySets kKStrict{{}, {10}, {}, {}, true};

std::vector<uint8_t> le_bytes(uint64_t v, size_t n) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < n; ++i) bytes.push_back(uint8_t(v >> (8 * i)));
    return bytes;
}

enum class Refusal { None, Library, Firmware };

struct SettingCase {
    const char* name;
    bool on_unit;
    int (*set)(ObjectId, uint64_t);
    int (*get)(ObjectId, uint64_t*);
    uint64_t value;
    uint64_t read_back;
    Written kept;         // the SET the firmware receives for value
    Refusal refusal;      // how an out-of-range value is refused
    uint64_t out_of_range;
    FamilySets families;
    std::initializer_list<int32_t> unknown_to = {};  // families whose firmware lacks it
};
PRINT_CASE_BY_NAME(SettingCase)

template <class T, int (*F)(ObjectId, T*)>
int get(ObjectId id, uint64_t* value) {
    T out{};
    const int result = F(id, &out);
    *value = uint64_t(out);
    return result;
}

template <int (*F)(ObjectId, int)>
int set(ObjectId id, uint64_t value) {
    return F(id, int(value));
}

// An on/off setting written by a pair of public functions.
template <int (*On)(ObjectId), int (*Off)(ObjectId)>
int set_pair(ObjectId id, uint64_t value) {
    return value != 0 ? On(id) : Off(id);
}

constexpr uint16_t kUnit0 = 0x300;

const SettingCase kSettings[] = {
    // Unit settings.
    {"auto_verify", true, set_pair<ctl_enable_auto_verify, ctl_disable_auto_verify>,
     get<uint8_t, ctl_get_auto_verify>, 1, 1, {kUnit0, 14, {1}}, Refusal::None, 0, kB},
    {"unit_setting_21", true, set_pair<ctl_enable_unit_setting_21, ctl_disable_unit_setting_21>,
     get<uint8_t, ctl_get_unit_setting_21>, 1, 1, {kUnit0, 21, {1}}, Refusal::None, 0, kC},
    {"unit_setting_22_third_state", true,
     [](ObjectId id, uint64_t) { return ctl_set_unit_setting_22_to_2(id); },
     get<uint8_t, ctl_get_unit_setting_22>, 2, 2, {kUnit0, 22, {0x00, 0x01}}, Refusal::None, 0,
     kC},
    {"unit_setting_23", true,
     [](ObjectId id, uint64_t) { return ctl_set_unit_setting_23_to_1(id); },
     get<uint8_t, ctl_get_unit_setting_23>, 1, 1, {kUnit0, 23, {0x01, 0x00}}, Refusal::None, 0,
     kC},
    {"protection_mode_balance", true, set<ctl_set_protection_mode>,
     get<uint8_t, ctl_get_protection_mode>, 1, 1, {kUnit0, 23, {0x00, 0x01}}, Refusal::Library,
     3, kC},
    {"recovery_policy", true, set<ctl_set_recovery_policy>, get<uint8_t, ctl_get_recovery_policy>,
     3, 3, {kUnit0, 28, {3}}, Refusal::Firmware, 2, kC},
    {"unit_setting_27", true, set<ctl_set_unit_setting_27>, get<uint8_t, ctl_get_unit_setting_27>,
     0x5A, 0x5A, {kUnit0, 27, {0x5A}}, Refusal::None, 0, kC},
    {"unit_setting_30", true, set<ctl_set_unit_setting_30>, get<uint8_t, ctl_get_unit_setting_30>,
     1, 1, {kUnit0, 30, {1}}, Refusal::Library, 2, kDStrict},
    {"unit_setting_31", true, set<ctl_set_unit_setting_31>, get<uint16_t, ctl_get_unit_setting_31>,
     999, 999, {kUnit0, 31, {0xE7, 0x03}}, Refusal::Library, 1000, kDStrict},

    // Controller settings.
    {"export_unconfigured_disk", false,
     set_pair<ctl_enable_export_unconfigured_disk, ctl_disable_export_unconfigured_disk>,
     get<uint8_t, ctl_get_export_unconfigured_disk>, 1, 1, {0x403, 17, {1}}, Refusal::None, 0,
     kB},
    {"disable_write_cache_on_degrade", false,
     set_pair<ctl_enable_disable_write_cache_on_degrade,
              ctl_disable_disable_write_cache_on_degrade>,
     get<uint8_t, ctl_get_disable_write_cache_on_degrade>, 1, 1, {0x403, 18, {1}}, Refusal::None,
     0, kF},
    {"controller_setting_22", false,
     set_pair<ctl_enable_controller_setting_22, ctl_disable_controller_setting_22>,
     get<uint8_t, ctl_get_controller_setting_22>, 1, 1, {0x403, 22, {1}}, Refusal::None, 0, kF},
    {"controller_setting_23", false,
     set_pair<ctl_enable_controller_setting_23, ctl_disable_controller_setting_23>,
     get<uint8_t, ctl_get_controller_setting_23>, 1, 1, {0x403, 23, {1}}, Refusal::None, 0, kB},
    {"multi_lun_policy", false,
     set_pair<ctl_enable_multi_lun_policy, ctl_disable_multi_lun_policy>,
     get<uint8_t, ctl_get_multi_lun_policy>, 1, 1, {0x403, 24, {1}}, Refusal::None, 0, kB},
    {"lun_size_of_one_tebibyte", false,
     [](ObjectId id, uint64_t v) { return ctl_set_lun_size(id, v); },
     get<uint64_t, ctl_get_lun_size>, 2147483647, 2147483647,
     {0x403, 29, le_bytes(2147483647, 8)}, Refusal::Firmware, 2147483646, kB},
    {"controller_setting_35", false,
     set_pair<ctl_enable_controller_setting_35, ctl_disable_controller_setting_35>,
     get<uint8_t, ctl_get_controller_setting_35>, 1, 1, {0x403, 35, {1}}, Refusal::None, 0, kB},
    {"table10_setting_5", false,
     set_pair<ctl_enable_table10_setting_5, ctl_disable_table10_setting_5>,
     get<uint8_t, ctl_get_table10_setting_5>, 1, 1, {10, 5, {1}}, Refusal::None, 0, kB, {4}},
    {"controller_setting_16", false, set<ctl_set_controller_setting_16>,
     get<uint32_t, ctl_get_controller_setting_16>, 255, 255, {0x403, 16, {0xFF, 0}},
     Refusal::Library, 256, kD},
    {"controller_setting_45", false,
     [](ObjectId id, uint64_t v) { return ctl_set_controller_setting_45(id, uint32_t(v)); },
     get<uint32_t, ctl_get_controller_setting_45>, 0x12345678, 0x12345678,
     {0x403, 45, {0x78, 0x56, 0x34, 0x12}}, Refusal::None, 0, kD},
    {"controller_setting_54", false,
     [](ObjectId id, uint64_t v) { return ctl_set_controller_setting_54_55(id, 1, int(v)); },
     [](ObjectId id, uint64_t* v) {
         uint8_t out = 0;
         const int result = ctl_get_controller_setting_54_55(id, 1, &out);
         *v = out;
         return result;
     },
     7, 7, {0x403, 54, {7}}, Refusal::None, 0, kD},
    {"controller_setting_56", false, set<ctl_set_controller_setting_56>,
     [](ObjectId id, uint64_t* v) {
         uint8_t present = 0;
         uint16_t value = 0;
         const int result = ctl_get_controller_setting_56(id, &present, &value);
         *v = present == 1 ? value : 0xDEAD;
         return result;
     },
     0x1234, 0x1234, {0x403, 56, {0x34, 0x12}}, Refusal::Library, 0xFFFF, kD},
    {"controller_setting_57", false,
     set_pair<ctl_enable_controller_setting_57, ctl_disable_controller_setting_57>,
     get<uint8_t, ctl_get_controller_setting_57>, 1, 1, {0x403, 57, {1}}, Refusal::None, 0, kD},
    {"controller_setting_58_keeps_0xFF_as_256", false, set<ctl_set_controller_setting_58>,
     get<uint8_t, ctl_get_controller_setting_58>, 0xFF, 0, {0x403, 58, {0x00, 0x01}},
     Refusal::None, 0, kD},
    {"controller_setting_52", false, set<ctl_set_controller_setting_52>,
     get<uint8_t, ctl_get_controller_setting_52>, 9, 9, {0x403, 52, {9}}, Refusal::None, 0, kC},
    {"enclosure_sata_link_speed", false, set<ctl_set_enclosure_sata_link_speed>,
     get<uint8_t, ctl_get_enclosure_sata_link_speed>, 2, 2, {0x403, 37, {2}}, Refusal::Firmware,
     3, kE},
    {"enclosure_sas_link_speed", false, set<ctl_set_enclosure_sas_link_speed>,
     get<uint8_t, ctl_get_enclosure_sas_link_speed>, 1, 1, {0x403, 38, {1}}, Refusal::Firmware,
     4, kE},
    {"controller_setting_48", false,
     [](ObjectId id, uint64_t v) { return ctl_set_controller_setting_47_48(id, 2, uint32_t(v)); },
     [](ObjectId id, uint64_t* v) {
         uint32_t out = 0;
         const int result = ctl_get_controller_setting_47_48(id, 2, &out);
         *v = out;
         return result;
     },
     48, 48, {0x403, 48, {48, 0, 0, 0}}, Refusal::None, 0, kE},
    {"controller_setting_49", false,
     [](ObjectId id, uint64_t v) { return ctl_set_controller_setting_49_50(id, 1, uint32_t(v)); },
     [](ObjectId id, uint64_t* v) {
         uint32_t out = 0;
         const int result = ctl_get_controller_setting_49_50(id, 1, &out);
         *v = out;
         return result;
     },
     49, 49, {0x403, 49, {49, 0, 0, 0}}, Refusal::None, 0, kE},
    {"controller_setting_43_most_significant_byte_first", false,
     [](ObjectId id, uint64_t v) { return ctl_set_controller_setting_43(id, &v); },
     get<uint64_t, ctl_get_controller_setting_43>, 0x0102030405060708, 0x0102030405060708,
     {0x403, 43, {1, 2, 3, 4, 5, 6, 7, 8}}, Refusal::None, 0, kKStrict},
    {"controller_info_22", false,
     [](ObjectId id, uint64_t v) {
         const uint16_t value = uint16_t(v);
         return ctl_set_controller_info_22(id, &value);
     },
     get<uint16_t, ctl_get_controller_info_22>, 0xBEEF, 0xBEEF, {0x402, 22, {0xEF, 0xBE}},
     Refusal::None, 0, kKStrict},
    {"controller_info_23", false,
     [](ObjectId id, uint64_t v) {
         const uint8_t value = uint8_t(v);
         return ctl_set_controller_info_23(id, &value);
     },
     get<uint8_t, ctl_get_controller_info_23>, 0x23, 0x23, {0x402, 23, {0x23}}, Refusal::None, 0,
     kKStrict},
    {"table11_value_5", false, set<ctl_set_table11_value_5>,
     get<uint16_t, ctl_get_table11_value_5>, 0xABCD, 0xABCD, {11, 5, {0xCD, 0xAB}},
     Refusal::None, 0, kDStrict},
};

int32_t family_of(uint8_t index) {
    for (const MachineController& m : kMachineControllers)
        if (m.index == index) return m.family;
    return 0;
}

class Settings : public ::testing::TestWithParam<SettingCase> {};

TEST_P(Settings, KeptReadBackAndRefusedOutOfRange) {
    const SettingCase& c = GetParam();
    for (uint8_t index = 0; index <= 8; ++index) {
        const int32_t family = family_of(index);
        SCOPED_TRACE("controller " + std::to_string(index) + " of family " +
                     std::to_string(family));
        const ObjectId id = c.on_unit ? unit(index) : controller(index);
        const Outcome expected = c.families.of(family);
        if (expected != Outcome::Series) {
            ErrorRecord before = seed_last_error();
            expect_failure(expected, c.set(id, c.value), before);
            before = seed_last_error();
            uint64_t value = 77;
            expect_failure(expected, c.get(id, &value), before);
            continue;
        }
        bool unknown = false;
        for (int32_t f : c.unknown_to) unknown = unknown || f == family;
        if (unknown) {
            uint64_t value = 77;
            EXPECT_EQ(c.get(id, &value), -1);
            EXPECT_EQ(last_error().controller_status, 0x010C) << last_error().text;
            continue;
        }

        sim::clear_journal();
        ASSERT_EQ(c.set(id, c.value), 0) << last_error().text;
        EXPECT_EQ(last_write(), c.kept);
        uint64_t value = 0;
        ASSERT_EQ(c.get(id, &value), 0) << last_error().text;
        EXPECT_EQ(value, c.read_back);

        if (c.refusal == Refusal::None) continue;
        sim::clear_journal();
        EXPECT_EQ(c.set(id, c.out_of_range), -1);
        const ErrorRecord record = last_error();
        if (c.refusal == Refusal::Library) {
            EXPECT_EQ(record.flags, uint32_t(kErrApi));
            EXPECT_EQ(record.api_code, 122);
            EXPECT_TRUE(sim::journal().empty());
        } else {
            EXPECT_EQ(record.flags, uint32_t(kErrController | kErrSecondSeries));
            EXPECT_EQ(record.controller_status, 0x01D0) << record.text;
        }
        ASSERT_EQ(c.get(id, &value), 0);
        EXPECT_EQ(value, c.read_back) << "a refused value changed the setting";
    }
}

INSTANTIATE_TEST_SUITE_P(PublicFunctions, Settings, ::testing::ValuesIn(kSettings),
                         [](const auto& info) { return std::string(info.param.name); });

// Reads without a setter of their own, routed by family: drive details,
// phy facts and the unit's state.
struct ReadCase {
    const char* name;
    int (*read)(uint8_t index);
    FamilySets families;
};
PRINT_CASE_BY_NAME(ReadCase)

ObjectId drive0(uint8_t index) {
    ObjectId id;
    ctl_make_drive_id(index, 0, &id);
    return id;
}

ObjectId phy0(uint8_t index) {
    ObjectId id;
    ctl_make_phy_id(index, 0, &id);
    return id;
}

const ReadCase kReads[] = {
    {"drive_temperature",
     [](uint8_t i) { int32_t t; return ctl_get_drive_temperature(drive0(i), &t); }, kC},
    {"drive_wwn", [](uint8_t i) { uint8_t w[8]; return ctl_get_drive_wwn(drive0(i), w); }, kE},
    {"drive_link_speed",
     [](uint8_t i) { uint8_t v; return ctl_get_drive_link_speed(drive0(i), &v); }, kC},
    {"drive_queuing_enabled",
     [](uint8_t i) { uint8_t v; return ctl_get_drive_queuing_enabled(drive0(i), &v); }, kC},
    {"phy_device_type", [](uint8_t i) { uint8_t v; return ctl_get_phy_device_type(phy0(i), &v); },
     kC},
    {"phy_sas_address", [](uint8_t i) { uint8_t a[8]; return ctl_get_phy_sas_address(phy0(i), a); },
     kE},
    {"unit_serial_number",
     [](uint8_t i) { char serial[21]; return ctl_get_unit_serial_number(unit(i), serial); }, kB},
    {"unit_setting_32", [](uint8_t i) { uint8_t v; return ctl_get_unit_setting_32(unit(i), &v); },
     kDStrict},
    {"table7_flag", [](uint8_t i) { uint8_t v; return ctl_get_table7_flag(controller(i), &v); },
     kB},
    {"table11_flag_2",
     [](uint8_t i) { uint8_t v; return ctl_get_table11_flag_2(controller(i), &v); }, kDStrict},
    {"controller_setting_62",
     [](uint8_t i) { uint8_t v[255]; return ctl_get_controller_setting_62(controller(i), v); }, kD},
};

class Reads : public ::testing::TestWithParam<ReadCase> {};

TEST_P(Reads, RoutedByFamily) {
    const ReadCase& c = GetParam();
    for (uint8_t index = 0; index <= 8; ++index) {
        const int32_t family = family_of(index);
        SCOPED_TRACE("controller " + std::to_string(index) + " of family " +
                     std::to_string(family));
        const Outcome expected = c.families.of(family);
        const ErrorRecord before = seed_last_error();
        const int result = c.read(index);
        if (expected == Outcome::Series) {
            EXPECT_EQ(result, 0) << last_error().text;
        } else {
            expect_failure(expected, result, before);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(PublicFunctions, Reads, ::testing::ValuesIn(kReads),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
