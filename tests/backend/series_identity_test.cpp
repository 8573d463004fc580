// What a second-series controller tells of itself, read through the
// library's back end from the simulated firmware: texts trimmed and padded,
// numbers widened and converted, schedule slots in local time on a
// virtual-machine driver, unit presence and LUN tables.
#include <cstring>
#include <functional>
#include <memory>

#include "backend/backends.h"
#include "tests/backend/library_machine.h"
#include "tests/support/param_names.h"

namespace {

constexpr char kMachine[] =
    "clock mode=virtual utc-offset=3600\n"
    "driver name=dq-Mxxx pairing=sysfs\n"
    "driver name=dq-Mxxx_vm40 pairing=link\n"
    "controller index=2 driver=dq-Mxxx arch=8 ports=8 memory=512 spinups=3 stagger=6 "
    "auto-rebuild=1 bios=\"BE 1.08\" boot=\"  BL 2.00\"\n"
    "  drive port=1 interface=sas temperature=-10 rpm=15000 reallocated=7 power-on-hours=30000 "
    "port-count=2 connections=2\n"
    "  drive port=2\n"
    "  unit number=0 luns=2 capacity=2000\n"
    "  unit number=3 luns=70\n"
    "  unit number=40\n"
    "  param table=0x402 id=9 value=\" SN123              \"\n"
    "  param table=0x402 id=3 value=\"\\nFE9X 4.10.00.02\"\n"
    "  param table=0x402 id=8 value=\"QX-8800-16i-ABCD\"\n"
    "  param table=0x402 id=5 value=\"  A1 B2 \"\n"
    "  param table=0x402 id=21 value=u64:0x0123456789ABCDEF\n"
    "  param table=0x403 id=42 value=u8:200\n"
    "  param table=0x403 id=21 value=u64:1700000000500000000\n"
    "  param table=0x201 id=30 value=u8:4\n"
    "  param table=0x201 id=31 value=u8:11\n"
    "  param table=0x840C id=8 value=u16:0x1234\n"
    "  param table=0x840C id=9 value=u16:0x0005\n"
    "controller index=0 driver=dq-Mxxx_vm40 arch=6\n";

class SeriesIdentity : public ::testing::Test {
  protected:
    void SetUp() override { use_machine(kMachine); }
    const SeriesBackend& backend_ = series_backend();
};

// --- texts ------------------------------------------------------------------

struct TextCase {
    const char* name;
    int (SeriesBackend::*read)(ObjectId, char*) const;
    size_t size;
    const char* expected;
};
PRINT_CASE_BY_NAME(TextCase)

const TextCase kTexts[] = {
    {"serial_number", &SeriesBackend::get_serial_number, 32, "SN123"},
    {"firmware_version", &SeriesBackend::get_firmware_version, 32, "FE9X 4.10.00.02"},
    {"model_filling_its_parameter", &SeriesBackend::get_controller_model, 64, "QX-8800-16i-ABCD"},
    {"version_string_5", &SeriesBackend::get_version_string_5, 32, "A1 B2"},
    {"version_string_6_empty", &SeriesBackend::get_version_string_6, 32, ""},
    {"version_string_7_empty", &SeriesBackend::get_version_string_7, 32, ""},
    {"bios_version", &SeriesBackend::get_bios_version, 32, "BE 1.08"},
    {"boot_loader_version", &SeriesBackend::get_boot_loader_version, 32, "BL 2.00"},
};

class IdentityTexts : public SeriesIdentity, public ::testing::WithParamInterface<TextCase> {};

TEST_P(IdentityTexts, TrimmedAndPaddedWithNuls) {
    char out[80];
    std::memset(out, 0x5A, sizeof out);
    const SeriesBackend& backend = backend_;
    ASSERT_EQ((backend.*GetParam().read)(controller_id(2), out), 0);
    char expected[80];
    std::memset(expected, 0x5A, sizeof expected);
    std::memset(expected, 0, GetParam().size);
    std::memcpy(expected, GetParam().expected, std::strlen(GetParam().expected));
    EXPECT_EQ(std::memcmp(out, expected, sizeof out), 0) << out;
}

INSTANTIATE_TEST_SUITE_P(Parameters, IdentityTexts, ::testing::ValuesIn(kTexts),
                         [](const auto& info) { return std::string(info.param.name); });

// Texts written to the firmware are taken up to their end and NUL-padded to
// the parameter, never read past it.
TEST_F(SeriesIdentity, WrittenTextsEndWhereTheCallersTextEnds) {
    struct {
        int (SeriesBackend::*write)(ObjectId, const char*) const;
        const char* text;
        uint16_t id;
        std::string sent;
    } cases[] = {
        {&SeriesBackend::set_serial_number, "AB", 9, std::string("AB") + std::string(18, '\0')},
        {&SeriesBackend::set_serial_number, "0123456789ABCDEFGHIJKLMN", 9, "0123456789ABCDEFGHIJ"},
        {&SeriesBackend::set_controller_model, "QX", 8, std::string("QX") + std::string(14, '\0')},
        {&SeriesBackend::set_controller_model, "QX-9000-24-PLUS-X", 8, "QX-9000-24-PLUS-"},
    };
    const SeriesBackend& backend = backend_;
    for (const auto& c : cases) {
        sim::clear_journal();
        // A heap copy of exactly the text's length, so a read past its end
        // shows under the address sanitizer.
        std::unique_ptr<char[]> text(new char[std::strlen(c.text) + 1]);
        std::strcpy(text.get(), c.text);
        ASSERT_EQ((backend.*c.write)(controller_id(2), text.get()), 0) << c.text;
        const std::vector<sim::JournalEntry> sent = requests(264);
        ASSERT_EQ(sent.size(), 1u);
        const SentBlock block = sent_block(sent[0]);
        EXPECT_EQ(block.id, c.id);
        EXPECT_EQ(std::string(block.value.begin(), block.value.end()), c.sent) << c.text;
    }
    char serial[32];
    ASSERT_EQ(backend_.get_serial_number(controller_id(2), serial), 0);
    EXPECT_STREQ(serial, "0123456789ABCDEFGHIJ");
}

// --- numbers ----------------------------------------------------------------

using Reader = std::function<int(const SeriesBackend&, int64_t*)>;

template <typename T, typename Member, typename... Args>
Reader number(Member member, Args... args) {
    return [=](const SeriesBackend& backend, int64_t* value) {
        T out{};
        const int result = (backend.*member)(args..., &out);
        *value = int64_t(out);
        return result;
    };
}

struct NumberCase {
    const char* name;
    Reader read;
    int64_t expected;
};
PRINT_CASE_BY_NAME(NumberCase)

const ObjectId kController = controller_id(2);

const NumberCase kNumbers[] = {
    {"memory_size", number<uint32_t>(&SeriesBackend::get_memory_size, kController), 512},
    {"firmware_level", number<uint32_t>(&SeriesBackend::get_firmware_level, kController), 37},
    {"features", number<uint64_t>(&SeriesBackend::get_controller_features, kController),
     0x0123456789ABCDEF},
    {"ports", number<uint32_t>(&SeriesBackend::get_number_of_ports, kController), 8},
    {"spinups", number<uint32_t>(&SeriesBackend::get_number_spinups_allowed, kController), 3},
    {"stagger_time", number<uint32_t>(&SeriesBackend::get_stagger_time, kController), 6},
    {"auto_rebuild", number<uint8_t>(&SeriesBackend::get_auto_rebuild, kController), 1},
    {"setting_42", number<uint32_t>(&SeriesBackend::get_controller_setting_42, kController), 200},
    {"drive_count", number<uint32_t>(&SeriesBackend::get_drive_count, kController), 2},
    {"unit_count", number<uint32_t>(&SeriesBackend::get_unit_count, kController), 3},
    {"clock_in_whole_seconds", number<uint32_t>(&SeriesBackend::get_controller_time, kController),
     1700000000},
    {"task_setting_8", number<uint16_t>(&SeriesBackend::get_task_setting_8, kController), 0x1234},
    {"selftest_flags", number<uint16_t>(&SeriesBackend::get_selftest_flags, kController), 5},
    {"reallocated_sectors",
     number<uint32_t>(&SeriesBackend::get_drive_reallocated_sectors, drive_id(2, 1)), 7},
    {"power_on_hours", number<uint32_t>(&SeriesBackend::get_drive_power_on_hours, drive_id(2, 1)),
     30000},
    {"temperature_below_zero",
     number<int32_t>(&SeriesBackend::get_drive_temperature, drive_id(2, 1)), -10},
    {"temperature", number<int32_t>(&SeriesBackend::get_drive_temperature, drive_id(2, 2)), 30},
    {"interface_sas", number<uint8_t>(&SeriesBackend::get_drive_interface, drive_id(2, 1)), 3},
    {"interface_sata", number<uint8_t>(&SeriesBackend::get_drive_interface, drive_id(2, 2)), 1},
    {"interface_empty_port", number<uint8_t>(&SeriesBackend::get_drive_interface, drive_id(2, 5)),
     0},
    {"drive_port_count", number<uint32_t>(&SeriesBackend::get_drive_port_count, drive_id(2, 1)), 2},
    {"drive_connections", number<uint32_t>(&SeriesBackend::get_drive_connections, drive_id(2, 1)),
     2},
    {"drive_enclosure_position",
     number<uint32_t>(&SeriesBackend::get_drive_enclosure_position, drive_id(2, 1)), 4},
    {"drive_slot_number", number<uint32_t>(&SeriesBackend::get_drive_slot_number, drive_id(2, 1)),
     11},
    {"spindle_speed", number<uint32_t>(&SeriesBackend::get_drive_spindle_speed, drive_id(2, 1)),
     15000},
    {"phy_with_a_sas_drive",
     number<uint8_t>(&SeriesBackend::get_phy_device_type,
                     ObjectId{{14, 2, 1, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}}),
     2},
    {"phy_without_a_drive",
     number<uint8_t>(&SeriesBackend::get_phy_device_type,
                     ObjectId{{14, 2, 5, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}}),
     0},
};

class IdentityNumbers : public SeriesIdentity, public ::testing::WithParamInterface<NumberCase> {};

TEST_P(IdentityNumbers, ReadAndWidened) {
    int64_t value = -12345;
    ASSERT_EQ(GetParam().read(backend_, &value), 0);
    EXPECT_EQ(value, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Parameters, IdentityNumbers, ::testing::ValuesIn(kNumbers),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SeriesIdentity, RatesAndModesFromTheirStoredBytes) {
    const struct {
        unsigned stored;
        int32_t rate;
        uint8_t mode;
    } cases[] = {{220, 1, 1}, {170, 2, 1}, {120, 3, 1}, {70, 4, 1},
                 {20, 5, 1},  {0, 5, 0},   {255, 0, 1}, {2, 5, 1}};
    for (const auto& c : cases) {
        const std::string v = std::to_string(c.stored);
        change_machine("param index=2 table=0x840C id=5 value=u8:" + v +
                       "\nparam index=2 table=0x840C id=6 value=u8:" + v +
                       "\nparam index=2 table=0x840C id=13 value=u8:" + v +
                       "\nparam index=2 table=0x840C id=14 value=u8:" + v);
        int32_t rebuild = -1, verify = -1;
        uint8_t rebuild_mode = 9, verify_mode = 9;
        ASSERT_EQ(backend_.get_rebuild_rate(kController, &rebuild), 0);
        ASSERT_EQ(backend_.get_verify_rate(kController, &verify), 0);
        ASSERT_EQ(backend_.get_rebuild_mode(kController, &rebuild_mode), 0);
        ASSERT_EQ(backend_.get_verify_mode(kController, &verify_mode), 0);
        EXPECT_EQ(rebuild, c.rate) << c.stored;
        EXPECT_EQ(verify, c.rate) << c.stored;
        EXPECT_EQ(rebuild_mode, c.mode) << c.stored;
        EXPECT_EQ(verify_mode, c.mode) << c.stored;
    }
}

TEST_F(SeriesIdentity, ClockIsSetInNanoseconds) {
    ASSERT_EQ(backend_.set_controller_time(kController, 4000000000u), 0);
    const std::vector<sim::JournalEntry> sent = requests(264);
    ASSERT_EQ(sent.size(), 1u);
    const SentBlock block = sent_block(sent[0]);
    ASSERT_EQ(block.size, 8);
    uint64_t nanoseconds = 0;
    for (int i = 7; i >= 0; --i) nanoseconds = nanoseconds << 8 | block.value[size_t(i)];
    EXPECT_EQ(nanoseconds, 4000000000ull * 1000000000ull);
    uint32_t seconds = 0;
    ASSERT_EQ(backend_.get_controller_time(kController, &seconds), 0);
    EXPECT_EQ(seconds, 4000000000u);
}

// A failed read leaves the output as it was, except for the members that read
// straight into the caller's byte, which then hold 0 (also when the node
// does not even open).
TEST_F(SeriesIdentity, FailedReadsAndTheirOutputs) {
    change_machine("fault index=2 opcode=0x52 table=0x402 parameter=10 firmware-code=0x010C");
    uint32_t memory = 77;
    EXPECT_EQ(backend_.get_memory_size(kController, &memory), -1);
    EXPECT_EQ(memory, 77u);
    EXPECT_EQ(last_error().controller_status, 0x010C);

    change_machine("fault index=2 opcode=0x52 table=0x403 parameter=28 firmware-code=0x010C");
    uint8_t policy = 77;
    EXPECT_EQ(backend_.get_auto_rebuild(kController, &policy), -1);
    EXPECT_EQ(policy, 0);

    change_machine("fault call=open index=2 errno=EACCES");
    policy = 77;
    EXPECT_EQ(backend_.get_auto_rebuild(kController, &policy), -1);
    EXPECT_EQ(policy, 0);
    EXPECT_EQ(last_error().os_error, EACCES);

    change_machine("fault index=2 opcode=0x52 table=0x300 parameter=16 firmware-code=0x010C");
    uint8_t luns = 77;
    EXPECT_EQ(backend_.get_unit_lun_count(unit_id(2, 0), &luns), -1);
    EXPECT_EQ(luns, 0);
}

// --- schedule slots and the virtual-machine driver ---------------------------

class TaskSchedules : public SeriesIdentity {
  protected:
    void SetUp() override {
        SeriesIdentity::SetUp();
        for (const char* index : {"0", "2"}) {
            change_machine(std::string("param index=") + index +
                           " table=0x8410 id=2 value=u16:100\n"
                           "param index=" +
                           index +
                           " table=0x8410 id=3 value=u32:0x001EFFFF\n"
                           "param index=" +
                           index +
                           " table=0x8410 id=4 value=u32:0x003C00C8\n"
                           "param index=" +
                           index +
                           " table=0x8416 id=2 value=u16:10070\n"
                           "param index=" +
                           index + " table=0x840C id=11 value=u16:0xFFFF\n");
        }
        sim::clear_journal();
    }
};

TEST_F(TaskSchedules, SlotsInLocalTimeOnAVirtualMachineDriver) {
    const TaskScheduleSlot empty = {0xFFFF, 0xFFFF, 0, 0xFFFF, 0};
    struct {
        uint8_t controller;
        TaskScheduleSlot slot0, slot6;
        uint16_t basic_verify;
    } cases[] = {
        // One hour east of UTC: starts move an hour on, wrapping into the
        // week; no task stays no task, durations stay; the basic verify time
        // is converted whatever it holds.
        {0, {160, 0xFFFF, 30, 260, 60}, {50, 0xFFFF, 0, 0xFFFF, 0}, 5115},
        {2, {100, 0xFFFF, 30, 200, 60}, {10070, 0xFFFF, 0, 0xFFFF, 0}, 0xFFFF},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(library_driver_layer().is_vm_driver(controller_id(c.controller)),
                  c.controller == 0 ? 1 : 0);
        TaskSchedule schedule;
        std::memset(&schedule, 0x5A, sizeof schedule);
        ASSERT_EQ(backend_.get_task_schedule(controller_id(c.controller), &schedule), 0);
        for (int slot = 0; slot < TaskSchedule::kSlots; ++slot) {
            const TaskScheduleSlot& want = slot == 0 ? c.slot0 : slot == 6 ? c.slot6 : empty;
            EXPECT_EQ(std::memcmp(&schedule.slots[slot], &want, sizeof want), 0)
                << "controller " << int(c.controller) << " slot " << slot;
        }
        uint16_t start = 0, duration = 0;
        ASSERT_EQ(backend_.get_verify_task(controller_id(c.controller), 0, &start, &duration), 0);
        EXPECT_EQ(start, c.slot0.verify_start);
        EXPECT_EQ(duration, 60);
        uint16_t minutes = 0;
        ASSERT_EQ(backend_.get_basic_verify_time(controller_id(c.controller), &minutes), 0);
        EXPECT_EQ(minutes, c.basic_verify);
    }
}

TEST_F(TaskSchedules, BasicVerifyTimeIsWrittenInControllerTime) {
    for (uint8_t controller : {0, 2}) {
        sim::clear_journal();
        ASSERT_EQ(backend_.set_basic_verify_time(controller_id(controller), 60), 0);
        const std::vector<sim::JournalEntry> sent = requests(264);
        ASSERT_FALSE(sent.empty());
        const SentBlock block = sent_block(sent.back());
        EXPECT_EQ(block.table, 0x840C);
        EXPECT_EQ(block.id, 11);
        ASSERT_EQ(block.value.size(), 2u);
        EXPECT_EQ(block.value[0] | block.value[1] << 8, controller == 0 ? 0 : 60);
    }
}

TEST_F(TaskSchedules, AFailedSlotLeavesTheRecordUntouched) {
    change_machine("fault index=2 opcode=0x52 table=0x8414 firmware-code=0x010B");
    TaskSchedule schedule;
    std::memset(&schedule, 0x5A, sizeof schedule);
    EXPECT_EQ(backend_.get_task_schedule(kController, &schedule), -1);
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&schedule);
    for (size_t i = 0; i < sizeof schedule; ++i) ASSERT_EQ(bytes[i], 0x5A) << i;
    EXPECT_EQ(last_error().controller_status, 0x010B);
    // Slots 0 to 3 were read (three parameters each), then slot 4 failed.
    EXPECT_EQ(requests(264).size(), 13u);
}

// --- units ------------------------------------------------------------------

TEST_F(SeriesIdentity, UnitPresenceFromTheMap) {
    const struct {
        uint8_t unit;
        int present;
        size_t requests;
    } cases[] = {
        {0, 1, 1},
        {1, 0, 1},
        {40, 0, 1},  // exists, but the 32-byte map does not hold it
        {64, 0, 0},  // nothing is read
    };
    for (const auto& c : cases) {
        sim::clear_journal();
        EXPECT_EQ(backend_.is_unit_present(kController, c.unit), c.present) << int(c.unit);
        EXPECT_EQ(sim::journal().size(), c.requests) << int(c.unit);
    }
    // The map's byte, as a signed value.
    change_machine("param index=2 table=3 id=3 value=hex:ff01");
    EXPECT_EQ(backend_.is_unit_present(kController, 0), -1);
}

TEST_F(SeriesIdentity, LunCountOfPresentUnitsOnly) {
    uint8_t luns = 0;
    ASSERT_EQ(backend_.get_unit_lun_count(unit_id(2, 0), &luns), 0);
    EXPECT_EQ(luns, 2);
    for (uint8_t unit : {1, 40}) {
        sim::clear_journal();
        luns = 77;
        EXPECT_EQ(backend_.get_unit_lun_count(unit_id(2, unit), &luns), -1);
        EXPECT_EQ(luns, 77);
        EXPECT_STREQ(last_error().text, "(0x0B:0x003F): No unit");
        EXPECT_EQ(sim::journal().size(), 1u);  // the map only
    }
}

TEST_F(SeriesIdentity, LunTableWithUnusedBytesSet) {
    uint8_t table[SeriesBackend::kLunTableSize];
    std::memset(table, 0, sizeof table);
    ASSERT_EQ(backend_.read_lun_table(unit_id(2, 0), table), 0);
    for (int lun = 0; lun < 2; ++lun) {
        const uint8_t* entry = table + lun * 20;
        EXPECT_EQ(entry[1], 0x80) << lun;
        uint64_t capacity = 0;
        for (int i = 7; i >= 0; --i) capacity = capacity << 8 | entry[12 + i];
        EXPECT_EQ(capacity, 1000u) << lun;
    }
    for (size_t i = 40; i < sizeof table; ++i) ASSERT_EQ(table[i], 0xFF) << i;
    const std::vector<sim::JournalEntry> sent = requests(264);
    ASSERT_FALSE(sent.empty());
    const SentBlock last = sent_block(sent.back());
    EXPECT_EQ(last.id, 25);
    EXPECT_EQ(last.size, 40);
}

// A unit with more LUNs than the table holds: the whole table is read (the
// firmware answers nothing else) and its first 65 entries handed out.
TEST_F(SeriesIdentity, LunTableKeepsTheEntriesItHoldsOfMore) {
    uint8_t table[SeriesBackend::kLunTableSize];
    std::memset(table, 0x11, sizeof table);
    sim::clear_journal();
    ASSERT_EQ(backend_.read_lun_table(unit_id(2, 3), table), 0) << last_error().text;
    for (size_t lun = 0; lun < SeriesBackend::kLunTableEntries; ++lun)
        EXPECT_EQ(table[lun * 20 + 1], 0x80) << lun;
    const std::vector<sim::JournalEntry> sent = requests(264);
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent_block(sent.back()).id, 25);
    EXPECT_EQ(sent_block(sent.back()).size, 70 * 20);

    EXPECT_EQ(backend_.read_lun_table(unit_id(2, 1), table), -1);
    EXPECT_STREQ(last_error().text, "(0x0B:0x003F): No unit");
}

}  // namespace
