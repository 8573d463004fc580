// Enclosure module and expander firmware through the public functions: each
// kind of module takes an image its own way, piece by piece, and the
// simulated module must hold the image whole; image files are compared with
// the installed versions, and an enclosure's versions are listed.
#include <cstring>
#include <string>
#include <vector>

#include "tests/api/firmware_machine.h"

namespace {

PYV2_LIBRARY_MACHINE(kFirmwareMachine);

constexpr uint8_t kModules = 0, kBufferExpander = 1, kPageExpander = 2, kOtherVendor = 3;

class EnclosureFirmware : public ::testing::Test {
  protected:
    void SetUp() override { reload_machine(kFirmwareMachine); }

    int update(uint8_t position, int module, const std::vector<uint8_t>& image, int generic = 0,
               const std::string& name = "image.fw") {
        const std::string path = files.write(name, image);
        sim::clear_journal();
        return ctl_update_enclosure_firmware(enclosure_of(kFamily8, position), module, path.c_str(),
                                             generic);
    }

    ImageFiles files;
};

std::vector<uint8_t> be_bytes(uint64_t value, size_t size) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i < size; ++i) out.push_back(uint8_t(value >> (8 * (size - 1 - i))));
    return out;
}

std::vector<uint8_t> cdb(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    out.resize(16, 0);
    return out;
}

std::vector<PassThrough> commands(uint8_t opcode) {
    std::vector<PassThrough> found;
    for (const PassThrough& p : pass_throughs())
        if (p.cdb[0] == opcode) found.push_back(p);
    return found;
}

// The WRITE BUFFER pieces of the journal: mode, buffer, offsets and sizes,
// and the data of each; they must cover the image in order.
void expect_write_buffer_pieces(const std::vector<uint8_t>& image, uint8_t mode, uint8_t buffer,
                                uint8_t lun) {
    const std::vector<PassThrough> writes = commands(0x3B);
    size_t offset = 0;
    for (const PassThrough& w : writes) {
        const size_t n = std::min<size_t>(1024, image.size() - offset);
        EXPECT_EQ(w.cdb, cdb({{0x3B, mode, buffer}, be_bytes(offset, 3), be_bytes(n, 3)}))
            << "piece at " << offset;
        EXPECT_EQ(w.lun_field, lun << 12);
        EXPECT_EQ(w.sent, std::vector<uint8_t>(image.begin() + long(offset),
                                               image.begin() + long(offset + n)));
        offset += n;
    }
    EXPECT_EQ(offset, image.size());
    EXPECT_EQ(writes.size(), (image.size() + 1023) / 1024);
}

// The download microcode pages of the journal, byte for byte.
void expect_download_pages(const std::vector<uint8_t>& image, uint8_t buffer) {
    const std::vector<PassThrough> pages = commands(0x1D);
    size_t offset = 0;
    for (const PassThrough& p : pages) {
        const size_t n = std::min<size_t>(768, image.size() - offset);
        const size_t total = 24 + ((n + 3) & ~size_t(3));
        std::vector<uint8_t> page = {0x0E, 0};
        const std::vector<uint8_t> length = be_bytes(total - 4, 2);
        page.insert(page.end(), length.begin(), length.end());
        page.insert(page.end(), {0, 0, 0, 0, 7, 0, 0, buffer});
        for (uint64_t field : {uint64_t(offset), uint64_t(image.size()), uint64_t(n)}) {
            const std::vector<uint8_t> b = be_bytes(field, 4);
            page.insert(page.end(), b.begin(), b.end());
        }
        page.insert(page.end(), image.begin() + long(offset), image.begin() + long(offset + n));
        page.resize(total, 0);
        EXPECT_EQ(p.cdb, cdb({{0x1D, 0x10, 0}, be_bytes(total, 2)})) << "page at " << offset;
        EXPECT_EQ(p.sent, page) << "page at " << offset;
        offset += n;
    }
    EXPECT_EQ(offset, image.size());
}

// --- Updates ---------------------------------------------------------------

TEST_F(EnclosureFirmware, AModuleTakesTheImageByWriteBufferInPiecesOf1024) {
    const std::vector<uint8_t> image = test_images::pattern(2049);
    ASSERT_EQ(update(kModules, 1, image), 0) << last_error().text;
    expect_write_buffer_pieces(image, 0x0E, 0, 1);
    EXPECT_EQ(sim::enclosure_firmware(kFamily8, kModules, 1, 0), image);
    // The module was asked what it is first: a standard INQUIRY of 512 bytes.
    const PassThrough inquiry = commands(0x12).front();
    EXPECT_EQ(inquiry.cdb, cdb({{0x12, 0, 0, 2, 0}}));
    EXPECT_EQ(inquiry.target, 64);
}

