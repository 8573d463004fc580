// Background task settings through the public functions: task rates and
// their modes, schedule slots and the whole schedule under the controller
// lock, spin-up and stagger limits, settings 10, 28 and 42, and the error
// logs.
#include <climits>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "tests/api/library_machine.h"
#include "tests/support/files.h"
#include "tests/support/journal.h"
#include "tests/support/param_names.h"

namespace {

// 0 family 3, 1 family 4, 2 family 8 with 8 ports, 3 family 10 (its lock
// is a settings parameter), 4 family 9, 9 family 6 on a virtual-machine
// driver an hour east of UTC.
PYV2_LIBRARY_MACHINE(
    "clock mode=virtual\n"
    "clock utc-offset=3600\n"
    "driver name=dq-xxxx pairing=proc\n"
    "driver name=dq-Mxxx pairing=sysfs\n"
    "driver name=dq-Mxxx_vm40 pairing=link\n"
    "controller index=0 driver=dq-xxxx ports=4\n"
    "controller index=1 driver=dq-Mxxx arch=5 ports=4\n"
    "controller index=2 driver=dq-Mxxx arch=8 ports=8\n"
    "controller index=3 driver=dq-Mxxx arch=10 ports=16\n"
    "controller index=4 driver=dq-Mxxx arch=9 ports=4\n"
    "controller index=9 driver=dq-Mxxx_vm40 arch=6 ports=4\n");

// The SET PARAMETER requests in the journal: (table, id, value as a
// number).
struct Written {
    uint16_t table, id;
    uint32_t value;
    bool operator==(const Written&) const = default;
};

[[maybe_unused]] void PrintTo(const Written& w, std::ostream* os) {
    *os << std::hex << "0x" << w.table << "/" << std::dec << w.id << "=" << w.value;
}

std::vector<Written> writes() {
    std::vector<Written> out;
    for (const sim::JournalEntry& e : requests(264)) {
        if (e.sent[640] != 0x53) continue;
        const SentBlock b = sent_block(e);
        uint32_t value = 0;
        for (size_t i = b.value.size() < 4 ? b.value.size() : 4; i-- > 0;)
            value = value << 8 | b.value[i];
        out.push_back({b.table, b.id, value});
    }
    return out;
}

void set_param(uint8_t index, const char* table, int id, const std::string& value) {
    change_machine("param index=" + std::to_string(index) + " table=" + table +
                   " id=" + std::to_string(id) + " value=" + value + "\n");
}

struct RateCase {
    const char* name;
    bool verify;
    uint32_t level;  // 0: the level cannot be read
    uint8_t stored_mode;
    int32_t rate;
    std::vector<Written> written;
};
PRINT_CASE_BY_NAME(RateCase)

const RateCase kRateCases[] = {
    {"rate_1_keeps_low_latency_in_step", false, 37, 1, 1, {{0x840C, 5, 220}, {0x840C, 13, 2}}},
    {"rate_2_leaves_the_rate_1_mode", false, 37, 2, 2, {{0x840C, 5, 170}, {0x840C, 13, 1}}},
    {"mode_already_in_step", false, 40, 1, 5, {{0x840C, 5, 20}}},
    {"older_firmware_writes_the_rate_only", false, 36, 1, 1, {{0x840C, 5, 220}}},
    {"unreadable_level_counts_as_old", false, 0, 1, 1, {{0x840C, 5, 220}}},
    {"adaptive_mode_is_left_alone", true, 37, 0, 3, {{0x840C, 6, 120}}},
    {"verify_rate_4", true, 37, 2, 4, {{0x840C, 6, 70}, {0x840C, 14, 1}}},
};

class TaskRates : public ::testing::TestWithParam<RateCase> {};

TEST_P(TaskRates, WrittenWithTheirMode) {
    const RateCase& c = GetParam();
    set_param(2, "0x402", 11, "u32:" + std::to_string(c.level));
    if (c.level == 0)
        change_machine("fault index=2 opcode=0x52 table=0x402 parameter=11 firmware-code=0x010C\n");
    set_param(2, "0x40C", c.verify ? 14 : 13, "u8:" + std::to_string(c.stored_mode));
    sim::clear_journal();
    int32_t rate = c.rate;
    const int result = c.verify ? ctl_set_verify_rate(controller(2), &rate)
                                : ctl_set_rebuild_rate(controller(2), &rate);
    ASSERT_EQ(result, 0) << last_error().text;
    EXPECT_EQ(writes(), c.written);
    int32_t back = 0;
    ASSERT_EQ(c.verify ? ctl_get_verify_rate(controller(2), &back)
                       : ctl_get_rebuild_rate(controller(2), &back),
              0);
    EXPECT_EQ(back, c.rate);
}

INSTANTIATE_TEST_SUITE_P(Rates, TaskRates, ::testing::ValuesIn(kRateCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TaskSettings, RatesOutsideOneToFiveAreRefused) {
    for (int32_t rate : {0, 6, -1, INT_MIN, INT_MAX}) {
        SCOPED_TRACE(rate);
        for (int (*set)(ObjectId, int32_t*) : {ctl_set_rebuild_rate, ctl_set_verify_rate}) {
            sim::clear_journal();
            int32_t value = rate;
            EXPECT_EQ(set(controller(2), &value), -1);
            EXPECT_EQ(last_error().api_code, 45);
            EXPECT_EQ(driver_requests(), 0u);
        }
    }
}

TEST(TaskSettings, ModesFollowTheStoredRate) {
    set_param(2, "0x402", 11, "u32:37");
    struct Case {
        int mode;
        uint8_t stored_rate;
        std::vector<Written> written;
    } cases[] = {
        {1, 220, {{0x840C, 13, 2}}},
        {1, 70, {{0x840C, 13, 1}}},
        {0, 220, {{0x840C, 13, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.mode) + " at " + std::to_string(c.stored_rate));
        set_param(2, "0x40C", 5, "u8:" + std::to_string(c.stored_rate));
        sim::clear_journal();
        ASSERT_EQ(ctl_set_rebuild_mode(controller(2), c.mode), 0) << last_error().text;
        EXPECT_EQ(writes(), c.written);
        uint8_t mode = 9;
        ASSERT_EQ(ctl_get_rebuild_mode(controller(2), &mode), 0);
        EXPECT_EQ(mode, c.mode);
    }
    // No mode 2 to ask for; and no modes below level 37 or on family 4.
    sim::clear_journal();
    EXPECT_EQ(ctl_set_verify_mode(controller(2), 2), -1);
    EXPECT_EQ(last_error().api_code, 122);
    EXPECT_TRUE(writes().empty());
    set_param(2, "0x402", 11, "u32:36");
    EXPECT_EQ(ctl_set_verify_mode(controller(2), 1), -1);
    EXPECT_EQ(last_error().api_code, 2);
    EXPECT_EQ(ctl_set_rebuild_mode(controller(1), 0), -1);
    EXPECT_EQ(last_error().api_code, 2);
}

TEST(TaskSettings, SlotsSetReadBackAndRefusedOutOfRange) {
    const ObjectId id = controller(2);
    ASSERT_EQ(ctl_set_rebuild_task(id, 3, 1500, 120), 0) << last_error().text;
    ASSERT_EQ(ctl_set_verify_task(id, 6, 9000, 300), 0);
    ASSERT_EQ(ctl_set_selftest_task(id, 0, 60), 0);
    uint16_t start = 0, duration = 0;
    ASSERT_EQ(ctl_get_rebuild_task(id, 3, &start, &duration), 0);
    EXPECT_EQ(start, 1500);
    EXPECT_EQ(duration, 120);
    ASSERT_EQ(ctl_get_verify_task(id, 6, &start, &duration), 0);
    EXPECT_EQ(start, 9000);
    EXPECT_EQ(duration, 300);
    ASSERT_EQ(ctl_get_selftest_task(id, 0, &start), 0);
    EXPECT_EQ(start, 60);

    // The controller has seven slots. A slot's table id is 0x8410 + slot in
    // 16 bits, so a larger slot could name another table (0xFFF3: the
    // controller settings, whose parameters 2 and 4 have the sizes of a
    // self-test start and a window): nothing is sent for it.
    for (int slot : {7, 0xFFF3, 0xFFFF}) {
        SCOPED_TRACE(slot);
        sim::clear_journal();
        EXPECT_EQ(ctl_set_rebuild_task(id, slot, 0, 60), -1);
        EXPECT_EQ(last_error().api_code, 122);
        EXPECT_EQ(ctl_set_verify_task(id, slot, 0, 60), -1);
        EXPECT_EQ(last_error().api_code, 122);
        EXPECT_EQ(ctl_set_selftest_task(id, slot, 0), -1);
        EXPECT_EQ(last_error().api_code, 122);
        EXPECT_EQ(driver_requests(), 0u);
    }
}

TaskSchedule sample_schedule() {
    TaskSchedule schedule;
    for (int slot = 0; slot < TaskSchedule::kSlots; ++slot)
        schedule.slots[slot] = {uint16_t(slot * 1440 + 60), uint16_t(slot * 1440 + 120), 240,
                                slot % 2 ? TaskSchedule::kNoTask : uint16_t(slot * 1440 + 600),
                                uint16_t(slot % 2 ? 0 : 180)};
    return schedule;
}

TEST(TaskSettings, WholeScheduleUnderTheLock) {
    const TaskSchedule schedule = sample_schedule();
    for (uint8_t index : {2, 3}) {
        SCOPED_TRACE(int(index));
        sim::clear_journal();
        ASSERT_EQ(ctl_set_task_schedule(controller(index), &schedule), 0) << last_error().text;
        TaskSchedule back;
        std::memset(&back, 0, sizeof back);
        ASSERT_EQ(ctl_get_schedule(controller(index), &back), 0);
        EXPECT_EQ(std::memcmp(&back, &schedule, sizeof back), 0);

        // The requests of the write, but for the compatibility records that
        // tell whether starts need converting.
        std::vector<unsigned long> codes;
        for (const sim::JournalEntry& e : sim::journal())
            if (e.request != 257) codes.push_back(e.request);
        std::vector<Written> all = writes();
        if (index == 2) {
            // The driver's lock around the 21 writes.
            std::vector<unsigned long> expected(23, 264);
            expected.front() = 262;
            expected.back() = 263;
            ASSERT_GE(codes.size(), 23u);
            EXPECT_EQ(std::vector<unsigned long>(codes.begin(), codes.begin() + 23), expected);
        } else {
            // Family 10 takes it with the lock parameter, in units of 10 ms.
            ASSERT_EQ(all.size(), 23u);
            EXPECT_EQ(all.front(), (Written{0x8403, 61, 500}));
            EXPECT_EQ(all.back(), (Written{0x8403, 61, 0}));
            all = std::vector<Written>(all.begin() + 1, all.end() - 1);
        }
        // Slot by slot: self-test start, rebuild window, verify window.
        ASSERT_EQ(all.size(), 21u);
        for (int slot = 0; slot < TaskSchedule::kSlots; ++slot) {
            const TaskScheduleSlot& s = schedule.slots[slot];
            const uint16_t table = uint16_t(0x8410 + slot);
            EXPECT_EQ(all[3 * slot], (Written{table, 2, s.selftest_start}));
            EXPECT_EQ(all[3 * slot + 1],
                      (Written{table, 3, s.rebuild_start | uint32_t(s.rebuild_duration) << 16}));
            EXPECT_EQ(all[3 * slot + 2],
                      (Written{table, 4, s.verify_start | uint32_t(s.verify_duration) << 16}));
        }
    }
}

TEST(TaskSettings, ScheduleStopsAtTheFirstFailedWrite) {
    change_machine("fault index=2 opcode=0x53 table=0x413 parameter=3 firmware-code=0x010D\n");
    sim::clear_journal();
    const TaskSchedule schedule = sample_schedule();
    EXPECT_EQ(ctl_set_task_schedule(controller(2), &schedule), -1);
    EXPECT_EQ(last_error().controller_status, 0x010D);
    // Slots 0 to 2 and slot 3's self-test start, then the refused write.
    EXPECT_EQ(writes().size(), 11u);
    EXPECT_EQ(sim::journal().back().request, 263u);  // the lock is given back

    // A lock another program holds: nothing is written.
    change_machine("lock index=2 ms=-1\n");
    sim::clear_journal();
    EXPECT_EQ(ctl_set_task_schedule(controller(2), &schedule), -1);
    EXPECT_TRUE(writes().empty());
    EXPECT_EQ(requests(262).size(), 10u);
    change_machine("lock index=2 ms=0\n");
}

// A virtual-machine controller keeps controller time; no task stays no task.
TEST(TaskSettings, VirtualMachineStartsAreConverted) {
    const ObjectId id = controller(9);
    sim::clear_journal();
    ASSERT_EQ(ctl_set_rebuild_task(id, 1, 120, 30), 0) << last_error().text;
    ASSERT_EQ(ctl_set_selftest_task(id, 2, 0xFFFF), 0);
    ASSERT_EQ(ctl_set_verify_task(id, 3, 30, 10), 0);
    EXPECT_EQ(writes(), (std::vector<Written>{{0x8411, 3, 60 | 30u << 16},
                                              {0x8412, 2, 0xFFFF},
                                              {0x8413, 4, 10050 | 10u << 16}}));
    uint16_t start = 0, duration = 0;
    ASSERT_EQ(ctl_get_rebuild_task(id, 1, &start, &duration), 0);
    EXPECT_EQ(start, 120);
    ASSERT_EQ(ctl_get_verify_task(id, 3, &start, &duration), 0);
    EXPECT_EQ(start, 30);
}

TEST(TaskSettings, SpinupStaggerAndSetting42Limits) {
    struct Case {
        const char* name;
        int (*set)(ObjectId, int32_t);
        int32_t value;
        int32_t api_code;  // 0: written
        uint16_t id;
    } cases[] = {
        {"spin-ups equal to the ports", ctl_set_number_spinups_allowed, 8, 0, 7},
        {"one spin-up", ctl_set_number_spinups_allowed, 1, 0, 7},
        {"more spin-ups than ports", ctl_set_number_spinups_allowed, 9, 57, 0},
        {"no spin-up", ctl_set_number_spinups_allowed, 0, 57, 0},
        {"negative spin-ups", ctl_set_number_spinups_allowed, -3, 57, 0},
        {"stagger 60", ctl_set_stagger_time, 60, 0, 8},
        {"stagger 0", ctl_set_stagger_time, 0, 0, 8},
        {"stagger 61", ctl_set_stagger_time, 61, 58, 0},
        {"negative stagger", ctl_set_stagger_time, -1, 58, 0},
        {"setting 42 at 30", ctl_set_controller_setting_42, 30, 0, 42},
        {"setting 42 at 31", ctl_set_controller_setting_42, 31, 58, 0},
        {"negative setting 42", ctl_set_controller_setting_42, -1, 58, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::clear_journal();
        const int result = c.set(controller(2), c.value);
        if (c.api_code != 0) {
            EXPECT_EQ(result, -1);
            EXPECT_EQ(last_error().api_code, c.api_code);
            EXPECT_TRUE(writes().empty());
        } else {
            ASSERT_EQ(result, 0) << last_error().text;
            EXPECT_EQ(writes(), (std::vector<Written>{{0x8403, c.id, uint32_t(c.value)}}));
        }
    }
    uint32_t value = 0;
    ASSERT_EQ(ctl_get_stagger_time(controller(2), &value), 0);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(ctl_set_controller_setting_42(controller(1), 5), -1);  // family 4
    EXPECT_EQ(last_error().api_code, 2);
}

TEST(TaskSettings, FlagsAutoRebuildAndSelftest) {
    const ObjectId id = controller(2);
    uint8_t flag = 9;
    ASSERT_EQ(ctl_enable_controller_flag_10(id), 0);
    ASSERT_EQ(ctl_get_controller_flag_10(id, &flag), 0);
    EXPECT_EQ(flag, 1);
    ASSERT_EQ(ctl_disable_controller_flag_10(id), 0);
    ASSERT_EQ(ctl_get_controller_flag_10(id, &flag), 0);
    EXPECT_EQ(flag, 0);

    ASSERT_EQ(ctl_set_auto_rebuild(id, 0xA5), 0);
    ASSERT_EQ(ctl_get_auto_rebuild(id, &flag), 0);
    EXPECT_EQ(flag, 0xA5);
    // A policy is a byte: more is refused, the policy kept.
    EXPECT_EQ(ctl_set_auto_rebuild(id, 0x100), -1);
    EXPECT_EQ(last_error().api_code, 122);
    ASSERT_EQ(ctl_get_auto_rebuild(id, &flag), 0);
    EXPECT_EQ(flag, 0xA5);

    uint16_t flags = 0x8003, back = 0;
    ASSERT_EQ(ctl_set_selftest_flags(id, &flags), 0);
    ASSERT_EQ(ctl_get_selftest_flags(id, &back), 0);
    EXPECT_EQ(back, 0x8003);
}

// A log of the given length whose bytes follow from their offset.
std::string log_bytes(size_t length) {
    std::string bytes(length, '\0');
    for (size_t i = 0; i < length; ++i) bytes[i] = char(i * 7 + 1);
    return test_support::hex(bytes);
}

// The whole log is read at the size the controller gives; the caller gets
// at most its 32,768 bytes.
TEST(TaskSettings, ErrorLogsOfEverySize) {
    const ObjectId id = controller(2);
    struct Case {
        const char* name;
        const char* size;  // of parameter 15; null: unreadable
        uint16_t read;
    } cases[] = {
        {"realistic", "u16:8192", 8192},
        {"longer than the buffer", "u16:40000", 40000},
        {"unreadable size", nullptr, 8192},
        {"empty", "u16:0", 0},
    };
    for (bool second_buffer : {false, true}) {
        const int parameter = second_buffer ? 14 : 13;
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (second_buffer ? " (second buffer)" : ""));
            if (c.size != nullptr) {
                set_param(2, "0x403", 15, c.size);
                set_param(2, "0x403", parameter, "hex:" + log_bytes(c.read));
            } else {
                set_param(2, "0x403", 15, "u16:8192");
                set_param(2, "0x403", parameter, "hex:" + log_bytes(8192));
                change_machine(
                    "fault index=2 opcode=0x52 table=0x403 parameter=15 firmware-code=0x010C\n");
            }
            std::vector<uint8_t> log(32768 + 64, 0x5A);
            sim::clear_journal();
            ASSERT_EQ(second_buffer ? ctl_get_error_log_buffer(id, log.data())
                                    : ctl_get_error_log(id, log.data()),
                      0)
                << last_error().text;
            const std::vector<sim::JournalEntry> sent = requests(264);
            ASSERT_EQ(sent.size(), 2u);
            EXPECT_EQ(sent_block(sent[1]).id, parameter);
            EXPECT_EQ(sent_block(sent[1]).size, c.read);
            const size_t kept = c.read < 32768 ? c.read : 32768;
            for (size_t i = 0; i < kept; ++i) ASSERT_EQ(log[i], uint8_t(i * 7 + 1)) << i;
            for (size_t i = kept; i < 32768; ++i) ASSERT_EQ(log[i], 0) << i;
            for (size_t i = 32768; i < log.size(); ++i) ASSERT_EQ(log[i], 0x5A) << i;
        }
    }
}

TEST(TaskSettings, DoNothingByFamily) {
    struct Case {
        uint8_t index;
        int result;
    } cases[] = {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.index));
        const ErrorRecord before = seed_last_error();
        sim::clear_journal();
        EXPECT_EQ(ctl_do_nothing(controller(c.index)), c.result);
        EXPECT_EQ(driver_requests(), 0u);
        EXPECT_TRUE(same_record(before, last_error()));
    }
}

}  // namespace
