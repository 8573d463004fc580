// Byte layouts of the driver requests of both controller series, as the
// kernel drivers exchange them. All integers are little-endian.
#pragma once

#include <cstddef>
#include <cstdint>

namespace driver_request {

// First series: u32 data length at 0, the 512-byte firmware command packet
// at 512, the data from 1024.
constexpr size_t kLegacyPacket = 512;
constexpr size_t kLegacyPacketSize = 512;
constexpr size_t kLegacyData = 1024;
constexpr uint8_t kLegacyFirmwareCommand = 0x1F;
constexpr uint8_t kLegacyEventRead = 0x1C;

// Second series: the 24-byte header at 0, the 1024-byte command area at 512,
// the data from 1536.
constexpr size_t kHeaderSize = 24;
constexpr size_t kHeaderCode = 0;
constexpr size_t kHeaderStatus = 4;
constexpr size_t kHeaderDataLength = 20;
constexpr size_t kSeriesArea = 512;
constexpr size_t kAreaSize = 1024;
constexpr size_t kSeriesData = 1536;

// Inside the command area: the error code and texts of a failed command, the
// byte the library marks, and the firmware command packet.
constexpr size_t kAreaErrorCode = 22;
constexpr size_t kAreaErrorTexts = 26;
constexpr size_t kAreaMark = 124;
constexpr uint8_t kAreaMarkValue = 0x80;
constexpr size_t kAreaPacket = 128;
constexpr size_t kPacketStatus = 4;  // in either series' packet

// Second-series control codes; each is also the ioctl request number.
constexpr uint32_t kCompatInfo = 257;
constexpr uint32_t kNewestEvent = 258;
constexpr uint32_t kOldestEvent = 259;
constexpr uint32_t kNextEvent = 260;
constexpr uint32_t kPreviousEvent = 261;
constexpr uint32_t kTakeLock = 262;
constexpr uint32_t kReleaseLock = 263;
constexpr uint32_t kFirmwareCommand = 264;

// Driver status words of the header.
constexpr uint32_t kStatusNotLocked = 0x1001;
constexpr uint32_t kStatusAlreadyLocked = 0x1002;
constexpr uint32_t kStatusNoMoreEvents = 0x1003;
constexpr uint32_t kStatusAenClobber = 0x1004;

// Event records and the SAS driver's sysfs files.
constexpr size_t kEventRecordSize = 112;
constexpr size_t kEventFileRecords = 256;
constexpr size_t kEventFileChunk = 4096;
constexpr size_t kCompatInfoSysfsLength = 56;

}  // namespace driver_request
