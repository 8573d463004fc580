// What a second-series controller keeps of its units across a restart of
// the process (the simulator's state file), and the rescan that brings in
// the units drives carry from elsewhere.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tests/api/unit_machine.h"
#include "tests/support/files.h"

namespace {

using namespace unit_machine;

PYV2_LIBRARY_MACHINE(base_scenario().c_str());

TEST(UnitStore, UnitsOutliveARestart) {
    const test_support::TempDir dir;
    const std::string state = "state file=" + dir.file("state") + "\n";
    fresh(state);
    const IdList drives = drive_list({0, 1, 2});
    ObjectId unit;
    ASSERT_EQ(ctl_create_unit(&drives, 5, 7, 0, &unit), 0) << last_error().text;
    ASSERT_EQ(ctl_start_verify(unit), 0) << last_error().text;
    ASSERT_EQ(ctl_delete_unit(unit_id(22), 0), 0) << last_error().text;
    ASSERT_EQ(ctl_remove_drive(drive_on(kCtl, 35)), 0) << last_error().text;
    ASSERT_EQ(ctl_export_unit(unit_id(23), 0), 0) << last_error().text;
    pass_seconds(kTaskSeconds / 4);
    EXPECT_EQ(percent_of(unit), 25);

    fresh(state);  // the process starts again
    EXPECT_EQ(unit_numbers(), (std::vector<uint8_t>{0, 20, 21}));
    EXPECT_EQ(status_of(unit), 251);
    EXPECT_EQ(percent_of(unit), 25);
    EXPECT_EQ(drives_of(unit), (std::vector<uint8_t>{0, 1, 2}));
    EXPECT_EQ(status_of(unit_id(20)), 239);
    EXPECT_EQ(port_status(35), 2);
    // The host sees the units there are now.
    const std::vector<std::string> devices = sim::scsi_devices();
    EXPECT_NE(std::find(devices.begin(), devices.end(), "0:0:0:0"), devices.end());
    EXPECT_EQ(std::find(devices.begin(), devices.end(), "0:0:23:0"), devices.end());
    // The exported unit is still on its drive, and the verify goes on.
    const IdList exported = drive_list({39});
    IdList units;
    ASSERT_EQ(ctl_import_unit(&exported, 0, &units), 0) << last_error().text;
    ASSERT_EQ(units.count, 1u);
    EXPECT_EQ(units.ids[0].b[4], 23);
    pass_seconds(kTaskSeconds);
    EXPECT_EQ(status_of(unit), 255);

    fresh(state);  // and once more: the finished verify was kept too
    EXPECT_EQ(status_of(unit), 255);
    EXPECT_EQ(unit_numbers(), (std::vector<uint8_t>{0, 20, 21, 23}));

    fresh();  // without the state file the scenario's units are back
    EXPECT_EQ(unit_numbers(), (std::vector<uint8_t>{20, 21, 22, 23}));
}

TEST(Rescan, ImportsTheUnitTheDrivesCarry) {
    // A RAID 1 from elsewhere: one drive seen, the other not yet; port 32
    // holds a drive without any configuration that is not yet seen either.
    fresh("unit index=0 number=5 type=raid1 drives=0,1 foreign=1\n"
          "drive index=0 port=1 status=2\n");
    IdList units, drives;
    sim::clear_journal();
    ASSERT_EQ(ctl_rescan_controller(controller(kCtl), 0, &units, &drives), 0)
        << last_error().text;
    ASSERT_EQ(units.count, 1u);
    EXPECT_EQ(std::memcmp(units.ids[0].b, unit_id(5).b, 8), 0);
    expect_blank_tail(units);
    EXPECT_EQ(ports_of(drives), std::vector<uint8_t>{32});
    expect_blank_tail(drives);
    EXPECT_EQ(drives_of(unit_id(5)), (std::vector<uint8_t>{0, 1}));
    EXPECT_EQ(status_of(unit_id(5)), 255);
    // First a scan of the drives present, then one per port without one,
    // then the import; nothing is deleted or taken out.
    const std::vector<uint8_t> opcodes = command_opcodes();
    ASSERT_FALSE(opcodes.empty());
    EXPECT_EQ(opcodes.front(), 0x06);
    EXPECT_EQ(opcodes.back(), 0x07);
    EXPECT_EQ(std::count(opcodes.begin(), opcodes.end(), 0x15), 0);
    EXPECT_EQ(std::count(opcodes.begin(), opcodes.end(), 0x0A), 0);
}

TEST(Rescan, FindingNothingLeavesTheListsAlone) {
    fresh("drive index=0 port=32 status=255\n");  // every drive seen already
    IdList units, drives;
    std::memset(&units, 0xAB, sizeof units);
    std::memset(&drives, 0xAB, sizeof drives);
    sim::clear_journal();
    ASSERT_EQ(ctl_rescan_controller(controller(kCtl), 1, &units, &drives), 0)
        << last_error().text;
    EXPECT_EQ(units.count, 0u);
    EXPECT_EQ(drives.count, 0u);
    for (const IdList* list : {&units, &drives})
        for (const ObjectId& id : list->ids)
            for (uint8_t b : id.b) ASSERT_EQ(b, 0xAB);
    EXPECT_EQ(unit_numbers(), (std::vector<uint8_t>{20, 21, 22, 23}));
    const std::vector<uint8_t> opcodes = command_opcodes();
    EXPECT_EQ(std::count(opcodes.begin(), opcodes.end(), 0x06), long(opcodes.size()));
}

TEST(Rescan, DeletesAUnitLeftOutOfService) {
    // A spare whose flags say nothing but "initialised" is left over: it
    // goes, and its drive comes back as a free drive, as does the drive of
    // port 32, which was not seen.
    fresh("unit index=0 number=22 flags=4\n");
    IdList units, drives;
    ASSERT_EQ(ctl_rescan_controller(controller(kCtl), 0, &units, &drives), 0)
        << last_error().text;
    EXPECT_EQ(unit_numbers(), (std::vector<uint8_t>{20, 21, 23}));
    EXPECT_EQ(commands(0x15).size(), 1u);
    EXPECT_EQ(commands(0x15)[0].sent[647], 0);
    EXPECT_EQ(units.count, 0u);
    EXPECT_EQ(ports_of(drives), (std::vector<uint8_t>{32, 38}));
    EXPECT_EQ(port_status(38), 255);
}

TEST(Rescan, BringsBackARemovedUnit) {
    fresh();
    ASSERT_EQ(ctl_remove_unit(unit_id(20), 0), 0) << last_error().text;
    EXPECT_EQ(unit_numbers(), (std::vector<uint8_t>{21, 22, 23}));
    IdList units, drives;
    ASSERT_EQ(ctl_rescan_controller(controller(kCtl), 0, &units, &drives), 0)
        << last_error().text;
    ASSERT_EQ(units.count, 1u);
    EXPECT_EQ(units.ids[0].b[4], 20);
    EXPECT_EQ(ports_of(drives), std::vector<uint8_t>{32});
    EXPECT_EQ(drives_of(unit_id(20)), (std::vector<uint8_t>{34, 35, 36}));
}

}  // namespace
