// The simulator on its own: the scenario language, the machine it presents
// through the kernel entry points, its firmware's refusals, the controller
// lock, the state file, the control file and the kernel SCSI files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sim/sim.h"
#include "tests/sim/kernel_files.h"

namespace {

void load(const std::string& scenario) {
    std::string error;
    ASSERT_TRUE(sim::load_scenario(scenario, &error)) << error;
}

std::string read_file(const char* path) { return read_kernel_file(path); }

int write_file(const char* path, const std::string& text) {
    const int fd = sim::kernel_open(path, O_WRONLY);
    if (fd < 0) return errno;
    const ssize_t n = sim::kernel_write(fd, text.data(), text.size());
    const int error = n < 0 ? errno : 0;
    sim::kernel_close(fd);
    return error;
}

std::vector<std::string> list(const char* path) {
    std::vector<std::string> names;
    EXPECT_EQ(sim::kernel_list_dir(path, &names), 0) << path;
    return names;
}

// A directory of this test's own, removed with what it holds.
class TempDir {
  public:
    TempDir() {
        char pattern[] = "/tmp/pyv2-sim-test-XXXXXX";
        const char* dir = mkdtemp(pattern);
        EXPECT_NE(dir, nullptr);
        path_ = dir != nullptr ? dir : "/tmp/pyv2-sim-test-failed";
    }
    ~TempDir() {
        for (const char* name : {"state", "state.tmp", "control"})
            ::unlink((path_ + "/" + name).c_str());
        ::rmdir(path_.c_str());
    }
    std::string file(const char* name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

void append(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "a");
    ASSERT_NE(f, nullptr);
    std::fputs(text.c_str(), f);
    std::fclose(f);
}

// A node the simulated kernel opens for a controller: made with mknod as the
// library would.
int open_node(const char* path, int major_number, int minor_number) {
    sim::kernel_unlink(path);
    EXPECT_EQ(sim::kernel_mknod(path, S_IFCHR | 0600, makedev(major_number, minor_number)), 0);
    return sim::kernel_open(path, O_RDWR);
}

uint16_t load16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t load32(const uint8_t* p) {
    return uint32_t(p[0] | p[1] << 8 | p[2] << 16) | uint32_t(p[3]) << 24;
}
void store16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void store32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

uint8_t packet_words() {
    struct utsname name;
    ::uname(&name);
    return std::strcmp(name.machine, "x86_64") == 0 || std::strcmp(name.machine, "ppc64") == 0 ? 5
                                                                                               : 4;
}

// A second-series parameter command as it reaches the driver.
std::vector<uint8_t> series_parameter(uint8_t opcode, uint16_t table, uint16_t id, uint16_t size,
                                      uint32_t value = 0) {
    std::vector<uint8_t> b(1536 + 8 + size, 0);
    store32(&b[0], 264);
    store32(&b[20], 8u + size);
    b[512 + 124] = 0x80;
    b[640] = opcode;
    b[641] = packet_words();
    b[646] = 1;
    store16(&b[1536], table);
    store16(&b[1538], id);
    store16(&b[1540], size);
    for (int i = 0; i < 4 && i < size; ++i) b[1544 + i] = uint8_t(value >> (8 * i));
    return b;
}

std::string area_text(const std::vector<uint8_t>& b, size_t offset) {
    return std::string(reinterpret_cast<const char*>(&b[512 + offset]));
}

TEST(Scenario, SyntaxErrorsNameTheLineAndKeepTheMachine) {
    load("driver name=dq-Mxxx\ncontroller index=2 driver=dq-Mxxx arch=5\n");
    struct Bad {
        const char* text;
        const char* error;
    };
    const Bad cases[] = {
        {"kernel release=6.1.0\nfrobnicate x=1\n", "line 2: unknown command frobnicate"},
        {"driver name=dq-unknown\n", "line 1: unknown driver name \"dq-unknown\""},
        {"driver name=dq-Mxxx\ncontroller index=1 driver=dq-sas\n", "line 2: controller on driver"},
        {"drive port=0 model=x\n", "line 1: no controller declared before this line"},
        {"driver name=dq-Mxxx\ncontroller index=1 driver=dq-Mxxx\ncontroller index=1 "
         "driver=dq-Mxxx\n",
         "line 3: controller 1 declared twice"},
        {"driver name=dq-Mxxx major=two\n", "line 1: bad number in major=two"},
        {"scsihost host=1 stats=\"open\n", "line 1: unterminated quote"},
        {"fault index=2 count=3\n", "line 1: a fault needs"},
        {"fault errno=ENOPE\n", "line 1: unknown errno=ENOPE"},
        {"devnode kind=char\n", "line 1: devnode needs path="},
    };
    for (const Bad& c : cases) {
        std::string error;
        EXPECT_FALSE(sim::load_scenario(c.text, &error)) << c.text;
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
    }
    EXPECT_NE(read_file("/proc/devices").find("245 kqa\n"), std::string::npos);
}

TEST(Scenario, DefaultMachineShowsBothSeries) {
    load(sim::default_scenario());
    const std::string devices = read_file("/proc/devices");
    EXPECT_NE(devices.find("247 kqe\n"), std::string::npos) << devices;
    EXPECT_NE(devices.find("245 kqa\n"), std::string::npos);
    EXPECT_NE(devices.find("246 kql\n"), std::string::npos);
    EXPECT_EQ(list("/proc/scsi/dq-xxxx"), (std::vector<std::string>{".", "..", "1"}));
    EXPECT_EQ(list("/sys/class/scsi_host"),
              (std::vector<std::string>{".", "..", "host0", "host1", "host2", "host3"}));
    EXPECT_EQ(read_file("/sys/class/scsi_host/host2/stats").rfind("dq-Mxxx", 0), 0u);
    EXPECT_EQ(read_file("/sys/class/scsi_host/host3/tavix_stats").rfind("dq-sas", 0), 0u);
    EXPECT_EQ(read_file("/sys/class/scsi_host/host3/tavix_aen_read").size(), 28672u);

    // Two second-series controllers of different architectures.
    uint32_t arch[2] = {};
    const char* nodes[2] = {"/dev/kqa0", "/dev/kql0"};
    const int majors[2] = {245, 246};
    for (int i = 0; i < 2; ++i) {
        const int fd = open_node(nodes[i], majors[i], 0);
        ASSERT_GE(fd, 0) << nodes[i];
        std::vector<uint8_t> b = series_parameter(0x52, 0x8402, 14, 4);
        ASSERT_EQ(sim::kernel_ioctl(fd, 264, b.data()), 0);
        EXPECT_EQ(b[644], 0);
        arch[i] = load32(&b[1544]);
        sim::kernel_close(fd);
    }
    EXPECT_GE(arch[0], 4u);
    EXPECT_LE(arch[1], 10u);
    EXPECT_NE(arch[0], arch[1]);
}

TEST(Scenario, VirtualMachineDevicesAndLinks) {
    load(
        "driver name=dq-Mxxx_vm40 pairing=link\n"
        "driver name=dq-sas_vm50 pairing=proc\n"
        "controller index=0 driver=dq-Mxxx_vm40 arch=6\n"
        "controller index=1 driver=dq-sas_vm50 arch=8\n");
    const std::string devices = read_file("/proc/devices");
    EXPECT_NE(devices.find("230 kqavm0\n"), std::string::npos) << devices;
    EXPECT_NE(devices.find("229 kqlvm1\n"), std::string::npos);
    EXPECT_TRUE(sim::node_info("/dev/kqavm0").link);
    const int fd = sim::kernel_open("/dev/kqavm0", O_RDWR);
    EXPECT_GE(fd, 0);
    sim::kernel_close(fd);
    struct stat st;
    EXPECT_EQ(sim::kernel_stat("/proc/scsi/dq-sas_vm50", &st, true), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(sim::kernel_stat("/proc/scsi/dq-Mxxx_vm40", &st, true), -1);
}

struct Refusal {
    const char* name;
    std::vector<uint8_t> request;
    uint16_t code;
    const char* text;
};

TEST(Firmware, RefusesWhatRealFirmwareRefuses) {
    load("driver name=dq-Mxxx\ncontroller index=2 driver=dq-Mxxx arch=6 ports=4\n");
    std::vector<uint8_t> bad_packet = series_parameter(0x52, 0x8402, 14, 4);
    bad_packet[641] = 9;
    std::vector<uint8_t> short_block = series_parameter(0x52, 0x8402, 14, 4);
    store32(&short_block[20], 11);
    std::vector<uint8_t> unknown_opcode = series_parameter(0x52, 0x8402, 14, 4);
    unknown_opcode[640] = 0x7E;
    const Refusal cases[] = {
        {"unknown_table", series_parameter(0x52, 0x8777, 1, 4), 0x010B,
         "Parameter table does not exist"},
        {"table_without_the_mark", series_parameter(0x52, 0x0402, 14, 4), 0x010B,
         "Parameter table does not exist"},
        {"port_the_controller_lacks", series_parameter(0x52, 0x8204, 3, 40), 0x010B,
         "Parameter table does not exist"},
        {"unknown_parameter", series_parameter(0x52, 0x8402, 30, 4), 0x010C,
         "Parameter index does not exist"},
        {"other_size", series_parameter(0x53, 0x8403, 62, 256), 0x010F,
         "Parameter item size mismatch"},
        {"packet_size", bad_packet, 0x010D, "Invalid field in CDB"},
        {"block_length", short_block, 0x0103, "SGL size does not match command"},
        {"opcode", unknown_opcode, 0x0101, "Invalid command opcode"},
    };
    const int fd = open_node("/dev/kqa0", 245, 0);
    for (Refusal c : cases) {
        ASSERT_EQ(sim::kernel_ioctl(fd, 264, c.request.data()), 0) << c.name;
        EXPECT_EQ(c.request[644], 1) << c.name;
        EXPECT_EQ(load16(&c.request[512 + 22]), c.code) << c.name;
        const std::string detail = area_text(c.request, 26);
        EXPECT_EQ(area_text(c.request, 26 + detail.size() + 1), c.text) << c.name;
    }
    sim::kernel_close(fd);
}

TEST(Firmware, FirstSeriesParameters) {
    load(
        "driver name=dq-xxxx pairing=proc\ncontroller index=1 driver=dq-xxxx "
        "model=\"QX-2400-4\"\n");
    const int fd = open_node("/dev/kqe254", 247, 254);
    ASSERT_GE(fd, 0);
    struct Case {
        uint16_t table;
        uint8_t id, size_byte;
        uint32_t length;
        uint16_t status;
    };
    const Case cases[] = {
        {0x402, 8, 16, 20, 0},       // model
        {0x402, 8, 16, 24, 0x0EC1},  // block longer than the parameter
        {0x003, 3, 16, 20, 0},       // unit status list: 16 bytes on this series
        {0x003, 3, 32, 36, 0x0EC1}, {0x777, 1, 4, 8, 0x15C1}, {0x402, 40, 4, 8, 0x16C1},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> b(1024 + c.length, 0);
        store32(&b[0], c.length);
        b[512] = 0x52;
        b[513] = 4;
        b[518] = 1;
        store16(&b[1024], c.table);
        b[1026] = c.id;
        b[1027] = c.size_byte;
        ASSERT_EQ(sim::kernel_ioctl(fd, 0x1F, b.data()), 0);
        EXPECT_EQ(b[516] | b[517] << 8, c.status) << std::hex << c.table << " " << int(c.id);
        if (c.table == 0x402 && c.status == 0) {
            EXPECT_STREQ(reinterpret_cast<char*>(&b[1028]), "QX-2400-4");
        }
    }
    sim::kernel_close(fd);
}

TEST(Driver, ControllerLock) {
    load("clock mode=virtual\ndriver name=dq-Mxxx\ncontroller index=2 driver=dq-Mxxx arch=6\n");
    const int fd = open_node("/dev/kqa0", 245, 0);
    auto lock_request = [&](uint32_t code, uint32_t timeout) {
        std::vector<uint8_t> b(1536 + 12, 0);
        store32(&b[0], code);
        store32(&b[20], 12);
        store32(&b[1536], timeout);
        EXPECT_EQ(sim::kernel_ioctl(fd, code, b.data()), 0);
        return load32(&b[4]);
    };
    EXPECT_EQ(lock_request(262, 5), 0u);
    EXPECT_EQ(lock_request(262, 5), 0x1002u);  // already locked
    sim::kernel_sleep(6000);                   // the lock runs out
    EXPECT_EQ(lock_request(262, 5000), 0u);
    EXPECT_EQ(lock_request(263, 0), 0u);
    EXPECT_EQ(lock_request(263, 0), 0x1001u);  // not locked
    sim::kernel_close(fd);
}

TEST(Driver, AbsentControllerAndInjectedFaults) {
    load(
        "driver name=dq-Mxxx\ncontroller index=2 driver=dq-Mxxx arch=6\n"
        "controller index=4 driver=dq-Mxxx arch=6 present=0\n");
    EXPECT_GE(open_node("/dev/kqa0", 245, 0), 0);
    EXPECT_EQ(open_node("/dev/kqa1", 245, 1), -1);
    EXPECT_EQ(errno, ENXIO);
    EXPECT_EQ(open_node("/dev/kqa9", 245, 9), -1);  // no controller answers there
    EXPECT_EQ(errno, ENXIO);

    std::string error;
    ASSERT_TRUE(sim::apply("fault index=2 request=264 errno=ENOMEM count=2\n", &error)) << error;
    const int fd = sim::kernel_open("/dev/kqa0", O_RDWR);
    std::vector<uint8_t> b = series_parameter(0x52, 0x8402, 14, 4);
    EXPECT_EQ(sim::kernel_ioctl(fd, 264, b.data()), -1);
    EXPECT_EQ(errno, ENOMEM);
    EXPECT_EQ(sim::kernel_ioctl(fd, 264, b.data()), -1);
    EXPECT_EQ(sim::kernel_ioctl(fd, 264, b.data()), 0);
    const std::vector<sim::JournalEntry> journal = sim::journal();
    ASSERT_GE(journal.size(), 3u);
    EXPECT_EQ(journal.back().result, 0);
    EXPECT_EQ(journal[journal.size() - 2].error, ENOMEM);
    sim::kernel_close(fd);
}

TEST(StateFile, ControllerChangesOutliveTheProcess) {
    const TempDir dir;
    const std::string state = dir.file("state");
    const std::string scenario =
        "state file=" + state + "\ndriver name=dq-Mxxx\ncontroller index=2 driver=dq-Mxxx arch=6\n";
    load(scenario);
    int fd = open_node("/dev/kqa0", 245, 0);
    std::vector<uint8_t> set = series_parameter(0x53, 0x8403, 28, 1, 1);
    ASSERT_EQ(sim::kernel_ioctl(fd, 264, set.data()), 0);
    ASSERT_EQ(set[644], 0);
    sim::kernel_close(fd);

    load(scenario);  // a restart
    fd = open_node("/dev/kqa0", 245, 0);
    std::vector<uint8_t> get = series_parameter(0x52, 0x8403, 28, 1);
    ASSERT_EQ(sim::kernel_ioctl(fd, 264, get.data()), 0);
    EXPECT_EQ(get[1544], 1);
    sim::kernel_close(fd);

    load("driver name=dq-Mxxx\ncontroller index=2 driver=dq-Mxxx arch=6\n");  // no state file
    fd = open_node("/dev/kqa0", 245, 0);
    get = series_parameter(0x52, 0x8403, 28, 1);
    ASSERT_EQ(sim::kernel_ioctl(fd, 264, get.data()), 0);
    EXPECT_EQ(get[1544], 0);
    sim::kernel_close(fd);
}

TEST(ControlFile, ChangesTheRunningMachine) {
    const TempDir dir;
    const std::string control = dir.file("control");
    append(control, "");
    load("control file=" + control +
         "\ndriver name=dq-Mxxx\ncontroller index=2 driver=dq-Mxxx arch=6\n");
    int fd = open_node("/dev/kqa0", 245, 0);
    ASSERT_GE(fd, 0);
    sim::kernel_close(fd);

    append(control, "set index=2 present=0");  // not applied before its line ends
    fd = sim::kernel_open("/dev/kqa0", O_RDWR);
    EXPECT_GE(fd, 0);
    sim::kernel_close(fd);

    append(control, "\nevent index=2 code=0x19 severity=2 text=\"port=3\"\n");
    EXPECT_EQ(sim::kernel_open("/dev/kqa0", O_RDWR), -1);
    EXPECT_EQ(errno, ENXIO);

    append(control, "set index=2 present=1\n");
    fd = sim::kernel_open("/dev/kqa0", O_RDWR);
    ASSERT_GE(fd, 0);
    std::vector<uint8_t> b(1536 + 112, 0);
    store32(&b[0], 258);
    store32(&b[20], 112);
    ASSERT_EQ(sim::kernel_ioctl(fd, 258, b.data()), 0);
    EXPECT_EQ(load32(&b[4]), 0u);
    EXPECT_EQ(load16(&b[1536 + 8]), 0x19);
    EXPECT_STREQ(reinterpret_cast<char*>(&b[1536 + 14]), "port=3");
    sim::kernel_close(fd);
}

TEST(ScsiFiles, EachWriteIsOneCommand) {
    load("driver name=dq-Mxxx\ncontroller index=2 driver=dq-Mxxx arch=6\n  unit number=0 luns=1\n");
    EXPECT_EQ(sim::scsi_devices(), (std::vector<std::string>{"2:0:0:0"}));
    EXPECT_NE(read_file("/proc/scsi/scsi").find("Host: scsi2 Channel: 00 Id: 00 Lun: 00"),
              std::string::npos);
    sim::clear_journal();

    EXPECT_EQ(write_file("/proc/scsi/scsi", "scsi add-single-device 2 0 1 0"), 0);
    EXPECT_EQ(write_file("/proc/scsi/scsi", "scsi add-single-device 2 0 1 0"), EEXIST);
    EXPECT_EQ(write_file("/proc/scsi/scsi", "scsi add-single-device 2 0 1 1 scsi add"), EINVAL);
    EXPECT_EQ(write_file("/sys/class/scsi_host/host2/scan", "0 1 1"), 0);
    EXPECT_EQ(write_file("/sys/bus/scsi/devices/2:0:0:0/delete", "1"), 0);
    EXPECT_EQ(write_file("/proc/scsi/scsi", "scsi remove-single-device 2 0 5 0"), ENXIO);
    EXPECT_EQ(sim::scsi_devices(), (std::vector<std::string>{"2:0:1:0", "2:0:1:1"}));
    EXPECT_EQ(write_file("/sys/bus/scsi/devices/2:0:0:0/delete", "1"), ENOENT);

    const std::vector<sim::JournalEntry> journal = sim::journal();
    ASSERT_EQ(journal.size(), 6u);
    EXPECT_EQ(journal[3].path, "/sys/class/scsi_host/host2/scan");
    EXPECT_EQ(std::string(journal[3].sent.begin(), journal[3].sent.end()), "0 1 1");
}

// What a newcomer sees on the default machine: each second-series
// controller has a healthy battery backup unit and a few recent events.
TEST(Scenario, DefaultMachineHasBatteriesAndEvents) {
    load(sim::default_scenario());
    const char* nodes[2] = {"/dev/kqa0", "/dev/kql0"};
    const int majors[2] = {245, 246};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(nodes[i]);
        const int fd = open_node(nodes[i], majors[i], 0);
        ASSERT_GE(fd, 0);
        std::vector<uint8_t> code = series_parameter(0x52, 0x8006, 65, 1, 0xFF);
        ASSERT_EQ(sim::kernel_ioctl(fd, 264, code.data()), 0);
        EXPECT_EQ(code[1544], 0);  // ok
        std::vector<uint8_t> word = series_parameter(0x52, 0x8006, 2, 4);
        ASSERT_EQ(sim::kernel_ioctl(fd, 264, word.data()), 0);
        EXPECT_EQ(load32(&word[1544]) & 0xC0000008u, 0xC0000008u);  // fitted, pack, ready
        // What the unit measures is not for writing.
        std::vector<uint8_t> set = series_parameter(0x53, 0x8006, 2, 4, 0);
        ASSERT_EQ(sim::kernel_ioctl(fd, 264, set.data()), 0);
        EXPECT_EQ(set[644], 1);
        EXPECT_EQ(load16(&set[512 + 22]), 0x0322);
        uint32_t events = 0;
        for (uint32_t sequence = 0;; ++events) {
            std::vector<uint8_t> b(1536 + 112, 0);
            store32(&b[0], 260);
            store32(&b[20], 112);
            store32(&b[1536], sequence);
            ASSERT_EQ(sim::kernel_ioctl(fd, 260, b.data()), 0);
            if (load32(&b[4]) != 0) break;
            sequence = load32(&b[1536]);
        }
        EXPECT_GE(events, 4u);
        sim::kernel_close(fd);
    }
}

}  // namespace

namespace {

TEST(Units, ScenarioLinesAreChecked) {
    const std::string machine =
        "driver name=dq-Mxxx\ncontroller index=2 driver=dq-Mxxx arch=8\n"
        "drive port=0\ndrive port=1\ndrive port=2\ndrive port=3\n"
        "unit number=0 type=raid1 drives=0,1\n";
    struct Bad {
        const char* line;
        const char* error;
    };
    const Bad cases[] = {
        {"unit number=1 type=raid7 drives=2", "unknown unit type=raid7"},
        {"unit number=1 type=single drives=5", "port 5 in drives= has no drive"},
        {"unit number=1 type=single drives=x", "bad port \"x\" in drives="},
        {"unit number=1 type=raid1 drives=1,2", "port 1 already belongs to unit 0"},
        {"unit number=1 type=raid5 drives=2,3", "wrong number of drives"},
        {"unit number=1 type=raid10 drives=2,3", "wrong number of drives"},
        {"unit number=1 type=raid0 drives=2,3 stripe=48", "bad stripe="},
        {"unit number=1 type=raid0 drives=2,3 status=fine", "bad value \"fine\" in status="},
        {"unit number=1 type=raid0 drives=2,3 lun-sizes=10,x", "bad size \"x\" in lun-sizes="},
        {"unit number=64 type=single drives=2", "unit number=64 outside 0 to 63"},
    };
    for (const Bad& c : cases) {
        std::string error;
        EXPECT_FALSE(sim::load_scenario(machine + c.line + "\n", &error)) << c.line;
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
    // A refused line on a running machine leaves no unit behind, and a
    // refused change of a unit leaves it as it was.
    load(machine);
    std::string error;
    EXPECT_FALSE(sim::apply("unit index=2 number=1 type=raid5 drives=2,3\n", &error));
    EXPECT_FALSE(sim::apply("unit index=2 number=0 type=raid7\n", &error));
    EXPECT_TRUE(sim::apply("unit index=2 number=0 status=degraded member=1\n", &error)) << error;
    const int fd = open_node("/dev/kqa0", 245, 0);
    std::vector<uint8_t> b = series_parameter(0x52, 0x8003, 3, 32);
    ASSERT_EQ(sim::kernel_ioctl(fd, 264, b.data()), 0);
    EXPECT_EQ(b[1544], 1);
    EXPECT_EQ(b[1545], 0);
    sim::kernel_close(fd);
}

// The records of a RAID 6 unit missing its second member, byte for byte:
// the unit record, its task record, then the member places.
TEST(Units, Raid6RecordList) {
    load("driver name=dq-Mxxx\ncontroller index=2 driver=dq-Mxxx arch=8\n"
         "drive port=4 capacity=0x100000000\ndrive port=5\ndrive port=6 capacity=1000\n"
         "drive port=7 capacity=2000\n"
         "unit number=3 type=raid6 drives=4,5,-,6,7 stripe=256 status=rebuilding member=2 "
         "progress=512\n");
    const int fd = open_node("/dev/kqa0", 245, 0);
    std::vector<uint8_t> count = series_parameter(0x52, 0x8303, 9, 2);
    ASSERT_EQ(sim::kernel_ioctl(fd, 264, count.data()), 0);
    ASSERT_EQ(load16(&count[1544]), 7);
    std::vector<uint8_t> b = series_parameter(0x52, 0x8303, 11, 140);
    ASSERT_EQ(sim::kernel_ioctl(fd, 264, b.data()), 0);
    ASSERT_EQ(b[640 + 4], 0) << area_text(b, 26);
    const std::vector<uint8_t> records(b.begin() + 1544, b.end());
    std::vector<uint8_t> expected;
    auto record = [&](std::vector<uint8_t> head, uint16_t progress, uint64_t capacity,
                      uint8_t tasks, uint8_t flags) {
        head.resize(20, 0);
        store16(&head[6], progress);
        store32(&head[12], uint32_t(capacity));
        store16(&head[16], uint16_t(capacity >> 32));
        head[18] = tasks;
        head[19] = flags;
        expected.insert(expected.end(), head.begin(), head.end());
    };
    // The unit: five members of the smallest drive (1000 sectors), three
    // of them data; rebuilding member 2 at half way, its task active.
    record({5, 7, 9, 2, 0, 223}, 0x8200, 3000, 1, 0x80);
    record({0, 0x30, 0, 0, 0, 255}, 0, 0, 1, 0);  // task record: 1 place to the members
    record({0, 12, 0, 4, 0, 255}, 0, 0x100000000ull, 0, 0);
    record({0, 12, 0, 5, 0, 255}, 0, 488397168, 0, 0);
    record({0, 12, 0, 0xFF, 0, 0}, 0, 1000, 0, 0);  // no drive in this place
    record({0, 12, 0, 6, 0, 255}, 0, 1000, 0, 0);
    record({0, 12, 0, 7, 0, 255}, 0, 2000, 0, 0);
    EXPECT_EQ(records, expected);
    sim::kernel_close(fd);
}

// Bytes 0 to 3 and 5 of each record (children, type, stripe code, member or
// port, status): RAID 10 keeps its stripe in its top record and RAID 50 in
// its sub-units, and a unit that lost more members than it can names the
// first of them.
TEST(Units, RecordsKeepStripeAndStateWhereTheyBelong) {
    std::string machine = "driver name=dq-Mxxx\ncontroller index=2 driver=dq-Mxxx arch=8\n";
    for (int port = 0; port < 12; ++port) machine += "drive port=" + std::to_string(port) + "\n";
    load(machine +
         "unit number=0 type=raid10 drives=0,1,2,3 stripe=256\n"
         "unit number=1 type=raid50 drives=4,5,6,7,8,9 group=3 stripe=16\n"
         "unit number=2 type=raid0 drives=10,-\n"
         "unit number=3 type=raid5 drives=11,-,-\n");
    using Head = std::vector<uint8_t>;
    const std::vector<std::vector<Head>> units = {
        {{2, 0, 9, 0, 255}, {2, 2, 0, 0, 255}, {0, 12, 0, 0, 255}, {0, 12, 0, 1, 255},
         {2, 2, 0, 0, 255}, {0, 12, 0, 2, 255}, {0, 12, 0, 3, 255}},
        {{2, 0, 0, 0, 255}, {3, 5, 5, 0, 255}, {0, 12, 0, 4, 255}, {0, 12, 0, 5, 255},
         {0, 12, 0, 6, 255}, {3, 5, 5, 0, 255}, {0, 12, 0, 7, 255}, {0, 12, 0, 8, 255},
         {0, 12, 0, 9, 255}},
        {{2, 0, 7, 1, 0}, {0, 12, 0, 10, 255}, {0, 12, 0, 0xFF, 0}},
        {{3, 5, 7, 1, 0}, {0, 12, 0, 11, 255}, {0, 12, 0, 0xFF, 0}, {0, 12, 0, 0xFF, 0}},
    };
    const int fd = open_node("/dev/kqa0", 245, 0);
    for (size_t u = 0; u < units.size(); ++u) {
        SCOPED_TRACE("unit " + std::to_string(u));
        const uint16_t table = uint16_t(0x8300 + u);
        const uint16_t length = uint16_t(20 * units[u].size());
        std::vector<uint8_t> b = series_parameter(0x52, table, 11, length);
        ASSERT_EQ(sim::kernel_ioctl(fd, 264, b.data()), 0);
        ASSERT_EQ(b[640 + 4], 0) << area_text(b, 26);
        std::vector<Head> heads;
        for (size_t r = 0; r < units[u].size(); ++r) {
            const uint8_t* record = &b[1544 + 20 * r];
            heads.push_back({record[0], record[1], record[2], record[3], record[5]});
        }
        EXPECT_EQ(heads, units[u]);
    }
    sim::kernel_close(fd);
}

}  // namespace

namespace {

// Every event a second-series node hands out, oldest first: the 112-byte
// records of request 259 and then 260 after each.
std::vector<std::vector<uint8_t>> queued_events(int fd) {
    std::vector<std::vector<uint8_t>> events;
    unsigned long request = 259;
    uint32_t sequence = 0;
    for (;;) {
        std::vector<uint8_t> b(1536 + 112, 0);
        store32(&b[0], uint32_t(request));
        store32(&b[20], 112);
        store32(&b[1536], sequence);
        EXPECT_EQ(sim::kernel_ioctl(fd, request, b.data()), 0);
        if (load32(&b[4]) != 0) return events;
        events.emplace_back(b.begin() + 1536, b.end());
        sequence = load32(&b[1536]);
        request = 260;
    }
}

TEST(StateFile, EventQueuesOutliveTheProcess) {
    const TempDir dir;
    const std::string control = dir.file("control");
    append(control, "");
    const std::string scenario = "state file=" + dir.file("state") + "\ncontrol file=" + control +
                                 "\ndriver name=dq-Mxxx\ncontroller index=2 driver=dq-Mxxx arch=6\n"
                                 "  event code=0x19 severity=2 text=\"port=1\" ago=7200\n"
                                 "  event code=0x02 severity=1 text=\"unit=0\" ago=3600\n";
    // A restart: the control file's lines were for the process that ended.
    auto restart = [&] {
        std::FILE* f = std::fopen(control.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
        load(scenario);
    };
    load(scenario);
    int fd = open_node("/dev/kqa0", 245, 0);
    const std::vector<std::vector<uint8_t>> scenario_events = queued_events(fd);
    ASSERT_EQ(scenario_events.size(), 2u);
    sim::kernel_close(fd);

    // A restart finds the scenario's events with the times of the first
    // start, not times counted again from the new start.
    sleep(1);
    restart();
    fd = open_node("/dev/kqa0", 245, 0);
    EXPECT_TRUE(queued_events(fd) == scenario_events);

    // The ring wraps; one event's text area holds raw bytes, a line break
    // and quotes among them.
    append(control,
           "event index=2 code=0x0B severity=3 text=\"unit=2\" count=300\n"
           "event index=2 code=0x55 area=hex:6c696e650d0a2271756f746522000041420000\n");
    const std::vector<std::vector<uint8_t>> before = queued_events(fd);
    ASSERT_EQ(before.size(), 256u);
    EXPECT_EQ(load32(&before.front()[0]), 48u);
    EXPECT_EQ(load32(&before.back()[0]), 303u);
    sim::kernel_close(fd);

    restart();
    fd = open_node("/dev/kqa0", 245, 0);
    EXPECT_TRUE(queued_events(fd) == before);
    // What the ring wrote over stays gone, and numbering goes on.
    std::vector<uint8_t> b(1536 + 112, 0);
    store32(&b[0], 260);
    store32(&b[20], 112);
    store32(&b[1536], 20);
    ASSERT_EQ(sim::kernel_ioctl(fd, 260, b.data()), 0);
    EXPECT_EQ(load32(&b[4]), 0x1004u);
    append(control, "event index=2 code=0x0C\n");
    EXPECT_EQ(load32(&queued_events(fd).back()[0]), 304u);
    sim::kernel_close(fd);

    // Without the state file the scenario's own events are back.
    load(
        "driver name=dq-Mxxx\ncontroller index=2 driver=dq-Mxxx arch=6\n"
        "  event code=0x19 severity=2 text=\"port=1\" ago=7200\n");
    fd = open_node("/dev/kqa0", 245, 0);
    EXPECT_EQ(queued_events(fd).size(), 1u);
    sim::kernel_close(fd);
}

}  // namespace

namespace {

TEST(Clock, PauseLimitShortensRealPausesAndCountsThemWhole) {
    load("clock pause-limit-ms=20\n");
    EXPECT_EQ(sim::kernel_wait_length(15000000), 20000u);
    EXPECT_EQ(sim::kernel_wait_length(5000), 5000u);
    struct timespec start, end;
    clock_gettime(CLOCK_MONOTONIC, &start);
    sim::kernel_sleep(3000000);
    clock_gettime(CLOCK_MONOTONIC, &end);
    EXPECT_LT(end.tv_sec - start.tv_sec, 2);
    EXPECT_EQ(sim::slept_microseconds(), 15005000u + 3000000u);

    std::string error;
    ASSERT_TRUE(sim::apply("clock pause-limit-ms=-1\n", &error)) << error;
    EXPECT_EQ(sim::kernel_wait_length(15000000), 15000000u);
    load("clock mode=virtual pause-limit-ms=20\n");
    EXPECT_EQ(sim::kernel_wait_length(15000000), 0u);
}

}  // namespace