TEST_F(EnclosureFirmware, AnExpanderOfTheBufferClassTakesTheImageInBufferE2) {
    const std::vector<uint8_t> image = test_images::expander_image('a', 0x01030000, 2500);
    ASSERT_EQ(update(kBufferExpander, 0, image), 0) << last_error().text;
    // Its chip was read first: register 0xC000002C, 4 bytes.
    const PassThrough chip = commands(0x3C).front();
    EXPECT_EQ(chip.cdb, cdb({{0x3C, 0x01, 0xC2, 0xC0, 0x00, 0x00, 0x2C, 0x00, 0x04}}));
    expect_write_buffer_pieces(image, 0x02, 0xE2, 0);
    EXPECT_EQ(sim::enclosure_firmware(kFamily8, kBufferExpander, 0, 0xE2), image);
}

TEST_F(EnclosureFirmware, OtherExpandersTakeDownloadPagesOf768AndReportTheirStatus) {
    const std::vector<uint8_t> image = test_images::expander_image('b', 0x01030000, 770);
    ASSERT_EQ(update(kPageExpander, 0, image), 0) << last_error().text;
    expect_download_pages(image, 2);
    const std::vector<PassThrough> pages = commands(0x1D);
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0].sent.size(), 792u);
    EXPECT_EQ(pages[1].sent.size(), 28u);
    EXPECT_EQ(sim::enclosure_firmware(kFamily8, kPageExpander, 0, 2), image);
    const PassThrough status = commands(0x1C).back();
    EXPECT_EQ(status.cdb, cdb({{0x1C, 0x01, 0x0E, 0x04, 0x00}}));
}

TEST_F(EnclosureFirmware, AnErrorStatusAfterTheDownloadPagesIsTheExpandersError) {
    const std::vector<uint8_t> image = test_images::expander_image('b', 1, 900);
    for (const char* status : {"0x80", "0x8F"}) {
        SCOPED_TRACE(status);
        change_machine(std::string("enclosure index=4 number=2 download-status=") + status + "\n");
        EXPECT_EQ(update(kPageExpander, 0, image), -1);
        EXPECT_EQ(last_error().api_code, 137);
    }
    change_machine("enclosure index=4 number=2 download-status=0x11\n");
    EXPECT_EQ(update(kPageExpander, 0, image), 0) << last_error().text;

    // The status is read even after a refused page; unread, the update fails.
    change_machine("enclosure index=4 number=2 download-status=0x80 refuse=0x1D\n");
    EXPECT_EQ(update(kPageExpander, 0, image), -1);
    EXPECT_EQ(last_error().api_code, 137);
    EXPECT_EQ(commands(0x1C).size(), 1u);
    change_machine("enclosure index=4 number=2 refuse=0x1C\n");
    EXPECT_EQ(update(kPageExpander, 0, image), -1);
    EXPECT_EQ(last_error().controller_status, 0x02C2);
    EXPECT_EQ(sim::enclosure_firmware(kFamily8, kPageExpander, 0, 2), image);
}

TEST_F(EnclosureFirmware, TheExpanderChipDecidesThePath) {
    const std::vector<uint8_t> image = test_images::expander_image('b', 1, 1500);
    struct Case {
        const char* name;
        const char* change;
        int result;
        int api_error;
        uint8_t opcode;  // how the image went: 0x3B buffer, 0x1D pages
    };
    const Case cases[] = {
        {"an unknown device type", "chip=0x222", -1, 136, 0},
        {"class 1", "chip=0x211", 0, 0, 0x1D},
        {"class 2", "chip=0x227", 0, 0, 0x3B},
        {"no chip register, a buffer 0 header of signature B", "chip=", 0, 0, 0x1D},
        {"no chip register and no image header", "chip= installed-version=", 0, 0, 0x1D},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reload_machine(kFirmwareMachine);
        change_machine(std::string("enclosure index=4 number=2 ") + c.change + "\n");
        ASSERT_EQ(update(kPageExpander, 0, image), c.result);
        if (c.result != 0) {
            EXPECT_EQ(last_error().api_code, c.api_error);
            continue;
        }
        EXPECT_FALSE(commands(c.opcode).empty());
        EXPECT_TRUE(commands(c.opcode == 0x3B ? 0x1D : 0x3B).empty());
    }
}

