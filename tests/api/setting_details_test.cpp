// How the settings read what the firmware keeps: three-state and unset
// values, selectors, the bus word, the flags of tables 11 and 7 changed
// under the controller lock, the protection mode's combinations, the
// controller limits by family, the driver's record and the unit's texts.
#include <cstring>

#include "tests/api/settings_machine.h"

namespace {

PYV2_LIBRARY_MACHINE(kSettingsMachine);

// The control codes a call sent, in order.
std::vector<unsigned long> requests_sent() {
    std::vector<unsigned long> codes;
    for (const sim::JournalEntry& e : sim::journal()) codes.push_back(e.request);
    return codes;
}

size_t writes_sent() {
    size_t n = 0;
    for (const sim::JournalEntry& e : sim::journal())
        n += e.request == 264 && e.sent.size() > 640 && e.sent[640] == 0x53;
    return n;
}

TEST(SettingDetails, ThreeStateSettingsRead) {
    struct Case {
        const char* stored;
        uint8_t expected;
    };
    for (const Case& c : {Case{"u16:0x0100", 2}, Case{"u16:0x0003", 1}, Case{"u16:0xFFFE", 2},
                          Case{"u16:0x0000", 0}}) {
        SCOPED_TRACE(c.stored);
        change_machine(std::string("param index=4 table=0x300 id=22 value=") + c.stored +
                       "\nparam index=4 table=0x300 id=23 value=" + c.stored);
        uint8_t v22 = 9, v23 = 9;
        ASSERT_EQ(ctl_get_unit_setting_22(unit(4), &v22), 0);
        ASSERT_EQ(ctl_get_unit_setting_23(unit(4), &v23), 0);
        EXPECT_EQ(v22, c.expected);
        EXPECT_EQ(v23, c.expected);
    }
}

TEST(SettingDetails, ProtectionModeOfEachCombination) {
    struct Case {
        uint8_t s21;
        const char* s22;
        const char* s23;
        uint8_t mode;
    };
    const Case cases[] = {
        {1, "0x100", "1", 0}, {0, "0x100", "0x100", 1}, {0, "1", "0", 2},
        {1, "1", "1", 255},   {0, "0x100", "1", 255},
    };
    for (const Case& c : cases) {
        change_machine("param index=6 table=0x300 id=21 value=u8:" + std::to_string(c.s21) +
                       "\nparam index=6 table=0x300 id=22 value=u16:" + c.s22 +
                       "\nparam index=6 table=0x300 id=23 value=u16:" + c.s23);
        uint8_t mode = 77;
        ASSERT_EQ(ctl_get_protection_mode(unit(6), &mode), 0);
        EXPECT_EQ(mode, c.mode) << int(c.s21) << " " << c.s22 << " " << c.s23;
    }
    // Each mode written reads back as itself.
    int (*const setters[])(ObjectId) = {ctl_set_protection_mode_protect,
                                        ctl_set_protection_mode_balance,
                                        ctl_set_protection_mode_perform};
    for (uint8_t m = 0; m < 3; ++m) {
        ASSERT_EQ(setters[m](unit(6)), 0);
        uint8_t mode = 77;
        ASSERT_EQ(ctl_get_protection_mode(unit(6), &mode), 0);
        EXPECT_EQ(mode, m);
    }
}

// The three writes stop at the first that fails: setting 23 is not
// written after setting 22 was refused.
TEST(SettingDetails, ProtectionModeStopsAtTheFirstFailedWrite) {
    ASSERT_EQ(ctl_set_protection_mode(unit(6), 2), 0);
    change_machine("fault index=6 opcode=0x53 table=0x300 parameter=22 firmware-code=0x010F");
    sim::clear_journal();
    EXPECT_EQ(ctl_set_protection_mode(unit(6), 0), -1);
    EXPECT_EQ(last_error().controller_status, 0x010F);
    EXPECT_EQ(writes_sent(), 2u);
    uint8_t s21 = 9, s23 = 9;
    ASSERT_EQ(ctl_get_unit_setting_21(unit(6), &s21), 0);
    ASSERT_EQ(ctl_get_unit_setting_23(unit(6), &s23), 0);
    EXPECT_EQ(s21, 1);  // written
    EXPECT_EQ(s23, 0);  // as perform left it
    // An unknown mode changes nothing and says so.
    for (int mode : {3, 255}) {
        sim::clear_journal();
        EXPECT_EQ(ctl_set_protection_mode(unit(6), mode), -1);
        EXPECT_EQ(last_error().api_code, 122);
        EXPECT_TRUE(sim::journal().empty());
    }
}

TEST(SettingDetails, Setting56UnsetAndCleared) {
    change_machine("param index=6 table=0x403 id=56 value=u16:0xFFFF");
    uint8_t present = 7;
    uint16_t value = 7;
    ASSERT_EQ(ctl_get_controller_setting_56(controller(6), &present, &value), 0);
    EXPECT_EQ(present, 0);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(ctl_set_controller_setting_56(controller(6), 0x10005), -1);  // beyond 16 bits
    ASSERT_EQ(ctl_set_controller_setting_56(controller(6), 5), 0);
    ASSERT_EQ(ctl_get_controller_setting_56(controller(6), &present, &value), 0);
    EXPECT_EQ(present, 1);
    EXPECT_EQ(value, 5);
    sim::clear_journal();
    ASSERT_EQ(ctl_clear_controller_setting_56(controller(6)), 0);
    EXPECT_EQ(last_write(), (Written{0x403, 56, {0xFF, 0xFF}}));
    ASSERT_EQ(ctl_get_controller_setting_56(controller(6), &present, &value), 0);
    EXPECT_EQ(present, 0);
}

TEST(SettingDetails, Selectors) {
    // Setting 47 or 48 is read for selectors 1 and 2 only; another fails
    // without a request and without touching the record.
    const ErrorRecord before = seed_last_error();
    sim::clear_journal();
    uint32_t value = 5;
    EXPECT_EQ(ctl_get_controller_setting_47_48(controller(4), 3, &value), -1);
    EXPECT_TRUE(sim::journal().empty());
    EXPECT_TRUE(same_record(before, last_error()));
    EXPECT_EQ(value, 5u);
    // Writing, any selector but 1 names setting 48; so does reading 50.
    ASSERT_EQ(ctl_set_controller_setting_47_48(controller(4), 3, 0x30), 0);
    EXPECT_EQ(last_write(), (Written{0x403, 48, {0x30, 0, 0, 0}}));
    ASSERT_EQ(ctl_set_controller_setting_49_50(controller(4), 7, 0x50), 0);
    EXPECT_EQ(last_write(), (Written{0x403, 50, {0x50, 0, 0, 0}}));
    ASSERT_EQ(ctl_get_controller_setting_49_50(controller(4), 0, &value), 0);
    EXPECT_EQ(value, 0x50u);
    // Settings 54 and 55: the public functions take selector 1 only.
    for (int selector : {0, 2}) {
        sim::clear_journal();
        uint8_t byte = 0;
        EXPECT_EQ(ctl_get_controller_setting_54_55(controller(4), selector, &byte), -1);
        EXPECT_EQ(last_error().api_code, 122);
        EXPECT_EQ(ctl_set_controller_setting_54_55(controller(4), selector, 1), -1);
        EXPECT_EQ(last_error().api_code, 122);
        EXPECT_TRUE(sim::journal().empty());
    }
}

TEST(SettingDetails, BusBandwidthFromTheBusWord) {
    struct Case {
        uint32_t word;
        int result;
        uint32_t bandwidth;
    };
    const Case cases[] = {
        {0x1300, 0, 2000}, {0x1200, 0, 2000}, {0x4100, 0, 4000}, {0x0900, 0, 250},
        {0x2200, 0, 4000}, {0x1B00, 0, 0},    {0x1000, -1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.word);
        change_machine("param index=4 table=0x403 id=26 value=u32:" + std::to_string(c.word));
        uint32_t bandwidth = 77, word = 0;
        EXPECT_EQ(ctl_get_bus_bandwidth(controller(4), &bandwidth), c.result);
        if (c.result == 0) {
            EXPECT_EQ(bandwidth, c.bandwidth);
        } else {
            EXPECT_EQ(last_error().api_code, 2);
            EXPECT_EQ(bandwidth, 77u);
        }
        ASSERT_EQ(ctl_get_bus_info(controller(4), &word), 0);
        EXPECT_EQ(word, c.word);
    }
    // The bus word is read on family 9 too; its bandwidth is not.
    uint32_t word = 0;
    EXPECT_EQ(ctl_get_bus_info(controller(5), &word), 0);
    const ErrorRecord before = seed_last_error();
    EXPECT_EQ(ctl_get_bus_bandwidth(controller(5), &word), -1);
    EXPECT_TRUE(same_record(before, last_error()));
}

// The flag word is written back under the controller lock even when the
// bit already has the wanted value; the lock is released after a failure.
TEST(SettingDetails, Table11FlagsChangeUnderTheLock) {
    change_machine("param index=4 table=11 id=2 value=u16:0x8001");
    uint8_t flag = 9;
    ASSERT_EQ(ctl_get_table11_flag_15(controller(4), &flag), 0);
    EXPECT_EQ(flag, 1);
    ASSERT_EQ(ctl_get_table11_flag_1(controller(4), &flag), 0);
    EXPECT_EQ(flag, 0);

    sim::clear_journal();
    ASSERT_EQ(ctl_enable_table11_flag_0(controller(4)), 0);
    EXPECT_EQ(requests_sent(), (std::vector<unsigned long>{262, 264, 264, 263}));
    EXPECT_EQ(last_write(), (Written{11, 2, {0x01, 0x80}}));
    ASSERT_EQ(ctl_enable_table11_flag_2(controller(4)), 0);
    EXPECT_EQ(last_write(), (Written{11, 2, {0x05, 0x80}}));
    ASSERT_EQ(ctl_disable_table11_flag_15(controller(4)), 0);
    EXPECT_EQ(last_write(), (Written{11, 2, {0x05, 0x00}}));

    change_machine("fault index=4 opcode=0x53 table=11 firmware-code=0x010F");
    sim::clear_journal();
    EXPECT_EQ(ctl_disable_table11_flag_0(controller(4)), -1);
    EXPECT_EQ(requests_sent(), (std::vector<unsigned long>{262, 264, 264, 263}));
    // Family 10 keeps its lock in a settings parameter.
    sim::clear_journal();
    ASSERT_EQ(ctl_enable_table11_flag_1(controller(6)), 0);
    ASSERT_EQ(sim::journal().size(), 4u);
    EXPECT_EQ(last_write(), (Written{0x403, 61, {0, 0, 0, 0}}));
}

TEST(SettingDetails, Table7FlagIsWrittenOnlyWhenItChanges) {
    std::string record(512, '\x5A');
    record[4] = 0;
    std::string hex;
    for (unsigned char ch : record) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", ch);
        hex += pair;
    }
    change_machine("param index=1 table=7 id=2 value=hex:" + hex);
    uint8_t flag = 9;
    ASSERT_EQ(ctl_get_table7_flag(controller(1), &flag), 0);
    EXPECT_EQ(flag, 1);

