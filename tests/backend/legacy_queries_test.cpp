// What a first-series controller tells of its identity, units and drives,
// read through the back end from the simulated firmware.
#include <cstring>

#include "tests/backend/legacy_machine.h"
#include "tests/support/files.h"

namespace {

class LegacyQueries : public ::testing::Test {
  protected:
    void SetUp() override { use_machine(kLegacyMachine); }
};

std::vector<int> ports_of(const IdList& list) {
    std::vector<int> ports;
    for (uint32_t i = 0; i < list.count; ++i) ports.push_back(list.ids[i].b[2]);
    return ports;
}

// --- Units, by their path.

struct UnitCase {
    const char* name;
    uint8_t unit, sub, drive;
    int32_t type;
    uint64_t capacity;
    uint8_t status, flags;
    int32_t stripe;
    int32_t subunits;
    std::vector<int> drives;
    int32_t percent;  // -1: the unit has no progress (API error 17)
};
PRINT_CASE_BY_NAME(UnitCase)

// The RAID 5 and RAID 10 over drives of 1,000,000 sectors: each drive gives
// 997,952; two data drives make 1,995,904, rounded down to 2 x 128 KiB
// stripes: 1,995,776, so each member holds 997,888.
const UnitCase kUnits[] = {
    {"raid5_verifying", 3, 0xFF, 0xFF, 5, 1995776, 251, 0x7B, 64, 3, {7, 8, 9}, 25},
    {"raid5_member", 3, 1, 0xFF, 12, 997888, 255, 0x7F, -1, 0, {8}, -1},
    {"raid10_degraded", 1, 0xFF, 0xFF, 6, 1995776, 239, 0x6F, 64, 2, {2, 3, 4, 5}, 0},
    {"raid10_whole_mirror", 1, 0, 0xFF, 2, 997952, 255, 0x7F, -1, 2, {2, 3}, 0},
    {"raid10_degraded_mirror", 1, 1, 0xFF, 2, 997952, 239, 0x6F, -1, 2, {4, 5}, 0},
    {"raid10_failed_drive", 1, 1, 0, 12, 997888, 239, 0x6F, -1, 0, {4}, -1},
    {"raid10_good_drive", 1, 1, 1, 12, 997888, 255, 0x7F, -1, 0, {5}, -1},
    {"single_disk_hidden", 2, 0xFF, 0xFF, 12, 1000000, 255, 0x7E, -1, 0, {10}, -1},
    {"jbod", 4, 0xFF, 0xFF, 15, 1000000, 255, 0x7F, -1, 0, {12}, -1},
    {"spare", 5, 0xFF, 0xFF, 13, 1000000, 255, 0x7E, -1, 0, {11}, -1},
    {"raid0_small_stripes", 6, 0xFF, 0xFF, 0, 1995904, 255, 0x7F, 16, 2, {14, 15}, -1},
};

class Units : public LegacyQueries, public ::testing::WithParamInterface<UnitCase> {};

TEST_P(Units, AnswersOfTheConfiguration) {
    const UnitCase& c = GetParam();
    const ObjectId unit = legacy_unit(c.unit, c.sub, c.drive);
    int32_t type = -5, percent = -5;
    uint32_t stripe = 5, subunits = 5;
    uint64_t capacity = 0;
    uint8_t status = 0, flags = 0;
    IdList drives;
    ASSERT_EQ(legacy().get_unit_type(unit, &type), 0) << last_error().text;
    EXPECT_EQ(type, c.type);
    ASSERT_EQ(legacy().get_unit_capacity(unit, &capacity), 0);
    EXPECT_EQ(capacity, c.capacity);
    ASSERT_EQ(legacy().get_unit_status(unit, &status), 0);
    EXPECT_EQ(status, c.status);
    ASSERT_EQ(legacy().get_unit_flags(unit, &flags), 0);
    EXPECT_EQ(flags, c.flags);
    ASSERT_EQ(legacy().get_stripe_size(unit, &stripe), 0);
    EXPECT_EQ(stripe, uint32_t(c.stripe));
    ASSERT_EQ(legacy().get_subunit_count(unit, &subunits), 0);
    EXPECT_EQ(subunits, uint32_t(c.subunits));
    ASSERT_EQ(legacy().get_unit_drive_list(unit, &drives), 0);
    EXPECT_EQ(ports_of(drives), c.drives);
    if (c.percent >= 0) {
        ASSERT_EQ(legacy().get_percent_complete(unit, &percent), 0);
        EXPECT_EQ(percent, c.percent);
    } else {
        EXPECT_EQ(legacy().get_percent_complete(unit, &percent), -1);
        EXPECT_EQ(last_error().api_code, 17);
    }
}

INSTANTIATE_TEST_SUITE_P(Configurations, Units, ::testing::ValuesIn(kUnits),
                         [](const auto& info) { return std::string(info.param.name); });

// Paths that name no record of the descriptor, and a unit that is not
// there.
struct PathCase {
    const char* name;
    uint8_t unit, sub, drive;
    int32_t type_error;
    int32_t status_error;  // 0: the status reads
};
PRINT_CASE_BY_NAME(PathCase)

const PathCase kPaths[] = {
    {"member_beyond_the_count", 3, 3, 0xFF, 13, 0},
    {"member_beyond_any_mask_bit", 3, 20, 0xFF, 13, 16},
    {"drive_of_a_raid5_member", 3, 0, 0, 13, 43},
    {"mirror_beyond_the_count", 1, 2, 0xFF, 13, 0},
    {"drive_beyond_the_mirror", 1, 0, 2, 13, 0},
    {"drive_of_a_mirror_beyond_any_mask_bit", 1, 9, 1, 13, 16},
    {"member_of_a_single_disk", 2, 0, 0xFF, 13, 16},
    {"no_such_unit", 9, 0xFF, 0xFF, 9, 0},
};

class Paths : public LegacyQueries, public ::testing::WithParamInterface<PathCase> {};

TEST_P(Paths, RefusedWithoutReadingPastTheDescriptor) {
    const PathCase& c = GetParam();
    const ObjectId unit = legacy_unit(c.unit, c.sub, c.drive);
    int32_t type = -5;
    EXPECT_EQ(legacy().get_unit_type(unit, &type), -1);
    EXPECT_EQ(last_error().api_code, c.type_error);
    EXPECT_EQ(type, -5);
    uint8_t status = 0x5A;
    EXPECT_EQ(legacy().get_unit_status(unit, &status), c.status_error == 0 ? 0 : -1);
    if (c.status_error != 0) {
        EXPECT_EQ(last_error().api_code, c.status_error);
    }
}

INSTANTIATE_TEST_SUITE_P(Walk, Paths, ::testing::ValuesIn(kPaths),
                         [](const auto& info) { return std::string(info.param.name); });

// The stored length of the descriptor is its length plus 3, read in 16 bits.
TEST_F(LegacyQueries, DescriptorLengthsOutsideTheDescriptor) {
    for (const char* stored : {"0", "1", "2", "516", "0xFFFF"}) {
        SCOPED_TRACE(stored);
        change_machine(std::string("param index=1 table=0x302 id=5 value=u16:") + stored + "\n");
        uint8_t descriptor[512];
        EXPECT_EQ(legacy().get_unit_descriptor(legacy_unit(2), descriptor), -1);
        EXPECT_EQ(last_error().api_code, 13);
    }
    change_machine("param index=1 table=0x302 id=5 value=u16:515\n");
    uint8_t descriptor[512];
    EXPECT_EQ(legacy().get_unit_descriptor(legacy_unit(2), descriptor), 0);
    EXPECT_EQ(load32(commands(0x52).back().sent.data()), 512u + 4);
}

// A RAID 10 descriptor of nine mirrors: the ninth mirror is a record of
// the descriptor, but the progress list holds eight values.
TEST_F(LegacyQueries, ProgressOfAMirrorBeyondTheProgressList) {
    std::string hex = "090607";
    hex += std::string(2 * 21, '0');
    for (int m = 0; m < 9; ++m) hex += "0202" + std::string(2 * 34, '0');
    change_machine(
        "param index=1 table=0x301 id=5 value=u16:351\n"
        "param index=1 table=0x301 id=6 value=hex:" +
        hex + "\n");
    int32_t type = 0, percent = -5;
    ASSERT_EQ(legacy().get_unit_type(legacy_unit(1, 8), &type), 0) << last_error().text;
    EXPECT_EQ(type, 2);
    EXPECT_EQ(legacy().get_percent_complete(legacy_unit(1, 8), &percent), -1);
    EXPECT_EQ(last_error().api_code, 17);
    EXPECT_EQ(percent, -5);
    ASSERT_EQ(legacy().get_percent_complete(legacy_unit(1, 7), &percent), 0);
    EXPECT_EQ(percent, 0);
}

// The raw status byte of each unit number, mapped by its range; the
// flags are the byte without its top bit.
TEST_F(LegacyQueries, StatusCodeOfEachRawByteRange) {
    const uint8_t raw[16] = {0,   1,   219, 220, 223, 224, 235, 236,
                             239, 240, 243, 244, 247, 249, 252, 255};
    const uint8_t code[16] = {0,   17, 17, 223, 223, 17,  17,  239,
                              239, 17, 17, 247, 247, 251, 255, 255};
    std::string hex;
    for (uint8_t b : raw) hex += test_support::hex(std::string(1, char(b)));
    change_machine("param index=1 table=3 id=3 value=hex:" + hex + "\n");
    for (uint8_t number = 0; number < 16; ++number) {
        SCOPED_TRACE(int(raw[number]));
        uint8_t status = 0x5A, flags = 0x5A;
        ASSERT_EQ(legacy().get_unit_status(legacy_unit(number), &status), 0);
        EXPECT_EQ(status, code[number]);
        ASSERT_EQ(legacy().get_unit_flags(legacy_unit(number), &flags), 0);
        EXPECT_EQ(flags, raw[number] & 0x7F);
    }
}

TEST_F(LegacyQueries, UnitListAndCounts) {
    IdList units;
    ASSERT_EQ(legacy().get_unit_list(controller_id(kLegacyIndex), &units), 0);
    ASSERT_EQ(units.count, 6u);
    const uint8_t expected[] = {1, 2, 3, 4, 5, 6};
    for (uint32_t i = 0; i < units.count; ++i) {
        EXPECT_EQ(units.ids[i].b[4], expected[i]);
        EXPECT_EQ(units.ids[i].b[3], 1);
    }
    for (uint32_t i = units.count; i < 128; ++i) ASSERT_EQ(units.ids[i].b[0], 0xFF);
    uint32_t count = 0;
    ASSERT_EQ(legacy().get_unit_count(controller_id(kLegacyIndex), &count), 0);
    EXPECT_EQ(count, 6u);
    ASSERT_EQ(legacy().get_drive_count(controller_id(kLegacyIndex), &count), 0);
    EXPECT_EQ(count, 15u);
}

TEST_F(LegacyQueries, WriteCacheOfUnitsThatHaveOne) {
    uint8_t cache = 9;
    ASSERT_EQ(legacy().get_write_cache(legacy_unit(3), &cache), 0);
    EXPECT_EQ(cache, 1);
    ASSERT_EQ(legacy().disable_write_cache(legacy_unit(3)), 0);
    ASSERT_EQ(legacy().get_write_cache(legacy_unit(3), &cache), 0);
    EXPECT_EQ(cache, 0);
    for (uint8_t unit : {2, 5}) {
        EXPECT_EQ(legacy().get_write_cache(legacy_unit(unit), &cache), -1);
        EXPECT_EQ(last_error().api_code, 42);
        EXPECT_EQ(legacy().flush_write_cache(legacy_unit(unit)), -1);
        EXPECT_EQ(last_error().api_code, 42);
    }
}

// --- Drives.

struct DriveCase {
    const char* name;
    uint8_t port;
    uint8_t status;
    ObjectId unit;  // what get_drive_unit answers
};
PRINT_CASE_BY_NAME(DriveCase)

const ObjectId kFree = {{2, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};

const DriveCase kDrives[] = {
    {"free", 0, 0xFF, kFree},
    {"member_of_a_raid5", 8, 0xFF, {{2, 1, 0xFF, 2, 3, 1, 0xFF, 0xFF}}},
    {"failed_drive_of_a_mirror", 4, 0xEC, {{2, 1, 0xFF, 3, 1, 1, 0, 0xFF}}},
    {"single_disk", 10, 0xFF, {{2, 1, 0xFF, 1, 2, 0xFF, 0xFF, 0xFF}}},
    {"jbod", 12, 0xFF, {{2, 1, 0xFF, 1, 4, 0xFF, 0xFF, 0xFF}}},
};

class Drives : public LegacyQueries, public ::testing::WithParamInterface<DriveCase> {};

TEST_P(Drives, StatusAndOwner) {
    const DriveCase& c = GetParam();
    uint8_t status = 0;
    ASSERT_EQ(legacy().get_drive_status(legacy_drive(c.port), &status), 0);
    EXPECT_EQ(status, c.status);
    ObjectId unit;
    std::memset(&unit, 0x11, sizeof unit);
    ASSERT_EQ(legacy().get_drive_unit(legacy_drive(c.port), &unit), 0);
    EXPECT_EQ(std::memcmp(&unit, &c.unit, sizeof unit), 0);
}

INSTANTIATE_TEST_SUITE_P(Ports, Drives, ::testing::ValuesIn(kDrives),
                         [](const auto& info) { return std::string(info.param.name); });

// Ports outside the 16 of the status list read as empty; port 0xFF is no
// port at all and asks nothing.
TEST_F(LegacyQueries, DriveStatusOutsideTheList) {
    for (uint8_t port : {13, 20, 127, 200, 254}) {
        SCOPED_TRACE(int(port));
        uint8_t status = 0x5A;
        ASSERT_EQ(legacy().get_drive_status(legacy_drive(port), &status), 0);
        EXPECT_EQ(status, 0);
    }
    sim::clear_journal();
    uint8_t status = 0x5A;
    ASSERT_EQ(legacy().get_drive_status(legacy_drive(0xFF), &status), 0);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(sim::journal().empty());
    ObjectId unit;
    EXPECT_EQ(legacy().get_drive_unit(legacy_drive(13), &unit), -1);
    EXPECT_EQ(last_error().api_code, 62);
}

TEST_F(LegacyQueries, DriveAndPortLists) {
    IdList drives, ports;
    ASSERT_EQ(legacy().get_drive_list(controller_id(kLegacyIndex), &drives), 0);
    EXPECT_EQ(ports_of(drives),
              (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 15}));
    change_machine("set index=1 ports=12\n");
    ASSERT_EQ(legacy().get_port_list(controller_id(kLegacyIndex), &ports), 0);
    EXPECT_EQ(ports_of(ports), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
}

TEST_F(LegacyQueries, DriveDetails) {
    char model[64], serial[32], firmware[32];
    std::memset(model, 0x5A, sizeof model);
    uint64_t capacity = 0;
    ASSERT_EQ(legacy().get_drive_model(legacy_drive(0), model), 0);
    ASSERT_EQ(legacy().get_drive_serial_number(legacy_drive(0), serial), 0);
    ASSERT_EQ(legacy().get_drive_firmware_version(legacy_drive(0), firmware), 0);
    ASSERT_EQ(legacy().get_drive_capacity(legacy_drive(1), &capacity), 0);
    EXPECT_STREQ(model, "SIMDISK S250");
    EXPECT_EQ(model[63], 0);
    EXPECT_STREQ(serial, "S250-0001");
    EXPECT_STREQ(firmware, "08.02D08");
    EXPECT_EQ(capacity, 900000u);
}

// --- Identity and the task rate.

TEST_F(LegacyQueries, IdentityTexts) {
    change_machine(
        "set index=1 firmware=\"  FE7X 1.05 \" bios=\"BE7X\" boot=\"BL7X\" "
        "info-a=\"A5\" info-b=\"B6\" info-c=\"C7\" memory=2\n");
    struct Text {
        int (LegacyBackend::*read)(ObjectId, char*) const;
        const char* expected;
    };
    const Text texts[] = {
        {&LegacyBackend::get_controller_model, "QX-2400-16"},
        {&LegacyBackend::get_serial_number, "L1A0000001"},
        {&LegacyBackend::get_firmware_version, "FE7X 1.05"},
        {&LegacyBackend::get_bios_version, "BE7X"},
        {&LegacyBackend::get_boot_loader_version, "BL7X"},
        {&LegacyBackend::get_version_string_5, "A5"},
        {&LegacyBackend::get_version_string_6, "B6"},
        {&LegacyBackend::get_version_string_7, "C7"},
    };
    for (const Text& t : texts) {
        char out[64];
        std::memset(out, 0x5A, sizeof out);
        ASSERT_EQ((legacy().*t.read)(controller_id(kLegacyIndex), out), 0);
        EXPECT_STREQ(out, t.expected);
        EXPECT_EQ(out[31], 0);
    }
    uint32_t memory = 0, ports = 0;
    ASSERT_EQ(legacy().get_memory_size(controller_id(kLegacyIndex), &memory), 0);
    EXPECT_EQ(memory, 2u);
    ASSERT_EQ(legacy().get_number_of_ports(controller_id(kLegacyIndex), &ports), 0);
    EXPECT_EQ(ports, 16u);
}

TEST_F(LegacyQueries, TaskRateFromItsSecondByte) {
    const struct {
        int second;
        int32_t rate;
    } cases[] = {{15, 1}, {17, 2}, {25, 3}, {35, 4}, {40, 5}, {16, -1}, {0, -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.second);
        change_machine("param index=1 table=0x405 id=4 value=u8:" + std::to_string(c.second) +
                       "\n");
        int32_t rate = 0;
        ASSERT_EQ(legacy().get_task_rate(controller_id(kLegacyIndex), &rate), 0);
        EXPECT_EQ(rate, c.rate);
    }
}

// The rebuild and the verify rate are the one task rate, kept as a pair of
// bytes.
TEST_F(LegacyQueries, SetTaskRateWritesItsPair) {
    const ObjectId controller = controller_id(kLegacyIndex);
    for (int32_t rate : {0, 6, -1}) {
        EXPECT_EQ(ctl_set_rebuild_rate(controller, &rate), -1);
        EXPECT_EQ(last_error().api_code, 45);
    }
    EXPECT_TRUE(commands(0x53).empty());
    int32_t rate = 3;
    ASSERT_EQ(ctl_set_rebuild_rate(controller, &rate), 0);
    const std::vector<sim::JournalEntry> sets = commands(0x53);
    ASSERT_EQ(sets.size(), 2u);
    const std::vector<uint8_t> packet = bytes_of({0x53, 4, 0, 0, 0, 0, 1, 0}, 512);
    EXPECT_EQ(first_difference(sets[0].sent, legacy_request(packet, {0x05, 0x04, 3, 1, 16})), -1);
    EXPECT_EQ(first_difference(sets[1].sent, legacy_request(packet, {0x05, 0x04, 4, 1, 25})), -1);
    int32_t read = 0;
    ASSERT_EQ(ctl_get_verify_rate(controller, &read), 0);
    EXPECT_EQ(read, 3);
    rate = 5;
    ASSERT_EQ(ctl_set_verify_rate(controller, &rate), 0);
    ASSERT_EQ(ctl_get_rebuild_rate(controller, &read), 0);
    EXPECT_EQ(read, 5);
}

}  // namespace