TEST_F(EnclosureFirmware, EntryListImagesMustNameTheExpandersFamily) {
    // The expander's NAA designator ends in 0xD7.
    const uint8_t same[8] = {0x50, 0, 0, 0, 0, 0, 0, 0xD1};
    const uint8_t other[8] = {0x50, 0, 0, 0, 0, 0, 0, 0xC7};
    const std::vector<uint8_t> image = test_images::entry_list_image(same);
    ASSERT_EQ(update(kBufferExpander, 0, image, 0, "expander.BIN"), 0) << last_error().text;
    EXPECT_EQ(commands(0x12).back().cdb, cdb({{0x12, 0x01, 0x83, 0x02, 0x00}}));
    expect_write_buffer_pieces(image, 0x02, 0xE3, 0);
    EXPECT_EQ(sim::enclosure_firmware(kFamily8, kBufferExpander, 0, 0xE3), image);

    EXPECT_EQ(update(kBufferExpander, 0, test_images::entry_list_image(other), 0, "x.bin.1"), -1);
    EXPECT_EQ(last_error().api_code, 135);
    EXPECT_TRUE(commands(0x3B).empty());

    // Without an identifier there is nothing to compare; other classes take
    // download pages into buffer 3.
    const std::vector<uint8_t> plain = test_images::pattern(1000);
    ASSERT_EQ(update(kPageExpander, 0, plain, 0, "plain.bin"), 0) << last_error().text;
    expect_download_pages(plain, 3);
}

TEST_F(EnclosureFirmware, GenericUpdatesServeOtherVendorsAndFallBackToPages) {
    const std::vector<uint8_t> image = test_images::pattern(1500);
    EXPECT_EQ(update(kOtherVendor, 0, image), -1);
    EXPECT_EQ(last_error().api_code, 136);

    ASSERT_EQ(update(kOtherVendor, 0, image, 1), 0) << last_error().text;
    expect_write_buffer_pieces(image, 0x0E, 0, 0);
    EXPECT_TRUE(commands(0x1D).empty());

    change_machine("enclosure index=4 number=3 refuse=0x3B\n");
    ASSERT_EQ(update(kOtherVendor, 0, image, 1), 0) << last_error().text;
    expect_download_pages(image, 0);
    EXPECT_TRUE(commands(0x1C).empty());
    EXPECT_EQ(sim::enclosure_firmware(kFamily8, kOtherVendor, 0, 0), image);

    // Generic expanders go by their product text: "2X" names the buffer class.
    const std::vector<uint8_t> signed_image = test_images::expander_image('a', 1, 900);
    ASSERT_EQ(update(kBufferExpander, 0, signed_image, 1), 0) << last_error().text;
    EXPECT_TRUE(commands(0x3C).empty());
    expect_write_buffer_pieces(signed_image, 0x02, 0xE2, 0);
    change_machine("enclosure index=4 number=1 product=\"SAS EXPANDER\"\n");
    ASSERT_EQ(update(kBufferExpander, 0, signed_image, 1), 0) << last_error().text;
    expect_download_pages(signed_image, 2);
}

TEST_F(EnclosureFirmware, ImagesAndControllersThatCannotTakeAnUpdateAreRefused) {
    std::vector<uint8_t> cut = test_images::expander_image('b', 1, 900);
    cut.resize(83);
    struct Case {
        const char* name;
        uint8_t controller, position;
        std::vector<uint8_t> image;  // empty with path "": no file
        const char* path;
        int api_error;
    };
    const Case cases[] = {
        {"a family without enclosure firmware", kFamily6, 0, test_images::pattern(100), "a.fw",
         138},
        {"no file", kFamily8, kModules, {}, "", 146},
        {"an empty file", kFamily8, kModules, {}, "empty.fw", 140},
        {"an expander image without signature", kFamily8, kPageExpander,
         test_images::expander_image(0, 1, 900), "a.fw", 139},
        {"a signed image shorter than its header", kFamily8, kPageExpander, cut, "a.fw", 139},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = files.path("missing.fw");
        if (*c.path != '\0') path = files.write(c.path, c.image);
        sim::clear_journal();
        EXPECT_EQ(ctl_update_enclosure_firmware(enclosure_of(c.controller, c.position), 0,
                                                path.c_str(), 1),
                  -1);
        EXPECT_EQ(last_error().api_code, c.api_error);
        EXPECT_TRUE(commands(0x3B).empty() && commands(0x1D).empty());
    }
}

