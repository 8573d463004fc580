// Drive firmware through the public functions: an image file reaches a SATA
// drive by DOWNLOAD MICROCODE and a SAS drive by WRITE BUFFER, in pieces of
// 32 KiB that the simulated drive must hold whole at their offsets; the
// refusals before anything is sent; the drive's version record; and the
// checked SCSI commands a drive may get.
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "backend/series_backend.h"
#include "tests/api/firmware_machine.h"

namespace {

PYV2_LIBRARY_MACHINE(kFirmwareMachine);

constexpr uint8_t kSata = 0, kSas = 1;

class DriveFirmware : public ::testing::Test {
  protected:
    void SetUp() override { reload_machine(kFirmwareMachine); }

    int update(uint8_t index, uint8_t port, const std::string& path) {
        sim::clear_journal();
        return ctl_update_drive_firmware(drive_of(index, port), path.c_str(), 0);
    }

    ImageFiles files;
};

// The ATA registers and data of a DOWNLOAD MICROCODE piece as the firmware
// must receive them.
struct AtaPiece {
    uint16_t blocks, block_offset;
};

void expect_ata_pieces(uint8_t port, const std::vector<AtaPiece>& expected) {
    const std::vector<FirmwareRequest> sent = firmware_requests(0xB1);
    ASSERT_EQ(sent.size(), expected.size());
    for (size_t i = 0; i < sent.size(); ++i) {
        SCOPED_TRACE(i);
        const std::vector<uint8_t>& p = sent[i].packet;
        const AtaPiece& e = expected[i];
        const std::vector<uint8_t> registers = {0xB1,
                                                uint8_t(SeriesBackend::get_arch_class() + 5),
                                                0xFF,
                                                port,
                                                0,
                                                0x61,
                                                15,
                                                0,
                                                3,
                                                0,  // features
                                                uint8_t(e.blocks),
                                                0,
                                                uint8_t(e.blocks >> 8),
                                                0,  // sector count, LBA low
                                                uint8_t(e.block_offset),
                                                0,
                                                uint8_t(e.block_offset >> 8),
                                                0,  // LBA mid, high
                                                0,
                                                0x92};
        EXPECT_EQ(std::vector<uint8_t>(p.begin(), p.begin() + 20), registers);
        EXPECT_EQ(sent[i].data.size(), size_t(e.blocks) * 512);
    }
}

TEST_F(DriveFirmware, SataDrivesTakeDownloadMicrocodeInPiecesOf64Blocks) {
    const std::vector<uint8_t> image = test_images::pattern(32769);
    ASSERT_EQ(update(kFamily8, kSata, files.write("sata.fw", image)), 0) << last_error().text;
    expect_ata_pieces(kSata, {{64, 0}, {1, 64}});
    // The last block is filled with zeros.
    std::vector<uint8_t> received = image;
    received.resize(32768 + 512, 0);
    EXPECT_EQ(sim::drive_firmware(kFamily8, kSata), received);

    const std::vector<uint8_t> exact = test_images::pattern(32768, 3);
    ASSERT_EQ(update(kFamily10, 0, files.write("exact.fw", exact)), 0) << last_error().text;
    expect_ata_pieces(0, {{64, 0}});
    EXPECT_EQ(sim::drive_firmware(kFamily10, 0), exact);
}

TEST_F(DriveFirmware, SasDrivesTakeWriteBufferInPiecesOf32KiB) {
    const std::vector<uint8_t> image = test_images::pattern(40000);
    ASSERT_EQ(update(kFamily8, kSas, files.write("sas.fw", image)), 0) << last_error().text;
    const std::vector<FirmwareRequest> sent = firmware_requests(0xF1);
    ASSERT_EQ(sent.size(), 2u);
    const std::vector<std::vector<uint8_t>> cdbs = {
        {0x3B, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x00, 0x00},
        {0x3B, 0x07, 0x00, 0x00, 0x80, 0x00, 0x00, 0x1C, 0x40, 0x00}};
    size_t offset = 0;
    for (size_t i = 0; i < sent.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(sent[i].packet[3], kSas);
        EXPECT_EQ(sent[i].packet[6], 0x81);
        EXPECT_EQ(std::vector<uint8_t>(sent[i].packet.begin() + 12, sent[i].packet.begin() + 22),
                  cdbs[i]);
        const size_t n = i == 0 ? 32768 : 40000 - 32768;
        EXPECT_EQ(sent[i].data, std::vector<uint8_t>(image.begin() + long(offset),
                                                     image.begin() + long(offset + n)));
        offset += n;
    }
    EXPECT_EQ(sim::drive_firmware(kFamily8, kSas), image);
}

TEST_F(DriveFirmware, RefusalsComeBeforeAnythingIsSentToTheDrive) {
    const std::string image = files.write("drive.fw", test_images::pattern(5000));
    change_machine("param index=4 table=0x207 id=24 value=u8:2\n");
    struct Case {
        const char* name;
        uint8_t index, port;
        std::string path;
        int api_error;
    };
    const Case cases[] = {
        {"family 4", kFamily4, 0, image, 141},
        {"family 3", kFamily3, 1, image, 141},
        {"family 9", kFamily9, 0, image, 141},
        {"no file", kFamily8, kSata, files.path("none.fw"), 146},
        {"an empty file", kFamily8, kSata, files.write("empty.fw", {}), 142},
        {"a directory", kFamily8, kSata, files.path(""), 142},
        {"an empty port", kFamily8, 3, image, 143},
        {"an interface neither SAS nor SATA", kFamily8, 7, image, 144},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(update(c.index, c.port, c.path), -1);
        EXPECT_EQ(last_error().api_code, c.api_error);
        EXPECT_TRUE(firmware_requests(0xB1).empty() && firmware_requests(0xF1).empty());
    }
}

TEST_F(DriveFirmware, ImagesBeyondWhatTheCommandsCanAddressAreRefused) {
    // 16 bits of block offset reach 32 MiB, 24 bits of byte offset 16 MiB.
    struct Case {
        uint8_t port;
        off_t size;
        int result;
    };
    const Case cases[] = {{kSata, (off_t(1) << 25) + 1, -1},
                          {kSas, (off_t(1) << 24) + 1, -1},
                          {kSas, off_t(1) << 24, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        const std::string path = files.path("large.fw");
        ASSERT_TRUE(test_images::write_image(path, {}));
        ASSERT_EQ(::truncate(path.c_str(), c.size), 0);
        EXPECT_EQ(update(kFamily8, c.port, path), c.result);
        if (c.result != 0) {
            EXPECT_EQ(last_error().api_code, 142);
            EXPECT_TRUE(firmware_requests(0xB1).empty() && firmware_requests(0xF1).empty());
        } else {
            EXPECT_EQ(firmware_requests(0xF1).size(), 512u);
        }
    }
}

TEST_F(DriveFirmware, DrivesOfEarlierFamiliesAndFailedPieces) {
    const std::string image = files.write("drive.fw", test_images::pattern(70000));
    // SATA drives of families 6 and 7 take the image; SAS drives there
    // cannot get the SCSI command.
    for (uint8_t index : {kFamily6, kFamily7}) {
        SCOPED_TRACE(int(index));
        EXPECT_EQ(update(index, kSata, image), 0) << last_error().text;
        EXPECT_EQ(firmware_requests(0xB1).size(), 3u);
        EXPECT_EQ(update(index, kSas, image), -1);
        EXPECT_EQ(last_error().api_code, 2);
    }
    // The first failed piece ends the download.
    change_machine("fault index=4 opcode=0xB1 firmware-code=0x010D\n");
    EXPECT_EQ(update(kFamily8, kSata, image), -1);
    EXPECT_EQ(last_error().controller_status, 0x010D);
    EXPECT_EQ(firmware_requests(0xB1).size(), 1u);
}

TEST_F(DriveFirmware, TheVersionRecordHoldsTheDrivesVersion) {
    FirmwareVersionRecord record;
    std::memset(&record, 0x77, sizeof record);
    ASSERT_EQ(ctl_read_drive_firmware_version(drive_of(kFamily8, kSata), 0, &record), 0)
        << last_error().text;
    std::vector<uint8_t> expected(65, 0);
    expected[0] = 128;
    std::memcpy(&expected[1], "2.AB", 4);
    std::memcpy(&expected[33], "UNKNOWN", 7);
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&record);
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + sizeof record), expected);

    EXPECT_EQ(ctl_read_drive_firmware_version(drive_of(kFamily9, 0), 0, &record), -1);
    EXPECT_EQ(record.verdict, 128);
    EXPECT_STREQ(record.installed, "UNKNOWN");
    EXPECT_STREQ(record.file, "UNKNOWN");
}

