// Unit records, unit drive lists, cache settings and the counts over units,
// filled from a simulated family-8 controller whose units each test lays out
// afresh: RAID 6 units in every state of their task records, nested and
// migrating units, failing reads and lists longer than their room.
#include <gtest/gtest.h>

#include <string>

#include "api/ctl.h"
#include "tests/api/library_machine.h"
#include "tests/daemon/context_fixture.h"

namespace {

constexpr char kBase[] =
    "clock mode=virtual\n"
    "driver name=dq-sas pairing=sysfs\n"
    "controller index=0 driver=dq-sas arch=8 ports=16 task-seconds=100000\n"
    "  drive port=0\n  drive port=1\n  drive port=2\n  drive port=3\n"
    "  drive port=4\n  drive port=5\n  drive port=6\n  drive port=7\n"
    "  drive port=8\n  drive port=9\n  drive port=10\n  drive port=11\n"
    "  drive port=12\n  drive port=13\n";

PYV2_LIBRARY_MACHINE(kBase);

// The statuses of unit records.
constexpr uint8_t kOk = 255, kVerifying = 251, kDegraded = 239, kRebuilding = 223, kUnknown = 17;

class UnitFillTest : public ContextFixture {
  protected:
    // The controller with the given unit lines, its record filled.
    void lay_out(const std::string& units) {
        reload_scenario(std::string(kBase) + units);
        ASSERT_EQ(context_->fill_controller(0, controller(0), &controller_), 0);
        ASSERT_EQ(controller_.family, 8);
    }

    ObjectId unit(uint8_t number, uint8_t level1 = 0xFF, uint8_t level2 = 0xFF) {
        ObjectId id;
        EXPECT_EQ(ctl_make_unit_id(0, 0xFF, number, level1, level2, &id), 0);
        return id;
    }

    // A fresh fill of one unit.
    void fill(uint8_t number, int recursion = 0) {
        context_->fill_unit(unit(number), &record_, recursion, &controller_);
    }

    // Every GET PARAMETER of a unit table fails from now on.
    void fail_reads_of(const char* table) {
        change_machine(std::string("fault index=0 opcode=0x52 table=") + table +
                       " firmware-code=0x010C count=-1\n");
    }
    void TearDown() override {
        change_machine("clear-faults\n");
        ContextFixture::TearDown();
    }

    ControllerRecord controller_;
    UnitRecord record_;
};

TEST_F(UnitFillTest, Raid6UnitAnswersFromItsTaskRecords) {
    struct Case {
        const char* layout;
        int is_ok, has_rebuilding, has_degraded, has_verifying, redundancy_left;
        int rebuild_percent, task_percent;
    };
    const Case cases[] = {
        // Every task record OK.
        {"", 1, 0, 0, 0, 1, 0, 0},
        // One of the two rebuilding: still redundant.
        {"task-status=rebuilding task-member=1 task-progress=512", 0, 1, 0, 0, 1, 50, 0},
        // Both rebuilding: the average of their progress.
        {"status=rebuilding member=0 progress=256 task-status=rebuilding task-member=1 "
         "task-progress=768",
         0, 1, 0, 0, 0, 50, 0},
        // Both degraded: no redundancy left.
        {"status=degraded member=0 task-status=degraded task-member=1", 0, 0, 1, 0, 0, 0, 0},
        // A verify on the unit's own record.
        {"status=verifying progress=256", 0, 0, 0, 1, 1, 0, 25},
        // The average of 25 % and 50 % in whole percent.
        {"status=rebuilding member=0 progress=256 task-status=rebuilding task-member=1 "
         "task-progress=512",
         0, 1, 0, 0, 0, 37, 0},
        // Two records at work: the last one's progress is shown.
        {"status=verifying progress=256 task-status=initializing task-progress=512", 0, 0, 0, 1,
         1, 0, 50},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.layout);
        lay_out(std::string("  unit number=0 type=raid6 drives=0,1,2,3 ") + c.layout + "\n");
        fill(0);
        EXPECT_EQ(record_.type, 7);
        EXPECT_EQ(record_.task_count, 2);
        // The unit's own status is not read: it stays "unknown".
        EXPECT_EQ(record_.status, kUnknown);
        EXPECT_EQ(record_.has_unknown, 0);
        EXPECT_EQ(record_.has_inoperable, 0);
        EXPECT_EQ(record_.is_ok, c.is_ok);
        EXPECT_EQ(record_.has_rebuilding, c.has_rebuilding);
        EXPECT_EQ(record_.has_degraded, c.has_degraded);
        EXPECT_EQ(record_.has_verifying, c.has_verifying);
        EXPECT_EQ(record_.redundancy_left, c.redundancy_left);
        EXPECT_EQ(record_.rebuild_percent, c.rebuild_percent);
        EXPECT_EQ(record_.task_percent, c.task_percent);
        EXPECT_EQ(record_.rebuild_task_info, c.has_rebuilding);
        EXPECT_EQ(record_.drive_port, 255);
    }
}

