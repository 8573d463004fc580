// Creating units on a second-series controller through the public
// functions: the descriptor list each unit type sends, byte for byte, what
// the controller then reports of the new unit, units carved into LUNs, the
// refusals in the order of their checks, and the operating system's notice.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tests/api/unit_machine.h"
#include "tests/support/param_names.h"

namespace {

using namespace unit_machine;

PYV2_LIBRARY_MACHINE(base_scenario().c_str());

// The create request as the driver must receive it: packet size, the list's
// length, the data mark, then the list.
std::vector<uint8_t> create_request(const std::vector<uint8_t>& list) {
    const uint16_t length = uint16_t(list.size());
    return expected_request(
        264, {0x74, list_words(), 0, 0, 0, 0, uint8_t(length), uint8_t(length >> 8), 1}, list);
}

struct CreateCase {
    const char* name;
    std::vector<uint8_t> ports;
    int32_t type, stripe, group;
    std::vector<uint8_t> list;
    int32_t reported_type;
    uint64_t capacity;
    uint32_t stripe_kib;  // 0: the unit has no stripes (API error 60)
};
PRINT_CASE_BY_NAME(CreateCase)

const CreateCase kCreateCases[] = {
    {"RAID 0", {0, 1}, 0, 7, 0, joined({record(2, 0, 7), drive_record(0), drive_record(1)}), 0,
     2 * kDrive, 64},
    {"RAID 1", {2, 3}, 2, 7, 0, joined({record(2, 2), drive_record(2), drive_record(3)}), 2,
     kDrive, 0},
    {"RAID 5", {4, 5, 6}, 5, 5, 0,
     joined({record(3, 5, 5), drive_record(4), drive_record(5), drive_record(6)}), 5, 2 * kDrive,
     16},
    {"RAID 6",
     {7, 8, 9, 10, 11},
     7,
     9,
     0,
     joined({record(5, 7, 9, 0, 1), record(0, 0x30), drive_record(7), drive_record(8),
             drive_record(9), drive_record(10), drive_record(11)}),
     7,
     3 * kDrive,
     256},
    {"RAID 10",
     {12, 13, 14, 15},
     6,
     7,
     0,
     joined({record(2, 0, 7), record(2, 2), drive_record(12), drive_record(13), record(2, 2),
             drive_record(14), drive_record(15)}),
     6,
     2 * kDrive,
     64},
    // Six drives divide one way only: groups of three, whatever is asked.
    {"RAID 50",
     {16, 17, 18, 19, 20, 21},
     8,
     7,
     4,
     joined({record(2, 0, 0), record(3, 5, 7), drive_record(16), drive_record(17),
             drive_record(18), record(3, 5, 7), drive_record(19), drive_record(20),
             drive_record(21)}),
     8,
     4 * kDrive,
     64},
    {"single disk", {22}, 11, 0, 0, record(0, 11, 0, 22), 11, kDrive, 0},
    {"disk", {23}, 12, 0, 0, record(0, 12, 0, 23), 12, kDrive, 0},
    {"spare", {24}, 13, 0, 0, record(0, 13, 0, 24), 13, kDrive, 0},
    {"JBOD", {25}, 15, 0, 0, record(0, 15, 0, 25), 15, kDrive, 0},
};

class CreateUnit : public ::testing::TestWithParam<CreateCase> {};

TEST_P(CreateUnit, SendsItsListAndReadsBack) {
    const CreateCase& c = GetParam();
    fresh();
    const IdList drives = drive_list(c.ports);
    sim::clear_journal();
    ObjectId unit;
    ASSERT_EQ(ctl_create_unit_grouped(&drives, c.type, c.stripe, 0, &unit, c.group), 0)
        << last_error().text;

    const std::vector<sim::JournalEntry> sent = commands(0x74);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(first_difference(sent[0].sent, create_request(c.list)), -1);
    // The lowest free number; units 20 to 23 are taken.
    EXPECT_EQ(std::memcmp(unit.b, unit_id(0).b, 8), 0);

    int32_t type = -1;
    uint64_t capacity = 0;
    IdList members;
    ASSERT_EQ(ctl_get_unit_type(unit, &type), 0);
    EXPECT_EQ(type, c.reported_type);
    ASSERT_EQ(ctl_get_unit_capacity(unit, &capacity), 0);
    EXPECT_EQ(capacity, c.capacity);
    EXPECT_EQ(status_of(unit), 255);
    ASSERT_EQ(ctl_get_unit_drive_list(unit, &members), 0);
    EXPECT_EQ(ports_of(members), c.ports);
    uint32_t kib = 0;
    if (c.stripe_kib == 0) {
        EXPECT_EQ(ctl_get_stripe_size(unit, &kib), -1);
        EXPECT_EQ(api_error(), 60);
    } else {
        ASSERT_EQ(ctl_get_stripe_size(unit, &kib), 0);
        EXPECT_EQ(kib, c.stripe_kib);
    }
    // Disks and spares are not exposed to the host.
    uint8_t flags = 0;
    ASSERT_EQ(ctl_get_unit_flags(unit, &flags), 0);
    EXPECT_EQ(flags & 1, c.type == 12 || c.type == 13 ? 0 : 1);
    ObjectId holder;
    ASSERT_EQ(ctl_get_drive_unit(drive_on(kCtl, c.ports.back()), &holder), 0);
    EXPECT_EQ(holder.b[4], 0);
}

INSTANTIATE_TEST_SUITE_P(Types, CreateUnit, ::testing::ValuesIn(kCreateCases));

TEST(CreateUnitLuns, SizesBecomeVolumesAndLuns) {
    fresh();
    const IdList drives = drive_list({0, 1});
    ObjectId unit;
    // One LUN of 250,000 KiB: 500,000 sectors from sector 0.
    sim::clear_journal();
    ASSERT_EQ(ctl_create_unit_ex(&drives, 0, 7, 0, &unit, 250000), 0) << last_error().text;
    ASSERT_EQ(commands(0x74).size(), 1u);
    EXPECT_EQ(first_difference(commands(0x74)[0].sent,
                               create_request(joined({record(2, 0, 7), drive_record(0),
                                                      drive_record(1), volume_record(0, 0,
                                                                                     500000)}))),
              -1);
    uint32_t count = 0;
    ASSERT_EQ(ctl_get_lun_count(unit, &count), 0);
    EXPECT_EQ(count, 1u);

    // Two LUNs of 1,000 and 3,000 KiB: the second starts where the first ends.
    const IdList more = drive_list({2, 3});
    const uint64_t sizes[] = {1000, 3000};
    sim::clear_journal();
    ASSERT_EQ(ctl_create_unit_ex2(&more, 0, 7, 0, &unit, sizes, 2), 0) << last_error().text;
    const std::vector<uint8_t> list =
        joined({record(2, 0, 7), drive_record(2), drive_record(3), volume_record(0, 0, 2000),
                volume_record(1, 2000, 6000)});
    ASSERT_EQ(list.size(), 100u);
    EXPECT_EQ(first_difference(commands(0x74)[0].sent, create_request(list)), -1);
    IdList luns;
    ASSERT_EQ(ctl_get_lun_list(unit, &luns), 0);
    ASSERT_EQ(luns.count, 2u);
    uint64_t sectors = 0;
    ASSERT_EQ(ctl_get_lun_capacity(luns.ids[1], &sectors), 0);
    EXPECT_EQ(sectors, 6000u);

    // More LUNs than a list holds (203 records), and a count without sizes.
    std::vector<uint64_t> many(201, 100);
    const IdList others = drive_list({4, 5});
    sim::clear_journal();
    EXPECT_EQ(ctl_create_unit_ex2(&others, 0, 7, 0, &unit, many.data(), 201), -1);
    EXPECT_EQ(api_error(), 122);
    EXPECT_EQ(ctl_create_unit_ex2(&others, 0, 7, 0, &unit, nullptr, 2), -1);
    EXPECT_EQ(api_error(), 122);
    EXPECT_TRUE(commands(0x74).empty());
    ASSERT_EQ(ctl_create_unit_ex2(&others, 0, 7, 0, &unit, many.data(), 200), 0)
        << last_error().text;

    // The LUN list of creation reaches families 6 and up only.
    const IdList oldest = drive_list({0, 1}, kOldest);
    sim::clear_journal();
    EXPECT_EQ(ctl_create_unit_ex2(&oldest, 0, 7, 0, &unit, sizes, 2), -1);
    EXPECT_EQ(api_error(), 2);
    EXPECT_EQ(driver_requests(), 0u);
    ASSERT_EQ(ctl_create_unit_ex(&oldest, 0, 7, 0, &unit, 1000), 0) << last_error().text;
}

struct Refusal {
    const char* name;
    std::vector<std::pair<uint8_t, uint8_t>> drives;  // controller, port
    int32_t type, stripe, group;
    int32_t api_code;
};
PRINT_CASE_BY_NAME(Refusal)

std::vector<std::pair<uint8_t, uint8_t>> on_ctl(std::initializer_list<uint8_t> ports,
                                                uint8_t ctl = kCtl) {
    std::vector<std::pair<uint8_t, uint8_t>> out;
    for (uint8_t port : ports) out.emplace_back(ctl, port);
    return out;
}

const Refusal kRefusals[] = {
    // The feature comes first: a stripe RAID 6 may not have is not looked at.
    {"RAID 6 without the feature", on_ctl({0, 1, 2, 3, 4}, kNoRaid6), 7, 5, 0, 2},
    {"JBOD of a SAS drive", on_ctl({30}), 15, 0, 0, 133},
    {"RAID 1 by its reported code", on_ctl({0, 1}), 1, 0, 0, 33},
    {"type 16", on_ctl({0}), 16, 0, 0, 33},
    {"RAID 10 of five drives", on_ctl({0, 1, 2, 3, 4}), 6, 7, 0, 26},
    {"RAID 6 of four drives", on_ctl({0, 1, 2, 3}), 7, 7, 0, 26},
    {"RAID 1 of three drives", on_ctl({0, 1, 2}), 2, 0, 0, 26},
    {"spare of two drives", on_ctl({0, 1}), 13, 0, 0, 26},
    {"RAID 6 with stripe code 5", on_ctl({0, 1, 2, 3, 4}), 7, 5, 0, 27},
    {"RAID 0 with stripe code 6", on_ctl({0, 1}), 0, 6, 0, 27},
    {"drives of two controllers", {{kCtl, 0}, {kCtl, 1}, {kNoRaid6, 2}}, 5, 7, 0, 28},
    {"a drive twice", on_ctl({0, 1, 0}), 5, 7, 0, 29},
    {"an empty port", on_ctl({0, 45}), 0, 7, 0, 30},
    {"a drive taken out", on_ctl({0, 32}), 0, 7, 0, 30},
    {"a drive with errors", on_ctl({0, 33}), 0, 7, 0, 32},
    {"a member of another unit", on_ctl({0, 34}), 0, 7, 0, 31},
    {"a spare", on_ctl({0, 38}), 0, 7, 0, 31},
    {"twelve drives in groups of five",
     on_ctl({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}),
     8,
     7,
     5,
     35},
};

class CreateRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(CreateRefusal, SendsNothing) {
    const Refusal& r = GetParam();
    fresh();
    const IdList drives = list_of(r.drives);
    sim::clear_journal();
    ObjectId unit;
    EXPECT_EQ(ctl_create_unit_grouped(&drives, r.type, r.stripe, 0, &unit, r.group), -1);
    EXPECT_EQ(api_error(), r.api_code) << last_error().text;
    EXPECT_EQ(command_opcodes(), std::vector<uint8_t>{});
}

INSTANTIATE_TEST_SUITE_P(Checks, CreateRefusal, ::testing::ValuesIn(kRefusals));

TEST(CreateUnitChecks, DiskUnitsGoBeforeALaterRefusal) {
    fresh();
    // Port 37 is DISK unit 21 of its own, port 34 a member of unit 20: the
    // DISK unit is taken apart and stays so when the next drive is refused.
    const IdList drives = drive_list({0, 37, 34});
    sim::clear_journal();
    ObjectId unit;
    EXPECT_EQ(ctl_create_unit(&drives, 5, 7, 0, &unit), -1);
    EXPECT_EQ(api_error(), 31);
    ASSERT_EQ(commands(0x15).size(), 1u);
    EXPECT_EQ(first_difference(commands(0x15)[0].sent,
                               expected_request(264, {0x15, 2, 0, 21, 0, 0, 0, 0x80}, {})),
              -1);
    EXPECT_EQ(unit_numbers(), (std::vector<uint8_t>{20, 22, 23}));
    // A list of more than 128 drives is no list; none at all neither.
    IdList too_many = drive_list({0, 1});
    too_many.count = 129;
    EXPECT_EQ(ctl_create_unit(&too_many, 0, 7, 0, &unit), -1);
    EXPECT_EQ(api_error(), 122);
    EXPECT_EQ(ctl_create_unit(nullptr, 0, 7, 0, &unit), -1);
    EXPECT_EQ(api_error(), 122);
}

TEST(CreateUnitNotice, TheHostSeesExposedUnitsOnly) {
    fresh();
    const IdList mirror = drive_list({2, 3});
    const IdList spare = drive_list({4});
    ObjectId unit, spare_unit;
    sim::clear_journal();
    ASSERT_EQ(ctl_create_unit(&mirror, 2, 0, 1, &unit), 0) << last_error().text;
    ASSERT_EQ(ctl_create_unit(&spare, 13, 0, 1, &spare_unit), 0) << last_error().text;
    std::vector<std::string> writes;
    for (const sim::JournalEntry& e : sim::journal())
        if (e.request == 0) writes.emplace_back(e.sent.begin(), e.sent.end());
    EXPECT_EQ(writes, std::vector<std::string>{"scsi add-single-device 0 0 0 0"});
    const std::vector<std::string> devices = sim::scsi_devices();
    EXPECT_NE(std::find(devices.begin(), devices.end(), "0:0:0:0"), devices.end());

    ASSERT_EQ(ctl_delete_unit(unit, 1), 0) << last_error().text;
    const std::vector<std::string> after = sim::scsi_devices();
    EXPECT_EQ(std::find(after.begin(), after.end(), "0:0:0:0"), after.end());

    // A unit the host cannot be told of is deleted again.
    change_machine(
        "fault call=open path=/proc/scsi/scsi errno=EACCES count=-1\n"
        "fault call=open path=/sys/class/scsi_host/host0/scan errno=EACCES count=-1\n");
    sim::clear_journal();
    EXPECT_EQ(ctl_create_unit(&mirror, 2, 0, 1, &unit), -1);
    EXPECT_EQ(api_error(), 21);
    EXPECT_EQ(command_opcodes(), (std::vector<uint8_t>{0x74, 0x15}));
    EXPECT_EQ(unit_numbers(), (std::vector<uint8_t>{1, 20, 21, 22, 23}));
}

// A new unit whose flags cannot be read is deleted again: the failure
// reported leaves no unit behind.
TEST(CreateUnitNotice, AUnitWhoseFlagsCannotBeReadIsDeletedAgain) {
    fresh();
    const std::vector<uint8_t> before = unit_numbers();
    const IdList mirror = drive_list({2, 3});
    change_machine("fault index=0 opcode=0x52 table=0x300 parameter=3 firmware-code=0x010C\n");
    ObjectId unit;
    EXPECT_EQ(ctl_create_unit(&mirror, 2, 0, 1, &unit), -1);
    EXPECT_EQ(last_error().controller_status, 0x010C) << last_error().text;
    EXPECT_EQ(unit_numbers(), before);
    ObjectId holder;
    ASSERT_EQ(ctl_get_drive_unit(drive_list({2}).ids[0], &holder), 0) << last_error().text;
    EXPECT_EQ(holder.b[4], 0xFF);
}

}  // namespace
