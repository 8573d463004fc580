// Phys through the public functions: a family-8 controller whose first four
// phys form a wide port to an expander with drives behind it and whose other
// phys reach drives directly, a family-10 controller whose phys reach its
// drives directly or through the expander of an enclosure, a family-7
// controller that has phys only on newer firmware, and controllers without
// phys. Then the commands sent to a drive or the controller as they are.
#include <cstring>
#include <vector>

#include "api/family_router.h"
#include "backend/series_backend.h"
#include "tests/api/family_machine.h"
#include "tests/support/param_names.h"

namespace {

constexpr char kMachine[] =
    "clock mode=virtual\n"
    "driver name=dq-Mxxx pairing=sysfs\n"
    "driver name=dq-sas pairing=sysfs\n"
    "controller index=0 driver=dq-sas arch=8 ports=8 phys=8\n"
    "  drive port=0 interface=sas\n"
    "  drive port=1 interface=sas\n"
    "  drive port=2 interface=sata\n"
    "  drive port=5 interface=sata model=\"SIMDISK S500\" serial=\"S500-0005\" firmware=\"02AA\" "
    "capacity=976773168\n"
    "  drive port=6 interface=sas wwn=0x5000C500DEADBEEF\n"
    "  phy number=0 expander=1\n"
    "  phy number=1 expander=1\n"
    "  phy number=2 expander=1\n"
    "  phy number=3 expander=1\n"
    "  phy number=4 drive=5\n"
    "  phy number=6 drive=6 limit=1\n"
    "controller index=1 driver=dq-Mxxx arch=10 ports=4 phys=4\n"
    "  drive port=0 interface=sas\n"
    "  drive port=1 interface=sata\n"
    "  drive port=2 interface=sas enclosure=0 slot=0\n"  // behind its enclosure's expander
    "  drive port=3 interface=sas link-speeds=0x3\n"
    "controller index=2 driver=dq-Mxxx arch=6 ports=4\n"
    "  param table=0x403 id=26 value=u32:0x200\n"
    "  drive port=0\n"
    "controller index=3 driver=dq-Mxxx arch=4 ports=4\n"
    "  drive port=0\n"
    "controller index=4 driver=dq-Mxxx arch=6 ports=4\n"
    "controller index=5 driver=dq-Mxxx arch=9 ports=4\n"
    "controller index=6 driver=dq-sas arch=8 ports=4 phys=0\n"
    "  drive port=0\n";

PYV2_LIBRARY_MACHINE(kMachine);

constexpr uint8_t kExpanders = 0, kDirect = 1, kFamily7 = 2, kFamily4 = 3, kFamily6 = 4,
                  kFamily9 = 5, kNoPhys = 6;

ObjectId phy(uint8_t index, uint8_t number) {
    ObjectId id;
    ctl_make_phy_id(index, number, &id);
    return id;
}

ObjectId drive(uint8_t index, uint8_t port) {
    ObjectId id;
    ctl_make_drive_id(index, port, &id);
    return id;
}

bool same_id(ObjectId a, ObjectId b) { return std::memcmp(a.b, b.b, 8) == 0; }

TEST(Phys, ListedWithoutAPhantomPhy) {
    struct Case {
        uint8_t index;
        uint32_t count;
    };
    for (const Case& c : {Case{kExpanders, 8}, Case{kDirect, 4}, Case{kNoPhys, 0}}) {
        SCOPED_TRACE(int(c.index));
        IdList list;
        std::memset(&list, 0, sizeof list);
        ASSERT_EQ(ctl_get_phy_list(controller(c.index), &list), 0);
        ASSERT_EQ(list.count, c.count);
        for (uint32_t i = 0; i < list.count; ++i)
            EXPECT_TRUE(same_id(list.ids[i], phy(c.index, uint8_t(i))));
        for (uint32_t i = list.count; i < 128; ++i)
            for (uint8_t b : list.ids[i].b) ASSERT_EQ(b, 0xFF);
        uint32_t count = 99;
        ASSERT_EQ(ctl_get_number_of_phys(controller(c.index), &count), 0);
        EXPECT_EQ(count, c.count);
    }
    ObjectId out;
    EXPECT_EQ(ctl_get_phy_drive(phy(kNoPhys, 0), &out), -1);
    EXPECT_EQ(last_error().api_code, 120);
}

struct PhyCase {
    const char* name;
    uint8_t index, number;
    uint8_t device_type, supported, speed, limit;
    uint64_t address;
};
PRINT_CASE_BY_NAME(PhyCase)

const PhyCase kPhys[] = {
    {"wide_port_to_the_expander", kExpanders, 2, 3, 0x3, 2, 0, 0x500605B000000000},
    {"sata_drive_attached_directly", kExpanders, 4, 1, 0x3, 2, 0, 0x5000C50000000005},
    {"sas_drive_held_to_its_limit", kExpanders, 6, 2, 0x3, 1, 1, 0x5000C500DEADBEEF},
    {"no_link", kExpanders, 7, 0, 0x3, 0, 0, 0},
    {"sas_drive_at_6_gbps", kDirect, 0, 2, 0x7, 4, 0, 0x5000C50000010000},
    {"sata_drive_at_3_gbps", kDirect, 1, 1, 0x7, 2, 0, 0x5000C50000010001},
    {"drive_of_3_gbps", kDirect, 3, 2, 0x7, 2, 0, 0x5000C50000010003},
    {"expander_of_an_enclosure", kDirect, 2, 3, 0x7, 4, 0, 0x500605B000000100},
};

class PhyFacts : public ::testing::TestWithParam<PhyCase> {};

TEST_P(PhyFacts, DeviceSpeedsLimitAndAddress) {
    const PhyCase& c = GetParam();
    const ObjectId id = phy(c.index, c.number);
    uint8_t type = 9, supported = 9, speed = 9, limit = 9;
    ASSERT_EQ(ctl_get_phy_device_type(id, &type), 0);
    ASSERT_EQ(ctl_get_phy_link_speed_supported(id, &supported), 0);
    ASSERT_EQ(ctl_get_phy_link_speed(id, &speed), 0);
    ASSERT_EQ(ctl_get_phy_link_negotiation_limit(id, &limit), 0);
    EXPECT_EQ(type, c.device_type);
    EXPECT_EQ(supported, c.supported);
    EXPECT_EQ(speed, c.speed);
    EXPECT_EQ(limit, c.limit);
    uint8_t address[8];
    ASSERT_EQ(ctl_get_phy_sas_address(id, address), 0);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(address[i], uint8_t(c.address >> (56 - 8 * i))) << i;
}

INSTANTIATE_TEST_SUITE_P(Controllers, PhyFacts, ::testing::ValuesIn(kPhys),
                         [](const auto& info) { return std::string(info.param.name); });

// A drive behind the expander is reached through no phy of its own.
TEST(Phys, DrivesAndTheirPhys) {
    struct Case {
        uint8_t index, port;
        int phy;         // -1: refused
        int32_t error;   // API error of a refusal
        uint8_t interface;
    };
    const Case cases[] = {
        {kExpanders, 5, 4, 0, 1},  {kExpanders, 6, 6, 0, 3}, {kExpanders, 0, -1, 145, 7},
        {kExpanders, 2, -1, 145, 5},   {kDirect, 1, 1, 0, 1},    {kDirect, 3, 3, 0, 3},
        {kDirect, 2, -1, 145, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.index) + ":" + std::to_string(c.port));
        ObjectId found;
        std::memset(&found, 0x77, sizeof found);
        const int result = ctl_get_drive_phy(drive(c.index, c.port), &found);
        uint8_t interface = 0;
        ASSERT_EQ(ctl_get_drive_interface(drive(c.index, c.port), &interface), 0);
        EXPECT_EQ(interface, c.interface);
        if (c.phy < 0) {
            EXPECT_EQ(result, -1);
            EXPECT_EQ(last_error().api_code, c.error);
            continue;
        }
        ASSERT_EQ(result, 0) << last_error().text;
        EXPECT_TRUE(same_id(found, phy(c.index, uint8_t(c.phy))));
        ObjectId back;
        ASSERT_EQ(ctl_get_phy_drive(found, &back), 0);
        EXPECT_TRUE(same_id(back, drive(c.index, c.port)));
    }
}

