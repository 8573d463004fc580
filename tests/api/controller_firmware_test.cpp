// Controller firmware images through the public functions: the checks of
// generated images against the simulated controllers with their verdicts,
// the verbose check's texts, and downloads that must reach the simulated
// firmware piece by piece and whole.
#include <cstring>
#include <string>
#include <vector>

#include "backend/series_backend.h"
#include "tests/api/firmware_machine.h"
#include "tests/support/journal.h"

namespace {

PYV2_LIBRARY_MACHINE(kFirmwareMachine);

class ControllerFirmware : public ::testing::Test {
  protected:
    void SetUp() override { reload_machine(kFirmwareMachine); }
    ImageFiles files;
};

using test_images::ControllerImage;

ControllerImage image_for(uint32_t architecture) {
    ControllerImage c;
    c.architecture = architecture;
    return c;
}

// --- Checks ----------------------------------------------------------------

struct CheckCase {
    const char* name;
    uint8_t controller;
    ControllerImage image;
    long file_size;  // -1: the image's own size
    int api_error;   // 0: the check succeeds with these verdicts
    uint8_t library_verdict, driver_verdict;
};

ControllerImage with(ControllerImage c, uint16_t srl, uint16_t second, uint16_t branch,
                     uint16_t build) {
    c.srl = srl;
    c.second_srl = second;
    c.branch = branch;
    c.build = build;
    return c;
}

ControllerImage changed(ControllerImage c, void (*change)(ControllerImage&)) {
    change(c);
    return c;
}

// The family-8 controller's driver takes SRLs 22 to 28 and runs 27/2/50.
const ControllerImage k8 = image_for(8);

const CheckCase kCheckCases[] = {
    {"the running version", kFamily8, with(k8, 27, 27, 2, 50), -1, 0, 1, 1},
    {"a higher build", kFamily8, with(k8, 27, 27, 2, 51), -1, 0, 1, 2},
    {"a higher branch", kFamily8, with(k8, 27, 27, 3, 0), -1, 0, 1, 2},
    {"a lower SRL", kFamily8, with(k8, 23, 23, 9, 99), -1, 0, 0, 1},
    {"SRL 24 and 29 suit the library", kFamily8, with(k8, 24, 29, 1, 1), -1, 0, 1, 1},
    {"SRL 30 is newer though out of range", kFamily8, with(k8, 30, 30, 0, 0), -1, 0, 0, 2},
    {"either SRL is enough", kFamily8, with(k8, 21, 24, 9, 99), -1, 0, 1, 1},
    {"neither SRL in any range", kFamily8, with(k8, 21, 21, 9, 99), -1, 0, 0, 0},
    {"SRL 35 on a bus without lane speeds", kFamily6, with(image_for(6), 35, 27, 0, 0), -1, 0, 1,
     1},
    {"SRL 36 needs a lane speed", kFamily6, with(image_for(6), 36, 27, 0, 0), -1, 104, 0, 0},
    {"SRL 36 with a lane speed", kFamily7, with(image_for(6), 36, 27, 0, 0), -1, 0, 1, 1},
    {"SRL 36 without a bus word", kFamily4, with(image_for(4), 36, 27, 0, 0), -1, 104, 0, 0},
    {"the image of another family", kFamily8, image_for(10), -1, 104, 0, 0},
    {"a wrong magic", kFamily8, changed(k8, [](ControllerImage& c) { c.magic = 0xBADDECAE; }), -1,
     103, 0, 0},
    {"a wrong magic of another family", kFamily8,
     changed(image_for(9), [](ControllerImage& c) { c.magic = 0; }), -1, 104, 0, 0},
    {"a file cut short", kFamily8, k8, 12000, 102, 0, 0},
    {"a file longer than its header says", kFamily8,
     changed(k8, [](ControllerImage& c) { c.header_size = 19999; }), -1, 102, 0, 0},
    {"a file shorter than a header", kFamily8, k8, 40, 102, 0, 0},
    {"family 9 is checked", kFamily9, image_for(9), -1, 0, 1, 1},
    {"family 10 is checked", kFamily10, image_for(10), -1, 0, 1, 1},
    {"family 3 does not check", kFamily3, image_for(3), -1, 2, 0, 0},
};

TEST_F(ControllerFirmware, ImageFileChecksGiveTheirVerdicts) {
    for (const CheckCase& c : kCheckCases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> image = test_images::controller_image(c.image);
        if (c.file_size >= 0) image.resize(size_t(c.file_size));
        const std::string path = files.write("image.bin", image);
        FirmwareCompatReport report;
        std::memset(&report, 0x77, sizeof report);
        const int result =
            ctl_check_firmware_image_file(controller(c.controller), path.c_str(), nullptr, &report);
        if (c.api_error != 0) {
            EXPECT_EQ(result, -1);
            EXPECT_EQ(last_error().flags, uint32_t(kErrApi));
            EXPECT_EQ(last_error().api_code, c.api_error);
            continue;
        }
        ASSERT_EQ(result, 0) << last_error().text;
        EXPECT_EQ(report.library_verdict, c.library_verdict);
        EXPECT_EQ(report.driver_verdict, c.driver_verdict);
        EXPECT_EQ(report.controller_verdict, 1);
    }
}

TEST_F(ControllerFirmware, TheReportHoldsTheVersionsOfLibraryDriverFirmwareAndImage) {
    ControllerImage c = with(k8, 27, 27, 2, 50);
    c.version = "FH9X 4.12.00.100";  // all 16 characters, no NUL
    const std::vector<uint8_t> image = test_images::controller_image(c);
    FirmwareCompatReport report;
    std::memset(&report, 0x77, sizeof report);
    ASSERT_EQ(ctl_check_firmware_image_file(
                  controller(kFamily8), files.write("full.bin", image).c_str(), nullptr, &report),
              0)
        << last_error().text;

    std::vector<uint8_t> expected(227, 0);
    expected[0] = 1;
    std::memcpy(&expected[1], "2.08.00.027", 11);
    expected[33] = 1;
    std::memcpy(&expected[34], "3.26.02.012", 11);
    expected[162] = 1;
    std::memcpy(&expected[163], "FH9X 4.10.00.027", 16);
    std::memcpy(&expected[195], "FH9X 4.12.00.100", 16);
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&report);
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + sizeof report), expected);
}

