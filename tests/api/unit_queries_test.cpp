// Units, sub-units, LUNs and RAID 6 task records of a second-series
// controller through the public functions, on a simulated controller that
// holds a unit of every type and state.
#include <cstring>
#include <string>
#include <vector>

#include "api/family_router.h"
#include "tests/api/library_machine.h"
#include "tests/support/journal.h"
#include "tests/support/param_names.h"

namespace {

constexpr uint8_t kCtl = 0;     // family 8, firmware level 37
constexpr uint8_t kOlder = 1;   // family 4
constexpr uint64_t kDrive = 1000000;  // sectors of every drive on kCtl

// Drives on ports 0 to 89 of kCtl; a unit of each type and state.
const std::string& unit_machine() {
    static const std::string text = [] {
        std::string s =
            "clock mode=virtual\n"
            "driver name=dq-Mxxx pairing=sysfs\n"
            "controller index=0 driver=dq-Mxxx arch=8 ports=128\n";
        for (int port = 0; port < 90; ++port)
            s += "  drive port=" + std::to_string(port) + " capacity=1000000\n";
        s += "  drive port=93 status=2\n"  // a drive that was removed
             "  unit number=0 type=single drives=0\n"
             "  unit number=1 type=spare drives=1\n"
             "  unit number=2 type=jbod drives=2\n"
             "  unit number=3 type=disk drives=3\n"
             "  unit number=4 type=raid0 drives=4,5 stripe=16\n"
             "  unit number=5 type=raid1 drives=6,7\n"
             "  unit number=6 type=raid5 drives=8,9,10 stripe=64\n"
             "  unit number=7 type=raid6 drives=11,12,13,14 stripe=256\n"
             "  unit number=8 type=raid10 drives=15,16,17,18\n"
             "  unit number=9 type=raid50 drives=19,20,21/22,23,24 stripe=256\n"
             "  unit number=10 type=raid5 drives=25,26,27 from=raid1 from-drives=25,26 "
             "progress=256\n"
             "  unit number=11 type=raid5 drives=28,29,30 status=initializing progress=512\n"
             "  unit number=12 type=raid1 drives=31,32 status=verifying progress=1024\n"
             "  unit number=13 type=raid5 drives=33,-,34\n"
             "  unit number=14 type=raid5 drives=35,36,37 status=degraded member=2\n"
             "  unit number=15 type=raid6 drives=38,-,-,39,40\n"
             "  unit number=16 type=raid0 drives=41,42 luns=3\n"
             "  unit number=17 type=raid0 drives=43,44 lun-sizes=100,-,300 lun-attributes=1,0,7\n"
             "  unit number=18 type=raid10 drives=45,46,47,48\n"
             "  unit number=19 type=raid6 drives=49,50,51,52 status=rebuilding member=3 "
             "progress=768 task-status=degraded task-member=1\n"
             "  unit number=20 type=raid0 drives=53,-\n"
             "  unit number=21 type=raid50 drives=54,55,56,57,58,59 group=3 "
             "status=ok,rebuilding progress=0,512\n"
             // Units whose record lists the tests replace with hostile ones.
             "  unit number=22 type=raid5 drives=60,61,62\n"
             "  unit number=23 type=raid5 drives=63,64,65\n"
             "  unit number=24 type=raid0 drives=66,67\n"
             "controller index=1 driver=dq-Mxxx arch=4 ports=4\n"
             "  drive port=0 capacity=7000 model=\"  SIMDISK S1  \" serial=\"S-1\" "
             "firmware=\"FW 1\"\n"
             "  drive port=1 capacity=7000\n"
             "  unit number=0 type=raid1 drives=0,1\n";
        return s;
    }();
    return text;
}

PYV2_LIBRARY_MACHINE(unit_machine().c_str());

ObjectId unit(uint8_t number, uint8_t level1 = 0xFF, uint8_t level2 = 0xFF,
              uint8_t level3 = 0xFF, uint8_t ctl = kCtl) {
    ObjectId id;
    ctl_make_unit_id(ctl, level3, number, level1, level2, &id);
    return id;
}

ObjectId drive(uint8_t port, uint8_t ctl = kCtl) { return drive_on(ctl, port); }

std::vector<uint8_t> ports_of(const IdList& list) {
    std::vector<uint8_t> ports;
    for (uint32_t i = 0; i < list.count; ++i) ports.push_back(list.ids[i].b[2]);
    return ports;
}

int32_t api_error() { return last_error().api_code; }

// A unit's identifier turned into a task record's or a LUN's, by index.
void expect_indexed(const IdList& list, ObjectId owner, uint8_t kind, uint32_t count) {
    ASSERT_EQ(list.count, count);
    for (uint32_t i = 0; i < count; ++i) {
        ObjectId expected = owner;
        expected.b[0] = kind;
        expected.b[2] = uint8_t(i);
        EXPECT_EQ(std::memcmp(list.ids[i].b, expected.b, 8), 0) << i;
    }
    expect_blank_tail(list);
}

struct Configuration {
    const char* name;
    uint8_t number;
    int32_t type;
    uint8_t status;
    uint64_t capacity;
    uint32_t stripe;  // 0: API error 60
    std::vector<uint8_t> members;
    uint32_t subunits;
    int32_t percent;  // -1: API error 55
};
PRINT_CASE_BY_NAME(Configuration)

const Configuration kConfigurations[] = {
    {"single disk", 0, 11, 255, kDrive, 0, {0}, 0, 0},
    {"spare", 1, 13, 255, kDrive, 0, {1}, 0, 0},
    {"JBOD", 2, 15, 255, kDrive, 0, {2}, 0, 0},
    {"disk", 3, 12, 255, kDrive, 0, {3}, 0, -1},
    {"RAID 0", 4, 0, 255, 2 * kDrive, 16, {4, 5}, 2, 0},
    {"RAID 1", 5, 2, 255, kDrive, 0, {6, 7}, 2, 0},
    {"RAID 5", 6, 5, 255, 2 * kDrive, 64, {8, 9, 10}, 3, 0},
    {"RAID 6", 7, 7, 255, 2 * kDrive, 256, {11, 12, 13, 14}, 4, 0},
    {"RAID 10", 8, 6, 255, 2 * kDrive, 64, {15, 16, 17, 18}, 2, 100},
    {"RAID 50", 9, 8, 255, 4 * kDrive, 256, {19, 20, 21, 22, 23, 24}, 2, 100},
    {"migrating RAID 1 to RAID 5", 10, 32, 175, kDrive, 0, {25, 26, 27}, 2, 25},
    {"initializing RAID 5", 11, 5, 247, 2 * kDrive, 64, {28, 29, 30}, 3, 50},
    {"verifying RAID 1", 12, 2, 251, kDrive, 0, {31, 32}, 2, 100},
    {"RAID 5 missing a drive", 13, 5, 239, 2 * kDrive, 64, {33, 0xFF, 34}, 3, 0},
    {"RAID 5 with a failed drive", 14, 5, 239, 2 * kDrive, 64, {35, 36, 37}, 3, 0},
    {"RAID 6 missing two drives", 15, 7, 239, 3 * kDrive, 64, {38, 0xFF, 0xFF, 39, 40}, 5, 0},
    {"RAID 6 rebuilding", 19, 7, 223, 2 * kDrive, 64, {49, 50, 51, 52}, 4, 75},
    {"RAID 0 missing a drive", 20, 0, 0, 2 * kDrive, 64, {53, 0xFF}, 2, 0},
    {"RAID 50 half rebuilt", 21, 8, 223, 4 * kDrive, 64, {54, 55, 56, 57, 58, 59}, 2, 75},
};

class UnitConfiguration : public ::testing::TestWithParam<Configuration> {};

TEST_P(UnitConfiguration, ReadsAsConfigured) {
    const Configuration& c = GetParam();
    const ObjectId id = unit(c.number);
    int32_t type = -1;
    ASSERT_EQ(ctl_get_unit_type(id, &type), 0) << last_error().text;
    EXPECT_EQ(type, c.type);
    uint8_t status = 1;
    ASSERT_EQ(ctl_get_unit_status(id, &status), 0) << last_error().text;
    EXPECT_EQ(status, c.status);
    uint64_t capacity = 0;
    ASSERT_EQ(ctl_get_unit_capacity(id, &capacity), 0) << last_error().text;
    EXPECT_EQ(capacity, c.capacity);

    uint32_t stripe = 12345;
    if (c.stripe == 0) {
        EXPECT_EQ(ctl_get_stripe_size(id, &stripe), -1);
        EXPECT_STREQ(last_error().text, "(0x0B:0x003C): Invalid stripe size for unit configuration");
        EXPECT_EQ(stripe, 12345u);
    } else {
        ASSERT_EQ(ctl_get_stripe_size(id, &stripe), 0) << last_error().text;
        EXPECT_EQ(stripe, c.stripe);
    }

    IdList drives;
    std::memset(&drives, 0, sizeof drives);
    ASSERT_EQ(ctl_get_unit_drive_list(id, &drives), 0) << last_error().text;
    EXPECT_EQ(ports_of(drives), c.members);
    for (uint32_t i = 0; i < drives.count; ++i) {
        EXPECT_EQ(drives.ids[i].b[0], kKindDrive);
        EXPECT_EQ(drives.ids[i].b[1], kCtl);
    }
    expect_blank_tail(drives);

    // Sub-units of RAID 10, 50 and migrating units; member places of the
    // others, each with its own identifier one level down.
    IdList subunits;
    ASSERT_EQ(ctl_get_subunit_list(id, &subunits), 0);
    EXPECT_EQ(subunits.count, c.subunits);
    for (uint32_t i = 0; i < subunits.count; ++i) {
        EXPECT_EQ(subunits.ids[i].b[3], 2);
        EXPECT_EQ(subunits.ids[i].b[4], c.number);
        EXPECT_EQ(subunits.ids[i].b[5], i);
    }
    expect_blank_tail(subunits);
    uint32_t count = 77;
    ASSERT_EQ(ctl_get_subunit_count(id, &count), 0);
    EXPECT_EQ(count, c.subunits);

    int32_t percent = -5;
    if (c.percent < 0) {
        EXPECT_EQ(ctl_get_percent_complete(id, &percent), -1);
        EXPECT_EQ(api_error(), 55);
    } else {
        ASSERT_EQ(ctl_get_percent_complete(id, &percent), 0) << last_error().text;
        EXPECT_EQ(percent, c.percent);
    }

    // Every unit but its own disks and spares is exposed to the host; bit 2
    // tells an initialised unit.
    uint8_t flags = 0;
    ASSERT_EQ(ctl_get_unit_flags(id, &flags), 0);
    EXPECT_EQ(flags & 1, c.type == 12 || c.type == 13 ? 0 : 1);
    EXPECT_EQ((flags & 4) != 0, c.status != 247);
}

INSTANTIATE_TEST_SUITE_P(Units, UnitConfiguration, ::testing::ValuesIn(kConfigurations));

TEST(UnitQueries, UnitListHoldsTheUnitsPresent) {
    IdList list;
    std::memset(&list, 0, sizeof list);
    ASSERT_EQ(ctl_get_unit_list(controller(kCtl), &list), 0);
    ASSERT_EQ(list.count, 25u);
    for (uint32_t i = 0; i < list.count; ++i) {
        const ObjectId expected = unit(uint8_t(i));
        EXPECT_EQ(std::memcmp(list.ids[i].b, expected.b, 8), 0) << i;
    }
    expect_blank_tail(list);
}

TEST(UnitQueries, MemberPlacesReportTheirOwnState) {
    struct Case {
        ObjectId member;
        uint8_t status;
    };
    const Case cases[] = {
        {unit(13, 0), 255}, {unit(13, 1), 239},  // an empty place: its own 0 counts as 239
        {unit(13, 2), 255}, {unit(14, 1), 255},
        {unit(14, 2), 239},  // present, but named by its unit's state
        {unit(15, 1), 239}, {unit(15, 2), 239},
        {unit(19, 3), 239},  // named by the RAID 6 unit record
        {unit(19, 1), 239},  // named by its task record
        {unit(19, 0), 255}, {unit(19, 2), 255}, {unit(8, 1, 0), 255},
        {unit(20, 0), 255},  // the inoperable RAID 0 names its empty place, not this one
        {unit(20, 1), 239},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.member.b[4]) + "/" + std::to_string(c.member.b[5]));
        int32_t type = -1;
        ASSERT_EQ(ctl_get_unit_type(c.member, &type), 0);
        EXPECT_EQ(type, 12);
        uint8_t status = 1;
        ASSERT_EQ(ctl_get_unit_status(c.member, &status), 0) << last_error().text;
        EXPECT_EQ(status, c.status);
    }
    // A RAID 10 drive sits at depth 3: (unit, sub-unit, member).
    ObjectId holder;
    ASSERT_EQ(ctl_get_drive_unit(drive(18), &holder), 0);
    const ObjectId expected = unit(8, 1, 1);
    EXPECT_EQ(std::memcmp(holder.b, expected.b, 8), 0);
}

