// The controller settings of the daemon's start, on the default simulated
// controllers: the first-series controller (index 1) takes its task rate
// from its digit of BGRate, and every controller is rescanned.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "api/ctl.h"
#include "daemon/config_store.h"
#include "daemon/start_controllers.h"
#include "sim/sim.h"
#include "tests/support/files.h"

namespace {

class StartControllers : public ::testing::Test {
protected:
    void SetUp() override
    {
        config_ = std::make_unique<ConfigStore>(dir_.file("pyv2.conf").c_str());
        sim::clear_journal();
    }

    test_support::TempDir dir_;
    std::unique_ptr<ConfigStore> config_;
};

// The first-series commands controller 1 received, as (opcode, the bytes
// that follow the packet's first eight, as hex): SET PARAMETER shows its
// parameter block, add drive its port mask.
std::vector<std::string> commands_of_controller_1()
{
    std::vector<std::string> out;
    for (const sim::JournalEntry& e : sim::journal()) {
        if (e.controller != 1 || e.request != 0x1F || e.sent[512] == 0x52)
            continue;
        const uint8_t* packet = e.sent.data() + 512;
        std::string bytes(reinterpret_cast<const char*>(packet), 8);
        if (packet[0] == 0x53)
            bytes.append(reinterpret_cast<const char*>(e.sent.data()) + 1024, 5);
        if (packet[0] == 0x06)
            bytes.append(reinterpret_cast<const char*>(packet) + 8, 4);
        out.push_back(test_support::hex(bytes));
    }
    return out;
}

const char kAddPort10[] = "060300000000000000040000";
const char kAddPort11[] = "060300000000000000080000";

TEST_F(StartControllers, RateFromTheControllersDigitThenRescan)
{
    ASSERT_EQ(config_->set_bg_rate("1234"), 0);
    EXPECT_EQ(apply_start_controller_settings(*config_), 0);
    // Rate 2 is the pair 8, 17 of parameters 3 and 4 of table 0x405; the
    // rescan asks the empty ports 10 and 11 for a drive.
    EXPECT_EQ(commands_of_controller_1(),
              (std::vector<std::string>{"53040000000001000504030108", "53040000000001000504040111",
                                        kAddPort10, kAddPort11}));
}

TEST_F(StartControllers, NoUsableDigitLeavesTheRateButStillRescans)
{
    for (const char* rates : {"3", "30", "3x"}) {
        SCOPED_TRACE(rates);
        ASSERT_EQ(config_->set_bg_rate(rates), 0);
        sim::clear_journal();
        EXPECT_EQ(apply_start_controller_settings(*config_), 0);
        EXPECT_EQ(commands_of_controller_1(), (std::vector<std::string>{kAddPort10, kAddPort11}));
    }
}

// What the public functions tell of a controller's units: number, type,
// status and drives, one text per unit.
std::vector<std::string> units_of(uint8_t index)
{
    ObjectId id;
    ctl_make_controller_id(index, &id);
    IdList units;
    EXPECT_EQ(ctl_get_unit_list(id, &units), 0);
    std::vector<std::string> out;
    for (uint32_t i = 0; i < units.count; i++) {
        int32_t type = -1;
        uint8_t status = 0;
        IdList drives;
        ctl_get_unit_type(units.ids[i], &type);
        ctl_get_unit_status(units.ids[i], &status);
        ctl_get_unit_drive_list(units.ids[i], &drives);
        std::string text = std::to_string(units.ids[i].b[4]) + ":" + std::to_string(type) + ":" +
                           std::to_string(status);
        for (uint32_t d = 0; d < drives.count; d++)
            text += "," + std::to_string(drives.ids[d].b[2]);
        out.push_back(text);
    }
    return out;
}

// The second-series controllers (2 and 3) are rescanned too: their ports
// are scanned, and no unit is deleted, imported or otherwise changed.
TEST_F(StartControllers, RescanLeavesTheDefaultUnitsAlone)
{
    const std::vector<std::string> before[] = {units_of(2), units_of(3)};
    ASSERT_EQ(before[0].size(), 3u);
    ASSERT_EQ(before[1].size(), 3u);
    EXPECT_EQ(apply_start_controller_settings(*config_), 0);
    EXPECT_EQ(units_of(2), before[0]);
    EXPECT_EQ(units_of(3), before[1]);
    int scans[4] = {};
    for (const sim::JournalEntry& e : sim::journal()) {
        if (e.request != 264)
            continue;
        const uint8_t opcode = e.sent[640];
        EXPECT_TRUE(opcode == 0x52 || opcode == 0x06) << int(opcode);
        if (opcode == 0x06)
            scans[e.controller]++;
    }
    EXPECT_GT(scans[2], 0);
    EXPECT_GT(scans[3], 0);
}

}  // namespace
