// Commands passed through to devices: the checked public functions let
// through only their lists of commands (and refuse malformed arguments)
// before anything is sent; the routing of the pass-through operations and
// the answers to whether a family takes firmware updates.
#include <cstring>
#include <string>
#include <vector>

#include "api/family_router.h"
#include "tests/api/firmware_machine.h"
#include "tests/support/journal.h"

namespace {

PYV2_LIBRARY_MACHINE(kFirmwareMachine);

class PassThroughChecks : public ::testing::Test {
  protected:
    void SetUp() override { reload_machine(kFirmwareMachine); }
};

// --- Enclosure commands ------------------------------------------------------

struct EnclosureCase {
    const char* name;
    std::vector<uint8_t> cdb;  // empty: no block
    int32_t cdb_length;        // -1: the block's size
    int32_t length;            // of the data
    bool buffer;               // a data buffer is given
    int api_error;             // 0: the command reaches the enclosure
};

const EnclosureCase kEnclosureCases[] = {
    {"TEST UNIT READY", {0x00, 0, 0, 0, 0, 0}, -1, 0, false, 0},
    {"REQUEST SENSE", {0x03, 0, 0, 0, 18, 0}, -1, 18, true, 0},
    {"INQUIRY", {0x12, 0, 0, 0, 36, 0}, -1, 36, true, 0},
    {"RECEIVE DIAGNOSTIC RESULTS", {0x1C, 1, 2, 0, 64, 0}, -1, 64, true, 0},
    {"SEND DIAGNOSTIC", {0x1D, 0x10, 0, 0, 8, 0}, -1, 8, true, 0},
    {"WRITE BUFFER", {0x3B, 2, 0, 0, 0, 0, 0, 0, 16, 0}, -1, 16, true, 0},
    {"READ BUFFER", {0x3C, 2, 1, 0, 0, 0, 0, 4, 0, 0}, -1, 1024, true, 0},
    {"a block of 16 bytes", std::vector<uint8_t>(16, 0x12), -1, 0, false, 0},
    {"PREVENT ALLOW MEDIUM REMOVAL", {0x1E, 0, 0, 0, 1, 0}, -1, 0, false, 123},
    {"WRITE ATTRIBUTE", {0x3D, 0, 0, 0, 0, 0}, -1, 0, false, 123},
    {"WRITE(10)", {0x2A, 0, 0, 0, 0, 0, 0, 0, 1, 0}, -1, 512, true, 123},
    {"an operation code beyond 63", {0x5A, 0, 0, 0, 0, 0}, -1, 0, false, 123},
    {"READ(16)", {0x88, 0, 0, 0, 0, 0}, -1, 0, false, 123},
    {"a block of 17 bytes", std::vector<uint8_t>(17, 0x12), -1, 0, false, 122},
    {"a block of 0 bytes", {0x12}, 0, 0, false, 122},
    {"no block", {}, 6, 0, false, 122},
    {"data without a buffer", {0x12, 0, 0, 0, 36, 0}, -1, 36, false, 122},
    {"a buffer without data", {0x12, 0, 0, 0, 36, 0}, -1, 0, true, 122},
    {"a negative length", {0x12, 0, 0, 0, 36, 0}, -1, -1, true, 122},
};

TEST_F(PassThroughChecks, EnclosuresGetOnlyTheCommandsOfEnclosureServices) {
    const ObjectId enclosure = enclosure_of(kFamily8, 3);
    for (const EnclosureCase& c : kEnclosureCases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> data(1024, 0);
        uint8_t status = 0xEE;
        uint8_t sense[32];
        sim::clear_journal();
        const int result = ctl_send_enclosure_scsi_command(
            enclosure, c.cdb.empty() ? nullptr : c.cdb.data(),
            c.cdb_length >= 0 ? c.cdb_length : int32_t(c.cdb.size()), &status, sense, sizeof sense,
            c.buffer ? data.data() : nullptr, c.length, 60, 0);
        if (c.api_error != 0) {
            expect_refused_unsent(result, c.api_error);
            continue;
        }
        // Whatever the processor answered, the command reached it as given.
        const std::vector<PassThrough> sent = pass_throughs();
        ASSERT_EQ(sent.size(), 1u);
        std::vector<uint8_t> block = c.cdb;
        block.resize(16, 0);
        EXPECT_EQ(sent[0].cdb, block);
        EXPECT_EQ(sent[0].sent.size(), size_t(c.length));
    }
}

TEST_F(PassThroughChecks, AnEnclosureCommandReachesTheModuleOfItsLun) {
    const uint8_t inquiry[6] = {0x12, 0, 0, 0, 64, 0};
    uint8_t data[64] = {};
    uint8_t status = 0xEE, sense[18];
    ASSERT_EQ(ctl_send_enclosure_scsi_command(enclosure_of(kFamily8, 0), inquiry, 6, &status, sense,
                                              sizeof sense, data, sizeof data, 60, 2),
              0)
        << last_error().text;
    EXPECT_EQ(status, 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data + 36)), "Vexlin storage module");
    EXPECT_EQ(pass_throughs().back().lun_field, 2 << 12);
    // Enclosures are served on families 8 and 10.
    EXPECT_EQ(ctl_send_enclosure_scsi_command(enclosure_of(kFamily6, 0), inquiry, 6, &status, sense,
                                              sizeof sense, data, sizeof data, 60, 0),
              -1);
    EXPECT_EQ(last_error().api_code, 2);
}