TEST(UnitQueries, Raid10StatusMergesItsSubUnits) {
    struct Case {
        const char* statuses;
        uint8_t merged;
    };
    const Case cases[] = {
        {"255,223", 223}, {"251,239", 239}, {"223,191", 191}, {"255,99", 17},
        {"99,255", 255},  {"17,255", 239},  {"175,247", 247}, {"0,239", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.statuses);
        change_machine(std::string("unit index=0 number=18 status=") + c.statuses + "\n");
        uint8_t status = 1;
        ASSERT_EQ(ctl_get_unit_status(unit(18), &status), 0);
        EXPECT_EQ(status, c.merged);
    }
}

TEST(UnitQueries, Raid10PercentageAveragesItsSubUnits) {
    struct Case {
        const char* statuses;
        const char* progress;
        int32_t percent;  // -1: API error 17
    };
    const Case cases[] = {
        {"rebuilding,ok", "512,0", 75},   {"verifying,initializing", "1024,256", 62},
        {"degraded,ok", "512,0", 100},    {"rebuilding,ok", "1025,0", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.statuses) + " " + c.progress);
        change_machine(std::string("unit index=0 number=18 status=") + c.statuses +
                       " progress=" + c.progress + "\n");
        int32_t percent = -5;
        if (c.percent < 0) {
            EXPECT_EQ(ctl_get_percent_complete(unit(18), &percent), -1);
            EXPECT_STREQ(last_error().text, "(0x0B:0x0011): Failed to get percentage complete");
        } else {
            ASSERT_EQ(ctl_get_percent_complete(unit(18), &percent), 0) << last_error().text;
            EXPECT_EQ(percent, c.percent);
        }
    }
}