TEST_F(ControllerFirmware, ASizeMismatchLeavesTheReportAndOtherRefusalsClearIt) {
    const std::vector<uint8_t> image = test_images::controller_image(k8);
    FirmwareImageHeader header;
    std::memcpy(&header, image.data(), sizeof header);  // the host is little-endian
    FirmwareCompatReport report;
    std::memset(&report, 0x77, sizeof report);
    EXPECT_EQ(ctl_check_firmware_image(controller(kFamily8), &header, 19999, image.data(), &report),
              -1);
    EXPECT_EQ(last_error().api_code, 102);
    const std::vector<uint8_t> untouched(sizeof report, 0x77);
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&report);
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + sizeof report), untouched);

    header.architecture = 6;
    EXPECT_EQ(ctl_check_firmware_image(controller(kFamily8), &header, 20000, nullptr, &report), -1);
    EXPECT_EQ(last_error().api_code, 104);
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + sizeof report), std::vector<uint8_t>(227, 0));
}

TEST_F(ControllerFirmware, AFileThatCannotBeReadIsTheSystemsError) {
    FirmwareCompatReport report;
    EXPECT_EQ(ctl_check_firmware_image_file(controller(kFamily8), files.path("none.bin").c_str(),
                                            nullptr, &report),
              -1);
    EXPECT_EQ(last_error().flags, uint32_t(kErrOs));
    EXPECT_EQ(last_error().os_error, ENOENT);
}

