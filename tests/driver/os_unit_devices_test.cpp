// Telling the operating system of a unit made or removed: the writes to the
// kernel's SCSI files, each compared whole with the simulator's journal.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "driver/driver_access.h"
#include "driver/driver_layer.h"
#include "tests/driver/sim_machine.h"

namespace {

// Controller 2 (family 8) has a unit 0 of two LUNs that the host sees and a
// unit 1 of two LUNs that it does not; 1 is of the first series, 3 of
// family 9, 0 behind a virtual-machine driver.
constexpr char kMachine[] =
    "driver name=dq-xxxx pairing=proc\n"
    "driver name=dq-Mxxx pairing=sysfs\n"
    "driver name=dq-Mxxx_vm40 pairing=link\n"
    "controller index=1 driver=dq-xxxx\n"
    "controller index=2 driver=dq-Mxxx arch=8 ports=8\n"
    "  drive port=0\n  drive port=1\n  drive port=2\n  drive port=3\n"
    "  unit number=0 type=raid1 drives=0,1 luns=2\n"
    "  unit number=1 type=raid1 drives=2,3 luns=2 attached=0\n"
    "controller index=3 driver=dq-Mxxx arch=9\n"
    "controller index=0 driver=dq-Mxxx_vm40 arch=6\n"
    "  drive port=0\n"
    "  unit number=0 type=single drives=0\n";

constexpr char kProc[] = "/proc/scsi/scsi";
constexpr char kScan[] = "/sys/class/scsi_host/host2/scan";

ObjectId controller_id(uint8_t index) { return {{1, index, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}}; }
ObjectId unit_id(uint8_t index, uint8_t unit) {
    return {{2, index, 0xFF, 1, unit, 0xFF, 0xFF, 0xFF}};
}

struct Write {
    std::string path, text;
    int error;
    bool operator==(const Write& o) const {
        return path == o.path && text == o.text && error == o.error;
    }
};

void PrintTo(const Write& w, std::ostream* os) {
    *os << w.path << " \"" << w.text << "\" " << w.error;
}

// Every write to a kernel SCSI file since the journal was cleared.
std::vector<Write> file_writes() {
    std::vector<Write> writes;
    for (const sim::JournalEntry& e : sim::journal())
        if (e.request == 0)
            writes.push_back({e.path, std::string(e.sent.begin(), e.sent.end()), e.error});
    return writes;
}

struct Case {
    const char* name;
    const char* lines;  // applied to the machine first
    uint8_t controller, unit, action;
    int result;
    int32_t api_error;  // 0: nothing recorded
    std::vector<Write> writes;
    std::vector<std::string> devices;  // attached afterwards
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

const Case kCases[] = {
    {"add through procfs, one write per LUN", "", 2, 1, 1, 0, 0,
     {{kProc, "scsi add-single-device 2 0 1 0", 0}, {kProc, "scsi add-single-device 2 0 1 1", 0}},
     {"2:0:0:0", "2:0:0:1", "2:0:1:0", "2:0:1:1"}},
    {"add through procfs of a unit already there", "", 2, 0, 1, 0, 0, {}, {"2:0:0:0", "2:0:0:1"}},
    {"remove through procfs", "", 2, 0, 0, 0, 0,
     {{kProc, "scsi remove-single-device 2 0 0 0", 0},
      {kProc, "scsi remove-single-device 2 0 0 1", 0}},
     {}},
    {"remove through procfs of a unit whose first LUN is gone", "", 2, 1, 0, 0, 0, {},
     {"2:0:0:0", "2:0:0:1"}},
    {"add through sysfs", "fault call=open path=/proc/scsi/scsi errno=EACCES\n", 2, 1, 1, 0, 0,
     {{kScan, "0 1 0", 0}, {kScan, "0 1 1", 0}},
     {"2:0:0:0", "2:0:0:1", "2:0:1:0", "2:0:1:1"}},
    {"remove through sysfs", "fault call=open path=/proc/scsi/scsi errno=EACCES\n", 2, 0, 0, 0, 0,
     {{"/sys/bus/scsi/devices/2:0:0:0/delete", "1", 0},
      {"/sys/bus/scsi/devices/2:0:0:1/delete", "1", 0}},
     {}},
    {"sysfs does not look first: a device that is not there",
     "fault call=open path=/proc/scsi/scsi errno=EACCES\n", 2, 1, 0, -1, 69, {},
     {"2:0:0:0", "2:0:0:1"}},
    {"sysfs does not look first: a device already there",
     "fault call=open path=/proc/scsi/scsi errno=EACCES\n", 2, 0, 1, -1, 70,
     {{kScan, "0 0 0", EEXIST}}, {"2:0:0:0", "2:0:0:1"}},
    {"neither file opens",
     "fault call=open path=/proc/scsi/scsi errno=EACCES\n"
     "fault call=open path=/sys/class/scsi_host/host2/scan errno=ENOENT\n",
     2, 1, 1, -1, 21, {}, {"2:0:0:0", "2:0:0:1"}},
    {"an unknown action", "", 2, 1, 2, -1, 21, {}, {"2:0:0:0", "2:0:0:1"}},
    {"a LUN count that cannot be read counts one LUN",
     "fault index=2 table=0x301 parameter=16 firmware-code=0x010C\n", 2, 1, 1, 0, 0,
     {{kProc, "scsi add-single-device 2 0 1 0", 0}}, {"2:0:0:0", "2:0:0:1", "2:0:1:0"}},
    {"a line of /proc/scsi/scsi without its numbers", "scsi-line text=\"Host: scsi3 garbage\"\n",
     2, 1, 1, -1, 21, {}, {"2:0:0:0", "2:0:0:1"}},
    {"first series: one LUN", "", 1, 0, 1, 0, 0, {{kProc, "scsi add-single-device 1 0 0 0", 0}},
     {"2:0:0:0", "2:0:0:1", "1:0:0:0"}},
};

class OsUnitDevices : public ::testing::TestWithParam<Case> {};

TEST_P(OsUnitDevices, WritesTheKernelFiles) {
    const Case& c = GetParam();
    load_machine(kMachine);
    library_driver_layer().rediscover();
    if (*c.lines) change_machine(c.lines);
    sim::clear_journal();
    clear_last_error();
    EXPECT_EQ(DriverAccess::notify_os_unit_change(controller_id(c.controller),
                                                  unit_id(c.controller, c.unit), c.action),
              c.result);
    EXPECT_EQ(file_writes(), c.writes);
    EXPECT_EQ(sim::scsi_devices(), c.devices);
    const ErrorRecord record = last_error();
    if (c.result == 0 && c.api_error == 0) {
        // A LUN count the firmware refused stays recorded; nothing else does.
        EXPECT_EQ(record.api_code, 0);
    } else if (c.api_error != 0) {
        EXPECT_EQ(record.flags, uint32_t(kErrApi));
        EXPECT_EQ(record.api_code, c.api_error);
    }
}

INSTANTIATE_TEST_SUITE_P(Notices, OsUnitDevices, ::testing::ValuesIn(kCases));

TEST(OsUnitDevicesEarlyOut, VirtualMachineAndFamiliesWithoutDevices) {
    load_machine(kMachine);
    library_driver_layer().rediscover();
    // Behind a virtual-machine driver there is nothing to do.
    sim::clear_journal();
    EXPECT_EQ(DriverAccess::notify_os_unit_change(controller_id(0), unit_id(0, 0), 1), 0);
    EXPECT_TRUE(file_writes().empty());
    // Family 9 and an index without a controller: -1, the record untouched.
    for (uint8_t index : {3, 7}) {
        SCOPED_TRACE(int(index));
        clear_last_error();
        set_last_error(kErrApi, 93, 0, 0, 0, nullptr, nullptr);
        const ErrorRecord before = last_error();
        sim::clear_journal();
        EXPECT_EQ(DriverAccess::notify_os_unit_change(controller_id(index), unit_id(index, 0), 1),
                  -1);
        EXPECT_TRUE(file_writes().empty());
        const ErrorRecord after = last_error();
        EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
    }
}

TEST(OsUnitDevicesEarlyOut, PresenceOfADevice) {
    load_machine(kMachine);
    DriverLayer& layer = library_driver_layer();
    layer.rediscover();
    struct Case {
        uint8_t host, target, lun, present;
    };
    for (const Case& c : {Case{2, 0, 1, 1}, Case{2, 0, 2, 0}, Case{2, 1, 0, 0}, Case{3, 0, 0, 0}}) {
        uint8_t present = 9;
        ASSERT_EQ(layer.is_scsi_device_present(c.host, c.target, c.lun, &present), 0);
        EXPECT_EQ(present, c.present) << int(c.host) << ":" << int(c.target) << ":" << int(c.lun);
    }
    // A device listed after more than a megabyte of the list is found.
    std::string lines;
    for (int i = 0; i < 12000; ++i)
        lines += "scsi-line text=\"  Vendor: SIMCTL   Model: Logical Disk     Rev: 1.00 "
                 "                                       \"\n";
    change_machine(lines + "scsi-line text=\"Host: scsi2 Channel: 00 Id: 05 Lun: 00\"\n");
    uint8_t listed = 9;
    ASSERT_EQ(layer.is_scsi_device_present(2, 5, 0, &listed), 0);
    EXPECT_EQ(listed, 1);

    change_machine("fault call=open path=/proc/scsi/scsi errno=EACCES\n");
    uint8_t present = 9;
    EXPECT_EQ(layer.is_scsi_device_present(2, 0, 0, &present), -1);
    EXPECT_EQ(present, 0);
    EXPECT_STREQ(last_error().text, "(0x0B:0x0015): Failed to notify OS of unit change");
}

}  // namespace
