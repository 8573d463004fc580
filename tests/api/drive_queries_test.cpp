// Drives and ports of second-series controllers through the public
// functions: presence, port status, capacity, identity texts, flags, the
// holding unit, and the SMART and IDENTIFY data of the ATA pass-through.
#include <sys/utsname.h>

#include <cstring>
#include <string>
#include <vector>

#include "backend/backends.h"
#include "tests/api/library_machine.h"
#include "tests/support/journal.h"

namespace {

constexpr uint8_t kCtl = 0;    // family 8, firmware level 37
constexpr uint8_t kOlder = 1;  // family 4, firmware level 30
constexpr uint64_t kBig = 0x100000005ull;  // sectors beyond 32 bits

PYV2_LIBRARY_MACHINE(
    "clock mode=virtual\n"
    "driver name=dq-Mxxx pairing=sysfs\n"
    "controller index=0 driver=dq-Mxxx arch=8 ports=8\n"
    "  drive port=0 capacity=0x100000005 model=\"  SIMDISK S500 \" serial=\" S500-0001\" "
    "firmware=\"02.AA1  \" flags=1 temperature=41 rpm=5400\n"
    "  drive port=1 interface=sas\n"
    "  drive port=2 status=2\n"  // removed: no longer present
    "  drive port=4 status=241\n"  // present, with a device error
    "  drive port=6\n"
    "  unit number=0 type=raid1 drives=0,1\n"
    "  unit number=1 type=raid5 drives=4,-,6\n"
    "controller index=1 driver=dq-Mxxx arch=4 ports=4\n"
    "  drive port=0 capacity=0x100000005\n");

ObjectId drive(uint8_t port, uint8_t ctl = kCtl) { return drive_on(ctl, port); }

// The parameter id of the last request in the journal.
int last_parameter_id() {
    const std::vector<sim::JournalEntry> sent = requests(264);
    return sent.empty() ? -1 : sent_block(sent.back()).id;
}

uint8_t data_packet_words() {
    struct utsname name;
    ::uname(&name);
    const bool wide = std::strcmp(name.machine, "x86_64") == 0 || std::strcmp(name.machine, "ppc64") == 0;
    return wide ? 8 : 7;
}

// An ATA pass-through request with a zeroed data buffer of the length.
std::vector<uint8_t> ata_request(const std::vector<uint8_t>& packet, size_t data_length) {
    return expected_request(264, packet, std::vector<uint8_t>(data_length, 0));
}

// Two characters per word, swapped, as IDENTIFY DEVICE holds texts.
std::string ata_text(const uint8_t* data, int first_word, int words) {
    std::string text;
    for (int i = 0; i < 2 * words; ++i) text += char(data[2 * first_word + (i ^ 1)]);
    return text;
}

// The drive and port lists test every port over one read of the
// port-status array or of the number of ports.
TEST(DriveQueries, DriveListHoldsThePresentDrives) {
    IdList list;
    std::memset(&list, 0, sizeof list);
    sim::clear_journal();
    ASSERT_EQ(ctl_get_drive_list(controller(kCtl), &list), 0);
    EXPECT_EQ(driver_requests(), 1u);
    ASSERT_EQ(list.count, 4u);
    const uint8_t ports[] = {0, 1, 4, 6};
    for (uint32_t i = 0; i < list.count; ++i) {
        const ObjectId expected = drive(ports[i]);
        EXPECT_EQ(std::memcmp(list.ids[i].b, expected.b, 8), 0) << i;
    }
    expect_blank_tail(list);
}

TEST(DriveQueries, PortListHoldsEveryPort) {
    struct Case {
        uint8_t ctl;
        uint32_t ports;
    };
    for (const Case& c : {Case{kCtl, 8}, Case{kOlder, 4}}) {
        SCOPED_TRACE(int(c.ctl));
        IdList list;
        std::memset(&list, 0, sizeof list);
        sim::clear_journal();
        ASSERT_EQ(ctl_get_port_list(controller(c.ctl), &list), 0);
        EXPECT_EQ(driver_requests(), 1u);
        ASSERT_EQ(list.count, c.ports);
        for (uint32_t i = 0; i < list.count; ++i) {
            const ObjectId expected = drive(uint8_t(i), c.ctl);
            EXPECT_EQ(std::memcmp(list.ids[i].b, expected.b, 8), 0) << i;
        }
        expect_blank_tail(list);
    }
}

TEST(DriveQueries, PortListByTheNumberOfPortsReported) {
    struct Case {
        int reported;
        uint32_t listed;
    };
    // A count of 0 still accepts port 0; the list holds at most 128 ports.
    for (const Case& c : {Case{0, 1}, Case{1, 1}, Case{127, 127}, Case{200, 128}}) {
        SCOPED_TRACE(c.reported);
        change_machine("param index=1 table=0x403 id=3 value=u8:" + std::to_string(c.reported) +
                       "\n");
        IdList list;
        sim::clear_journal();
        ASSERT_EQ(ctl_get_port_list(controller(kOlder), &list), 0);
        EXPECT_EQ(driver_requests(), 1u);
        ASSERT_EQ(list.count, c.listed);
        EXPECT_EQ(list.ids[c.listed - 1].b[2], c.listed - 1);
        expect_blank_tail(list);
    }
    change_machine("param index=1 table=0x403 id=3 value=u8:4\n");
}

TEST(DriveQueries, ListsWhoseReadFailsAreEmptyWithTheFailureRecorded) {
    struct Case {
        const char* table_and_parameter;
        int (*list)(ObjectId, IdList*);
    };
    for (const Case& c : {Case{"table=2 parameter=3", ctl_get_drive_list},
                          Case{"table=0x403 parameter=3", ctl_get_port_list}}) {
        SCOPED_TRACE(c.table_and_parameter);
        change_machine(std::string("fault index=0 opcode=0x52 ") + c.table_and_parameter +
                       " firmware-code=0x010C\n");
        IdList list;
        std::memset(&list, 0, sizeof list);
        sim::clear_journal();
        ASSERT_EQ(c.list(controller(kCtl), &list), 0);
        EXPECT_EQ(driver_requests(), 1u);
        EXPECT_EQ(list.count, 0u);
        expect_blank_tail(list);
        EXPECT_EQ(last_error().controller_status, 0x010C);
    }
}

TEST(DriveQueries, StatusByPort) {
    struct Case {
        uint8_t port;
        uint8_t status;
        size_t requests;
    };
    const Case cases[] = {
        {0, 255, 1}, {2, 2, 1}, {3, 0, 1}, {4, 241, 1},
        {0xFF, 0, 0},  // an empty member place
        {200, 0, 1},   // beyond the port-status array
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.port));
        sim::clear_journal();
        uint8_t status = 7;
        ASSERT_EQ(ctl_get_drive_status(drive(c.port), &status), 0);
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(driver_requests(), c.requests);
    }
}