TEST_F(ControllerFirmware, TheVerboseCheckPrintsItsFindingsAndGoesOn) {
    ControllerImage c = with(image_for(6), 30, 23, 0, 0);
    c.magic = 0x12345678;
    const std::vector<uint8_t> image = test_images::controller_image(c);
    testing::internal::CaptureStdout();
    const int result =
        ctl_check_firmware_image_header(controller(kFamily8), image.data(), uint32_t(image.size()));
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(printed,
              "cz400: image_check: magic number is 0x12345678, expected 0xBADDECAF\n"
              "cz400: image_check: arch ID is 0x00000006, expected 0x00000008\n"
              "cz400: image_check: New image SRL is in range of driver's SRL!\n"
              "    (0x00000016 <= 0x00000017 <= 0x0000001C)\n"
              "                          OR\n"
              "    (0x00000016 <= 0x0000001E <= 0x0000001C)\n"
              "cz400: image_check: New image SRL out of range of API's SRL!\n"
              "    (0x00000017 < 0x00000018) OR (0x0000001D < 0x00000017)\n"
              "                              AND\n"
              "    (0x0000001E < 0x00000018) OR (0x0000001D < 0x0000001E)\n");

    testing::internal::CaptureStdout();
    const std::vector<uint8_t> good = test_images::controller_image(with(k8, 40, 25, 0, 0));
    EXPECT_EQ(ctl_check_firmware_image_header(controller(kFamily8), good.data(), 64), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "cz400: image_check: magic number is OK! (0xBADDECAF = 0xBADDECAF)\n"
              "cz400: image_check: arch ID is OK! (0x00000008 = 0x00000008)\n"
              "cz400: image_check: New image SRL is in range of driver's SRL!\n"
              "    (0x00000016 <= 0x00000019 <= 0x0000001C)\n"
              "                          OR\n"
              "    (0x00000016 <= 0x00000028 <= 0x0000001C)\n"
              "cz400: image_check: New image SRL is in range of API's SRL!\n"
              "    (0x00000018 <= 0x00000019 <= 0x0000001D)\n"
              "                          OR\n"
              "    (0x00000018 <= 0x00000028 <= 0x0000001D)\n");
}

