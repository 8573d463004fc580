// Controller records filled from the library on the default simulated
// controllers.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "tests/daemon/context_fixture.h"
#include "daemon/config_store.h"
#include "daemon/daemon_context.h"
#include "driver/message_catalogue.h"

namespace {

using ControllerFillTest = ContextFixture;

TEST_F(ControllerFillTest, RecordsOfTheListedControllers)
{
    ControllerIdList list;
    clear_id_list(list);
    list.count = 77;
    ASSERT_EQ(list_controllers(&list), 0);
    ASSERT_EQ(list.count, 3u);
    ControllerRecord records[3];
    EXPECT_EQ(context_->fill_controllers(list, records), 0);

    struct Expected {
        int index;
        const char* serial;
        bool first_series;
    };
    const Expected expected[] = {
        {1, "L1A0000001", true}, {2, "M2B0000002", false}, {3, "S3C0000003", false}};
    for (int i = 0; i < 3; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(records[i].position, i);
        EXPECT_EQ(records[i].controller_index, expected[i].index);
        EXPECT_STREQ(records[i].serial_number, expected[i].serial);
        EXPECT_STREQ(records[i].error_text, "");
        if (expected[i].first_series)
            EXPECT_EQ(records[i].family, 3);
        else
            EXPECT_GT(records[i].family, 3);
    }
    EXPECT_STREQ(records[0].model, "QX-2400-12");
    EXPECT_STREQ(records[1].model, "QX-6200-8");
    EXPECT_STREQ(records[2].model, "QX-8800-4i");
}

TEST_F(ControllerFillTest, ControllerThatIsNotThere)
{
    ObjectId absent;
    ASSERT_EQ(ctl_make_controller_id(9, &absent), 0);
    ControllerRecord record;
    EXPECT_EQ(context_->fill_controller(4, absent, &record), 1);
    EXPECT_EQ(record.position, 4);
    EXPECT_EQ(record.family, -1);
    EXPECT_STREQ(record.model, "");
    // The library's reason, in the catalogue's form, for the page to show.
    EXPECT_EQ(std::string(record.error_text).rfind("(0x", 0), 0u) << record.error_text;
}

}  // namespace
