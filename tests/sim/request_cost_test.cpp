// What driver requests cost on the simulated machine: the firmware's latency
// ("latency request-us="), waited out in real time without holding up the
// rest of the machine, and the counts of requests and distinct requests.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "sim/sim.h"
#include "tests/sim/kernel_files.h"

namespace {

using Clock = std::chrono::steady_clock;

// One second-series controller on the base driver (node /dev/kqa0) and one
// on the SAS driver, whose compatibility and event files are requests too.
const char kMachine[] =
    "clock mode=virtual\n"
    "driver name=dq-Mxxx pairing=sysfs\n"
    "driver name=dq-sas pairing=sysfs\n"
    "controller index=2 driver=dq-Mxxx arch=6 ports=4\n"
    "controller index=3 driver=dq-sas arch=8 ports=4\n"
    "  event code=0x0019 severity=2 text=\"port=1\"\n";
const char kCompatFile[] = "/sys/class/scsi_host/host3/tavix_compat_info";
const char kEventFile[] = "/sys/class/scsi_host/host3/tavix_aen_read";

void load(const std::string& scenario) {
    std::string error;
    ASSERT_TRUE(sim::load_scenario(scenario, &error)) << error;
}

void apply(const std::string& lines) {
    std::string error;
    ASSERT_TRUE(sim::apply(lines, &error)) << error;
}

int open_controller() {
    sim::kernel_unlink("/dev/kqa0");
    EXPECT_EQ(sim::kernel_mknod("/dev/kqa0", S_IFCHR | 0600, makedev(245, 0)), 0);
    const int fd = sim::kernel_open("/dev/kqa0", O_RDWR);
    EXPECT_GE(fd, 0);
    return fd;
}

// GET PARAMETER of (table, id) as it reaches the driver.
std::vector<uint8_t> get_parameter(uint16_t table, uint16_t id, uint16_t size) {
    std::vector<uint8_t> b(1536 + 8 + size, 0);
    auto put = [&](size_t at, uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
    };
    put(0, 264, 4);
    put(20, 8u + size, 4);
    b[512 + 124] = 0x80;
    b[640] = 0x52;
    struct utsname name;
    ::uname(&name);
    const bool wide =
        std::strcmp(name.machine, "x86_64") == 0 || std::strcmp(name.machine, "ppc64") == 0;
    b[641] = wide ? 5 : 4;
    b[646] = 1;
    put(1536, table, 2);
    put(1538, id, 2);
    put(1540, size, 2);
    return b;
}

int request(int fd, uint16_t id = 14) {
    std::vector<uint8_t> b = get_parameter(0x8402, id, 4);
    return sim::kernel_ioctl(fd, 264, b.data());
}

double milliseconds_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

template <typename F>
double milliseconds_of(F f) {
    const Clock::time_point start = Clock::now();
    f();
    return milliseconds_since(start);
}

// The fastest of 100 requests, in milliseconds: what a request takes
// itself, whatever else the host does meanwhile.
double fastest_request(int fd) {
    double fastest = 1e9;
    for (int i = 0; i < 100; ++i)
        fastest = std::min(fastest, milliseconds_of([&] { EXPECT_EQ(request(fd), 0); }));
    return fastest;
}

TEST(RequestLatency, EveryDriverRequestTakesItInRealTime) {
    load(std::string(kMachine) + "latency request-us=40000\n");
    const int fd = open_controller();
    // An ioctl, on the virtual clock too, and without counting as a pause.
    EXPECT_GE(milliseconds_of([&] { EXPECT_EQ(request(fd), 0); }), 40.0);
    EXPECT_EQ(sim::slept_microseconds(), 0u);
    // The SAS driver's compatibility and event files: one wait per read.
    EXPECT_GE(milliseconds_of([] { EXPECT_EQ(read_kernel_file(kCompatFile).size(), 128u); }), 40.0);
    EXPECT_GE(milliseconds_of([] { EXPECT_EQ(read_kernel_file(kEventFile).size(), 28672u); }),
              40.0);
    // A request the driver refuses without passing it on takes no time.
    std::vector<uint8_t> b = get_parameter(0x8402, 14, 4);
    EXPECT_LT(milliseconds_of([&] { EXPECT_EQ(sim::kernel_ioctl(fd, 999, b.data()), -1); }), 40.0);
    EXPECT_EQ(errno, ENOTTY);

    // A new value applies to the running machine; 0 answers at once.
    apply("latency request-us=60000\n");
    EXPECT_GE(milliseconds_of([&] { EXPECT_EQ(request(fd), 0); }), 60.0);
    apply("latency request-us=0\n");
    EXPECT_LT(fastest_request(fd), 0.15);
    sim::kernel_close(fd);

    // Without the line, none.
    load(kMachine);
    const int fresh = open_controller();
    EXPECT_LT(fastest_request(fresh), 0.15);
    sim::kernel_close(fresh);
}

TEST(RequestLatency, WrongLinesAreRefused) {
    load(std::string(kMachine) + "latency request-us=40000\n");
    std::string error;
    EXPECT_FALSE(sim::apply("latency request-us=-1\n", &error));
    EXPECT_NE(error.find("request-us=-1"), std::string::npos) << error;
    EXPECT_FALSE(sim::apply("latency\n", &error));
    EXPECT_NE(error.find("missing request-us="), std::string::npos) << error;
    EXPECT_FALSE(sim::apply("latency request-us=fast\n", &error));
    // The value in force stays.
    const int fd = open_controller();
    EXPECT_GE(milliseconds_of([&] { EXPECT_EQ(request(fd), 0); }), 40.0);
    sim::kernel_close(fd);
}

TEST(RequestLatency, OtherThreadsUseTheMachineMeanwhile) {
    load(std::string(kMachine) + "latency request-us=300000\n");
    const int fd = open_controller();
    // Two requests side by side (a page's and the monitor's) take the
    // latency once, not twice.
    const Clock::time_point start = Clock::now();
    std::thread other([&] { EXPECT_EQ(request(fd), 0); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    // Meanwhile the machine answers what is no driver request at once.
    EXPECT_LT(milliseconds_of([] { sim::request_counts(); }), 100.0);
    struct stat st;
    EXPECT_LT(milliseconds_of([&] { EXPECT_EQ(sim::kernel_stat("/dev/kqa0", &st, true), 0); }),
              100.0);
    EXPECT_EQ(request(fd), 0);
    other.join();
    const double both = milliseconds_since(start);
    EXPECT_GE(both, 350.0);
    EXPECT_LT(both, 550.0);
    sim::kernel_close(fd);
}

TEST(RequestCounts, AllRequestsAndTheDistinctOnes) {
    load(kMachine);
    const int fd = open_controller();
    // Before the first reset only the requests are counted.
    EXPECT_EQ(request(fd), 0);
    EXPECT_EQ(sim::request_counts().requests, 1u);
    EXPECT_EQ(sim::request_counts().distinct, 0u);

    sim::reset_request_counts();
    EXPECT_EQ(sim::request_counts().requests, 0u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(request(fd, 14), 0);
    EXPECT_EQ(request(fd, 15), 0);  // other bytes sent
    // The same bytes under another request number.
    std::vector<uint8_t> b = get_parameter(0x8402, 14, 4);
    EXPECT_EQ(sim::kernel_ioctl(fd, 512, b.data()), 0);
    // Refused before the driver passes it on: no request.
    EXPECT_EQ(sim::kernel_ioctl(fd, 999, b.data()), -1);
    sim::RequestCounts counts = sim::request_counts();
    EXPECT_EQ(counts.requests, 5u);
    EXPECT_EQ(counts.distinct, 3u);

    // The SAS driver's files: each read a request, each file one distinct
    // request; a write to a kernel SCSI file is none.
    read_kernel_file(kCompatFile);
    read_kernel_file(kCompatFile);
    read_kernel_file(kEventFile);
    read_kernel_file("/sys/class/scsi_host/host3/tavix_stats");
    const int scsi = sim::kernel_open("/proc/scsi/scsi", O_WRONLY);
    const std::string line = "scsi add-single-device 2 0 0 0";
    EXPECT_EQ(sim::kernel_write(scsi, line.data(), line.size()), ssize_t(line.size()));
    sim::kernel_close(scsi);
    counts = sim::request_counts();
    EXPECT_EQ(counts.requests, 8u);
    EXPECT_EQ(counts.distinct, 5u);

    // Past what the journal keeps.
    sim::reset_request_counts();
    for (int i = 0; i < 5000; ++i) EXPECT_EQ(request(fd, uint16_t(i % 2 == 0 ? 14 : 15)), 0);
    EXPECT_EQ(sim::journal().size(), 4096u);
    counts = sim::request_counts();
    EXPECT_EQ(counts.requests, 5000u);
    EXPECT_EQ(counts.distinct, 2u);
    sim::kernel_close(fd);

    // A machine loaded anew starts from nothing.
    load(kMachine);
    EXPECT_EQ(sim::request_counts().requests, 0u);
}

TEST(RequestCounts, OneControllersRequestIsNotAnothers) {
    load(
        "driver name=dq-Mxxx pairing=sysfs\n"
        "controller index=2 driver=dq-Mxxx arch=6 ports=4\n"
        "controller index=4 driver=dq-Mxxx arch=6 ports=4\n");
    sim::kernel_unlink("/dev/kqa1");
    ASSERT_EQ(sim::kernel_mknod("/dev/kqa1", S_IFCHR | 0600, makedev(245, 1)), 0);
    const int first = open_controller(), second = sim::kernel_open("/dev/kqa1", O_RDWR);
    ASSERT_GE(second, 0);
    sim::reset_request_counts();
    EXPECT_EQ(request(first), 0);
    EXPECT_EQ(request(second), 0);
    EXPECT_EQ(request(second), 0);
    EXPECT_EQ(sim::request_counts().requests, 3u);
    EXPECT_EQ(sim::request_counts().distinct, 2u);
    sim::kernel_close(first);
    sim::kernel_close(second);
}

}  // namespace
