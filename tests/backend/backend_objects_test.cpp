// The library's back-end objects as the start-up leaves them: built before
// main, their enclosure cache empty and covering every controller index.
#include <gtest/gtest.h>

#include "backend/backends.h"
#include "driver/driver_layer.h"

namespace {

// Before main the driver layer found the default simulated machine and
// learned its families, then the back ends were built.
TEST(BackendObjects, BuiltAfterDiscoveryOfTheFamilies) {
    DriverLayer& layer = library_driver_layer();
    ASSERT_TRUE(layer.families_known());
    const struct {
        uint8_t index;
        int32_t family;
    } expected[] = {{1, 3}, {2, 6}, {3, 8}, {0, 0}};
    for (const auto& e : expected) {
        const ObjectId id = {{1, e.index, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
        EXPECT_EQ(layer.get_controller_family(id), e.family) << int(e.index);
    }
    uint32_t level = 0;
    EXPECT_EQ(
        series_backend().get_firmware_level({{1, 3, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}}, &level),
        0);
    EXPECT_EQ(level, 37u);
}

TEST(BackendObjects, EnclosureCacheStartsInvalidForEveryController) {
    SeriesBackend& series = series_backend();
    for (int controller = 0; controller < 255; ++controller) {
        for (int position = 0; position < 16; ++position) {
            const EnclosureCacheRecord* record =
                series.enclosure_record(uint8_t(controller), uint8_t(position));
            ASSERT_NE(record, nullptr) << controller << ":" << position;
            ASSERT_EQ(record->flags & EnclosureCacheRecord::kValid, 0) << controller;
        }
    }
}

TEST(BackendObjects, EnclosureCacheRecordOfEachControllerAndPosition) {
    SeriesBackend& series = series_backend();
    // Each (controller, position) has a record of its own, next to its
    // neighbours: controller 2 holds records 32 to 47.
    EXPECT_EQ(series.enclosure_record(2, 0) - series.enclosure_record(0, 0), 32);
    EXPECT_EQ(series.enclosure_record(2, 15) - series.enclosure_record(0, 0), 47);
    EXPECT_EQ(series.enclosure_record(254, 15) - series.enclosure_record(0, 0), 254 * 16 + 15);
    EXPECT_EQ(series.enclosure_record(255, 0), nullptr);  // "no controller"
    EXPECT_EQ(series.enclosure_record(0, 16), nullptr);
}

}  // namespace