TEST_F(UnitFillTest, Raid6DriveListHoldsItsDrivesOnly) {
    lay_out(
        "  unit number=0 type=raid6 drives=0,1,2,3 task-status=degraded task-member=2\n"
        "  unit number=1 type=spare drives=4\n");
    IdList lists[2];
    EXPECT_EQ(context_->fill_unit_drive_lists(controller_.units, lists), 0);
    ASSERT_EQ(lists[0].count, 4u);
    for (uint32_t i = 0; i < 4; i++) {
        EXPECT_EQ(lists[0].ids[i].b[0], kKindDrive);
        EXPECT_EQ(lists[0].ids[i].b[2], i);
    }
    expect_blank_tail(lists[0]);
    ASSERT_EQ(lists[1].count, 1u);
    EXPECT_EQ(lists[1].ids[0].b[2], 4);
}

TEST_F(UnitFillTest, OwnStatusOfOtherUnits) {
    lay_out(
        "  unit number=0 type=raid5 drives=0,1,2 status=degraded member=2\n"
        "  unit number=1 type=raid1 drives=3,4 status=rebuilding member=1 progress=256\n"
        "  unit number=2 type=raid0 drives=5,6 status=initializing progress=512\n"
        "  unit number=3 type=raid1 drives=7,8 status=inoperable\n"
        "  unit number=4 type=single drives=9\n"
        "  unit number=5 type=spare drives=10\n");
    struct Expected {
        int type;
        uint8_t status;
        int redundancy_left, rebuild_percent, task_percent, drive_port;
    };
    const Expected expected[] = {
        {5, kDegraded, 0, 0, 0, 255}, {2, kRebuilding, 0, 25, 0, 255}, {0, 247, 1, 0, 50, 255},
        {2, 0, 1, 0, 0, 255},         {11, kOk, 1, 0, 0, 9},           {13, kOk, 1, 0, 0, 10},
    };
    ASSERT_EQ(controller_.units.count, 6u);
    UnitRecord records[6];
    EXPECT_EQ(context_->fill_units(controller_.units, records, &controller_, 0), 0);
    for (int i = 0; i < 6; i++) {
        SCOPED_TRACE(i);
        const UnitRecord& r = records[i];
        EXPECT_EQ(r.number, i);
        EXPECT_EQ(r.type, expected[i].type);
        EXPECT_EQ(r.status, expected[i].status);
        EXPECT_EQ(r.redundancy_left, expected[i].redundancy_left);
        EXPECT_EQ(r.rebuild_percent, expected[i].rebuild_percent);
        EXPECT_EQ(r.task_percent, expected[i].task_percent);
        EXPECT_EQ(r.drive_port, expected[i].drive_port);
        EXPECT_EQ(r.is_ok, expected[i].status == kOk);
        EXPECT_EQ(r.has_inoperable, expected[i].status == 0);
        // Without recursion only a migrating unit's sub-units are filled.
        EXPECT_EQ(r.sub_unit_records, nullptr);
    }
    EXPECT_EQ(records[1].has_rebuilding, 1);
    EXPECT_EQ(records[2].has_initializing, 1);
    EXPECT_EQ(records[0].has_degraded, 1);
}

TEST_F(UnitFillTest, FailedReadsShowUnknownNeverInoperable) {
    lay_out("  unit number=0 type=raid5 drives=0,1,2\n");
    fail_reads_of("0x300");
    fill(0);
    EXPECT_EQ(record_.status, kUnknown);
    EXPECT_EQ(record_.type, -1);
    EXPECT_EQ(record_.identify, 128);
    EXPECT_EQ(record_.has_unknown, 1);
    EXPECT_EQ(record_.has_inoperable, 0);
    EXPECT_EQ(record_.is_ok, 0);
    EXPECT_EQ(record_.number, 0);
    EXPECT_EQ(record_.drive_port, 255);
    EXPECT_EQ(record_.sub_units.count, 0u);
    EXPECT_EQ(record_.sub_units.ids[0].b[0], 0xFF);

    // A drive list that cannot be read is empty, not what the array held.
    IdList lists[1];
    lists[0].count = 99;
    context_->fill_unit_drive_lists(controller_.units, lists);
    EXPECT_EQ(lists[0].count, 0u);
}

