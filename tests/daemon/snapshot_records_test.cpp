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

// The values an unfilled record shows where they are not 0 or empty: what a
// page shows of a field the library does not report.
TEST(SnapshotRecords, PresetsThatAreNotZero)
{
    const ControllerRecord c;
    EXPECT_EQ(c.controller_index, 255);
    EXPECT_EQ(c.rebuild_rate, 3u);
    EXPECT_EQ(c.verify_rate, 3u);
    EXPECT_EQ(c.spinups_allowed, 128);
    EXPECT_EQ(c.max_active_drives, 64);
    EXPECT_EQ(c.port_count_b, 64);
    EXPECT_EQ(c.max_active_drives_alt, 64);
    EXPECT_EQ(c.max_drives_per_unit, 64);
    EXPECT_EQ(c.port_count, 0);
    EXPECT_EQ(c.max_active_units, 0);
    EXPECT_EQ(c.rebuild_mode, 128);
    EXPECT_EQ(c.verify_mode, 128);
    for (const IdList* list : {&c.units, &c.ports, &c.phys}) {
        EXPECT_EQ(list->count, 0u);
        EXPECT_EQ(list->ids[0].b[0], 0xFF);
    }
    EXPECT_EQ(c.unit_records, nullptr);
    EXPECT_EQ(c.battery, nullptr);

    const UnitRecord u;
    EXPECT_EQ(u.number, 255);
    EXPECT_EQ(u.flags, 127);
    EXPECT_EQ(u.recovery_policy, 3);
    EXPECT_EQ(u.drive_port, 255);
    EXPECT_EQ(u.luns.ids[0].b[0], 0xFF);
    EXPECT_EQ(u.sub_unit_records, nullptr);

    const DriveRecord d;
    EXPECT_EQ(d.port, 255);
    EXPECT_EQ(d.status, 0);
    EXPECT_EQ(d.link_speed_supported, 1);
    EXPECT_EQ(d.link_speed, 1);
    EXPECT_EQ(d.power_on_hours, 65535);
    for (int b = 0; b < 8; b++) {
        EXPECT_EQ(d.unit_id.b[b], 0xFF);
        EXPECT_EQ(d.slot_id.b[b], 0xFF);
        EXPECT_EQ(d.phy_id.b[b], 0xFF);
    }
    for (uint8_t b : d.unit_path) EXPECT_EQ(b, 0xFF);

    const PhyRecord p;
    EXPECT_EQ(p.phy, 255);
    EXPECT_EQ(p.drive_port, 255);
    EXPECT_EQ(p.link_speed_supported, 2);
    EXPECT_EQ(p.link_speed, 0);

    const BatteryRecord b;
    EXPECT_EQ(b.enabled, -1);
    EXPECT_EQ(b.status, 1);
    EXPECT_EQ(b.voltage_status, -1);
    EXPECT_EQ(b.temperature_status, -1);
    EXPECT_STREQ(b.last_capacity_test, "01-Jan-1970");

    const UnitCacheRecord cache;
    EXPECT_EQ(cache.read_cache_mode, 255);
    EXPECT_EQ(cache.write_cache, 255);
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