// --- Checked SCSI commands to a drive ----------------------------------------

struct DriveScsiCase {
    const char* name;
    std::vector<uint8_t> cdb;  // empty: no block
    int32_t cdb_length;        // -1: the block's size
    int direction;
    int32_t length;
    bool buffer;
    int api_error;  // 0: the command reaches the drive
};

const DriveScsiCase kDriveScsiCases[] = {
    {"TEST UNIT READY", {0x00, 0, 0, 0, 0, 0}, -1, 0x80, 0, false, 0},
    {"INQUIRY", {0x12, 0, 0, 0, 36, 0}, -1, 0x82, 36, true, 0},
    {"READ(10)", {0x28, 0, 0, 0, 0, 0, 0, 0, 1, 0}, -1, 0x82, 512, true, 0},
    {"VERIFY(16)", std::vector<uint8_t>(16, 0x8F), -1, 0x80, 0, false, 0},
    {"READ CAPACITY(16)",
     {0x9E, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 32, 0, 0},
     -1,
     0x82,
     32,
     true,
     0},
    {"MAINTENANCE IN 0x05", {0xA3, 0x05, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, -1, 0x80, 0, false, 0},
    {"MAINTENANCE IN 0x0C", {0xA3, 0xEC, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, -1, 0x80, 0, false, 0},
    {"SERVICE ACTION IN(12) 0x01",
     {0xAB, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
     -1,
     0x80,
     0,
     false,
     0},
    {"READ DEFECT DATA(12)", {0xB7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, -1, 0x83, 8, true, 0},
    {"a block of 256 bytes", std::vector<uint8_t>(256, 0x00), -1, 0x80, 0, false, 0},
    {"SERVICE ACTION IN(16) 0x11",
     {0x9E, 0x11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 32, 0, 0},
     -1,
     0x82,
     32,
     true,
     123},
    {"MAINTENANCE IN 0x06", {0xA3, 0x06, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, -1, 0x80, 0, false, 123},
    {"MAINTENANCE IN 0x10", {0xA3, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, -1, 0x80, 0, false, 123},
    {"SERVICE ACTION IN(12) 0x00",
     {0xAB, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
     -1,
     0x80,
     0,
     false,
     123},
    {"WRITE(10)", {0x2A, 0, 0, 0, 0, 0, 0, 0, 1, 0}, -1, 0x81, 512, true, 123},
    {"WRITE BUFFER", {0x3B, 7, 0, 0, 0, 0, 0, 0, 16, 0}, -1, 0x81, 16, true, 123},
    {"FORMAT UNIT", {0x04, 0, 0, 0, 0, 0}, -1, 0x80, 0, false, 123},
    {"a service action without its byte", {0x9E}, -1, 0x80, 0, false, 122},
    {"data in without a buffer", {0x12, 0, 0, 0, 36, 0}, -1, 0x82, 36, false, 122},
    {"data in of no length", {0x12, 0, 0, 0, 36, 0}, -1, 0x82, 0, true, 122},
    {"a direction below 0x80", {0x12, 0, 0, 0, 36, 0}, -1, 0x7F, 36, true, 122},
    {"a direction above 0x83", {0x12, 0, 0, 0, 36, 0}, -1, 0x84, 36, true, 122},
    {"a block of 257 bytes", std::vector<uint8_t>(257, 0x00), -1, 0x80, 0, false, 122},
    {"a block of 0 bytes", {0x00}, 0, 0x80, 0, false, 122},
    {"no block", {}, 6, 0x80, 0, false, 122},
    {"a negative length", {0x00, 0, 0, 0, 0, 0}, -1, 0x80, -1, false, 122},
};

TEST_F(DriveFirmware, DrivesGetOnlyCommandsThatReadOrVerify) {
    const ObjectId drive = drive_of(kFamily8, kSas);
    for (const DriveScsiCase& c : kDriveScsiCases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> data(1024, 0);
        uint8_t status = 0xEE, sense[18];
        sim::clear_journal();
        const int result = ctl_send_checked_drive_scsi_command(
            drive, 0, c.direction, c.cdb.empty() ? nullptr : c.cdb.data(),
            c.cdb_length >= 0 ? c.cdb_length : int32_t(c.cdb.size()), &status, sense, sizeof sense,
            c.buffer ? data.data() : nullptr, c.length, 10);
        if (c.api_error != 0) {
            expect_refused_unsent(result, c.api_error);
            continue;
        }
        const std::vector<FirmwareRequest> sent =
            firmware_requests(c.direction == 0x80 ? 0x11 : 0xF1);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].packet[6], c.direction);
        EXPECT_EQ(std::vector<uint8_t>(sent[0].packet.begin() + 12,
                                       sent[0].packet.begin() + 12 + long(c.cdb.size())),
                  c.cdb);
    }
}

}  // namespace
