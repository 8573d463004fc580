// Reads answered again within a page build: which requests count as reads,
// what a reused answer gives the caller, and what makes the driver layer
// ask the controller again.
#include "driver/read_reuse.h"

#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "driver/driver_layer.h"
#include "driver/record_failure.h"
#include "tests/driver/sim_machine.h"

namespace {

constexpr char kMachine[] =
    "clock mode=virtual\n"
    "driver name=dq-xxxx pairing=proc\n"
    "driver name=dq-Mxxx pairing=sysfs\n"
    "driver name=dq-sas pairing=sysfs\n"
    "controller index=1 driver=dq-xxxx model=\"QX-2400-4\" ports=4\n"
    "controller index=2 driver=dq-Mxxx arch=6 ports=8 stagger=3\n"
    "  event code=0x0055 severity=3\n"
    "controller index=3 driver=dq-sas arch=8 ports=4 stagger=5\n";

constexpr uint16_t kSettings = 0x403;
constexpr uint16_t kStagger = 8;  // one byte

size_t driver_requests() { return sim::journal().size(); }

// SET PARAMETER of one parameter, value in the block.
SeriesRequest set_parameter(uint16_t table, uint16_t id, uint8_t value) {
    SeriesRequest r = get_parameter(table, id, 1);
    r.area[128] = 0x53;
    r.data[8] = value;
    return r;
}

// The first series' GET PARAMETER: opcode 0x52, four words, one parameter;
// the block holds the table, the parameter id and its size.
struct LegacyRequest {
    uint8_t packet[512] = {};
    std::vector<uint8_t> data;
    LegacyRequest(uint16_t table, uint8_t id, uint8_t size) : data(4u + size, 0) {
        packet[0] = 0x52;
        packet[1] = 4;
        packet[6] = 1;
        data[0] = uint8_t(table);
        data[1] = uint8_t(table >> 8);
        data[2] = id;
        data[3] = size;
    }
};

// What a caller has after a request: its buffers, the result and the
// last-error record.
struct Outcome {
    std::vector<uint8_t> bytes;
    int result;
    ErrorRecord error;
};

bool operator==(const Outcome& a, const Outcome& b) {
    return a.bytes == b.bytes && a.result == b.result &&
           std::memcmp(&a.error, &b.error, sizeof a.error) == 0;
}

class ReadReuseTest : public ::testing::Test {
  protected:
    void SetUp() override {
        load_machine(kMachine);
        layer_ = std::make_unique<DriverLayer>();
        ReadReuse::set_enabled(true);
        sim::clear_journal();
    }
    void TearDown() override { ReadReuse::set_enabled(true); }

