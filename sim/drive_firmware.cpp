// Drives receiving firmware into their microcode buffer, each piece at its
// offset (a piece at offset 0 starts the buffer afresh): DOWNLOAD MICROCODE
// (ATA command 0x92 with features 3, "with offsets, save") to a SATA drive
// through the ATA pass-through with data (opcode 0xB1, protocol 15, PIO data
// out), the block count in LBA low and sector count (high and low byte) and
// the block offset in LBA high and LBA mid; and WRITE BUFFER (mode 7,
// "download microcode with offsets and save", buffer 0) to a SAS drive
// through the drive SCSI pass-through, the offset and length in command
// bytes 3 to 5 and 6 to 8.
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

constexpr uint8_t kSaveWithOffsets = 7;
constexpr uint8_t kDataToDrive = 0x81;
constexpr uint8_t kInvalidOpcode = 0x20, kInvalidFieldInCdb = 0x24;

uint32_t be24(const uint8_t* p) { return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]; }

}  // namespace

uint8_t drive_write_buffer(Controller& c, int port, const uint8_t* cdb, uint8_t direction,
                           const uint8_t* data, uint32_t length) {
    const SimObject* drive = drive_at(c, port);
    if (drive == nullptr || !drive_is_sas(*drive)) return kInvalidOpcode;
    const uint32_t n = be24(cdb + 6);
    if (direction != kDataToDrive || (cdb[1] & 0x1F) != kSaveWithOffsets || cdb[2] != 0 || n == 0 ||
        n > length)
        return kInvalidFieldInCdb;
    receive_at(c.drive_microcode[port], be24(cdb + 3), data, n);
    return 0;
}

bool drive_microcode_command(Machine& m, Controller& c, const uint8_t* packet, const uint8_t* data,
                             uint32_t length, uint16_t* code) {
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
        const uint32_t blocks =
            (get16(packet + kLbaLow) & 0xFFu) << 8 | (get16(packet + kSectorCount) & 0xFFu);
        const uint32_t offset =
            ((get16(packet + kLbaHigh) & 0xFFu) << 8 | (get16(packet + kLbaMid) & 0xFFu)) * kBlock;
        if (blocks == 0 || length != blocks * kBlock) {
            *code = kSglMismatch;
        } else {
            receive_at(c.drive_microcode[port], offset, data, length);
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
