// The enclosures of the default simulated machine, as make run shows them.
#include <cstring>

#include "tests/api/enclosure_machine.h"

namespace {

PYV2_LIBRARY_MACHINE(sim::default_scenario());

TEST(DefaultEnclosures, AnSesEnclosureWithEveryKindAndASafteEnclosure) {
    EnclosureIdList all;
    ASSERT_EQ(ctl_list_all_enclosures(&all), 0) << last_error().text;
    ASSERT_EQ(all.count, 2u);
    EXPECT_EQ(id_bytes(all.ids[0]), bytes({4, 2, 0xFF, 0xFF, 0x40, 0xFF, 0, 0}));
    EXPECT_EQ(id_bytes(all.ids[1]), bytes({4, 3, 0xFF, 0xFF, 0x40, 0, 2, 1}));

    struct Counts {
        int (*count)(ObjectId, uint32_t*);
        uint32_t safte, ses;
    };
    const Counts counts[] = {
        {ctl_get_slot_count, 4, 12},         {ctl_get_fan_count, 2, 2},
        {ctl_get_temp_sensor_count, 1, 2},   {ctl_get_power_supply_count, 2, 2},
        {ctl_get_door_lock_count, 1, 1},     {ctl_get_alarm_count, 1, 1},
    };
    for (const Counts& c : counts) {
        uint32_t safte = 0, ses = 0;
        ASSERT_EQ(c.count(all.ids[0], &safte), 0);
        ASSERT_EQ(c.count(all.ids[1], &ses), 0);
        EXPECT_EQ(safte, c.safte);
        EXPECT_EQ(ses, c.ses);
    }

    // The SES slots hold the controller's eight drives; the rest are empty.
    SlotIdList slots;
    ASSERT_EQ(ctl_get_slot_list(all.ids[1], &slots), 0);
    uint32_t flags[128];
    ASSERT_EQ(ctl_get_slot_list_status(flags, sizeof flags, slots), 0);
    EXPECT_EQ(std::vector<uint32_t>(flags, flags + 10),
              (std::vector<uint32_t>{9, 9, 9, 9, 9, 9, 9, 9, 0, 0}));
    ObjectId port, slot;
    ASSERT_EQ(ctl_make_port_id(3, 2, &port), 0);
    ASSERT_EQ(ctl_get_port_slot(port, &slot), 0);
    EXPECT_EQ(id_bytes(slot), id_bytes(slots.ids[2]));
    ASSERT_EQ(ctl_make_port_id(2, 3, &port), 0);
    ASSERT_EQ(ctl_get_port_slot(port, &slot), 0);
    EXPECT_EQ(id_bytes(slot), bytes({9, 2, 3, 0xFF, 0x40, 0xFF, 0, 0}));
}

TEST(DefaultEnclosures, TheSesEnclosureIsAModuleWithItsFirmwareVersion) {
    EnclosureIdList all;
    ASSERT_EQ(ctl_list_all_enclosures(&all), 0) << last_error().text;
    EnclosureFirmwareVersionList versions;
    ASSERT_EQ(ctl_get_enclosure_firmware_versions(all.ids[1], &versions), 0) << last_error().text;
    ASSERT_EQ(versions.count, 1);
    EXPECT_STREQ(versions.entries[0].version, "0.00.01.10");
    // The SAF-TE enclosure's controller takes no enclosure firmware.
    EXPECT_EQ(ctl_get_enclosure_firmware_versions(all.ids[0], &versions), -1);
}

}  // namespace
