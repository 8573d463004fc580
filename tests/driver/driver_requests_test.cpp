// Driver requests of both series against the simulated drivers: the bytes
// that reach the driver, busy retries, driver and firmware failures, and the
// SAS driver's sysfs files.
#include <cerrno>
#include <memory>
#include <vector>

#include "driver/driver_layer.h"
#include "tests/driver/sim_machine.h"
#include "tests/support/param_names.h"

namespace {

constexpr char kMachine[] =
    "clock mode=virtual\n"
    "driver name=dq-xxxx pairing=proc\n"
    "driver name=dq-Mxxx pairing=sysfs\n"
    "driver name=dq-sas pairing=sysfs\n"
    "controller index=1 driver=dq-xxxx model=\"QX-2400-4\" ports=4\n"
    "controller index=2 driver=dq-Mxxx arch=6 ports=8\n"
    "controller index=3 driver=dq-sas arch=8 ports=4 driver-version=\"3.26.02.012\" srl=41\n";

class DriverRequests : public ::testing::Test {
  protected:
    void SetUp() override {
        load_machine(kMachine);
        layer_ = std::make_unique<DriverLayer>();
        sim::clear_journal();
    }

    int32_t open(uint8_t controller) {
        int32_t fd = -1;
        ObjectId id = {{1, controller, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
        EXPECT_EQ(layer_->open_controller(id, &fd), 0);
        return fd;
    }

    int send(uint8_t controller, SeriesRequest& r) {
        const int32_t fd = open(controller);
        const int result =
            layer_->series_ioctl(fd, r.header, r.area, r.data.empty() ? nullptr : r.data.data(),
                                 uint32_t(r.data.size()));
        EXPECT_EQ(layer_->close_controller(fd), 0);
        return result;
    }

    std::unique_ptr<DriverLayer> layer_;
};

TEST_F(DriverRequests, SeriesRequestReachesTheDriverByteForByte) {
    SeriesRequest r = get_parameter(0x402, 14, 4);
    ASSERT_EQ(send(2, r), 0);
    EXPECT_EQ(load32(r.data.data() + 8), 6u);  // the architecture id

    const std::vector<sim::JournalEntry> journal = sim::journal();
    ASSERT_EQ(journal.size(), 1u);
    const std::vector<uint8_t>& sent = journal[0].sent;
    ASSERT_EQ(sent.size(), 1536u + 12);
    EXPECT_EQ(journal[0].request, 264u);
    EXPECT_EQ(load32(&sent[0]), 264u);
    EXPECT_EQ(load32(&sent[20]), 12u);  // data length
    for (size_t i = 24; i < 512; ++i) ASSERT_EQ(sent[i], 0) << i;
    EXPECT_EQ(sent[512 + 124], 0x80);
    const uint8_t packet[8] = {0x52, parameter_packet_words(), 0, 0, 0, 0, 1, 0};
    EXPECT_EQ(std::memcmp(&sent[640], packet, 8), 0);
    const uint8_t block[12] = {0x02, 0x84, 0x0E, 0, 0x04, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(&sent[1536], block, 12), 0);
}

struct BusyCase {
    const char* name;
    const char* fault;
    int result;
    size_t requests;  // reaching the driver
    uint64_t paused;  // microseconds
    int os_error;
};
PRINT_CASE_BY_NAME(BusyCase)

const BusyCase kBusyCases[] = {
    {"busy_twice_then_answered", "fault index=2 request=264 errno=EBUSY count=2", 0, 3, 2000, 0},
    {"out_of_memory_three_times", "fault index=2 request=264 errno=ENOMEM count=3", 0, 4, 3000, 0},
    {"busy_for_ever", "fault index=2 request=264 errno=EBUSY count=-1", -1, 1000, 999000, EBUSY},
    {"other_error_is_not_retried", "fault index=2 request=264 errno=EIO count=1", -1, 1, 0, EIO},
};

class BusyRetries : public DriverRequests, public ::testing::WithParamInterface<BusyCase> {};

TEST_P(BusyRetries, RetryWhileTheDriverIsBusy) {
    change_machine(GetParam().fault);
    const uint64_t paused_before = sim::slept_microseconds();
    SeriesRequest r = get_parameter(0x402, 14, 4);
    EXPECT_EQ(send(2, r), GetParam().result);
    EXPECT_EQ(sim::journal().size(), GetParam().requests);
    EXPECT_EQ(sim::slept_microseconds() - paused_before, GetParam().paused);
    if (GetParam().result == 0) {
        EXPECT_EQ(load32(r.data.data() + 8), 6u);
    } else {
        const ErrorRecord record = last_error();
        EXPECT_EQ(record.flags, uint32_t(kErrOs));
        EXPECT_EQ(record.os_error, GetParam().os_error);
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, BusyRetries, ::testing::ValuesIn(kBusyCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct StatusCase {
    const char* name;
    const char* fault;
    int result;
    uint32_t flags;
    int32_t driver_status;
    int32_t controller_status;
    const char* detail;
    const char* text;
    bool area_returned;
};
PRINT_CASE_BY_NAME(StatusCase)

const StatusCase kStatusCases[] = {
    {"firmware_error_with_its_texts",
     "fault index=2 opcode=0x52 firmware-code=0x010C detail=\"D\" text=\"T\"", -1, 0x20008, 0,
     0x010C, "D", "T D", true},
    {"firmware_error_without_a_text_of_its_own",
     "fault index=2 opcode=0x52 firmware-code=0x010F detail=\"table 0x8402\"", -1, 0x20008, 0,
     0x010F, "table 0x8402", "(0x03:0x010F): Parameter item size mismatch table 0x8402", true},
    {"driver_status_not_locked", "fault index=2 request=264 driver-status=0x1001", -1, 0x20004,
     0x1001, 0, "", "(0x06:0x1001): Not locked", false},
    {"aen_clobber_is_no_failure", "fault index=2 request=264 driver-status=0x1004", 0, 0, 0, 0, "",
     "", false},
    {"no_more_events_is_no_failure", "fault index=2 request=264 driver-status=0x1003", 0, 0, 0, 0,
     "", "", false},
};

class SeriesStatus : public DriverRequests, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(SeriesStatus, DriverAndFirmwareStatus) {
    const StatusCase& c = GetParam();
    change_machine(c.fault);
    clear_last_error();
    SeriesRequest r = get_parameter(0x402, 14, 4);
    std::memset(r.area + 256, 0xA7, 16);  // a mark the driver never writes
    std::memset(r.data.data() + 8, 0xA7, 4);
    EXPECT_EQ(send(2, r), c.result);
    const ErrorRecord record = last_error();
    EXPECT_EQ(record.flags, c.flags);
    EXPECT_EQ(record.driver_status, c.driver_status);
    EXPECT_EQ(record.controller_status, c.controller_status);
    EXPECT_STREQ(record.detail, c.detail);
    EXPECT_STREQ(record.text, c.text);
    // The caller sees the returned area only when the driver accepted the
    // request; the data never comes back from a refused request.
    EXPECT_EQ(r.area[132] != 0, c.area_returned);  // the packet's status byte
    EXPECT_EQ(r.area[256], 0xA7);
    EXPECT_EQ(load32(r.data.data() + 8), 0xA7A7A7A7u);
}

INSTANTIATE_TEST_SUITE_P(Faults, SeriesStatus, ::testing::ValuesIn(kStatusCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The firmware's texts live between byte 26 and the packet at 128; a detail
// that fills them leaves no terminator, and nothing of the packet is read.
TEST_F(DriverRequests, FirmwareTextsAreReadWithinTheirBounds) {
    const std::string detail(300, 'd');
    change_machine("fault index=2 opcode=0x52 firmware-code=0x010C detail=\"" + detail +
                   "\" text=\"T\"");
    SeriesRequest r = get_parameter(0x402, 14, 4);
    EXPECT_EQ(send(2, r), -1);
    const ErrorRecord record = last_error();
    EXPECT_EQ(std::string(record.detail), detail.substr(0, 102));
    EXPECT_EQ(std::string(record.text),
              "(0x03:0x010C): Parameter index does not exist " + detail.substr(0, 102));
}

TEST_F(DriverRequests, FirmwareRefusesAParameterOfAnotherSize) {
    SeriesRequest r = get_parameter(0x402, 14, 2);
    EXPECT_EQ(send(2, r), -1);
    const ErrorRecord record = last_error();
    EXPECT_EQ(record.controller_status, 0x010F);
    EXPECT_EQ(record.flags, uint32_t(kErrController | kErrSecondSeries));
}

// First series: the 512-byte packet at 512, the data at 1024.
struct LegacyCase {
    const char* name;
    const char* fault;
    int result;
    uint32_t flags;
    int32_t controller_status;
    int os_error;
    const char* text;
};
PRINT_CASE_BY_NAME(LegacyCase)

const LegacyCase kLegacyCases[] = {
    {"answered", "", 0, 0, 0, 0, ""},
    {"firmware_error", "fault index=1 opcode=0x52 firmware-code=0x00C4", -1, 0x10008, 0x00C4, 0,
     "(0x0E:0x00C4): Invalid port map"},
    {"firmware_error_high_byte", "fault index=1 opcode=0x52 firmware-code=0x15C1", -1, 0x10008,
     0x15C1, 0, "(0x0E:0x15C1): Parameter table does not exist"},
    {"driver_failure", "fault index=1 request=0x1F errno=EIO", -1, 0x2, 0, EIO,
     "(0x09:0x0005): Input/output error"},
};

class LegacyRequest : public DriverRequests, public ::testing::WithParamInterface<LegacyCase> {};

TEST_P(LegacyRequest, FirmwareCommand) {
    const LegacyCase& c = GetParam();
    change_machine(c.fault);
    clear_last_error();
    // GET PARAMETER of the controller model, table 0x402 parameter 8, 16 bytes.
    uint8_t packet[512] = {0x52, 4, 0, 0, 0, 0, 1, 0};
    std::vector<uint8_t> block(20, 0xEE);
    const uint8_t head[4] = {0x02, 0x04, 8, 16};
    std::memcpy(block.data(), head, 4);
    const int32_t fd = open(1);
    EXPECT_EQ(layer_->legacy_ioctl(fd, packet, block.data(), 20, 0x1F), c.result);
    layer_->close_controller(fd);

    const std::vector<sim::JournalEntry> journal = sim::journal();
    ASSERT_EQ(journal.size(), 1u);
    EXPECT_EQ(journal[0].request, 0x1Fu);
    ASSERT_EQ(journal[0].sent.size(), 1024u + 20);
    EXPECT_EQ(load32(&journal[0].sent[0]), 20u);
    EXPECT_EQ(std::memcmp(&journal[0].sent[512], packet, 4), 0);
    EXPECT_EQ(journal[0].sent[1024 + 4], 0xEE);

    const ErrorRecord record = last_error();
    EXPECT_EQ(record.flags, c.flags);
    EXPECT_EQ(record.controller_status, c.controller_status);
    EXPECT_EQ(record.os_error, c.os_error);
    EXPECT_STREQ(record.text, c.text);
    if (c.result == 0) {
        EXPECT_STREQ(reinterpret_cast<char*>(block.data() + 4), "QX-2400-4");
    } else {
        // The returned packet reaches the caller; the data does not.
        EXPECT_EQ(packet[4], uint8_t(c.controller_status));
        EXPECT_EQ(packet[5], uint8_t(c.controller_status >> 8));
        EXPECT_EQ(block[4], 0xEE);
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, LegacyRequest, ::testing::ValuesIn(kLegacyCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The SAS driver's compatibility record comes from sysfs: at most 56 bytes.
struct CompatCase {
    const char* name;
    const char* sysfs;
    int result;
    int os_error;
};
PRINT_CASE_BY_NAME(CompatCase)

const CompatCase kCompatCases[] = {
    {"whole_file", "", 0, 0},
    {"exactly_56_bytes", "sysfs index=3 file=tavix_compat_info size=56", 0, 0},
    {"short_file_is_an_io_error", "sysfs index=3 file=tavix_compat_info size=40", -1, EIO},
    {"missing_file", "sysfs index=3 file=tavix_compat_info missing=1", -1, ENOENT},
};

class SasCompatInfo : public DriverRequests, public ::testing::WithParamInterface<CompatCase> {};

TEST_P(SasCompatInfo, ReadFromSysfs) {
    change_machine(GetParam().sysfs);
    SeriesRequest r(257, 128);
    std::memset(r.data.data(), 0xC3, 128);
    std::memset(r.area, 0xB1, sizeof r.area);
    EXPECT_EQ(send(3, r), GetParam().result);
    EXPECT_TRUE(sim::journal().empty()) << "the SAS driver was asked through ioctl";
    EXPECT_EQ(r.area[0], 0xB1);
    EXPECT_EQ(load32(r.header + 4), 0u);
    if (GetParam().result == 0) {
        EXPECT_STREQ(reinterpret_cast<char*>(r.data.data()), "3.26.02.012");
        EXPECT_EQ(r.data[50], 41);  // running firmware SRL
        for (size_t i = 56; i < 128; ++i) ASSERT_EQ(r.data[i], 0xC3) << i;
    } else {
        const ErrorRecord record = last_error();
        EXPECT_EQ(record.flags, uint32_t(kErrOs));
        EXPECT_EQ(record.os_error, GetParam().os_error);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, SasCompatInfo, ::testing::ValuesIn(kCompatCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Events of the SAS driver come from its event file, picked by sequence
// number; the records sit in the file in slot order, not in queue order.
struct EventCase {
    const char* name;
    uint32_t code;
    uint32_t reference;
    uint32_t sequence;  // 0: none, the driver status says so
};
PRINT_CASE_BY_NAME(EventCase)

const EventCase kEventCases[] = {
    {"newest", 258, 0, 7},
    {"oldest", 259, 0, 5},
    {"after_5", 260, 5, 6},
    {"before_7", 261, 7, 6},
    {"after_the_newest", 260, 7, 0},
    {"after_the_largest_number_wraps_to_none", 260, 0xFFFFFFFF, 0},
    {"before_the_oldest", 261, 5, 0},
};

class SasEvents : public DriverRequests, public ::testing::WithParamInterface<EventCase> {};

TEST_P(SasEvents, PickedFromTheEventFile) {
    change_machine(
        "event index=3 sequence=5 code=0x19 severity=2 text=\"port=1\"\n"
        "event index=3 sequence=7 code=0x1A severity=3 text=\"port=1\"\n"
        "event index=3 sequence=6 code=0x05 severity=3 text=\"unit=0\"\n");
    SeriesRequest r(GetParam().code, 112);
    store32(r.data.data(), GetParam().reference);
    store32(r.header + 4, 0xDEAD);
    ASSERT_EQ(send(3, r), 0);
    EXPECT_TRUE(sim::journal().empty());
    if (GetParam().sequence == 0) {
        EXPECT_EQ(load32(r.header + 4), 0x1003u);
        EXPECT_EQ(load32(r.data.data()), GetParam().reference);
    } else {
        EXPECT_EQ(load32(r.header + 4), 0u);
        EXPECT_EQ(load32(r.data.data()), GetParam().sequence);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, SasEvents, ::testing::ValuesIn(kEventCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DriverRequests, SasEventFileWithoutEvents) {
    for (uint32_t code = 258; code <= 261; ++code) {
        SeriesRequest r(code, 112);
        ASSERT_EQ(send(3, r), 0) << code;
        EXPECT_EQ(load32(r.header + 4), 0x1003u) << code;
    }
}

TEST_F(DriverRequests, SasEventFailures) {
    change_machine(
        "event index=3 code=0x19 severity=2\nsysfs index=3 file=tavix_aen_read size=5000");
    SeriesRequest short_file(258, 112);
    EXPECT_EQ(send(3, short_file), -1);
    EXPECT_EQ(last_error().os_error, EIO);

    change_machine("sysfs index=3 file=tavix_aen_read size=full");
    SeriesRequest small_buffer(258, 64);
    EXPECT_EQ(send(3, small_buffer), -1);
    EXPECT_EQ(last_error().api_code, 116);
}

// Other drivers answer the same requests through ioctl.
TEST_F(DriverRequests, SecondSeriesEventsOfOtherDriversComeFromTheDriver) {
    change_machine("event index=2 code=0x19 severity=2 text=\"port=1\"");
    SeriesRequest r(259, 112);
    ASSERT_EQ(send(2, r), 0);
    EXPECT_EQ(r.data[8], 0x19);
    ASSERT_EQ(sim::journal().size(), 1u);
    EXPECT_EQ(sim::journal()[0].request, 259u);
}

// Descriptors above the old 1024-entry map still find the SAS driver's
// sysfs files.
TEST(DescriptorMap, CoversEveryDescriptor) {
    load_machine(
        "descriptors floor=1500\n"
        "driver name=dq-sas pairing=sysfs\n"
        "controller index=3 driver=dq-sas arch=8\n");
    DriverLayer layer;
    sim::clear_journal();
    int32_t fd = -1;
    ObjectId id = {{1, 3, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
    ASSERT_EQ(layer.open_controller(id, &fd), 0);
    EXPECT_GE(fd, 1500);
    SeriesRequest r(257, 128);
    EXPECT_EQ(layer.series_ioctl(fd, r.header, r.area, r.data.data(), 128), 0);
    EXPECT_TRUE(sim::journal().empty());
    EXPECT_EQ(r.data[0], '3');
    layer.close_controller(fd);
}

}  // namespace