TEST(Phys, RefusedMappings) {
    ObjectId out;
    // Ports: empty, beyond the controller's, none.
    for (uint8_t port : {uint8_t(7), uint8_t(8), uint8_t(0xFF)}) {
        SCOPED_TRACE(int(port));
        ObjectId id = drive(kExpanders, 0);
        id.b[2] = port;
        EXPECT_EQ(ctl_get_drive_phy(id, &out), -1);
        EXPECT_EQ(last_error().api_code, port == 7 ? 145 : 11);
    }
    // A phy with an expander has no drive of its own: out is all 0xFF.
    std::memset(&out, 0x77, sizeof out);
    EXPECT_EQ(ctl_get_phy_drive(phy(kExpanders, 1), &out), -1);
    EXPECT_EQ(last_error().api_code, 101);
    for (uint8_t b : out.b) EXPECT_EQ(b, 0xFF);
    // Phys beyond the controller's.
    for (uint8_t number : {uint8_t(8), uint8_t(0xFF)}) {
        EXPECT_EQ(ctl_get_phy_drive(phy(kExpanders, number), &out), -1);
        EXPECT_EQ(last_error().api_code, 120);
    }
}

// The phy operations that take a phy check its kind before anything is
// asked of the controller; the drive-to-phy mapping takes a drive.
TEST(Phys, AWrongKindIsAnInvalidPhy) {
    const ObjectId not_a_phy = drive(kExpanders, 5);
    int (*const calls[])(ObjectId) = {
        [](ObjectId id) { uint8_t b; return ctl_get_phy_device_type(id, &b); },
        [](ObjectId id) { uint8_t b; return ctl_get_phy_link_speed_supported(id, &b); },
        [](ObjectId id) { uint8_t b; return ctl_get_phy_link_speed(id, &b); },
        [](ObjectId id) { uint8_t b; return ctl_get_phy_link_negotiation_limit(id, &b); },
        [](ObjectId id) { uint8_t a[8]; return ctl_get_phy_sas_address(id, a); },
        [](ObjectId id) { ObjectId o; return ctl_get_phy_drive(id, &o); },
        [](ObjectId id) { return ctl_set_phy_link_negotiation_limit(id, 2); },
    };
    for (auto call : calls) {
        sim::clear_journal();
        EXPECT_EQ(call(not_a_phy), -1);
        EXPECT_EQ(last_error().api_code, 120);
        EXPECT_TRUE(sim::journal().empty());
    }
}

