// A generator of firmware image files for the tests, of every kind the
// library reads: controller images (64-byte header, payload, checksum),
// enclosure module images (text header), the expander's signed images and
// its entry-list images. The images are this project's own: the fields the
// library and the simulator read are set as asked, the rest is a byte
// pattern that tells one offset from another.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace test_images {

inline void put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}

inline void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (size_t i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

// Bytes that differ from their neighbours and from any shifted copy of
// themselves over a long run, so a piece sent at the wrong offset shows.
inline std::vector<uint8_t> pattern(size_t size, uint32_t seed = 1) {
    std::vector<uint8_t> bytes(size);
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = uint8_t(x);
    }
    return bytes;
}

// --- Controller images.
struct ControllerImage {
    uint32_t architecture = 8;
    uint16_t srl = 27, second_srl = 27, branch = 1, build = 20;
    uint32_t magic = 0xBADDECAF;
    size_t size = 20000;    // the whole image
    long header_size = -1;  // the size the header claims; -1: size
    std::string version = "FH9X 4.12.00.001";
    bool bad_checksum = false;
};

// The checksum the controller checks: the sum of every byte of the image
// but those of the checksum word at 8.
inline uint32_t image_checksum(const std::vector<uint8_t>& image) {
    uint32_t sum = 0;
    for (size_t i = 0; i < image.size(); ++i)
        if (i < 8 || i >= 12) sum += image[i];
    return sum;
}

inline std::vector<uint8_t> controller_image(const ControllerImage& c) {
    std::vector<uint8_t> image = pattern(c.size < 64 ? 64 : c.size, c.architecture);
    put16(image, 0, 0x0100);
    put32(image, 4, c.header_size >= 0 ? uint32_t(c.header_size) : uint32_t(c.size));
    put32(image, 12, c.architecture);
    put16(image, 20, c.branch);
    put16(image, 22, c.build);
    put16(image, 24, c.srl);
    put16(image, 26, c.second_srl);
    put32(image, 28, c.magic);
    for (size_t i = 0; i < 16; ++i)
        image[48 + i] = i < c.version.size() ? uint8_t(c.version[i]) : 0;
    image.resize(c.size);
    if (image.size() >= 12) put32(image, 8, image_checksum(image) + (c.bad_checksum ? 1 : 0));
    return image;
}

// --- Enclosure module images: at least 512 bytes, the text header first.
inline std::vector<uint8_t> module_image(const std::string& header_text, size_t size = 4096) {
    std::vector<uint8_t> image = pattern(size, 7);
    const size_t n = header_text.size() < size ? header_text.size() : size;
    std::copy(header_text.begin(), header_text.begin() + long(n), image.begin());
    if (n < size) image[n] = 0;
    return image;
}

inline std::vector<uint8_t> module_image_of_version(const std::string& version,
                                                    size_t size = 4096) {
    return module_image("ESMFWHDR\nMODEL=SIM-ESM\nESM_FILE_VERSION=" + version + "\n", size);
}

// --- Expander signed images: signature 'a', 'b' or none in the words at
// 4, 8 and 12 of the 84-byte header, the version at 36.
inline std::vector<uint8_t> expander_image(char signature, uint32_t version, size_t size = 3000) {
    static const uint32_t kA[3] = {0xB0EABCA7, 0xB0BCEAA7, 0xB0BCA7EA};
    static const uint32_t kB[3] = {0x5AEAA55A, 0xA55AEAA5, 0x5AA55AEA};
    std::vector<uint8_t> image = pattern(size, 11);
    if (size >= 84) {
        for (size_t i = 0; i < 3; ++i) {
            if (signature == 'a') put32(image, 4 + 4 * i, kA[i]);
            if (signature == 'b') put32(image, 4 + 4 * i, kB[i]);
        }
        put32(image, 36, version);
    }
    return image;
}

// --- Expander entry-list images: byte 3 is the first entry's offset;
// entries of (length + 4) bytes with the length at +4 and a marker at +6;
// the entry marked 0xFF00 holds the 8-byte identifier at +8 as two
// little-endian words, each holding four of its bytes most significant
// first.
inline std::vector<uint8_t> entry_list_image(const uint8_t (&identifier)[8], size_t size = 2048) {
    std::vector<uint8_t> image = pattern(size, 13);
    image[3] = 16;
    // Two entries before the identifier's.
    put16(image, 16 + 4, 28);
    put16(image, 16 + 6, 0x0001);
    put16(image, 48 + 4, 60);
    put16(image, 48 + 6, 0x0002);
    const size_t at = 112;
    put16(image, at + 4, 12);
    put16(image, at + 6, 0xFF00);
    for (size_t word = 0; word < 2; ++word)
        for (size_t i = 0; i < 4; ++i) image[at + 8 + 4 * word + i] = identifier[4 * word + 3 - i];
    return image;
}

inline bool write_image(const std::string& path, const std::vector<uint8_t>& image) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool written =
        image.empty() || std::fwrite(image.data(), 1, image.size(), f) == image.size();
    return std::fclose(f) == 0 && written;
}

}  // namespace test_images
