// The command log's lines of unit configuration and maintenance, unit
// caches, schedules and firmware downloads, against the simulated
// controllers of the unit tests: each change is carried out and written as
// its exact line, whatever its outcome.
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "tests/api/command_log_file.h"
#include "tests/api/unit_machine.h"
#include "tests/support/firmware_images.h"

namespace {

using namespace unit_machine;

PYV2_LIBRARY_MACHINE(base_scenario().c_str());

class CommandLogUnitLines : public CommandLogFile {
  protected:
    void SetUp() override { fresh(); }

    // Runs each change, expecting its result, then compares the lines.
    void expect_lines(const std::vector<LoggedChange>& changes) {
        std::vector<std::string> expected;
        for (const LoggedChange& c : changes) {
            EXPECT_EQ(c.call(log_), c.result) << c.text << ": " << last_error().text;
            expected.push_back(c.text);
        }
        EXPECT_EQ(lines(), expected);
    }
};

// An identifier the library must overwrite before it is logged.
ObjectId scribbled() {
    ObjectId id;
    std::memset(id.b, 0x12, sizeof id.b);
    return id;
}

TEST_F(CommandLogUnitLines, CreatingAndReshapingUnits) {
    const IdList mirror = drive_list({0, 1}), raid50 = drive_list({2, 3, 4, 5, 6, 7}),
                 twelve = drive_list({8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19}),
                 wider = drive_list({34, 35, 36, 24}), none = drive_list({}),
                 other_controller = drive_list({0}, kNoRaid6);
    ObjectId created = scribbled(), grouped = scribbled(), refused = scribbled();
    IdList halves;
    expect_lines({
        {[&](CommandLogger& l) { return l.create_unit(&mirror, 2, 0, 0, &created); }, 0,
         "Create Unit(controller=0 drives=0 1, type=RAID 1, stripe=n/a, make os aware=no, "
         "unit created=0): Success"},
        {[&](CommandLogger& l) {
             return l.create_unit_with_subunits(&raid50, 8, 7, 0, &grouped, 3);
         },
         0,
         "Create Unit(controller=0 drives=2 3 4 5 6 7, type=RAID 50, stripe=64, "
         "drives/subunit=3, make os aware=no, unit created=1): SUCCESS"},
        // A failed creation names the controller of the first drive, or 255
        // when there is none; the identifier asked for stays unset.
        {[&](CommandLogger& l) { return l.create_unit(&none, 5, 7, 0, &refused); }, -1,
         "Create Unit(controller=255 drives=, type=RAID 5, stripe=64, make os aware=no): "
         "Failed"},
        {[&](CommandLogger& l) {
             return l.create_unit_with_subunits(&other_controller, 7, 5, 1, &refused, 0);
         },
         -1,
         "Create Unit(controller=1 drives=0, type=RAID 6, stripe=16, drives/subunit=0, make os "
         "aware=yes): FAILED"},
        {[&](CommandLogger& l) { return l.start_migrate_unit(unit_id(20), &wider, 5, 7, 0, 0); }, 0,
         "Start Migrate Unit(controller=0, unit=20, drives=34 35 36 24, type=RAID 5, stripe=64, "
         "make os aware=no): Success"},
        // The drives per sub-unit are shown for a RAID 50 of 12 drives only.
        {[&](CommandLogger& l) { return l.start_migrate_unit(unit_id(23), &twelve, 8, 9, 0, 4); },
         -1,
         "Start Migrate Unit(controller=0 unit=23, drives=8 9 10 11 12 13 14 15 16 17 18 19, "
         "type=RAID 50, stripe=256, drives/subunit=4, make os aware=no): Failed"},
        {[&](CommandLogger& l) { return l.start_migrate_unit(unit_id(23), &raid50, 8, 9, 0, 3); },
         -1,
         "Start Migrate Unit(controller=0, unit=23, drives=2 3 4 5 6 7, type=RAID 50, "
         "stripe=256, make os aware=no): Failed"},
        {[&](CommandLogger& l) { return l.split_mirror(unit_id(0), 0, &halves); }, 0,
         "Split Mirror(controller=0, unit=0, make os aware=no): Success"},
        {[&](CommandLogger& l) { return l.split_mirror(unit_id(21), 0, &halves); }, -1,
         "Split Mirror(controller=0, unit=21, make os aware=no): Failed"},
        {[&](CommandLogger& l) { return l.export_unit(unit_id(21), 0); }, 0,
         "Export Unit(controller=0, unit=21, make os aware=no): Success"},
        {[&](CommandLogger& l) { return l.delete_unit(unit_id(22), 0); }, 0,
         "Delete Unit(controller=0, unit=22, make os aware=no): Success"},
        {[&](CommandLogger& l) { return l.remove_unit(unit_id(1), 0); }, 0,
         "Remove Unit(controller=0, unit=1, make os aware=no): Success"},
        {[&](CommandLogger& l) { return l.delete_unit(unit_id(22), 0); }, -1,
         "Delete Unit(controller=0, unit=22, make os aware=no): Failed"},
    });
    EXPECT_EQ(std::memcmp(created.b, unit_id(0).b, 8), 0);
    EXPECT_EQ(std::memcmp(grouped.b, unit_id(1).b, 8), 0);
    const ObjectId unset = [] {
        ObjectId id;
        std::memset(id.b, 0xFF, sizeof id.b);
        return id;
    }();
    EXPECT_EQ(std::memcmp(refused.b, unset.b, 8), 0);
    // The changes were made: unit 20 migrates, 21 and 22 are gone, and so
    // is the RAID 50 with its drives.
    EXPECT_EQ(unit_numbers(), (std::vector<uint8_t>{0, 2, 20, 23}));
}

TEST_F(CommandLogUnitLines, MaintenanceOfUnitsAndDrives) {
    const IdList replacement = drive_list({35});
    ObjectId added = scribbled(), nothing = scribbled();
    expect_lines({
        {[&](CommandLogger& l) { return l.verify_unit(unit_id(20)); }, 0,
         "Verify Unit(controller=0, unit=20): Success"},
        {[&](CommandLogger& l) { return l.verify_unit(unit_id(22)); }, -1,
         "Verify Unit(controller=0, unit=22): Failed"},
        {[&](CommandLogger& l) { return l.remove_drive(drive_on(kCtl, 35)); }, 0,
         "Remove Drive(controller=0, drive=35): Success"},
        {[&](CommandLogger& l) { return l.add_drive(drive_on(kCtl, 35), &added); }, 0,
         "Add Drive(controller=0, drive=35): Success"},
        // A drive already there is not added again: no drive to name.
        {[&](CommandLogger& l) { return l.add_drive(drive_on(kCtl, 0), &nothing); }, -1,
         "Add Drive(controller=255, drive=255): Failed"},
        {[&](CommandLogger& l) { return l.rebuild_unit(unit_id(20), &replacement, 1); }, 0,
         "Rebuild Unit(controller=0, unit=20, drives=35, ignore ecc=yes): Success"},
        {[&](CommandLogger& l) { return l.rebuild_unit(unit_id(21), &replacement, 0); }, -1,
         "Rebuild Unit(controller=0, unit=21, drives=35, ignore ecc=no): Failed"},
        {[&](CommandLogger& l) { return l.remove_drive(drive_on(kCtl, 47)); }, -1,
         "Remove Drive(controller=0, drive=47): Failed"},
    });
    EXPECT_EQ(status_of(unit_id(20)), 223);  // rebuilding
}

TEST_F(CommandLogUnitLines, CachesQueuingAndSchedules) {
    const ObjectId u = unit_id(20);
    expect_lines({
        {[&](CommandLogger& l) { return l.disable_read_cache(u); }, 0,
         "Disable Read Cache(controller=0, unit=20): Success"},
        {[&](CommandLogger& l) { return l.enable_basic_read_cache(u); }, 0,
         "Enable Basic Read Cache(controller=0, unit=20): Success"},
        {[&](CommandLogger& l) { return l.enable_intelligent_read_cache(u); }, 0,
         "Enable Intelligent Read Cache(controller=0, unit=20): Success"},
        // Family 7 below level 37 has no read cache choice.
        {[&](CommandLogger& l) { return l.enable_basic_read_cache(unit_id(0, kNoRaid6)); }, -1,
         "Enable Basic Read Cache(controller=1, unit=0): Failed"},
        {[&](CommandLogger& l) { return l.disable_write_cache(u); }, 0,
         "Disable Write Cache(controller=0, unit=20): Success"},
        {[&](CommandLogger& l) { return l.enable_write_cache(u); }, 0,
         "Enable Write Cache(controller=0, unit=20): Success"},
        {[&](CommandLogger& l) { return l.flush_write_cache(u); }, 0,
         "Flush Write Cache(controller=0, unit=20): Success"},
        {[&](CommandLogger& l) { return l.disable_unit_queuing(u); }, 0,
         "Disabled Unit Queuing(controller=0, unit=20): Success"},
        {[&](CommandLogger& l) { return l.enable_unit_queuing(u); }, 0,
         "Enabled Unit Queuing(controller=0, unit=20): Success"},
        // A controller above level 35 of a later family keeps the newer
        // verify schedule; below it, and on family 4, the schedule is
        // switched on and off.
        {[&](CommandLogger& l) { return l.enable_verify_schedule(controller(kCtl)); }, 0,
         "Advance Verify Schedule(controller=0): Success"},
        {[&](CommandLogger& l) { return l.disable_verify_schedule(controller(kCtl)); }, 0,
         "Basic Verify Schedule(controller=0): Success"},
        {[&](CommandLogger& l) { return l.enable_verify_schedule(controller(kNoRaid6)); }, 0,
         "Enable Verify Schedule(controller=1): Success"},
        {[&](CommandLogger& l) { return l.disable_verify_schedule(controller(kOldest)); }, 0,
         "Disable Verify Schedule(controller=2): Success"},
        {[&](CommandLogger& l) { return l.disable_rebuild_schedule(controller(kCtl)); }, 0,
         "Disable Rebuild Schedule(controller=0): Success"},
        {[&](CommandLogger& l) { return l.enable_rebuild_schedule(controller(kCtl)); }, 0,
         "Enable Rebuild Schedule(controller=0): Success"},
        // An index without a controller: nothing is routed, and the
        // wording's question answers 0.
        {[&](CommandLogger& l) { return l.enable_verify_schedule(controller(7)); }, -1,
         "Enable Verify Schedule(controller=7): Failed"},
    });
    uint8_t state = 0;
    ASSERT_EQ(ctl_get_verify_schedule(controller(kCtl), &state), 0);
    EXPECT_EQ(state, 2);
    ASSERT_EQ(ctl_get_unit_queuing(u, &state), 0);
    EXPECT_EQ(state, 1);
    ASSERT_EQ(ctl_get_read_cache(u, &state), 0);
    EXPECT_EQ(state, 2);
}

TEST_F(CommandLogUnitLines, FirmwareDownloads) {
    test_images::ControllerImage c;
    c.architecture = 8;
    const std::string image = dir_.file("fw.bin"), empty = dir_.file("empty.bin");
    ASSERT_TRUE(test_images::write_image(image, test_images::controller_image(c)));
    ASSERT_TRUE(test_images::write_image(empty, {}));
    const std::string line = "Download firmware(controller=0, filename=" + image + "): Success";
    const std::string refused = "Download firmware(controller=0, filename=" + empty + "): Failed";
    // A name that would start a line of its own is kept on one line.
    const std::string forged = dir_.file("x\n[forged]");
    const std::string forged_line =
        "Download firmware(controller=0, filename=" + dir_.file("x?[forged]") + "): Failed";
    expect_lines({
        {[&](CommandLogger& l) { return l.download_firmware(controller(kCtl), image.c_str()); }, 0,
         line.c_str()},
        {[&](CommandLogger& l) { return l.download_firmware(controller(kCtl), empty.c_str()); }, -1,
         refused.c_str()},
        {[&](CommandLogger& l) { return l.download_firmware(controller(kCtl), forged.c_str()); },
         -1, forged_line.c_str()},
    });
    EXPECT_EQ(last_error().os_error, ENOENT);
}

}  // namespace
