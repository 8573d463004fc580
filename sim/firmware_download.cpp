// The controller firmware's download command (opcode 0x56, sub-code 8 in
// packet bytes 6 and 7): an image arrives in pieces of at most 8192 bytes
// while the controller lock is held, each answered "next image buffer
// expected" until the image is whole. The image's first 64 bytes are its
// header: the image size at 4, a checksum at 8 (the sum of every other byte
// of the image, modulo 2^32), the architecture id at 12 and the magic
// 0xBADDECAF at 28. A whole image is checked and kept as the controller's
// downloaded image; the pieces start afresh after every answer that is not
// "next image buffer expected" and whenever the lock is taken anew.
//
// Controller attribute: checksum-errors=N makes the next N whole images
// fail their checksum, as if a piece had been damaged on its way.
#include <string>

#include "sim/machine.h"

namespace sim {

namespace {

constexpr uint16_t kSubCode = 8;
constexpr uint32_t kLargestPiece = 8192;
constexpr size_t kHeaderSize = 64;
constexpr uint32_t kMagic = 0xBADDECAF;

constexpr uint16_t kInvalidField = 0x010D;
constexpr uint16_t kSglMismatch = 0x0103;
constexpr uint16_t kNextBuffer = 0x0231;
constexpr uint16_t kArchitecture = 0x0232;
constexpr uint16_t kNoSignature = 0x0233;
constexpr uint16_t kChecksum = 0x0234;
constexpr uint16_t kOverflow = 0x0235;

uint32_t checksum(const std::vector<uint8_t>& image) {
    uint32_t sum = 0;
    for (size_t i = 0; i < image.size(); ++i)
        if (i < 8 || i >= 12) sum += image[i];
    return sum;
}

// Takes one from a countdown attribute; true while it was above 0.
bool take_one(Controller& c, const char* key) {
    const long left = c.attr_number(key, 0);
    if (left <= 0) return false;
    c.attrs[key] = std::to_string(left - 1);
    return true;
}

uint16_t check_image(Controller& c, const std::vector<uint8_t>& image) {
    if (get32(image.data() + 28) != kMagic) return kNoSignature;
    if (get32(image.data() + 12) != uint32_t(c.attr_number("arch", 0))) return kArchitecture;
    if (get32(image.data() + 8) != checksum(image) || take_one(c, "checksum-errors"))
        return kChecksum;
    return 0;
}

}  // namespace

uint16_t firmware_download(Machine& m, Controller& c, const uint8_t* packet, const uint8_t* data,
                           uint32_t length) {
    if (packet[1] != 2 + m.arch_class() || get16(packet + 6) != kSubCode) return kInvalidField;
    if (length == 0 || length > kLargestPiece) return kSglMismatch;
    std::vector<uint8_t>& pieces = c.download_pieces;
    if (c.download_epoch != c.lock_takes) {
        pieces.clear();
        c.download_epoch = c.lock_takes;
    }
    pieces.insert(pieces.end(), data, data + length);
    if (pieces.size() < kHeaderSize) return kNextBuffer;
    const uint32_t size = get32(pieces.data() + 4);
    if (pieces.size() < size) return kNextBuffer;
    const uint16_t answer = pieces.size() > size ? kOverflow : check_image(c, pieces);
    if (answer == 0) c.downloaded_image = pieces;
    pieces.clear();
    return answer;
}

std::vector<uint8_t> controller_firmware(int controller) {
    std::vector<uint8_t> image;
    with_machine([&](Machine& m) {
        if (const Controller* c = m.controller(controller)) image = c->downloaded_image;
    });
    return image;
}

}  // namespace sim
