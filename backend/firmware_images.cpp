// Pure parsers of the firmware image formats.
#include "backend/firmware_images.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "driver/series_command.h"

namespace firmware_image {

namespace {

constexpr uint32_t kSignatureA[3] = {0xB0EABCA7, 0xB0BCEAA7, 0xB0BCA7EA};
constexpr uint32_t kSignatureB[3] = {0x5AEAA55A, 0xA55AEAA5, 0x5AA55AEA};
constexpr size_t kSignatureOffset = 4;

constexpr size_t kFirstEntryOffset = 3;
constexpr size_t kEntryLength = 4;
constexpr size_t kEntryMarker = 6;
constexpr size_t kEntryIdentifier = 8;
constexpr size_t kEntryStep = 4;  // an entry's length leaves out its first four bytes
constexpr uint16_t kIdentifierMarker = 0xFF00;

uint32_t load32(const uint8_t* p) { return uint32_t(le::load(p, 4)); }

// The module header's text: the first bytes up to the first NUL.
std::string_view module_text(const uint8_t* image, size_t size) {
    const size_t n = size < kModuleHeaderSize ? size : kModuleHeaderSize;
    if (n == 0) return {};
    const char* text = reinterpret_cast<const char*>(image);
    const void* nul = std::memchr(text, '\0', n);
    return {text, nul != nullptr ? size_t(static_cast<const char*>(nul) - text) : n};
}

bool has_signature(const uint8_t* header, size_t size, const uint32_t (&words)[3]) {
    if (size < kExpanderHeaderSize) return false;
    for (size_t i = 0; i < 3; ++i)
        if (load32(header + kSignatureOffset + 4 * i) != words[i]) return false;
    return true;
}

void put_text(char* text, const char* format, unsigned a, unsigned b, unsigned c, unsigned d) {
    std::memset(text, 0, FirmwareVersionRecord::kTextSize);
    std::snprintf(text, FirmwareVersionRecord::kTextSize, format, a, b, c, d);
}

}  // namespace

FirmwareImageHeader read_controller_header(const uint8_t* bytes) {
    FirmwareImageHeader h;
    h.word_0 = uint16_t(le::load(bytes + 0, 2));
    h.word_2 = uint16_t(le::load(bytes + 2, 2));
    h.image_size = load32(bytes + 4);
    h.word_8 = load32(bytes + 8);
    h.architecture = load32(bytes + 12);
    h.word_16 = uint16_t(le::load(bytes + 16, 2));
    h.word_18 = uint16_t(le::load(bytes + 18, 2));
    h.branch = uint16_t(le::load(bytes + 20, 2));
    h.build = uint16_t(le::load(bytes + 22, 2));
    h.srl = uint16_t(le::load(bytes + 24, 2));
    h.second_srl = uint16_t(le::load(bytes + 26, 2));
    h.magic = load32(bytes + 28);
    std::memcpy(h.bytes_32, bytes + 32, sizeof h.bytes_32);
    std::memcpy(h.version, bytes + 48, sizeof h.version);
    return h;
}

bool has_module_marker(const uint8_t* image, size_t size) {
    return module_text(image, size).find(kModuleMarker) != std::string_view::npos;
}

uint8_t digit_pair(char high, char low) { return uint8_t((high & 15) << 4 | (low & 15)); }

uint32_t digit_pairs(const char* eight) {
    uint32_t value = 0;
    for (int i = 0; i < 8; i += 2) value = value << 8 | digit_pair(eight[i], eight[i + 1]);
    return value;
}

uint32_t module_file_version(const uint8_t* image, size_t size) {
    constexpr size_t kTaken = 16;
    char digits[kTaken];
    std::memset(digits, '0', sizeof digits);
    const std::string_view text = module_text(image, size);
    const size_t key = text.find(kModuleVersionKey);
    if (key != std::string_view::npos) {
        const std::string_view rest = text.substr(key + std::strlen(kModuleVersionKey));
        const size_t end = rest.find('\n');
        if (end != std::string_view::npos)
            std::memcpy(digits, rest.data(), end < kTaken ? end : kTaken);
    }
    return digit_pairs(digits);
}

bool has_expander_signature_a(const uint8_t* header, size_t size) {
    return has_signature(header, size, kSignatureA);
}

bool has_expander_signature_b(const uint8_t* header, size_t size) {
    return has_signature(header, size, kSignatureB);
}

uint32_t expander_image_version(const uint8_t* header) {
    return load32(header + kExpanderVersionOffset);
}

bool find_image_identifier(const uint8_t* image, size_t size, uint8_t* identifier) {
    if (size <= kFirstEntryOffset) return false;
    // Every step moves at least kEntryStep bytes on, so the walk ends.
    for (size_t at = image[kFirstEntryOffset]; at + kEntryIdentifier <= size;) {
        const uint16_t length = uint16_t(le::load(image + at + kEntryLength, 2));
        const uint16_t marker = uint16_t(le::load(image + at + kEntryMarker, 2));
        if (marker == kIdentifierMarker) {
            if (at + kEntryIdentifier + kIdentifierSize > size) return false;
            for (size_t word = 0; word < 2; ++word) {
                const uint32_t value = load32(image + at + kEntryIdentifier + 4 * word);
                for (size_t i = 0; i < 4; ++i)
                    identifier[4 * word + i] = uint8_t(value >> (24 - 8 * i));
            }
            return true;
        }
        at += size_t(length) + kEntryStep;
    }
    return false;
}

void module_version_text(uint32_t version, char* text) {
    put_text(text, "%x.%02x.%02x.%02x", version >> 24, (version >> 16) & 0xFF,
             (version >> 8) & 0xFF, version & 0xFF);
}

void expander_version_text(uint32_t version, char* text) {
    put_text(text, "%u.%02u.%02u.%03u", version >> 24, (version >> 16) & 0xFF,
             (version >> 8) & 0xFF, version & 0xFF);
}

}  // namespace firmware_image
