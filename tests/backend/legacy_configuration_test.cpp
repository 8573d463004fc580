// Changing a first-series controller's configuration through the back end:
// create, rebuild, verify, delete and export, import, drive removal and
// rescan, each followed in the commands the simulated firmware received
// and in what the controller reports afterwards.
#include <cstring>

#include "tests/backend/legacy_machine.h"
#include "tests/support/files.h"

namespace {

class LegacyConfiguration : public ::testing::Test {
  protected:
    void SetUp() override { use_machine(kLegacyMachine); }
};

uint8_t status_of(const ObjectId& unit) {
    uint8_t status = 0x5A;
    EXPECT_EQ(legacy().get_unit_status(unit, &status), 0) << last_error().text;
    return status;
}

std::vector<int> unit_numbers() {
    IdList units;
    EXPECT_EQ(legacy().get_unit_list(controller_id(kLegacyIndex), &units), 0);
    std::vector<int> numbers;
    for (uint32_t i = 0; i < units.count; ++i) numbers.push_back(units.ids[i].b[4]);
    return numbers;
}

std::vector<int> event_codes() {
    std::vector<int> codes;
    EventRecord record;
    while (ctl_get_first_aen(controller_id(kLegacyIndex), &record) == 0 && record.code != 0)
        codes.push_back(record.code);
    return codes;
}

// The lines written to "/proc/scsi/scsi".
std::vector<std::string> os_notices() {
    std::vector<std::string> lines;
    for (const sim::JournalEntry& e : sim::journal())
        if (e.request == 0 && e.path == "/proc/scsi/scsi")
            lines.emplace_back(e.sent.begin(), e.sent.end());
    return lines;
}

// --- Create.

// Two drives of 1,000,000 and 900,000 sectors with 64 KiB stripes: each
// gives 897,952; together 1,795,904, rounded down to a multiple of 256:
// 1,795,840, and 897,920 for each member.
TEST_F(LegacyConfiguration, CreateRaid0SendsItsDescriptor) {
    const IdList drives = drive_list({0, 1});
    ObjectId unit;
    ASSERT_EQ(legacy().create_unit(&drives, 0, 7, 0, &unit), 0) << last_error().text;
    const ObjectId expected_id = {{2, 1, 0xFF, 1, 0, 0xFF, 0xFF, 0xFF}};
    EXPECT_EQ(std::memcmp(&unit, &expected_id, sizeof unit), 0);

    std::vector<uint8_t> descriptor = bytes_of({2, 0,  7, 0, 0, 0, 0, 0, 0x00, 0x67, 0x1B, 0x00,
                                                0, 12, 0, 0, 0, 0, 0, 0, 0x80, 0xB3, 0x0D, 0x00,
                                                0, 12, 1, 1, 0, 0, 0, 0, 0x80, 0xB3, 0x0D, 0x00},
                                               204);
    const sim::JournalEntry create = commands(0x54).back();
    EXPECT_EQ(
        first_difference(create.sent,
                         legacy_request(bytes_of({0x54, 4, 0, 0, 0, 0, 36, 0}, 512), descriptor)),
        -1);
    uint64_t capacity = 0;
    uint32_t stripe = 0;
    uint8_t cache = 0;
    ASSERT_EQ(legacy().get_unit_capacity(unit, &capacity), 0);
    ASSERT_EQ(legacy().get_stripe_size(unit, &stripe), 0);
    ASSERT_EQ(legacy().get_write_cache(unit, &cache), 0);
    EXPECT_EQ(capacity, 1795840u);
    EXPECT_EQ(stripe, 64);
    EXPECT_EQ(cache, 1);
}

// RAID 1 takes any stripe code and stores none; its capacity is a drive's
// share, not rounded.
TEST_F(LegacyConfiguration, CreateRaid1) {
    const IdList drives = drive_list({0, 1});
    ObjectId unit;
    ASSERT_EQ(legacy().create_unit(&drives, 2, 9, 0, &unit), 0) << last_error().text;
    const sim::JournalEntry create = commands(0x54).back();
    const uint8_t* descriptor = create.sent.data() + 1024;
    EXPECT_EQ(descriptor[1], 2);
    EXPECT_EQ(descriptor[2], 0);
    EXPECT_EQ(load32(descriptor + 8), 897952u);
    EXPECT_EQ(load32(descriptor + 20), 897952u);
}

TEST_F(LegacyConfiguration, CreateRaid10OfSixDrives) {
    use_machine(
        "driver name=dq-xxxx pairing=proc\n"
        "controller index=1 driver=dq-xxxx ports=8\n"
        "  drive port=0\n  drive port=1\n  drive port=2\n"
        "  drive port=3\n  drive port=4\n  drive port=5\n");
    const IdList drives = drive_list({0, 1, 2, 3, 4, 5});
    ObjectId unit;
    ASSERT_EQ(legacy().create_unit(&drives, 6, 7, 0, &unit), 0) << last_error().text;
    const sim::JournalEntry create = commands(0x54).back();
    EXPECT_EQ(load32(create.sent.data()), 312u);
    EXPECT_EQ(packet_of(create)[6] | packet_of(create)[7] << 8, 132);
    const uint8_t* d = create.sent.data() + 1024;
    EXPECT_EQ(d[0], 3);
    EXPECT_EQ(d[12], 0xFF);
    for (int i = 14; i < 24; ++i) EXPECT_EQ(d[i], 0xFF) << i;
    // Each mirror: two drives, a RAID 1 record with the drive's whole share.
    const uint32_t each = 488397168u - 2048;
    for (int m = 0; m < 3; ++m) {
        const uint8_t* mirror = d + 24 + 36 * m;
        EXPECT_EQ(mirror[0], 2);
        EXPECT_EQ(mirror[1], 2);
        EXPECT_EQ(load32(mirror + 8), each);
        EXPECT_EQ(mirror[12 + 2], 2 * m);
        EXPECT_EQ(mirror[24 + 2], 2 * m + 1);
        EXPECT_EQ(mirror[24 + 3], 1);
    }
    uint32_t mirrors = 0;
    ASSERT_EQ(legacy().get_subunit_count(unit, &mirrors), 0);
    EXPECT_EQ(mirrors, 3u);
}

struct CreateRefusal {
    const char* name;
    const char* change;  // scenario lines first applied
    std::vector<uint8_t> ports;
    int32_t type, stripe;
    int32_t api_code;
};
PRINT_CASE_BY_NAME(CreateRefusal)

const CreateRefusal kCreateRefusals[] = {
    {"raid1_of_the_first_series_kind", "", {0, 1}, 1, 7, 25},
    {"unknown_type", "", {0, 1}, 3, 7, 25},
    {"raid1_of_three", "", {0, 1, 6}, 2, 7, 26},
    {"raid10_of_an_odd_count", "", {0, 1, 6}, 6, 7, 26},
    {"more_drives_than_ports",
     "",
     {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16},
     0,
     7,
     26},
    {"raid5_stripe_other_than_64k", "", {0, 1, 6}, 5, 6, 27},
    {"raid0_stripe_too_large", "", {0, 1}, 0, 12, 27},
    {"duplicate_port", "", {0, 0}, 0, 7, 29},
    {"empty_port", "", {0, 13}, 0, 7, 30},
    {"drive_with_errors", "", {0, 4}, 0, 7, 30},
    {"member_of_a_raid5", "", {0, 8}, 0, 7, 31},
    {"spare_drive", "", {0, 11}, 0, 7, 31},
    {"drive_smaller_than_its_reserve", "drive index=1 port=13 capacity=2048\n", {0, 13}, 0, 7, 33},
};

class CreateRefusals : public LegacyConfiguration,
                       public ::testing::WithParamInterface<CreateRefusal> {};

TEST_P(CreateRefusals, NothingIsCreated) {
    const CreateRefusal& c = GetParam();
    change_machine(c.change);
    IdList drives;
    std::memset(&drives, 0xFF, sizeof drives);
    drives.count = 0;
    for (uint8_t port : c.ports) drives.ids[drives.count++] = legacy_drive(port);
    ObjectId unit;
    EXPECT_EQ(legacy().create_unit(&drives, c.type, c.stripe, 0, &unit), -1);
    EXPECT_EQ(last_error().api_code, c.api_code);
    EXPECT_TRUE(changes().empty());
}

INSTANTIATE_TEST_SUITE_P(Checks, CreateRefusals, ::testing::ValuesIn(kCreateRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(LegacyConfiguration, CreateRefusesListsOfOtherControllersAndOversizedLists) {
    IdList drives = drive_list({0, 1});
    drives.ids[1].b[1] = 2;
    ObjectId unit;
    EXPECT_EQ(legacy().create_unit(&drives, 0, 7, 0, &unit), -1);
    EXPECT_EQ(last_error().api_code, 28);
    drives.count = 129;
    EXPECT_EQ(legacy().create_unit(&drives, 0, 7, 0, &unit), -1);
    EXPECT_EQ(last_error().api_code, 122);
    EXPECT_TRUE(changes().empty());
}

// A drive that is a single disk is taken over: its unit goes first.
TEST_F(LegacyConfiguration, CreateTakesOverASingleDisk) {
    const IdList drives = drive_list({10, 0});
    ObjectId unit;
    ASSERT_EQ(legacy().create_unit(&drives, 2, 0, 0, &unit), 0) << last_error().text;
    EXPECT_EQ(changes(), (std::vector<int>{0x15, 0x54, 0x53}));
    EXPECT_EQ(packet_of(commands(0x15).back())[7], 0x80);
    EXPECT_EQ(unit.b[4], 0);  // the lowest free number
    EXPECT_EQ(unit_numbers(), (std::vector<int>{0, 1, 3, 4, 5, 6}));
}

// The operating system hears of a unit it can see; when it cannot be told,
// the unit goes again.
TEST_F(LegacyConfiguration, CreateAndDeleteTellTheOperatingSystem) {
    const IdList drives = drive_list({0, 1});
    ObjectId unit;
    ASSERT_EQ(legacy().create_unit(&drives, 0, 7, 1, &unit), 0) << last_error().text;
    ASSERT_EQ(legacy().delete_unit(unit, 1, 0x80), 0) << last_error().text;
    EXPECT_EQ(os_notices(), (std::vector<std::string>{"scsi add-single-device 1 0 0 0",
                                                      "scsi remove-single-device 1 0 0 0"}));
    EXPECT_EQ(changes(), (std::vector<int>{0x54, 0x53, 0x15}));

    // A single disk is not the system's business.
    const IdList one = drive_list({6});
    sim::clear_journal();
    ASSERT_EQ(legacy().create_unit(&one, 12, 0, 1, &unit), 0);
    EXPECT_TRUE(os_notices().empty());

    change_machine(
        "fault call=open path=/proc/scsi/scsi errno=EACCES count=-1\n"
        "fault call=open path=/sys/class/scsi_host/host1/scan errno=EACCES count=-1\n");
    sim::clear_journal();
    EXPECT_EQ(legacy().create_unit(&drives, 0, 7, 1, &unit), -1);
    EXPECT_EQ(last_error().api_code, 21);
    EXPECT_EQ(changes(), (std::vector<int>{0x54, 0x53, 0x15}));
    EXPECT_EQ(unit_numbers(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
}

// Without "/proc/scsi/scsi" the host's scan file and the device's delete
// file carry the notices.
TEST_F(LegacyConfiguration, NoticesThroughSysfs) {
    change_machine("fault call=open path=/proc/scsi/scsi errno=EACCES count=-1\n");
    const IdList drives = drive_list({0, 1});
    ObjectId unit;
    ASSERT_EQ(legacy().create_unit(&drives, 0, 7, 1, &unit), 0) << last_error().text;
    ASSERT_EQ(legacy().delete_unit(unit, 1, 0x80), 0) << last_error().text;
    std::vector<std::string> writes;
    for (const sim::JournalEntry& e : sim::journal())
        if (e.request == 0)
            writes.push_back(e.path + " " + std::string(e.sent.begin(), e.sent.end()));
    EXPECT_EQ(writes, (std::vector<std::string>{"/sys/class/scsi_host/host1/scan 0 0 0",
                                                "/sys/bus/scsi/devices/1:0:0:0/delete 1"}));
}

// --- Rebuild.

// Unit 1 is a RAID 10 whose mirror 1 lost its drive 0; the free drive on
// port 6 becomes a single disk, replaces member 2 (0 + 1 x 2) and the
// rebuild of mirror 1 starts.
TEST_F(LegacyConfiguration, RebuildFollowedThroughToDelete) {
    const IdList replacement = drive_list({6});
    ASSERT_EQ(legacy().rebuild_unit(legacy_unit(1), &replacement, 0), 0) << last_error().text;
    EXPECT_EQ(changes(), (std::vector<int>{0x54, 0x09, 0x17}));
    const sim::JournalEntry single = commands(0x54).back();
    EXPECT_EQ(first_difference(
                  single.sent,
                  legacy_request(bytes_of({0x54, 4, 0, 0, 0, 0, 12, 0}, 512),
                                 bytes_of({0, 12, 6, 0, 0, 0, 0, 0, 0x80, 0x84, 0x1E, 0}, 512))),
              -1);
    EXPECT_EQ(first_difference(commands(0x09).back().sent,
                               legacy_request(bytes_of({0x09, 2, 0, 1, 0, 0, 0, 2}, 512), {})),
              -1);
    EXPECT_EQ(first_difference(commands(0x17).back().sent,
                               legacy_request(bytes_of({0x17, 2, 0, 1, 0, 0, 0x84, 1}, 512), {})),
              -1);

    EXPECT_EQ(status_of(legacy_unit(1)), 223);
    EXPECT_EQ(status_of(legacy_unit(1, 1)), 223);
    EXPECT_EQ(status_of(legacy_unit(1, 0)), 255);
    int32_t percent = 0;
    change_machine("advance index=1 percent=40\n");
    ASSERT_EQ(legacy().get_percent_complete(legacy_unit(1), &percent), 0);
    EXPECT_EQ(percent, 70);  // (40 + 100) / 2
    ObjectId owner;
    ASSERT_EQ(legacy().get_drive_unit(legacy_drive(6), &owner), 0);
    const ObjectId member = legacy_unit(1, 1, 0);
    EXPECT_EQ(std::memcmp(&owner, &member, sizeof owner), 0);

    change_machine("advance index=1 percent=60\n");
    EXPECT_EQ(status_of(legacy_unit(1)), 255);
    ASSERT_EQ(legacy().get_percent_complete(legacy_unit(1), &percent), 0);
    EXPECT_EQ(percent, 0);
    // The verify of unit 3 ran on alongside and ended too.
    EXPECT_EQ(event_codes(), (std::vector<int>{0x0B, 0x05, 0x2B}));

    ASSERT_EQ(legacy().delete_unit(legacy_unit(1), 0, 0x80), 0);
    EXPECT_EQ(unit_numbers(), (std::vector<int>{2, 3, 4, 5, 6}));
    for (uint8_t port : {2, 3, 5, 6}) {
        ASSERT_EQ(legacy().get_drive_unit(legacy_drive(port), &owner), 0);
        EXPECT_EQ(owner.b[4], 0xFF) << int(port);
    }
    EXPECT_EQ(event_codes(), (std::vector<int>{0x0D}));
}

TEST_F(LegacyConfiguration, RebuildWithASpareAndTheEccFlag) {
    change_machine("fail-drive index=1 port=9\n");
    const IdList spare = drive_list({11});
    ASSERT_EQ(legacy().rebuild_unit(legacy_unit(3), &spare, 1), 0) << last_error().text;
    EXPECT_EQ(changes(), (std::vector<int>{0x09, 0x17}));
    EXPECT_EQ(first_difference(commands(0x09).back().sent,
                               legacy_request(bytes_of({0x09, 2, 0, 3, 0, 0, 5, 2}, 512), {})),
              -1);
    EXPECT_EQ(first_difference(commands(0x17).back().sent,
                               legacy_request(bytes_of({0x17, 2, 0, 3, 0, 0, 0xC4, 0}, 512), {})),
              -1);
    EXPECT_EQ(status_of(legacy_unit(3)), 223);
}

struct RebuildRefusal {
    const char* name;
    const char* change;
    uint8_t unit;
    std::vector<uint8_t> ports;
    int32_t api_code;
    std::vector<int> changes;  // commands that still went
};
PRINT_CASE_BY_NAME(RebuildRefusal)

const RebuildRefusal kRebuildRefusals[] = {
    {"unit_ok", "", 6, {0}, 49, {}},
    {"raid0", "fail-drive index=1 port=14\n", 6, {0}, 52, {}},
    {"replacement_in_another_unit", "", 1, {8}, 53, {}},
    {"replacement_too_small", "", 1, {1}, 54, {0x54}},
    {"replacement_below_its_reserve", "drive index=1 port=13 capacity=1000\n", 1, {13}, 54, {0x54}},
    {"mirror_already_rebuilding",
     "drive index=1 port=13 capacity=1000000\n"
     "unit index=1 number=7 type=raid10 drives=0,1,6,13 status=rebuilding failed=0\n",
     7,
     {15},
     50,
     {}},
    {"no_drive", "", 1, {}, 36, {}},
};

class RebuildRefusals : public LegacyConfiguration,
                        public ::testing::WithParamInterface<RebuildRefusal> {};

TEST_P(RebuildRefusals, NoRebuildStarts) {
    const RebuildRefusal& c = GetParam();
    change_machine(c.change);
    sim::clear_journal();
    IdList drives;
    std::memset(&drives, 0xFF, sizeof drives);
    drives.count = 0;
    for (uint8_t port : c.ports) drives.ids[drives.count++] = legacy_drive(port);
    EXPECT_EQ(legacy().rebuild_unit(legacy_unit(c.unit), &drives, 0), -1);
    EXPECT_EQ(last_error().api_code, c.api_code) << last_error().text;
    EXPECT_EQ(changes(), c.changes);
}

INSTANTIATE_TEST_SUITE_P(Checks, RebuildRefusals, ::testing::ValuesIn(kRebuildRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Verify.

TEST_F(LegacyConfiguration, VerifyStopAndStart) {
    ASSERT_EQ(legacy().verify_unit(legacy_unit(3), 1), 0) << last_error().text;
    EXPECT_EQ(status_of(legacy_unit(3)), 255);
    sim::clear_journal();
    ASSERT_EQ(legacy().verify_unit(legacy_unit(3), 0), 0) << last_error().text;
    EXPECT_EQ(changes(), (std::vector<int>{0x05, 0x17}));
    EXPECT_EQ(packet_of(commands(0x05).back())[7], 1);
    EXPECT_EQ(first_difference(commands(0x17).back().sent,
                               legacy_request(bytes_of({0x17, 2, 0, 3, 0, 0, 0x04, 0}, 512), {})),
              -1);
    EXPECT_EQ(status_of(legacy_unit(3)), 251);
    change_machine("advance index=1 percent=100\n");
    EXPECT_EQ(status_of(legacy_unit(3)), 255);
    EXPECT_EQ(event_codes(), (std::vector<int>{0x29, 0x2B}));

    struct Refusal {
        uint8_t unit;
        int32_t stop;
        int32_t api_code;
    };
    for (const Refusal& r : {Refusal{1, 0, 72}, Refusal{3, 1, 72}, Refusal{3, 2, 72},
                             Refusal{4, 0, 73}, Refusal{2, 0, 73}, Refusal{6, 0, 73}}) {
        SCOPED_TRACE(int(r.unit));
        sim::clear_journal();
        EXPECT_EQ(legacy().verify_unit(legacy_unit(r.unit), r.stop), -1);
        EXPECT_EQ(last_error().api_code, r.api_code);
        EXPECT_TRUE(changes().empty());
    }
}

TEST_F(LegacyConfiguration, RebuildSubcommandsNeedARebuildingUnit) {
    EXPECT_EQ(ctl_send_rebuild_subcommand_4(legacy_unit(1)), -1);
    EXPECT_EQ(last_error().api_code, 64);
    const IdList replacement = drive_list({6});
    ASSERT_EQ(legacy().rebuild_unit(legacy_unit(1), &replacement, 0), 0);
    sim::clear_journal();
    ASSERT_EQ(ctl_send_rebuild_subcommand_2(legacy_unit(1)), 0);
    ASSERT_EQ(ctl_send_rebuild_subcommand_4(legacy_unit(1)), 0);
    const std::vector<sim::JournalEntry> tasks = commands(0x17);
    ASSERT_EQ(tasks.size(), 2u);
    EXPECT_EQ(first_difference(tasks[0].sent,
                               legacy_request(bytes_of({0x17, 2, 0, 1, 0, 0, 2, 0}, 512), {})),
              -1);
    EXPECT_EQ(packet_of(tasks[1])[6], 4);
}

// --- Drive removal.

struct RemoveCase {
    const char* name;
    uint8_t port;
    int32_t api_code;  // 0: removed
    std::vector<int> changes;
};
PRINT_CASE_BY_NAME(RemoveCase)

const RemoveCase kRemovals[] = {
    {"free_drive", 0, 0, {0x0A}},
    {"single_disk_leaves_its_unit_first", 10, 0, {0x15, 0x0A}},
    {"member_of_a_verifying_raid5", 8, 0, {0x0A}},
    {"failed_drive_of_a_degraded_mirror", 4, 0, {0x0A}},
    {"drive_of_the_healthy_mirror", 2, 0, {0x0A}},
    {"last_good_drive_of_a_degraded_mirror", 5, 48, {}},
    {"member_of_a_raid0", 14, 48, {}},
    {"jbod", 12, 47, {}},
    {"empty_port", 13, 46, {}},
};

class Removals : public LegacyConfiguration, public ::testing::WithParamInterface<RemoveCase> {};

TEST_P(Removals, RulesOfTheOwner) {
    const RemoveCase& c = GetParam();
    EXPECT_EQ(legacy().remove_drive(legacy_drive(c.port)), c.api_code == 0 ? 0 : -1);
    if (c.api_code != 0) {
        EXPECT_EQ(last_error().api_code, c.api_code);
    } else {
        uint8_t status = 0x5A;
        ASSERT_EQ(legacy().get_drive_status(legacy_drive(c.port), &status), 0);
        EXPECT_EQ(status, 0);
    }
    EXPECT_EQ(changes(), c.changes);
}

INSTANTIATE_TEST_SUITE_P(Owners, Removals, ::testing::ValuesIn(kRemovals),
                         [](const auto& info) { return std::string(info.param.name); });

// A member removed from a healthy unit leaves it degraded, its place empty.
TEST_F(LegacyConfiguration, RemovedMemberLeavesAnEmptyPlace) {
    ASSERT_EQ(legacy().remove_drive(legacy_drive(8)), 0);
    EXPECT_EQ(status_of(legacy_unit(3)), 239);
    IdList drives;
    ASSERT_EQ(legacy().get_unit_drive_list(legacy_unit(3), &drives), 0);
    ASSERT_EQ(drives.count, 3u);
    EXPECT_EQ(drives.ids[1].b[2], 0xFF);
    EXPECT_EQ(event_codes(), (std::vector<int>{0x02}));
    // Added again, the drive is free; the unit waits for a rebuild.
    ObjectId drive;
    ASSERT_EQ(legacy().add_drive(legacy_drive(8), &drive), 0);
    ASSERT_EQ(legacy().get_drive_unit(drive, &drive), 0);
    EXPECT_EQ(drive.b[4], 0xFF);
}

// --- Export, import and rescan.

TEST_F(LegacyConfiguration, ExportedUnitComesBackByImport) {
    ASSERT_EQ(legacy().delete_unit(legacy_unit(3), 0, 0), 0);
    EXPECT_EQ(unit_numbers(), (std::vector<int>{1, 2, 4, 5, 6}));
    const IdList drive = drive_list({8});
    IdList units;
    ASSERT_EQ(legacy().import_unit(&drive, 0, &units), 0) << last_error().text;
    ASSERT_EQ(units.count, 1u);
    EXPECT_EQ(units.ids[0].b[4], 3);
    EXPECT_EQ(units.ids[1].b[0], 0xFF);
    EXPECT_EQ(load32(packet_of(commands(0x07).back()) + 8), 1u << 8);
    const IdList again = drive_list({9});
    EXPECT_EQ(legacy().import_unit(&again, 0, &units), -1);
    EXPECT_EQ(last_error().api_code, 41);
}

TEST_F(LegacyConfiguration, ImportChecksEachDrive) {
    struct Case {
        std::vector<uint8_t> ports;
        int32_t api_code;
    };
    const Case cases[] = {
        {{}, 36}, {{13}, 39}, {{4}, 40}, {{0, 0}, 65}, {{0, 10}, 41},
    };
    for (const Case& c : cases) {
        IdList drives;
        std::memset(&drives, 0xFF, sizeof drives);
        drives.count = 0;
        for (uint8_t port : c.ports) drives.ids[drives.count++] = legacy_drive(port);
        IdList units;
        sim::clear_journal();
        EXPECT_EQ(legacy().import_unit(&drives, 0, &units), -1);
        EXPECT_EQ(last_error().api_code, c.api_code);
    }
    IdList drives = drive_list({0, 1});
    drives.ids[1].b[1] = 3;
    IdList units;
    EXPECT_EQ(legacy().import_unit(&drives, 0, &units), -1);
    EXPECT_EQ(last_error().api_code, 38);
}

// Drives that arrived since the controller last looked: a RAID 5 on 3, 4
// and 5 and a blank drive on 6. The rescan adds them, imports the RAID 5
// once, and leaves the blank drive free.
TEST_F(LegacyConfiguration, RescanAddsDrivesAndImportsTheirUnits) {
    use_machine(
        "driver name=dq-xxxx pairing=proc\n"
        "controller index=1 driver=dq-xxxx ports=8\n"
        "  drive port=0\n  drive port=1\n"
        "  drive port=3 added=0\n  drive port=4 added=0\n  drive port=5 added=0\n"
        "  drive port=6 added=0\n"
        "  unit number=0 type=raid1 drives=0,1\n"
        "  unit number=4 type=raid5 drives=3,4,5 foreign=1\n");
    IdList units, free;
    ASSERT_EQ(legacy().rescan_controller(controller_id(kLegacyIndex), 1, &units, &free), 0)
        << last_error().text;
    ASSERT_EQ(units.count, 1u);
    EXPECT_EQ(units.ids[0].b[4], 4);
    for (uint32_t i = 1; i < 128; ++i) ASSERT_EQ(units.ids[i].b[0], 0xFF);
    ASSERT_EQ(free.count, 1u);
    EXPECT_EQ(free.ids[0].b[2], 6);
    std::vector<uint32_t> added;
    for (const sim::JournalEntry& e : commands(0x06)) added.push_back(load32(packet_of(e) + 8));
    EXPECT_EQ(added, (std::vector<uint32_t>{1u << 2, 1u << 3, 1u << 4, 1u << 5, 1u << 6, 1u << 7}));
    std::vector<uint32_t> imported;
    for (const sim::JournalEntry& e : commands(0x07)) imported.push_back(load32(packet_of(e) + 8));
    EXPECT_EQ(imported, (std::vector<uint32_t>{1u << 3, 1u << 6}));
    EXPECT_EQ(os_notices(), (std::vector<std::string>{"scsi add-single-device 1 0 4 0"}));
    EXPECT_EQ(unit_numbers(), (std::vector<int>{0, 4}));

    // Nothing new the second time.
    ASSERT_EQ(legacy().rescan_controller(controller_id(kLegacyIndex), 1, &units, &free), 0);
    EXPECT_EQ(units.count, 0u);
    EXPECT_EQ(free.count, 0u);
}

// --- Restart.

// What the controller holds, as one text: each unit's descriptor, raw
// status and write cache, and each port's drive status.
std::string configuration() {
    std::string out;
    for (int number : unit_numbers()) {
        const ObjectId unit = legacy_unit(uint8_t(number));
        uint8_t descriptor[512], raw = 0, cache = 0xEE;
        EXPECT_EQ(legacy().get_unit_descriptor(unit, descriptor), 0);
        EXPECT_EQ(legacy().get_unit_status_byte(unit, &raw), 0);
        legacy().get_write_cache(unit, &cache);
        out += "unit " + std::to_string(number) + " raw " + std::to_string(raw) + " cache " +
               std::to_string(cache) + " " +
               test_support::hex(std::string(reinterpret_cast<char*>(descriptor), 512)) + "\n";
    }
    for (uint8_t port = 0; port < 16; ++port) {
        uint8_t status = 0x5A;
        EXPECT_EQ(legacy().get_drive_status(legacy_drive(port), &status), 0);
        out += "port " + std::to_string(port) + " " + std::to_string(status) + "\n";
    }
    return out;
}

// A restarted process finds the controller as the last one left it: the
// units made, changed, exported and rebuilt, the drives taken out.
TEST_F(LegacyConfiguration, StateFileKeepsTheUnitsForARestart) {
    const test_support::TempDir dir;
    const std::string machine = "state file=" + dir.file("state") + "\n" + kLegacyMachine;
    use_machine(machine);
    const IdList raid0 = drive_list({0, 1}), spare = drive_list({6});
    ObjectId unit;
    ASSERT_EQ(legacy().create_unit(&raid0, 0, 7, 0, &unit), 0) << last_error().text;
    ASSERT_EQ(legacy().remove_drive(legacy_drive(8)), 0) << last_error().text;
    ASSERT_EQ(legacy().delete_unit(legacy_unit(6), 0, 0), 0);
    ASSERT_EQ(legacy().disable_write_cache(legacy_unit(4)), 0);
    ASSERT_EQ(legacy().rebuild_unit(legacy_unit(1), &spare, 0), 0) << last_error().text;
    const std::string before = configuration();
    EXPECT_NE(before.find("unit 0 "), std::string::npos);

    use_machine(machine);  // a restart
    EXPECT_EQ(configuration(), before);
    // The system starts with the devices of the units it is shown.
    for (const auto& [target, shown] : {std::pair{0, 1}, {2, 0}, {6, 0}}) {
        uint8_t present = 9;
        ASSERT_EQ(library_driver_layer().is_scsi_device_present(1, uint8_t(target), 0, &present),
                  0);
        EXPECT_EQ(present, shown) << target;
    }
    const IdList exported = drive_list({14});
    IdList units;
    ASSERT_EQ(legacy().import_unit(&exported, 0, &units), 0) << last_error().text;
    ASSERT_EQ(units.count, 1u);
    EXPECT_EQ(units.ids[0].b[4], 6);

    use_machine(kLegacyMachine);  // no state file
    EXPECT_EQ(unit_numbers(), (std::vector<int>{1, 2, 3, 4, 5, 6}));
}

}  // namespace