TEST(UnitQueries, MigratingUnitHasSourceAndDestination) {
    struct Case {
        uint8_t index;
        int32_t type;
        uint64_t capacity;
        std::vector<uint8_t> drives;
    };
    const Case cases[] = {{0, 2, kDrive, {25, 26}}, {1, 5, 2 * kDrive, {25, 26, 27}}};
    for (const Case& c : cases) {
        const ObjectId sub = unit(10, c.index);
        int32_t type = -1;
        ASSERT_EQ(ctl_get_unit_type(sub, &type), 0);
        EXPECT_EQ(type, c.type);
        uint64_t capacity = 0;
        ASSERT_EQ(ctl_get_unit_capacity(sub, &capacity), 0);
        EXPECT_EQ(capacity, c.capacity);
        IdList drives;
        ASSERT_EQ(ctl_get_unit_drive_list(sub, &drives), 0);
        EXPECT_EQ(ports_of(drives), c.drives);
    }
}

TEST(UnitQueries, Raid6TaskRecords) {
    IdList tasks;
    std::memset(&tasks, 0, sizeof tasks);
    ASSERT_EQ(ctl_get_unit_task_list(unit(15), &tasks), 0);
    expect_indexed(tasks, unit(15), kKindTaskRecord, 2);
    uint32_t count = 0xFFFFFFFF;  // all four bytes are written
    ASSERT_EQ(ctl_get_unit_task_count(unit(15), &count), 0);
    EXPECT_EQ(count, 2u);

    // Each task record names the member it concerns: the unit record the
    // first missing one (member 1), the task record the second (member 2).
    for (uint8_t i = 0; i < 2; ++i) {
        uint8_t status = 0;
        ASSERT_EQ(ctl_get_unit_status(tasks.ids[i], &status), 0);
        EXPECT_EQ(status, 239);
        ObjectId member;
        ASSERT_EQ(ctl_get_task_drive(tasks.ids[i], &member), 0) << last_error().text;
        EXPECT_EQ(member.b[0], kKindDrive);
        EXPECT_EQ(member.b[2], 0xFF);  // both places are empty
    }
    // On the rebuilding RAID 6 the unit record names member 3 (port 52),
    // its task record member 1 (port 50).
    IdList rebuilding;
    ASSERT_EQ(ctl_get_unit_task_list(unit(19), &rebuilding), 0);
    ObjectId member;
    ASSERT_EQ(ctl_get_task_drive(rebuilding.ids[0], &member), 0);
    EXPECT_EQ(member.b[2], 52);
    ASSERT_EQ(ctl_get_task_drive(rebuilding.ids[1], &member), 0);
    EXPECT_EQ(member.b[2], 50);
    int32_t percent = 0;
    ASSERT_EQ(ctl_get_percent_complete(rebuilding.ids[0], &percent), 0);
    EXPECT_EQ(percent, 75);
    ASSERT_EQ(ctl_get_percent_complete(unit(19, 3), &percent), 0);
    EXPECT_EQ(percent, 75);
    EXPECT_EQ(ctl_get_percent_complete(unit(19, 2), &percent), -1);
    EXPECT_EQ(api_error(), 112);
    // An OK task record concerns no drive: -1 with the record as it was.
    IdList healthy;
    ASSERT_EQ(ctl_get_unit_task_list(unit(7), &healthy), 0);
    const ErrorRecord before = seed_last_error();
    EXPECT_EQ(ctl_get_task_drive(healthy.ids[1], &member), -1);
    EXPECT_TRUE(same_record(before, last_error()));
    // A task index beyond the unit's task records.
    ObjectId beyond = rebuilding.ids[1];
    beyond.b[2] = 2;
    uint8_t status = 0;
    EXPECT_EQ(ctl_get_unit_status(beyond, &status), -1);

    EXPECT_EQ(ctl_get_unit_task_list(unit(6), &rebuilding), -1);
    EXPECT_EQ(api_error(), 2);
    EXPECT_EQ(rebuilding.count, 0u);
}

