// The controller lock of both kinds (driver control codes 262 and 263 below
// family 10, the firmware's lock parameter on family 10): what is sent to
// take and release it, and the retries while another holder has it.
#include <cstring>

#include "backend/series_backend.h"
#include "tests/backend/library_machine.h"
#include "tests/support/param_names.h"

namespace {

struct LockKind {
    const char* name;
    const char* arch;
    bool parameter;  // the firmware's lock parameter, else the driver's codes
    uint32_t refused_flags;
    int32_t refused_code;
    const char* refused_text;
};
PRINT_CASE_BY_NAME(LockKind)

const LockKind kKinds[] = {
    {"family_4", "4", false, 0x20004, 0x1002, "(0x06:0x1002): Already locked"},
    {"family_8", "8", false, 0x20004, 0x1002, "(0x06:0x1002): Already locked"},
    {"family_10", "10", true, 0x20008, 0x0133,
     "Handle has different owner table 0x8403 parameter 61 size 4"},
};

class ControllerLock : public ::testing::TestWithParam<LockKind> {
  protected:
    void SetUp() override {
        use_machine(std::string("clock mode=virtual\n"
                                "driver name=dq-Mxxx pairing=sysfs\n"
                                "controller index=5 driver=dq-Mxxx arch=") +
                    GetParam().arch + "\n");
        slept_before_ = sim::slept_microseconds();
    }

    // The requests that tried to take (timeout) or release (0) the lock.
    std::vector<sim::JournalEntry> lock_requests() const {
        if (!GetParam().parameter) {
            std::vector<sim::JournalEntry> all = requests(262);
            for (const sim::JournalEntry& e : requests(263)) all.push_back(e);
            return all;
        }
        std::vector<sim::JournalEntry> sets;
        for (const sim::JournalEntry& e : requests(264)) {
            const SentBlock b = sent_block(e);
            if (e.sent[640] == 0x53 && b.table == 0x8403 && b.id == 61) sets.push_back(e);
        }
        return sets;
    }

    // The time-out a take carried (or 0 for a release), in milliseconds.
    uint32_t timeout_of(const sim::JournalEntry& e) const {
        if (!GetParam().parameter) {
            EXPECT_EQ(load32(&e.sent[20]), 12u);
            for (size_t i = 1540; i < 1548; ++i) EXPECT_EQ(e.sent[i], 0) << i;
            return load32(&e.sent[1536]);
        }
        const SentBlock b = sent_block(e);
        EXPECT_EQ(b.size, 4);
        return load32(b.value.data()) * 10;
    }

    uint64_t slept() const { return sim::slept_microseconds() - slept_before_; }

    uint64_t slept_before_ = 0;
};

TEST_P(ControllerLock, TakenAndReleased) {
    // Any identifier of an object on the controller names its lock.
    ASSERT_EQ(SeriesBackend::get_controller_lock(drive_id(5, 3), 5000), 0);
    ASSERT_EQ(SeriesBackend::release_controller_lock(unit_id(5, 0)), 0);
    const std::vector<sim::JournalEntry> sent = lock_requests();
    ASSERT_EQ(sent.size(), 2u);
    if (!GetParam().parameter) {
        EXPECT_EQ(sent[0].request, 262u);
        EXPECT_EQ(sent[1].request, 263u);
    }
    EXPECT_EQ(timeout_of(sent[0]), 5000u);  // 500 in units of 10 ms on family 10
    EXPECT_EQ(timeout_of(sent[1]), 0u);
    // Every byte of both requests.
    const uint8_t words = parameter_packet_words();
    const std::vector<uint8_t> take =
        GetParam().parameter
            ? expected_request(264, {0x53, words, 0, 0, 0, 0, 1},
                               {0x03, 0x84, 61, 0, 4, 0, 0, 0, 0xF4, 0x01, 0, 0})
            : expected_request(262, {}, {0x88, 0x13, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    const std::vector<uint8_t> release =
        GetParam().parameter ? expected_request(264, {0x53, words, 0, 0, 0, 0, 1},
                                                {0x03, 0x84, 61, 0, 4, 0, 0, 0, 0, 0, 0, 0})
                             : expected_request(263, {}, std::vector<uint8_t>(12, 0));
    EXPECT_EQ(first_difference(sent[0].sent, take), -1);
    EXPECT_EQ(first_difference(sent[1].sent, release), -1);
    EXPECT_EQ(slept(), 0u);
    // Released: it can be taken again at once.
    EXPECT_EQ(SeriesBackend::get_controller_lock(controller_id(5), 5000), 0);
}

TEST_P(ControllerLock, RefusedAfterTenTriesWhileAnotherHolderKeepsIt) {
    change_machine("lock index=5 ms=-1");
    EXPECT_EQ(SeriesBackend::get_controller_lock(controller_id(5), 5000), -1);
    EXPECT_EQ(lock_requests().size(), 10u);
    EXPECT_EQ(slept(), 10000000u);  // one second after every try
    const ErrorRecord record = last_error();
    EXPECT_EQ(record.flags, GetParam().refused_flags);
    EXPECT_EQ(GetParam().parameter ? record.controller_status : record.driver_status,
              GetParam().refused_code);
    EXPECT_STREQ(record.text, GetParam().refused_text);
}

TEST_P(ControllerLock, TakenOnceTheOtherHolderLetsGo) {
    change_machine("lock index=5 ms=3500");
    EXPECT_EQ(SeriesBackend::get_controller_lock(controller_id(5), 5000), 0);
    EXPECT_EQ(lock_requests().size(), 5u);  // at 0, 1, 2, 3 and 4 seconds
    EXPECT_EQ(slept(), 4000000u);
}

TEST_P(ControllerLock, ReleaseOfALockNobodyHolds) {
    const int result = SeriesBackend::release_controller_lock(controller_id(5));
    if (GetParam().parameter) {
        EXPECT_EQ(result, 0);  // writing 0 always succeeds
    } else {
        EXPECT_EQ(result, -1);
        EXPECT_STREQ(last_error().text, "(0x06:0x1001): Not locked");
    }
    EXPECT_EQ(lock_requests().size(), 1u);
    EXPECT_EQ(slept(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Kinds, ControllerLock, ::testing::ValuesIn(kKinds),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ControllerLockNode, NotTakenWhenTheNodeDoesNotOpen) {
    use_machine(
        "clock mode=virtual\ndriver name=dq-Mxxx\ncontroller index=5 driver=dq-Mxxx arch=8\n");
    change_machine("fault call=open index=5 errno=EACCES count=-1");
    EXPECT_EQ(SeriesBackend::get_controller_lock(controller_id(5), 5000), -1);
    EXPECT_EQ(last_error().os_error, EACCES);
    EXPECT_TRUE(sim::journal().empty());
    EXPECT_EQ(sim::slept_microseconds(), 0u);
}

}  // namespace
