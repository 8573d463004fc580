// The battery backup unit through the public functions: what each state of
// the unit reads as, the status word's fields, the capacity test running on
// the machine's clock, and the battery commands byte for byte.
#include <cstring>
#include <ctime>
#include <string>

#include "backend/series_backend.h"
#include "tests/api/library_machine.h"
#include "tests/support/journal.h"
#include "tests/support/param_names.h"

namespace {

// One controller per state of its battery backup unit.
PYV2_LIBRARY_MACHINE(
    "clock mode=virtual\n"
    "driver name=dq-xxxx pairing=proc\n"
    "driver name=dq-Mxxx pairing=sysfs\n"
    "controller index=0 driver=dq-xxxx ports=4\n"
    "controller index=1 driver=dq-Mxxx arch=5 ports=4\n"
    "  battery installed=\"12-Mar-2024\" last-test=\"02-Jun-2025\" serial=\"BBU0001\"\n"
    "controller index=2 driver=dq-Mxxx arch=6 ports=4\n"
    "controller index=3 driver=dq-Mxxx arch=8 ports=4\n"
    "  battery pack=0\n"
    "controller index=4 driver=dq-Mxxx arch=9 ports=4\n"
    "  battery state=charging voltage=low celsius=31 capacity=0 installed=\"01-Feb-2025\"\n"
    "controller index=5 driver=dq-Mxxx arch=10 ports=4\n"
    "  battery state=failed voltage=too-low temperature=too-high celsius=-10 capacity=0\n"
    "controller index=6 driver=dq-Mxxx arch=6 ports=4\n"
    "  battery enabled=0\n"
    "controller index=7 driver=dq-Mxxx arch=8 ports=4\n"
    "  battery\n"
    "controller index=8 driver=dq-Mxxx arch=5 ports=4\n"
    "  battery test-seconds=7200\n");

// A value, or "!" and the API error of the refusal.
template <typename T>
std::string outcome(int result, T value) {
    if (result != 0) return "!" + std::to_string(last_error().api_code);
    return std::to_string(value);
}

std::string text_outcome(int result, const char* text) {
    return result != 0 ? "!" + std::to_string(last_error().api_code) : std::string(text);
}

// Everything the battery page shows of a unit, in one line.
std::string battery_line(uint8_t index) {
    const ObjectId id = controller(index);
    int32_t i = -99;
    uint32_t u = 99;
    char date[16];
    std::string line;
    int r = ctl_get_bbu_present(id, &i);
    line += "present=" + outcome(r, i != 0);
    r = ctl_get_battery_present(id, &i);
    line += " pack=" + outcome(r, i != 0);
    r = ctl_get_bbu_ready(id, &i);
    line += " ready=" + outcome(r, i);
    r = ctl_get_bbu_status(id, &i);
    line += " status=" + outcome(r, i);
    r = ctl_get_battery_voltage_status(id, &i);
    line += " voltage=" + outcome(r, i);
    r = ctl_get_battery_temperature_status(id, &i);
    line += " heat=" + outcome(r, i);
    r = ctl_get_battery_temperature(id, &i);
    line += " celsius=" + outcome(r, i);
    r = ctl_get_estimated_backup_capacity(id, &u);
    line += " hours=" + outcome(r, u);
    r = ctl_get_battery_installation_date(id, date);
    line += " installed=" + text_outcome(r, date);
    r = ctl_get_last_capacity_test(id, date);
    line += " tested=" + text_outcome(r, date);
    return line;
}

struct StateCase {
    const char* name;
    uint8_t index;
    const char* line;
};
PRINT_CASE_BY_NAME(StateCase)

const StateCase kStateCases[] = {
    {"ok", 1,
     "present=1 pack=1 ready=8 status=0 voltage=0 heat=0 celsius=27 hours=72 "
     "installed=12-Mar-2024 tested=02-Jun-2025"},
    {"absent", 2,
     "present=0 pack=!74 ready=!74 status=!74 voltage=!74 heat=!74 celsius=!74 hours=!74 "
     "installed=!74 tested=!74"},
    {"no_battery_pack", 3,
     "present=1 pack=0 ready=0 status=2 voltage=!75 heat=!75 celsius=!75 hours=!75 "
     "installed=!75 tested=!75"},
    {"charging", 4,
     "present=1 pack=1 ready=0 status=4 voltage=1 heat=0 celsius=31 hours=0 "
     "installed=01-Feb-2025 tested="},
    {"failed", 5,
     "present=1 pack=1 ready=0 status=8 voltage=3 heat=4 celsius=-10 hours=0 installed= "
     "tested="},
    {"disabled", 6,
     "present=!90 pack=!90 ready=!90 status=!90 voltage=!90 heat=!90 celsius=!90 hours=!90 "
     "installed=!90 tested=!90"},
};

class BatteryStates : public ::testing::TestWithParam<StateCase> {};

TEST_P(BatteryStates, ReadAsTheUnitIs) {
    EXPECT_EQ(battery_line(GetParam().index), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(Units, BatteryStates, ::testing::ValuesIn(kStateCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Fields of the status word and the status code as the firmware gives them.
TEST(Battery, StatusWordFieldsAndCodes) {
    const ObjectId id = controller(7);
    struct Case {
        const char* word;
        int32_t voltage, heat, ready, bit11, bit14;
    } cases[] = {
        {"0xC0000078", -1, 0, 8, 0, 0},  // voltage field 7
        {"0xC0000428", 2, 4, 8, 0, 0},   // high, too high
        {"0xC0004800", 0, 0, 0, 1, 1},   // the two further flags
        {"0xC0000730", 3, -1, 0, 0, 0},  // temperature field 7
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.word);
        change_machine(std::string("param index=7 table=0x8006 id=2 value=u32:") + c.word + "\n");
        int32_t value = -99;
        ASSERT_EQ(ctl_get_battery_voltage_status(id, &value), 0);
        EXPECT_EQ(value, c.voltage);
        ASSERT_EQ(ctl_get_battery_temperature_status(id, &value), 0);
        EXPECT_EQ(value, c.heat);
        ASSERT_EQ(ctl_get_bbu_ready(id, &value), 0);
        EXPECT_EQ(value, c.ready);
        ASSERT_EQ(ctl_get_battery_status_bit11(id, &value), 0);
        EXPECT_EQ(value, c.bit11);
        ASSERT_EQ(ctl_get_battery_status_bit14(id, &value), 0);
        EXPECT_EQ(value, c.bit14);
    }
    change_machine(
        "param index=7 table=0x8006 id=18 value=u8:0xF6\n"
        "param index=7 table=0x8006 id=65 value=u8:10\n");
    int32_t value = 0;
    ASSERT_EQ(ctl_get_battery_temperature(id, &value), 0);
    EXPECT_EQ(value, -10);
    ASSERT_EQ(ctl_get_bbu_status(id, &value), 0);
    EXPECT_EQ(value, -1);
}

// A status word that cannot be read counts as no unit.
TEST(Battery, UnreadableStatusWordMeansNoUnit) {
    change_machine(
        "fault index=7 opcode=0x52 table=0x8006 parameter=2 firmware-code=0x0381 count=-1\n");
    int32_t present = -1;
    ASSERT_EQ(ctl_get_bbu_present(controller(7), &present), 0);
    EXPECT_EQ(present, 0);
    char serial[32];
    EXPECT_EQ(ctl_get_bbu_serial_number(controller(7), serial), -1);
    EXPECT_EQ(last_error().api_code, 74);
    change_machine("clear-faults\n");
}

TEST(Battery, TextsAndFamily10) {
    char text[64];
    std::memset(text, 0x55, sizeof text);
    ASSERT_EQ(ctl_get_bbu_serial_number(controller(1), text), 0);
    EXPECT_STREQ(text, "BBU0001");
    EXPECT_EQ(text[31], 0);  // the whole 32-byte buffer is cleared
    EXPECT_EQ(text[32], 0x55);
    ASSERT_EQ(ctl_get_bbu_string_7(controller(1), text), 0);
    EXPECT_STREQ(text, "Li-ion 7.4 V 1500 mAh");

    // Family 10 has no firmware version or text 5 to read, battery or not.
    for (int (*read)(ObjectId, char*) : {ctl_get_bbu_firmware_version, ctl_get_bbu_string_5}) {
        sim::clear_journal();
        ASSERT_EQ(read(controller(5), text), 0);
        EXPECT_STREQ(text, "N/A");
        EXPECT_EQ(driver_requests(), 0u);
    }
    ASSERT_EQ(ctl_get_bbu_firmware_version(controller(1), text), 0);
    EXPECT_STREQ(text, "BBU 3.02.00.004");
    EXPECT_EQ(ctl_get_bbu_firmware_version(controller(0), text), -1);
    EXPECT_EQ(last_error().api_code, 2);
}

std::string date_of(uint32_t seconds) {
    const time_t when = seconds;
    struct tm parts;
    gmtime_r(&when, &parts);
    char text[16];
    std::strftime(text, sizeof text, "%d-%b-%Y", &parts);
    return text;
}

// The capacity test runs for the unit's test time on the machine's clock,
// with an event at its start and one at its end.
TEST(Battery, CapacityTestRunsOnTheClock) {
    const ObjectId id = controller(8);
    sim::clear_journal();
    ASSERT_EQ(ctl_start_bbu_battery_test(id), 0) << last_error().text;
    const std::vector<sim::JournalEntry> sent = requests(264);
    ASSERT_GE(sent.size(), 1u);
    EXPECT_EQ(
        first_difference(sent.back().sent, expected_request(264, {0x1E, 2, 0, 0, 0, 0, 1}, {})),
        -1);
    int32_t status = -1;
    ASSERT_EQ(ctl_get_bbu_status(id, &status), 0);
    EXPECT_EQ(status, 3);
    EventRecord started;
    ASSERT_EQ(ctl_get_last_aen(id, &started), 0);
    EXPECT_STREQ(started.description, "(0x04:0x004E): Battery capacity test started");

    // A second test while the first runs is refused by the firmware.
    EXPECT_EQ(ctl_start_bbu_battery_test(id), -1);
    EXPECT_EQ(last_error().controller_status, 0x0302);

    sim::kernel_sleep(7199ull * 1000000u);
    ASSERT_EQ(ctl_get_bbu_status(id, &status), 0);
    EXPECT_EQ(status, 3);
    sim::kernel_sleep(1000000ull);
    ASSERT_EQ(ctl_get_bbu_status(id, &status), 0);
    EXPECT_EQ(status, 0);
    EventRecord ended;
    ASSERT_EQ(ctl_get_next_aen(id, started.sequence, &ended), 0);
    EXPECT_STREQ(ended.description, "(0x04:0x0050): Battery capacity test completed");
    EXPECT_EQ(ended.time - started.time, 7200u);
    char date[16];
    ASSERT_EQ(ctl_get_last_capacity_test(id, date), 0);
    EXPECT_EQ(date, date_of(ended.time));
}

TEST(Battery, CommandsNeedTheirUnitAndRoute) {
    const std::vector<uint8_t> command31 = {0x1F, 5, 0, 0, 0, 0, 24, 0, 0, 0, 0, 0, 1};
    sim::clear_journal();
    ASSERT_EQ(ctl_send_bbu_command_31(controller(3)), 0) << last_error().text;
    ASSERT_EQ(requests(264).size(), 3u);  // enabled flag, status word, command
    EXPECT_EQ(first_difference(requests(264).back().sent, expected_request(264, command31, {})),
              -1);

    struct Case {
        const char* name;
        int (*send)(ObjectId);
        uint8_t index;
        int32_t api_code;  // 0: sent
    } cases[] = {
        {"test without a pack", ctl_start_bbu_battery_test, 3, 75},
        {"test without a unit", ctl_start_bbu_battery_test, 2, 74},
        {"test while disabled", ctl_start_bbu_battery_test, 6, 90},
        {"command 31 without a unit", ctl_send_bbu_command_31, 2, 74},
        {"command 2 on family 9", ctl_send_bbu_command_2, 4, 0},
        {"command 3 on family 9", ctl_send_bbu_command_3, 4, 0},
        {"command 2 on family 10", ctl_send_bbu_command_2, 5, 2},
        {"command 3 on family 4", ctl_send_bbu_command_3, 1, 2},
        {"test on family 3", ctl_start_bbu_battery_test, 0, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::clear_journal();
        const int result = c.send(controller(c.index));
        bool command_sent = false;
        for (const sim::JournalEntry& e : requests(264)) command_sent |= e.sent[640] != 0x52;
        EXPECT_EQ(command_sent, c.api_code == 0);
        if (c.api_code == 0) {
            EXPECT_EQ(result, 0) << last_error().text;
        } else {
            EXPECT_EQ(result, -1);
            EXPECT_EQ(last_error().api_code, c.api_code);
        }
    }
}

// Switching the unit on and off works while it is off, and writes the flag
// alone.
TEST(Battery, EnableAndDisable) {
    const ObjectId id = controller(6);
    sim::clear_journal();
    ASSERT_EQ(ctl_enable_bbu(id), 0) << last_error().text;
    const std::vector<uint8_t> packet = {
        0x53, uint8_t(SeriesBackend::get_arch_class() + 2), 0, 0, 0, 0, 1};
    ASSERT_EQ(requests(264).size(), 1u);
    EXPECT_EQ(first_difference(requests(264)[0].sent,
                               expected_request(264, packet, {0x06, 0x80, 64, 0, 1, 0, 0, 0, 1})),
              -1);
    uint32_t enabled = 0;
    ASSERT_EQ(ctl_get_bbu_enabled(id, &enabled), 0);
    EXPECT_EQ(enabled, 1u);
    int32_t status = -1;
    ASSERT_EQ(ctl_get_bbu_status(id, &status), 0);
    EXPECT_EQ(status, 0);

    ASSERT_EQ(ctl_disable_bbu(id), 0);
    ASSERT_EQ(ctl_get_bbu_enabled(id, &enabled), 0);
    EXPECT_EQ(enabled, 0u);
    EXPECT_EQ(ctl_get_bbu_status(id, &status), -1);
    EXPECT_EQ(last_error().api_code, 90);
}

}  // namespace