TEST(UnitQueries, LunsOfAUnit) {
    IdList luns;
    std::memset(&luns, 0, sizeof luns);
    ASSERT_EQ(ctl_get_lun_list(unit(16), &luns), 0);
    expect_indexed(luns, unit(16), kKindLun, 3);
    for (uint8_t i = 0; i < 3; ++i) {
        uint64_t sectors = 0;
        ASSERT_EQ(ctl_get_lun_capacity(luns.ids[i], &sectors), 0);
        EXPECT_EQ(sectors, 2 * kDrive / 3);
    }
    uint32_t count = 0;
    ASSERT_EQ(ctl_get_lun_count(unit(16), &count), 0);
    EXPECT_EQ(count, 3u);
    uint8_t unit_luns = 0;
    ASSERT_EQ(ctl_get_unit_lun_count(unit(16), &unit_luns), 0);
    EXPECT_EQ(unit_luns, 3);

    // Entries not in use are left out and refused by index.
    ASSERT_EQ(ctl_get_lun_list(unit(17), &luns), 0);
    ASSERT_EQ(luns.count, 2u);
    EXPECT_EQ(luns.ids[0].b[2], 0);
    EXPECT_EQ(luns.ids[1].b[2], 2);
    struct Case {
        uint8_t index;
        uint64_t sectors;
        uint8_t attribute;  // 0 with sectors 0: API error 108
    };
    for (const Case& c : {Case{0, 100, 1}, Case{2, 300, 7}, Case{1, 0, 0}, Case{3, 0, 0}}) {
        SCOPED_TRACE(int(c.index));
        ObjectId lun = luns.ids[0];
        lun.b[2] = c.index;
        uint64_t sectors = 9;
        uint8_t attribute = 9;
        if (c.sectors == 0) {
            EXPECT_EQ(ctl_get_lun_capacity(lun, &sectors), -1);
            EXPECT_STREQ(last_error().text, "(0x0B:0x006C): Invalid lun ID");
            EXPECT_EQ(ctl_get_lun_attribute(lun, &attribute), -1);
            EXPECT_EQ(sectors, 9u);
            continue;
        }
        ASSERT_EQ(ctl_get_lun_capacity(lun, &sectors), 0);
        EXPECT_EQ(sectors, c.sectors);
        ASSERT_EQ(ctl_get_lun_attribute(lun, &attribute), 0);
        EXPECT_EQ(attribute, c.attribute);
    }
}

