// Controller events through the public functions: walking the controller's
// event ring (through the driver and through the SAS driver's event file),
// the record the library makes of each driver record, hostile records, and
// events posted by the caller, byte for byte and read back.
#include <cstring>
#include <string>
#include <thread>

#include "backend/series_backend.h"
#include "driver/message_catalogue.h"
#include "tests/api/library_machine.h"
#include "tests/support/files.h"
#include "tests/support/journal.h"
#include "tests/support/param_names.h"

namespace {

// 0 family 3, 1 family 4, 2 family 6 or 7 (events through the driver), 3
// family 8 on the SAS driver (events from its event file), 9 a family-6
// controller on a virtual-machine driver, in a time zone an hour east.
PYV2_LIBRARY_MACHINE(
    "clock mode=virtual\n"
    "clock utc-offset=3600\n"
    "driver name=dq-xxxx pairing=proc\n"
    "driver name=dq-Mxxx pairing=sysfs\n"
    "driver name=dq-sas pairing=sysfs\n"
    "driver name=dq-Mxxx_vm40 pairing=link\n"
    "controller index=0 driver=dq-xxxx ports=4\n"
    "controller index=1 driver=dq-Mxxx arch=5 ports=4\n"
    "controller index=2 driver=dq-Mxxx arch=7 ports=8\n"
    "controller index=3 driver=dq-sas arch=8 ports=4\n"
    "controller index=9 driver=dq-Mxxx_vm40 arch=6 ports=4\n");

EventRecord blank_event() {
    EventRecord event;
    std::memset(&event, 0xAB, sizeof event);
    return event;
}

std::string queue_empty() { return "(0x04:0x0000): AEN queue empty"; }

// Walks an event ring that has written over its oldest events, across the
// point where its slots wrap, both ways.
class EventRing : public ::testing::TestWithParam<uint8_t> {};

TEST_P(EventRing, WalkAcrossTheWrapBothWays) {
    const std::string index = std::to_string(GetParam());
    // Sequence numbers 250 to 549: the ring keeps the newest 256, 294 to
    // 549, and its slots wrap between 511 and 512.
    change_machine("event index=" + index +
                   " sequence=250 count=300 code=0x001A severity=3 text=\"port=2\"\n");
    const ObjectId id = controller(GetParam());

    EventRecord event = blank_event();
    ASSERT_EQ(ctl_get_first_aen(id, &event), 0) << last_error().text;
    EXPECT_EQ(event.sequence, 294u);
    uint32_t walked = 1, last = event.sequence;
    while (true) {
        event = blank_event();
        ASSERT_EQ(ctl_get_next_aen(id, last, &event), 0) << last_error().text;
        if (event.code == 0) break;
        ASSERT_EQ(event.sequence, last + 1);
        EXPECT_EQ(event.code, 0x001A);
        last = event.sequence;
        ++walked;
    }
    EXPECT_EQ(walked, 256u);
    EXPECT_EQ(last, 549u);
    EXPECT_EQ(event.sequence, 0u);
    EXPECT_EQ(event.description, queue_empty());

    event = blank_event();
    ASSERT_EQ(ctl_get_last_aen(id, &event), 0);
    EXPECT_EQ(event.sequence, 549u);
    uint32_t back = 1;
    for (last = 549;; ++back) {
        event = blank_event();
        ASSERT_EQ(ctl_get_previous_aen(id, last, &event), 0) << last_error().text;
        if (event.code == 0) break;
        ASSERT_EQ(event.sequence, last - 1);
        last = event.sequence;
    }
    EXPECT_EQ(back, 256u);
    EXPECT_EQ(last, 294u);

    // A reference the ring wrote over leads nowhere: no event, no failure.
    event = blank_event();
    ASSERT_EQ(ctl_get_next_aen(id, 100, &event), 0);
    EXPECT_EQ(event.code, 0);
    EXPECT_EQ(event.sequence, 0u);
}

INSTANTIATE_TEST_SUITE_P(Drivers, EventRing, ::testing::Values(2, 3), [](const auto& info) {
    return info.param == 2 ? std::string("ioctl") : std::string("sas_event_file");
});

struct RecordCase {
    const char* name;
    std::string event;  // the rest of an event line
    std::string parameter;
    std::string description;
};
PRINT_CASE_BY_NAME(RecordCase)

const std::string kDegraded = "(0x04:0x0002): Degraded unit";

const RecordCase kRecordCases[] = {
    {"catalogue_text_and_parameter", "code=2 text=\"0\"", "0", kDegraded + ": 0"},
    {"driver_description_kept", "code=0x29 text=\"u1\" description=\"Custom\"", "u1", "Custom: u1"},
    {"no_parameter_no_colon", "code=2", "", kDegraded},
    // Raw text areas of 98 bytes. A parameter text without its NUL is cut
    // to its field.
    {"parameter_without_nul", "code=2 area=hex:" + test_support::hex(std::string(98, 'A')),
     std::string(97, 'A'), kDegraded + ": " + std::string(97, 'A')},
    // A parameter text that reaches the record's end leaves no room for a
    // description of the driver's.
    {"parameter_to_the_end", "code=2 area=hex:" + test_support::hex(std::string(97, 'B') + '\0'),
     std::string(97, 'B'), kDegraded + ": " + std::string(97, 'B')},
    // A description without its NUL ends with the record.
    {"description_to_the_end",
     "code=2 area=hex:" + test_support::hex(std::string("p") + '\0' + std::string(96, 'D')), "p",
     std::string(96, 'D') + ": p"},
};

class EventRecords : public ::testing::TestWithParam<RecordCase> {};

TEST_P(EventRecords, DescriptionOfTheDriverRecord) {
    const RecordCase& c = GetParam();
    change_machine("event index=2 severity=2 byte11=0x5A byte12=0xA5 time=1234 " + c.event + "\n");
    EventRecord event = blank_event();
    ASSERT_EQ(ctl_get_last_aen(controller(2), &event), 0) << last_error().text;
    EXPECT_EQ(event.severity, 2);
    EXPECT_EQ(event.time, 1234u);
    EXPECT_EQ(event.driver_byte_11, 0x5A);
    EXPECT_EQ(event.driver_byte_12, 0xA5);
    EXPECT_EQ(event.parameter_length, c.parameter.size());
    EXPECT_EQ(std::string(event.parameter, strnlen(event.parameter, 98)), c.parameter);
    EXPECT_EQ(std::string(event.description, strnlen(event.description, 256)), c.description);
    EXPECT_EQ(event.description_length, c.description.size());
}

INSTANTIATE_TEST_SUITE_P(Records, EventRecords, ::testing::ValuesIn(kRecordCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Events, EmptyQueueGivesTheEndMarker) {
    for (int (*read)(ObjectId, EventRecord*) : {ctl_get_first_aen, ctl_get_last_aen}) {
        EventRecord event = blank_event();
        ASSERT_EQ(read(controller(1), &event), 0);
        EXPECT_EQ(event.sequence, 0u);
        EXPECT_EQ(event.time, 0u);
        EXPECT_EQ(event.code, 0);
        EXPECT_EQ(event.parameter_length, 0);
        EXPECT_EQ(event.description, queue_empty());
        EXPECT_EQ(event.description_length, queue_empty().size());
    }
}

TEST(Events, VirtualMachineTimesAreLocal) {
    for (uint8_t index : {2, 9}) {
        change_machine("event index=" + std::to_string(index) + " code=0x31 time=1700000000\n");
        EventRecord event = blank_event();
        ASSERT_EQ(ctl_get_last_aen(controller(index), &event), 0) << last_error().text;
        EXPECT_EQ(event.time, index == 9 ? 1700003600u : 1700000000u) << int(index);
    }
}

TEST(Events, FailedReadWritesNothing) {
    change_machine("event index=2 code=0x31\nfault index=2 request=259 errno=EIO\n");
    EventRecord event = blank_event();
    const EventRecord before = event;
    EXPECT_EQ(ctl_get_first_aen(controller(2), &event), -1);
    EXPECT_EQ(last_error().os_error, EIO);
    EXPECT_EQ(std::memcmp(&event, &before, sizeof event), 0);
}

TEST(Events, FirstSeriesReadersAreNotBuiltYetAndOthersRefuse) {
    EventRecord event = blank_event();
    EXPECT_EQ(ctl_get_last_aen(controller(0), &event), -1);
    EXPECT_EQ(last_error().api_code, 2);
    EXPECT_EQ(ctl_get_previous_aen(controller(0), 5, &event), -1);
    EXPECT_EQ(last_error().api_code, 2);
}

// The event each reader of two threads gets is its own: the texts come from
// a catalogue of its thread.
TEST(Events, TwoThreadsReadTheirOwnTexts) {
    change_machine(
        "event index=2 code=0x0002 text=\"unit=0\"\n"
        "event index=3 code=0x001A text=\"port=3\"\n");
    bool same[2] = {true, true};
    auto reader = [&same](uint8_t index, const std::string& expected, int slot) {
        for (int i = 0; i < 200; ++i) {
            EventRecord event = blank_event();
            same[slot] = same[slot] && ctl_get_last_aen(controller(index), &event) == 0 &&
                         expected == event.description;
        }
    };
    std::thread a(reader, 2, "(0x04:0x0002): Degraded unit: unit=0", 0);
    std::thread b(reader, 3, "(0x04:0x001A): Drive inserted: port=3", 1);
    a.join();
    b.join();
    EXPECT_TRUE(same[0]);
    EXPECT_TRUE(same[1]);
}

EventPostRecord post_record(uint16_t code, uint8_t severity, uint8_t source,
                            const std::string& text1, uint8_t length1, const std::string& text2,
                            uint8_t length2) {
    EventPostRecord event;
    std::memset(&event, 0, sizeof event);
    event.code = code;
    event.severity = severity;
    event.source = source;
    std::memcpy(event.text1, text1.data(), std::min(text1.size(), sizeof event.text1));
    event.text1_length = length1;
    std::memcpy(event.text2, text2.data(), std::min(text2.size(), sizeof event.text2));
    event.text2_length = length2;
    return event;
}

std::vector<uint8_t> post_packet() {
    return {0x5B, uint8_t(SeriesBackend::get_arch_class() + 2), 0, 0, 0, 0, 1, 0};
}

// The 128 bytes the firmware receives, but for the text area.
std::vector<uint8_t> packet_data(const uint8_t* sense, uint8_t source, uint16_t parameter,
                                 uint16_t code, uint8_t severity) {
    std::vector<uint8_t> data(128, 0);
    std::memcpy(data.data(), sense, 18);
    data[18] = uint8_t(parameter);
    data[19] = uint8_t(parameter >> 8);
    data[22] = uint8_t(code);
    data[23] = uint8_t(code >> 8);
    data[24] = source;
    data[25] = severity;
    data[124] = 0x80;
    data[127] = 0x12;
    return data;
}

TEST(PostEvent, BuiltSenseAndBothTexts) {
    EventPostRecord event =
        post_record(0x8001, 2, 1, std::string(50, 'a'), 50, std::string(80, 'b'), 80);
    event.parameter = 0x12345;
    event.sense[2] = 3;
    event.sense[12] = 0x11;
    event.sense[13] = 0x22;
    event.sense[5] = 0x77;  // not sent: the firmware gets built sense data
    sim::clear_journal();
    ASSERT_EQ(ctl_post_aen(controller(3), &event), 0) << last_error().text;

    uint8_t sense[18] = {0xF1, 0, 3, 0, 0, 0, 0, 0x75, 0, 0, 0, 0, 0x11, 0x22};
    std::vector<uint8_t> data = packet_data(sense, 0x31, 0x2345, 0x8001, 2);
    std::memset(&data[26], 'a', 50);
    std::memset(&data[77], 'b', 46);  // 50 + NUL + 46 + NUL fill the 98 bytes
    const std::vector<sim::JournalEntry> sent = requests(264);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(first_difference(sent[0].sent, expected_request(264, post_packet(), data)), -1);

    EventRecord back = blank_event();
    ASSERT_EQ(ctl_get_last_aen(controller(3), &back), 0);
    EXPECT_EQ(back.code, 0x8001);
    EXPECT_EQ(back.severity, 2);
    EXPECT_EQ(std::string(back.parameter), std::string(50, 'a'));
    EXPECT_EQ(std::string(back.description), std::string(46, 'b') + ": " + std::string(50, 'a'));
}

TEST(PostEvent, OwnSenseAndALongFirstText) {
    EventPostRecord event =
        post_record(0x0015, 1, EventPostRecord::kOwnSense, std::string(98, 'c'), 100, "lost", 4);
    for (int i = 0; i < 18; ++i) event.sense[i] = uint8_t(0xC0 + i);
    sim::clear_journal();
    ASSERT_EQ(ctl_post_aen(controller(2), &event), 0) << last_error().text;
    std::vector<uint8_t> data = packet_data(event.sense, 0x40, 0, 0x0015, 1);
    std::memset(&data[26], 'c', 96);  // 96 characters kept, no second text
    const std::vector<sim::JournalEntry> sent = requests(264);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(first_difference(sent[0].sent, expected_request(264, post_packet(), data)), -1);
}

// A length byte past the text's end takes the text up to its NUL.
TEST(PostEvent, TextsEndAtTheirNul) {
    EventPostRecord event = post_record(0x8001, 1, 0, "fan=1", 90, "", 200);
    ASSERT_EQ(ctl_post_aen(controller(3), &event), 0) << last_error().text;
    EventRecord back = blank_event();
    ASSERT_EQ(ctl_get_last_aen(controller(3), &back), 0);
    EXPECT_STREQ(back.parameter, "fan=1");
    EXPECT_STREQ(back.description, "(0x04:0x8001): Enclosure fan error: fan=1");

    // The daemon shows the same event in the user's language.
    MessageCatalogue catalogue;
    EXPECT_STREQ(catalogue.lookup(4, back.code, message_dir().c_str(), 1),
                 "(0x04:0x8001): Gehäuselüfter ausgefallen");
    EXPECT_STREQ(catalogue.lookup(4, back.code, message_dir().c_str(), 0),
                 "(0x04:0x8001): Enclosure fan error");
}

TEST(PostEvent, RefusedBeforeAnythingIsSent) {
    const EventPostRecord good = post_record(0x8001, 1, 0, "x", 1, "", 0);
    EventPostRecord unknown_source = good;
    unknown_source.source = 5;
    ObjectId unit;
    ASSERT_EQ(ctl_make_unit_id(2, 0xFF, 0, 0xFF, 0xFF, &unit), 0);
    struct Case {
        const char* name;
        ObjectId id;
        const EventPostRecord* event;
        int32_t api_code;
    } cases[] = {
        {"source 5", controller(2), &unknown_source, 131},
        {"no record", controller(2), nullptr, 122},
        {"unit identifier", unit, &good, 8},
        {"family 4", controller(1), &good, 2},
        {"family 3", controller(0), &good, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::clear_journal();
        EXPECT_EQ(ctl_post_aen(c.id, c.event), -1);
        EXPECT_EQ(last_error().api_code, c.api_code);
        EXPECT_EQ(driver_requests(), 0u);
    }
}

}  // namespace
