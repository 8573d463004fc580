// The first series' 512-byte firmware command packet and the one way the
// back end sends it: open the controller, one driver request, close.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "driver/object_id.h"
#include "driver/series_command.h"

namespace legacy_packet {

constexpr size_t kSize = 512;

// Fields common to every opcode.
constexpr size_t kOpcode = 0;
constexpr size_t kWords = 1;    // length of the command in 32-bit words
constexpr size_t kFlags = 2;    // 0xFF in the ATA pass-through
constexpr size_t kUnit = 3;     // unit number or port; the new unit after CreateUnit
constexpr size_t kStatus = 4;   // 0 success
constexpr size_t kDetail = 5;   // error detail; an operand of a few opcodes
constexpr size_t kOperand = 6;  // u16, or two single bytes at 6 and 7
constexpr size_t kOperand2 = 7;
constexpr size_t kPortMask = 8;  // u32, add drive and import

// ATA register fields of the pass-through.
constexpr size_t kAtaFeatures = 8;
constexpr size_t kAtaSectorCount = 10;
constexpr size_t kAtaLbaLow = 12;
constexpr size_t kAtaLbaMid = 14;
constexpr size_t kAtaLbaHigh = 16;
constexpr size_t kAtaDevice = 18;
constexpr size_t kAtaCommand = 19;

enum Opcode : uint8_t {
    kVerify = 0x05,
    kAddDrive = 0x06,
    kImportUnit = 0x07,
    kReplaceDrive = 0x09,
    kRemoveDrive = 0x0A,
    kFlushWriteCache = 0x0E,
    kAtaNoData = 0x11,
    kDeleteUnit = 0x15,
    kBackgroundTask = 0x17,
    kControllerOption = 0x18,
    kGetParameter = 0x52,
    kSetParameter = 0x53,
    kCreateUnit = 0x54,
    kDownloadFirmware = 0x56,
    kReadErrorLog = 0x59,
    kReadEvent = 0x5C,
    kAtaWithData = 0xB1,
};

// Driver requests: every command but the event read goes as 0x1F.
constexpr uint8_t kCommandRequest = 0x1F;
constexpr uint8_t kEventRequest = 0x1C;

// The parameter block of GET and SET PARAMETER: table, parameter id, size
// (its low 8 bits), then the value.
constexpr size_t kBlockTable = 0;
constexpr size_t kBlockParameter = 2;
constexpr size_t kBlockSize = 3;
constexpr size_t kBlockValue = 4;

constexpr uint32_t kErrorLogSize = 32768;

}  // namespace legacy_packet

// A zeroed packet with its opcode and length; the rest is set field by field.
struct LegacyCommand {
    uint8_t bytes[legacy_packet::kSize];

    LegacyCommand(uint8_t opcode, uint8_t words) {
        std::memset(bytes, 0, sizeof bytes);
        bytes[legacy_packet::kOpcode] = opcode;
        bytes[legacy_packet::kWords] = words;
    }
    void put16(size_t offset, uint16_t value) { le::store(bytes + offset, value, 2); }
    void put32(size_t offset, uint32_t value) { le::store(bytes + offset, value, 4); }
    uint16_t get16(size_t offset) const { return uint16_t(le::load(bytes + offset, 2)); }
};

// Opens the controller of id (byte 1), sends the packet with its data in one
// driver request and closes the controller again. 0, or -1 with the open's,
// the driver's or the firmware's failure recorded.
int send_legacy_command(ObjectId id, LegacyCommand& command, void* data, uint32_t data_length,
                        uint8_t request = legacy_packet::kCommandRequest);

// The same on a controller the caller has opened.
int send_on_descriptor(int32_t descriptor, LegacyCommand& command, void* data, uint32_t data_length,
                       uint8_t request = legacy_packet::kCommandRequest);
