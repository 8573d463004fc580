// The controller settings of the daemon's start, on the default simulated
// controllers: the first-series controller (index 1) takes its task rate
// from its digit of BGRate, and every controller is rescanned.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

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
    config_->set_bg_rate("1234");
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
        config_->set_bg_rate(rates);
        sim::clear_journal();
        EXPECT_EQ(apply_start_controller_settings(*config_), 0);
        EXPECT_EQ(commands_of_controller_1(), (std::vector<std::string>{kAddPort10, kAddPort11}));
    }
}

}  // namespace