TEST(Phys, Family7HasPhysOnNewerFirmwareAndMapsByIndex) {
    set_firmware_level({kFamily7}, 35);
    uint32_t count = 0;
    EXPECT_EQ(ctl_get_number_of_phys(controller(kFamily7), &count), -1);
    EXPECT_EQ(last_error().api_code, 2);
    ObjectId out;
    EXPECT_EQ(ctl_get_drive_phy(drive(kFamily7, 0), &out), -1);
    EXPECT_EQ(last_error().api_code, 2);

    set_firmware_level({kFamily7}, 36);
    ASSERT_EQ(ctl_get_number_of_phys(controller(kFamily7), &count), 0);
    EXPECT_EQ(count, 4u);
    sim::clear_journal();
    ASSERT_EQ(ctl_get_drive_phy(drive(kFamily7, 3), &out), 0);
    EXPECT_TRUE(same_id(out, phy(kFamily7, 3)));
    ASSERT_EQ(ctl_get_phy_drive(phy(kFamily7, 2), &out), 0);
    EXPECT_TRUE(same_id(out, drive(kFamily7, 2)));
    EXPECT_EQ(driver_requests(), 2u);  // the firmware level, once for each
}

TEST(Phys, OtherFamiliesHaveNone) {
    for (uint8_t index : {kFamily4, kFamily6, kFamily9}) {
        SCOPED_TRACE(int(index));
        uint32_t flag = 9;
        ASSERT_EQ(family_router().supports_phys(controller(index), &flag), 0);
        EXPECT_EQ(flag, 0u);
        const ErrorRecord before = seed_last_error();
        IdList list;
        expect_failure(index == kFamily9 ? Outcome::Unrouted : Outcome::Refused,
                       ctl_get_phy_list(controller(index), &list), before);
    }
}

