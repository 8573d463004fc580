// The status words and colours, the size and bus formatters and the drive
// link texts, as the tables give them; catalogue texts in English.
#include "web/pages/status_texts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "daemon/snapshot_records.h"
#include "tests/web/page_test_support.h"
#include "web/pages/page_builder.h"

namespace {

using pagetest::PageEnv;

struct Shown {
    std::string text;
    std::string colour;
    bool operator==(const Shown&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Shown& s) {
    return out << "[" << s.text << "|" << s.colour << "]";
}

using Formatter = int (*)(PageBuilder&, int, char*, char*);

struct Case {
    int code;
    Shown shown;
};

class StatusTextsTest : public ::testing::Test {
  protected:
    PageEnv env_;
    PageBuilder page_{&env_.config(), &env_.catalogue()};

    Shown shown(Formatter f, int code) {
        char text[kStatusTextSize] = "untouched";
        char colour[kColourSize] = "untouched";
        EXPECT_EQ(f(page_, code, text, colour), 0);
        return {text, colour};
    }
    void expect_table(Formatter f, std::initializer_list<Case> cases) {
        for (const Case& k : cases) EXPECT_EQ(shown(f, k.code), k.shown) << "code " << k.code;
    }
    std::vector<Shown> statuses(const UnitRecord& unit, int family) {
        char texts[kMaxUnitStatuses][kStatusTextSize];
        char colours[kMaxUnitStatuses][kStatusTextSize];
        int count = -1;
        EXPECT_EQ(format_unit_statuses(page_, unit, texts, colours, &count, family), 0);
        std::vector<Shown> out;
        for (int i = 0; i < count; ++i) out.push_back({texts[i], colours[i]});
        return out;
    }
};

TEST_F(StatusTextsTest, UnitAndDriveStatusesTakeTheCodeAsAByte) {
    expect_table(format_unit_status, {{255, {"OK", "#009900"}},
                                      {-1, {"OK", "#009900"}},
                                      {251, {"VERIFYING", "#009900"}},
                                      {247, {"INITIALIZING", "#D8D800"}},
                                      {223, {"REBUILDING", "#D8D800"}},
                                      {175, {"MIGRATING", "#D8D800"}},
                                      {239, {"DEGRADED", "#FF0000"}},
                                      {191, {"RECOVERING", "#FF0000"}},
                                      {0, {"INOPERABLE", "#FF0000"}},
                                      {256, {"INOPERABLE", "#FF0000"}},
                                      {17, {"UNKNOWN", "#FF0000"}}});
    expect_table(format_drive_status, {{255, {"OK", "#009900"}},
                                       {0, {"NOT PRESENT", "#FF0000"}},
                                       {1, {"OFFLINE JBOD", "#D8D800"}},
                                       {2, {"DRIVE REMOVED", "#D8D800"}},
                                       {217, {"UNCONV DCB", "#D8D800"}},
                                       {219, {"UNSUPP DCB", "#D8D800"}},
                                       {221, {"DCB DATA CHECK", "#D8D800"}},
                                       {223, {"ORPHAN", "#D8D800"}},
                                       {232, {"CONFIG FAILURE", "#FF0000"}},
                                       {236, {"READ FAILURE", "#FF0000"}},
                                       {238, {"READ TIMEOUT", "#FF0000"}},
                                       {241, {"DEVICE ERROR", "#FF0000"}},
                                       {245, {"SMART FAILURE", "#FF0000"}},
                                       {249, {"ECC ERROR", "#FF0000"}},
                                       {251, {"POR OCCURRED", "#D8D800"}},
                                       {254, {"NOT SUPPORTED", "#FF0000"}},
                                       {128, {"UNKNOWN", "brown"}},
                                       {-2, {"NOT SUPPORTED", "#FF0000"}}});
}

TEST_F(StatusTextsTest, BatteryAndEnclosureElementTables) {
    expect_table(format_battery_status, {{0, {"OK", "#009900"}},
                                         {1, {"NOT PRESENT", "#FF0000"}},
                                         {2, {"NO BATTERY", "#FF0000"}},
                                         {3, {"TESTING", "#FF0000"}},
                                         {4, {"CHARGING", "#D8D800"}},
                                         {5, {"FAULT", "#FF0000"}},
                                         {6, {"ERROR", "#FF0000"}},
                                         {7, {"WEAK BATTERY", "#D8D800"}},
                                         {8, {"BATTERY FAILED", "#FF0000"}},
                                         {9, {"DISABLED", "#FF0000"}},
                                         {10, {"UNKNOWN", "brown"}},
                                         {-1, {"UNKNOWN", "brown"}}});
    expect_table(format_battery_level, {{0, {"OK", "#009900"}},
                                        {1, {"LOW", "#D8D800"}},
                                        {2, {"HIGH", "#D8D800"}},
                                        {3, {"TOO LOW", "#FF0000"}},
                                        {4, {"TOO HIGH", "#FF0000"}},
                                        {-1, {"UNKNOWN", "brown"}}});
    expect_table(format_alarm_status, {{0, {"OK", "#009900"}},
                                       {3, {"OK", "#009900"}},
                                       {1, {"ACTIVATED", "#D8D800"}},
                                       {5, {"ACTIVATED", "#D8D800"}},
                                       {2, {"NOT INSTALLED", "#FF0000"}},
                                       {4, {"FAILURE", "#FF0000"}},
                                       {6, {"UNKNOWN", "brown"}}});
    expect_table(format_power_supply_status, {{0, {"OK", "#009900"}},
                                              {1, {"FAILURE", "#FF0000"}},
                                              {2, {"NOT INSTALLED", "#FF0000"}},
                                              {3, {"OFF", "brown"}},
                                              {4, {"UNKNOWN", "brown"}}});
    expect_table(format_voltage_status, {{0, {"NORMAL", "#009900"}},
                                         {2, {"UNDER VOLTAGE", "#FF0000"}},
                                         {4, {"OVER VOLTAGE", "#FF0000"}},
                                         {1, {"UNKNOWN", "brown"}}});
    expect_table(
        format_current_status,
        {{0, {"NORMAL", "#009900"}}, {1, {"OVER CURRENT", "#FF0000"}}, {2, {"UNKNOWN", "brown"}}});
}

TEST_F(StatusTextsTest, SensorRulesInTheirOrder) {
    struct SensorCase {
        int status, flags;
        Shown shown;
    };
    const SensorCase cases[] = {
        {2, 8, {"NOT INSTALLED", "#FF0000"}},
        {0, 8 | 4, {"OVER TEMP FAILURE", "#FF0000"}},
        {1, 4 | 1, {"OVER TEMP WARNING", "#D8D800"}},
        {0, 2, {"UNDER TEMP FAILURE", "#FF0000"}},
        {0, 1, {"UNDER TEMP WARNING", "#D8D800"}},
        {0, 0, {"OK", "#009900"}},
        {1, 0, {"CRITICAL", "#FF0000"}},
        {3, 16, {"UNKNOWN", "brown"}},
    };
    for (const SensorCase& k : cases) {
        char text[kStatusTextSize];
        char colour[kColourSize];
        ASSERT_EQ(format_sensor_status(page_, k.status, k.flags, text, colour), 0);
        EXPECT_EQ((Shown{text, colour}), k.shown) << k.status << "/" << k.flags;
    }
}

TEST_F(StatusTextsTest, EnclosureAndSlotStatuses) {
    struct EnclosureCase {
        int status;
        bool alarm;
        Shown shown;
    };
    const EnclosureCase cases[] = {
        {0, false, {"OK", "#009900"}},
        {1, true, {"Alarm Activated", "#D8D800"}},
        {0, true, {"Alarm Activated", "#D8D800"}},
        {2, true, {"FAILURE", "#FF0000"}},
        {3, false, {"WARNING", "#D8D800"}},
        {5, false, {"NOT INSTALLED", "#AAAAAA"}},
        {6, false, {"NOT REPORTABLE", "#D8D800"}},
        {4, false, {"-", "#AAAAAA"}},
        {-1, false, {"-", "#AAAAAA"}},
        {7, false, {"-", "#AAAAAA"}},
    };
    for (const EnclosureCase& k : cases) {
        char text[kStatusTextSize];
        char colour[kColourSize];
        ASSERT_EQ(format_enclosure_status(page_, k.status, k.alarm, text, colour), 0);
        EXPECT_EQ((Shown{text, colour}), k.shown) << k.status;
    }
    const Case slots[] = {{0x0, {"NO DEVICE ", ""}},       {0x4, {"NO DEVICE ", ""}},
                          {0x9, {"OK ", "#009900"}},       {0xD, {"OK ", "#009900"}},
                          {0x5, {"OCCUPIED ", "#D8D800"}}, {0x1, {"UNKNOWN ", ""}}};
    for (const Case& k : slots) {
        char text[kStatusTextSize];
        char colour[kColourSize];
        ASSERT_EQ(format_slot_status(k.code, text, colour), 0);
        EXPECT_EQ((Shown{text, colour}), k.shown) << k.code;
    }
}

TEST_F(StatusTextsTest, NullBuffersWriteNothing) {
    char text[kStatusTextSize] = "kept";
    EXPECT_EQ(format_unit_status(page_, 255, text, nullptr), 1);
    EXPECT_EQ(format_drive_status(page_, 255, nullptr, text), 1);
    EXPECT_EQ(format_unit_type(page_, 0, nullptr), 1);
    EXPECT_EQ(format_slot_status(1, nullptr, text), 1);
    EXPECT_EQ(format_capacity(1, nullptr), 1);
    EXPECT_EQ(format_memory_size(1, nullptr), 1);
    UnitRecord unit;
    int count = 0;
    EXPECT_EQ(format_unit_statuses(page_, unit, nullptr, nullptr, &count, 6), 1);
    EXPECT_STREQ(text, "kept");
}

TEST_F(StatusTextsTest, UnitTypeNames) {
    const std::pair<int, const char*> cases[] = {
        {0, "RAID 0"}, {1, "RAID 1"},  {2, "RAID 1"},       {5, "RAID 5"},   {6, "RAID 10"},
        {7, "RAID 6"}, {8, "RAID 50"}, {11, "SINGLE DISK"}, {12, "DISK"},    {14, "DISK"},
        {13, "SPARE"}, {15, "JBOD"},   {32, "UNKNOWN"},     {-1, "UNKNOWN"}, {3, "UNKNOWN"}};
    for (const auto& [type, name] : cases) {
        char text[kStatusTextSize];
        ASSERT_EQ(format_unit_type(page_, type, text), 0);
        EXPECT_STREQ(text, name) << type;
    }
}

TEST_F(StatusTextsTest, CompositeUnitStatuses) {
    UnitRecord unknown;
    unknown.has_unknown = 1;
    EXPECT_EQ(statuses(unknown, 6), (std::vector<Shown>{{"UNKNOWN", "#FF0000"}}));

    UnitRecord degraded_rebuilding;
    degraded_rebuilding.has_degraded = 1;
    degraded_rebuilding.has_rebuilding = 1;
    degraded_rebuilding.rebuild_percent = 40;
    degraded_rebuilding.rebuild_task_info = 1;
    EXPECT_EQ(
        statuses(degraded_rebuilding, 6),
        (std::vector<Shown>{{"DEGRADED", "#FF0000"}, {"REBUILDING 40% (active)", "#D8D800"}}));
    degraded_rebuilding.rebuild_task_info = 0;
    EXPECT_EQ(statuses(degraded_rebuilding, 6)[1], (Shown{"REBUILDING 40% (paused)", "#D8D800"}));
    EXPECT_EQ(statuses(degraded_rebuilding, 3)[1], (Shown{"REBUILDING 40%", "#D8D800"}));

    // Inoperable stands alone; the verify, initialise and migrate entry shows
    // the last of them that is set.
    UnitRecord all;
    all.has_recovering = all.has_degraded = all.has_verifying = all.has_initializing = 1;
    all.is_ok = 1;
    all.flags = 4;
    all.task_percent = 7;
    EXPECT_EQ(statuses(all, 8), (std::vector<Shown>{{"RECOVERING", "#FF0000"},
                                                    {"DEGRADED", "#FF0000"},
                                                    {"INITIALIZING 7% (paused)", "#D8D800"},
                                                    {"OK", "#009900"}}));
    all.has_migrating = 1;
    all.task_task_info = 2;
    EXPECT_EQ(statuses(all, 8)[2], (Shown{"MIGRATING 7% (active)", "#D8D800"}));
    all.has_inoperable = 1;
    EXPECT_EQ(statuses(all, 8), (std::vector<Shown>{{"INOPERABLE", "#FF0000"}}));

    UnitRecord not_initialised;
    not_initialised.is_ok = 1;
    not_initialised.flags = 0xFB;
    not_initialised.has_verifying = 1;
    not_initialised.task_percent = 99;
    EXPECT_EQ(statuses(not_initialised, 3),
              (std::vector<Shown>{{"VERIFYING 99%", "#009900"}, {"OK*", "#009900"}}));
}

TEST(Formatters, Capacity) {
    const std::pair<uint64_t, const char*> cases[] = {
        {2097152, "1.00 GB"},
        {2088960, "1020.00 MB"},
        {4095, "2.00 MB"},
        {1953525168, "931.51 GB"},
        {0, "0.00 MB"},
        {2147483648ull, "1.00 TB"},
        {976773168, "465.76 GB"},
        {3907029168ull, "1.82 TB"},
        {~0ull, "8589934592.00 TB"},
    };
    for (const auto& [sectors, text] : cases) {
        char out[kStatusTextSize];
        ASSERT_EQ(format_capacity(sectors, out), 0);
        EXPECT_STREQ(out, text) << sectors;
    }
}

TEST(Formatters, MemorySize) {
    const std::pair<uint32_t, const char*> cases[] = {
        {268435456, "256 MB"}, {1073741824, "1 GB"}, {524288, "512 kB"}, {1048575, "1023 kB"},
        {1048576, "1 MB"},     {0xFFFFFFFF, "3 GB"}, {0, "0 kB"}};
    for (const auto& [bytes, text] : cases) {
        char out[kStatusTextSize];
        ASSERT_EQ(format_memory_size(bytes, out), 0);
        EXPECT_STREQ(out, text) << bytes;
    }
}

TEST(Formatters, BusInfo) {
    struct BusCase {
        uint32_t flags;
        const char *protocol, *width, *speed;
    };
    const BusCase cases[] = {
        {0x1100, "PCIe", "4 lanes", "2.5 Gbps/lane"}, {0x4200, "PCIe", "16 lanes", "5.0 Gbps/lane"},
        {0x0900, "PCIe", "1 lane", "2.5 Gbps/lane"},  {0x0300, "PCIe", "Unknown", "2.5 Gbps/lane"},
        {0x4C, "PCIX", "64 bits", "100 MHz"},         {0xA0, "PCIX", "32 bits", "66 MHz"},
        {0x84, "PCIX", "64 bits", "133 MHz"},         {0x0C, "PCI", "64 bits", "33 MHz"},
        {0x10, "PCI", "32 bits", "66 MHz"},           {0x01, "Unknown", "Unknown", "Unknown"},
    };
    for (const BusCase& k : cases) {
        char protocol[kStatusTextSize], width[kStatusTextSize], speed[kStatusTextSize];
        ASSERT_EQ(format_bus_info(k.flags, protocol, width, speed), 0);
        EXPECT_STREQ(protocol, k.protocol) << std::hex << k.flags;
        EXPECT_STREQ(width, k.width) << std::hex << k.flags;
        EXPECT_STREQ(speed, k.speed) << std::hex << k.flags;
    }
    char protocol[kStatusTextSize] = "a", width[kStatusTextSize] = "b",
         speed[kStatusTextSize] = "c";
    EXPECT_EQ(format_bus_info(0, protocol, width, speed), 1);
    EXPECT_STREQ(protocol, "a");
    EXPECT_STREQ(width, "b");
    EXPECT_STREQ(speed, "c");
}

TEST(Formatters, LinkTypeAndInterfaceByGeneration) {
    ControllerRecord earlier;
    earlier.family = 7;
    ControllerRecord extended;
    extended.family = 7;
    extended.extended_device_info = 1;
    ControllerRecord later;
    later.family = 8;
    const char* const links[] = {"No Device", "Direct Attached",   "--", "Direct Attached",
                                 "--",        "Expander Attached", "--", "Expander Attached",
                                 "--"};
    const char* const interfaces[] = {"--", "SATA", "--", "SAS", "--", "SATA", "--", "SAS", "--"};
    for (int type = 0; type <= 8; ++type) {
        EXPECT_STREQ(format_link_type(type, earlier), "--");
        EXPECT_STREQ(format_drive_interface(type, earlier), "SATA");
        EXPECT_STREQ(format_link_type(type, extended), links[type]) << type;
        EXPECT_STREQ(format_link_type(type, later), links[type]) << type;
        EXPECT_STREQ(format_drive_interface(type, later), interfaces[type]) << type;
    }
}

TEST_F(StatusTextsTest, TextsAreCutWithinTheirLengthAndWholeCharacters) {
    // A message file whose words are longer than the tables keep.
    std::string long_ok(70, 'x');
    std::string umlauts;
    for (int i = 0; i < 20; ++i) umlauts += "\xC3\xA4";  // 40 bytes of two-byte characters
    env_.write_messages("de",
                        pagetest::section(0x13, {{10, long_ok.c_str()}, {332, umlauts.c_str()}}));
    ASSERT_EQ(env_.config().set_language(1), 0);
    EXPECT_EQ(shown(format_unit_status, 255).text, std::string(63, 'x'));
    EXPECT_EQ(shown(format_battery_status, 0).text, std::string(31, 'x'));
    EXPECT_EQ(shown(format_battery_status, 2).text, umlauts.substr(0, 30));
}

}  // namespace
