// A unit's ECC policy, initialised flag and task flag, and the controller's
// counts of configured drives and connections, through the public functions
// on a simulated controller with units of every kind and state.
#include <cstring>
#include <string>
#include <vector>

#include "backend/backends.h"
#include "tests/api/library_machine.h"
#include "tests/support/files.h"
#include "tests/support/param_names.h"

namespace {

constexpr uint8_t kCtl = 0;    // family 8
constexpr uint8_t kFirst = 1;  // family 3

PYV2_LIBRARY_MACHINE(
    "clock mode=virtual\n"
    "driver name=dq-Mxxx pairing=sysfs\n"
    "driver name=dq-xxxx pairing=proc\n"
    "controller index=0 driver=dq-Mxxx arch=8 ports=64\n"
    "  drive port=0\n  drive port=1\n  drive port=2\n  drive port=3\n  drive port=4\n"
    "  drive port=5\n  drive port=6\n  drive port=7\n  drive port=8\n  drive port=9\n"
    "  drive port=10\n  drive port=11\n  drive port=12\n  drive port=13\n  drive port=14\n"
    "  drive port=15\n  drive port=16\n  drive port=17\n  drive port=18\n  drive port=19\n"
    "  drive port=20\n  drive port=21\n  drive port=22\n  drive port=23\n  drive port=24\n"
    "  drive port=25\n  drive port=26\n  drive port=27\n  drive port=28\n  drive port=29\n"
    "  drive port=30\n  drive port=31\n  drive port=32\n  drive port=33\n  drive port=34\n"
    "  drive port=35 connections=2\n  drive port=36 connections=2\n"
    "  drive port=37 connections=3\n  drive port=40 status=2 connections=5\n"
    "  drive port=41\n  drive port=42\n  drive port=43\n  drive port=44\n  drive port=45\n"
    "  drive port=46\n"
    "  unit number=0 type=single drives=0\n"
    "  unit number=1 type=spare drives=1\n"
    "  unit number=2 type=raid0 drives=2,3\n"
    "  unit number=3 type=raid1 drives=4,5\n"
    "  unit number=4 type=raid5 drives=6,7,8 status=initializing progress=512\n"
    "  unit number=5 type=raid5 drives=9,10,11 status=verifying progress=100 paused=1\n"
    "  unit number=6 type=raid10 drives=12,13/14,15/16,17 initialized=1,0,1\n"
    "  unit number=7 type=raid50 drives=18,19,20,21,22,23 group=3\n"
    "  unit number=8 type=raid10 drives=24,25,26,27 status=ok,rebuilding progress=0,300\n"
    "  unit number=9 type=raid6 drives=28,29,30,31,32 status=rebuilding member=3 "
    "progress=700 task-status=rebuilding task-member=1 task-progress=200\n"
    "  unit number=10 type=raid5 drives=33,34,35 from=raid1 from-drives=33,34 progress=300\n"
    "  unit number=11 type=disk drives=36\n"
    "  unit number=12 type=raid50 drives=41,42,43,44,45,46 group=3\n"  // its records replaced
    "controller index=1 driver=dq-xxxx ports=4\n"
    "  drive port=0\n  drive port=1\n"
    "  unit number=0 type=raid1 drives=0,1\n");

ObjectId unit(uint8_t number, uint8_t member = 0xFF, uint8_t member2 = 0xFF, uint8_t ctl = kCtl) {
    ObjectId id;
    ctl_make_unit_id(ctl, 0xFF, number, member, member2, &id);
    return id;
}

ObjectId task(uint8_t number, uint8_t index) {
    ObjectId id = unit(number);
    id.b[0] = kKindTaskRecord;
    id.b[2] = index;
    return id;
}

// The unit parameter that a public function wrote: table, id, value.
struct UnitWrite {
    uint16_t table = 0, parameter = 0;
    std::vector<uint8_t> value;
    bool operator==(const UnitWrite&) const = default;
};

std::vector<UnitWrite> writes() {
    std::vector<UnitWrite> found;
    for (const sim::JournalEntry& e : sim::journal()) {
        if (e.request != 264 || e.sent.size() < 1544 || e.sent[512 + 128] != 0x53) continue;
        const uint8_t* block = e.sent.data() + 1536;
        found.push_back({uint16_t((block[0] | block[1] << 8) & 0x7FFF),
                         uint16_t(block[2] | block[3] << 8),
                         std::vector<uint8_t>(block + 8, e.sent.data() + e.sent.size())});
    }
    return found;
}

// Expected answer of a flag: 0 or 1, or the API error recorded.
struct FlagCase {
    const char* name;
    ObjectId id;
    int expected;  // 0 or 1, else the API error
};
PRINT_CASE_BY_NAME(FlagCase)

void expect_flag(int (*read)(ObjectId, uint8_t*), const FlagCase& c) {
    uint8_t value = 0x77;
    const int result = read(c.id, &value);
    if (c.expected <= 1) {
        ASSERT_EQ(result, 0) << last_error().text;
        EXPECT_EQ(value, c.expected);
    } else {
        EXPECT_EQ(result, -1);
        EXPECT_EQ(last_error().api_code, c.expected) << last_error().text;
        EXPECT_EQ(value, 0x77);
    }
}

// Units with redundancy, and migrating units, keep the policy; the others
// are refused before anything is written.
TEST(EccPolicy, KeptByUnitsWithRedundancyOnly) {
    struct Case {
        uint8_t number;
        bool kept;
    };
    for (const Case& c :
         {Case{0, false}, Case{1, false}, Case{2, false}, Case{3, true}, Case{4, true},
          Case{6, true}, Case{7, true}, Case{9, true}, Case{10, true}, Case{11, false}}) {
        SCOPED_TRACE(int(c.number));
        const uint16_t table = uint16_t(0x300 + c.number);
        sim::clear_journal();
        if (!c.kept) {
            uint8_t value = 0x77;
            EXPECT_EQ(ctl_continue_on_ecc_error(unit(c.number)), -1);
            EXPECT_EQ(last_error().api_code, 82);
            EXPECT_EQ(ctl_get_ecc_on_rebuild(unit(c.number), &value), -1);
            EXPECT_EQ(last_error().api_code, 82);
            EXPECT_EQ(value, 0x77);
            EXPECT_TRUE(writes().empty());
            continue;
        }
        ASSERT_EQ(ctl_continue_on_ecc_error(unit(c.number)), 0) << last_error().text;
        uint8_t value = 0;
        ASSERT_EQ(ctl_get_ecc_on_rebuild(unit(c.number), &value), 0);
        EXPECT_EQ(value, 1);
        ASSERT_EQ(ctl_halt_on_ecc_error(unit(c.number)), 0);
        ASSERT_EQ(ctl_get_ecc_on_rebuild(unit(c.number), &value), 0);
        EXPECT_EQ(value, 0);
        EXPECT_EQ(writes(), (std::vector<UnitWrite>{{table, 15, {1}}, {table, 15, {0}}}));
    }
    // A unit the controller lacks, and the first series.
    uint8_t value;
    EXPECT_EQ(ctl_get_ecc_on_rebuild(unit(30), &value), -1);
    EXPECT_EQ(last_error().api_code, 63);
    EXPECT_EQ(ctl_continue_on_ecc_error(unit(0, 0xFF, 0xFF, kFirst)), -1);
    EXPECT_EQ(last_error().api_code, 2);
}

// The plain unit settings on a unit the controller lacks: the firmware
// has no table for it.
TEST(EccPolicy, PlainUnitSettingsOfAMissingUnitAreRefusedByTheFirmware) {
    uint8_t value = 0x77;
    EXPECT_EQ(ctl_get_auto_verify(unit(30), &value), -1);
    EXPECT_EQ(last_error().controller_status, 0x010B) << last_error().text;
    sim::clear_journal();
    EXPECT_EQ(ctl_enable_auto_verify(unit(30)), -1);
    EXPECT_EQ(last_error().controller_status, 0x010B);
    uint8_t kept = 0;
    ASSERT_EQ(ctl_get_auto_verify(unit(0), &kept), 0);
}

class Initialized : public ::testing::TestWithParam<FlagCase> {};

TEST_P(Initialized, FromTheUnitsRecordOrEverySubUnit) {
    expect_flag(ctl_get_unit_initialized, GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Units, Initialized,
    ::testing::Values(FlagCase{"single", unit(0), 1}, FlagCase{"raid1", unit(3), 1},
                      FlagCase{"raid5_initializing", unit(4), 0},
                      // The second of three sub-units is not: 0, and the third
                      // is never asked.
                      FlagCase{"raid10_second_subunit_not", unit(6), 0},
                      FlagCase{"raid10_subunit_itself", unit(6, 2), 1},
                      FlagCase{"raid50_all", unit(7), 1}, FlagCase{"migrating", unit(10), 1},
                      FlagCase{"disk", unit(11), 77}, FlagCase{"member", unit(3, 0), 77},
                      FlagCase{"missing_unit", unit(30), 63}),
    [](const auto& info) { return std::string(info.param.name); });

class TaskInfo : public ::testing::TestWithParam<FlagCase> {};

TEST_P(TaskInfo, ActiveOrPaused) { expect_flag(ctl_get_unit_task_info, GetParam()); }

INSTANTIATE_TEST_SUITE_P(
    Units, TaskInfo,
    ::testing::Values(
        FlagCase{"initializing", unit(4), 1}, FlagCase{"verifying_paused", unit(5), 0},
        FlagCase{"no_task", unit(0), 0}, FlagCase{"raid50_no_subunit_busy", unit(7), 0},
        FlagCase{"raid10_second_subunit_rebuilding", unit(8), 1},
        FlagCase{"raid6_member_rebuilt_by_the_unit", unit(9, 3), 1},
        FlagCase{"raid6_member_rebuilt_by_a_task_record", unit(9, 1), 1},
        FlagCase{"raid6_member_not_rebuilding", unit(9, 0), 17},
        FlagCase{"raid1_member", unit(3, 0), 79}, FlagCase{"raid10_member", unit(8, 0, 0), 79},
        FlagCase{"disk_alone", unit(11), 79}, FlagCase{"task_record_0", task(9, 0), 1},
        FlagCase{"task_record_1", task(9, 1), 1},
        FlagCase{"task_record_of_a_missing_unit", task(30, 0), 63}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TaskInfo, PausedTasksOfSubUnitsAndTaskRecords) {
    change_machine(
        "unit index=0 number=8 paused=0,1\n"
        "unit index=0 number=9 paused=1\n");
    for (const FlagCase& c :
         {FlagCase{"raid10", unit(8), 0}, FlagCase{"raid6", unit(9), 0},
          FlagCase{"raid6_member", unit(9, 1), 0}, FlagCase{"task_record_1", task(9, 1), 0}}) {
        SCOPED_TRACE(c.name);
        expect_flag(ctl_get_unit_task_info, c);
    }
    change_machine(
        "unit index=0 number=8 paused=0,0\n"
        "unit index=0 number=9 paused=0\n");
    uint8_t active = 0;
    ASSERT_EQ(ctl_get_unit_task_info(task(9, 1), &active), 0);
    EXPECT_EQ(active, 1);
}

// An index beyond the unit's task records fails and leaves the last-error
// record empty, so no older failure's text is shown with it; a task record
// the unit counts but its list lacks (a terminator in its place) is API
// error 78.
TEST(TaskInfo, BeyondTheTaskRecordsNoErrorAndAMissingRecordError78) {
    seed_last_error();
    uint8_t value = 0x77;
    EXPECT_EQ(ctl_get_unit_task_info(task(9, 2), &value), -1);
    const ErrorRecord none = last_error();
    EXPECT_EQ(none.api_code, 0);
    EXPECT_EQ(none.flags, 0u);
    EXPECT_STREQ(none.text, "");
    EXPECT_EQ(value, 0x77);

    UnitDescriptorList list;
    ASSERT_EQ(series_backend().read_unit_descriptor(unit(9), &list), 0);
    ASSERT_EQ(list.record(0)[unit_record::kTaskRecords], 1);
    std::string records;
    for (int place = 0; list.type_at(place) != unit_record::kTerminator; ++place)
        records.append(reinterpret_cast<const char*>(list.record(place)), unit_record::kSize);
    records.replace(unit_record::kSize, unit_record::kSize, unit_record::kSize, '\xFF');
    change_machine("param index=0 table=0x8309 id=11 value=hex:" + test_support::hex(records));
    EXPECT_EQ(ctl_get_unit_task_info(task(9, 1), &value), -1);
    EXPECT_EQ(last_error().api_code, 78) << last_error().text;
    EXPECT_EQ(value, 0x77);
}

// Only sub-units that run a task are asked for its flag: a RAID 50 whose
// sub-units are all OK reports 0 even when their records claim a task.
TEST(TaskInfo, SubUnitsWithoutATaskAreNotAsked) {
    UnitDescriptorList list;
    ASSERT_EQ(series_backend().read_unit_descriptor(unit(12), &list), 0);
    std::string records;
    for (int place = 0; list.type_at(place) != unit_record::kTerminator; ++place) {
        uint8_t* r = list.bytes + size_t(place) * unit_record::kSize;
        if (r[unit_record::kType] == kUnitRaid5) r[unit_record::kProgress + 1] |= 0x80;
        records.append(reinterpret_cast<const char*>(r), unit_record::kSize);
    }
    change_machine("param index=0 table=0x830C id=11 value=hex:" + test_support::hex(records));
    uint8_t subunit_flag = 0;
    ASSERT_EQ(ctl_get_unit_task_info(unit(12, 0), &subunit_flag), 0);
    ASSERT_EQ(subunit_flag, 1);
    uint8_t active = 0x77;
    ASSERT_EQ(ctl_get_unit_task_info(unit(12), &active), 0);
    EXPECT_EQ(active, 0);
}

TEST(UnitState, RefusedOnTheFirstSeries) {
    uint8_t value;
    EXPECT_EQ(ctl_get_unit_initialized(unit(0, 0xFF, 0xFF, kFirst), &value), -1);
    EXPECT_EQ(last_error().api_code, 2);
    EXPECT_EQ(ctl_get_unit_task_info(unit(0, 0xFF, 0xFF, kFirst), &value), -1);
    EXPECT_EQ(last_error().api_code, 2);
}

// Drives of the units: every unit's drive list, an empty place counted as
// the list counts it; connections of the drives present.
TEST(ControllerCounts, DrivesOfUnitsAndConnectionsOfDrives) {
    const uint32_t kUnitDrives = 1 + 1 + 2 + 2 + 3 + 3 + 6 + 6 + 4 + 5 + 3 + 1 + 6;
    uint32_t count = 0;
    ASSERT_EQ(ctl_get_configured_drive_count(controller(kCtl), &count), 0) << last_error().text;
    EXPECT_EQ(count, kUnitDrives);
    // 41 drives with one connection, 35 and 36 with two, 37 with three; the
    // drive that was removed from port 40 is not present.
    ASSERT_EQ(ctl_get_connection_count(controller(kCtl), &count), 0);
    EXPECT_EQ(count, 41u + 2 + 2 + 3);

    // A list or a count that cannot be read adds nothing.
    change_machine(
        "fault index=0 opcode=0x52 table=0x8306 parameter=11 firmware-code=0x010C\n"
        "fault index=0 opcode=0x52 table=0x8225 parameter=26 firmware-code=0x010C\n");
    ASSERT_EQ(ctl_get_configured_drive_count(controller(kCtl), &count), 0);
    EXPECT_EQ(count, kUnitDrives - 6);
    ASSERT_EQ(ctl_get_connection_count(controller(kCtl), &count), 0);
    EXPECT_EQ(count, 41u + 2 + 2);

    EXPECT_EQ(ctl_get_configured_drive_count(controller(kFirst), &count), -1);
    EXPECT_EQ(last_error().api_code, 2);
    EXPECT_EQ(ctl_get_connection_count(controller(kFirst), &count), -1);
    EXPECT_EQ(last_error().api_code, 2);
}

}  // namespace