TEST(Phys, NegotiationLimit) {
    struct Case {
        const char* name;
        uint8_t index, number;
        int limit;
        int result;
        uint32_t flags;
        int32_t code;  // API error or controller status
        uint8_t speed_after;
    };
    const Case cases[] = {
        {"6 Gbps on family 8", kExpanders, 4, 4, -1, kErrApi, 134, 2},
        {"3 Gbps on family 8", kExpanders, 4, 2, 0, 0, 0, 2},
        {"1.5 Gbps slows the link", kExpanders, 4, 1, 0, 0, 0, 1},
        {"automatic again", kExpanders, 4, 0, 0, 0, 0, 2},
        {"6 Gbps on family 10", kDirect, 0, 4, 0, 0, 0, 4},
        {"3 Gbps on family 10", kDirect, 0, 2, 0, 0, 0, 2},
        {"two speeds at once", kDirect, 0, 3, -1, kErrController | kErrSecondSeries, 0x01D0, 2},
        {"automatic on family 10", kDirect, 0, 0, 0, 0, 0, 4},
        {"6 Gbps on family 7", kFamily7, 0, 4, -1, kErrApi, 134, 0},
        {"3 Gbps on family 7", kFamily7, 0, 2, 0, 0, 0, 2},
        {"on family 6", kFamily6, 0, 2, -1, kErrApi, 2, 0},
    };
    set_firmware_level({kFamily7}, 36);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int result = ctl_set_phy_link_negotiation_limit(phy(c.index, c.number), c.limit);
        EXPECT_EQ(result, c.result);
        const ErrorRecord record = last_error();
        if (c.result != 0) {
            EXPECT_EQ(record.flags, c.flags);
            EXPECT_EQ(c.flags == kErrApi ? record.api_code : record.controller_status, c.code);
            if (c.index != kExpanders && c.index != kDirect) continue;
        }
        uint8_t speed = 9;
        ASSERT_EQ(ctl_get_phy_link_speed(phy(c.index, c.number), &speed), 0);
        EXPECT_EQ(speed, c.speed_after);
    }
    // Family 9 and an unknown family leave the record alone.
    const ErrorRecord before = seed_last_error();
    EXPECT_EQ(ctl_set_phy_link_negotiation_limit(phy(kFamily9, 0), 2), -1);
    EXPECT_TRUE(same_record(before, last_error()));
}

TEST(Phys, FewerPhysCanBeReported) {
    ASSERT_EQ(ctl_set_number_of_phys(controller(kDirect), 2), 0);
    IdList list;
    ASSERT_EQ(ctl_get_phy_list(controller(kDirect), &list), 0);
    EXPECT_EQ(list.count, 2u);
    EXPECT_EQ(ctl_set_number_of_phys(controller(kDirect), 5), -1);  // it has 4
    EXPECT_EQ(last_error().controller_status, 0x01D0);
    ASSERT_EQ(ctl_set_number_of_phys(controller(kDirect), 4), 0);
}

TEST(DriveLinks, SpeedsQueuingAndName) {
    uint8_t speeds[2] = {9, 9};
    ASSERT_EQ(ctl_get_drive_link_speeds(drive(kDirect, 3), speeds), 0);
    EXPECT_EQ(speeds[0], 0x3);
    EXPECT_EQ(speeds[1], 2);
    // Behind an expander the drive runs at its fastest the controller takes.
    ASSERT_EQ(ctl_get_drive_link_speeds(drive(kExpanders, 0), speeds), 0);
    EXPECT_EQ(speeds[0], 0x7);
    EXPECT_EQ(speeds[1], 2);
    // Both reads must succeed.
    change_machine("fault index=1 opcode=0x52 table=0x203 parameter=17 firmware-code=0x010C");
    speeds[0] = speeds[1] = 9;
    EXPECT_EQ(ctl_get_drive_link_speeds(drive(kDirect, 3), speeds), -1);
    EXPECT_EQ(speeds[0], 9);
    EXPECT_EQ(speeds[1], 9);

    change_machine("drive index=1 port=1 queuing=1 queuing-enabled=0");
    uint8_t supported = 9, enabled = 9;
    ASSERT_EQ(ctl_get_drive_queuing_supported(drive(kDirect, 1), &supported), 0);
    ASSERT_EQ(ctl_get_drive_queuing_enabled(drive(kDirect, 1), &enabled), 0);
    EXPECT_EQ(supported, 1);
    EXPECT_EQ(enabled, 0);

    uint8_t wwn[8];
    ASSERT_EQ(ctl_get_drive_wwn(drive(kExpanders, 6), wwn), 0);
    const uint8_t expected[8] = {0x50, 0x00, 0xC5, 0x00, 0xDE, 0xAD, 0xBE, 0xEF};
    EXPECT_EQ(std::memcmp(wwn, expected, 8), 0);
    EXPECT_EQ(ctl_get_drive_wwn(drive(kFamily7, 0), wwn), -1);
    EXPECT_EQ(last_error().api_code, 2);
}

// --- Commands sent as they are ------------------------------------------------

