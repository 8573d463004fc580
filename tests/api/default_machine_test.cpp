// The default simulated machine, as make run shows it, read through the
// public functions: what a newcomer sees must look like a real machine.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "api/ctl.h"

namespace {

TEST(DefaultMachine, SecondSeriesControllersShowUnitsSparesAndFreeDrives) {
    ControllerIdList controllers;
    ASSERT_EQ(ctl_list_controllers(&controllers), 0);
    int second_series = 0, multi_lun = 0;
    for (uint32_t c = 0; c < controllers.count; ++c) {
        const ObjectId ctl = controllers.ids[c];
        int32_t family = 0;
        ASSERT_EQ(ctl_get_controller_family(ctl, &family), 0);
        if (family < 4) continue;
        ++second_series;
        SCOPED_TRACE(int(ctl.b[1]));
        IdList units;
        ASSERT_EQ(ctl_get_unit_list(ctl, &units), 0);
        std::set<int32_t> types;
        int troubled = 0;
        for (uint32_t u = 0; u < units.count; ++u) {
            int32_t type = -1;
            uint8_t status = 0;
            ASSERT_EQ(ctl_get_unit_type(units.ids[u], &type), 0);
            ASSERT_EQ(ctl_get_unit_status(units.ids[u], &status), 0);
            EXPECT_NE(status, 17);  // every unit reports a state the pages know
            types.insert(type);
            troubled += status != 255 ? 1 : 0;
            uint32_t luns = 0;
            if (family != 4 && ctl_get_lun_count(units.ids[u], &luns) == 0 && luns > 1)
                ++multi_lun;
        }
        EXPECT_GE(types.size(), 3u);
        EXPECT_EQ(types.count(13), 1u) << "a spare";
        EXPECT_GE(troubled, 1);

        // Present drives are healthy (255, "OK"), and some belong to no unit.
        IdList drives;
        ASSERT_EQ(ctl_get_drive_list(ctl, &drives), 0);
        int free_drives = 0;
        for (uint32_t d = 0; d < drives.count; ++d) {
            uint8_t status = 0;
            ASSERT_EQ(ctl_get_drive_status(drives.ids[d], &status), 0);
            EXPECT_EQ(status, 255);
            ObjectId holder;
            ASSERT_EQ(ctl_get_drive_unit(drives.ids[d], &holder), 0);
            free_drives += holder.b[4] == 0xFF ? 1 : 0;
        }
        EXPECT_GE(free_drives, 1);
    }
    EXPECT_EQ(second_series, 2);
    EXPECT_GE(multi_lun, 1);
}

}  // namespace
