// The public functions with logic of their own: the last error in the
// caller's language and encoded, identifiers taken apart, and the entries
// that always refuse.
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/api/library_machine.h"

namespace {

ObjectId make_id(std::initializer_list<uint8_t> bytes) {
    ObjectId id;
    std::memset(id.b, 0xFF, sizeof id.b);
    size_t i = 0;
    for (uint8_t b : bytes) id.b[i++] = b;
    return id;
}

TEST(PublicLastError, ReadInTwoLanguages) {
    ASSERT_EQ(ctl_reserved_controller_query(controller(0)), -1);
    ErrorRecord english;
    ASSERT_EQ(ctl_get_last_error(&english), 0);
    EXPECT_EQ(english.flags, uint32_t(kErrApi));
    EXPECT_EQ(english.api_code, 2);
    EXPECT_STREQ(english.text, "(0x0B:0x0002): Feature not supported");

    ErrorRecord copy;
    ASSERT_EQ(ctl_get_last_error_localized(&copy, 0, message_dir().c_str()), 0);
    EXPECT_TRUE(same_record(copy, english));

    // Language 1 (German).
    ErrorRecord german;
    ASSERT_EQ(ctl_get_last_error_localized(&german, 1, message_dir().c_str()), 0);
    EXPECT_STREQ(german.text, "(0x0B:0x0002): Funktion nicht unterstützt");
    EXPECT_EQ(german.api_code, 2);
    // The record keeps the rendered text.
    EXPECT_STREQ(last_error().text, "(0x0B:0x0002): Funktion nicht unterstützt");

    // A code the language's file lacks keeps its English text.
    uint8_t number = 0;
    ASSERT_EQ(ctl_get_unit_number(controller(0), &number), -1);
    ErrorRecord fallback;
    ASSERT_EQ(ctl_get_last_error_localized(&fallback, 1, message_dir().c_str()), 0);
    EXPECT_STREQ(fallback.text, "(0x0B:0x0009): Invalid unit ID");
}

ErrorRecord record_of(uint32_t flags, int32_t api, int32_t os, int32_t driver,
                      int32_t controller_status) {
    ErrorRecord r;
    std::memset(&r, 0, sizeof r);
    r.flags = flags;
    r.api_code = api;
    r.os_error = os;
    r.driver_status = driver;
    r.controller_status = controller_status;
    return r;
}

TEST(PublicLastError, EncodesTheLeadingPart) {
    struct Case {
        const char* name;
        ErrorRecord record;
        uint64_t expected;
    };
    const Case cases[] = {
        {"second-series controller before driver",
         record_of(kErrDriver | kErrController | kErrSecondSeries, 0, 0, 0x1001, 0x10C),
         uint64_t(3) << 32 | 0x10C},
        {"first-series controller", record_of(kErrController | kErrFirstSeries, 0, 0, 0, 0xC4),
         uint64_t(14) << 32 | 0xC4},
        {"first-series driver", record_of(kErrDriver | kErrFirstSeries, 0, 0, 5, 0),
         uint64_t(17) << 32 | 5},
        {"second-series driver", record_of(kErrDriver | kErrSecondSeries, 0, 0, 0x1001, 0),
         uint64_t(6) << 32 | 0x1001},
        {"OS before API", record_of(kErrApi | kErrOs, 7, 2, 0, 0), uint64_t(9) << 32 | 2},
        {"API", record_of(kErrApi, 122, 0, 0, 0), uint64_t(11) << 32 | 122},
        {"nothing", record_of(0, 5, 6, 7, 8), 0},
        {"negative status keeps 32 bits", record_of(kErrDriver | kErrSecondSeries, 0, 0, -1, 0),
         uint64_t(6) << 32 | 0xFFFFFFFFu},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        uint64_t value = 99;
        EXPECT_EQ(ctl_decode_last_error(&value, c.record), 0);
        EXPECT_EQ(value, c.expected);
    }
}

TEST(PublicLastError, SplitsAndNamesAnEncodedError) {
    int32_t category = 0, code = 0;
    ASSERT_EQ(ctl_split_error_code(uint64_t(11) << 32 | 122, &category, &code), 0);
    EXPECT_EQ(category, 11);
    EXPECT_EQ(code, 122);

    char text[128];
    ASSERT_EQ(ctl_get_error_code_text(uint64_t(11) << 32 | 122, text, sizeof text), 0);
    EXPECT_STREQ(text, "(0x0B:0x007A): Invalid argument or value");
    ASSERT_EQ(ctl_get_error_code_text(uint64_t(11) << 32 | 122, text, 10), 0);
    EXPECT_STREQ(text, "(0x0B:0x0");
    ASSERT_EQ(ctl_get_error_code_text(uint64_t(11) << 32 | 0x7777, text, sizeof text), 0);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(ctl_get_error_code_text(uint64_t(11) << 32 | 122, text, 0), -1);
    EXPECT_EQ(last_error().api_code, 122);
}

// --- Identifiers ------------------------------------------------------------

using Decoder = int (*)(ObjectId, uint8_t*, uint8_t*);
using Parser = int (*)(ObjectId, uint8_t*, uint8_t*, uint8_t*);

struct ElementFunctions {
    const char* name;
    uint8_t kind;
    int32_t error;
    Decoder decode;
    Parser parse;
};

const ElementFunctions kElements[] = {
    {"fan", kKindFan, 93, ctl_decode_fan_id, ctl_parse_fan_id},
    {"door lock", kKindDoorLock, 94, ctl_decode_door_lock_id, ctl_parse_door_lock_id},
    {"alarm", kKindAlarm, 95, ctl_decode_alarm_id, ctl_parse_alarm_id},
    {"slot", kKindSlot, 96, ctl_decode_slot_id, ctl_parse_slot_id},
    {"temperature sensor", kKindTempSensor, 110, ctl_decode_temp_sensor_id,
     ctl_parse_temp_sensor_id},
    {"power supply", kKindPowerSupply, 117, ctl_decode_power_supply_id,
     ctl_parse_power_supply_id},
};

void expect_refused(int result, int32_t error) {
    EXPECT_EQ(result, -1);
    EXPECT_EQ(last_error().flags, uint32_t(kErrApi));
    EXPECT_EQ(last_error().api_code, error);
}

TEST(PublicIdentifiers, ElementDecoders) {
    for (const ElementFunctions& f : kElements) {
        SCOPED_TRACE(f.name);
        uint8_t number = 1, element = 1;
        // Controller 2, enclosure position 3, element 5.
        ASSERT_EQ(f.decode(make_id({f.kind, 2, 5, 0, 0x43}), &number, &element), 0);
        EXPECT_EQ(number, 2 * 16 + 3);
        EXPECT_EQ(element, 5);
        // Controller 15, position 14: the highest number there is.
        ASSERT_EQ(f.decode(make_id({f.kind, 15, 5, 0, 0x4E}), &number, &element), 0);
        EXPECT_EQ(number, 254);
        // No enclosure: number 0xFF; a slot then has no index either.
        ASSERT_EQ(f.decode(make_id({f.kind, 2, 5, 0, 0xFF}), &number, &element), 0);
        EXPECT_EQ(number, 0xFF);
        EXPECT_EQ(element, f.kind == kKindSlot ? 0xFF : 5);

        // Refused without output: a wrong kind, an enclosure byte that names
        // no position, and numbers that would not fit below 0xFF.
        for (ObjectId bad : {make_id({kKindEnclosure, 2, 5, 0, 0x43}),
                             make_id({f.kind, 2, 5, 0, 0x3F}), make_id({f.kind, 2, 5, 0, 0x50}),
                             make_id({f.kind, 15, 5, 0, 0x4F}), make_id({f.kind, 16, 5, 0, 0x40})}) {
            number = 1;
            element = 1;
            expect_refused(f.decode(bad, &number, &element), f.error);
            EXPECT_EQ(number, 1);
            EXPECT_EQ(element, 1);
        }
    }
}

TEST(PublicIdentifiers, ElementParsers) {
    for (const ElementFunctions& f : kElements) {
        SCOPED_TRACE(f.name);
        uint8_t controller_index = 1, enclosure = 1, element = 1;
        ASSERT_EQ(f.parse(make_id({f.kind, 20, 5, 0, 0x43}), &controller_index, &enclosure,
                          &element),
                  0);
        EXPECT_EQ(controller_index, 20);
        EXPECT_EQ(enclosure, 3);
        EXPECT_EQ(element, 5);
        ASSERT_EQ(f.parse(make_id({f.kind, 20, 5, 0, 0xFF}), &controller_index, &enclosure,
                          &element),
                  0);
        EXPECT_EQ(controller_index, 0xFF);
        EXPECT_EQ(enclosure, 0xFF);
        EXPECT_EQ(element, 0xFF);
        for (ObjectId bad :
             {make_id({kKindUnit, 2, 5, 0, 0x43}), make_id({f.kind, 2, 5, 0, 0x50})}) {
            controller_index = enclosure = element = 1;
            expect_refused(f.parse(bad, &controller_index, &enclosure, &element), f.error);
            EXPECT_EQ(controller_index + enclosure + element, 3);
        }
    }
}

TEST(PublicIdentifiers, EnclosureDecoders) {
    uint8_t number = 0, controller_index = 0, enclosure = 0;
    ASSERT_EQ(ctl_decode_enclosure_number(make_id({kKindEnclosure, 3, 0xFF, 0xFF, 0x42}), &number),
              0);
    EXPECT_EQ(number, 3 * 16 + 2);
    ASSERT_EQ(ctl_decode_enclosure_number(make_id({kKindEnclosure, 3}), &number), 0);
    EXPECT_EQ(number, 0xFF);
    for (auto* decode : {ctl_decode_enclosure_id, ctl_parse_enclosure_id}) {
        ASSERT_EQ(decode(make_id({kKindEnclosure, 3, 0xFF, 0xFF, 0x42}), &controller_index,
                         &enclosure),
                  0);
        EXPECT_EQ(controller_index, 3);
        EXPECT_EQ(enclosure, 2);
        ASSERT_EQ(decode(make_id({kKindEnclosure, 3}), &controller_index, &enclosure), 0);
        EXPECT_EQ(controller_index, 0xFF);
        EXPECT_EQ(enclosure, 0xFF);
        expect_refused(decode(make_id({kKindFan, 3, 0, 0, 0x42}), &controller_index, &enclosure),
                       92);
    }
    number = 7;
    expect_refused(ctl_decode_enclosure_number(make_id({kKindFan, 3, 0, 0, 0x42}), &number), 92);
    EXPECT_EQ(number, 7);
}

TEST(PublicIdentifiers, UnitNumberPortIdAndRawEnclosureId) {
    uint8_t number = 0;
    ASSERT_EQ(ctl_get_unit_number(make_id({kKindUnit, 1, 0xFF, 1, 7}), &number), 0);
    EXPECT_EQ(number, 7);
    number = 3;
    expect_refused(ctl_get_unit_number(make_id({kKindDrive, 1, 7}), &number), 9);
    EXPECT_EQ(number, 3);

    ObjectId port;
    ASSERT_EQ(ctl_get_port_id(make_id({kKindDrive, 2, 9, 1, 2, 3, 4, 5}), &port), 0);
    const uint8_t expected[8] = {3, 2, 9, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(std::memcmp(port.b, expected, 8), 0);
    expect_refused(ctl_get_port_id(make_id({kKindPhy, 2, 9}), &port), 11);

    const uint8_t raw[8] = {9, 1, 2, 3, 0x44, 5, 6, 1};
    ObjectId enclosure;
    ASSERT_EQ(ctl_make_enclosure_id_raw(raw, &enclosure), 0);
    const uint8_t made[8] = {4, 1, 2, 3, 0x44, 5, 6, 1};
    EXPECT_EQ(std::memcmp(enclosure.b, made, 8), 0);
}

// --- Fixed answers ------------------------------------------------------------

TEST(PublicFixedAnswers, ReservedEntriesRefuseAndSendNothing) {
    sim::clear_journal();
    for (auto* reserved : {ctl_reserved_controller_query, ctl_reserved_controller_setting,
                           ctl_reserved_door_lock_op_a, ctl_reserved_door_lock_op_b,
                           ctl_reserved_door_lock_op_c, ctl_reserved_door_lock_op_d}) {
        seed_last_error();
        expect_refused(reserved(controller(2)), 2);
    }
    ObjectId unit = make_id({kKindUnit, 9, 9});
    seed_last_error();
    expect_refused(ctl_find_unit_by_os_device("/dev/sda", &unit), 2);
    EXPECT_EQ(unit.b[1], 9);
    EXPECT_EQ(ctl_init_bbu(controller(2)), 0);
    EXPECT_EQ(driver_requests(), 0u);

    EXPECT_STREQ(ctl_get_vendor_name(), "tavix");
    EXPECT_STREQ(ctl_get_api_version(), "2.08.00.027");
    EXPECT_NE(ctl_get_notice_text()[0], '\0');
}

}  // namespace
