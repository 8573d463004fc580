// The first-series command packets as the driver receives them, compared
// whole, and the commands that bring back more than a parameter: events,
// ATA pass-through, firmware download, the error log and the driver
// version.
#include <cstring>
#include <functional>

#include "tests/backend/legacy_machine.h"

namespace {

class LegacyCommands : public ::testing::Test {
  protected:
    void SetUp() override { use_machine(kLegacyMachine); }
};

struct PacketCase {
    std::string name;
    std::function<void()> send;
    uint8_t request;
    std::vector<uint8_t> packet;  // the whole packet: named bytes, zeros after
    std::vector<uint8_t> data;    // the data as sent
};
void PrintTo(const PacketCase& c, std::ostream* os) { *os << c.name; }

std::vector<uint8_t> packet(std::initializer_list<int> leading) { return bytes_of(leading, 512); }

std::vector<PacketCase> packet_cases() {
    const ObjectId controller = controller_id(kLegacyIndex);
    const std::vector<uint8_t> image = {'I', 'M', 'G', 0, 1, 2};
    return {
        {"get_parameter",
         [=] {
             uint32_t size;
             legacy().get_memory_size(controller, &size);
         },
         0x1F,
         packet({0x52, 4, 0, 0, 0, 0, 1, 0}),
         {0x02, 0x04, 10, 4, 0, 0, 0, 0}},
        {"get_parameter_of_a_unit",
         [] {
             int32_t percent;
             legacy().get_percent_complete(legacy_unit(3), &percent);
         },
         0x1F, packet({0x52, 4, 0, 3, 0, 0, 1, 0}), bytes_of({0x06, 0x04, 2, 16}, 20)},
        {"get_parameter_larger_than_255",
         [] {
             uint8_t out[300];
             legacy().get_parameter(legacy_unit(1), 0x301, 6, 300, out, 0);
         },
         0x1F, packet({0x52, 4, 0, 0, 0, 0, 1, 0}), bytes_of({0x01, 0x03, 6, 300 & 0xFF}, 304)},
        {"set_parameter", [=] { legacy().set_serial_number(controller, "SN1"); }, 0x1F,
         packet({0x53, 4, 0, 0, 0, 0, 1, 0}), bytes_of({0x02, 0x04, 9, 20, 'S', 'N', '1'}, 24)},
        {"add_drive",
         [] {
             ObjectId d;
             legacy().add_drive(legacy_drive(13), &d);
         },
         0x1F,
         packet({0x06, 3, 0, 0, 0, 0, 0, 0, 0x00, 0x20, 0, 0}),
         {}},
        {"import_unit",
         [=] { legacy().send_import_unit(controller, 0x41); },
         0x1F,
         packet({0x07, 3, 0, 0, 0, 0, 0, 0, 0x41, 0, 0, 0}),
         {}},
        {"replace_drive",
         [=] { legacy().send_replace_drive(controller, 1, 2, 7); },
         0x1F,
         packet({0x09, 2, 0, 1, 0, 0, 7, 2}),
         {}},
        {"remove_drive",
         [] { legacy().remove_drive(legacy_drive(6)); },
         0x1F,
         packet({0x0A, 2, 0, 0, 0, 0, 0, 6}),
         {}},
        {"delete_unit",
         [] { legacy().delete_unit(legacy_unit(4), 0, 0x80); },
         0x1F,
         packet({0x15, 2, 0, 4, 0, 0, 0, 0x80}),
         {}},
        {"export_unit",
         [] { legacy().delete_unit(legacy_unit(4), 0, 0); },
         0x1F,
         packet({0x15, 2, 0, 4, 0, 0, 0, 0}),
         {}},
        {"background_task",
         [=] { legacy().send_background_task(controller, 3, 4, 3, 1); },
         0x1F,
         packet({0x17, 2, 0, 3, 0, 0, 0xC4, 1}),
         {}},
        {"controller_option_on",
         [=] { ctl_enable_controller_option_4(controller); },
         0x1F,
         packet({0x18, 2, 0, 0, 0, 4, 1, 0}),
         {}},
        {"controller_option_off",
         [=] { ctl_disable_controller_option_4(controller); },
         0x1F,
         packet({0x18, 2, 0, 0, 0, 4, 0, 0}),
         {}},
        {"verify_stop",
         [] { legacy().verify_unit(legacy_unit(3), 1); },
         0x1F,
         packet({0x05, 2, 0, 3, 0, 0, 0, 0x80}),
         {}},
        {"flush_write_cache",
         [] { legacy().flush_write_cache(legacy_unit(3)); },
         0x1F,
         packet({0x0E, 2, 0, 3}),
         {}},
        {"create_single_disk",
         [] {
             IdList d = drive_list({0});
             ObjectId u;
             legacy().create_unit(&d, 12, 0, 0, &u);
         },
         0x1F, packet({0x54, 4, 0, 0, 0, 0, 12, 0}),
         bytes_of({0, 12, 0, 0, 0, 0, 0, 0, 0x40, 0x42, 0x0F, 0}, 512)},
        {"read_error_log",
         [=] {
             std::vector<uint8_t> log(32768);
             legacy().get_error_log(controller, log.data());
         },
         0x1F, packet({0x59, 4, 0, 0, 0, 0, 2, 0}), std::vector<uint8_t>(32768, 0)},
        {"download_firmware",
         [=] { legacy().download_firmware(controller, image.data(), int32_t(image.size())); }, 0x1F,
         packet({0x56, 4, 0, 0, 0, 0, 8, 0}), image},
        {"ata_without_data",
         [] {
             uint16_t features = 0xDA, count = 1, low = 0, mid = 0x4F, high = 0xC2;
             uint8_t device = 0xA0, command = 0xB0;
             legacy().send_ata_command(legacy_drive(6), 5, 77, &features, &count, &low, &mid, &high,
                                       &device, &command, nullptr);
         },
         0x1F,
         packet({0x11, 5, 0xFF, 6, 0, 1, 8, 0, 0xDA, 0, 1, 0, 0, 0, 0x4F, 0, 0xC2, 0, 0xA0, 0xB0}),
         std::vector<uint8_t>(512, 0)},
        {"ata_identify",
         [] {
             uint8_t sector[512] = {};
             legacy().get_drive_identify_data(legacy_drive(6), sector);
         },
         0x1F, packet({0xB1, 7, 0xFF, 6, 0, 1, 13, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0xEC}),
         std::vector<uint8_t>(512, 0)},
        {"read_event",
         [=] {
             EventRecord e;
             legacy().get_aen(controller, &e);
         },
         0x1C,
         packet({0x5C, 4}),
         {0, 0}},
    };
}

class Packets : public LegacyCommands, public ::testing::WithParamInterface<PacketCase> {};

TEST_P(Packets, SentWholeAsTheFirmwareExpectsThem) {
    const PacketCase& c = GetParam();
    c.send();
    const std::vector<sim::JournalEntry> sent = commands(c.packet[0]);
    ASSERT_FALSE(sent.empty());
    const sim::JournalEntry& e = sent.back();
    EXPECT_EQ(e.controller, kLegacyIndex);
    EXPECT_EQ(e.request, c.request);
    EXPECT_EQ(first_difference(e.sent, legacy_request(c.packet, c.data)), -1);
}

INSTANTIATE_TEST_SUITE_P(EveryKind, Packets, ::testing::ValuesIn(packet_cases()),
                         [](const auto& info) { return info.param.name; });

// A parameter command that the firmware refuses: its code reaches the
// record and the caller's buffer stays as it was.
TEST_F(LegacyCommands, RefusedParameterKeepsTheBufferAndTheCode) {
    change_machine("fault index=1 opcode=0x52 firmware-code=0x16C1\n");
    uint32_t memory = 0xABCD;
    EXPECT_EQ(legacy().get_memory_size(controller_id(kLegacyIndex), &memory), -1);
    EXPECT_EQ(memory, 0xABCDu);
    const ErrorRecord record = last_error();
    EXPECT_EQ(record.flags, uint32_t(kErrController | kErrFirstSeries));
    EXPECT_STREQ(record.text, "(0x0E:0x16C1): Parameter index does not exist");
}

TEST_F(LegacyCommands, AddDriveChecksThePortAgainstTheController) {
    ObjectId drive;
    EXPECT_EQ(legacy().add_drive(legacy_drive(11), &drive), -1);  // in use
    EXPECT_EQ(last_error().api_code, 23);
    ASSERT_EQ(legacy().send_add_drive(legacy_drive(13)), 0);
    EXPECT_EQ(load32(packet_of(commands(0x06).back()) + 8), 1u << 13);
    change_machine("set index=1 ports=12\n");
    sim::clear_journal();
    EXPECT_EQ(legacy().send_add_drive(legacy_drive(12)), -1);
    EXPECT_EQ(last_error().api_code, 24);
    EXPECT_TRUE(commands(0x06).empty());
    ASSERT_EQ(legacy().send_add_drive(legacy_drive(11)), 0);
    EXPECT_EQ(load32(packet_of(commands(0x06).back()) + 8), 1u << 11);
}

// --- Events.

struct EventCase {
    const char* name;
    const char* queued;  // scenario line, or "" for an empty queue
    uint16_t code;
    uint8_t severity;
    const char* description;
    const char* parameter;
};
PRINT_CASE_BY_NAME(EventCase)

const EventCase kEvents[] = {
    {"with_a_unit", "event index=1 code=0x0002 param=3", 2, 1,
     "(0x0F:0x0002): Unit degraded: Unit #3", "3"},
    {"with_a_port", "event index=1 code=0x000A param=12", 10, 1,
     "(0x0F:0x000A): Drive error: Port #12", "12"},
    {"without_a_parameter", "event index=1 code=0x0001 param=7", 1, 3,
     "(0x0F:0x0001): Soft reset occurred", ""},
    {"queue_empty", "", 0, 3, "(0x0F:0x0000): AEN queue empty", ""},
    // A code without a text of its own is information with the prefix alone.
    {"code_without_a_text", "event index=1 code=0x000E param=1", 14, 3, "(0x0F:0x000E): ", ""},
};

class Events : public LegacyCommands, public ::testing::WithParamInterface<EventCase> {};

TEST_P(Events, RecordFromTheEventWord) {
    const EventCase& c = GetParam();
    change_machine(c.queued);
    EventRecord record;
    std::memset(&record, 0x77, sizeof record);
    ASSERT_EQ(ctl_get_first_aen(controller_id(kLegacyIndex), &record), 0);
    EventRecord expected;
    std::memset(&expected, 0, sizeof expected);
    expected.code = c.code;
    expected.severity = c.severity;
    expected.parameter_length = uint8_t(std::strlen(c.parameter));
    std::memcpy(expected.parameter, c.parameter, std::strlen(c.parameter));
    expected.description_length = uint8_t(std::strlen(c.description));
    std::memcpy(expected.description, c.description, std::strlen(c.description));
    EXPECT_EQ(std::memcmp(&record, &expected, sizeof record), 0) << record.description;
}

INSTANTIATE_TEST_SUITE_P(Words, Events, ::testing::ValuesIn(kEvents),
                         [](const auto& info) { return std::string(info.param.name); });

// First and next both hand out the next queued event; the sequence number
// plays no part.
TEST_F(LegacyCommands, EventsComeOneAtATimeAndAFailedReadKeepsTheRecord) {
    change_machine("event index=1 code=0x000B param=1\nevent index=1 code=0x0005 param=1\n");
    EventRecord record;
    ASSERT_EQ(ctl_get_next_aen(controller_id(kLegacyIndex), 9999, &record), 0);
    EXPECT_EQ(record.code, 0x0B);
    change_machine("fault index=1 request=0x1C errno=EIO\n");
    std::memset(&record, 0x77, sizeof record);
    EXPECT_EQ(ctl_get_first_aen(controller_id(kLegacyIndex), &record), -1);
    EXPECT_EQ(record.code, 0x7777);
    ASSERT_EQ(ctl_get_first_aen(controller_id(kLegacyIndex), &record), 0);
    EXPECT_EQ(record.code, 0x05);
}

// --- ATA pass-through.

TEST_F(LegacyCommands, IdentifyAndSmartDataOfADrive) {
    uint8_t identify[512], smart[512];
    ASSERT_EQ(legacy().get_drive_identify_data(legacy_drive(6), identify), 0);
    ASSERT_EQ(legacy().get_drive_smart_data(legacy_drive(6), smart), 0);
    // Texts two characters to a word, the first in the high byte.
    std::string model;
    for (size_t i = 0; i < 40; ++i) model += char(identify[54 + (i ^ 1)]);
    EXPECT_EQ(model, "SIMDISK S1000" + std::string(27, ' '));
    EXPECT_EQ(load32(identify + 200), 2000000u);
    uint8_t sum = 0;
    for (uint8_t b : identify) sum = uint8_t(sum + b);
    EXPECT_EQ(sum, 0);
    EXPECT_EQ(smart[2 + 12 * 3], 194);  // temperature, raw value 41
    EXPECT_EQ(smart[2 + 12 * 3 + 5], 41);
    const sim::JournalEntry smart_command = commands(0xB1).back();
    EXPECT_EQ(std::vector<uint8_t>(packet_of(smart_command) + 8, packet_of(smart_command) + 20),
              (std::vector<uint8_t>{0xD0, 0, 1, 0, 0, 0, 0x4F, 0, 0xC2, 0, 0, 0xB0}));
}

// The registers come back whatever the outcome; a sector count of 0 moves
// 131,072 bytes.
TEST_F(LegacyCommands, AtaRegistersComeBackAlsoOnFailure) {
    std::vector<uint8_t> buffer(131072, 0xEE);
    uint16_t features = 0, count = 0, low = 0, mid = 0, high = 0;
    uint8_t device = 0x40, command = 0x25;  // a read the firmware does not pass
    EXPECT_EQ(legacy().send_ata_command(legacy_drive(6), 1, 13, &features, &count, &low, &mid,
                                        &high, &device, &command, buffer.data()),
              -1);
    EXPECT_EQ(command, 0x51);
    EXPECT_EQ(features, 0x04);
    EXPECT_EQ(last_error().controller_status, 0x04C7);
    EXPECT_EQ(load32(commands(0xB1).back().sent.data()), 131072u);
    EXPECT_EQ(buffer[0], 0xEE);
}

// --- Firmware download.

struct DownloadCase {
    const char* name;
    const char* answer;  // the controller's download= attribute
    int32_t size;
    int result;
    int32_t api_code;
    size_t commands;
};
PRINT_CASE_BY_NAME(DownloadCase)

const DownloadCase kDownloads[] = {
    {"accepted", "ok", 64, 0, 0, 1},
    {"next_buffer_expected_counts_as_done", "next-buffer", 64, 0, 0, 1},
    {"refused", "error", 64, -1, 0, 1},
    {"empty_image", "ok", 0, -1, 122, 0},
    {"negative_size", "ok", -5, -1, 122, 0},
};

class Downloads : public LegacyCommands, public ::testing::WithParamInterface<DownloadCase> {};

TEST_P(Downloads, OneCommandWithTheWholeImage) {
    const DownloadCase& c = GetParam();
    change_machine(std::string("set index=1 download=") + c.answer + "\n");
    std::vector<uint8_t> image(64, 0x3C);
    EXPECT_EQ(legacy().download_firmware(controller_id(kLegacyIndex), image.data(), c.size),
              c.result);
    if (c.api_code != 0) {
        EXPECT_EQ(last_error().api_code, c.api_code);
    }
    EXPECT_EQ(commands(0x56).size(), c.commands);
    EXPECT_EQ(image, std::vector<uint8_t>(64, 0x3C));
}

INSTANTIATE_TEST_SUITE_P(Answers, Downloads, ::testing::ValuesIn(kDownloads),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(LegacyCommands, ErrorLogIsTheControllersText) {
    std::vector<uint8_t> log(32768, 0xEE);
    ASSERT_EQ(ctl_get_error_log(controller_id(kLegacyIndex), log.data()), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(log.data())).rfind("QX-2400-16 error log\n", 0),
              0u);
    EXPECT_EQ(log.back(), 0);
}

// --- Driver version.

TEST_F(LegacyCommands, DriverVersionFromTheDriversFiles) {
    char version[128];
    std::memset(version, 0x55, sizeof version);
    ASSERT_EQ(legacy().get_driver_version(controller_id(kLegacyIndex), version), 0);
    EXPECT_STREQ(version, "1.26.02.002");
    EXPECT_EQ(version[127], 0);

    // A driver paired through sysfs has no procfs entry: its host's stats
    // file tells; a word too long for the record is cut to fit.
    const std::string long_word(300, 'v');
    use_machine(
        "driver name=dq-xxxx pairing=sysfs\n"
        "controller index=2 driver=dq-xxxx driver-version=" +
        long_word + "\n");
    ASSERT_EQ(legacy().get_driver_version(controller_id(2), version), 0);
    EXPECT_EQ(std::string(version), long_word.substr(0, 127));

    // No file, or a file without the version: the driver is not loaded.
    EXPECT_EQ(legacy().get_driver_version(controller_id(7), version), -1);
    EXPECT_EQ(last_error().api_code, 12);
    use_machine(
        "driver name=dq-xxxx pairing=sysfs\n"
        "controller index=2 driver=dq-xxxx stats=\"dq-xxxx 1.0\\n\"\n");
    EXPECT_EQ(legacy().get_driver_version(controller_id(2), version), -1);
    EXPECT_EQ(last_error().api_code, 12);
}

}  // namespace
