// A unit's identify indicator through the public functions: the indicators
// of the enclosure slots that hold its drives, against the simulated SES
// processor.
#include "tests/api/library_machine.h"

namespace {

// 0 family 8: drives 0 to 3 and 5 in the slots of an SES enclosure, drive
// 4 in none; a RAID 5 on 0, 1, 2, a RAID 1 on 3 and 4, a RAID 1 on 5 with
// its second drive missing. 1 family 3 with a RAID 1.
PYV2_LIBRARY_MACHINE(
    "clock mode=virtual\n"
    "driver name=dq-xxxx pairing=proc\n"
    "driver name=dq-sas pairing=sysfs\n"
    "controller index=0 driver=dq-sas arch=8 ports=8\n"
    "  drive port=0 enclosure=0 slot=0\n"
    "  drive port=1 enclosure=0 slot=1\n"
    "  drive port=2 enclosure=0 slot=2\n"
    "  drive port=3 enclosure=0 slot=3\n"
    "  drive port=4\n"
    "  drive port=5 enclosure=0 slot=5\n"
    "  enclosure number=0 type=ses kind=2 slots=6\n"
    "  unit number=0 type=raid5 drives=0,1,2\n"
    "  unit number=1 type=raid1 drives=3,4\n"
    "  unit number=2 type=raid1 drives=5,-\n"
    "controller index=1 driver=dq-xxxx ports=4\n"
    "  drive port=0\n  drive port=1\n"
    "  unit number=0 type=raid1 drives=0,1\n");

ObjectId unit_on(uint8_t index, uint8_t number) {
    ObjectId id;
    ctl_make_unit_id(index, 0xFF, number, 0xFF, 0xFF, &id);
    return id;
}

uint8_t port_indicator(uint8_t port) {
    uint8_t on = 0xEE;
    EXPECT_EQ(ctl_get_port_identify(drive_on(0, port), &on), 0) << last_error().text;
    return on;
}

TEST(UnitIdentify, SwitchesAndReadsTheSlotsOfItsDrives) {
    uint8_t on = 0xEE;
    ASSERT_EQ(ctl_get_unit_identify(unit_on(0, 0), &on), 0) << last_error().text;
    EXPECT_EQ(on, 0);
    ASSERT_EQ(ctl_identify_unit(unit_on(0, 0), 1), 0) << last_error().text;
    EXPECT_EQ(port_indicator(0), 1);
    EXPECT_EQ(port_indicator(1), 1);
    EXPECT_EQ(port_indicator(2), 1);
    EXPECT_EQ(port_indicator(3), 0);
    ASSERT_EQ(ctl_get_unit_identify(unit_on(0, 0), &on), 0);
    EXPECT_EQ(on, 1);

    // One drive's indicator off: the unit's is off.
    ASSERT_EQ(ctl_identify_port(drive_on(0, 1), 0), 0);
    ASSERT_EQ(ctl_get_unit_identify(unit_on(0, 0), &on), 0);
    EXPECT_EQ(on, 0);
    ASSERT_EQ(ctl_identify_unit(unit_on(0, 0), 0), 0);
    EXPECT_EQ(port_indicator(0), 0);

    // The missing member of unit 2 is passed over.
    ASSERT_EQ(ctl_identify_unit(unit_on(0, 2), 1), 0) << last_error().text;
    EXPECT_EQ(port_indicator(5), 1);
    on = 0xEE;
    ASSERT_EQ(ctl_get_unit_identify(unit_on(0, 2), &on), 0);
    EXPECT_EQ(on, 1);
}

// Unit 1's second drive is in no slot: switching stops there, the first
// drive keeps its new state, and reading fails without an answer.
TEST(UnitIdentify, DriveInNoSlotStopsIt) {
    EXPECT_EQ(ctl_identify_unit(unit_on(0, 1), 1), -1);
    EXPECT_EQ(last_error().api_code, 101);
    EXPECT_EQ(port_indicator(3), 1);
    uint8_t on = 0xEE;
    EXPECT_EQ(ctl_get_unit_identify(unit_on(0, 1), &on), -1);
    EXPECT_EQ(last_error().api_code, 101);
    EXPECT_EQ(on, 0xEE);
}

TEST(UnitIdentify, RefusedForOtherKindsAndTheFirstSeries) {
    sim::clear_journal();
    uint8_t on = 0xEE;
    EXPECT_EQ(ctl_identify_unit(drive_on(0, 0), 1), -1);
    EXPECT_EQ(last_error().api_code, 9);
    EXPECT_EQ(ctl_get_unit_identify(controller(0), &on), -1);
    EXPECT_EQ(last_error().api_code, 9);
    EXPECT_EQ(driver_requests(), 0u);
    EXPECT_EQ(ctl_identify_unit(unit_on(1, 0), 1), -1);
    EXPECT_EQ(last_error().api_code, 2);
    EXPECT_EQ(ctl_get_unit_identify(unit_on(1, 0), &on), -1);
    EXPECT_EQ(last_error().api_code, 2);
    EXPECT_EQ(on, 0xEE);
}

}  // namespace