// A second-series request as the driver must receive it: the header with
// its control code and data length, the command area zero but for the
// library's mark and the packet, then the data.
std::vector<uint8_t> request_bytes(uint32_t code, const std::vector<uint8_t>& packet,
                                   const std::vector<uint8_t>& data) {
    std::vector<uint8_t> bytes(1536 + data.size(), 0);
    for (int i = 0; i < 4; ++i) bytes[size_t(i)] = uint8_t(code >> (8 * i));
    for (int i = 0; i < 4; ++i) bytes[20 + size_t(i)] = uint8_t(data.size() >> (8 * i));
    bytes[512 + 124] = 0x80;
    std::copy(packet.begin(), packet.end(), bytes.begin() + 512 + 128);
    std::copy(data.begin(), data.end(), bytes.begin() + 1536);
    return bytes;
}

// The drive SCSI packet's head and command block.
std::vector<uint8_t> scsi_packet(bool with_data, uint8_t port, uint8_t timeout_code,
                                 uint8_t direction, const std::vector<uint8_t>& cdb) {
    std::vector<uint8_t> packet(12, 0);
    packet[0] = with_data ? 0xF1 : 0x11;
    packet[1] = uint8_t(67 + (with_data ? SeriesBackend::get_arch_class() : 0));
    packet[2] = 0xFF;
    packet[3] = port;
    packet[5] = uint8_t(timeout_code << 4);
    packet[6] = direction;
    packet[10] = 0x40;
    packet.insert(packet.end(), cdb.begin(), cdb.end());
    return packet;
}

TEST(DriveCommands, InquiryReachesTheDriveAndItsAnswerComesBack) {
    const std::vector<uint8_t> cdb = {0x12, 0, 0, 0, 36, 0};
    uint8_t data[36] = {};
    uint8_t status = 9, sense[18];
    std::memset(sense, 0x77, sizeof sense);
    sim::clear_journal();
    ASSERT_EQ(ctl_send_drive_scsi_command(drive(kExpanders, 5), 0x33, 0x82, cdb.data(), 6, &status,
                                          sense, sizeof sense, data, sizeof data, 10),
              0)
        << last_error().text;
    const std::vector<sim::JournalEntry> journal = sim::journal();
    ASSERT_EQ(journal.size(), 1u);
    EXPECT_EQ(journal[0].sent,
              request_bytes(264, scsi_packet(true, 5, 1, 0x82, cdb), std::vector<uint8_t>(36, 0)));
    EXPECT_EQ(status, 0);
    EXPECT_EQ(sense[0], 0x77);  // untouched on good status
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data) + 8, 28),
              "SIMDISK S500            02AA");
}

TEST(DriveCommands, ReadCapacity) {
    uint8_t data[32] = {};
    uint8_t status = 9;
    const uint8_t cdb[16] = {0x9E, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 32, 0, 0};
    ASSERT_EQ(ctl_send_drive_scsi_command(drive(kExpanders, 5), 0, 0x83, cdb, 16, &status, nullptr,
                                          0, data, sizeof data, 0),
              0);
    const uint8_t last_block[8] = {0, 0, 0, 0, 0x3A, 0x38, 0x60, 0x2F};  // 976773167
    EXPECT_EQ(std::memcmp(data, last_block, 8), 0);
    EXPECT_EQ(data[10], 0x02);  // 512-byte blocks
}

// A SCSI error fails the request: the status byte and at most 18 bytes of
// sense data reach the caller.
TEST(DriveCommands, ACheckConditionBringsSenseData) {
    const uint8_t cdb[10] = {0x2A};  // WRITE(10): not answered
    uint8_t status = 9, sense[32];
    std::memset(sense, 0x77, sizeof sense);
    EXPECT_EQ(ctl_send_drive_scsi_command(drive(kDirect, 0), 0, 0x80, cdb, 10, &status, sense, 32,
                                          nullptr, 0, 30),
              -1);
    EXPECT_EQ(status, 0x02);
    // The firmware names the failure: the drive returned sense data.
    EXPECT_EQ(last_error().controller_status, 0x02C2) << last_error().text;
    EXPECT_EQ(sense[0], 0x70);
    EXPECT_EQ(sense[2], 0x05);   // ILLEGAL REQUEST
    EXPECT_EQ(sense[12], 0x20);  // invalid command operation code
    EXPECT_EQ(sense[17], 0x00);
    for (int i = 18; i < 32; ++i) EXPECT_EQ(sense[i], 0x77) << i;
    // No room for sense data: none is copied.
    uint8_t none = 0x77;
    EXPECT_EQ(ctl_send_drive_scsi_command(drive(kDirect, 0), 0, 0x80, cdb, 10, &status, &none, 0,
                                          nullptr, 0, 30),
              -1);
    EXPECT_EQ(none, 0x77);
}