TEST_F(ControllerFirmware, TheVerboseCheckNeedsAWholeHeaderAndTheFirstSeriesAcceptsAny) {
    const std::vector<uint8_t> image = test_images::controller_image(k8);
    const size_t before = driver_requests();
    EXPECT_EQ(ctl_check_firmware_image_header(controller(kFamily8), image.data(), 63), -1);
    EXPECT_EQ(last_error().api_code, 102);
    EXPECT_EQ(driver_requests(), before);

    const std::vector<uint8_t> junk(10, 0xEE);
    testing::internal::CaptureStdout();
    EXPECT_EQ(ctl_check_firmware_image_header(controller(kFamily3), junk.data(), 10), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(driver_requests(), before);
}

// --- Downloads -------------------------------------------------------------

// The download requests of the journal, each with the request as the driver
// must receive it.
void expect_pieces(const std::vector<uint8_t>& image, std::vector<size_t> sizes, size_t passes) {
    const std::vector<sim::JournalEntry> sent = requests(264);
    std::vector<sim::JournalEntry> pieces;
    for (const sim::JournalEntry& e : sent)
        if (e.sent[512 + 128] == 0x56) pieces.push_back(e);
    ASSERT_EQ(pieces.size(), sizes.size() * passes);
    const std::vector<uint8_t> packet = {
        0x56, uint8_t(SeriesBackend::get_arch_class() + 2), 0, 0, 0, 0, 8, 0};
    size_t at = 0;
    for (size_t i = 0; i < pieces.size(); ++i) {
        const size_t offset = i % sizes.size() == 0 ? (at = 0) : at;
        const size_t n = sizes[i % sizes.size()];
        const std::vector<uint8_t> data(image.begin() + long(offset),
                                        image.begin() + long(offset + n));
        EXPECT_EQ(first_difference(pieces[i].sent, expected_request(264, packet, data)), -1)
            << "piece " << i;
        at = offset + n;
    }
}

// The time-out of every lock take, in milliseconds, and the releases.
std::vector<uint32_t> lock_takes() {
    std::vector<uint32_t> takes;
    for (const sim::JournalEntry& e : requests(262))
        takes.push_back(
            uint32_t(e.sent[1536] | e.sent[1537] << 8 | e.sent[1538] << 16 | e.sent[1539] << 24));
    return takes;
}

TEST_F(ControllerFirmware, AnImageGoesInPiecesUnderTheLockAndArrivesWhole) {
    const std::vector<uint8_t> image = test_images::controller_image(k8);
    sim::clear_journal();
    ASSERT_EQ(ctl_download_firmware(controller(kFamily8), image.data(), int32_t(image.size())), 0)
        << last_error().text;
    expect_pieces(image, {8192, 8192, 3616}, 1);
    EXPECT_EQ(sim::controller_firmware(kFamily8), image);
    // 20000 bytes hold the lock for 9 seconds, taken first and released last.
    EXPECT_EQ(lock_takes(), std::vector<uint32_t>{9000});
    const std::vector<sim::JournalEntry> all = sim::journal();
    EXPECT_EQ(all.front().request, 262u);
    EXPECT_EQ(all.back().request, 263u);
}

TEST_F(ControllerFirmware, PiecesEndWithTheImageWhateverItsSize) {
    struct Case {
        size_t size;
        std::vector<size_t> pieces;
    };
    const Case cases[] = {{16384, {8192, 8192}}, {8193, {8192, 1}}, {100, {100}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        ControllerImage ci = k8;
        ci.size = c.size;
        const std::vector<uint8_t> image = test_images::controller_image(ci);
        sim::clear_journal();
        ASSERT_EQ(ctl_download_firmware(controller(kFamily8), image.data(), int32_t(c.size)), 0)
            << last_error().text;
        expect_pieces(image, c.pieces, 1);
        EXPECT_EQ(sim::controller_firmware(kFamily8), image);
    }
}

TEST_F(ControllerFirmware, AChecksumErrorRestartsTheDownloadOnce) {
    const std::vector<uint8_t> image = test_images::controller_image(k8);
    change_machine("set index=4 checksum-errors=1\n");
    sim::clear_journal();
    ASSERT_EQ(ctl_download_firmware(controller(kFamily8), image.data(), int32_t(image.size())), 0)
        << last_error().text;
    expect_pieces(image, {8192, 8192, 3616}, 2);
    EXPECT_EQ(lock_takes().size(), 2u);
    EXPECT_EQ(requests(263).size(), 2u);
    EXPECT_EQ(sim::controller_firmware(kFamily8), image);

    ControllerImage bad = k8;
    bad.bad_checksum = true;
    const std::vector<uint8_t> corrupt = test_images::controller_image(bad);
    sim::clear_journal();
    EXPECT_EQ(ctl_download_firmware(controller(kFamily8), corrupt.data(), int32_t(corrupt.size())),
              -1);
    EXPECT_EQ(last_error().flags, uint32_t(kErrController | kErrSecondSeries));
    EXPECT_EQ(last_error().controller_status, 0x234);
    expect_pieces(corrupt, {8192, 8192, 3616}, 2);
    EXPECT_EQ(sim::controller_firmware(kFamily8), image);
}

TEST_F(ControllerFirmware, OtherRefusalsEndTheDownloadAtOnce) {
    // The controller refuses an image of another architecture when it has
    // it whole; a refused first piece ends the download there.
    const std::vector<uint8_t> other = test_images::controller_image(image_for(10));
    sim::clear_journal();
    EXPECT_EQ(ctl_download_firmware(controller(kFamily8), other.data(), int32_t(other.size())), -1);
    EXPECT_EQ(last_error().controller_status, 0x232);
    expect_pieces(other, {8192, 8192, 3616}, 1);

    const std::vector<uint8_t> image = test_images::controller_image(k8);
    change_machine("fault index=4 opcode=0x56 firmware-code=0x0236\n");
    sim::clear_journal();
    EXPECT_EQ(ctl_download_firmware(controller(kFamily8), image.data(), int32_t(image.size())), -1);
    EXPECT_EQ(last_error().controller_status, 0x236);
    expect_pieces(image, {8192}, 1);
    EXPECT_EQ(requests(263).size(), 1u);
    EXPECT_TRUE(sim::controller_firmware(kFamily8).empty());
}

TEST_F(ControllerFirmware, AControllerStillWaitingAfterTheLastPieceFailsTheDownload) {
    // The header names more bytes than are sent: the last piece is answered
    // "next image buffer expected".
    ControllerImage c = k8;
    c.header_size = 30000;
    const std::vector<uint8_t> image = test_images::controller_image(c);
    EXPECT_EQ(ctl_download_firmware(controller(kFamily8), image.data(), int32_t(image.size())), -1);
    EXPECT_EQ(last_error().controller_status, 0x231);
    EXPECT_TRUE(sim::controller_firmware(kFamily8).empty());
}

TEST_F(ControllerFirmware, ASizeOfNothingIsRefusedBeforeAnythingIsSent) {
    const std::vector<uint8_t> image = test_images::controller_image(k8);
    for (int32_t size : {0, -1, -8193}) {
        SCOPED_TRACE(size);
        const size_t before = driver_requests();
        EXPECT_EQ(ctl_download_firmware(controller(kFamily8), image.data(), size), -1);
        EXPECT_EQ(last_error().api_code, 102);
        EXPECT_EQ(driver_requests(), before);
    }
}

TEST_F(ControllerFirmware, TheLockIsHeldAtLeastFiveSeconds) {
    // Family 10 keeps the lock in a settings parameter, in units of 10 ms,
    // where 0 would release it.
    ControllerImage c = image_for(10);
    c.size = 2047;
    const std::vector<uint8_t> image = test_images::controller_image(c);
    sim::clear_journal();
    ASSERT_EQ(ctl_download_firmware(controller(kFamily10), image.data(), int32_t(image.size())), 0)
        << last_error().text;
    std::vector<uint32_t> lock_values;
    for (const sim::JournalEntry& e : requests(264)) {
        const SentBlock b = sent_block(e);
        if (e.sent[512 + 128] == 0x53 && b.table == 0x8403 && b.id == 61)
            lock_values.push_back(uint32_t(b.value[0] | b.value[1] << 8));
    }
    EXPECT_EQ(lock_values, (std::vector<uint32_t>{500, 0}));
    EXPECT_EQ(sim::controller_firmware(kFamily10), image);
}

TEST_F(ControllerFirmware, AnImageFileIsReadWholeBeforeTheDownload) {
    const std::vector<uint8_t> image = test_images::controller_image(image_for(9));
    ASSERT_EQ(
        ctl_download_firmware_file(controller(kFamily9), files.write("fw.bin", image).c_str()), 0)
        << last_error().text;
    EXPECT_EQ(sim::controller_firmware(kFamily9), image);

    const size_t before = driver_requests();
    EXPECT_EQ(
        ctl_download_firmware_file(controller(kFamily9), files.write("empty.bin", {}).c_str()), -1);
    EXPECT_EQ(last_error().api_code, 102);
    EXPECT_EQ(ctl_download_firmware_file(controller(kFamily9), files.path("none.bin").c_str()), -1);
    EXPECT_EQ(last_error().os_error, ENOENT);
    EXPECT_EQ(driver_requests(), before);
}

TEST_F(ControllerFirmware, TheFirstSeriesTakesTheImageInItsOwnCommand) {
    const std::vector<uint8_t> image(3000, 0x5A);
    sim::clear_journal();
    EXPECT_EQ(ctl_download_firmware(controller(kFamily3), image.data(), int32_t(image.size())), 0)
        << last_error().text;
    const std::vector<sim::JournalEntry> sent = requests(0x1F);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(std::vector<uint8_t>(sent[0].sent.begin() + 1024, sent[0].sent.end()), image);
}

}  // namespace
