// What the library says to an enclosure's management processor and reads
// back from it: the SCSI command blocks, the SES diagnostic pages and the
// SAF-TE buffers, with the pure decoders of SES element bytes. The
// processor is reached through the firmware's SCSI pass-through.
#pragma once

#include <cstddef>
#include <cstdint>

namespace enclosure {

// Byte 7 of enclosure and element identifiers.
constexpr uint8_t kSafte = 0;
constexpr uint8_t kSes = 1;

// Position kinds (controller table 8 parameter 4, one byte per position).
constexpr uint8_t kLunPerSubEnclosure = 1;  // SES processors at LUNs 0 to 7
constexpr uint8_t kSingleProcessor = 2;     // one SES processor at LUN 0

constexpr uint8_t kPositionBase = 0x40;  // identifier byte 4: 0x40 + position
constexpr int kPositions = 16;
constexpr int kMaxLuns = 8;

// Controller parameters.
constexpr uint32_t kEnclosureTable = 8;
constexpr uint32_t kTypeParameter = 2;   // 1 byte
constexpr uint32_t kBlockParameter = 3;  // 1024 bytes
constexpr uint32_t kKindsParameter = 4;  // 32 bytes
constexpr uint32_t kBlockSize = 1024;
constexpr uint32_t kKindsSize = 32;
constexpr uint32_t kPortStatusTable = 2;
constexpr uint32_t kPortStatusParameter = 3;  // 128 bytes, bit 7 = drive present
constexpr uint32_t kPortStatusSize = 128;
constexpr uint8_t kPortPresent = 0x80;
constexpr uint32_t kDriveTableBase = 0x200;
constexpr uint32_t kDrivePositionParameter = 30;  // enclosure position of the port's slot
constexpr uint32_t kDriveSlotParameter = 31;      // slot index in that enclosure

// SCSI pass-through firmware packet (opcode 0x10), at offset 128 of the
// command area.
constexpr uint8_t kPassThroughOpcode = 0x10;
constexpr size_t kPacketTarget = 1;
constexpr size_t kPacketLun = 2;     // 16 bits, little-endian
constexpr size_t kPacketStatus = 4;  // SCSI status on return
constexpr size_t kPacketCdbLength = 5;
constexpr size_t kPacketUnitLun = 6;  // 16 bits: the LUN of a unit or port target
constexpr size_t kPacketCdb = 8;
constexpr size_t kCdbSize = 16;
constexpr size_t kAreaSenseLength = 127;  // sense data from area byte 0
constexpr size_t kAreaStatusOverride = 21;
constexpr uint8_t kSafteTarget = 64;

// Command blocks.
constexpr uint8_t kInquiry = 0x12;
constexpr uint8_t kReadBuffer = 0x3C;
constexpr uint8_t kWriteBuffer = 0x3B;
constexpr uint8_t kReceiveDiagnostic = 0x1C;
constexpr uint8_t kSendDiagnostic = 0x1D;
constexpr uint8_t kEnclosureDeviceType = 13;  // INQUIRY byte 0 bits 0-4

// SES pages, read and written in one 2048-byte buffer.
constexpr size_t kPageBufferSize = 2048;
constexpr size_t kPageHeader = 4;   // code, 0, length (big-endian)
constexpr size_t kFirstElement = 8; // element p at 8 + 4p
constexpr uint8_t kSupportedPages = 0;
constexpr uint8_t kConfigurationPage = 1;
constexpr uint8_t kStatusPage = 2;  // control when sent
constexpr uint8_t kHelpTextPage = 3;

// Page 1: the first enclosure descriptor.
constexpr size_t kDescriptor = 8;
constexpr size_t kDescriptorHeaderCount = 2;
constexpr size_t kDescriptorLength = 3;  // length of the rest of the descriptor
constexpr size_t kDescriptorLogicalId = 4;
constexpr size_t kDescriptorVendor = 12;
constexpr size_t kDescriptorProduct = 20;
constexpr size_t kDescriptorRevision = 36;
constexpr size_t kDescriptorEnd = 40;

// SES element types.
constexpr uint8_t kDevice = 1;
constexpr uint8_t kPowerSupply = 2;
constexpr uint8_t kCooling = 3;
constexpr uint8_t kTemperature = 4;
constexpr uint8_t kDoorLock = 5;
constexpr uint8_t kAlarm = 6;
constexpr uint8_t kEnclosure = 14;
constexpr uint8_t kVoltage = 18;
constexpr uint8_t kArrayDevice = 23;
constexpr uint8_t kExpander = 24;
constexpr int kKeptTypes = 9;

// The slot of a kept type in the cache's counts and positions (device and
// array device share one), or -1 for a type the cache does not keep.
constexpr int kept_type_slot(uint8_t type) {
    switch (type) {
    case kDevice:
    case kArrayDevice: return 0;
    case kCooling: return 1;
    case kTemperature: return 2;
    case kPowerSupply: return 3;
    case kDoorLock: return 4;
    case kAlarm: return 5;
    case kEnclosure: return 6;
    case kVoltage: return 7;
    case kExpander: return 8;
    default: return -1;
    }
}

// Element status codes (byte 0 bits 0-3) and the control bits.
constexpr uint8_t kCodeMask = 0x0F;
constexpr uint8_t kCodeUnsupported = 0;
constexpr uint8_t kCodeOk = 1;
constexpr uint8_t kCodeCritical = 2;
constexpr uint8_t kCodeNoncritical = 3;
constexpr uint8_t kCodeUnrecoverable = 4;
constexpr uint8_t kCodeNotInstalled = 5;
constexpr uint8_t kCodeUnknown = 6;
constexpr uint8_t kCodeNotAvailable = 7;
constexpr uint8_t kSelect = 0x80;
constexpr uint8_t kControlClear = 0x30;  // byte 0 bits 5 and 4, cleared by the control writers
constexpr uint8_t kIdentifyBit = 0x80;   // byte 1, every kind but the slots
constexpr uint8_t kSlotIdentifyBit = 0x02;  // byte 2 of a slot

// SAF-TE buffers (READ BUFFER ids) and WRITE BUFFER commands.
constexpr uint8_t kSafteConfiguration = 0;
constexpr uint8_t kSafteStatus = 1;
constexpr uint8_t kSafteSlotStatus = 4;
constexpr uint8_t kSafteGlobalFlags = 5;
constexpr int32_t kSafteConfigurationLength = 64;
constexpr int32_t kSafteBufferLength = 2048;
constexpr uint8_t kSafteSlotOperation = 0x12;
constexpr int32_t kSafteSlotOperationLength = 64;
constexpr uint8_t kSafteFanSpeed = 0x13;
constexpr uint8_t kSafteSendFlags = 0x15;
// Configuration bytes.
constexpr size_t kSafteFans = 0;
constexpr size_t kSafteSupplies = 1;
constexpr size_t kSafteSlots = 2;
constexpr size_t kSafteDoorLock = 3;
constexpr size_t kSafteSensors = 4;
constexpr size_t kSafteAlarm = 5;
constexpr size_t kSafteUnits = 6;
constexpr uint8_t kSafteCelsius = 0x80;
// Global flags: byte 0 bit 0 alarm audible, byte 1 bit 2 door locked.
constexpr uint8_t kSafteAudible = 0x01;
constexpr uint8_t kSafteLocked = 0x04;

inline uint16_t be16(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }
inline uint32_t be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// The page length a page says it has, bounded by what the page buffer can
// hold (the device may claim more than it sent).
inline size_t bounded_page_length(const uint8_t* page) {
    const size_t n = be16(page + 2);
    return n < kPageBufferSize - kPageHeader ? n : kPageBufferSize - kPageHeader;
}

// The byte offset of element position p in a page of length n, or 0 when
// the element does not lie wholly inside the page as received.
inline size_t element_offset(int32_t position, const uint8_t* page) {
    if (position < 0) return 0;
    const size_t end = kPageHeader + bounded_page_length(page);
    const size_t offset = kFirstElement + 4 * size_t(position);
    return offset + 4 <= end ? offset : 0;
}

// --- Decoders of SES status elements (4 bytes each).
inline uint8_t code_of(const uint8_t* e) { return e[0] & kCodeMask; }

// Fans and power supplies: 0 OK, 1 failed, 2 not installed, 3 off, 128 unknown.
inline uint8_t fan_status(const uint8_t* e) {
    if (code_of(e) == kCodeNotInstalled) return 2;
    if (e[3] & 0x40) return 1;
    if (e[3] & 0x10) return 3;
    if (code_of(e) == kCodeOk) return 0;
    return 128;
}

// Temperature sensors: 0 OK, 1 out of range, 2 not installed, 128 unknown.
inline uint8_t temp_sensor_status(const uint8_t* e) {
    if (code_of(e) == kCodeNotInstalled) return 2;
    if (code_of(e) == kCodeOk) return 0;
    if (code_of(e) == kCodeCritical || (e[3] & 0x0F) != 0) return 1;
    return 128;
}

// Door locks: 0 locked, 1 unlocked, 2 not installed, 128 unknown.
inline uint32_t door_lock_status(const uint8_t* e) {
    if (code_of(e) == kCodeNotInstalled) return 2;
    if (code_of(e) == kCodeOk) return (e[3] & 0x01) ? 1 : 0;
    return 128;
}

// Audible alarms: 0 off, 1 sounding, 2 not installed, 3 muted, 4 failed, 5
// sounding and muted.
inline uint32_t alarm_status(const uint8_t* e) {
    const bool tone = (e[3] & 0x0F) != 0;
    if (code_of(e) == kCodeNotInstalled) return 2;
    if (e[1] & 0x40) return 4;
    if (e[3] & 0x40)
        return code_of(e) == kCodeCritical || code_of(e) == kCodeUnrecoverable || tone ? 5 : 3;
    return tone ? 1 : 0;
}

// Drive slots: 9 a device present and OK, 2 ready to insert, 4 ready to
// remove, 0 none of these.
inline uint32_t slot_flags(const uint8_t* e) {
    if (code_of(e) == kCodeOk) return 9;
    if (e[2] & 0x08) return 2;
    if (e[2] & 0x04) return 4;
    return 0;
}

// The enclosure element: 0 unsupported or absent, 1 OK, 2 failed, 3
// warning, 5 not installed, 6 unknown.
inline uint32_t enclosure_status(const uint8_t* e) {
    const uint8_t code = code_of(e);
    if (code == kCodeNotInstalled) return 5;
    if (e[2] & 0x02) return 2;
    if (e[2] & 0x01) return 3;
    static constexpr uint8_t kByCode[8] = {0, 1, 3, 3, 2, 5, 6, 0};
    return code < 8 ? kByCode[code] : 6;
}

// SAF-TE slot status word: bit 0 present, bit 1 insert or remove, bit 2 OK.
inline uint32_t safte_slot_flags(uint32_t word) {
    uint32_t flags = 0;
    if (word & 0x01) flags |= 1;
    if (word & 0x04) flags |= 8;
    if (word & 0x02) flags |= 6;
    return flags;
}

// SAF-TE fan speed values for speed codes 0 to 7; larger codes go as they are.
inline uint8_t safte_fan_speed(uint8_t code) {
    static constexpr uint8_t kValues[8] = {0, 1, 1, 1, 2, 3, 3, 4};
    return code < 8 ? kValues[code] : code;
}

// SAF-TE temperature byte (degrees plus 10) in degrees Celsius; Fahrenheit
// readings are converted, truncating toward zero.
inline int32_t safte_celsius(uint8_t raw, bool celsius) {
    const int32_t t = int32_t(raw) - 10;
    return celsius ? t : (5 * t - 160) / 9;
}

}  // namespace enclosure