    sim::clear_journal();
    ASSERT_EQ(ctl_enable_table7_flag(controller(1)), 0);  // byte 4 already 0
    EXPECT_EQ(writes_sent(), 0u);
    EXPECT_EQ(requests_sent(), (std::vector<unsigned long>{262, 264, 263}));

    sim::clear_journal();
    ASSERT_EQ(ctl_disable_table7_flag(controller(1)), 0);
    std::vector<uint8_t> expected(record.begin(), record.end());
    expected[4] = 1;
    EXPECT_EQ(last_write(), (Written{7, 2, expected}));
    ASSERT_EQ(ctl_get_table7_flag(controller(1), &flag), 0);
    EXPECT_EQ(flag, 0);
}

TEST(SettingDetails, Table9Readings) {
    std::string hex = "hex:";
    for (int i = 0; i < 256; ++i) {
        char entry[5];
        std::snprintf(entry, sizeof entry, "%02x%02x", i, 0xA0);
        hex += entry;
    }
    change_machine(
        "param index=2 table=9 id=2 value=u16:0x0102\nparam index=2 table=9 id=3 value=" + hex);
    uint16_t count = 0;
    ASSERT_EQ(ctl_get_table9_count(controller(2), &count), 0);
    EXPECT_EQ(count, 0x0102);
    uint16_t entries[256] = {};
    ASSERT_EQ(ctl_get_table9_entries(controller(2), entries), 0);
    EXPECT_EQ(entries[0], 0xA000);
    EXPECT_EQ(entries[255], 0xA0FF);
    uint8_t list[514];
    std::memset(list, 0x77, sizeof list);
    ASSERT_EQ(ctl_get_table9_list(controller(2), list), 0);
    EXPECT_EQ(list[0], 0x02);
    EXPECT_EQ(list[1], 0x01);
    EXPECT_EQ(list[2], 0x00);
    EXPECT_EQ(list[3], 0xA0);
    EXPECT_EQ(list[513], 0xA0);
    // A failed reading clears the caller's record.
    change_machine("fault index=2 opcode=0x52 table=9 parameter=3 firmware-code=0x010C");
    std::memset(list, 0x77, sizeof list);
    EXPECT_EQ(ctl_get_table9_list(controller(2), list), -1);
    for (uint8_t b : list) ASSERT_EQ(b, 0);
}