// The sizes of the LUN table reads (unit 16's table 0x310, parameter 25):
// the firmware answers only a read of the whole table.
std::vector<uint16_t> lun_table_reads() {
    std::vector<uint16_t> sizes;
    for (const sim::JournalEntry& e : requests(264)) {
        if (e.sent.size() < 1544 || e.sent[512 + 128] != 0x52) continue;
        const SentBlock b = sent_block(e);
        if ((b.table & 0x7FFF) == 0x310 && b.id == 25) sizes.push_back(b.size);
    }
    return sizes;
}

TEST(UnitQueries, LunCountsAtTheirLimits) {
    // 65 LUNs fill the table; the list names the first 64. A unit with more
    // has the table's room read and entries 0 to 63 listed; a unit with none
    // is an error of its own, and its table is not read.
    IdList luns;
    for (int count : {65, 70, 255}) {
        SCOPED_TRACE(count);
        change_machine("unit index=0 number=16 luns=" + std::to_string(count) + "\n");
        sim::clear_journal();
        ASSERT_EQ(ctl_get_lun_list(unit(16), &luns), 0) << last_error().text;
        expect_indexed(luns, unit(16), kKindLun, 64);
        EXPECT_EQ(lun_table_reads(), std::vector<uint16_t>{uint16_t(count * 20)});
        // A LUN beyond the 64 listed is not one of the unit's entries.
        uint64_t sectors = 0;
        ObjectId last = luns.ids[63];
        ASSERT_EQ(ctl_get_lun_capacity(last, &sectors), 0) << last_error().text;
        last.b[2] = 65;
        EXPECT_EQ(ctl_get_lun_capacity(last, &sectors), -1);
        EXPECT_EQ(api_error(), 108);
    }
    change_machine("unit index=0 number=16 luns=0\n");
    sim::clear_journal();
    EXPECT_EQ(ctl_get_lun_list(unit(16), &luns), -1);
    EXPECT_STREQ(last_error().text, "(0x0B:0x006B): Unit has no luns");
    EXPECT_TRUE(lun_table_reads().empty());
    change_machine("unit index=0 number=16 luns=3\n");
}

