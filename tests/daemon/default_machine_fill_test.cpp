// Every snapshot fill on the default simulated machine: a first-series
// controller (1), a family-6 controller (2) and a family-8 SAS controller
// with phys (3), as a newcomer sees them.
#include <gtest/gtest.h>

#include <string>

#include "api/ctl.h"
#include "sim/sim.h"
#include "tests/daemon/context_fixture.h"

namespace {

class DefaultMachineFillTest : public ContextFixture {
  protected:
    void SetUp() override {
        ContextFixture::SetUp();
        clear_id_list(list_);
        list_.count = 77;
        ASSERT_EQ(list_controllers(&list_), 0);
        ASSERT_EQ(list_.count, 3u);
        ASSERT_EQ(context_->fill_controllers(list_, records_), 0);
    }

    // The controller's units, attached and filled as the unit page does.
    void fill_units(ControllerRecord* c, int recursion) {
        const uint32_t n = c->units.count;
        c->unit_records = new UnitRecord[n];
        c->unit_drive_lists = new IdList[n];
        c->unit_cache_records = new UnitCacheRecord[n];
        EXPECT_EQ(context_->fill_units(c->units, c->unit_records, c, recursion), 0);
        EXPECT_EQ(context_->fill_unit_drive_lists(c->units, c->unit_drive_lists), 0);
        EXPECT_EQ(context_->fill_unit_cache_settings(c->units, c->unit_cache_records), 0);
        EXPECT_EQ(context_->count_drives_in_units(c), 0);
        EXPECT_EQ(context_->count_active_units(c), 0);
    }

    void fill_drives(ControllerRecord* c, int detail) {
        c->drive_records = new DriveRecord[c->ports.count];
        EXPECT_EQ(context_->fill_drives(c->ports, c->drive_records, c, detail), 0);
    }

