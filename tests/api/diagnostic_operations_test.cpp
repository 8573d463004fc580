// Drive statistics and event capture through the public functions: the
// rates derived from a drive's command records (the worked example and
// hostile counts and clocks), the statistics blocks, histograms and
// counters and their resets, and the event capture's settings and records.
#include <cstring>
#include <string>
#include <vector>

#include "tests/api/library_machine.h"
#include "tests/support/files.h"
#include "tests/support/journal.h"
#include "tests/support/param_names.h"

namespace {

// 0 family 3, 1 family 8 with drives on ports 0 and 1, 2 family 9.
PYV2_LIBRARY_MACHINE(
    "clock mode=virtual\n"
    "driver name=dq-xxxx pairing=proc\n"
    "driver name=dq-Mxxx pairing=sysfs\n"
    "controller index=0 driver=dq-xxxx ports=4\n"
    "controller index=1 driver=dq-Mxxx arch=8 ports=4\n"
    "  drive port=0 model=\"SIMDISK S500\"\n"
    "  drive port=1 model=\"SIMDISK S500\"\n"
    "controller index=2 driver=dq-Mxxx arch=9 ports=4\n");

ObjectId drive(uint8_t port) {
    ObjectId id;
    ctl_make_drive_id(1, port, &id);
    return id;
}

std::string hex_of(const std::vector<uint8_t>& bytes) {
    return test_support::hex(std::string(bytes.begin(), bytes.end()));
}

void put(std::vector<uint8_t>& bytes, size_t at, uint64_t value, size_t width) {
    for (size_t i = 0; i < width; ++i) bytes[at + i] = uint8_t(value >> (8 * i));
}

// The controller's description of its statistics: record and histogram
// counts, clock.
void set_info(uint32_t records, uint32_t entries, uint32_t clock) {
    std::vector<uint8_t> info(28, 0);
    put(info, 12, records, 2);
    put(info, 14, entries, 2);
    put(info, 16, clock, 4);
    change_machine("param index=1 table=9 id=5 value=hex:" + hex_of(info) + "\n");
}

struct CommandRecord {
    bool valid;
    uint16_t field6;
    uint32_t length, start, end;
};

void set_records(std::initializer_list<CommandRecord> records) {
    std::vector<uint8_t> bytes;
    for (const CommandRecord& r : records) {
        std::vector<uint8_t> record(24, 0);
        record[0] = r.valid ? 1 : 0;
        put(record, 6, r.field6, 2);
        put(record, 8, r.length, 4);
        put(record, 12, r.start, 4);
        put(record, 16, r.end, 4);
        bytes.insert(bytes.end(), record.begin(), record.end());
    }
    change_machine("param index=1 table=0x100 id=2 value=hex:" + hex_of(bytes) + "\n");
}

struct RatesCase {
    const char* name;
    uint32_t records, clock;
    std::initializer_list<CommandRecord> ring;
    DriveStatsRates expected;
    size_t requests;  // 1: the description only
};
PRINT_CASE_BY_NAME(RatesCase)

const RatesCase kRatesCases[] = {
    // Two commands in 500 ticks of a millisecond: 4 a second, 12 KiB in half
    // a second, 300 ms on average.
    {"worked_example",
     3,
     1000000,
     {{true, 10, 4096, 100, 300}, {true, 20, 8192, 200, 600}, {false, 99, 1 << 20, 0, 5}},
     {4, 24, 300, 15},
     2},
    {"no_records", 0, 1000000, {}, {0, 0, 0, 0}, 1},
    {"no_clock", 3, 0, {}, {0, 0, 0, 0}, 1},
    // A clock value above 10^9 gives a tick rate of 0.
    {"clock_slower_than_a_second", 3, 2000000000u, {}, {0, 0, 0, 0}, 1},
    {"no_valid_record",
     2,
     1000000,
     {{false, 1, 512, 10, 20}, {false, 1, 512, 30, 40}},
     {0, 0, 0, 0},
     2},
    // The tick counter wrapped during the command: 511 ticks.
    {"wrapped_ticks", 1, 1000000, {{true, 7, 65536, 0xFFFFFF00u, 0x100}}, {1, 125, 511, 7}, 2},
};

class DriveStatsRatesTest : public ::testing::TestWithParam<RatesCase> {};

TEST_P(DriveStatsRatesTest, DerivedFromTheCommandRecords) {
    const RatesCase& c = GetParam();
    set_info(c.records, 4, c.clock);
    if (c.ring.size() != 0) set_records(c.ring);
    sim::clear_journal();
    DriveStatsRates rates;
    std::memset(&rates, 0xEE, sizeof rates);
    ASSERT_EQ(ctl_get_drive_stats_rates(drive(0), &rates), 0) << last_error().text;
    EXPECT_EQ(rates.command_rate, c.expected.command_rate);
    EXPECT_EQ(rates.data_rate, c.expected.data_rate);
    EXPECT_EQ(rates.average_response, c.expected.average_response);
    EXPECT_EQ(rates.average_field_6, c.expected.average_field_6);
    EXPECT_EQ(driver_requests(), c.requests);
}

INSTANTIATE_TEST_SUITE_P(Records, DriveStatsRatesTest, ::testing::ValuesIn(kRatesCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Counts beyond the library's room for 1000 entries are refused before any
// transfer.
TEST(DriveStats, CountsAboveTheRoomAreRefused) {
    set_info(1001, 1001, 1000000);
    sim::clear_journal();
    DriveStatsRates rates;
    EXPECT_EQ(ctl_get_drive_stats_rates(drive(0), &rates), -1);
    EXPECT_EQ(last_error().api_code, 116);
    std::vector<DriveStatsHistogramEntry> histogram(kDriveStatsMaxEntries);
    EXPECT_EQ(ctl_get_drive_stats_histogram(drive(0), histogram.data(), 0), -1);
    EXPECT_EQ(last_error().api_code, 116);
    EXPECT_EQ(ctl_reset_drive_stats(drive(0), 1, 1), -1);
    EXPECT_EQ(last_error().api_code, 116);
    EXPECT_EQ(driver_requests(), 3u);  // the description, each time
}

TEST(DriveStats, HistogramOfEachSet) {
    set_info(8, 2, 1000);
    std::vector<uint8_t> first(80), second(80);
    for (size_t i = 0; i < 80; ++i) {
        first[i] = uint8_t(i);
        second[i] = uint8_t(200 - i);
    }
    change_machine("param index=1 table=0x101 id=5 value=hex:" + hex_of(first) +
                   "\nparam index=1 table=0x101 id=6 value=hex:" + hex_of(second) + "\n");
    for (int32_t set : {0, 1}) {
        std::vector<DriveStatsHistogramEntry> histogram(kDriveStatsMaxEntries);
        std::memset(histogram.data(), 0x5A, histogram.size() * sizeof histogram[0]);
        ASSERT_EQ(ctl_get_drive_stats_histogram(drive(1), histogram.data(), set), 0);
        EXPECT_EQ(std::memcmp(histogram.data(), (set == 0 ? first : second).data(), 80), 0);
        EXPECT_EQ(histogram[2].bytes[0], 0x5A);  // H entries only
    }
    sim::clear_journal();
    std::vector<DriveStatsHistogramEntry> histogram(kDriveStatsMaxEntries);
    EXPECT_EQ(ctl_get_drive_stats_histogram(drive(1), histogram.data(), 2), -1);
    EXPECT_EQ(last_error().api_code, 2);
    EXPECT_EQ(driver_requests(), 0u);

    // No entries: a read of length 0.
    set_info(8, 0, 1000);
    sim::clear_journal();
    ASSERT_EQ(ctl_get_drive_stats_histogram(drive(1), histogram.data(), 0), 0);
    ASSERT_EQ(requests(264).size(), 2u);
    EXPECT_EQ(sent_block(requests(264)[1]).size, 0);
}

// Brief and detail are the two parts of one statistics block of each set.
TEST(DriveStats, BriefAndDetailOfEachSet) {
    for (int set : {0, 1}) {
        SCOPED_TRACE(set);
        std::vector<uint8_t> block(168);
        for (size_t i = 0; i < block.size(); ++i) block[i] = uint8_t(i * 3 + set);
        change_machine("param index=1 table=0x100 id=" + std::to_string(3 + set) +
                       " value=hex:" + hex_of(block) + "\n");
        DriveStatsBrief brief;
        DriveStatsDetail detail;
        ASSERT_EQ(ctl_get_drive_stats_brief(drive(0), &brief, set), 0);
        ASSERT_EQ(ctl_get_drive_stats_detail(drive(0), &detail, set), 0);
        EXPECT_EQ(std::memcmp(brief.bytes, block.data(), 16), 0);
        EXPECT_EQ(std::memcmp(detail.bytes, block.data() + 16, 152), 0);
    }
    DriveStatsBrief brief;
    EXPECT_EQ(ctl_get_drive_stats_brief(drive(0), &brief, -1), -1);
    EXPECT_EQ(last_error().api_code, 2);
}

struct ResetCase {
    const char* name;
    int32_t kind, set;
    std::vector<uint16_t> written;  // parameters of table 0x100 + port written with zeros
};
PRINT_CASE_BY_NAME(ResetCase)

const ResetCase kResetCases[] = {
    {"block_a", 0, 0, {3}},
    {"block_b", 0, 1, {4}},
    {"histogram_a", 1, 0, {5}},
    {"histogram_b", 1, 1, {6}},
    {"counters", 2, 7, {7, 8, 9, 10, 11, 12, 13}},
    {"unknown_set", 0, 2, {}},
    {"unknown_kind", 3, 0, {}},
};

class DriveStatsReset : public ::testing::TestWithParam<ResetCase> {};

TEST_P(DriveStatsReset, WritesZerosToItsParameters) {
    set_info(8, 3, 1000);
    sim::clear_journal();
    ASSERT_EQ(ctl_reset_drive_stats(drive(1), GetParam().kind, GetParam().set), 0)
        << last_error().text;
    std::vector<uint16_t> written;
    for (const sim::JournalEntry& e : requests(264)) {
        if (e.sent[640] != 0x53) continue;
        const SentBlock b = sent_block(e);
        EXPECT_EQ(b.table, 0x8101);
        EXPECT_EQ(b.value, std::vector<uint8_t>(b.size, 0));
        const size_t size = b.id == 3 || b.id == 4 ? 168 : b.id >= 7 ? 4 : 3 * 40;
        EXPECT_EQ(b.size, size) << b.id;
        written.push_back(b.id);
    }
    EXPECT_EQ(written, GetParam().written);
}

INSTANTIATE_TEST_SUITE_P(Kinds, DriveStatsReset, ::testing::ValuesIn(kResetCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DriveStats, CountersReadInOrderAndCleared) {
    for (int id = 7; id <= 13; ++id)
        change_machine("param index=1 table=0x100 id=" + std::to_string(id) +
                       " value=u32:" + std::to_string(id * 1000) + "\n");
    DriveStatsCounters counters;
    ASSERT_EQ(ctl_get_drive_stats_counters(drive(0), &counters), 0);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(counters.counter[i], uint32_t((i + 7) * 1000));

    // The first failing read leaves the caller's record alone.
    change_machine("fault index=1 opcode=0x52 table=0x100 parameter=10 firmware-code=0x010C\n");
    DriveStatsCounters untouched;
    std::memset(&untouched, 0x77, sizeof untouched);
    EXPECT_EQ(ctl_get_drive_stats_counters(drive(0), &untouched), -1);
    EXPECT_EQ(untouched.counter[0], 0x77777777u);

    ASSERT_EQ(ctl_reset_drive_stats(drive(0), 2, 0), 0);
    ASSERT_EQ(ctl_get_drive_stats_counters(drive(0), &counters), 0);
    for (uint32_t counter : counters.counter) EXPECT_EQ(counter, 0u);
}

TEST(DriveStats, ControllerSwitchAndSettings) {
    const ObjectId id = controller(1);
    sim::clear_journal();
    ASSERT_EQ(ctl_disable_drive_stats(id), 0);
    ASSERT_EQ(requests(264).size(), 1u);
    EXPECT_EQ(sent_block(requests(264)[0]).table, 0x8009);
    EXPECT_EQ(sent_block(requests(264)[0]).value, std::vector<uint8_t>{0});
    uint8_t on = 9;
    ASSERT_EQ(ctl_get_drive_stats_enable(id, &on), 0);
    EXPECT_EQ(on, 0);
    ASSERT_EQ(ctl_enable_drive_stats(id), 0);
    ASSERT_EQ(ctl_get_drive_stats_enable(drive(1), &on), 0);  // any identifier of it
    EXPECT_EQ(on, 1);

    DriveStatsSettings settings;
    for (int i = 0; i < 20; ++i) settings.bytes[i] = uint8_t(0xA0 + i);
    ASSERT_EQ(ctl_set_drive_stats_settings(id, &settings), 0);
    DriveStatsSettings back;
    ASSERT_EQ(ctl_get_drive_stats_settings(id, &back), 0);
    EXPECT_EQ(std::memcmp(&back, &settings, sizeof back), 0);

    set_info(16, 12, 1000);
    DriveStatsInfo info;
    ASSERT_EQ(ctl_get_drive_stats_info(id, &info), 0);
    EXPECT_EQ(info.command_records, 16);
    EXPECT_EQ(info.histogram_entries, 12);
    EXPECT_EQ(info.clock, 1000u);
}

TEST(DriveStats, RoutedToTheSecondSeriesOnly) {
    uint8_t on = 0;
    const ErrorRecord before = seed_last_error();
    EXPECT_EQ(ctl_get_drive_stats_enable(controller(2), &on), -1);  // family 9
    EXPECT_TRUE(same_record(before, last_error()));
    EXPECT_EQ(ctl_get_drive_stats_enable(controller(0), &on), -1);  // family 3
    EXPECT_EQ(last_error().api_code, 2);
    uint32_t on_flag = 0, size = 0;
    EXPECT_EQ(ctl_get_event_capture_state(controller(0), &on_flag, &size), -1);
    EXPECT_EQ(last_error().api_code, 2);
}

TEST(EventCapture, SizeStateAndRunning) {
    const ObjectId id = controller(1);
    struct Case {
        uint32_t size, on, reads_as;
    } cases[] = {{1, 1, 1024}, {4096, 1, 4096}, {2, 1, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        ASSERT_EQ(ctl_enable_event_capture(id, c.size), 0);
        uint32_t on = 9, size = 9;
        ASSERT_EQ(ctl_get_event_capture_state(id, &on, &size), 0);
        EXPECT_EQ(on, c.on);
        EXPECT_EQ(size, c.reads_as);
    }
    sim::clear_journal();
    EXPECT_EQ(ctl_enable_event_capture(id, 0), -1);
    EXPECT_EQ(last_error().api_code, 129);
    EXPECT_EQ(driver_requests(), 0u);

    ASSERT_EQ(ctl_disable_event_capture(id), 0);
    uint32_t on = 9, size = 9;
    ASSERT_EQ(ctl_get_event_capture_state(id, &on, &size), 0);
    EXPECT_EQ(on, 0u);
    EXPECT_EQ(size, 0u);

    uint32_t running = 9;
    ASSERT_EQ(ctl_start_event_capture(id), 0);
    ASSERT_EQ(ctl_get_event_capture_running(id, &running), 0);
    EXPECT_EQ(running, 1u);
    ASSERT_EQ(ctl_stop_event_capture(id), 0);
    ASSERT_EQ(ctl_get_event_capture_running(id, &running), 0);
    EXPECT_EQ(running, 0u);
}

TEST(EventCapture, SettingsAndCounts) {
    const ObjectId id = controller(1);
    struct Setting {
        int (*set)(ObjectId, uint32_t);
        int (*get)(ObjectId, uint32_t*);
        uint16_t parameter;
    } settings[] = {
        {ctl_set_event_capture_setting_8, ctl_get_event_capture_setting_8, 8},
        {ctl_set_event_capture_setting_10, ctl_get_event_capture_setting_10, 10},
        {ctl_set_event_capture_setting_11, ctl_get_event_capture_setting_11, 11},
        {ctl_set_event_capture_setting_12, ctl_get_event_capture_setting_12, 12},
    };
    for (const Setting& s : settings) {
        SCOPED_TRACE(s.parameter);
        sim::clear_journal();
        ASSERT_EQ(s.set(id, 0xDEAD0000u + s.parameter), 0);
        EXPECT_EQ(sent_block(requests(264)[0]).id, s.parameter);
        uint32_t value = 0;
        ASSERT_EQ(s.get(id, &value), 0);
        EXPECT_EQ(value, 0xDEAD0000u + s.parameter);
    }

    change_machine(
        "param index=1 table=0x407 id=3 value=u32:7\n"
        "param index=1 table=0x407 id=4 value=u32:9\n");
    sim::clear_journal();
    uint32_t first = 0, second = 0;
    ASSERT_EQ(ctl_get_event_capture_counts(id, &first, &second), 0);
    EXPECT_EQ(first, 7u);
    EXPECT_EQ(second, 9u);
    ASSERT_EQ(requests(264).size(), 2u);
    EXPECT_EQ(sent_block(requests(264)[0]).id, 4);  // the second count first
}

// A record is read whole and handed over up to the caller's length; a
// longer buffer's rest is cleared.
TEST(EventCapture, RecordsOfAnyBufferLength) {
    const ObjectId id = controller(1);
    struct Case {
        uint32_t length;
        uint32_t index;
    } cases[] = {{100, 3}, {32832, 4}, {32832 + 16, 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        std::vector<uint8_t> buffer(c.length + 8, 0x5A);
        sim::clear_journal();
        ASSERT_EQ(ctl_read_event_capture_record(id, c.index, buffer.data(), c.length), 0);
        const std::vector<sim::JournalEntry> sent = requests(264);
        ASSERT_EQ(sent.size(), 2u);
        EXPECT_EQ(sent_block(sent[0]).id, 5);
        EXPECT_EQ(sent_block(sent[0]).value, (std::vector<uint8_t>{uint8_t(c.index), 0, 0, 0}));
        EXPECT_EQ(sent_block(sent[1]).size, 32832);
        EXPECT_EQ(buffer[0], c.index);  // the record of that index
        EXPECT_EQ(buffer[8], uint8_t(c.index * 31 + 8));
        const uint32_t kept = c.length < 32832 ? c.length : 32832;
        for (uint32_t i = kept; i < c.length; ++i) ASSERT_EQ(buffer[i], 0) << i;
        for (uint32_t i = c.length; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 0x5A) << i;
    }

    // When the index cannot be written, the record is not read.
    change_machine("fault index=1 opcode=0x53 table=0x407 parameter=5 firmware-code=0x010D\n");
    sim::clear_journal();
    std::vector<uint8_t> buffer(64, 0x5A);
    EXPECT_EQ(ctl_read_event_capture_record(id, 1, buffer.data(), 64), -1);
    EXPECT_EQ(requests(264).size(), 1u);
    EXPECT_EQ(buffer[0], 0x5A);
}

}  // namespace
