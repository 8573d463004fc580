// Controller discovery against simulated machines: pairing of hosts and
// nodes, node repair, virtual-machine drivers, and the failures discovery
// records.
#include <fcntl.h>

#include <memory>
#include <utility>
#include <vector>

#include "driver/driver_layer.h"
#include "driver/kernel_check.h"
#include "tests/driver/sim_machine.h"
#include "tests/support/param_names.h"

namespace {

using Nodes = std::vector<std::pair<int, std::string>>;

struct DiscoveryCase {
    const char* name;
    const char* scenario;
    Nodes nodes;  // controller index and node path, ascending
};
PRINT_CASE_BY_NAME(DiscoveryCase)

const DiscoveryCase kDiscoveryCases[] = {
    {"sysfs_pairing_counts_up_on_a_new_kernel",
     "kernel release=6.1.0\n"
     "driver name=dq-Mxxx pairing=sysfs\n"
     "scsihost host=0 stats=\"ahci\\n\"\n"
     "controller index=3 driver=dq-Mxxx arch=5\n"
     "controller index=5 driver=dq-Mxxx arch=5\n",
     {{3, "/dev/kqa0"}, {5, "/dev/kqa1"}}},
    {"sysfs_pairing_counts_down_on_an_old_kernel",
     "kernel release=2.6.23-smp\n"
     "driver name=dq-Mxxx pairing=sysfs\n"
     "controller index=3 driver=dq-Mxxx arch=5\n"
     "controller index=5 driver=dq-Mxxx arch=5\n",
     {{3, "/dev/kqa254"}, {5, "/dev/kqa253"}}},
    {"proc_pairing_counts_down",
     "driver name=dq-xxxx pairing=proc\n"
     "controller index=1 driver=dq-xxxx\n"
     "controller index=6 driver=dq-xxxx\n",
     {{1, "/dev/kqe254"}, {6, "/dev/kqe253"}}},
    {"proc_pairing_skips_a_host_whose_node_is_gone",
     "driver name=dq-xxxx pairing=proc\n"
     "controller index=1 driver=dq-xxxx minor=250\n"
     "controller index=6 driver=dq-xxxx minor=240\n",
     {{1, "/dev/kqe250"}, {6, "/dev/kqe240"}}},
    {"host_whose_statistics_cannot_be_read_keeps_no_node",
     "driver name=dq-Mxxx pairing=sysfs\n"
     "controller index=3 driver=dq-Mxxx arch=5\n"
     "controller index=5 driver=dq-Mxxx arch=5\n"
     "fault call=open path=/sys/class/scsi_host/host3/stats errno=EACCES count=-1\n",
     {{5, "/dev/kqa0"}}},
    {"sas_hosts_are_recognised_by_their_own_statistics_file",
     "driver name=dq-sas pairing=sysfs\n"
     "scsihost host=1 stats=\"dq-sas lookalike\\n\"\n"
     "controller index=2 driver=dq-sas arch=8\n",
     {{2, "/dev/kql0"}}},
    {"generic_statistics_belong_to_the_second_series_driver_only",
     "driver name=dq-Mxxx pairing=sysfs\n"
     "driver name=dq-nv pairing=sysfs\n"
     "controller index=4 driver=dq-Mxxx arch=5 stats=\"Driver version 3.26\\n\"\n"
     "controller index=6 driver=dq-nv arch=5\n",
     {{4, "/dev/kqa0"}, {6, "/dev/kqn0"}}},
    {"all_series_together",
     "driver name=dq-xxxx pairing=proc\n"
     "driver name=dq-Mxxx pairing=sysfs\n"
     "driver name=dq-sas pairing=sysfs\n"
     "controller index=1 driver=dq-xxxx\n"
     "controller index=2 driver=dq-Mxxx arch=5\n"
     "controller index=3 driver=dq-sas arch=8\n",
     {{1, "/dev/kqe254"}, {2, "/dev/kqa0"}, {3, "/dev/kql0"}}},
    {"virtual_machine_links",
     "driver name=dq-Mxxx_vm40 pairing=link\n"
     "controller index=0 driver=dq-Mxxx_vm40 arch=6\n"
     "controller index=2 driver=dq-Mxxx_vm40 arch=6\n",
     {{0, "/dev/kqavm0"}, {2, "/dev/kqavm2"}}},
    {"virtual_machine_devices_from_proc",
     "driver name=dq-sas_vm50 pairing=proc\n"
     "controller index=1 driver=dq-sas_vm50 arch=8\n"
     "controller index=4 driver=dq-sas_vm50 arch=8\n",
     {{1, "/dev/kqlvm1"}, {4, "/dev/kqlvm4"}}},
    {"numbers_above_254_are_not_controllers",
     "driver name=dq-Mxxx pairing=sysfs\n"
     "driver name=dq-sas_vm50 pairing=proc\n"
     "controller index=300 driver=dq-Mxxx arch=5 minor=7\n"
     "controller index=4 driver=dq-Mxxx arch=5 minor=0\n"
     "controller index=900 driver=dq-sas_vm50 arch=8\n"
     "controller index=9 driver=dq-sas_vm50 arch=8\n",
     {{4, "/dev/kqa0"}, {9, "/dev/kqlvm9"}}},
    {"no_driver_loaded", "scsihost host=0 stats=\"ahci\\n\"\n", {}},
    {"default_machine",
     sim::default_scenario(),
     {{1, "/dev/kqe254"}, {2, "/dev/kqa0"}, {3, "/dev/kql0"}}},
};

class Discovery : public ::testing::TestWithParam<DiscoveryCase> {};

TEST_P(Discovery, PairsHostsWithNodes) {
    load_machine(GetParam().scenario);
    auto layer = std::make_unique<DriverLayer>();
    ControllerIdList list;
    ASSERT_EQ(layer->list_controllers(&list), 0);

    const Nodes& expected = GetParam().nodes;
    ASSERT_EQ(list.count, expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const uint8_t want[8] = {1, uint8_t(expected[i].first), 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
        EXPECT_EQ(std::memcmp(list.ids[i].b, want, 8), 0) << "entry " << i;
        EXPECT_STREQ(layer->node_path(uint8_t(expected[i].first)), expected[i].second.c_str());
    }
    for (size_t i = expected.size(); i < 255; ++i) {
        const uint8_t unused[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
        ASSERT_EQ(std::memcmp(list.ids[i].b, unused, 8), 0) << "entry " << i;
    }
    if (expected.empty()) {
        const ErrorRecord record = last_error();
        EXPECT_EQ(record.flags, uint32_t(kErrApi));
        EXPECT_STREQ(record.text, "(0x0B:0x0001): No controller");
    }
}

INSTANTIATE_TEST_SUITE_P(Machines, Discovery, ::testing::ValuesIn(kDiscoveryCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Discovery, CreatesAndRepairsNodes) {
    load_machine(
        "devices-line text=\"240 kqavm0\"\n"
        "driver name=dq-Mxxx major=245 pairing=sysfs\n"
        "devnode path=/dev/kqa3 kind=char major=245 minor=4 mode=0644\n"
        "devnode path=/dev/kqa7 kind=file mode=0644\n"
        "devnode path=/dev/kqa9 kind=char major=245 minor=9 mode=0644\n"
        "devnode path=/dev/kqa11 kind=char major=240 minor=11 mode=0600\n"
        "controller index=3 driver=dq-Mxxx arch=5\n");
    DriverLayer layer;
    for (int minor = 0; minor < 255; ++minor) {
        const sim::NodeInfo node = sim::node_info("/dev/kqa" + std::to_string(minor));
        ASSERT_TRUE(node.char_device) << minor;
        EXPECT_EQ(node.major, 245) << minor;
        EXPECT_EQ(node.minor, minor);
        // A node that was already right is left as it was.
        EXPECT_EQ(node.mode, minor == 9 ? 0644u : 0600u) << minor;
    }
    EXPECT_STREQ(layer.node_path(3), "/dev/kqa0");
}

// A virtual-machine device is a character device (major of its
// /proc/devices line, minor 0) of mode 0600; anything else under its name is
// replaced.
TEST(Discovery, RepairsVirtualMachineNodes) {
    load_machine(
        "driver name=dq-sas_vm40 pairing=proc\n"
        "devnode path=/dev/kqlvm1 kind=file mode=0644\n"
        "devnode path=/dev/kqlvm4 kind=char major=231 minor=3 mode=0644\n"
        "devnode path=/dev/kqlvm6 kind=char major=200 minor=0 mode=0644\n"
        "controller index=1 driver=dq-sas_vm40 arch=8 major=232\n"
        "controller index=4 driver=dq-sas_vm40 arch=8 major=231\n"
        "controller index=6 driver=dq-sas_vm40 arch=8 major=233\n");
    DriverLayer layer;
    const struct {
        uint8_t index;
        const char* node;
        int major;
    } expected[] = {{1, "/dev/kqlvm1", 232}, {4, "/dev/kqlvm4", 231}, {6, "/dev/kqlvm6", 233}};
    for (const auto& e : expected) {
        SCOPED_TRACE(e.node);
        const sim::NodeInfo node = sim::node_info(e.node);
        ASSERT_TRUE(node.char_device);
        EXPECT_EQ(node.major, e.major);
        EXPECT_EQ(node.minor, 0);
        EXPECT_EQ(node.mode, 0600u);
        EXPECT_STREQ(layer.node_path(e.index), e.node);
    }
}

TEST(Discovery, ChecksTheKernelAgainstTheBuild) {
    load_machine(
        "kernel machine=x86_64\n"
        "driver name=dq-Mxxx pairing=sysfs\n"
        "controller index=3 driver=dq-Mxxx arch=5\n");
    DriverLayer thirty_two_bit("i686");
    ControllerIdList list;
    std::memset(&list, 0x11, sizeof list);
    EXPECT_EQ(thirty_two_bit.list_controllers(&list), -1);
    EXPECT_EQ(list.count, 0x11111111u);  // nothing written
    EXPECT_STREQ(last_error().text,
                 "(0x0B:0x006A): Invalid API binary arch, mismatch build and runtime arch");
    EXPECT_FALSE(sim::node_info("/dev/kqa0").exists);

    load_machine(
        "kernel machine=ppc64\n"
        "driver name=dq-Mxxx pairing=sysfs\n"
        "controller index=3 driver=dq-Mxxx arch=5\n");
    DriverLayer on_another_machine("i686");
    EXPECT_EQ(on_another_machine.list_controllers(&list), 0);
    EXPECT_EQ(list.count, 1u);
}

struct DiscoveryFailure {
    const char* name;
    const char* scenario;
    Nodes nodes;
    int os_error;
    const char* absent_node;  // a node the failed pair never created, or ""
};
PRINT_CASE_BY_NAME(DiscoveryFailure)

const DiscoveryFailure kFailures[] = {
    {"node_cannot_be_created",
     "driver name=dq-xxxx pairing=proc\n"
     "driver name=dq-sas pairing=sysfs\n"
     "controller index=1 driver=dq-xxxx\n"
     "controller index=2 driver=dq-sas arch=8\n"
     "fault call=mknod path=/dev/kql5 errno=EROFS\n",
     {{1, "/dev/kqe254"}},
     EROFS,
     "/dev/kql6"},
    {"wrong_node_cannot_be_removed",
     "driver name=dq-xxxx pairing=proc\n"
     "driver name=dq-sas pairing=sysfs\n"
     "controller index=1 driver=dq-xxxx\n"
     "controller index=2 driver=dq-sas arch=8\n"
     "devnode path=/dev/kql2 kind=char major=246 minor=9\n"
     "fault call=unlink path=/dev/kql2 errno=EPERM\n",
     {{1, "/dev/kqe254"}},
     EPERM,
     "/dev/kql3"},
    {"virtual_machine_node_cannot_be_created",
     "driver name=dq-xxxx pairing=proc\n"
     "driver name=dq-sas_vm40 pairing=proc\n"
     "controller index=1 driver=dq-xxxx\n"
     "controller index=3 driver=dq-sas_vm40 arch=8\n"
     "controller index=4 driver=dq-sas_vm40 arch=8\n"
     "fault call=mknod path=/dev/kqlvm3 errno=EROFS\n",
     {{1, "/dev/kqe254"}},
     EROFS,
     "/dev/kqlvm4"},
};

class DiscoveryFailures : public ::testing::TestWithParam<DiscoveryFailure> {};

TEST_P(DiscoveryFailures, RecordTheErrorAndEndThePair) {
    load_machine(GetParam().scenario);
    DriverLayer layer;
    const ErrorRecord record = last_error();
    EXPECT_EQ(record.flags, uint32_t(kErrOs));
    EXPECT_EQ(record.os_error, GetParam().os_error);
    ControllerIdList list;
    ASSERT_EQ(layer.list_controllers(&list), 0);
    ASSERT_EQ(list.count, GetParam().nodes.size());
    for (const auto& node : GetParam().nodes)
        EXPECT_STREQ(layer.node_path(uint8_t(node.first)), node.second.c_str());
    EXPECT_FALSE(sim::node_info(GetParam().absent_node).exists);
}

INSTANTIATE_TEST_SUITE_P(Machines, DiscoveryFailures, ::testing::ValuesIn(kFailures),
                         [](const auto& info) { return std::string(info.param.name); });

struct OpenCase {
    const char* name;
    uint8_t controller;
    const char* fault;
    int os_error;  // 0: the open succeeds
};
PRINT_CASE_BY_NAME(OpenCase)

const OpenCase kOpenCases[] = {
    {"present_controller", 2, "", 0},
    {"index_without_a_node", 7, "", ENOENT},
    {"index_255_names_no_controller", 255, "", ENOENT},
    {"node_that_will_not_open", 2, "fault call=open index=2 errno=EACCES\n", EACCES},
};

class OpenController : public ::testing::TestWithParam<OpenCase> {};

TEST_P(OpenController, OpensOrRecordsTheOsError) {
    load_machine(
        "driver name=dq-Mxxx pairing=sysfs\n"
        "controller index=2 driver=dq-Mxxx arch=5\n");
    DriverLayer layer;
    change_machine(GetParam().fault);
    ObjectId id = {{1, GetParam().controller, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
    int32_t fd = -7;
    const int result = layer.open_controller(id, &fd);
    if (GetParam().os_error == 0) {
        ASSERT_EQ(result, 0);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(layer.close_controller(fd), 0);
        return;
    }
    EXPECT_EQ(result, -1);
    EXPECT_EQ(fd, -7);
    const ErrorRecord record = last_error();
    EXPECT_EQ(record.flags, uint32_t(kErrOs));
    EXPECT_EQ(record.os_error, GetParam().os_error);
}

INSTANTIATE_TEST_SUITE_P(Controllers, OpenController, ::testing::ValuesIn(kOpenCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(OpenController, CloseFailureIsRecorded) {
    load_machine("driver name=dq-Mxxx pairing=sysfs\ncontroller index=2 driver=dq-Mxxx arch=5\n");
    DriverLayer layer;
    EXPECT_EQ(layer.close_controller(-1), -1);
    EXPECT_EQ(last_error().os_error, EBADF);
}

struct ReleaseCase {
    const char* release;
    bool old;
};

TEST(KernelCheck, OldKernelReleases) {
    const ReleaseCase cases[] = {
        {"2.6.23", true},         {"2.6.23-smp", true},      {"2.4.20", true},
        {"2.6.9-42.ELsmp", true}, {"2.6.24", false},         {"2.4.30", false},
        {"3.0.0", false},         {"6.1.0-18-amd64", false}, {"2.6", true},
    };
    for (const ReleaseCase& c : cases)
        EXPECT_EQ(is_old_kernel_release(c.release), c.old) << c.release;
}

TEST(KernelCheck, MachineAgainstBuild) {
    EXPECT_TRUE(machine_matches_build("x86_64", "x86_64"));
    EXPECT_FALSE(machine_matches_build("x86_64", "i686"));
    EXPECT_TRUE(machine_matches_build("ppc64", "i686"));
    EXPECT_TRUE(machine_matches_build("i686", "i686"));
}

}  // namespace