TEST_F(UnitFillTest, NestedUnitsToTheDeepestLevel) {
    // A RAID 1 being migrated to a RAID 10: sub-unit 0 the mirror left, sub-unit
    // 1 the RAID 10 built, whose mirrors hold its drives four levels down.
    lay_out("  unit number=0 type=raid10 drives=0,1/2,3 from=raid1 from-drives=0,1 progress=512\n");
    fill(0, 1);
    EXPECT_EQ(record_.type, 32);
    EXPECT_EQ(record_.has_migrating, 1);
    EXPECT_EQ(record_.task_percent, 50);
    ASSERT_EQ(record_.sub_units.count, 2u);
    ASSERT_NE(record_.sub_unit_records, nullptr);
    const UnitRecord& left = record_.sub_unit_records[0];
    const UnitRecord& built = record_.sub_unit_records[1];
    EXPECT_EQ(left.type, 2);
    EXPECT_EQ(built.type, 6);
    EXPECT_EQ(left.number, 0);
    EXPECT_EQ(built.number, 1);
    ASSERT_EQ(built.sub_units.count, 2u);
    ASSERT_NE(built.sub_unit_records, nullptr);
    const UnitRecord& mirror = built.sub_unit_records[1];
    EXPECT_EQ(mirror.id.b[3], 3);
    ASSERT_EQ(mirror.sub_units.count, 2u);
    ASSERT_NE(mirror.sub_unit_records, nullptr);
    const UnitRecord& member = mirror.sub_unit_records[1];
    EXPECT_EQ(member.id.b[3], 4);
    EXPECT_EQ(member.number, 1);
    EXPECT_EQ(member.drive_port, 3);
    EXPECT_EQ(member.sub_unit_records, nullptr);

    // Without recursion the migrating unit's two sub-units are still filled,
    // but not theirs.
    fill(0, 0);
    ASSERT_NE(record_.sub_unit_records, nullptr);
    EXPECT_EQ(record_.sub_unit_records[1].type, 6);
    EXPECT_EQ(record_.sub_unit_records[1].sub_unit_records, nullptr);
}

TEST_F(UnitFillTest, RefillingARecordReplacesItsSubUnits) {
    lay_out("  unit number=0 type=raid50 drives=0,1,2,3,4,5 group=3\n");
    fill(0, 1);
    ASSERT_EQ(record_.sub_units.count, 2u);
    ASSERT_NE(record_.sub_unit_records, nullptr);
    EXPECT_EQ(record_.sub_unit_records[0].sub_units.count, 3u);
    // The handlers fill the page's units without recursion, then one of them
    // again with it; the sanitizer build finds a leak of the first fill's
    // sub-units.
    UnitRecord records[1];
    context_->fill_units(controller_.units, records, &controller_, 1);
    context_->fill_units(controller_.units, records, &controller_, 1);
    context_->fill_unit(controller_.units.ids[0], &records[0], 0, &controller_);
    EXPECT_EQ(records[0].sub_unit_records, nullptr);
    EXPECT_EQ(records[0].type, 8);
}

TEST_F(UnitFillTest, CountsLeaveOutSpares) {
    lay_out(
        "  unit number=0 type=raid5 drives=0,1,2\n"
        "  unit number=1 type=raid1 drives=3,-\n"
        "  unit number=2 type=spare drives=4\n"
        "  unit number=3 type=raid6 drives=5,6,7,8\n");
    const uint32_t n = controller_.units.count;
    ASSERT_EQ(n, 4u);
    controller_.unit_records = new UnitRecord[n];
    controller_.unit_drive_lists = new IdList[n];
    context_->fill_units(controller_.units, controller_.unit_records, &controller_, 0);
    context_->fill_unit_drive_lists(controller_.units, controller_.unit_drive_lists);
    EXPECT_EQ(context_->count_drives_in_units(&controller_), 0);
    EXPECT_EQ(context_->count_active_units(&controller_), 0);
    // The degraded mirror's empty place counts as one of its entries.
    EXPECT_EQ(controller_.configured_drives, 3 + 2 + 4);
    EXPECT_EQ(controller_.active_units, 3);
}