TEST_F(EnclosureFirmware, Family10TakesUpdatesToo) {
    const std::vector<uint8_t> image = test_images::pattern(3000);
    const std::string path = files.write("esm.fw", image);
    ASSERT_EQ(ctl_update_enclosure_firmware(enclosure_of(kFamily10, 1), 0, path.c_str(), 0), 0)
        << last_error().text;
    EXPECT_EQ(sim::enclosure_firmware(kFamily10, 1, 0, 0), image);
}

// --- Versions --------------------------------------------------------------

struct Compared {
    int result;
    FirmwareVersionRecord record;
};

Compared compare(uint8_t position, int module, const std::string& path) {
    Compared c;
    std::memset(&c.record, 0x77, sizeof c.record);
    c.result = ctl_compare_enclosure_firmware_file(enclosure_of(kFamily8, position), module,
                                                   path.c_str(), &c.record);
    return c;
}

TEST_F(EnclosureFirmware, ModuleImagesAreComparedWithTheRevisionOrTheVersionPage) {
    const std::string file =
        files.write("esm.fw", test_images::module_image_of_version("01020304"));
    struct Case {
        const char* name;
        const char* change;
        uint8_t verdict;
        const char* installed;
    };
    const Case cases[] = {
        {"revision 0110: only the last two bytes count", "revision=0110", 1, "0.00.01.10"},
        {"revision 0211", "revision=0211", 1, "90.00.02.11"},
        {"revision 0304 without a version page", "revision=0304", 128, "0.00.00.00"},
        {"revision 0305 and version page", "revision=0305 esm-version=01020304", 3, "1.02.03.04"},
        {"a newer version page", "revision=0305 esm-version=01020400", 2, "1.02.04.00"},
        {"an older version page", "revision=0305 esm-version=00990304", 1, "0.99.03.04"},
        {"a version page too short", "revision=0305 esm-version=01020304 vpd2-length=76", 128,
         "0.00.00.00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reload_machine(kFirmwareMachine);
        change_machine(std::string("enclosure index=4 number=0 ") + c.change + "\n");
        const Compared r = compare(kModules, 2, file);
        ASSERT_EQ(r.result, 0) << last_error().text;
        EXPECT_EQ(r.record.verdict, c.verdict);
        EXPECT_STREQ(r.record.installed, c.installed);
        EXPECT_STREQ(r.record.file, "1.02.03.04");
    }
    // Revision 0211 with the same last two bytes: equal, whatever the top byte.
    change_machine("enclosure index=4 number=0 revision=0211\n");
    const std::string same =
        files.write("same.fw", test_images::module_image_of_version("00000211"));
    EXPECT_EQ(compare(kModules, 0, same).record.verdict, 3);
}

TEST_F(EnclosureFirmware, ModuleImagesNeedTheirHeader) {
    const Compared no_marker = compare(
        kModules, 0, files.write("a.fw", test_images::module_image("ESM_FILE_VERSION=01020304\n")));
    EXPECT_EQ(no_marker.result, -1);
    EXPECT_EQ(last_error().api_code, 139);
    EXPECT_EQ(no_marker.record.verdict, 0);
    EXPECT_STREQ(no_marker.record.file, "UNKNOWN");

    const Compared short_file =
        compare(kModules, 0, files.write("b.fw", test_images::module_image_of_version("01", 511)));
    EXPECT_EQ(short_file.result, -1);
    EXPECT_EQ(last_error().api_code, 140);
    EXPECT_EQ(compare(kModules, 0, files.path("none.fw")).result, -1);
    EXPECT_EQ(last_error().api_code, 146);
}

TEST_F(EnclosureFirmware, ExpanderImagesAreComparedWithTheHeaderTheExpanderHolds) {
    struct Case {
        const char* name;
        uint8_t position;
        std::vector<uint8_t> image;
        int result, api_error;
        uint8_t verdict;
    };
    const Case cases[] = {
        {"the same version", kBufferExpander, test_images::expander_image('a', 0x01020005), 0, 0,
         3},
        {"a newer file", kBufferExpander, test_images::expander_image('a', 0x01020006), 0, 0, 1},
        {"an older file", kPageExpander, test_images::expander_image('b', 0x00090909), 0, 0, 2},
        {"signature A for a chip of class 1", kPageExpander,
         test_images::expander_image('a', 0x01020005), -1, 135, 0},
        {"no signature", kPageExpander, test_images::expander_image(0, 0x01020005), -1, 139, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::clear_journal();
        const Compared r = compare(c.position, 0, files.write("x.fw", c.image));
        ASSERT_EQ(r.result, c.result);
        if (c.result != 0) {
            EXPECT_EQ(last_error().api_code, c.api_error);
            continue;
        }
        EXPECT_EQ(r.record.verdict, c.verdict);
        EXPECT_STREQ(r.record.installed, "1.02.00.005");
        // The class-2 chip keeps its header in buffer 0xE1, others in 1.
        const uint8_t buffer = c.position == kBufferExpander ? 0xE1 : 0x01;
        EXPECT_EQ(commands(0x3C).back().cdb, cdb({{0x3C, 0x02, buffer, 0, 0, 0, 0, 0x04, 0}}));
    }
}

TEST_F(EnclosureFirmware, ExpanderComparisonsThatCannotCompare) {
    // A revision-2 chip whose stepping reads back 0x40 is revision 3: only
    // images of signature A suit it.
    change_machine("enclosure index=4 number=1 chip-revision=2 stepping=0x40\n");
    sim::clear_journal();
    EXPECT_EQ(compare(kBufferExpander, 0,
                      files.write("b.fw", test_images::expander_image('b', 0x01020005)))
                  .result,
              -1);
    EXPECT_EQ(last_error().api_code, 135);
    const std::vector<PassThrough> writes = commands(0x3B);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].cdb, cdb({{0x3B, 0x01, 0xC2, 0xC0, 0x00, 0x00, 0xA0, 0x00, 0x04}}));
    EXPECT_EQ(writes[0].sent, (std::vector<uint8_t>{0xC0, 0, 0, 0}));

    // A failed comparison shows the module's INQUIRY text as its version.
    change_machine(
        "enclosure index=4 number=1 chip=0x222 inquiry-text=\"QEL expander 36 ports of SAS\"\n");
    const Compared unknown =
        compare(kBufferExpander, 0, files.write("a.fw", test_images::expander_image('a', 1)));
    EXPECT_EQ(unknown.result, -1);
    EXPECT_EQ(last_error().api_code, 136);
    EXPECT_STREQ(unknown.record.installed, "QEL expander 36 port");

    // An installed header that cannot be read leaves the version unknown.
    change_machine("enclosure index=4 number=1 chip=0x223 chip-revision=1 installed-version=\n");
    const Compared unread =
        compare(kBufferExpander, 0, files.write("c.fw", test_images::expander_image('a', 1)));
    EXPECT_EQ(unread.result, 0);
    EXPECT_EQ(unread.record.verdict, 128);

    // Entry-list images carry no version: the file is not even read.
    const Compared listed = compare(kBufferExpander, 0, files.path("no-such-file.bin"));
    EXPECT_EQ(listed.result, 0);
    EXPECT_EQ(listed.record.verdict, 128);
    EXPECT_STREQ(listed.record.installed, "UNKNOWN");
    EXPECT_STREQ(listed.record.file, "UNKNOWN");

    EXPECT_EQ(compare(kOtherVendor, 0, files.path("x.fw")).result, -1);
    EXPECT_EQ(last_error().api_code, 136);
}