// Direct getters hand the caller's buffer to the read, so a failed read
// leaves it zeroed; the others leave it as it was.
TEST(SettingDetails, FailedReadsLeaveDirectBuffersZeroed) {
    change_machine("fault index=4 opcode=0x52 count=2 firmware-code=0x010C");
    uint8_t direct = 0x77, converted = 0x77;
    EXPECT_EQ(ctl_get_unit_setting_32(unit(4), &direct), -1);
    EXPECT_EQ(ctl_get_controller_setting_52(controller(4), &converted), -1);
    EXPECT_EQ(direct, 0);
    EXPECT_EQ(converted, 0x77);
}

TEST(SettingDetails, ReadOnlyValues) {
    change_machine(
        "param index=4 table=0x300 id=18 value=\"ABCDEFGHIJKLMNOPQRST\"\n"
        "param index=4 table=0x300 id=32 value=u8:3\n"
        "param index=4 table=0x403 id=62 value=\"sixty-two\"\n");
    char serial[22];
    std::memset(serial, 0x77, sizeof serial);
    ASSERT_EQ(ctl_get_unit_serial_number(unit(4), serial), 0);
    EXPECT_STREQ(serial, "ABCDEFGHIJKLMNOPQRST");  // all 20 filled, still terminated
    EXPECT_EQ(serial[21], 0x77);                   // and nothing past the 21 bytes
    uint8_t s32 = 0;
    ASSERT_EQ(ctl_get_unit_setting_32(unit(4), &s32), 0);
    EXPECT_EQ(s32, 3);
    uint8_t s62[256];
    std::memset(s62, 0x77, sizeof s62);
    ASSERT_EQ(ctl_get_controller_setting_62(controller(4), s62), 0);
    EXPECT_STREQ(reinterpret_cast<char*>(s62), "sixty-two");
    EXPECT_EQ(s62[254], 0);
    EXPECT_EQ(s62[255], 0x77);
}