// --- ATA commands ------------------------------------------------------------

struct AtaCase {
    const char* name;
    uint8_t command;
    uint16_t features;
    int api_error;      // 0: sent
    uint16_t protocol;  // the code the firmware receives
};

const AtaCase kAtaCases[] = {
    {"NOP", 0x00, 0, 0, 8},
    {"READ SECTORS", 0x20, 0, 0, 13},
    {"READ DMA EXT", 0x25, 0, 0, 9},
    {"READ STREAM DMA EXT", 0x2A, 0, 0, 9},
    {"SET MAX ADDRESS EXT", 0x37, 0, 0, 8},
    {"WRITE LOG EXT", 0x3F, 0, 0, 15},
    {"READ DMA", 0xC8, 0, 0, 9},
    {"WRITE BUFFER", 0xE8, 0, 0, 15},
    {"IDENTIFY DEVICE", 0xEC, 0, 0, 13},
    {"SECURITY FREEZE LOCK", 0xF5, 0, 0, 8},
    {"READ NATIVE MAX ADDRESS", 0xF8, 0, 0, 8},
    {"SMART READ DATA", 0xB0, 0xD0, 0, 13},
    {"SMART READ THRESHOLDS", 0xB0, 0xD1, 0, 13},
    {"SMART AUTOSAVE", 0xB0, 0xD2, 0, 8},
    {"SMART OFF-LINE IMMEDIATE", 0xB0, 0xD4, 0, 8},
    {"SMART READ LOG", 0xB0, 0xD5, 0, 13},
    {"SMART WRITE LOG", 0xB0, 0xD6, 0, 15},
    {"SMART ENABLE OPERATIONS", 0xB0, 0xD8, 0, 8},
    {"SMART RETURN STATUS", 0xB0, 0xDA, 0, 8},
    {"WRITE SECTORS", 0x30, 0, 83, 0},
    {"WRITE DMA", 0xCA, 0, 83, 0},
    {"DOWNLOAD MICROCODE", 0x92, 3, 83, 0},
    {"SECURITY ERASE UNIT", 0xF4, 0, 83, 0},
    {"SMART 0xD3", 0xB0, 0xD3, 84, 0},
    {"SMART DISABLE OPERATIONS", 0xB0, 0xD9, 84, 0},
    {"SMART below the features", 0xB0, 0xCF, 84, 0},
    {"SMART above the features", 0xB0, 0xDB, 84, 0},
    {"SMART in the high byte", 0xB0, 0x01D0, 84, 0},
};

TEST_F(PassThroughChecks, AtaCommandsGoWithTheProtocolOfTheirList) {
    const ObjectId drive = drive_of(kFamily8, 0);
    for (const AtaCase& c : kAtaCases) {
        SCOPED_TRACE(c.name);
        uint16_t features = c.features, count = 1, low = 0, mid = 0, high = 0;
        uint8_t device = 0, command = c.command;
        uint8_t data[512] = {};
        sim::clear_journal();
        const int result = ctl_send_checked_ata_command(drive, 1, &features, &count, &low, &mid,
                                                        &high, &device, &command, data);
        if (c.api_error != 0) {
            EXPECT_EQ(result, -1);
            EXPECT_EQ(last_error().api_code, c.api_error);
            EXPECT_TRUE(sim::journal().empty());
            continue;
        }
        const std::vector<FirmwareRequest> sent = firmware_requests(0xB1);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].packet[6] | sent[0].packet[7] << 8, c.protocol);
        EXPECT_EQ(sent[0].packet[19], c.command);
        EXPECT_EQ(sent[0].packet[8] | sent[0].packet[9] << 8, c.features);
    }
}

TEST_F(PassThroughChecks, AtaRegistersMustAllBeGiven) {
    uint16_t r = 0;
    uint8_t device = 0, command = 0xEC;
    EXPECT_EQ(ctl_send_checked_ata_command(drive_of(kFamily8, 0), 1, &r, &r, nullptr, &r, &r,
                                           &device, &command, nullptr),
              -1);
    EXPECT_EQ(last_error().api_code, 122);
    EXPECT_EQ(ctl_send_checked_ata_command(drive_of(kFamily8, 0), 1, &r, &r, &r, &r, &r, &device,
                                           nullptr, nullptr),
              -1);
    EXPECT_EQ(last_error().api_code, 122);
}

