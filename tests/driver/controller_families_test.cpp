// Controller families as discovery records them, and the drivers'
// compatibility records, on simulated machines.
#include <cstring>
#include <memory>

#include "driver/compat_info.h"
#include "driver/driver_layer.h"
#include "tests/driver/sim_machine.h"
#include "tests/support/param_names.h"

namespace {

ObjectId controller(uint8_t index) {
    return ObjectId{{1, index, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
}

constexpr char kFamilies[] =
    "driver name=dq-xxxx pairing=proc\n"
    "driver name=dq-Mxxx pairing=sysfs\n"
    "driver name=dq-nv pairing=sysfs\n"
    "driver name=dq-sas pairing=sysfs\n"
    "controller index=1 driver=dq-xxxx\n"
    "controller index=10 driver=dq-Mxxx arch=4\n"
    "controller index=11 driver=dq-Mxxx arch=5\n"
    "controller index=12 driver=dq-Mxxx arch=6\n"
    "controller index=13 driver=dq-Mxxx arch=6\n"
    "  param table=0x403 id=26 value=u32:0x200\n"
    "controller index=14 driver=dq-Mxxx arch=7\n"
    "  param table=0x403 id=26 value=u32:0x100\n"
    "controller index=15 driver=dq-Mxxx arch=7\n"
    "  param table=0x403 id=26 value=u32:0xCFF\n"
    "controller index=16 driver=dq-nv arch=8\n"
    "controller index=17 driver=dq-sas arch=9\n"
    "controller index=18 driver=dq-sas arch=10\n"
    "controller index=19 driver=dq-Mxxx arch=11\n"
    "controller index=20 driver=dq-Mxxx arch=3\n"
    // The architecture id cannot be read.
    "controller index=21 driver=dq-Mxxx arch=8\n"
    "fault index=21 opcode=0x52 table=0x402 parameter=14 firmware-code=0x010C\n"
    // The generation flags cannot be read: no bits set.
    "controller index=22 driver=dq-Mxxx arch=6\n"
    "  param table=0x403 id=26 value=u32:0x300\n"
    "fault index=22 opcode=0x52 table=0x403 parameter=26 firmware-code=0x010C\n";

TEST(ControllerFamilies, FromTheNodeLetterAndTheArchitectureId) {
    load_machine(kFamilies);
    DriverLayer layer;
    EXPECT_TRUE(layer.families_known());
    const struct {
        uint8_t index;
        int32_t family;
    } expected[] = {
        {1, 3},   {10, 4}, {11, 4}, {12, 6},  {13, 7},  {14, 7},
        {15, 6},  {16, 8}, {17, 9}, {18, 10}, {19, -1}, {20, -1},
        {21, -1}, {22, 6}, {0, 0},  {2, 0},   {254, 0}, {255, 0},  // no controller there
    };
    for (const auto& e : expected)
        EXPECT_EQ(layer.get_controller_family(controller(e.index)), e.family) << int(e.index);
}

TEST(ControllerFamilies, NoControllerNoFamilies) {
    load_machine("driver name=dq-Mxxx pairing=sysfs\n");
    DriverLayer layer;
    clear_last_error();
    EXPECT_EQ(layer.get_controller_family(controller(0)), -1);
    EXPECT_FALSE(layer.families_known());
    EXPECT_STREQ(last_error().text, "(0x0B:0x0001): No controller");
}

TEST(ControllerFamilies, DetectedAgainWhenTheMachineChanges) {
    load_machine("driver name=dq-Mxxx pairing=sysfs\ncontroller index=3 driver=dq-Mxxx arch=8\n");
    DriverLayer layer;
    EXPECT_EQ(layer.get_controller_family(controller(3)), 8);
    load_machine("driver name=dq-Mxxx pairing=sysfs\ncontroller index=4 driver=dq-Mxxx arch=10\n");
    layer.rediscover();
    EXPECT_EQ(layer.get_controller_family(controller(3)), 0);
    EXPECT_EQ(layer.get_controller_family(controller(4)), 10);
}

struct CompatCase {
    const char* name;
    const char* scenario;
    uint8_t index;
    const char* version;  // "" for 56 zero bytes
    int vm;
};
PRINT_CASE_BY_NAME(CompatCase)

const CompatCase kCompat[] = {
    {"first_series_has_none",
     "driver name=dq-xxxx pairing=proc\ncontroller index=1 driver=dq-xxxx\n", 1, "", 0},
    {"second_series_driver",
     "driver name=dq-Mxxx\ncontroller index=2 driver=dq-Mxxx arch=6 driver-version=3.26.02.012\n",
     2, "3.26.02.012", 0},
    {"nv_driver", "driver name=dq-nv\ncontroller index=2 driver=dq-nv arch=8\n", 2, "3.26.02.000",
     0},
    {"sas_driver_from_sysfs", "driver name=dq-sas\ncontroller index=4 driver=dq-sas arch=8\n", 4,
     "3.26.02.000", 0},
    {"sas_driver_with_a_short_file",
     "driver name=dq-sas\ncontroller index=4 driver=dq-sas arch=8\n"
     "sysfs index=4 file=tavix_compat_info size=40\n",
     4, "", 0},
    {"virtual_machine_driver_by_links",
     "driver name=dq-Mxxx_vm40 pairing=link\ncontroller index=0 driver=dq-Mxxx_vm40 arch=6\n", 0,
     "3.26.02.000vm40", 1},
    {"virtual_machine_sas_driver",
     "driver name=dq-sas_vm50 pairing=proc\ncontroller index=3 driver=dq-sas_vm50 arch=8\n", 3,
     "3.26.02.000vm50", 1},
};

class CompatInfo : public ::testing::TestWithParam<CompatCase> {};

TEST_P(CompatInfo, FirstBytesOfTheDriversRecord) {
    load_machine(GetParam().scenario);
    DriverLayer layer;
    uint8_t info[60];
    std::memset(info, 0xEE, sizeof info);
    EXPECT_EQ(layer.get_compat_info(controller(GetParam().index), info), 0);
    EXPECT_EQ(info[56], 0xEE);  // 56 bytes, no more
    const std::string version = GetParam().version;
    if (version.empty()) {
        for (size_t i = 0; i < 56; ++i) ASSERT_EQ(info[i], 0) << i;
    } else {
        EXPECT_STREQ(reinterpret_cast<const char*>(info), version.c_str());
        EXPECT_EQ(info[50] | info[51] << 8, 40);  // the running firmware's SRL
    }
    EXPECT_EQ(layer.is_vm_driver(controller(GetParam().index)), GetParam().vm);
}

INSTANTIATE_TEST_SUITE_P(Drivers, CompatInfo, ::testing::ValuesIn(kCompat),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
