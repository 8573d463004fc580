// The first-series firmware's scenario and control lines: what the
// simulator refuses to build, and the driver version files it writes.
#include <gtest/gtest.h>

#include <string>

#include "sim/sim.h"
#include "tests/sim/kernel_files.h"

namespace {

constexpr char kController[] =
    "driver name=dq-xxxx pairing=proc\n"
    "controller index=1 driver=dq-xxxx ports=8\n"
    "  drive port=0\n  drive port=1\n  drive port=2\n";

struct BadLine {
    const char* name;
    const char* line;
    const char* error;
};

const BadLine kBadLines[] = {
    {"unknown_type", "unit number=0 type=raid6 drives=0,1,2", "line 6: unknown unit type raid6"},
    {"count_of_the_type", "unit number=0 type=raid5 drives=0,1",
     "line 6: a raid5 unit cannot be made of drives=0,1"},
    {"port_without_drive", "unit number=0 type=raid1 drives=0,3", "line 6: no drive on port 3"},
    {"stripe", "unit number=0 type=raid0 drives=0,1 stripe=48",
     "line 6: stripe= must be 8 to 1024 KiB, a power of two"},
    {"failed_port_of_no_member", "unit number=0 type=raid1 drives=0,1 failed=2 status=degraded",
     "line 6: failed port 2 is no member"},
    {"degraded_without_a_failed_member", "unit number=0 type=raid1 drives=0,1 status=degraded",
     "line 6: status=degraded does not go with failed="},
    {"unit_number_beyond_the_firmware", "unit number=16 type=disk drives=0",
     "line 6: first-series unit numbers are 0 to 15"},
    {"fail_drive_of_an_empty_port", "fail-drive index=1 port=5",
     "line 6: fail-drive needs port= of a present drive"},
    {"advance_by_nothing", "advance index=1 percent=0", "line 6: advance needs percent= above 0"},
};

TEST(LegacyFirmwareScenario, LinesTheFirmwareCannotHold) {
    for (const BadLine& c : kBadLines) {
        SCOPED_TRACE(c.name);
        std::string error;
        EXPECT_FALSE(sim::load_scenario(std::string(kController) + c.line + "\n", &error));
        EXPECT_EQ(error, c.error);
    }
}

TEST(LegacyFirmwareScenario, DriverVersionInTheDriversFiles) {
    std::string error;
    ASSERT_TRUE(sim::load_scenario(std::string(kController) +
                                       "driver name=dq-Mxxx pairing=sysfs\n"
                                       "controller index=2 driver=dq-Mxxx arch=4\n",
                                   &error))
        << error;
    EXPECT_EQ(read_kernel_file("/proc/scsi/dq-xxxx/1"),
              "dq-xxxx controller 1\nDriver version: 1.26.02.002\n");
    EXPECT_EQ(read_kernel_file("/sys/class/scsi_host/host1/stats"),
              "dq-xxxx Driver version: 1.26.02.002\n");
    EXPECT_EQ(read_kernel_file("/sys/class/scsi_host/host2/stats"), "dq-Mxxx 3.26.02.000\n");
}

}  // namespace