// Families before 8, the first series included, answer the controller
// limits with their ports.
TEST(SettingDetails, ControllerLimitsByFamily) {
    change_machine("set index=4 max-active-drives=96 max-active-units=24 max-drives-per-unit=16");
    struct Case {
        uint8_t index;
        uint32_t drives, units, per_unit;
    };
    for (const Case& c : {Case{0, 4, 4, 4}, Case{1, 4, 4, 4}, Case{2, 6, 6, 6}, Case{3, 8, 8, 8},
                          Case{4, 96, 24, 16}, Case{6, 128, 32, 32}}) {
        SCOPED_TRACE(int(c.index));
        uint32_t drives = 0, alt = 0, units = 0, per_unit = 0;
        ASSERT_EQ(ctl_get_max_active_drives(controller(c.index), &drives), 0);
        ASSERT_EQ(ctl_get_max_active_drives_alt(controller(c.index), &alt), 0);
        ASSERT_EQ(ctl_get_max_active_units(controller(c.index), &units), 0);
        ASSERT_EQ(ctl_get_max_drives_per_unit(controller(c.index), &per_unit), 0);
        EXPECT_EQ(drives, c.drives);
        EXPECT_EQ(alt, c.drives);
        EXPECT_EQ(units, c.units);
        EXPECT_EQ(per_unit, c.per_unit);
    }
    uint32_t count = 0;
    const ErrorRecord before = seed_last_error();
    EXPECT_EQ(ctl_get_max_active_units(controller(5), &count), -1);
    EXPECT_TRUE(same_record(before, last_error()));
}