TEST_F(PassThroughChecks, TheTimeOutReachesTheSecondSeriesOnly) {
    uint8_t data[512];
    auto send = [&](uint8_t index, int32_t timeout) {
        uint16_t features = 0, count = 1, low = 0, mid = 0, high = 0;
        uint8_t device = 0, command = 0xEC;
        sim::clear_journal();
        return timeout < 0
                   ? ctl_send_ata_command(drive_of(index, 0), 1, 13, &features, &count, &low, &mid,
                                          &high, &device, &command, data)
                   : ctl_send_ata_command_timed(drive_of(index, 0), 1, 13, &features, &count, &low,
                                                &mid, &high, &device, &command, data, timeout);
    };
    ASSERT_EQ(send(kFamily8, 60), 0) << last_error().text;
    EXPECT_EQ(firmware_requests(0xB1).at(0).packet[5], 0x61);
    ASSERT_EQ(send(kFamily8, -1), 0) << last_error().text;
    EXPECT_EQ(firmware_requests(0xB1).at(0).packet[5], 0x01);
    // Family 9 is not routed; the first series has its own command.
    EXPECT_EQ(send(kFamily9, 60), -1);
    EXPECT_TRUE(sim::journal().empty());
    EXPECT_EQ(
        ctl_send_checked_ata_command_timed(drive_of(kFamily3, 1), 1, nullptr, nullptr, nullptr,
                                           nullptr, nullptr, nullptr, nullptr, nullptr, 60),
        -1);
    uint16_t features = 0, count = 1, low = 0, mid = 0, high = 0;
    uint8_t device = 0, command = 0xEC;
    sim::clear_journal();
    EXPECT_EQ(ctl_send_checked_ata_command_timed(drive_of(kFamily3, 1), 1, &features, &count, &low,
                                                 &mid, &high, &device, &command, data, 60),
              0)
        << last_error().text;
    EXPECT_EQ(requests(0x1F).size(), 1u);
}

// --- Commands to the controller and plain SCSI commands ---------------------

TEST_F(PassThroughChecks, RawFirmwareCommandsGoAsBuiltToLaterFamilies) {
    uint8_t area[1024] = {};
    area[128] = 0x52;  // a GET PARAMETER of the controller's identity
    area[129] = uint8_t(SeriesBackend::get_arch_class() + 2);
    area[134] = 1;
    uint8_t block[12] = {0x02, 0x84, 14, 0, 4, 0, 0, 0};
    sim::clear_journal();
    ASSERT_EQ(ctl_send_firmware_command(controller(kFamily8), 0, area, block, sizeof block), 0)
        << last_error().text;
    EXPECT_EQ(block[8], 8);  // the architecture id
    const std::vector<FirmwareRequest> sent = firmware_requests(0x52);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].packet, std::vector<uint8_t>(area + 128, area + 1024));

    for (uint8_t index : {kFamily3, kFamily4}) {
        EXPECT_EQ(ctl_send_firmware_command(controller(index), 0, area, block, sizeof block), -1);
        EXPECT_EQ(last_error().api_code, 2);
    }
    const size_t before = driver_requests();
    EXPECT_EQ(ctl_send_firmware_command(controller(kFamily8), 0, nullptr, block, 12), -1);
    EXPECT_EQ(ctl_send_firmware_command(controller(kFamily8), 0, area, block, -1), -1);
    EXPECT_EQ(ctl_send_firmware_command(controller(kFamily8), 0, area, nullptr, 12), -1);
    EXPECT_EQ(last_error().api_code, 122);
    EXPECT_EQ(driver_requests(), before);
}

TEST_F(PassThroughChecks, PlainScsiCommandsAddressLunZero) {
    uint8_t cdb[16] = {0x12, 0, 0, 0, 36};
    uint8_t data[36] = {};
    ASSERT_EQ(ctl_send_scsi_command(enclosure_of(kFamily8, 0), cdb, data, sizeof data), 0)
        << last_error().text;
    EXPECT_EQ(pass_throughs().back().lun_field, 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data + 8), 6), "SIMENC");
    EXPECT_EQ(ctl_send_scsi_command(controller(kFamily3), cdb, data, sizeof data), -1);
    EXPECT_EQ(last_error().api_code, 2);
}

// --- Firmware updates by family ---------------------------------------------

TEST_F(PassThroughChecks, FamiliesTakingFirmwareUpdates) {
    struct Case {
        uint8_t index;
        uint32_t drives, enclosures;
    };
    const Case cases[] = {{kFamily3, 0, 0},  {kFamily4, 0, 0}, {kFamily6, 1, 0},
                          {kFamily7, 1, 0},  {kFamily8, 1, 1}, {kFamily9, 0, 0},
                          {kFamily10, 1, 1}, {7, 0, 0},        {255, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.index));
        ObjectId id;
        std::memset(&id, 0xFF, sizeof id);
        id.b[0] = 1;
        id.b[1] = c.index;
        const ErrorRecord before = seed_last_error();
        uint32_t drives = 99, enclosures = 99;
        EXPECT_EQ(family_router().supports_drive_firmware_update(id, &drives), 0);
        EXPECT_EQ(family_router().supports_enclosure_firmware_update(id, &enclosures), 0);
        EXPECT_EQ(drives, c.drives);
        EXPECT_EQ(enclosures, c.enclosures);
        EXPECT_TRUE(same_record(before, last_error()));
    }
}

}  // namespace
