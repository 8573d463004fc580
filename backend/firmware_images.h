// The firmware image formats the library reads, as pure parsers over the
// bytes of an image: the controller image header, the enclosure module
// image with its text header, the expander's signed image header and the
// entry list of the expander's second image kind; and the texts in which
// module and expander versions are shown. Every reader stays within the
// size it is given.
#pragma once

#include <cstddef>
#include <cstdint>

#include "backend/firmware_records.h"

namespace firmware_image {

// --- Controller images.
// The header from the first FirmwareImageHeader::kSize bytes of an image
// file, converted from little-endian.
FirmwareImageHeader read_controller_header(const uint8_t* bytes);

// --- Enclosure module images: a text header within the first 512 bytes,
// which holds the marker and the file's version after its key, read up to
// the first NUL.
constexpr size_t kModuleHeaderSize = 512;
constexpr char kModuleMarker[] = "ESMFWHDR";
constexpr char kModuleVersionKey[] = "ESM_FILE_VERSION=";
bool has_module_marker(const uint8_t* image, size_t size);
// Byte 3 of the result is the most significant. A missing key, or one that
// no newline ends, gives 0.
uint32_t module_file_version(const uint8_t* image, size_t size);
// Two characters as one byte: the low four bits of each (two decimal digits
// make one BCD byte).
uint8_t digit_pair(char high, char low);
// Eight characters as four digit pairs, the most significant first.
uint32_t digit_pairs(const char* eight);

// --- Expander images.
constexpr size_t kExpanderHeaderSize = 84;
constexpr size_t kExpanderVersionOffset = 36;
// The three words at 4, 8 and 12 of a signed image's header; a header
// shorter than kExpanderHeaderSize carries neither signature.
bool has_expander_signature_a(const uint8_t* header, size_t size);
bool has_expander_signature_b(const uint8_t* header, size_t size);
// The version word of a header of at least kExpanderHeaderSize bytes.
uint32_t expander_image_version(const uint8_t* header);

// The 8-byte identifier of an image of the second expander kind: byte 3
// gives the first entry's offset; each entry holds its length at +4 and its
// marker at +6 (16 bits, little-endian) and the next one starts length + 4
// bytes further on. The entry marked 0xFF00 holds the identifier at +8 as
// two little-endian words, each giving four of its bytes most significant
// first (so the identifier's last byte is the image's byte at +12). false
// when the walk leaves the image before finding it.
constexpr size_t kIdentifierSize = 8;
bool find_image_identifier(const uint8_t* image, size_t size, uint8_t* identifier);

// --- Version texts, from the most significant byte down, each NUL-padded
// to FirmwareVersionRecord::kTextSize bytes: "%x.%02x.%02x.%02x" for
// modules, "%d.%02d.%02d.%03d" for expanders.
void module_version_text(uint32_t version, char* text);
void expander_version_text(uint32_t version, char* text);

}  // namespace firmware_image
