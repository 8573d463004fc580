// What the fills read at each controller family: a controller of every
// family, each with a drive on port 0 and a unit, and values that show
// whether a field was read (limits of 40 where the presets say 64, a drive
// at 41 degrees Celsius).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "api/ctl.h"
#include "tests/api/library_machine.h"
#include "tests/daemon/context_fixture.h"

namespace {

constexpr char kMachine[] =
    "clock mode=virtual\n"
    "driver name=dq-xxxx pairing=proc\n"
    "driver name=dq-Mxxx pairing=sysfs\n"
    "driver name=dq-sas pairing=sysfs\n"
    "controller index=0 driver=dq-xxxx ports=4\n"
    "  drive port=0 temperature=41\n"
    "  drive port=1\n"
    "  unit number=0 type=raid1 drives=0,1\n"
    "controller index=1 driver=dq-Mxxx arch=4 ports=4 max-active-drives=40\n"
    "  param table=0x403 id=18 value=u8:1\n"
    "controller index=2 driver=dq-Mxxx arch=6 ports=4 max-active-drives=40 fw-level=36\n"
    "  param table=0x403 id=26 value=u32:0x44\n"
    "controller index=3 driver=dq-Mxxx arch=6 ports=4 max-active-drives=40 fw-level=35\n"
    "  param table=0x403 id=26 value=u32:0x1100\n"
    "controller index=4 driver=dq-Mxxx arch=6 ports=4 max-active-drives=40 fw-level=36\n"
    "  param table=0x403 id=26 value=u32:0x1100\n"
    "controller index=5 driver=dq-sas arch=8 ports=4 max-active-drives=40\n"
    "  param table=0x403 id=26 value=u32:0x2200\n"
    "controller index=6 driver=dq-Mxxx arch=9 ports=4 max-active-drives=40\n"
    "controller index=7 driver=dq-sas arch=10 ports=4 max-active-drives=40\n";

// The same drives and unit on every second-series controller.
std::string with_drives() {
    std::string s = kMachine;
    for (int index = 1; index <= 7; index++) {
        const std::string c = "index=" + std::to_string(index) + " ";
        s += "drive " + c + "port=0 temperature=41 interface=sas wwn=0x5000C50000000A01\n";
        s += "drive " + c + "port=1\n";
        s += "unit " + c + "number=0 type=raid1 drives=0,1\n";
        s += "param " + c + "table=0x300 id=28 value=u8:1\n";
    }
    return s;
}

PYV2_LIBRARY_MACHINE(kMachine);

class FamilyFillTest : public ContextFixture {
  protected:
    void SetUp() override {
        ContextFixture::SetUp();
        reload_scenario(with_drives());
        ASSERT_EQ(list_controllers(&list_), 0);
        ASSERT_EQ(list_.count, 8u);
        ASSERT_EQ(context_->fill_controllers(list_, records_), 0);
    }