    int32_t open(uint8_t controller) {
        int32_t fd = -1;
        ObjectId id = {{1, controller, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
        EXPECT_EQ(layer_->open_controller(id, &fd), 0);
        return fd;
    }

    Outcome send(uint8_t controller, SeriesRequest& r) {
        const int32_t fd = open(controller);
        Outcome o;
        o.result = layer_->series_ioctl(fd, r.header, r.area,
                                        r.data.empty() ? nullptr : r.data.data(),
                                        uint32_t(r.data.size()));
        layer_->close_controller(fd);
        o.bytes.assign(r.header, r.header + sizeof r.header);
        o.bytes.insert(o.bytes.end(), r.area, r.area + sizeof r.area);
        o.bytes.insert(o.bytes.end(), r.data.begin(), r.data.end());
        o.error = last_error();
        return o;
    }

    Outcome send(uint8_t controller, LegacyRequest& r, uint8_t request = 0x1F) {
        const int32_t fd = open(controller);
        Outcome o;
        o.result = layer_->legacy_ioctl(fd, r.packet, r.data.data(), uint32_t(r.data.size()),
                                        request);
        layer_->close_controller(fd);
        o.bytes.assign(r.packet, r.packet + sizeof r.packet);
        o.bytes.insert(o.bytes.end(), r.data.begin(), r.data.end());
        o.error = last_error();
        return o;
    }

    // Sends a fresh GET of the stagger time; its value, or -1.
    int stagger(uint8_t controller) {
        SeriesRequest r = get_parameter(kSettings, kStagger, 1);
        return send(controller, r).result == 0 ? r.data[8] : -1;
    }

    std::unique_ptr<DriverLayer> layer_;
};

// A pre-set failure in the record, which a successful read leaves alone.
void mark_error_record() { fail_with_api_error(kApiMemoryAllocation); }

TEST(ReadTable, ReadsAreGetParameterCompatibilityAndTheEnclosureStatusReads) {
    using K = ReadReuse::Kind;
    struct Case {
        uint32_t code;
        int opcode;  // packet byte 0, -1 for none
        int cdb;     // SCSI pass-through operation code
        K kind;
    } cases[] = {
        {257, -1, 0, K::kRead},        {258, -1, 0, K::kLiveRead},    {259, -1, 0, K::kLiveRead},
        {260, -1, 0, K::kLiveRead},    {261, -1, 0, K::kLiveRead},    {262, -1, 0, K::kChange},
        {263, -1, 0, K::kChange},      {512, -1, 0, K::kChange},      {264, 0x52, 0, K::kRead},
        {264, 0x53, 0, K::kChange},    {264, 0x10, 0x12, K::kRead},   {264, 0x10, 0x1C, K::kRead},
        {264, 0x10, 0x3C, K::kRead},   {264, 0x10, 0x1D, K::kChange}, {264, 0x10, 0x3B, K::kChange},
        {264, 0x10, 0x00, K::kChange}, {264, 0x11, 0, K::kChange},    {264, 0xB1, 0, K::kChange},
        {264, 0xF1, 0, K::kChange},    {264, 0x1E, 0, K::kChange},    {264, 0x56, 0, K::kChange},
        {264, 0x5B, 0, K::kChange},    {264, 0x15, 0, K::kChange},    {264, 0x74, 0, K::kChange},
        {264, 0x06, 0, K::kChange},    {264, 0x00, 0, K::kChange},    {265, -1, 0, K::kChange},
    };
    for (const Case& c : cases) {
        uint8_t area[1024] = {};
        if (c.opcode >= 0) area[128] = uint8_t(c.opcode);
        area[128 + 8] = uint8_t(c.cdb);
        EXPECT_EQ(ReadReuse::series_kind(c.code, area), c.kind)
            << c.code << " opcode " << c.opcode << " cdb " << c.cdb;
    }
    uint8_t packet[512] = {0x52};
    EXPECT_EQ(ReadReuse::legacy_kind(0x1F, packet), K::kRead);
    EXPECT_EQ(ReadReuse::legacy_kind(0x1C, packet), K::kChange);
    for (uint8_t opcode : {0x53, 0x5C, 0x59, 0x15, 0x54, 0x56, 0x11, 0xB1}) {
        packet[0] = opcode;
        EXPECT_EQ(ReadReuse::legacy_kind(0x1F, packet), K::kChange) << int(opcode);
        EXPECT_EQ(ReadReuse::legacy_kind(0x1C, packet), K::kChange) << int(opcode);
    }
}

TEST_F(ReadReuseTest, AReadIsSentOnceInAPageBuildAndAnsweredAsItWasSent) {
    ReadReuse::Scope page_build;
    struct Read {
        const char* what;
        uint8_t controller;
        bool legacy;
        SeriesRequest series;
        LegacyRequest first;
    } reads[] = {
        {"GET PARAMETER", 2, false, get_parameter(0x402, 8, 16), {0x402, 8, 16}},
        {"GET PARAMETER, SAS driver", 3, false, get_parameter(0x402, 8, 16), {0x402, 8, 16}},
        {"compatibility record", 2, false, SeriesRequest(257, 128), {0x402, 8, 16}},
        {"first-series GET PARAMETER", 1, true, SeriesRequest(264), {0x402, 8, 16}},
    };
    for (Read& r : reads) {
        SeriesRequest series_again = r.series;
        LegacyRequest first_again = r.first;
        const size_t before = driver_requests();
        mark_error_record();
        const Outcome sent = r.legacy ? send(r.controller, r.first) : send(r.controller, r.series);
        ASSERT_EQ(sent.result, 0) << r.what;
        ASSERT_EQ(driver_requests(), before + 1) << r.what;
        EXPECT_EQ(sent.error.api_code, kApiMemoryAllocation) << r.what;

        mark_error_record();
        const Outcome reused =
            r.legacy ? send(r.controller, first_again) : send(r.controller, series_again);
        EXPECT_EQ(driver_requests(), before + 1) << r.what;
        EXPECT_TRUE(reused == sent) << r.what;
    }
}

TEST_F(ReadReuseTest, EveryReadIsSentAgainOutsideAPageBuildAndWithTheReuseOff) {
    EXPECT_EQ(stagger(2), 3);
    EXPECT_EQ(stagger(2), 3);
    EXPECT_EQ(driver_requests(), 2u);
    {
        ReadReuse::Scope page_build;
        EXPECT_EQ(stagger(2), 3);
        EXPECT_EQ(ReadReuse::kept(), 1u);
    }
    EXPECT_EQ(ReadReuse::kept(), 0u);  // the page build's end dropped it
    EXPECT_EQ(stagger(2), 3);
    EXPECT_EQ(driver_requests(), 4u);

    ReadReuse::set_enabled(false);
    ReadReuse::Scope page_build;
    EXPECT_EQ(stagger(2), 3);
    EXPECT_EQ(stagger(2), 3);
    EXPECT_EQ(driver_requests(), 6u);
    EXPECT_EQ(ReadReuse::kept(), 0u);
}

TEST_F(ReadReuseTest, TheSasDriversCompatibilityFileIsReadOnceToo) {
    SeriesRequest first(257, 128), again(257, 128), outside(257, 128);
    {
        ReadReuse::Scope page_build;
        const Outcome read = send(3, first);
        ASSERT_EQ(read.result, 0);
        // A shorter file now: the build still has the answer it read.
        change_machine("sysfs index=3 file=tavix_compat_info size=40\n");
        const Outcome reused = send(3, again);
        EXPECT_TRUE(reused == read);
    }
    EXPECT_EQ(send(3, outside).result, -1);
}

TEST_F(ReadReuseTest, AChangeIsAlwaysSentAndDropsTheAnswersOfItsControllerOnly) {
    ReadReuse::Scope page_build;
    EXPECT_EQ(stagger(2), 3);
    EXPECT_EQ(stagger(3), 5);
    for (int i = 0; i < 2; ++i) {
        SeriesRequest set = set_parameter(kSettings, kStagger, 4);
        ASSERT_EQ(send(2, set).result, 0);
    }
    EXPECT_EQ(driver_requests(), 4u);
    EXPECT_EQ(stagger(2), 4);  // asked again: the new value
    EXPECT_EQ(driver_requests(), 5u);
    EXPECT_EQ(stagger(3), 5);  // the other controller's answer stands
    EXPECT_EQ(stagger(2), 4);
    EXPECT_EQ(driver_requests(), 5u);

    // A change the controller refused drops the answers all the same.
    SeriesRequest refused = set_parameter(kSettings, 0x7F, 1);
    EXPECT_EQ(send(2, refused).result, -1);
    EXPECT_EQ(stagger(2), 4);
    EXPECT_EQ(driver_requests(), 7u);
}

TEST_F(ReadReuseTest, EventReadsAreAlwaysSent) {
    ReadReuse::Scope page_build;
    // The second series' event reads take nothing from the queue: the
    // answers kept stand.
    EXPECT_EQ(stagger(2), 3);
    for (int i = 0; i < 2; ++i) {
        SeriesRequest oldest(259, 112);
        ASSERT_EQ(send(2, oldest).result, 0);
        EXPECT_EQ(load32(oldest.data.data()), 1u);  // the event's sequence number
    }
    EXPECT_EQ(stagger(2), 3);
    EXPECT_EQ(driver_requests(), 3u);
    // The first series' takes the event from the queue: a change.
    LegacyRequest model(0x402, 8, 16);
    ASSERT_EQ(send(1, model).result, 0);
    for (int i = 0; i < 2; ++i) {
        LegacyRequest event(0, 0, 0);
        event.packet[0] = 0x5C;
        event.data.assign(2, 0);
        send(1, event, 0x1C);
    }
    LegacyRequest again(0x402, 8, 16);
    ASSERT_EQ(send(1, again).result, 0);
    EXPECT_EQ(driver_requests(), 7u);
}

TEST_F(ReadReuseTest, AFailedReadIsSentAgainAndNotKept) {
    ReadReuse::Scope page_build;
    const char* faults[] = {
        "fault index=2 opcode=0x52 firmware-code=0x010C detail=\"D\" text=\"T\"\n",
        "fault index=2 request=264 driver-status=0x1001\n",
        "fault index=2 request=264 errno=EIO\n",
    };
    for (const char* fault : faults) {
        sim::clear_journal();
        change_machine(fault);
        EXPECT_EQ(stagger(2), -1) << fault;
        EXPECT_EQ(ReadReuse::kept(), 0u) << fault;
        EXPECT_EQ(stagger(2), 3) << fault;
        EXPECT_EQ(stagger(2), 3) << fault;
        EXPECT_EQ(driver_requests(), 2u) << fault;
        // The next fault's read is to find nothing kept.
        SeriesRequest set = set_parameter(kSettings, kStagger, 3);
        ASSERT_EQ(send(2, set).result, 0);
    }
}

TEST_F(ReadReuseTest, AnotherThreadIsNeverAnsweredFromThePageBuildButItsChangesCount) {
    ReadReuse::Scope page_build;
    EXPECT_EQ(stagger(2), 3);
    int seen[2] = {};
    std::thread other([&] {
        seen[0] = stagger(2);
        seen[1] = stagger(3);  // not kept for the page build either
    });
    other.join();
    EXPECT_EQ(seen[0], 3);
    EXPECT_EQ(seen[1], 5);
    EXPECT_EQ(driver_requests(), 3u);
    EXPECT_EQ(stagger(3), 5);
    EXPECT_EQ(driver_requests(), 4u);

    std::thread changer([&] {
        SeriesRequest set = set_parameter(kSettings, kStagger, 6);
        EXPECT_EQ(send(2, set).result, 0);
    });
    changer.join();
    EXPECT_EQ(stagger(2), 6);
    EXPECT_EQ(stagger(3), 5);
    EXPECT_EQ(driver_requests(), 6u);
}

TEST_F(ReadReuseTest, AReadAnsweredWhileAChangeWasUnderWayIsNotKept) {
    ReadReuse::Scope page_build;
    std::string answer;
    uint64_t generation = 0;
    ASSERT_FALSE(ReadReuse::recall(2, "key", &answer, &generation));
    ReadReuse::forget(2);  // a change sent meanwhile, from any thread
    ReadReuse::keep(2, generation, "key", "answer");
    EXPECT_FALSE(ReadReuse::recall(2, "key", &answer, &generation));
    ReadReuse::keep(2, generation, "key", "answer");
    ASSERT_TRUE(ReadReuse::recall(2, "key", &answer, &generation));
    EXPECT_EQ(answer, "answer");
    // A change to a controller not known drops every controller's answers.
    ReadReuse::forget(DriverLayer::kNoController);
    EXPECT_EQ(ReadReuse::kept(), 0u);
}

TEST_F(ReadReuseTest, NestedPageBuildsKeepTheAnswersUntilTheOutermostEnds) {
    {
        ReadReuse::Scope outer;
        {
            ReadReuse::Scope inner;
            EXPECT_EQ(stagger(2), 3);
        }
        EXPECT_EQ(ReadReuse::kept(), 1u);
        EXPECT_EQ(stagger(2), 3);
        EXPECT_EQ(driver_requests(), 1u);
    }
    EXPECT_EQ(ReadReuse::kept(), 0u);
}

TEST(ReadReuseFields, AFieldComesBackWholeFromItsNonZeroPart) {
    const std::vector<std::vector<uint8_t>> fields = {
        {}, {0, 0, 0}, {1}, {0, 0, 7, 0, 9, 0, 0}, {5, 0, 0, 0, 6}};
    std::string text;
    for (const auto& f : fields) ReadReuse::append_field(&text, f.data(), f.size());
    size_t at = 0;
    for (const auto& f : fields) {
        std::vector<uint8_t> back(f.size(), 0xEE);
        ASSERT_TRUE(ReadReuse::read_field(text, &at, back.data(), back.size()));
        EXPECT_EQ(back, f);
    }
    EXPECT_EQ(at, text.size());
    // A command area takes the room of its packet, not of its zeros.
    uint8_t area[1024] = {};
    area[128] = 0x52;
    area[129] = 5;
    std::string packed;
    ReadReuse::append_field(&packed, area, sizeof area);
    EXPECT_EQ(packed.size(), 8u + 2u);

    uint8_t small[2];
    at = 0;
    std::string wide;
    const uint8_t three[3] = {1, 2, 3};
    ReadReuse::append_field(&wide, three, 3);
    EXPECT_FALSE(ReadReuse::read_field(wide, &at, small, sizeof small));
}

}  // namespace
