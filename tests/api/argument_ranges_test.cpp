// Byte and 16-bit arguments of the public functions: a value that does not
// fit its width is refused with API error 122 and nothing reaches the
// driver; the values at both ends of the width still go to the controller
// as they are. A few functions of each kind: forwarders of the operation
// tables, further forwarders that add constants, and functions with checks
// of their own.
#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tests/api/settings_machine.h"

namespace {

PYV2_LIBRARY_MACHINE(kSettingsMachine);

// Controller 4: family 8, firmware level 40, with a unit 0.
constexpr uint8_t kController = 4;

std::vector<uint8_t> le(uint32_t value, size_t size) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < size; ++i) bytes.push_back(uint8_t(value >> (8 * i)));
    return bytes;
}

struct RangeCase {
    const char* name;
    std::function<int(int)> call;
    std::vector<int> refused;
    // Values that reach the controller, each with the leading bytes of the
    // last parameter it writes (empty: only that something was sent).
    std::vector<std::pair<int, std::vector<uint8_t>>> sent;
};

const ObjectId kId = controller(kController);

const std::vector<int> kNotBytes = {256, -1, 0x10000, INT_MAX, INT_MIN};
const std::vector<int> kNotWords = {0x10000, -1, 0x10005, INT_MAX, INT_MIN};

std::vector<RangeCase> cases() {
    return {
        // Forwarders of the operation tables.
        {"ctl_set_auto_rebuild (byte)",
         [](int v) { return ctl_set_auto_rebuild(kId, v); },
         kNotBytes,
         {{255, {255}}, {0, {0}}}},
        {"ctl_set_controller_setting_52 (byte)",
         [](int v) { return ctl_set_controller_setting_52(kId, v); },
         kNotBytes,
         {{255, {255}}, {0, {0}}}},
        {"ctl_set_rebuild_mode (byte; the controller knows modes 0 and 1)",
         [](int v) { return ctl_set_rebuild_mode(kId, v); },
         {256, 257, -1, -256},
         {{1, {}}, {0, {}}}},
        {"ctl_set_basic_verify_time (16 bits)",
         [](int v) { return ctl_set_basic_verify_time(kId, v); },
         kNotWords,
         {{65535, {0xFF, 0xFF}}, {0, {0, 0}}}},
        {"ctl_set_table11_value_3 (16 bits)",
         [](int v) { return ctl_set_table11_value_3(kId, v); },
         kNotWords,
         {{65535, {0xFF, 0xFF}}, {0, {0, 0}}}},
        {"ctl_set_rebuild_task start (16 bits)",
         [](int v) { return ctl_set_rebuild_task(kId, 2, v, 60); },
         {0x10000 + 600, -1},
         {{65535, le(0x003CFFFF, 4)}, {0, le(0x003C0000, 4)}}},
        {"ctl_set_rebuild_task slot (16 bits)",
         [](int v) { return ctl_set_rebuild_task(kId, v, 600, 60); },
         {0x10000 + 2, -1},
         {{2, le(0x003C0258, 4)}}},
        {"ctl_rescan_controller make-OS-aware (byte)",
         [](int v) {
             IdList units, drives;
             return ctl_rescan_controller(kId, v, &units, &drives);
         },
         kNotBytes,
         {{255, {}}, {0, {}}}},
        // A further forwarder: the unit's identify lights, through the
        // drives of the unit (none here, so nothing but the unit's drive
        // list is read).
        {"ctl_identify_unit (byte)",
         [](int v) { return ctl_identify_unit(unit(kController), v); },
         kNotBytes,
         {{255, {}}, {0, {}}}},
        // Functions with checks of their own.
        {"ctl_set_controller_setting_56 (16 bits, not 0xFFFF)",
         [](int v) { return ctl_set_controller_setting_56(kId, v); },
         {0x10000, 0x1FFFF, -1, INT_MIN},
         {{65534, {0xFE, 0xFF}}, {0, {0, 0}}}},
        {"ctl_set_controller_setting_54_55 (byte)",
         [](int v) { return ctl_set_controller_setting_54_55(kId, 1, v); },
         kNotBytes,
         {{255, {255}}, {0, {0}}}},
        {"ctl_set_unit_setting_30 (byte, 0 or 1)",
         [](int v) { return ctl_set_unit_setting_30(unit(kController), v); },
         {256, 257, -1, -255},
         {{1, {1}}, {0, {0}}}},
        {"ctl_set_unit_setting_31 (16 bits, 0 or 5 to 999)",
         [](int v) { return ctl_set_unit_setting_31(unit(kController), v); },
         {0x10000 + 5, 0x10000 + 999, 0x10000, -65536},
         {{999, {0xE7, 0x03}}, {0, {0, 0}}}},
        {"ctl_set_protection_mode (byte, 0 to 2)",
         [](int v) { return ctl_set_protection_mode(unit(kController), v); },
         {256, 257, 258, -256},
         {{2, {0}}, {0, {1}}}},
    };
}

