// The firmware image parsers on generated images and on hostile bytes.
#include "backend/firmware_images.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/firmware_images.h"

using namespace firmware_image;

namespace {

std::vector<uint8_t> text_bytes(const std::string& text) { return {text.begin(), text.end()}; }

std::string module_text(uint32_t version) {
    char text[FirmwareVersionRecord::kTextSize];
    module_version_text(version, text);
    return text;
}

}  // namespace

TEST(ControllerImageHeader, FieldsAreReadLittleEndian) {
    test_images::ControllerImage c;
    c.architecture = 0x0A0B0C0D;
    c.srl = 0x1234;
    c.second_srl = 0x5678;
    c.branch = 0x9ABC;
    c.build = 0xDEF0;
    c.header_size = 0x01020304;
    const std::vector<uint8_t> image = test_images::controller_image(c);
    const FirmwareImageHeader h = read_controller_header(image.data());
    EXPECT_EQ(h.image_size, 0x01020304u);
    EXPECT_EQ(h.word_8, test_images::image_checksum(image));
    EXPECT_EQ(h.architecture, 0x0A0B0C0Du);
    EXPECT_EQ(h.srl, 0x1234);
    EXPECT_EQ(h.second_srl, 0x5678);
    EXPECT_EQ(h.branch, 0x9ABC);
    EXPECT_EQ(h.build, 0xDEF0);
    EXPECT_EQ(h.magic, FirmwareImageHeader::kMagic);
    EXPECT_EQ(std::string(h.version, sizeof h.version), "FH9X 4.12.00.001");
}

TEST(ModuleImage, MarkerAndVersionAreReadUpToTheFirstNulWithinTheHeader) {
    struct Case {
        const char* name;
        std::vector<uint8_t> image;
        bool marker;
        uint32_t version;
    };
    std::vector<uint8_t> after_nul = text_bytes("ESM_FILE_VERSION=01020304\n");
    after_nul.push_back(0);
    const std::vector<uint8_t> marker_after_nul = text_bytes("ESMFWHDR");
    after_nul.insert(after_nul.end(), marker_after_nul.begin(), marker_after_nul.end());
    std::vector<uint8_t> marker_beyond(600, ' ');
    std::memcpy(marker_beyond.data() + 508, "ESMFWHDR", 8);
    std::vector<uint8_t> no_nul(512, 'x');
    std::memcpy(no_nul.data(), "ESMFWHDR ESM_FILE_VERSION=0910\n", 31);
    const Case cases[] = {
        {"whole", test_images::module_image_of_version("01020304"), true, 0x01020304},
        {"short value", test_images::module_image_of_version("0102"), true, 0x01020000},
        {"long value", test_images::module_image_of_version("99887766554433221100"), true,
         0x99887766},
        {"no newline", text_bytes("ESMFWHDR ESM_FILE_VERSION=01020304"), true, 0},
        {"no key", text_bytes("ESMFWHDR\nVERSION=01020304\n"), true, 0},
        {"text after a NUL", after_nul, false, 0x01020304},
        {"marker crossing the header's end", marker_beyond, false, 0},
        {"header without a NUL", no_nul, true, 0x09100000},
        {"empty", {}, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(has_module_marker(c.image.data(), c.image.size()), c.marker);
        EXPECT_EQ(module_file_version(c.image.data(), c.image.size()), c.version);
    }
}

TEST(ModuleImage, DigitPairsTakeTheLowFourBitsOfEachCharacter) {
    EXPECT_EQ(digit_pair('0', '3'), 0x03);
    EXPECT_EQ(digit_pair('9', '1'), 0x91);
    EXPECT_EQ(digit_pair('A', 'b'), 0x12);  // 0x41 and 0x62
    EXPECT_EQ(digit_pairs("01020304"), 0x01020304u);
}

TEST(VersionTexts, ModulesInHexadecimalExpandersInDecimal) {
    EXPECT_EQ(module_text(0x01020304), "1.02.03.04");
    EXPECT_EQ(module_text(0x90000211), "90.00.02.11");
    EXPECT_EQ(module_text(0xFFFFFFFF), "ff.ff.ff.ff");
    const std::vector<uint8_t> header = test_images::expander_image('a', 0x01020005);
    ASSERT_EQ(header[36], 0x05);
    ASSERT_EQ(header[39], 0x01);
    char text[FirmwareVersionRecord::kTextSize];
    expander_version_text(expander_image_version(header.data()), text);
    EXPECT_STREQ(text, "1.02.00.005");
    expander_version_text(0xFFFFFFFF, text);
    EXPECT_STREQ(text, "255.255.255.255");
}

TEST(ExpanderImage, SignaturesNeedAllThreeWordsOfAWholeHeader) {
    const std::vector<uint8_t> a = test_images::expander_image('a', 1);
    const std::vector<uint8_t> b = test_images::expander_image('b', 1);
    EXPECT_TRUE(has_expander_signature_a(a.data(), a.size()));
    EXPECT_FALSE(has_expander_signature_b(a.data(), a.size()));
    EXPECT_TRUE(has_expander_signature_b(b.data(), b.size()));
    EXPECT_FALSE(has_expander_signature_a(b.data(), b.size()));
    std::vector<uint8_t> mixed = a;
    std::copy(b.begin() + 12, b.begin() + 16, mixed.begin() + 12);
    EXPECT_FALSE(has_expander_signature_a(mixed.data(), mixed.size()));
    EXPECT_FALSE(has_expander_signature_b(mixed.data(), mixed.size()));
    // A header cut short carries no signature, whatever its first words say.
    EXPECT_FALSE(has_expander_signature_a(a.data(), kExpanderHeaderSize - 1));
}

TEST(EntryListImage, TheMarkedEntryGivesTheIdentifier) {
    const uint8_t id[8] = {0x50, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0xA7};
    const std::vector<uint8_t> image = test_images::entry_list_image(id);
    uint8_t found[8] = {};
    ASSERT_TRUE(find_image_identifier(image.data(), image.size(), found));
    EXPECT_EQ(std::vector<uint8_t>(found, found + 8), std::vector<uint8_t>(id, id + 8));
    // The identifier's last byte is the image's byte 12 of the entry.
    EXPECT_EQ(image[112 + 12], 0xA7);
}

TEST(EntryListImage, TheWalkStaysWithinTheImage) {
    const uint8_t id[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    const std::vector<uint8_t> good = test_images::entry_list_image(id);
    struct Case {
        const char* name;
        std::vector<uint8_t> image;
    };
    std::vector<uint8_t> first_beyond = good;
    first_beyond[3] = 250;
    first_beyond.resize(255);
    std::vector<uint8_t> length_leaves = good;
    test_images::put16(length_leaves, 16 + 4, 0xFFFF);
    std::vector<uint8_t> identifier_cut(good.begin(), good.begin() + 112 + 12);
    std::vector<uint8_t> header_cut(good.begin(), good.begin() + 112 + 7);
    std::vector<uint8_t> zero_lengths(64, 0);
    zero_lengths[3] = 8;
    const Case cases[] = {
        {"empty", {}},
        {"three bytes", {0, 0, 0}},
        {"first entry beyond the end", first_beyond},
        {"a length past the end", length_leaves},
        {"identifier cut", identifier_cut},
        {"entry header cut", header_cut},
        {"entries of length 0, no marker", zero_lengths},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        uint8_t found[8] = {};
        EXPECT_FALSE(find_image_identifier(c.image.data(), c.image.size(), found));
    }
}