TEST(SettingDetails, UnitNameRoundTrip) {
    char name[21] = "Database volume";
    ASSERT_EQ(ctl_set_unit_name(unit(1), name), 0);
    EXPECT_EQ(last_write(), (Written{0x300, 17, std::vector<uint8_t>(name, name + 21)}));
    char read[21];
    std::memset(read, 0x77, sizeof read);
    ASSERT_EQ(ctl_get_unit_name(unit(1), read), 0);
    EXPECT_EQ(std::memcmp(read, name, sizeof name), 0);
    // A unit the controller lacks has no table.
    ObjectId missing = unit(1);
    missing.b[4] = 5;
    EXPECT_EQ(ctl_get_unit_name(missing, read), -1);
    EXPECT_EQ(last_error().controller_status, 0x010B);
}

// A name is written up to its end and padded with zeros: a short text is not
// read past its end, and what lies after the end of a buffer is not sent.
TEST(SettingDetails, UnitNameIsWrittenUpToItsEnd) {
    std::vector<uint8_t> expected(21, 0);
    std::memcpy(expected.data(), "db", 2);
    ASSERT_EQ(ctl_set_unit_name(unit(1), "db"), 0);
    EXPECT_EQ(last_write(), (Written{0x300, 17, expected}));
    char buffer[21];
    std::memset(buffer, 'x', sizeof buffer);
    std::memcpy(buffer, "db", 3);
    ASSERT_EQ(ctl_set_unit_name(unit(1), buffer), 0);
    EXPECT_EQ(last_write(), (Written{0x300, 17, expected}));
    // 21 characters and no terminator: all 21 are the name.
    std::memset(buffer, 'n', sizeof buffer);
    ASSERT_EQ(ctl_set_unit_name(unit(1), buffer), 0);
    EXPECT_EQ(last_write(), (Written{0x300, 17, std::vector<uint8_t>(21, 'n')}));
}

TEST(SettingDetails, DriverVersionRecord) {
    DriverCompatInfo record;
    std::memset(&record, 0x77, sizeof record);
    ASSERT_EQ(ctl_get_driver_version(controller(1), &record), 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(record.bytes), "3.26.02.000");
    EXPECT_EQ(record.running_srl(), 40);
    EXPECT_EQ(record.bytes[127], 0x5A);
    // The SAS driver serves the record's first 56 bytes from sysfs.
    std::memset(&record, 0x77, sizeof record);
    ASSERT_EQ(ctl_get_driver_version(controller(4), &record), 0);
    EXPECT_EQ(record.running_build(), 12);
    EXPECT_EQ(record.bytes[56], 0);
    EXPECT_EQ(record.bytes[127], 0);
    // A failure leaves the caller's record alone.
    change_machine("sysfs index=4 file=tavix_compat_info size=40");
    std::memset(&record, 0x77, sizeof record);
    EXPECT_EQ(ctl_get_driver_version(controller(4), &record), -1);
    for (uint8_t b : record.bytes) ASSERT_EQ(b, 0x77);
    change_machine("sysfs index=4 file=tavix_compat_info size=full");
    // The first series' driver tells its version in its files: the text
    // alone, the rest of the record zero.
    std::memset(&record, 0x77, sizeof record);
    ASSERT_EQ(ctl_get_driver_version(controller(0), &record), 0) << last_error().text;
    EXPECT_STREQ(reinterpret_cast<const char*>(record.bytes), "1.26.02.002");
    EXPECT_EQ(record.bytes[127], 0);
}