TEST(ArgumentRanges, ValuesBeyondTheirWidthAreRefusedAndSendNothing) {
    for (const RangeCase& c : cases()) {
        SCOPED_TRACE(c.name);
        for (int value : c.refused) {
            SCOPED_TRACE(value);
            seed_last_error();
            sim::clear_journal();
            EXPECT_EQ(c.call(value), -1);
            const ErrorRecord record = last_error();
            EXPECT_EQ(record.flags, uint32_t(kErrApi));
            EXPECT_EQ(record.api_code, 122);
            EXPECT_EQ(driver_requests(), 0u);
        }
        for (const auto& [value, bytes] : c.sent) {
            SCOPED_TRACE(value);
            sim::clear_journal();
            EXPECT_EQ(c.call(value), 0) << last_error().text;
            EXPECT_GT(driver_requests(), 0u);
            if (bytes.empty()) continue;
            const std::optional<Written> written = last_write();
            ASSERT_TRUE(written.has_value());
            ASSERT_GE(written->value.size(), bytes.size());
            EXPECT_EQ(
                std::vector<uint8_t>(written->value.begin(), written->value.begin() + bytes.size()),
                bytes);
        }
    }
}

// The pass-through functions and the enclosure firmware comparison: their
// byte (and 16-bit) arguments beyond their width are refused before the
// command is looked at; within it, the command goes to the controller
// (which refuses these, having no drive on the port) or, for the
// comparison, reaches the check of the identifier.
TEST(ArgumentRanges, PassThroughArguments) {
    const ObjectId drive = drive_on(kController, 0);
    uint16_t features = 0, count = 1, low = 0, mid = 0, high = 0;
    uint8_t device = 0, command = 0xEC;  // IDENTIFY DEVICE
    uint8_t data[512];
    uint8_t area[1024] = {};
    FirmwareVersionRecord record;
    struct Case {
        const char* name;
        std::function<int(int)> call;
        int refused;
        int taken;
        bool sends;
    } cases[] = {
        {"ATA size code",
         [&](int v) {
             return ctl_send_ata_command(drive, v, 13, &features, &count, &low, &mid, &high,
                                         &device, &command, data);
         },
         256, 255, true},
        {"ATA protocol code",
         [&](int v) {
             return ctl_send_ata_command_timed(drive, 0, v, &features, &count, &low, &mid, &high,
                                               &device, &command, data, 5);
         },
         0x1000D, 13, true},
        {"checked ATA size code",
         [&](int v) {
             return ctl_send_checked_ata_command(drive, v, &features, &count, &low, &mid, &high,
                                                 &device, &command, data);
         },
         -1, 1, true},
        {"firmware command flag",
         [&](int v) { return ctl_send_firmware_command(kId, v, area, nullptr, 0); }, 256, 0, true},
        {"enclosure firmware module",
         [&](int v) {
             return ctl_compare_enclosure_firmware_file(kId, v, "/nonexistent", &record);
         },
         256, 255, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        command = 0xEC;
        count = 1;
        seed_last_error();
        sim::clear_journal();
        EXPECT_EQ(c.call(c.refused), -1);
        EXPECT_EQ(last_error().api_code, 122);
        EXPECT_EQ(driver_requests(), 0u);

        command = 0xEC;
        count = 1;
        sim::clear_journal();
        c.call(c.taken);
        EXPECT_NE(last_error().api_code, 122);
        EXPECT_EQ(driver_requests() > 0, c.sends);
    }
}

// A language index beyond a byte: refused, nothing copied.
TEST(ArgumentRanges, LanguageOfTheLastError) {
    seed_last_error();
    ErrorRecord copy;
    std::memset(&copy, 0x5A, sizeof copy);
    EXPECT_EQ(ctl_get_last_error_localized(&copy, 256, message_dir().c_str()), -1);
    EXPECT_EQ(copy.flags, 0x5A5A5A5Au);
    EXPECT_EQ(last_error().api_code, 122);
    EXPECT_EQ(ctl_get_last_error_localized(&copy, 0, message_dir().c_str()), 0);
    EXPECT_EQ(copy.api_code, 122);
}

}  // namespace
