// The query and controller operations through the public functions, on a
// machine with one controller of every family.
#include <cstring>

#include "tests/api/family_machine.h"

namespace {

PYV2_LIBRARY_MACHINE(kFamilyMachine);

struct PublicCase {
    const char* name;
    int (*call)(ObjectId id);
    FamilySets sets;
};

const PublicCase kPublicCases[] = {
    {"ctl_get_controller_model (LA)",
     [](ObjectId id) { char text[64]; return ctl_get_controller_model(id, text); },
     {{3}, {4, 6, 7, 8, 9, 10}, {}, {}, false}},
    {"ctl_get_firmware_version (LA)",
     [](ObjectId id) { char text[32]; return ctl_get_firmware_version(id, text); },
     {{3}, {4, 6, 7, 8, 9, 10}, {}, {}, false}},
    {"ctl_get_number_of_ports (LB)",
     [](ObjectId id) { uint32_t n; return ctl_get_number_of_ports(id, &n); },
     {{3}, {4, 6, 7, 8, 10}, {}, {}, false}},
    {"ctl_get_verify_rate (LB)",
     [](ObjectId id) { int32_t rate; return ctl_get_verify_rate(id, &rate); },
     {{3}, {4, 6, 7, 8, 10}, {}, {}, false}},
    {"ctl_read_firmware_level (A)",
     [](ObjectId id) { uint32_t level; return ctl_read_firmware_level(id, &level); },
     {{}, {4, 6, 7, 8, 9, 10}, {}, {3}, false}},
    {"ctl_get_selftest_flags (B)",
     [](ObjectId id) { uint16_t flags; return ctl_get_selftest_flags(id, &flags); },
     {{}, {4, 6, 7, 8, 10}, {}, {3}, false}},
    {"ctl_get_controller_time (B)",
     [](ObjectId id) { uint32_t seconds; return ctl_get_controller_time(id, &seconds); },
     {{}, {4, 6, 7, 8, 10}, {}, {3}, false}},
    {"ctl_get_basic_verify_time (C)",
     [](ObjectId id) { uint16_t minutes; return ctl_get_basic_verify_time(id, &minutes); },
     {{}, {6, 7, 8, 10}, {}, {3, 4}, false}},
    {"ctl_get_rebuild_mode (D>36)",
     [](ObjectId id) { uint8_t mode; return ctl_get_rebuild_mode(id, &mode); },
     {{}, {7, 8, 10}, {}, {3, 4, 6}, false}},
    {"ctl_enable_controller_option_4 (L!)",
     [](ObjectId id) { return ctl_enable_controller_option_4(id); }, {{3}, {}, {}, {}, true}},
    {"ctl_get_unit_list (LB)",
     [](ObjectId id) { IdList units; return ctl_get_unit_list(id, &units); },
     {{3}, {4, 6, 7, 8, 10}, {}, {}, false}},
    {"ctl_get_drive_status_list (B, by the list's first entry)",
     [](ObjectId id) {
         IdList drives;
         std::memset(&drives, 0xFF, sizeof drives);
         drives.ids[0] = id;
         drives.ids[0].b[0] = kKindDrive;
         drives.ids[0].b[2] = 0;
         drives.count = 1;
         uint8_t status;
         return ctl_get_drive_status_list(&status, 1, drives);
     },
     {{}, {4, 6, 7, 8, 10}, {}, {3}, false}},
    {"ctl_get_drive_flags (C)",
     [](ObjectId id) {
         uint8_t flags;
         id.b[0] = kKindDrive;
         id.b[2] = 0;
         return ctl_get_drive_flags(id, &flags);
     },
     {{}, {6, 7, 8, 10}, {}, {3, 4}, false}},
};

TEST(QueryOperations, PublicFunctionsAreRoutedByFamily) {
    set_firmware_level({1, 2, 3, 4, 5, 6, 7}, 37);
    for (const PublicCase& c : kPublicCases) {
        for (const MachineController& m : kMachineControllers) {
            SCOPED_TRACE(std::string(c.name) + " on controller " + std::to_string(m.index));
            const ErrorRecord before = seed_last_error();
            const int result = c.call(controller(m.index));
            const Outcome expected = c.sets.of(m.family);
            if (expected == Outcome::Series || expected == Outcome::Legacy) {
                EXPECT_EQ(result, 0) << last_error().text;
                EXPECT_TRUE(same_record(before, last_error()));
            } else {
                expect_failure(expected, result, before);
            }
        }
    }
}

TEST(QueryOperations, IdentityReachesTheControllersOwnValues) {
    for (const MachineController& m : kMachineControllers) {
        if (m.family < 3) continue;
        SCOPED_TRACE(m.model);
        char model[64];
        ASSERT_EQ(ctl_get_controller_model(controller(m.index), model), 0);
        EXPECT_STREQ(model, m.model);
        if (m.family == 9) continue;  // counts are unrouted on family 9
        uint32_t ports = 0;
        ASSERT_EQ(ctl_get_number_of_ports(controller(m.index), &ports), 0);
        EXPECT_EQ(ports, m.ports);
        uint32_t alias = 0;
        ASSERT_EQ(ctl_get_port_count(controller(m.index), &alias), 0);
        EXPECT_EQ(alias, m.ports);
    }
}

// A first-series controller has one background task rate.
TEST(QueryOperations, FirstSeriesRebuildAndVerifyRateAreOne) {
    for (int second : {35, 15}) {
        change_machine("param index=0 table=0x405 id=4 value=u8:" + std::to_string(second) + "\n");
        int32_t rebuild = 0, verify = 0;
        ASSERT_EQ(ctl_get_rebuild_rate(controller(0), &rebuild), 0);
        ASSERT_EQ(ctl_get_verify_rate(controller(0), &verify), 0);
        EXPECT_EQ(rebuild, second == 35 ? 4 : 1);
        EXPECT_EQ(verify, rebuild);
    }
}

TEST(QueryOperations, ControllerFamilyIsWrittenForKnownFamiliesOnly) {
    for (const MachineController& m : kMachineControllers) {
        SCOPED_TRACE(int(m.index));
        const ErrorRecord before = seed_last_error();
        int32_t family = 12345;
        const int result = ctl_get_controller_family(controller(m.index), &family);
        if (m.family >= 3) {
            EXPECT_EQ(result, 0);
            EXPECT_EQ(family, m.family);
        } else {
            EXPECT_EQ(result, -1);
            EXPECT_EQ(family, 12345);
            EXPECT_TRUE(same_record(before, last_error()));
        }
    }
}

// ctl_get_firmware_level tells whether verifies are scheduled the newer
// way: 1 above level 35 on families 6, 7, 8 and 10, 0 everywhere else.
TEST(QueryOperations, VerifyScheduleModeFollowsTheFirmwareLevel) {
    struct Case {
        uint8_t index;
        uint32_t level;
        uint32_t expected;
        size_t requests;
    };
    const Case cases[] = {
        {3, 35, 0, 1}, {3, 36, 1, 1}, {2, 36, 1, 1}, {6, 40, 1, 1},
        {0, 40, 0, 0}, {1, 40, 0, 0}, {5, 40, 0, 0}, {7, 40, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.index) + " at level " + std::to_string(c.level));
        if (c.index != 0) set_firmware_level({c.index}, c.level);
        sim::clear_journal();
        uint32_t mode = 77;
        EXPECT_EQ(ctl_get_firmware_level(controller(c.index), &mode), 0);
        EXPECT_EQ(mode, c.expected);
        EXPECT_EQ(driver_requests(), c.requests);
    }
    change_machine("fault index=3 opcode=0x52 firmware-code=0x010C\n");
    uint32_t mode = 77;
    EXPECT_EQ(ctl_get_firmware_level(controller(3), &mode), -1);
    EXPECT_EQ(mode, 77u);
}

