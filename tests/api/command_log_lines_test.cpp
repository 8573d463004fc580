// The command log's logging methods against the simulated controllers: each
// change is carried out and written as its exact line, whatever its outcome.
#include <string>
#include <vector>

#include "tests/api/command_log_file.h"
#include "tests/api/library_machine.h"

namespace {

// 0 family 8 above firmware level 36, with phys, a battery backup unit, a SATA
// drive and three SAS drives in the slots of an SES enclosure, one drive
// in none; 1 family 3 with a RAID 1, and a RAID 5 and a blank drive that
// arrived since it last looked.
PYV2_LIBRARY_MACHINE(
    "clock mode=virtual\n"
    "driver name=dq-xxxx pairing=proc\n"
    "driver name=dq-sas pairing=sysfs\n"
    "controller index=0 driver=dq-sas arch=8 ports=8 phys=8 fw-level=37\n"
    "  battery\n"
    "  drive port=0 interface=sata enclosure=0 slot=0\n"
    "  drive port=1 enclosure=0 slot=1\n"
    "  drive port=2 enclosure=0 slot=2\n"
    "  drive port=3 enclosure=0 slot=3\n"
    "  drive port=4\n"
    "  enclosure number=0 type=ses kind=2 slots=4\n"
    "  unit number=0 type=raid5 drives=0,1,2\n"
    "controller index=1 driver=dq-xxxx ports=8\n"
    "  drive port=0\n  drive port=1\n"
    "  drive port=3 added=0\n  drive port=4 added=0\n  drive port=5 added=0\n"
    "  drive port=6 added=0\n"
    "  unit number=0 type=raid1 drives=0,1\n"
    "  unit number=4 type=raid5 drives=3,4,5 foreign=1\n");

class CommandLogLines : public CommandLogFile {};

ObjectId unit_on(uint8_t index, uint8_t number) {
    ObjectId id;
    ctl_make_unit_id(index, 0xFF, number, 0xFF, 0xFF, &id);
    return id;
}

ObjectId phy_on(uint8_t index, uint8_t phy) {
    ObjectId id;
    ctl_make_phy_id(index, phy, &id);
    return id;
}

TEST_F(CommandLogLines, EachChangeWritesItsLine) {
    const ObjectId c0 = controller(0), c1 = controller(1), u0 = unit_on(0, 0);
    int32_t rate = 3, verify_rate = 5;
    uint16_t flags = 3;
    uint8_t log[32768], smart[512];
    const std::vector<LoggedChange> changes = {
        {[&](CommandLogger& l) { return l.set_rebuild_rate(c0, &rate); }, 0,
         "Set Rebuild Rate(controller=0, rate=3): Success"},
        {[&](CommandLogger& l) { return l.set_verify_rate(c0, &verify_rate); }, 0,
         "Set Verify Rate(controller=0, rate=5): Success"},
        {[&](CommandLogger& l) { return l.set_rebuild_mode(c0, 1); }, 0,
         "Set Rebuild Mode(controller=0, mode=1): Success"},
        {[&](CommandLogger& l) { return l.set_verify_mode(c0, 0); }, 0,
         "Set Verify Mode(controller=0, mode=0): Success"},
        // A mode beyond a byte is refused, and logged as it was asked for.
        {[&](CommandLogger& l) { return l.set_verify_mode(c0, 0x100); }, -1,
         "Set Verify Mode(controller=0, mode=256): Failed"},
        {[&](CommandLogger& l) { return l.set_selftest_flags(c0, &flags); }, 0,
         "Set Selftest Flags(controller=0, flags=3(DMA|SMART)): Success"},
        {[&](CommandLogger& l) { return l.set_selftest_task(c0, 0, 0xFFFF); }, 0,
         "Set Selftest Task(controller=0, slot=0, start=delete: Success"},
        {[&](CommandLogger& l) { return l.set_selftest_task(c0, 1, 10065); }, 0,
         "Set Selftest Task(controller=0, slot=1, start=Sat.23:00): Success"},
        {[&](CommandLogger& l) { return l.set_verify_task(c0, 2, 1500, 120); }, 0,
         "Set Verify Task(controller=0, slot=2, start=Mon.01:00, duration=120): Success"},
        {[&](CommandLogger& l) { return l.set_rebuild_task(c0, 6, 0, 30); }, 0,
         "Set Rebuild Task(controller=0, slot=6, start=Sun.00:00, duration=30): Success"},
        {[&](CommandLogger& l) { return l.set_rebuild_task(c0, 3, 0xFFFF, 0); }, 0,
         "Set Rebuild Task(controller=0, slot=3, start=delete: Success"},
        {[&](CommandLogger& l) { return l.set_number_spinups_allowed(c0, 2); }, 0,
         "Set Number Spinups Allowed(controller=0, spinups allowed=2): Success"},
        {[&](CommandLogger& l) { return l.set_stagger_time(c0, 6); }, 0,
         "Set Stagger Time(controller=0, stagger time=6): Success"},
        {[&](CommandLogger& l) { return l.set_auto_rebuild(c0, 255); }, 0,
         "Set Auto Rebuild (controller=0, policy=ff(ALL)): Success"},
        {[&](CommandLogger& l) { return l.set_auto_rebuild(c0, 6); }, 0,
         "Set Auto Rebuild (controller=0, policy=6(JBOD, FAILED DISK)): Success"},
        {[&](CommandLogger& l) { return l.disable_bbu(c0); }, 0,
         "Disable BBU(controller=0): Success"},
        {[&](CommandLogger& l) { return l.enable_bbu(c0); }, 0, "Enable BBU(controller=0): Success"},
        {[&](CommandLogger& l) { return l.start_bbu_battery_test(c0); }, 0,
         "Start BBU Battery Test(controller=0): Success"},
        {[&](CommandLogger& l) { return l.get_error_log(c0, log); }, 0,
         "Get Error Log Controller(controller=0): Success"},
        {[&](CommandLogger& l) { return l.get_error_log_buffer(c0, log); }, 0,
         "Get Error Log Controller(controller=0): Success"},
        {[&](CommandLogger& l) { return l.get_drive_smart_data(drive_on(0, 0), smart); }, 0,
         "Get Drive SMART Data(controller=0, drive=0): Success"},
        {[&](CommandLogger& l) { return l.identify_port(drive_on(0, 2), 1); }, 0,
         "Identify Port(controller=0, port=2, enable=yes): Success"},
        {[&](CommandLogger& l) { return l.set_phy_link_negotiation_limit(phy_on(0, 1), 2); }, 0,
         "Set Phy Link Negotiation Limit(phy=1, limit=2): Success"},
        {[&](CommandLogger& l) { return l.disable_multi_lun_policy(c0); }, 0,
         "Disable Multi-Lun Policy(controller=0): Success"},
        {[&](CommandLogger& l) { return l.enable_multi_lun_policy(c0); }, 0,
         "Enable Multi-Lun Policy(controller=0): Success"},
        // A size past 32 bits is written whole.
        {[&](CommandLogger& l) { return l.set_lun_size(c0, 0x100000005ull); }, 0,
         "Set LUN Size(controller=0, size=4294967301): Success"},
        {[&](CommandLogger& l) { return l.halt_on_ecc_errors_on_rebuild(u0); }, 0,
         "Halt on ECC errors on rebuild(controller=0, unit=0): Success"},
        {[&](CommandLogger& l) { return l.continue_on_ecc_errors_on_rebuild(u0); }, 0,
         "Continue on ECC errors on rebuild(controller=0, unit=0): Success"},
        {[&](CommandLogger& l) { return l.disable_auto_verify(u0); }, 0,
         "Disable Auto Verify(controller=0, unit=0): Success"},
        {[&](CommandLogger& l) { return l.enable_auto_verify(u0); }, 0,
         "Enable Auto Verify(controller=0, unit=0): Success"},
        {[&](CommandLogger& l) { return l.set_unit_name(u0, "archive"); }, 0,
         "Set Unit Name(controller=0, unit=0, name=archive): Success"},
        {[&](CommandLogger& l) { return l.set_protection_mode(u0, 1); }, 0,
         "Set Pervault Mode(controller=0, unit=0, mode=balance): Success"},
        {[&](CommandLogger& l) { return l.set_recovery_policy(u0, 3); }, 0,
         "Set Quickmend(controller=0, unit=0, qm_recovery=All): Success"},
        // Failures: the first series has no rebuild mode, a drive on a port
        // in no slot has no indicator.
        {[&](CommandLogger& l) { return l.set_rebuild_mode(c1, 0); }, -1,
         "Set Rebuild Mode(controller=1, mode=0): Failed"},
        {[&](CommandLogger& l) { return l.identify_port(drive_on(0, 4), 0); }, -1,
         "Identify Port(controller=0, port=4, enable=no): Failed"},
        {[&](CommandLogger& l) { return l.set_phy_link_negotiation_limit(phy_on(0, 1), 4); }, -1,
         "Set Phy Link Negotiation Limit(phy=1, limit=4): Failed"},
        {[&](CommandLogger& l) { return l.set_protection_mode(u0, 3); }, -1,
         "Set Pervault Mode(controller=0, unit=0, mode=illegal): Failed"},
        {[&](CommandLogger& l) { return l.set_protection_mode(u0, 0x100); }, -1,
         "Set Pervault Mode(controller=0, unit=0, mode=illegal): Failed"},
    };
    std::vector<std::string> expected;
    for (const LoggedChange& c : changes) {
        EXPECT_EQ(c.call(log_), c.result) << c.text << ": " << last_error().text;
        expected.push_back(c.text);
    }
    EXPECT_EQ(lines(), expected);

    // The changes were made.
    int32_t now = 0;
    ASSERT_EQ(ctl_get_rebuild_rate(c0, &now), 0);
    EXPECT_EQ(now, 3);
    uint16_t start = 0;
    ASSERT_EQ(ctl_get_selftest_task(c0, 1, &start), 0);
    EXPECT_EQ(start, 10065);
    uint8_t on = 0;
    ASSERT_EQ(ctl_get_port_identify(drive_on(0, 2), &on), 0);
    EXPECT_EQ(on, 1);
    char name[21] = "";
    ASSERT_EQ(ctl_get_unit_name(u0, name), 0);
    EXPECT_STREQ(name, "archive");
    uint64_t size = 0;
    ASSERT_EQ(ctl_get_lun_size(c0, &size), 0);
    EXPECT_EQ(size, 0x100000005ull);
    uint8_t mode = 0;
    ASSERT_EQ(ctl_get_protection_mode(u0, &mode), 0);
    EXPECT_EQ(mode, 1);
}

// A failed change leaves its own error in the last-error record, even when
// its identifier was of the wrong kind for the numbers of its line.
TEST_F(CommandLogLines, FailureKeepsItsErrorAndWrongKindsShow255) {
    EXPECT_EQ(log_.set_rebuild_mode(controller(1), 0), -1);
    EXPECT_EQ(last_error().api_code, 2);
    EXPECT_EQ(log_.identify_port(unit_on(0, 0), 1), -1);
    EXPECT_EQ(last_error().flags, uint32_t(kErrApi));
    EXPECT_EQ(last_error().api_code, 11);
    int32_t rate = 2;
    EXPECT_EQ(log_.set_rebuild_rate(drive_on(0, 1), &rate), 0);
    EXPECT_EQ(lines(), (std::vector<std::string>{
                           "Set Rebuild Mode(controller=1, mode=0): Failed",
                           "Identify Port(controller=255, port=255, enable=yes): Failed",
                           "Set Rebuild Rate(controller=255, rate=2): Success",
                       }));
}

// Logging off: the change is made and nothing is written; switched on again,
// the next change is written.
TEST_F(CommandLogLines, LoggingOffChangesWithoutWriting) {
    log_.set_enabled(0);
    int32_t rate = 4;
    ASSERT_EQ(log_.set_rebuild_rate(controller(0), &rate), 0);
    int32_t now = 0;
    ASSERT_EQ(ctl_get_rebuild_rate(controller(0), &now), 0);
    EXPECT_EQ(now, 4);
    EXPECT_EQ(test_support::mode_of(path_), -1);
    log_.set_enabled(1);
    rate = 1;
    ASSERT_EQ(log_.set_rebuild_rate(controller(0), &rate), 0);
    EXPECT_EQ(lines(), (std::vector<std::string>{"Set Rebuild Rate(controller=0, rate=1): Success"}));
}

// An unwritable log costs nothing but the message on standard error.
TEST_F(CommandLogLines, UnwritableLogStillChanges) {
    const std::string missing = dir_.file("gone/kq_mgmt.log");
    CommandLogger log("Pyv2", missing.c_str(), 1);
    testing::internal::CaptureStderr();
    int32_t rate = 2;
    EXPECT_EQ(log.set_verify_rate(controller(0), &rate), 0);
    EXPECT_EQ(log.enable_bbu(controller(0)), 0);
    const std::string message = "Error: Could not open file " + missing + "\n";
    EXPECT_EQ(testing::internal::GetCapturedStderr(), message + message);
    int32_t now = 0;
    ASSERT_EQ(ctl_get_verify_rate(controller(0), &now), 0);
    EXPECT_EQ(now, 2);
}

// The rescan's line, then one per unit imported and per drive left free;
// a rescan that finds nothing writes its line alone.
TEST_F(CommandLogLines, RescanListsWhatItFound) {
    IdList units, drives;
    ASSERT_EQ(log_.rescan_controller(controller(1), 0, &units, &drives), 0) << last_error().text;
    ASSERT_EQ(log_.rescan_controller(controller(1), 1, &units, &drives), 0);
    EXPECT_EQ(units.count, 0u);
    // A controller whose family has no rescan fails with nothing found.
    EXPECT_EQ(log_.rescan_controller(controller(7), 0, &units, &drives), -1);
    EXPECT_EQ(lines(), (std::vector<std::string>{
                           "Rescan Controller(controller=1, make os aware=no): Success",
                           "    Rescan found unit 4 (RAID 5)",
                           "    Rescan found drive on port6",
                           "Rescan Controller(controller=1, make os aware=yes): Success (nothing found)",
                           "Rescan Controller(controller=7, make os aware=no): Failed (nothing found)",
                       }));
}

// The unit list is written whether logging is on or not; a controller
// whose units cannot be read gives the heading alone.
TEST_F(CommandLogLines, UnitListIsOneLine) {
    log_.set_enabled(0);
    EXPECT_EQ(log_.log_controller_unit_list(controller(0)), 0);
    EXPECT_EQ(log_.log_controller_unit_list(controller(7)), -1);
    const std::vector<std::string> got = lines();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], "Controller 0 Unit List: Unit0[RAID 5]");
    EXPECT_EQ(got[1], "Controller 7 Unit List:");
}

}  // namespace
