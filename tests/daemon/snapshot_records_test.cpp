// Snapshot records: what an unfilled record shows, and the release of the
// arrays a record owns (the sanitizer build catches a leak or a double free).
#include "daemon/snapshot_records.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(SnapshotRecords, UnfilledRecordsShowUnknownRatherThanFailed)
{
    UnitRecord unit;
    EXPECT_EQ(unit.status, 17);  // "unknown", never "inoperable"
    EXPECT_EQ(unit.type, -1);
    EXPECT_EQ(unit.identify, 128);
    EXPECT_EQ(unit.sub_units.count, 0u);
    EXPECT_EQ(unit.sub_units.ids[127].b[7], 0xFF);

    BatteryRecord battery;
    EXPECT_STREQ(battery.firmware_version, "0.00.000.000");
    EXPECT_STREQ(battery.installation_date, "01-Jan-1970");
    EXPECT_STREQ(battery.serial_number, "00000000000000000000");

    ControllerRecord controller;
    EXPECT_EQ(controller.family, -1);
    EXPECT_EQ(controller.position, 255);
    EXPECT_EQ(controller.schedule[69], 0xFF);
    EXPECT_STREQ(controller.error_text, "");
}

TEST(SnapshotRecords, ControllerReleasesEverythingAttached)
{
    ControllerRecord* controller = new ControllerRecord[2];
    controller[0].unit_records = new UnitRecord[3];
    // A migrating unit with sub-units that have sub-units of their own.
    controller[0].unit_records[1].sub_unit_records = new UnitRecord[2];
    controller[0].unit_records[1].sub_unit_records[0].sub_unit_records = new UnitRecord[4];
    controller[0].drive_records = new DriveRecord[8];
    controller[0].unit_drive_lists = new IdList[3];
    controller[0].phy_records = new PhyRecord[8];
    controller[0].unit_cache_records = new UnitCacheRecord[3];
    controller[0].battery = new BatteryRecord;
    EXPECT_EQ(controller[0].unit_cache_records[2].read_cache_mode, 255);
    delete[] controller;
}

}  // namespace
