// GET and SET PARAMETER through the library's driver layer against the
// simulated firmware: the bytes that reach the driver, what the caller's
// buffer holds after a failure, and the refusals made before anything is
// sent.
#include <cstring>

#include "backend/series_backend.h"
#include "driver/kernel_check.h"
#include "tests/backend/library_machine.h"
#include "tests/support/param_names.h"

namespace {

std::string machine_with(const char* kernel_machine) {
    return std::string("clock mode=virtual\nkernel machine=") + kernel_machine +
           "\n"
           "driver name=dq-Mxxx pairing=sysfs\n"
           "driver name=dq-sas pairing=sysfs\n"
           "controller index=2 driver=dq-Mxxx arch=6 model=\"QX-6200-8\"\n"
           "controller index=3 driver=dq-sas arch=8\n";
}

struct PacketCase {
    const char* machine;
    uint8_t words;
};
[[maybe_unused]] void PrintTo(const PacketCase& c, std::ostream* os) { *os << c.machine; }

class ParameterPacket : public ::testing::TestWithParam<PacketCase> {};

TEST_P(ParameterPacket, GetSendsTheBlockInAPacketSizedForTheKernel) {
    use_machine(machine_with(GetParam().machine));
    EXPECT_EQ(SeriesBackend::get_arch_class(), GetParam().words - 2);
    uint8_t value[4];
    ASSERT_EQ(SeriesBackend::get_parameter(controller_id(2), value, sizeof value, 0x402, 14, 4), 0);
    EXPECT_EQ(load32(value), 6u);

    const std::vector<sim::JournalEntry> sent = requests(264);
    ASSERT_EQ(sent.size(), 1u);
    const std::vector<uint8_t>& bytes = sent[0].sent;
    ASSERT_EQ(bytes.size(), 1536u + 12);
    EXPECT_EQ(load32(&bytes[0]), 264u);
    EXPECT_EQ(load32(&bytes[20]), 12u);
    const uint8_t packet[8] = {0x52, GetParam().words, 0, 0, 0, 0, 1, 0};
    EXPECT_EQ(std::memcmp(&bytes[512 + 128], packet, 8), 0);
    for (size_t i = 512 + 136; i < 1536; ++i) ASSERT_EQ(bytes[i], 0) << i;
    const uint8_t block[12] = {0x02, 0x84, 0x0E, 0, 0x04, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(&bytes[1536], block, 12), 0);
    // And nothing else: every byte not named is 0.
    EXPECT_EQ(
        first_difference(bytes, expected_request(264, {0x52, GetParam().words, 0, 0, 0, 0, 1},
                                                 {0x02, 0x84, 0x0E, 0, 0x04, 0, 0, 0, 0, 0, 0, 0})),
        -1);
}

INSTANTIATE_TEST_SUITE_P(Kernels, ParameterPacket,
                         ::testing::Values(PacketCase{"x86_64", 5}, PacketCase{"ppc64", 5},
                                           PacketCase{"i686", 4}, PacketCase{"aarch64", 4}),
                         [](const auto& info) { return std::string(info.param.machine); });

// The class is the kernel's machine name, exactly; without one (uname
// failed) it is 2.
TEST(ArchClass, OfTheMachineName) {
    EXPECT_EQ(arch_class_of_machine("x86_64"), 3);
    EXPECT_EQ(arch_class_of_machine("ppc64"), 3);
    EXPECT_EQ(arch_class_of_machine("ppc64le"), 2);
    EXPECT_EQ(arch_class_of_machine("i686"), 2);
    EXPECT_EQ(arch_class_of_machine(nullptr), 2);
}

// The discovery's uname is the only one: parameter requests size their
// packet from what it learnt, and each still opens and closes the node.
TEST(ParameterRequests, AskTheKernelOnceAndOpenTheNodeEachTime) {
    for (const PacketCase& c : {PacketCase{"i686", 4}, PacketCase{"x86_64", 5}}) {
        SCOPED_TRACE(c.machine);
        use_machine(machine_with(c.machine));
        const sim::KernelCalls before = sim::kernel_calls();
        EXPECT_EQ(before.uname, 1u);
        uint8_t value[16] = {};
        for (int i = 0; i < 3; ++i)
            ASSERT_EQ(
                SeriesBackend::get_parameter(controller_id(2), value, sizeof value, 0x402, 14, 4),
                0);
        ASSERT_EQ(SeriesBackend::set_parameter(controller_id(3), value, sizeof value, 0x402, 8, 16),
                  0);
        const sim::KernelCalls after = sim::kernel_calls();
        EXPECT_EQ(after.uname, 1u);
        EXPECT_EQ(after.node_opens - before.node_opens, 4u);
        EXPECT_EQ(after.node_closes - before.node_closes, 4u);
        const std::vector<sim::JournalEntry> sent = requests(264);
        ASSERT_EQ(sent.size(), 4u);
        for (const sim::JournalEntry& e : sent) EXPECT_EQ(e.sent[512 + 129], c.words);
    }
}

TEST(SetParameter, SendsExactlyTheParameterSizeOfALargerValue) {
    use_machine(machine_with("x86_64"));
    uint8_t value[32];
    for (size_t i = 0; i < sizeof value; ++i) value[i] = uint8_t(0xA0 + i);
    // A table named with its mark already set is the same table.
    ASSERT_EQ(SeriesBackend::set_parameter(controller_id(3), value, sizeof value, 0x8402, 8, 16),
              0);
    const std::vector<sim::JournalEntry> sent = requests(264);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].sent[640], 0x53);
    EXPECT_EQ(load32(&sent[0].sent[20]), 24u);
    const SentBlock block = sent_block(sent[0]);
    EXPECT_EQ(block.table, 0x8402);
    EXPECT_EQ(block.id, 8);
    EXPECT_EQ(block.size, 16);
    EXPECT_EQ(block.value, std::vector<uint8_t>(value, value + 16));
    std::vector<uint8_t> data = {0x02, 0x84, 8, 0, 16, 0, 0, 0};
    data.insert(data.end(), value, value + 16);
    EXPECT_EQ(first_difference(sent[0].sent, expected_request(264, {0x53, 5, 0, 0, 0, 0, 1}, data)),
              -1);

    uint8_t back[16];
    ASSERT_EQ(SeriesBackend::get_parameter(controller_id(3), back, sizeof back, 0x402, 8, 16), 0);
    EXPECT_EQ(std::memcmp(back, value, 16), 0);
}

