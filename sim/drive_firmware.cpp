// Drives receiving firmware: DOWNLOAD MICROCODE (ATA command 0x92 with
// features 3, "with offsets, save") to a SATA drive through the ATA
// pass-through with data (opcode 0xB1, protocol 15, PIO data out). The
// block count is LBA low and sector count (high and low byte), the block
// offset LBA high and LBA mid; the blocks land in the drive's microcode
// buffer at their offset.
#include <algorithm>

#include "sim/drives.h"

namespace sim {

namespace {

constexpr size_t kPacketWords = 1, kPort = 3, kProtocol = 6, kFeatures = 8, kSectorCount = 10,
                 kLbaLow = 12, kLbaMid = 14, kLbaHigh = 16, kCommand = 19;
constexpr uint8_t kWithData = 0xB1;
constexpr uint8_t kDownloadMicrocode = 0x92;
constexpr uint16_t kWithOffsets = 3;
constexpr uint16_t kPioDataOut = 15;
constexpr uint32_t kBlock = 512;

constexpr uint16_t kSglMismatch = 0x0103;
constexpr uint16_t kInvalidField = 0x010D;
constexpr uint16_t kInvalidForPort = 0x010E;

}  // namespace

bool drive_microcode_command(Machine& m, Controller& c, const uint8_t* packet,
                             const uint8_t* data, uint32_t length, uint16_t* code) {
    if (packet[0] != kWithData || packet[kCommand] != kDownloadMicrocode) return false;
    const int port = packet[kPort];
    const SimObject* drive = drive_at(c, port);
    *code = 0;
    if (packet[kPacketWords] != m.arch_class() + 5 || get16(packet + kProtocol) != kPioDataOut ||
        get16(packet + kFeatures) != kWithOffsets) {
        *code = kInvalidField;
    } else if (drive == nullptr || !drive_present(c, port) || drive_is_sas(*drive)) {
        *code = kInvalidForPort;
    } else {
        const uint32_t blocks = (get16(packet + kLbaLow) & 0xFFu) << 8 | (get16(packet + kSectorCount) & 0xFFu);
        const uint32_t offset = ((get16(packet + kLbaHigh) & 0xFFu) << 8 | (get16(packet + kLbaMid) & 0xFFu)) * kBlock;
        if (blocks == 0 || length != blocks * kBlock) {
            *code = kSglMismatch;
        } else {
            std::vector<uint8_t>& buffer = c.drive_microcode[port];
            if (offset == 0) buffer.clear();
            if (buffer.size() < size_t(offset) + length) buffer.resize(size_t(offset) + length, 0);
            std::copy(data, data + length, buffer.begin() + offset);
        }
    }
    return true;
}

std::vector<uint8_t> drive_firmware(int controller, int port) {
    std::vector<uint8_t> bytes;
    with_machine([&](Machine& m) {
        const Controller* c = m.controller(controller);
        if (c == nullptr) return;
        auto it = c->drive_microcode.find(port);
        if (it != c->drive_microcode.end()) bytes = it->second;
    });
    return bytes;
}

}  // namespace sim
