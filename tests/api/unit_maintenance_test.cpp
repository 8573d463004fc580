// Keeping units on a second-series controller through the public
// functions: import, delete, export and remove, migration and mirror split,
// verify and rebuild with their tasks followed on the simulated clock, and
// taking single drives out, each refusal in the order of its checks.
#include <cstring>
#include <string>
#include <vector>

#include "tests/api/unit_machine.h"
#include "tests/support/param_names.h"

namespace {

using namespace unit_machine;

PYV2_LIBRARY_MACHINE(base_scenario().c_str());

using Events = std::vector<std::pair<uint16_t, std::string>>;

// The last n events of kCtl.
Events last_events(size_t n) {
    const Events all = events();
    return Events(all.end() - long(std::min(n, all.size())), all.end());
}

uint8_t holder_of(uint8_t port) {
    ObjectId holder;
    EXPECT_EQ(ctl_get_drive_unit(drive_on(kCtl, port), &holder), 0);
    return holder.b[4];
}

uint8_t drive_flags(uint8_t port) {
    uint8_t flags = 0;
    EXPECT_EQ(ctl_get_drive_flags(drive_on(kCtl, port), &flags), 0);
    return flags;
}

struct ListRefusal {
    const char* name;
    std::vector<std::pair<uint8_t, uint8_t>> drives;
    int32_t api_code;
};
PRINT_CASE_BY_NAME(ListRefusal)

const ListRefusal kImportRefusals[] = {
    {"drives of two controllers", {{kCtl, 0}, {kNoRaid6, 1}}, 38},
    {"a drive twice", {{kCtl, 0}, {kCtl, 1}, {kCtl, 0}}, 65},
    {"an empty port", {{kCtl, 0}, {kCtl, 45}}, 39},
    {"a drive taken out", {{kCtl, 32}}, 39},
    {"a drive in use", {{kCtl, 0}, {kCtl, 34}}, 41},
};

class ImportRefusal : public ::testing::TestWithParam<ListRefusal> {};

TEST_P(ImportRefusal, SendsNoImport) {
    fresh();
    const IdList drives = list_of(GetParam().drives);
    sim::clear_journal();
    IdList units;
    EXPECT_EQ(ctl_import_unit(&drives, 0, &units), -1);
    EXPECT_EQ(api_error(), GetParam().api_code) << last_error().text;
    EXPECT_EQ(command_opcodes(), std::vector<uint8_t>{});
}

INSTANTIATE_TEST_SUITE_P(Checks, ImportRefusal, ::testing::ValuesIn(kImportRefusals));

TEST(ImportUnit, AnEmptyListAsksNoController) {
    fresh();
    IdList none = drive_list({});
    sim::clear_journal();
    IdList units;
    EXPECT_EQ(ctl_import_unit(&none, 0, &units), -1);
    EXPECT_EQ(api_error(), 36);
    EXPECT_EQ(driver_requests(), 0u);
}

TEST(ExportUnit, TheDrivesKeepItForAnImport) {
    fresh();
    sim::clear_journal();
    ASSERT_EQ(ctl_export_unit(unit_id(20), 0), 0) << last_error().text;
    ASSERT_EQ(commands(0x15).size(), 1u);
    EXPECT_EQ(first_difference(commands(0x15)[0].sent,
                               expected_request(264, {0x15, 2, 0, 20, 0, 0, 0, 0x40}, {})),
              -1);
    EXPECT_EQ(unit_numbers(), (std::vector<uint8_t>{21, 22, 23}));
    EXPECT_EQ(holder_of(35), 0xFF);
    EXPECT_EQ(drive_flags(35) & 1, 1);  // it carries a unit's configuration
    EXPECT_EQ(last_events(1), (Events{{0x000D, "unit=20"}}));

    // The import names the ports in a bitmap: 34 to 36 are bits 2 to 4 of
    // byte 4; the packet's size follows firmware level 37.
    const IdList drives = drive_list({34, 35, 36});
    IdList units;
    sim::clear_journal();
    ASSERT_EQ(ctl_import_unit(&drives, 0, &units), 0) << last_error().text;
    std::vector<uint8_t> packet(40, 0);
    packet[0] = 0x07;
    packet[1] = 6;
    packet[8 + 4] = 0x1C;
    ASSERT_EQ(commands(0x07).size(), 1u);
    EXPECT_EQ(first_difference(commands(0x07)[0].sent, expected_request(264, packet, {})), -1);
    ASSERT_EQ(units.count, 1u);
    EXPECT_EQ(std::memcmp(units.ids[0].b, unit_id(20).b, 8), 0);
    expect_blank_tail(units);
    EXPECT_EQ(type_of(unit_id(20)), 5);
    EXPECT_EQ(drive_flags(35) & 1, 0);
}

TEST(DeleteUnit, WipesTheConfiguration) {
    fresh();
    ASSERT_EQ(ctl_delete_unit(unit_id(20), 0), 0) << last_error().text;
    EXPECT_EQ(drive_flags(35) & 1, 0);
    const IdList drives = drive_list({34, 35, 36});
    IdList units;
    ASSERT_EQ(ctl_import_unit(&drives, 0, &units), 0) << last_error().text;
    EXPECT_EQ(units.count, 0u);
    EXPECT_EQ(unit_numbers(), (std::vector<uint8_t>{21, 22, 23}));

    // A unit the map does not hold: refused after the one read of the map.
    sim::clear_journal();
    EXPECT_EQ(ctl_delete_unit(unit_id(30), 0), -1);
    EXPECT_EQ(api_error(), 59);
    EXPECT_EQ(driver_requests(), 1u);
}

TEST(RemoveUnit, ExportsItAndTakesOutEveryDrive) {
    // A degraded RAID 5: its empty member place is no drive to take out.
    fresh("unit index=0 number=24 type=raid5 drives=0,-,1\n");
    sim::clear_journal();
    ASSERT_EQ(ctl_remove_unit(unit_id(24), 0), 0) << last_error().text;
    EXPECT_EQ(command_opcodes(), (std::vector<uint8_t>{0x15, 0x0A, 0x0A}));
    EXPECT_EQ(commands(0x15)[0].sent[647], 0x40);
    EXPECT_EQ(port_status(0), 2);
    EXPECT_EQ(port_status(1), 2);

    // One removal that fails does not stop the next.
    fresh("unit index=0 number=24 type=raid5 drives=0,1,2\n"
          "fault index=0 opcode=0x0A firmware-code=0x010E\n");
    EXPECT_EQ(ctl_remove_unit(unit_id(24), 0), -1);
    EXPECT_EQ(port_status(0), 255);
    EXPECT_EQ(port_status(1), 2);
    EXPECT_EQ(port_status(2), 2);
}

TEST(MigrateUnit, RefusesAChangeOfNothingOrOfFewerDrives) {
    fresh("unit index=1 number=0 type=raid5 drives=0,1,2 stripe=64\n");
    struct {
        ObjectId unit;
        IdList drives;
        int32_t type, stripe;
        int32_t api_code;
    } cases[] = {
        {unit_id(20), drive_list({34, 35, 36}), 5, 7, 91},
        {unit_id(20), drive_list({36, 35, 34}), 5, 7, 91},
        {unit_id(20), drive_list({34, 35}), 0, 7, 105},
        {unit_id(0, kNoRaid6), drive_list({0, 1, 2, 3, 4}, kNoRaid6), 7, 7, 2},
    };
    for (const auto& c : cases) {
        sim::clear_journal();
        EXPECT_EQ(ctl_migrate_unit(c.unit, &c.drives, c.type, c.stripe, 0, 0), -1);
        EXPECT_EQ(api_error(), c.api_code) << last_error().text;
        EXPECT_EQ(command_opcodes(), std::vector<uint8_t>{});
    }
}

// The drives of a migration belong to the migrated unit's controller: drives
// of another controller, even one with a unit of the same number, are
// refused and nothing is changed on either controller.
TEST(MigrateUnit, RefusesDrivesOfAnotherController) {
    fresh("unit index=1 number=20 type=raid1 drives=0,1\n");
    const IdList drives = drive_list({0, 1, 2}, kNoRaid6);
    sim::clear_journal();
    EXPECT_EQ(ctl_migrate_unit(unit_id(20), &drives, 5, 7, 0, 0), -1);
    EXPECT_EQ(api_error(), 28) << last_error().text;
    EXPECT_EQ(command_opcodes(), std::vector<uint8_t>{});
    EXPECT_EQ(type_of(unit_id(20, kNoRaid6)), 2);
    EXPECT_EQ(type_of(unit_id(20)), 5);
}

TEST(MigrateUnit, RunsOnTheClockToTheNewLayout) {
    fresh();
    const IdList drives = drive_list({34, 35, 36, 0});
    sim::clear_journal();
    ASSERT_EQ(ctl_migrate_unit(unit_id(20), &drives, 5, 7, 0, 0), 0) << last_error().text;
    const std::vector<uint8_t> list = joined(
        {record(4, 5, 7), drive_record(34), drive_record(35), drive_record(36), drive_record(0)});
    ASSERT_EQ(commands(0x6F).size(), 1u);
    EXPECT_EQ(first_difference(commands(0x6F)[0].sent,
                               expected_request(264, {0x6F, list_words(), 0, 20, 0, 0, 100, 0, 1},
                                                list)),
              -1);
    // Old layout as sub-unit 0, new as sub-unit 1, under a migrating unit.
    EXPECT_EQ(type_of(unit_id(20)), 32);
    EXPECT_EQ(status_of(unit_id(20)), 175);
    uint64_t capacity = 0;
    ASSERT_EQ(ctl_get_unit_capacity(unit_id(20, kCtl, 1), &capacity), 0);
    EXPECT_EQ(capacity, 3 * kDrive);
    EXPECT_EQ(drives_of(unit_id(20)), (std::vector<uint8_t>{34, 35, 36, 0}));
    EXPECT_EQ(percent_of(unit_id(20)), 0);

    pass_seconds(kTaskSeconds / 2);
    EXPECT_EQ(percent_of(unit_id(20)), 50);
    pass_seconds(kTaskSeconds / 2);
    EXPECT_EQ(type_of(unit_id(20)), 5);
    EXPECT_EQ(status_of(unit_id(20)), 255);
    ASSERT_EQ(ctl_get_unit_capacity(unit_id(20), &capacity), 0);
    EXPECT_EQ(capacity, 3 * kDrive);
    EXPECT_EQ(holder_of(0), 20);
    EXPECT_EQ(last_events(2), (Events{{0x0033, "unit=20"}, {0x0035, "unit=20"}}));
}

TEST(MigrateUnit, ASingleDiskIsMirroredOntoAFreeDrive) {
    fresh();
    const IdList drives = drive_list({39, 0});
    sim::clear_journal();
    ASSERT_EQ(ctl_migrate_unit(unit_id(23), &drives, 2, 0, 0, 0), 0) << last_error().text;
    // The free drive becomes DISK unit 0 first.
    EXPECT_EQ(command_opcodes(), (std::vector<uint8_t>{0x74, 0x6F}));
    EXPECT_EQ(first_difference(commands(0x74)[0].sent,
                               expected_request(264, {0x74, list_words(), 0, 0, 0, 0, 20, 0, 1},
                                                record(0, 12, 0, 0))),
              -1);
    EXPECT_EQ(first_difference(commands(0x6F)[0].sent,
                               expected_request(264, {0x6F, list_words(), 0, 23, 0, 0, 0, 0, 1, 0,
                                                      8, 0},
                                                std::vector<uint8_t>(3900, 0))),
              -1);
    EXPECT_EQ(type_of(unit_id(23)), 2);
    EXPECT_EQ(status_of(unit_id(23)), 223);
    EXPECT_EQ(unit_numbers(), (std::vector<uint8_t>{20, 21, 22, 23}));
    pass_seconds(kTaskSeconds);
    EXPECT_EQ(status_of(unit_id(23)), 255);
    EXPECT_EQ(drives_of(unit_id(23)), (std::vector<uint8_t>{39, 0}));
}

TEST(SplitMirror, GivesTheSecondDriveAUnitOfItsOwn) {
    fresh("unit index=0 number=0 type=raid1 drives=2,3\n");
    IdList units;
    EXPECT_EQ(ctl_split_mirror(unit_id(20), 0, &units), -1);
    EXPECT_EQ(api_error(), 80);
    sim::clear_journal();
    ASSERT_EQ(ctl_split_mirror(unit_id(0), 0, &units), 0) << last_error().text;
    EXPECT_EQ(first_difference(commands(0x6F)[0].sent,
                               expected_request(264, {0x6F, list_words(), 0, 0, 0, 0, 0, 0, 1, 0, 2},
                                                std::vector<uint8_t>(3900, 0))),
              -1);
    ASSERT_EQ(units.count, 1u);
    EXPECT_EQ(units.ids[0].b[4], 1);
    EXPECT_EQ(type_of(unit_id(0)), 11);
    EXPECT_EQ(type_of(unit_id(1)), 11);
    EXPECT_EQ(drives_of(unit_id(1)), std::vector<uint8_t>{3});
}

TEST(VerifyUnit, StartsOnAnOkUnitAndStopsARunningOne) {
    fresh("unit index=0 number=24 type=raid5 drives=0,-,1\n"
          "unit index=1 number=0 type=raid6 drives=0,1,2,3,4\n");
    sim::clear_journal();
    ASSERT_EQ(ctl_start_verify(unit_id(20)), 0) << last_error().text;
    EXPECT_EQ(first_difference(commands(0x05)[0].sent,
                               expected_request(264, {0x05, 2, 0, 20, 0, 0, 0, 1}, {})),
              -1);
    EXPECT_EQ(status_of(unit_id(20)), 251);
    EXPECT_EQ(ctl_start_verify(unit_id(20)), -1);
    EXPECT_EQ(api_error(), 72);
    ASSERT_EQ(ctl_verify_unit(unit_id(20)), 0) << last_error().text;
    EXPECT_EQ(commands(0x05).back().sent[647], 0x80);
    EXPECT_EQ(status_of(unit_id(20)), 255);
    EXPECT_EQ(ctl_verify_unit(unit_id(20)), -1);
    EXPECT_EQ(api_error(), 72);
    EXPECT_EQ(ctl_start_verify(unit_id(24)), -1);
    EXPECT_EQ(api_error(), 72);
    EXPECT_EQ(ctl_start_verify(unit_id(0, kNoRaid6)), -1);
    EXPECT_EQ(api_error(), 2);

    // Left to run, it ends by itself.
    ASSERT_EQ(ctl_start_verify(unit_id(20)), 0);
    pass_seconds(kTaskSeconds / 4);
    EXPECT_EQ(percent_of(unit_id(20)), 25);
    pass_seconds(kTaskSeconds);
    EXPECT_EQ(status_of(unit_id(20)), 255);
    EXPECT_EQ(last_events(2), (Events{{0x0029, "unit=20"}, {0x002B, "unit=20"}}));
}

TEST(RebuildUnit, RefusesUnitsThatNeedNone) {
    fresh("unit index=0 number=24 type=raid5 drives=0,1,2 status=rebuilding member=1\n"
          "unit index=0 number=25 type=raid5 drives=3,4,5 status=initializing\n"
          "unit index=0 number=26 type=raid5 drives=6,-,7\n");
    struct {
        uint8_t number, replacement;
        int32_t api_code;
    } cases[] = {{20, 8, 49}, {24, 8, 50}, {25, 8, 51}, {26, 34, 53}};
    for (const auto& c : cases) {
        const IdList drives = drive_list({c.replacement});
        sim::clear_journal();
        EXPECT_EQ(ctl_rebuild_unit(unit_id(c.number), &drives, 0), -1);
        EXPECT_EQ(api_error(), c.api_code) << last_error().text;
        EXPECT_EQ(command_opcodes(), std::vector<uint8_t>{});
    }
}

// The rebuild command names its replacement by unit number on the degraded
// unit's controller: a drive of another controller is refused before a DISK
// unit is made of it, and no unit of that number is taken in its place.
TEST(RebuildUnit, RefusesAReplacementOfAnotherController) {
    fresh("unit index=0 number=24 type=raid5 drives=0,-,1\n"
          "unit index=0 number=0 type=spare drives=2\n");
    const IdList elsewhere = drive_list({3}, kNoRaid6);
    sim::clear_journal();
    EXPECT_EQ(ctl_rebuild_unit(unit_id(24), &elsewhere, 0), -1);
    EXPECT_EQ(api_error(), 53) << last_error().text;
    EXPECT_EQ(command_opcodes(), std::vector<uint8_t>{});
    EXPECT_EQ(status_of(unit_id(24)), 239);
    EXPECT_EQ(type_of(unit_id(0)), 13);
    EXPECT_EQ(unit_numbers(kNoRaid6), std::vector<uint8_t>{});
}

TEST(RebuildUnit, APulledDriveDegradesTheUnitAndARebuildRestoresIt) {
    fresh();
    sim::clear_journal();
    ASSERT_EQ(ctl_remove_drive(drive_on(kCtl, 35)), 0) << last_error().text;
    EXPECT_EQ(first_difference(commands(0x0A)[0].sent,
                               expected_request(264, {0x0A, 2, 0, 0, 0, 0, 0, 35}, {})),
              -1);
    EXPECT_EQ(status_of(unit_id(20)), 239);
    EXPECT_EQ(status_of(unit_id(20, kCtl, 1)), 239);
    EXPECT_EQ(port_status(35), 2);
    EXPECT_EQ(drives_of(unit_id(20)), (std::vector<uint8_t>{34, 0xFF, 36}));
    EXPECT_EQ(last_events(2), (Events{{0x0019, "port=35"}, {0x0002, "unit=20"}}));

    // The drive comes back as a free drive and goes in as the replacement:
    // a DISK unit of it first, then the rebuild and its background task.
    ObjectId drive;
    ASSERT_EQ(ctl_add_drive(drive_on(kCtl, 35), &drive), 0) << last_error().text;
    EXPECT_EQ(port_status(35), 255);
    const IdList replacement = drive_list({35});
    sim::clear_journal();
    ASSERT_EQ(ctl_rebuild_unit(unit_id(20), &replacement, 1), 0) << last_error().text;
    EXPECT_EQ(command_opcodes(), (std::vector<uint8_t>{0x74, 0x09, 0x17}));
    EXPECT_EQ(first_difference(commands(0x09)[0].sent,
                               expected_request(264, {0x09, 2, 0, 20, 0, 0, 0, 0}, {})),
              -1);
    EXPECT_EQ(first_difference(commands(0x17)[0].sent,
                               expected_request(264, {0x17, 2, 0, 20, 0, 0, 0x80, 0}, {})),
              -1);
    uint8_t ecc = 0;
    ASSERT_EQ(ctl_get_ecc_on_rebuild(unit_id(20), &ecc), 0);
    EXPECT_EQ(ecc, 1);
    EXPECT_EQ(status_of(unit_id(20)), 223);
    EXPECT_EQ(percent_of(unit_id(20)), 0);
    pass_seconds(kTaskSeconds / 2);
    EXPECT_EQ(percent_of(unit_id(20)), 50);
    pass_seconds(kTaskSeconds / 2);
    EXPECT_EQ(status_of(unit_id(20)), 255);
    EXPECT_EQ(drives_of(unit_id(20)), (std::vector<uint8_t>{34, 35, 36}));
    EXPECT_EQ(last_events(2), (Events{{0x000B, "unit=20"}, {0x0005, "unit=20"}}));
}

TEST(RebuildUnit, ATooSmallReplacementIsRefusedByTheController) {
    fresh("unit index=0 number=24 type=raid5 drives=0,-,1\n");
    const IdList small = drive_list({31});
    EXPECT_EQ(ctl_rebuild_unit(unit_id(24), &small, 0), -1);
    EXPECT_EQ(last_error().controller_status, 0x0124);
    EXPECT_EQ(status_of(unit_id(24)), 239);
    // The DISK unit made of the replacement stays.
    EXPECT_EQ(type_of(unit_id(0)), 12);
}

TEST(RebuildUnit, SeveralDrivesStopOnceTheRebuildRuns) {
    fresh("unit index=0 number=24 type=raid5 drives=0,-,1\n");
    const IdList three = drive_list({2, 3, 4});
    sim::clear_journal();
    ASSERT_EQ(ctl_rebuild_unit(unit_id(24), &three, 0), 0) << last_error().text;
    EXPECT_EQ(command_opcodes(), (std::vector<uint8_t>{0x74, 0x09, 0x17}));
    EXPECT_EQ(holder_of(3), 0xFF);
    EXPECT_EQ(holder_of(4), 0xFF);
    EXPECT_EQ(status_of(unit_id(24)), 223);

    // Another failure gives the drives taken back: removed and added again.
    // A RAID 6 short of two members takes a second drive after the first.
    fresh("unit index=0 number=24 type=raid6 drives=0,-,-,1,5\n");
    const IdList bad = drive_list({2, 45});
    sim::clear_journal();
    EXPECT_EQ(ctl_rebuild_unit(unit_id(24), &bad, 0), -1);
    EXPECT_EQ(command_opcodes(), (std::vector<uint8_t>{0x74, 0x09, 0x17, 0x0A, 0x06}));
    EXPECT_EQ(status_of(unit_id(24)), 239);
    EXPECT_EQ(port_status(2), 255);
    EXPECT_EQ(holder_of(2), 0xFF);

    // No drive at all: nothing asked, nothing recorded.
    const IdList none = drive_list({});
    const ErrorRecord before = seed_last_error();
    EXPECT_EQ(ctl_rebuild_unit(unit_id(24), &none, 0), -1);
    EXPECT_TRUE(same_record(before, last_error()));
}

struct Removal {
    const char* name;
    uint8_t port;
    int32_t api_code;                // 0: taken out
    std::vector<uint8_t> opcodes;    // the commands sent
};
PRINT_CASE_BY_NAME(Removal)

const char kRemovalUnits[] =
    "unit index=0 number=24 type=raid5 drives=0,1,2 status=degraded member=2\n"
    "unit index=0 number=25 type=raid5 drives=3,4,5 status=recovering member=0\n"
    "unit index=0 number=26 type=raid0 drives=6,7\n"
    "unit index=0 number=27 type=raid10 drives=8,9,10,11\n"
    "unit index=0 number=28 type=raid6 drives=12,13,14,15,16 status=degraded member=0 "
    "task-status=degraded task-member=1\n";

const Removal kRemovals[] = {
    {"an empty port", 45, 46, {}},
    {"the drive of a single disk", 39, 20, {}},
    {"an OK member of a degraded RAID 5", 0, 48, {}},
    {"the failed member of a degraded RAID 5", 2, 0, {0x0A}},
    {"a member of a RAID 5 in recovery", 3, 85, {}},
    {"a member of a RAID 0", 6, 48, {}},
    {"a member of a RAID 10", 8, 0, {0x0A}},
    {"an OK member of a RAID 6 short of two", 14, 48, {}},
    {"a failed member of a RAID 6", 12, 0, {0x0A}},
    {"a member of an OK RAID 5", 34, 0, {0x0A}},
    {"the drive of a spare", 38, 0, {0x15, 0x0A}},
    {"the drive of a DISK unit", 37, 0, {0x15, 0x0A}},
    {"a free drive", 20, 0, {0x0A}},
};

class RemoveDrive : public ::testing::TestWithParam<Removal> {};

TEST_P(RemoveDrive, FollowsTheUnitsState) {
    const Removal& r = GetParam();
    fresh(kRemovalUnits);
    sim::clear_journal();
    EXPECT_EQ(ctl_remove_drive(drive_on(kCtl, r.port)), r.api_code == 0 ? 0 : -1);
    if (r.api_code != 0) {
        EXPECT_EQ(api_error(), r.api_code) << last_error().text;
    }
    EXPECT_EQ(command_opcodes(), r.opcodes);
    // A disk or spare unit goes with mode 0 before its drive.
    if (r.opcodes.size() == 2) {
        EXPECT_EQ(commands(0x15)[0].sent[647], 0);
    }
    EXPECT_EQ(port_status(r.port), r.api_code == 0 ? 2 : r.port == 45 ? 0 : 255);
}

INSTANTIATE_TEST_SUITE_P(Rules, RemoveDrive, ::testing::ValuesIn(kRemovals));

}  // namespace