TEST(UnitQueries, SubUnitFlagsNeedNoController) {
    sim::clear_journal();
    uint8_t flags = 0;
    ASSERT_EQ(ctl_get_unit_flags(unit(8, 1), &flags), 0);
    EXPECT_EQ(flags, 127);
    EXPECT_EQ(driver_requests(), 0u);
}

TEST(UnitQueries, MissingUnitsAndPlaces) {
    // An absent unit: "No unit" before anything is read beyond the map.
    sim::clear_journal();
    int32_t type = 0;
    EXPECT_EQ(ctl_get_unit_type(unit(30), &type), -1);
    EXPECT_STREQ(last_error().text, "(0x0B:0x003F): No unit");
    EXPECT_EQ(driver_requests(), 1u);
    // A place the unit does not have: -1 and nothing recorded of its own.
    for (const ObjectId& id : {unit(6, 3), unit(8, 2), unit(8, 0, 2), unit(0, 0)}) {
        const ErrorRecord before = seed_last_error();
        EXPECT_EQ(ctl_get_unit_type(id, &type), -1);
        EXPECT_TRUE(same_record(before, last_error()));
    }
    EXPECT_EQ(family_router().check_unit_id(unit(6, 2)), 0);
    EXPECT_EQ(family_router().check_unit_id(unit(6, 3)), -1);
}

TEST(UnitQueries, HostileRecordListsAreRefused) {
    struct Case {
        const char* name;
        uint8_t port;  // a drive of the unit
        const char* lines;
        const char* error;
        bool records_read;
    };
    const Case cases[] = {
        {"more records than the buffer holds", 60,
         "param index=0 table=0x316 id=9 value=u16:195\n",
         "(0x0B:0x0074): User buffer is too small", false},
        {"records of another size", 63, "param index=0 table=0x317 id=10 value=u8:19\n",
         "(0x0B:0x000D): Retrieving unit descriptor", false},
        // Five RAID 0 records each holding the next, then the drive's
        // place: the tree goes past its fourth level.
        {"nesting past four levels", 66,
         "param index=0 table=0x318 id=9 value=u16:6\n"
         "param index=0 table=0x318 id=11 value=hex:"
         "0100000000ff0000000000000000000000000000"
         "0100000000ff0000000000000000000000000000"
         "0100000000ff0000000000000000000000000000"
         "0100000000ff0000000000000000000000000000"
         "0100000000ff0000000000000000000000000000"
         "000c000042ff0000000000000000000000000000\n",
         "(0x0B:0x000D): Retrieving unit descriptor", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        change_machine(c.lines);
        sim::clear_journal();
        ObjectId holder;
        EXPECT_EQ(ctl_get_drive_unit(drive(c.port), &holder), -1);
        EXPECT_STREQ(last_error().text, c.error);
        bool read = false;
        for (const sim::JournalEntry& e : requests(264)) {
            const SentBlock block = sent_block(e);
            read = read || ((block.table & 0xFF00) == 0x8300 && block.id == 11);
        }
        EXPECT_EQ(read, c.records_read);
    }
}

}  // namespace