// A node that does not open fails before anything is sent or answered:
// the caller's status byte and sense data stay as they were.
TEST(DriveCommands, ANodeThatWillNotOpenAnswersNothing) {
    change_machine("fault call=open index=1 errno=EACCES");
    const uint8_t cdb[6] = {0x00};
    uint8_t status = 9, sense[18];
    std::memset(sense, 0x77, sizeof sense);
    EXPECT_EQ(ctl_send_drive_scsi_command(drive(kDirect, 1), 0, 0x80, cdb, 6, &status, sense,
                                          sizeof sense, nullptr, 0, 0),
              -1);
    EXPECT_EQ(last_error().os_error, EACCES);
    EXPECT_EQ(status, 9);
    EXPECT_EQ(sense[0], 0x77);
}

TEST(DriveCommands, TimeoutsInTensOfSeconds) {
    struct Case {
        int32_t seconds;
        uint8_t code;
    };
    const uint8_t cdb[6] = {0x00};
    for (const Case& c : {Case{-5, 0}, Case{9, 0}, Case{10, 1}, Case{149, 14}, Case{150, 15},
                          Case{200, 15}}) {
        sim::clear_journal();
        uint8_t status = 9;
        ASSERT_EQ(ctl_send_drive_scsi_command(drive(kDirect, 1), 0, 0x80, cdb, 6, &status, nullptr,
                                              0, nullptr, 0, c.seconds),
                  0);
        EXPECT_EQ(sim::journal().at(0).sent[512 + 128 + 5], c.code << 4) << c.seconds;
    }
}

TEST(DriveCommands, RefusedBeforeAnythingIsSent) {
    struct Case {
        const char* name;
        ObjectId id;
        int direction;
        int32_t cdb_length;
        bool buffer;
        int32_t data_length;
        int32_t error;
    };
    const ObjectId sas = drive(kExpanders, 6);
    ObjectId a_unit = sas;
    a_unit.b[0] = kKindUnit;
    const Case cases[] = {
        {"command block of 257 bytes", sas, 0x80, 257, false, 0, 122},
        {"empty command block", sas, 0x80, 0, false, 0, 122},
        {"data direction without a buffer", sas, 0x81, 6, false, 16, 122},
        {"data direction without a length", sas, 0x82, 6, true, 0, 122},
        {"negative data length", sas, 0x83, 6, true, -4, 122},
        {"unknown direction", sas, 0x84, 6, true, 16, 122},
        {"direction below no data", sas, 0x7F, 6, false, 0, 122},
        {"unit identifier", a_unit, 0x80, 6, false, 0, 10},
        {"family 7", drive(kFamily7, 0), 0x80, 6, false, 0, 2},
        {"family 4", drive(kFamily4, 0), 0x80, 6, false, 0, 2},
    };
    uint8_t cdb[300] = {0x12};
    uint8_t data[16];
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::clear_journal();
        uint8_t status = 9;
        EXPECT_EQ(ctl_send_drive_scsi_command(c.id, 0, c.direction, cdb, c.cdb_length, &status,
                                              nullptr, 0, c.buffer ? data : nullptr,
                                              c.data_length, 0),
                  -1);
        EXPECT_EQ(last_error().api_code, c.error);
        EXPECT_TRUE(sim::journal().empty());
        EXPECT_EQ(status, 9);
    }
}

TEST(ControllerCommands, Code512AndCommand1FWithSubCode47) {
    sim::clear_journal();
    ASSERT_EQ(ctl_send_driver_command_512(controller(kDirect)), 0) << last_error().text;
    ASSERT_EQ(sim::journal().size(), 1u);
    EXPECT_EQ(sim::journal()[0].sent, request_bytes(512, {}, {}));
    for (uint8_t index : {kExpanders, kFamily9}) {
        EXPECT_EQ(ctl_send_driver_command_512(controller(index)), -1);
        EXPECT_EQ(last_error().api_code, 2);
    }

    sim::clear_journal();
    ASSERT_EQ(family_router().send_opcode_1f_47(controller(kFamily9), 0x1234), 0)
        << last_error().text;
    ASSERT_EQ(sim::journal().size(), 1u);
    EXPECT_EQ(sim::journal()[0].sent,
              request_bytes(264, {0x1F, 5, 0, 0, 0, 0, 47, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0x34, 0x12},
                            {}));
    EXPECT_EQ(family_router().send_opcode_1f_47(controller(kDirect), 1), -1);
    EXPECT_EQ(last_error().api_code, 2);
}

}  // namespace
