// The descriptor list builders on their own: the RAID 50 grouping rule
// against the ways of dividing the drives, the room of a list, and the port
// bitmap.
#include <gtest/gtest.h>

#include <vector>

#include "backend/unit_list_builder.h"

namespace {

// The drives per sub-unit that divide n drives into 2 to 4 sub-units of at
// least 3, for n up to 32.
std::vector<uint32_t> divisions(uint32_t n) {
    std::vector<uint32_t> sizes;
    for (uint32_t g = 3; n <= 32 && g <= n; ++g)
        if (n % g == 0 && n / g >= 2 && n / g <= 4) sizes.push_back(g);
    return sizes;
}

TEST(Raid50Grouping, TakesTheOnlyWayOrTheOneAskedFor) {
    for (uint32_t n = 0; n <= 40; ++n) {
        const std::vector<uint32_t> ways = divisions(n);
        for (int32_t asked = -1; asked <= 20; ++asked) {
            uint32_t expected = 0;
            if (ways.size() == 1) expected = ways[0];
            for (uint32_t g : ways)
                if (ways.size() > 1 && int32_t(g) == asked) expected = g;
            EXPECT_EQ(raid50_group_size(n, asked), expected) << n << " drives, " << asked;
        }
    }
}

TEST(UnitLists, RefuseWhatDoesNotFitTwoHundredAndThreeRecords) {
    std::vector<uint8_t> ports(128);
    for (size_t i = 0; i < ports.size(); ++i) ports[i] = uint8_t(i);
    std::vector<uint64_t> sizes(80, 10);
    UnitListBuffer list;
    // 128 drives, the unit and 74 volumes: 203 records; one more is refused.
    EXPECT_TRUE(build_flat_list(0, 7, ports.data(), 128, VolumeSizes{sizes.data(), 74}, &list));
    EXPECT_EQ(list.records, 203);
    EXPECT_FALSE(build_flat_list(0, 7, ports.data(), 128, VolumeSizes{sizes.data(), 75}, &list));
    // RAID 6 adds its task record; RAID 50 its sub-unit records.
    EXPECT_FALSE(build_flat_list(7, 7, ports.data(), 128, VolumeSizes{sizes.data(), 74}, &list));
    EXPECT_TRUE(build_nested_list(8, 7, ports.data(), 32, 8, VolumeSizes{sizes.data(), 80},
                                  &list));
    EXPECT_EQ(list.records, 32 + 4 + 1 + 80);
    // Sectors that no longer fit 64 bits.
    const uint64_t huge[] = {1, UINT64_MAX / 2};
    EXPECT_FALSE(build_flat_list(0, 7, ports.data(), 2, VolumeSizes{huge, 2}, &list));
}

TEST(PortBitmap, OneBitPerPort) {
    PortBitmap bitmap;
    for (uint8_t port : {0, 9, 127}) bitmap.set(port);
    uint8_t expected[32] = {};
    expected[0] = 0x01;
    expected[1] = 0x02;
    expected[15] = 0x80;
    EXPECT_EQ(std::vector<uint8_t>(bitmap.bytes, bitmap.bytes + 32),
              std::vector<uint8_t>(expected, expected + 32));
}

}  // namespace