// The public setters that check their value: the boundaries of each range;
// a value beyond the byte or 16 bits the setting takes is refused, not cut
// to its low bits.
TEST(SettingDetails, PublicRangeChecks) {
    struct Case {
        int (*set)(ObjectId, int);
        bool on_unit;
        int value;
        bool accepted;
    };
    const Case cases[] = {
        {ctl_set_unit_setting_30, true, 0, true},
        {ctl_set_unit_setting_30, true, 1, true},
        {ctl_set_unit_setting_30, true, 2, false},
        {ctl_set_unit_setting_30, true, 0x101, false},
        {ctl_set_unit_setting_31, true, 0, true},
        {ctl_set_unit_setting_31, true, 4, false},
        {ctl_set_unit_setting_31, true, 5, true},
        {ctl_set_unit_setting_31, true, 999, true},
        {ctl_set_unit_setting_31, true, 1000, false},
        {ctl_set_unit_setting_31, true, -1, false},
        {ctl_set_unit_setting_31, true, 0x10005, false},
        {ctl_set_controller_setting_16, false, 0, false},
        {ctl_set_controller_setting_16, false, 1, true},
        {ctl_set_controller_setting_16, false, 255, true},
        {ctl_set_controller_setting_16, false, 256, false},
        {ctl_set_controller_setting_56, false, -1, false},
        {ctl_set_controller_setting_56, false, 0xFFFE, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        sim::clear_journal();
        const int result = c.set(c.on_unit ? unit(6) : controller(6), c.value);
        if (c.accepted) {
            EXPECT_EQ(result, 0) << last_error().text;
        } else {
            EXPECT_EQ(result, -1);
            EXPECT_EQ(last_error().api_code, 122);
            EXPECT_TRUE(sim::journal().empty());
        }
    }
}

// Flag 10 on and table 10 setting 5 off; a controller without that
// setting still succeeds with a clean record, any other refusal leaves flag
// 10 on and fails.
TEST(SettingDetails, Flag10SetAlone) {
    const Written flag_on{0x403, 10, {1}};
    const Written setting_off{10, 5, {0}};
    sim::clear_journal();
    ASSERT_EQ(ctl_enable_controller_flag_10_exclusive(controller(4)), 0) << last_error().text;
    EXPECT_EQ(writes(), (std::vector<Written>{flag_on, setting_off}));

    seed_last_error();
    sim::clear_journal();
    ASSERT_EQ(ctl_enable_controller_flag_10_exclusive(controller(1)), 0) << last_error().text;
    EXPECT_EQ(writes(), (std::vector<Written>{flag_on, setting_off}));
    EXPECT_EQ(last_error().flags, 0u) << last_error().text;

    change_machine("fault index=6 opcode=0x53 table=10 parameter=5 firmware-code=0x010D");
    ASSERT_EQ(ctl_disable_controller_flag_10(controller(6)), 0);
    EXPECT_EQ(ctl_enable_controller_flag_10_exclusive(controller(6)), -1);
    EXPECT_EQ(last_error().controller_status, 0x010D);
    uint8_t flag = 0;
    ASSERT_EQ(ctl_get_controller_flag_10(controller(6), &flag), 0);
    EXPECT_EQ(flag, 1);

    EXPECT_EQ(ctl_enable_controller_flag_10_exclusive(controller(0)), -1);
    EXPECT_EQ(last_error().api_code, 2);
    const ErrorRecord before = seed_last_error();
    EXPECT_EQ(ctl_enable_controller_flag_10_exclusive(controller(5)), -1);
    EXPECT_TRUE(same_record(before, last_error()));
}

TEST(SettingDetails, Setting63AndTheDriverRecordOfFamily9) {
    sim::clear_journal();
    ASSERT_EQ(ctl_set_controller_setting_63(controller(6)), 0);
    EXPECT_EQ(last_write(), (Written{0x403, 63, {1}}));
    EXPECT_EQ(ctl_set_controller_setting_63(controller(4)), -1);
    EXPECT_EQ(last_error().api_code, 2);
    DriverCompatInfo record;
    EXPECT_EQ(ctl_get_driver_version(controller(5), &record), 0);
}

}  // namespace