TEST(DriveQueries, StatusListReadsTheArrayOnce) {
    IdList list;
    std::memset(&list, 0xFF, sizeof list);
    list.count = 0;
    const uint8_t ports[] = {0, 0xFF, 2, 4, 3};
    for (uint8_t port : ports) list.ids[list.count++] = drive(port);
    uint8_t statuses[8];
    std::memset(statuses, 0x5A, sizeof statuses);
    sim::clear_journal();
    ASSERT_EQ(ctl_get_drive_status_list(statuses, 5, list), 0);
    EXPECT_EQ(driver_requests(), 1u);
    const uint8_t expected[8] = {255, 0, 2, 241, 0, 0x5A, 0x5A, 0x5A};
    EXPECT_EQ(std::memcmp(statuses, expected, 8), 0);

    // The buffer must be given and hold the count; the count must fit.
    struct Refusal {
        const char* name;
        uint8_t* buffer;
        uint32_t size;
        uint32_t count;
    };
    for (const Refusal& r : {Refusal{"no buffer", nullptr, 8, 5}, Refusal{"short", statuses, 4, 5},
                             Refusal{"count past the list", statuses, 0xFFFFFFFF, 129}}) {
        SCOPED_TRACE(r.name);
        IdList changed = list;
        changed.count = r.count;
        sim::clear_journal();
        EXPECT_EQ(ctl_get_drive_status_list(r.buffer, r.size, changed), -1);
        EXPECT_STREQ(last_error().text, "(0x0B:0x007A): Invalid argument or value");
        EXPECT_EQ(driver_requests(), 0u);
    }

    // The family is the first entry's controller's: family 4 is served, an
    // index without a controller is not routed.
    list.ids[0] = drive(0, kOlder);
    ASSERT_EQ(ctl_get_drive_status_list(statuses, 5, list), 0);
    EXPECT_EQ(statuses[0], 255);
    list.ids[0] = drive(0, 9);
    const ErrorRecord before = seed_last_error();
    EXPECT_EQ(ctl_get_drive_status_list(statuses, 5, list), -1);
    EXPECT_TRUE(same_record(before, last_error()));
}

