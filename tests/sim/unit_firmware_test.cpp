// The second-series firmware's unit commands on their own: what it refuses
// of a create list and of the other unit commands, and the unit store it
// keeps in the state file, read back record for record by a new process.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <cstring>
#include <string>
#include <vector>

#include "sim/sim.h"
#include "tests/support/files.h"
#include "tests/support/param_names.h"

namespace {

const char kMachine[] =
    "driver name=dq-Mxxx pairing=sysfs\n"
    "controller index=0 driver=dq-Mxxx arch=8 ports=16\n"
    "  devnode path=/dev/kqa0 kind=char major=245 minor=0\n"
    "  drive port=0 capacity=1000\n  drive port=1 capacity=1000\n"
    "  drive port=2 capacity=1000\n  drive port=3 capacity=1000\n"
    "  drive port=4 capacity=1000\n  drive port=5 capacity=1000\n"
    "  drive port=6 capacity=1000\n  drive port=7 capacity=1000\n"
    "  drive port=8 capacity=500\n"
    "  unit number=3 type=raid5 drives=4,5,6 stripe=64\n"
    "  unit number=4 type=single drives=7\n";

void load(const std::string& text) {
    std::string error;
    ASSERT_TRUE(sim::load_scenario(text, &error)) << error;
}

uint8_t list_words() {
    struct utsname name;
    ::uname(&name);
    return std::strcmp(name.machine, "x86_64") == 0 || std::strcmp(name.machine, "ppc64") == 0 ? 6
                                                                                               : 5;
}

// One firmware command to controller 0: the packet's bytes as they came
// back, and the firmware's error code (0: done).
struct Answer {
    uint16_t code = 0xFFFF;
    std::vector<uint8_t> packet, data;
};

Answer command(const std::vector<uint8_t>& packet, const std::vector<uint8_t>& data = {}) {
    std::vector<uint8_t> b(1536 + data.size(), 0);
    b[0] = 0x08;  // control code 264
    b[1] = 0x01;
    for (int i = 0; i < 4; ++i) b[20 + i] = uint8_t(data.size() >> (8 * i));
    b[512 + 124] = 0x80;
    std::copy(packet.begin(), packet.end(), b.begin() + 640);
    std::copy(data.begin(), data.end(), b.begin() + 1536);
    const int fd = sim::kernel_open("/dev/kqa0", O_RDWR);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(sim::kernel_ioctl(fd, 264, b.data()), 0);
    sim::kernel_close(fd);
    Answer a;
    a.code = b[644] == 0 ? 0 : uint16_t(b[512 + 22] | b[512 + 23] << 8);
    a.packet.assign(b.begin() + 640, b.begin() + 660);
    a.data.assign(b.begin() + 1536, b.end());
    return a;
}

// A unit parameter as GET PARAMETER reads it.
std::vector<uint8_t> unit_parameter(uint8_t unit, uint16_t id, uint16_t size) {
    std::vector<uint8_t> block(8 + size, 0);
    const uint16_t table = uint16_t(0x8300 + unit);
    block[0] = uint8_t(table);
    block[1] = uint8_t(table >> 8);
    block[2] = uint8_t(id);
    block[4] = uint8_t(size);
    block[5] = uint8_t(size >> 8);
    const Answer a = command({0x52, uint8_t(list_words() - 1), 0, 0, 0, 0, 1, 0}, block);
    EXPECT_EQ(a.code, 0) << "unit " << int(unit) << " parameter " << id;
    return std::vector<uint8_t>(a.data.begin() + 8, a.data.end());
}

std::vector<uint8_t> records_of(uint8_t unit) {
    const std::vector<uint8_t> count = unit_parameter(unit, 9, 2);
    return unit_parameter(unit, 11, uint16_t((count[0] | count[1] << 8) * 20));
}

std::vector<uint8_t> rec(uint8_t children, uint8_t type, uint8_t stripe = 0, uint8_t byte3 = 0) {
    std::vector<uint8_t> r(20, 0);
    r[0] = children;
    r[1] = type;
    r[2] = stripe;
    r[3] = byte3;
    return r;
}

std::vector<uint8_t> list_of(std::initializer_list<std::vector<uint8_t>> records) {
    std::vector<uint8_t> all;
    for (const auto& r : records) all.insert(all.end(), r.begin(), r.end());
    return all;
}

Answer create(const std::vector<uint8_t>& list, size_t claimed) {
    return command({0x74, list_words(), 0, 0, 0, 0, uint8_t(claimed), uint8_t(claimed >> 8), 1},
                   list);
}

struct CreateRefusal {
    const char* name;
    std::vector<uint8_t> list;
    long claimed;  // -1: the list's own length
    uint16_t code;
};
PRINT_CASE_BY_NAME(CreateRefusal)

std::vector<uint8_t> volume(uint64_t start, uint64_t size) {
    std::vector<uint8_t> r(20, 0);
    r[1] = 0x80;
    for (int i = 0; i < 8; ++i) {
        r[4 + i] = uint8_t(start >> (8 * i));
        r[12 + i] = uint8_t(size >> (8 * i));
    }
    return r;
}

const CreateRefusal kCreateRefusals[] = {
    {"a RAID 5 of two drives", list_of({rec(2, 5, 7), rec(0, 12, 0, 0), rec(0, 12, 0, 1)}), -1,
     0x010D},
    {"a RAID 1 of three drives",
     list_of({rec(3, 2), rec(0, 12, 0, 0), rec(0, 12, 0, 1), rec(0, 12, 0, 2)}), -1, 0x010D},
    {"a stripe of no size it builds", list_of({rec(2, 0, 6), rec(0, 12, 0, 0), rec(0, 12, 0, 1)}),
     -1, 0x010D},
    {"a drive twice", list_of({rec(2, 0, 7), rec(0, 12, 0, 0), rec(0, 12, 0, 0)}), -1, 0x010D},
    {"a drive in use", list_of({rec(2, 0, 7), rec(0, 12, 0, 0), rec(0, 12, 0, 5)}), -1, 0x010E},
    {"an empty port", list_of({rec(2, 0, 7), rec(0, 12, 0, 0), rec(0, 12, 0, 12)}), -1, 0x010E},
    {"a list that ends inside the unit", list_of({rec(3, 5, 7), rec(0, 12, 0, 0)}), -1, 0x010D},
    {"a length other than the data's", list_of({rec(0, 13, 0, 0)}), 40, 0x0103},
    {"a LUN beyond the unit",
     list_of({rec(2, 0, 7), rec(0, 12, 0, 0), rec(0, 12, 0, 1), volume(0, 2001)}), -1, 0x010D},
};

class FirmwareCreate : public ::testing::TestWithParam<CreateRefusal> {};

TEST_P(FirmwareCreate, Refuses) {
    load(kMachine);
    const CreateRefusal& r = GetParam();
    EXPECT_EQ(create(r.list, r.claimed < 0 ? r.list.size() : size_t(r.claimed)).code, r.code);
    // Nothing was made: the next unit is still number 0.
    const Answer spare = create(list_of({rec(0, 13, 0, 0)}), 20);
    EXPECT_EQ(spare.code, 0);
    EXPECT_EQ(spare.packet[3], 0);
}

INSTANTIATE_TEST_SUITE_P(Lists, FirmwareCreate, ::testing::ValuesIn(kCreateRefusals));

TEST(FirmwareUnits, RefusesWhatTheUnitsCannotDo) {
    load(kMachine);
    // A rebuild of a unit that lacks nothing; then of a degraded one onto a
    // drive smaller than its members.
    ASSERT_EQ(create(list_of({rec(0, 12, 0, 8)}), 20).code, 0);  // DISK unit 0 on port 8
    EXPECT_EQ(command({0x09, 2, 0, 3, 0, 0, 0, 0}).code, 0x0121);
    ASSERT_EQ(command({0x0A, 2, 0, 0, 0, 0, 0, 5}).code, 0);
    EXPECT_EQ(command({0x09, 2, 0, 3, 0, 0, 0, 0}).code, 0x0124);
    EXPECT_EQ(command({0x09, 2, 0, 3, 0, 0, 4, 0}).code, 0x0123);  // a single disk
    // A unit that is not there; a drive that is a unit by itself; a drive
    // already taken out.
    EXPECT_EQ(command({0x15, 2, 0, 9, 0, 0, 0, 0x80}).code, 0x010A);
    EXPECT_EQ(command({0x0A, 2, 0, 0, 0, 0, 0, 7}).code, 0x010E);
    EXPECT_EQ(command({0x0A, 2, 0, 0, 0, 0, 0, 5}).code, 0x010E);
    // Verify of a degraded unit; a split of what is no mirror.
    EXPECT_EQ(command({0x05, 2, 0, 3, 0, 0, 0, 1}).code, 0x010D);
    EXPECT_EQ(command({0x6F, list_words(), 0, 3, 0, 0, 0, 0, 1, 0, 2}, std::vector<uint8_t>(3900))
                  .code,
              0x012A);
}

TEST(FirmwareUnits, TheStateFileKeepsEveryRecord) {
    const test_support::TempDir dir;
    const std::string machine = std::string(kMachine) + "state file=" + dir.file("state") +
                                "\n"
                                "  drive port=9\n  drive port=10\n  drive port=11\n"
                                "  drive port=12\n  drive port=13\n  drive port=14\n"
                                "  unit number=5 type=raid6 drives=0,-,-,1,2 stripe=256 "
                                "task-progress=100\n"
                                "  unit number=6 type=raid50 drives=9,10,11/12,13,14 "
                                "status=ok,rebuilding progress=0,512 lun-sizes=100,-,300\n";
    load(machine);
    // A migration under way and a unit without its drives' first member.
    ASSERT_EQ(command({0x6F, list_words(), 0, 4, 0, 0, 60, 0, 1, 0, 0},
                      list_of({rec(1, 2), rec(0, 12, 0, 7), rec(0, 12, 0, 3)}))
                  .code,
              0x010D);  // a RAID 1 of one drive
    ASSERT_EQ(command({0x6F, list_words(), 0, 3, 0, 0, 100, 0, 1, 0, 0},
                      list_of({rec(4, 5, 7), rec(0, 12, 0, 4), rec(0, 12, 0, 5), rec(0, 12, 0, 6),
                               rec(0, 12, 0, 3)}))
                  .code,
              0);
    ASSERT_EQ(command({0x15, 2, 0, 4, 0, 0, 0, 0x40}).code, 0);  // exported
    const uint8_t units[] = {3, 5, 6};
    std::vector<std::vector<uint8_t>> before;
    for (uint8_t unit : units) before.push_back(records_of(unit));
    const std::vector<uint8_t> luns = unit_parameter(6, 25, 60);

    load(machine);  // the process starts again
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(records_of(units[i]), before[i]) << int(units[i]);
    EXPECT_EQ(unit_parameter(6, 25, 60), luns);
    // The exported single disk waits on its drive (drive flag bit 0).
    std::vector<uint8_t> block = {0x07, 0x82, 12, 0, 1, 0, 0, 0, 0};
    const Answer flags = command({0x52, uint8_t(list_words() - 1), 0, 0, 0, 0, 1, 0}, block);
    EXPECT_EQ(flags.data[8], 1);
    const std::string text = test_support::read_file(dir.file("state"));
    EXPECT_NE(text.find("unit index=0 number=4 foreign=1 records=hex:"), std::string::npos);
}

}  // namespace