    ControllerIdList list_;
    ControllerRecord records_[8];
};

TEST_F(FamilyFillTest, EachFamilyReadsWhatItHas) {
    struct Expected {
        int family, extended, bus_info, max_active_drives, write_cache_on_degrade, phys;
        int celsius, fahrenheit, wwn, phy_kind, recovery_policy;
    };
    const Expected expected[] = {
        {3, 0, 0, 64, 0, 0, 0, 0, 0, 0xFF, 0},
        {4, 0, 0, 64, 1, 0, 0, 0, 0, 0xFF, 0},
        // Family 6 reports its bus but none of the limits or drive figures.
        {6, 0, 0x44, 64, 0, 0, 0, 0, 0, 0xFF, 1},
        // Family 7: the limits (the library counts its ports for them); phys
        // and extended details only above firmware level 35.
        {7, 0, 0x1100, 4, 0, 0, 41, 105, 0, 0xFF, 0},
        {7, 1, 0x1100, 4, 0, 4, 41, 105, 0, kKindPhy, 1},
        {8, 1, 0x2200, 40, 0, 4, 41, 105, 0x50, kKindPhy, 1},
        // The library lists neither units nor ports of family 9.
        {9, 1, 0, 64, 0, 0, 0, 0, 0, 0xFF, 0},
        {10, 1, 0, 40, 0, 4, 41, 105, 0x50, kKindPhy, 1},
    };
    for (int i = 0; i < 8; i++) {
        SCOPED_TRACE(i);
        ControllerRecord& c = records_[i];
        const Expected& e = expected[i];
        ASSERT_EQ(c.family, e.family);
        EXPECT_EQ(c.extended_device_info, e.extended);
        EXPECT_EQ(c.bus_info, e.bus_info);
        EXPECT_EQ(c.max_active_drives, e.max_active_drives);
        EXPECT_EQ(c.disable_write_cache_on_degrade, e.write_cache_on_degrade);
        EXPECT_EQ(c.phy_count, e.phys);
        EXPECT_EQ(c.phys.count, uint32_t(e.phys));
        if (e.family == 9) {
            EXPECT_EQ(c.port_list_count, 0);
            EXPECT_EQ(c.unit_list_count, 0);
            continue;
        }

        DriveRecord drive;
        EXPECT_EQ(context_->fill_drive(c.ports.ids[0], &drive, &c, 0), 0);
        EXPECT_EQ(drive.port, 0);
        EXPECT_EQ(drive.status, 255);
        EXPECT_EQ(drive.temperature_c, e.celsius);
        EXPECT_EQ(drive.temperature_f, e.fahrenheit);
        EXPECT_EQ(drive.wwn[0], e.wwn);
        EXPECT_EQ(drive.phy_id.b[0], e.phy_kind);

        UnitRecord unit;
        EXPECT_EQ(context_->fill_unit(c.units.ids[0], &unit, 0, &c), 0);
        EXPECT_EQ(unit.number, 0);
        EXPECT_EQ(unit.recovery_policy, e.recovery_policy);
    }
}

TEST_F(FamilyFillTest, CarveSizeInGigabytesAboveFamily4) {
    // 2 TiB in sectors minus 1, on every second-series controller.
    std::string machine = with_drives();
    for (int index : {1, 2, 5})
        machine += "param index=" + std::to_string(index) +
                   " table=0x403 id=29 value=u64:0xFFFFFFFF\n";
    // One sector less than 1 GiB is 0 GiB.
    machine += "param index=7 table=0x403 id=29 value=u64:0x1FFFFE\n";
    reload_scenario(machine);
    ControllerRecord records[8];
    ASSERT_EQ(context_->fill_controllers(list_, records), 0);
    EXPECT_EQ(records[1].carve_size_gb, 0u);  // family 4 has no carving
    EXPECT_EQ(records[2].carve_size_gb, 2048u);
    EXPECT_EQ(records[5].carve_size_gb, 2048u);
    EXPECT_EQ(records[7].carve_size_gb, 0u);
}

TEST_F(FamilyFillTest, Family8DriveDetailsWithoutExtendedInformation) {
    std::string machine = with_drives();
    const std::string line = "controller index=5 driver=dq-sas arch=8 ports=4";
    machine.replace(machine.find(line), line.size(), line + " fw-level=35");
    reload_scenario(machine);
    ControllerRecord c;
    ASSERT_EQ(context_->fill_controller(5, list_.ids[5], &c), 0);
    ASSERT_EQ(c.family, 8);
    EXPECT_EQ(c.extended_device_info, 0);
    DriveRecord drive;
    EXPECT_EQ(context_->fill_drive(c.ports.ids[0], &drive, &c, 0), 0);
    EXPECT_EQ(drive.wwn[0], 0x50);
    EXPECT_EQ(drive.phy_id.b[0], kKindPhy);
    EXPECT_EQ(drive.temperature_f, 105);
}

TEST_F(FamilyFillTest, SlotOnlyOfAPortThatHoldsADrive) {
    // A SAF-TE enclosure whose slot 2 stands for port 2, which is empty.
    reload_scenario(with_drives() + "enclosure index=2 number=0 type=safte slots=4\n");
    ControllerRecord c;
    ASSERT_EQ(context_->fill_controller(2, list_.ids[2], &c), 0);
    ASSERT_EQ(c.family, 6);
    ObjectId slot;
    ASSERT_EQ(ctl_get_port_slot(c.ports.ids[2], &slot), 0);
    ASSERT_EQ(slot.b[0], kKindSlot);

    ASSERT_EQ(c.ports.count, 4u);
    DriveRecord drives[4];
    EXPECT_EQ(context_->fill_drives(c.ports, drives, &c, 1), 0);
    EXPECT_EQ(drives[0].slot_id.b[0], kKindSlot);
    EXPECT_EQ(drives[0].slot_id.b[2], 0);
    EXPECT_LT(drives[2].status, 128);
    EXPECT_EQ(drives[2].slot_id.b[0], 0xFF);
    // Without detail no slot is read at all.
    DriveRecord plain;
    EXPECT_EQ(context_->fill_drive(c.ports.ids[0], &plain, &c, 0), 0);
    EXPECT_EQ(plain.slot_id.b[0], 0xFF);
}

TEST_F(FamilyFillTest, SlotReadFromDriveStatus128Up) {
    // Ports 2 and 3 hold drives of status 127 and 128; the SAF-TE
    // enclosure's slots 2 and 3 stand for them whatever their status.
    reload_scenario(with_drives() +
                    "drive index=2 port=2 status=127\n"
                    "drive index=2 port=3 status=128\n"
                    "enclosure index=2 number=0 type=safte slots=4\n");
    ControllerRecord c;
    ASSERT_EQ(context_->fill_controller(2, list_.ids[2], &c), 0);
    ASSERT_EQ(c.ports.count, 4u);
    for (uint8_t port : {2, 3}) {
        ObjectId slot;
        ASSERT_EQ(ctl_get_port_slot(c.ports.ids[port], &slot), 0) << int(port);
        ASSERT_EQ(slot.b[2], port);
    }
    struct Case {
        uint8_t port, status;
        bool slot_read;
    };
    for (const Case& e : {Case{2, 127, false}, Case{3, 128, true}}) {
        SCOPED_TRACE(int(e.status));
        DriveRecord drive;
        EXPECT_EQ(context_->fill_drive(c.ports.ids[e.port], &drive, &c, 1), 0);
        ASSERT_EQ(drive.status, e.status);
        if (e.slot_read) {
            EXPECT_EQ(drive.slot_id.b[0], kKindSlot);
            EXPECT_EQ(drive.slot_id.b[2], e.port);
        } else {
            for (uint8_t b : drive.slot_id.b) EXPECT_EQ(b, 0xFF);
        }
    }
}

TEST_F(FamilyFillTest, PhysWithTheirDrives) {
    for (int i : {4, 5, 7}) {
        SCOPED_TRACE(i);
        ControllerRecord& c = records_[i];
        PhyRecord phys[4];
        EXPECT_EQ(context_->fill_phys(c.phys, phys, -1), 0);
        // Phys 0 and 1 reach the drives of ports 0 and 1; 2 and 3 nothing.
        EXPECT_EQ(phys[0].drive_port, 0);
        EXPECT_EQ(phys[1].drive_port, 1);
        EXPECT_EQ(phys[0].drive_id.b[0], kKindDrive);
        EXPECT_EQ(phys[3].drive_port, 255);
    }
}

TEST_F(FamilyFillTest, PhyFieldsEachFromItsOwnReading) {
    // Phy 0 reaches port 1's drive; phy 1, without a line, has no link.
    reload_scenario(with_drives() +
                    "phy index=5 number=0 drive=1 speeds=0x7 speed=2 limit=4 "
                    "address=0x5000C50000001234\n");
    ControllerRecord c;
    ASSERT_EQ(context_->fill_controller(5, list_.ids[5], &c), 0);
    ASSERT_EQ(c.phys.count, 4u);
    PhyRecord phys[4];
    EXPECT_EQ(context_->fill_phys(c.phys, phys, -1), 0);
    EXPECT_EQ(phys[0].phy, 0);
    EXPECT_EQ(phys[0].drive_port, 1);
    EXPECT_EQ(phys[0].link_speed_supported, 7);
    EXPECT_EQ(phys[0].link_speed, 2);
    EXPECT_EQ(phys[0].link_limit, 4);
    const uint8_t address[8] = {0x50, 0x00, 0xC5, 0x00, 0x00, 0x00, 0x12, 0x34};
    EXPECT_EQ(std::memcmp(phys[0].sas_address, address, 8), 0);
    EXPECT_EQ(phys[1].phy, 1);
    EXPECT_EQ(phys[1].device_type, 0);
    EXPECT_EQ(phys[1].link_speed, 0);
    EXPECT_EQ(phys[1].drive_port, 255);
}

TEST_F(FamilyFillTest, BatteryThatStopsEarly) {
    struct Case {
        const char* line;
        int enabled, bbu_present, battery_present;
        const char* firmware;
    };
    const Case cases[] = {
        {"battery index=5 enabled=0", 0, 0, 0, "0.00.000.000"},
        {"battery index=5 bbu=0", 1, 0, 0, "0.00.000.000"},
        {"battery index=5 pack=0 firmware=\"BBU 1.00\"", 1, 1, 0, "BBU 1.00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        reload_scenario(with_drives() + c.line + "\n");
        BatteryRecord b;
        EXPECT_EQ(context_->fill_battery(list_.ids[5], &b), 0);
        EXPECT_EQ(b.enabled, c.enabled);
        EXPECT_EQ(b.bbu_present != 0, c.bbu_present != 0);
        EXPECT_EQ(b.battery_present != 0, c.battery_present != 0);
        EXPECT_STREQ(b.firmware_version, c.firmware);
        // What follows a stop keeps its presets.
        EXPECT_EQ(b.voltage_status, -1);
        EXPECT_EQ(b.temperature_f, 0);
        EXPECT_STREQ(b.last_capacity_test, "01-Jan-1970");
    }
}

TEST_F(FamilyFillTest, BatteryBelowFreezingInWholeDegreesFahrenheit) {
    // -1 C is 30.2 F: truncated toward zero, 31.
    reload_scenario(with_drives() + "battery index=5 celsius=-1\n");
    BatteryRecord b;
    EXPECT_EQ(context_->fill_battery(list_.ids[5], &b), 0);
    ASSERT_NE(b.battery_present, 0);
    EXPECT_EQ(b.temperature_c, -1);
    EXPECT_EQ(b.temperature_f, 31);
}

TEST_F(FamilyFillTest, ExtendedDetailsThatCannotBeReadFailTheFill) {
    // The family is known; the firmware level behind the extended details
    // is not.
    std::string error;
    ASSERT_TRUE(sim::apply(
        "fault index=5 opcode=0x52 table=0x402 parameter=11 firmware-code=0x010C count=-1\n",
        &error))
        << error;
    ControllerRecord record;
    EXPECT_EQ(context_->fill_controller(5, list_.ids[5], &record), 1);
    EXPECT_EQ(record.family, 8);
    EXPECT_EQ(record.position, 5);
    EXPECT_STREQ(record.model, "");
    EXPECT_EQ(record.units.count, 0u);
    EXPECT_EQ(std::string(record.error_text).rfind("(0x", 0), 0u) << record.error_text;
    // Family 6 does not ask for them.
    ASSERT_TRUE(sim::apply(
        "fault index=2 opcode=0x52 table=0x402 parameter=11 firmware-code=0x010C count=-1\n",
        &error))
        << error;
    ControllerRecord family6;
    EXPECT_EQ(context_->fill_controller(2, list_.ids[2], &family6), 0);
    EXPECT_STREQ(family6.error_text, "");
    ASSERT_TRUE(sim::apply("clear-faults\n", &error)) << error;
}

TEST_F(FamilyFillTest, ControllerListLongerThanItsRoom) {
    ControllerIdList list = list_;
    list.count = 70000;
    ControllerRecord* records = new ControllerRecord[255];
    EXPECT_EQ(context_->fill_controllers(list, records), 0);
    EXPECT_EQ(records[7].family, 10);
    EXPECT_EQ(records[254].position, 254);
    EXPECT_EQ(records[254].family, -1);
    delete[] records;
}

}  // namespace
