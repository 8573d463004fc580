// Back-end unit and port members that no query row of their own reaches yet:
// cache policies, command queuing, the two states of a RAID 6 unit and the
// port-number test.
#include <cstring>

#include "backend/series_backend.h"
#include "tests/backend/library_machine.h"

namespace {

constexpr char kMachine[] =
    "clock mode=virtual\n"
    "driver name=dq-Mxxx pairing=sysfs\n"
    "controller index=2 driver=dq-Mxxx arch=8 ports=8\n"
    "  drive port=0\n  drive port=1\n  drive port=2\n  drive port=3\n  drive port=4\n"
    "  drive port=5\n"
    "  unit number=0 type=raid6 drives=0,1,2,3,4 status=rebuilding member=4 "
    "task-status=degraded task-member=1\n"
    "  unit number=1 type=single drives=5\n";

class SeriesUnitParameters : public ::testing::Test {
  protected:
    void SetUp() override { use_machine(kMachine); }
    SeriesBackend backend_;
};

TEST_F(SeriesUnitParameters, CachePolicies) {
    struct Case {
        const char* lines;
        uint8_t read_cache, write_cache;
        size_t requests;  // of the read-cache query
    };
    const Case cases[] = {
        {"", 2, 1, 2},
        {"unit index=2 number=0 read-cache=basic write-cache=0\n", 1, 0, 2},
        {"unit index=2 number=0 read-cache=off\n", 0, 0, 1},  // parameter 29 is not read
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines);
        if (*c.lines) change_machine(c.lines);
        uint8_t read = 9, write = 9;
        sim::clear_journal();
        ASSERT_EQ(backend_.get_read_cache(unit_id(2, 0), &read), 0);
        EXPECT_EQ(requests(264).size(), c.requests);
        ASSERT_EQ(backend_.get_write_cache(unit_id(2, 0), &write), 0);
        EXPECT_EQ(read, c.read_cache);
        EXPECT_EQ(write, c.write_cache);
    }
}

TEST_F(SeriesUnitParameters, QueuingIsWrittenAndReadBack) {
    uint8_t queuing = 9;
    ASSERT_EQ(backend_.get_unit_queuing(unit_id(2, 0), &queuing), 0);
    EXPECT_EQ(queuing, 1);
    sim::clear_journal();
    ASSERT_EQ(backend_.set_unit_queuing(unit_id(2, 0), 0), 0);
    const std::vector<sim::JournalEntry> sent = requests(264);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].sent, expected_request(264, {0x53, uint8_t(2 + SeriesBackend::get_arch_class()), 0, 0, 0, 0, 1},
                                             {0x00, 0x83, 20, 0, 1, 0, 0, 0, 0}));
    ASSERT_EQ(backend_.get_unit_queuing(unit_id(2, 0), &queuing), 0);
    EXPECT_EQ(queuing, 0);
}

TEST_F(SeriesUnitParameters, Raid6States) {
    uint8_t first = 0, second = 0;
    ASSERT_EQ(backend_.get_raid6_degraded_drives(unit_id(2, 0), &first, &second), 0);
    EXPECT_EQ(first, 223);
    EXPECT_EQ(second, 239);
    // Another type: both states 17, -1 with nothing recorded.
    clear_last_error();
    EXPECT_EQ(backend_.get_raid6_degraded_drives(unit_id(2, 1), &first, &second), -1);
    EXPECT_EQ(first, 17);
    EXPECT_EQ(second, 17);
    EXPECT_EQ(last_error().flags, 0u);
}

TEST_F(SeriesUnitParameters, PortNumbersBelowThePortCount) {
    struct Case {
        const char* ports;  // the controller's port count
        uint8_t port;
        int valid;
    };
    const Case cases[] = {{"8", 7, 1}, {"8", 8, 0}, {"8", 255, 0}, {"0", 0, 1}, {"0", 1, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.ports) + " ports, port " + std::to_string(c.port));
        change_machine(std::string("param index=2 table=0x403 id=3 value=u8:") + c.ports + "\n");
        EXPECT_EQ(backend_.is_port_valid(controller_id(2), c.port), c.valid);
    }
    change_machine("fault index=2 table=0x403 parameter=3 firmware-code=0x010C\n");
    EXPECT_EQ(backend_.is_port_valid(controller_id(2), 0), 0);
}

}  // namespace