TEST_F(EnclosureFirmware, TheVersionListHoldsEveryModuleThatAnswers) {
    EnclosureFirmwareVersionList list;
    std::memset(&list, 0x77, sizeof list);
    ASSERT_EQ(ctl_get_enclosure_firmware_versions(enclosure_of(kFamily8, kModules), &list), 0)
        << last_error().text;
    ASSERT_EQ(list.count, 3);
    for (uint8_t i = 0; i < 3; ++i) {
        EXPECT_EQ(list.entries[i].module, i);
        EXPECT_STREQ(list.entries[i].version, "0.00.01.10");
    }
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&list.entries[3]);
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 33), std::vector<uint8_t>(33, 0));

    struct Case {
        const char* name;
        uint8_t position;
        const char* change;
        const char* version;
    };
    const Case cases[] = {
        {"an expander", kBufferExpander, "", "1.02.00.005"},
        {"an expander of unknown type", kBufferExpander,
         "chip=0x300 inquiry-text=\"QEL expander 36 ports of SAS\"", "QEL expander 36 port"},
        {"another vendor", kOtherVendor, "", "UNKNOWN"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        change_machine("enclosure index=4 number=" + std::to_string(c.position) + " " + c.change +
                       "\n");
        ASSERT_EQ(ctl_get_enclosure_firmware_versions(enclosure_of(kFamily8, c.position), &list),
                  0);
        ASSERT_EQ(list.count, 1);
        EXPECT_STREQ(list.entries[0].version, c.version);
    }

    EXPECT_EQ(ctl_get_enclosure_firmware_versions(enclosure_of(kFamily6, 0), &list), -1);
    EXPECT_EQ(last_error().api_code, 2);
}

}  // namespace