TEST(QueryOperations, FeatureTestsCompareTheFirmwareLevel) {
    struct Case {
        int (*test)(ObjectId, int32_t*);
        uint32_t level;
        int32_t expected;
    };
    const Case cases[] = {
        {ctl_supports_recovery_policy, 35, 0},      {ctl_supports_recovery_policy, 36, 1},
        {ctl_supports_level_36_feature_b, 36, 1},   {ctl_supports_level_36_feature_c, 35, 0},
        {ctl_supports_extended_device_info, 36, 1}, {ctl_supports_read_cache, 36, 0},
        {ctl_supports_read_cache, 37, 1},           {ctl_supports_task_mode, 36, 0},
        {ctl_supports_task_mode, 37, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        set_firmware_level({4}, c.level);
        int32_t supported = -5;
        EXPECT_EQ(c.test(controller(4), &supported), 0);
        EXPECT_EQ(supported, c.expected);
    }
    int32_t supported = -5;
    EXPECT_EQ(ctl_supports_read_cache(controller(0), &supported), -1);
    EXPECT_EQ(last_error().api_code, 2);
    EXPECT_EQ(supported, -5);
}

TEST(QueryOperations, GatedQueryReadsTheLevelOnceMore) {
    set_firmware_level({4}, 36);
    sim::clear_journal();
    uint8_t mode = 9;
    EXPECT_EQ(ctl_get_rebuild_mode(controller(4), &mode), -1);
    EXPECT_EQ(last_error().api_code, 2);
    EXPECT_EQ(driver_requests(), 1u);
    EXPECT_EQ(mode, 9);

    set_firmware_level({4}, 37);
    change_machine("param index=4 table=0x40C id=13 value=u8:2\n");
    sim::clear_journal();
    EXPECT_EQ(ctl_get_rebuild_mode(controller(4), &mode), 0);
    EXPECT_EQ(mode, 1);  // any low-latency value reads as 1
    EXPECT_EQ(driver_requests(), 2u);
}

TEST(QueryOperations, AlwaysZeroFlagNeedsNoController) {
    for (const MachineController& m : kMachineControllers) {
        SCOPED_TRACE(int(m.index));
        const ErrorRecord before = seed_last_error();
        sim::clear_journal();
        uint8_t flag = 5;
        const int result = ctl_get_flag_always_zero(controller(m.index), 1234, &flag);
        EXPECT_EQ(driver_requests(), 0u);
        if (m.family == 3) {
            expect_failure(Outcome::Refused, result, before);
        } else if (m.family >= 4 && m.family != 9) {
            EXPECT_EQ(result, 0);
            EXPECT_EQ(flag, 0);
        } else {
            expect_failure(Outcome::Unrouted, result, before);
            EXPECT_EQ(flag, 5);
        }
    }
}

TEST(QueryOperations, ControllerTimeAcceptsOneToOneHundred) {
    for (uint32_t seconds : {0u, 101u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(seconds);
        sim::clear_journal();
        EXPECT_EQ(ctl_set_controller_time(controller(4), seconds), -1);
        EXPECT_EQ(last_error().api_code, 122);
        EXPECT_EQ(driver_requests(), 0u);
    }
    for (uint32_t seconds : {1u, 100u}) {
        SCOPED_TRACE(seconds);
        EXPECT_EQ(ctl_set_controller_time(controller(4), seconds), 0) << last_error().text;
        uint32_t read = 0;
        ASSERT_EQ(ctl_get_controller_time(controller(4), &read), 0);
        EXPECT_GE(read, seconds);
        EXPECT_LT(read, seconds + 5);
    }
}

// A 16-bit input is taken as int; a value beyond 16 bits is refused, never
// cut to the slot its low bits name.
TEST(QueryOperations, SixteenBitInputsBeyondTheirWidthAreRefused) {
    change_machine("param index=4 table=0x413 id=3 value=u32:0x00780154\n");
    uint16_t start = 0, duration = 0;
    sim::clear_journal();
    EXPECT_EQ(ctl_get_rebuild_task(controller(4), 0x10003, &start, &duration), -1);
    EXPECT_EQ(last_error().api_code, 122);
    EXPECT_EQ(driver_requests(), 0u);
    EXPECT_EQ(start, 0);
    ASSERT_EQ(ctl_get_rebuild_task(controller(4), 3, &start, &duration), 0);
    EXPECT_EQ(start, 0x154);
    EXPECT_EQ(duration, 0x78);
}

TEST(QueryOperations, ListControllersFillsTheListInIndexOrder) {
    ControllerIdList list;
    std::memset(&list, 0, sizeof list);
    ASSERT_EQ(ctl_list_controllers(&list), 0);
    ASSERT_EQ(list.count, 8u);
    for (uint32_t i = 0; i < list.count; ++i) {
        EXPECT_EQ(list.ids[i].b[0], kKindController);
        EXPECT_EQ(list.ids[i].b[1], i);
    }
    for (uint32_t i = list.count; i < 255; ++i)
        for (uint8_t byte : list.ids[i].b) ASSERT_EQ(byte, 0xFF) << "entry " << i;
}

}  // namespace