struct FailureCase {
    const char* name;
    const char* fault;
    uint32_t size;         // parameter size asked for
    uint32_t buffer_size;  // the caller's buffer
    uint32_t flags;
    int32_t code;     // the API, OS or controller code recorded
    size_t requests;  // reaching the driver
};
PRINT_CASE_BY_NAME(FailureCase)

const FailureCase kFailures[] = {
    {"firmware_refuses", "fault index=2 opcode=0x52 firmware-code=0x010C detail=\"D\" text=\"T\"",
     4, 16, 0x20008, 0x010C, 1},
    {"driver_refuses", "fault index=2 request=264 driver-status=0x1001", 4, 16, 0x20004, 0x1001, 1},
    {"node_does_not_open", "fault call=open index=2 errno=EACCES", 4, 16, 0x2, EACCES, 0},
    {"parameter_larger_than_the_buffer", "", 16, 8, 0x1, 116, 0},
};

class ParameterFailures : public ::testing::TestWithParam<FailureCase> {};

TEST_P(ParameterFailures, GetLeavesTheWholeBufferZero) {
    const FailureCase& c = GetParam();
    use_machine(machine_with("x86_64"));
    if (c.fault[0] != '\0') change_machine(c.fault);
    uint8_t buffer[16];
    std::memset(buffer, 0x5A, sizeof buffer);
    EXPECT_EQ(
        SeriesBackend::get_parameter(controller_id(2), buffer, c.buffer_size, 0x402, 8, c.size),
        -1);
    for (uint32_t i = 0; i < c.buffer_size; ++i) ASSERT_EQ(buffer[i], 0) << i;
    for (uint32_t i = c.buffer_size; i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], 0x5A) << i;
    EXPECT_EQ(requests(264).size(), c.requests);

    const ErrorRecord record = last_error();
    EXPECT_EQ(record.flags, c.flags);
    const int32_t code = c.flags == 0x1       ? record.api_code
                         : c.flags == 0x2     ? record.os_error
                         : c.flags == 0x20004 ? record.driver_status
                                              : record.controller_status;
    EXPECT_EQ(code, c.code);
}

INSTANTIATE_TEST_SUITE_P(Faults, ParameterFailures, ::testing::ValuesIn(kFailures),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SetParameter, RefusesAValueSmallerThanTheParameter) {
    use_machine(machine_with("x86_64"));
    const char serial[4] = "AB";
    EXPECT_EQ(SeriesBackend::set_parameter(controller_id(2), serial, sizeof serial, 0x402, 9, 20),
              -1);
    EXPECT_STREQ(last_error().text, "(0x0B:0x0074): User buffer is too small");
    EXPECT_TRUE(requests(264).empty());
}

TEST(CompatInfo, DriverRequest257FillsTheWholeRecord) {
    use_machine(machine_with("x86_64") +
                "set index=2 driver-version=3.26.02.044 srl=42 srl-min=21\n");
    DriverCompatInfo info;
    std::memset(&info, 0xEE, sizeof info);
    ASSERT_EQ(SeriesBackend::get_compat_info(controller_id(2), &info), 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(info.bytes), "3.26.02.044");
    EXPECT_EQ(info.running_srl(), 42);
    EXPECT_EQ(info.lowest_srl(), 21);
    EXPECT_EQ(info.bytes[127], 0x5A);  // the driver's own part, as it came
    const std::vector<sim::JournalEntry> sent = requests(257);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(load32(&sent[0].sent[20]), 128u);
    // A bare header and area; the caller's record goes as the data.
    EXPECT_EQ(
        first_difference(sent[0].sent, expected_request(257, {}, std::vector<uint8_t>(128, 0xEE))),
        -1);
}

}  // namespace