TEST_F(UnitFillTest, NoUnits) {
    lay_out("");
    EXPECT_EQ(controller_.units.count, 0u);
    EXPECT_EQ(controller_.unit_list_count, 0);
    EXPECT_EQ(context_->fill_units(controller_.units, nullptr, &controller_, 1), 0);
    EXPECT_EQ(context_->fill_unit_drive_lists(controller_.units, nullptr), 0);
    EXPECT_EQ(context_->fill_unit_cache_settings(controller_.units, nullptr), 0);
    controller_.configured_drives = 5;
    EXPECT_EQ(context_->count_drives_in_units(&controller_), 0);
    EXPECT_EQ(context_->count_active_units(&controller_), 0);
    EXPECT_EQ(controller_.configured_drives, 0);
    EXPECT_EQ(controller_.active_units, 0);
}

TEST_F(UnitFillTest, CacheSettings) {
    lay_out(
        "  unit number=0 type=raid5 drives=0,1,2 read-cache=basic write-cache=0\n"
        "  unit number=1 type=raid1 drives=3,4 read-cache=off\n");
    UnitCacheRecord records[2];
    EXPECT_EQ(context_->fill_unit_cache_settings(controller_.units, records), 0);
    EXPECT_EQ(records[0].read_cache_mode, 1);
    EXPECT_EQ(records[0].write_cache, 0);
    EXPECT_EQ(records[1].read_cache_mode, 0);
    EXPECT_EQ(records[1].write_cache, 1);

    // Settings that cannot be read stay unknown.
    fail_reads_of("0x301");
    UnitCacheRecord again[2];
    context_->fill_unit_cache_settings(controller_.units, again);
    EXPECT_EQ(again[0].read_cache_mode, 1);
    EXPECT_EQ(again[1].read_cache_mode, 255);
    EXPECT_EQ(again[1].write_cache, 255);
}

TEST_F(UnitFillTest, ListsLongerThanTheirRoomStopAtIt) {
    lay_out(
        "  unit number=0 type=raid1 drives=0,1\n"
        "  unit number=1 type=spare drives=2\n");
    // A list whose count the library got wrong: every array is sized by the
    // room, and the sanitizer build catches a write past it.
    IdList units = controller_.units;
    units.count = 100000;
    UnitRecord* records = new UnitRecord[128];
    IdList* lists = new IdList[128];
    UnitCacheRecord* caches = new UnitCacheRecord[128];
    EXPECT_EQ(context_->fill_units(units, records, &controller_, 1), 0);
    EXPECT_EQ(context_->fill_unit_drive_lists(units, lists), 0);
    EXPECT_EQ(context_->fill_unit_cache_settings(units, caches), 0);
    EXPECT_EQ(records[0].type, 2);
    EXPECT_EQ(records[1].type, 13);
    EXPECT_EQ(records[127].type, -1);
    EXPECT_EQ(records[127].status, kUnknown);
    EXPECT_EQ(lists[0].count, 2u);
    EXPECT_EQ(lists[127].count, 0u);
    delete[] caches;

    // The counts over units stop at the room of each list too.
    for (int i = 0; i < 128; i++) lists[i].count = 5000;
    controller_.units.count = 4000;
    controller_.unit_records = records;
    controller_.unit_drive_lists = lists;
    context_->count_drives_in_units(&controller_);
    context_->count_active_units(&controller_);
    EXPECT_EQ(controller_.configured_drives, 127 * 128);
    EXPECT_EQ(controller_.active_units, 127);

    // A list marked as holding nothing usable, with nothing attached.
    units.count = static_cast<uint32_t>(-888);
    EXPECT_EQ(context_->fill_units(units, nullptr, &controller_, 1), 0);
    EXPECT_EQ(context_->fill_unit_drive_lists(units, nullptr), 0);
    EXPECT_EQ(context_->fill_unit_cache_settings(units, nullptr), 0);
    EXPECT_EQ(context_->fill_drives(units, nullptr, &controller_, 1), 0);
    EXPECT_EQ(context_->fill_phys(units, nullptr, -1), 0);
}

}  // namespace