    ControllerIdList list_;
    ControllerRecord records_[3];
};

TEST_F(DefaultMachineFillTest, Controllers) {
    struct Expected {
        int index, family;
        const char *model, *serial, *driver;
        int memory, bus_info, ports, phys, port_count, max_active_drives, max_active_units;
        int configured_drives, connection_count, extended, firmware_level, task_mode;
    };
    const Expected expected[] = {
        {1, 3, "QX-2400-12", "L1A0000001", "1.26.02.002", 2 << 20, 0, 12, 0, 0, 64, 0, 0, 0, 0, 0, 0},
        {2, 6, "QX-6200-8", "M2B0000002", "3.26.02.000", 224 << 20, 0x44, 8, 0, 0, 64, 0, 0, 0, 0, 0, 0},
        {3, 8, "QX-8800-4i", "S3C0000003", "3.26.02.000", 512 << 20, 0x2200, 8, 8, 8, 128, 32, 7, 8, 1, 1,
         1},
    };
    for (int i = 0; i < 3; i++) {
        SCOPED_TRACE(i);
        const ControllerRecord& r = records_[i];
        const Expected& e = expected[i];
        EXPECT_STREQ(r.error_text, "");
        EXPECT_EQ(r.position, i);
        EXPECT_EQ(r.controller_index, e.index);
        EXPECT_EQ(r.family, e.family);
        EXPECT_STREQ(r.model, e.model);
        EXPECT_STREQ(r.serial_number, e.serial);
        EXPECT_STREQ(r.driver_version, e.driver);
        EXPECT_EQ(r.memory_size, e.memory);
        EXPECT_EQ(r.bus_info, e.bus_info);
        EXPECT_EQ(r.units.count, 3u);
        EXPECT_EQ(r.unit_list_count, 3);
        EXPECT_EQ(r.ports.count, uint32_t(e.ports));
        EXPECT_EQ(r.port_list_count, e.ports);
        EXPECT_EQ(r.phys.count, uint32_t(e.phys));
        EXPECT_EQ(r.phy_count, e.phys);
        EXPECT_EQ(r.port_count, e.port_count);
        EXPECT_EQ(r.max_active_drives, e.max_active_drives);
        EXPECT_EQ(r.max_active_units, e.max_active_units);
        EXPECT_EQ(r.configured_drives, e.configured_drives);
        EXPECT_EQ(r.connection_count, e.connection_count);
        EXPECT_EQ(r.extended_device_info, e.extended);
        EXPECT_EQ(r.firmware_level, e.firmware_level);
        EXPECT_EQ(r.task_mode_supported, e.task_mode);
        // The modes are read only where the controller has them.
        EXPECT_EQ(r.rebuild_mode, e.task_mode ? 0 : 128);
        EXPECT_EQ(r.rebuild_rate, 3u);
        EXPECT_EQ(r.raid6_allowed, e.family > 3);
        EXPECT_EQ(r.carve_size_gb, 0u);
    }
    EXPECT_STREQ(records_[0].bios_version, "BE7X 1.08.00.016");
    EXPECT_STREQ(records_[0].boot_loader_version, "BL7X 1.01.00.004");
    EXPECT_STREQ(records_[2].firmware_version, "FH9X 4.10.00.027");
    // No schedule on the first series: it keeps "no task" everywhere; the
    // second series reports its slots (no task, no duration).
    for (int b = 0; b < 70; b++) ASSERT_EQ(records_[0].schedule[b], 0xFF) << b;
    EXPECT_EQ(records_[2].schedule[0], 0xFF);
    EXPECT_EQ(records_[2].schedule[4], 0x00);
    // The phys of the SAS controller, in order.
    for (uint32_t p = 0; p < 8; p++) EXPECT_EQ(records_[2].phys.ids[p].b[2], p);
}

TEST_F(DefaultMachineFillTest, ControllerThatIsNotThere) {
    ObjectId absent;
    ASSERT_EQ(ctl_make_controller_id(9, &absent), 0);
    ControllerRecord record;
    EXPECT_EQ(context_->fill_controller(4, absent, &record), 1);
    EXPECT_EQ(record.position, 4);
    EXPECT_EQ(record.controller_index, 9);
    EXPECT_EQ(record.family, -1);
    EXPECT_STREQ(record.model, "");
    EXPECT_EQ(record.units.count, 0u);
    // The library records no reason for a family it does not know: the
    // page shows that the controller could not be read, not the reason an
    // earlier read of another controller left behind.
    EXPECT_STREQ(record.error_text, "Controller could not be read");

    // In the configured language, from the configured message directory; a
    // message file without the text falls back to English.
    ASSERT_TRUE(test_support::write_file(dir_.file("pyv2.conf"),
                                         "MsgPath " + dir_.path() + "\nLanguage 1\n"));
    ASSERT_EQ(config_->read_file(), 0);
    ASSERT_TRUE(
        test_support::write_file(dir_.file("wox_msg_de"), "#0x13:1\n0x0000:\"Abmelden?\"\n"));
    ControllerRecord fallback;
    EXPECT_EQ(context_->fill_controller(4, absent, &fallback), 1);
    EXPECT_STREQ(fallback.error_text, "Controller could not be read");
    ASSERT_TRUE(test_support::write_file(dir_.file("wox_msg_de"),
                                         "#0x13:1\n0x0252:\"Controller nicht lesbar\"\n"));
    ControllerRecord german;
    EXPECT_EQ(context_->fill_controller(4, absent, &german), 1);
    EXPECT_STREQ(german.error_text, "Controller nicht lesbar");
}

TEST_F(DefaultMachineFillTest, FirstSeriesUnitsWithTheirMirrors) {
    ControllerRecord& c = records_[0];
    fill_units(&c, 1);
    const UnitRecord& raid10 = c.unit_records[1];
    EXPECT_EQ(raid10.type, 6);
    EXPECT_EQ(raid10.status, 223);
    EXPECT_EQ(raid10.has_rebuilding, 1);
    EXPECT_EQ(raid10.rebuild_percent, raid10.percent_complete);
    EXPECT_EQ(raid10.redundancy_left, 0);
    ASSERT_EQ(raid10.sub_units.count, 2u);
    ASSERT_NE(raid10.sub_unit_records, nullptr);
    const UnitRecord& mirror = raid10.sub_unit_records[1];
    EXPECT_EQ(mirror.number, 1);
    EXPECT_EQ(mirror.status, 223);
    EXPECT_EQ(mirror.rebuild_percent, 40);
    ASSERT_NE(mirror.sub_unit_records, nullptr);
    // The member being rebuilt, on port 5, and its partner on port 6.
    EXPECT_EQ(mirror.sub_unit_records[0].drive_port, 5);
    EXPECT_EQ(mirror.sub_unit_records[0].has_degraded, 1);
    EXPECT_EQ(mirror.sub_unit_records[1].drive_port, 6);
    EXPECT_EQ(mirror.sub_unit_records[1].is_ok, 1);

    EXPECT_EQ(c.unit_records[2].has_degraded, 1);
    EXPECT_EQ(c.unit_drive_lists[1].count, 4u);
    EXPECT_EQ(c.configured_drives, 3 + 4 + 2);
    EXPECT_EQ(c.active_units, 3);
    // The first series has no read cache setting: it stays unknown.
    EXPECT_EQ(c.unit_cache_records[0].read_cache_mode, 255);
    EXPECT_EQ(c.unit_cache_records[0].write_cache, 1);
}

TEST_F(DefaultMachineFillTest, SasControllerUnits) {
    ControllerRecord& c = records_[2];
    fill_units(&c, 0);
    const UnitRecord& raid6 = c.unit_records[0];
    EXPECT_EQ(raid6.type, 7);
    EXPECT_EQ(raid6.is_ok, 1);
    EXPECT_EQ(raid6.status, 17);
    EXPECT_EQ(raid6.task_count, 2);
    EXPECT_EQ(raid6.redundancy_left, 1);
    EXPECT_EQ(raid6.lun_count, 2);
    EXPECT_EQ(raid6.luns.count, 2u);
    EXPECT_EQ(raid6.stripe_size, 256);
    EXPECT_EQ(raid6.sub_units.count, 4u);
    EXPECT_EQ(raid6.sub_unit_records, nullptr);

    const UnitRecord& mirror = c.unit_records[1];
    EXPECT_EQ(mirror.status, 223);
    EXPECT_GE(mirror.rebuild_percent, 40);
    EXPECT_LE(mirror.rebuild_percent, 41);
    EXPECT_EQ(mirror.rebuild_task_info, 1);
    EXPECT_EQ(mirror.redundancy_left, 0);

    const UnitRecord& spare = c.unit_records[2];
    EXPECT_EQ(spare.type, 13);
    EXPECT_EQ(spare.drive_port, 6);

    // The RAID 6 unit's drives, not its task records.
    ASSERT_EQ(c.unit_drive_lists[0].count, 4u);
    for (uint32_t i = 0; i < 4; i++) EXPECT_EQ(c.unit_drive_lists[0].ids[i].b[0], kKindDrive);
    EXPECT_EQ(c.configured_drives, 4 + 2);
    EXPECT_EQ(c.active_units, 2);
    EXPECT_EQ(c.unit_cache_records[0].read_cache_mode, 2);
    EXPECT_EQ(c.unit_cache_records[0].write_cache, 1);
}

TEST_F(DefaultMachineFillTest, Drives) {
    ControllerRecord& sas = records_[2];
    fill_drives(&sas, 1);
    const DriveRecord& d = sas.drive_records[0];
    EXPECT_EQ(d.port, 0);
    EXPECT_EQ(d.status, 255);
    EXPECT_EQ(d.capacity, 1953525168u);
    EXPECT_STREQ(d.model, "SIMDISK X1000");
    EXPECT_STREQ(d.serial_number, "X1K-0001");
    EXPECT_STREQ(d.firmware_version, "SN04");
    EXPECT_EQ(d.unit_id.b[0], kKindUnit);
    const uint8_t in_unit_0[4] = {0, 0, 0xFF, 0xFF};
    EXPECT_EQ(std::memcmp(d.unit_path, in_unit_0, 4), 0);
    EXPECT_EQ(d.slot_id.b[0], kKindSlot);
    EXPECT_EQ(d.slot_id.b[2], 0);
    EXPECT_EQ(d.interface, 7);  // SAS behind the enclosure's expander
    EXPECT_EQ(d.temperature_c, 30);
    EXPECT_EQ(d.temperature_f, 86);
    EXPECT_EQ(d.power_on_hours, 1000);
    EXPECT_EQ(d.spindle_speed, 7200);
    EXPECT_EQ(d.wwn[0], 0x50);
    // Behind an expander the drive has no phy of its own.
    EXPECT_EQ(d.phy_id.b[0], 0xFF);
    // The free drive on port 7.
    for (uint8_t b : sas.drive_records[7].unit_path) EXPECT_EQ(b, 0xFF);

    ControllerRecord& first = records_[0];
    fill_drives(&first, 0);
    EXPECT_STREQ(first.drive_records[9].serial_number, "S120-0010");
    const DriveRecord& empty = first.drive_records[10];
    EXPECT_EQ(empty.port, 10);
    EXPECT_EQ(empty.status, 0);
    EXPECT_STREQ(empty.model, "");
    // An empty port belongs to no unit (not to unit 0).
    for (uint8_t b : empty.unit_path) EXPECT_EQ(b, 0xFF);
    EXPECT_EQ(empty.unit_id.b[4], 0xFF);
    // Without detail, no slot is asked for.
    EXPECT_EQ(first.drive_records[0].slot_id.b[0], 0xFF);

    // Family 6: no figures of the drive itself.
    ControllerRecord& pcix = records_[1];
    fill_drives(&pcix, 1);
    EXPECT_EQ(pcix.drive_records[0].queuing_supported, 1);
    EXPECT_EQ(pcix.drive_records[0].temperature_c, 0);
    EXPECT_EQ(pcix.drive_records[0].wwn[0], 0);
    EXPECT_EQ(pcix.drive_records[0].slot_id.b[0], kKindSlot);
}

TEST_F(DefaultMachineFillTest, PhysOneOrAll) {
    ControllerRecord& c = records_[2];
    c.phy_records = new PhyRecord[c.phys.count];
    EXPECT_EQ(context_->fill_phys(c.phys, c.phy_records, 3), 0);
    for (uint32_t i = 0; i < 8; i++) EXPECT_EQ(c.phy_records[i].phy, i == 3 ? 3 : 255) << i;
    EXPECT_EQ(c.phy_records[3].device_type, 3);  // the enclosure's expander
    EXPECT_EQ(c.phy_records[3].drive_port, 255);
    EXPECT_EQ(c.phy_records[3].sas_address[0], 0x50);
    // An index past the list fills nothing.
    EXPECT_EQ(context_->fill_phys(c.phys, c.phy_records, 8), 0);
    EXPECT_EQ(context_->fill_phys(c.phys, c.phy_records, 1000), 0);

    EXPECT_EQ(context_->fill_phys(c.phys, c.phy_records, -1), 0);
    for (uint32_t i = 0; i < 8; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(c.phy_records[i].phy, i);
        EXPECT_EQ(c.phy_records[i].device_type, i < 4 ? 3 : 0);
        EXPECT_EQ(c.phy_records[i].link_speed, i < 4 ? 2 : 0);
        EXPECT_EQ(c.phy_records[i].drive_port, 255);
    }
}

TEST_F(DefaultMachineFillTest, Batteries) {
    struct Expected {
        int controller;
        const char *firmware, *serial, *installed, *last_test;
        int capacity, celsius, fahrenheit;
    };
    const Expected expected[] = {
        {1, "BBU 3.02.00.004", "BBU2B0417", "12-Mar-2024", "02-Jun-2025", 72, 29, 84},
        {2, "BBU 3.04.00.011", "BBU3C1088", "28-Aug-2024", "14-May-2025", 48, 33, 91},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.controller);
        BatteryRecord b;
        EXPECT_EQ(context_->fill_battery(list_.ids[e.controller], &b), 0);
        EXPECT_EQ(b.enabled, 1);
        EXPECT_NE(b.bbu_present, 0);
        EXPECT_NE(b.battery_present, 0);
        EXPECT_STREQ(b.firmware_version, e.firmware);
        EXPECT_STREQ(b.serial_number, e.serial);
        EXPECT_STREQ(b.installation_date, e.installed);
        EXPECT_STREQ(b.last_capacity_test, e.last_test);
        EXPECT_EQ(b.status, 0);
        EXPECT_EQ(b.voltage_status, 0);
        EXPECT_EQ(b.backup_capacity, e.capacity);
        EXPECT_EQ(b.temperature_c, e.celsius);
        EXPECT_EQ(b.temperature_f, e.fahrenheit);
    }
    // The first series has no battery backup unit: nothing but presets.
    BatteryRecord none;
    EXPECT_EQ(context_->fill_battery(list_.ids[0], &none), 0);
    EXPECT_EQ(none.enabled, -1);
    EXPECT_STREQ(none.firmware_version, "0.00.000.000");
    EXPECT_STREQ(none.installation_date, "01-Jan-1970");
}

// What the pages fill asks the kernel for nothing but its driver requests:
// no uname (the discovery learnt the architecture), and a node opened for a
// request is closed again.
TEST_F(DefaultMachineFillTest, FillsAskTheKernelForNothingButTheirNodes) {
    const sim::KernelCalls before = sim::kernel_calls();
    ASSERT_EQ(context_->fill_controllers(list_, records_), 0);
    for (ControllerRecord& c : records_) {
        fill_units(&c, 1);
        fill_drives(&c, 1);
    }
    const sim::KernelCalls after = sim::kernel_calls();
    EXPECT_EQ(after.uname, before.uname);
    EXPECT_GT(after.node_opens, before.node_opens);
    EXPECT_EQ(after.node_closes - before.node_closes, after.node_opens - before.node_opens);
}

}  // namespace