TEST(DriveQueries, CapacityParameterFollowsTheFirmwareLevel) {
    struct Case {
        uint8_t ctl;
        uint32_t level;  // 0: as the controller reports it
        uint64_t sectors;
        int parameter;
    };
    const Case cases[] = {
        {kCtl, 0, kBig, 23}, {kCtl, 33, kBig, 23}, {kCtl, 32, 0xFFFFFFFF, 2},
        {kOlder, 0, 0xFFFFFFFF, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.ctl) + " at level " + std::to_string(c.level));
        if (c.level != 0)
            change_machine("param index=" + std::to_string(c.ctl) +
                           " table=0x402 id=11 value=u32:" + std::to_string(c.level) + "\n");
        sim::clear_journal();
        uint64_t sectors = 0;
        ASSERT_EQ(ctl_get_drive_capacity(drive(0, c.ctl), &sectors), 0);
        EXPECT_EQ(sectors, c.sectors);
        EXPECT_EQ(last_parameter_id(), c.parameter);
    }
    change_machine("param index=0 table=0x402 id=11 value=u32:37\n");
}

TEST(DriveQueries, IdentityTextsAreTrimmedAndPadded) {
    struct Case {
        int (*read)(ObjectId, char*);
        size_t size;
        const char* text;
    };
    const Case cases[] = {
        {ctl_get_drive_model, 64, "SIMDISK S500"},
        {ctl_get_drive_serial_number, 32, "S500-0001"},
        {ctl_get_drive_firmware_version, 32, "02.AA1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        char text[80];
        std::memset(text, 0x5A, sizeof text);
        ASSERT_EQ(c.read(drive(0), text), 0);
        EXPECT_STREQ(text, c.text);
        for (size_t i = std::strlen(c.text); i < c.size; ++i) ASSERT_EQ(text[i], 0) << i;
        EXPECT_EQ(text[c.size], 0x5A);
    }
}

TEST(DriveQueries, FlagsOnLaterGenerationsOnly) {
    uint8_t flags = 0;
    ASSERT_EQ(ctl_get_drive_flags(drive(0), &flags), 0);
    EXPECT_EQ(flags, 1);
    flags = 9;
    EXPECT_EQ(ctl_get_drive_flags(drive(0, kOlder), &flags), -1);
    EXPECT_EQ(last_error().api_code, 2);
    EXPECT_EQ(flags, 9);
}

TEST(DriveQueries, HoldingUnit) {
    struct Case {
        uint8_t port;
        int result;
        std::vector<uint8_t> holder;  // bytes 2 to 7
    };
    const Case cases[] = {
        {0, 0, {0xFF, 2, 0, 0, 0xFF, 0xFF}},     // member 0 of unit 0
        {6, 0, {0xFF, 2, 1, 2, 0xFF, 0xFF}},     // member 2 of unit 1
        {3, -1, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},  // an empty port
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.port));
        ObjectId holder;
        std::memset(&holder, 0x11, sizeof holder);
        EXPECT_EQ(ctl_get_drive_unit(drive(c.port), &holder), c.result);
        EXPECT_EQ(holder.b[0], kKindUnit);
        EXPECT_EQ(holder.b[1], kCtl);
        EXPECT_EQ(std::vector<uint8_t>(holder.b + 2, holder.b + 8), c.holder);
    }
    EXPECT_STREQ(last_error().text, "(0x0B:0x003E): Port empty");
    // A present drive of no unit: kind 2, the controller, 0xFF elsewhere.
    change_machine("drive index=0 port=5\n");
    ObjectId holder;
    ASSERT_EQ(ctl_get_drive_unit(drive(5), &holder), 0);
    EXPECT_EQ(std::vector<uint8_t>(holder.b, holder.b + 8),
              (std::vector<uint8_t>{2, kCtl, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(DriveQueries, IdentifyData) {
    uint8_t data[512] = {};
    sim::clear_journal();
    ASSERT_EQ(ctl_get_drive_identify_data(drive(0), data), 0) << last_error().text;
    const std::vector<sim::JournalEntry> journal = sim::journal();
    ASSERT_EQ(journal.size(), 1u);
    const std::vector<uint8_t> packet = {0xB1, data_packet_words(), 0xFF, 0, 0, 0x01, 13, 0,
                                         0,    0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0xEC};
    EXPECT_EQ(journal[0].sent, ata_request(packet, 512));

    // The drive's own texts, blank-padded.
    EXPECT_EQ(ata_text(data, 27, 20), "  SIMDISK S500 " + std::string(25, ' '));
    EXPECT_EQ(ata_text(data, 10, 10), " S500-0001" + std::string(10, ' '));
    EXPECT_EQ(ata_text(data, 23, 4), "02.AA1  ");
    uint64_t sectors = 0;
    for (int w = 3; w >= 0; --w) sectors = sectors << 16 | (data[200 + 2 * w] | data[201 + 2 * w] << 8);
    EXPECT_EQ(sectors, kBig);
    EXPECT_EQ(data[510], 0xA5);
    uint8_t sum = 0;
    for (uint8_t b : data) sum = uint8_t(sum + b);
    EXPECT_EQ(sum, 0);
}

TEST(DriveQueries, SmartData) {
    uint8_t data[512] = {};
    sim::clear_journal();
    ASSERT_EQ(ctl_get_drive_smart_data(drive(0), data), 0) << last_error().text;
    const std::vector<sim::JournalEntry> journal = sim::journal();
    ASSERT_EQ(journal.size(), 1u);
    const std::vector<uint8_t> packet = {0xB1, data_packet_words(), 0xFF, 0, 0, 0x01, 13, 0,
                                         0xD0, 0, 1, 0, 0, 0, 0x4F, 0, 0xC2, 0, 0, 0xB0};
    EXPECT_EQ(journal[0].sent, ata_request(packet, 512));
    // Attribute 194, the temperature, with its raw value.
    bool found = false;
    for (int slot = 0; slot < 30; ++slot) {
        const uint8_t* a = data + 2 + 12 * slot;
        if (a[0] != 194) continue;
        found = true;
        EXPECT_EQ(a[5], 41);
    }
    EXPECT_TRUE(found);
    uint8_t sum = 0;
    for (uint8_t b : data) sum = uint8_t(sum + b);
    EXPECT_EQ(sum, 0);

    // No ATA answer from a SAS drive or an empty port; the buffer stays.
    for (uint8_t port : {1, 3}) {
        SCOPED_TRACE(int(port));
        std::memset(data, 0x33, sizeof data);
        EXPECT_EQ(ctl_get_drive_smart_data(drive(port), data), -1);
        EXPECT_EQ(last_error().controller_status, 0x010E);
        EXPECT_EQ(data[0], 0x33);
    }
}

TEST(DriveQueries, AtaTimeoutsAndTransferLengths) {
    struct Case {
        int32_t timeout;
        uint8_t command;
        uint16_t sector_count, lba_low;
        uint8_t byte5;  // timeout code in bits 4-7
        uint32_t length;
    };
    const Case cases[] = {
        {5, 0xEC, 1, 0, 0x02, 512},           {95, 0xEC, 1, 0, 0x92, 512},
        {200, 0xEC, 2, 0, 0xF2, 1024},        {10, 0xEC, 0, 0, 0x12, 0x20000},
        {0, 0x92, 0x10, 0x01, 0x02, 0x110 * 512},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.timeout) + " s, command " + std::to_string(c.command));
        std::vector<uint8_t> buffer(c.length);
        uint16_t features = 0, count = c.sector_count, low = c.lba_low, mid = 0, high = 0;
        uint8_t device = 0x40, command = c.command;
        sim::clear_journal();
        series_backend().send_ata_command(drive(0), 0x06, 13, &features, &count, &low, &mid,
                                          &high, &device, &command, buffer.data(), c.timeout);
        const std::vector<sim::JournalEntry> journal = sim::journal();
        ASSERT_EQ(journal.size(), 1u);
        const uint8_t* sent = journal[0].sent.data();
        EXPECT_EQ(sent[512 + 128 + 5], c.byte5);
        EXPECT_EQ(sent[20] | sent[21] << 8 | sent[22] << 16 | sent[23] << 24, int(c.length));
    }
    // Without a buffer: the small command with the non-data protocol, and
    // the registers come back from the drive's answer.
    uint16_t features = 0xDA, count = 0, low = 0, mid = 0x4F, high = 0xC2;
    uint8_t device = 0, command = 0xB0;
    sim::clear_journal();
    ASSERT_EQ(series_backend().send_ata_command(drive(0), 0, 13, &features, &count, &low, &mid,
                                                &high, &device, &command, nullptr, 0),
              0);
    const std::vector<uint8_t> packet = {0x11, 5,    0xFF, 0, 0, 0, 8, 0, 0xDA, 0,
                                         0,    0,    0,    0, 0x4F, 0, 0xC2, 0, 0, 0xB0};
    EXPECT_EQ(sim::journal()[0].sent, ata_request(packet, 0));
    EXPECT_EQ(mid, 0x4F);
    EXPECT_EQ(high, 0xC2);
}

TEST(DriveQueries, RawFirmwareCommandPassesTheAreaUnchanged) {
    // A caller-built GET PARAMETER of the firmware level, a byte beyond the
    // packet set to show that nothing of the area is rebuilt.
    uint8_t area[1024] = {};
    area[128] = 0x52;
    area[129] = uint8_t(data_packet_words() - 3);
    area[134] = 1;
    area[300] = 0xAB;
    uint8_t data[12] = {0x02, 0x84, 11, 0, 4, 0, 0, 0};
    sim::clear_journal();
    ASSERT_EQ(series_backend().send_firmware_command(controller(kCtl), 5, area, data, 12), 0)
        << last_error().text;
    EXPECT_EQ(data[8], 37);
    const std::vector<sim::JournalEntry> journal = sim::journal();
    ASSERT_EQ(journal.size(), 1u);
    std::vector<uint8_t> expected =
        expected_request(264, {}, {0x02, 0x84, 11, 0, 4, 0, 0, 0, 0, 0, 0, 0});
    std::memcpy(&expected[512], area, sizeof area);
    expected[512 + 124] = 0x80;
    EXPECT_EQ(journal[0].sent, expected);
}

}  // namespace
