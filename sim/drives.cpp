// The drive model: port status, drive parameters, and the ATA pass-through
// with its IDENTIFY DEVICE and SMART answers.
#include "sim/drives.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "sim/units.h"

namespace sim {

namespace {

constexpr uint64_t kDefaultCapacity = 488397168;  // 250 GB
constexpr uint8_t kHealthy = 255;
constexpr uint8_t kPresentBit = 0x80;
constexpr uint8_t kNoUnit = 0xFF;
constexpr size_t kSector = 512;

// Drive parameters the model answers (table 0x200 + port).
enum : uint16_t {
    kParamCapacity32 = 2,
    kParamModel = 3,
    kParamSerial = 4,
    kParamHolder = 11,
    kParamFlags = 12,
    kParamFirmware = 14,
    kParamReallocated = 19,
    kParamPowerOnHours = 20,
    kParamTemperature = 22,
    kParamCapacity64 = 23,
    kParamInterface = 24,
    kParamPortCount = 25,
    kParamConnections = 26,
    kParamEnclosure = 30,
    kParamSlot = 31,
    kParamSpindleSpeed = 33,
};

// The ATA pass-through packet.
constexpr size_t kPacketWords = 1;
constexpr size_t kPort = 3;
constexpr size_t kProtocol = 6;
constexpr size_t kFeatures = 8;
constexpr size_t kSectorCount = 10;
constexpr size_t kLbaMid = 14;
constexpr size_t kLbaHigh = 16;
constexpr size_t kCommand = 19;
constexpr uint16_t kNonData = 8;
constexpr uint16_t kPioDataIn = 13;

constexpr uint8_t kIdentifyDevice = 0xEC;
constexpr uint8_t kSmart = 0xB0;
constexpr uint8_t kSmartReadData = 0xD0;
constexpr uint8_t kSmartReadThresholds = 0xD1;
constexpr uint8_t kSmartEnable = 0xD8;
constexpr uint8_t kSmartReturnStatus = 0xDA;

// Firmware error codes.
constexpr uint16_t kSglMismatch = 0x0103;
constexpr uint16_t kInvalidField = 0x010D;
constexpr uint16_t kInvalidForPort = 0x010E;

void put_number(uint8_t* out, size_t size, uint64_t v) {
    for (size_t i = 0; i < size && i < 8; ++i) out[i] = uint8_t(v >> (8 * i));
}

void put_text(uint8_t* out, size_t size, const std::string& text) {
    std::memcpy(out, text.data(), std::min(size, text.size()));
}

uint64_t number_of(const SimObject& drive, const char* key, long long fallback) {
    return uint64_t(attr_number(drive.attrs, key, fallback));
}

// IDENTIFY DEVICE words: little-endian, texts with the two characters of
// each word swapped and blank-padded.
void put_word(uint8_t* data, int word, uint16_t value) {
    data[2 * word] = uint8_t(value);
    data[2 * word + 1] = uint8_t(value >> 8);
}

void put_ata_text(uint8_t* data, int first_word, int words, const std::string& text) {
    for (int i = 0; i < 2 * words; ++i) {
        const char c = size_t(i) < text.size() ? text[size_t(i)] : ' ';
        data[2 * first_word + (i ^ 1)] = uint8_t(c);
    }
}

// One SMART attribute: id, flags, current and worst value, raw value.
void put_attribute(uint8_t* data, int slot, uint8_t id, uint16_t flags, uint8_t value,
                   uint64_t raw) {
    uint8_t* a = data + 2 + 12 * slot;
    a[0] = id;
    a[1] = uint8_t(flags);
    a[2] = uint8_t(flags >> 8);
    a[3] = value;
    a[4] = value;
    put_number(a + 5, 6, raw);
}

// The last byte makes the 512 bytes add up to 0 modulo 256.
void seal_checksum(uint8_t* data) {
    uint8_t sum = 0;
    for (size_t i = 0; i + 1 < kSector; ++i) sum = uint8_t(sum + data[i]);
    data[kSector - 1] = uint8_t(-sum);
}

void smart_thresholds(uint8_t* data) {
    std::memset(data, 0, kSector);
    put_word(data, 0, 0x0010);
    const uint8_t ids[] = {1, 5, 9, 12, 194, 197};
    const uint8_t limits[] = {51, 10, 0, 0, 0, 0};
    for (int i = 0; i < 6; ++i) {
        data[2 + 12 * i] = ids[i];
        data[3 + 12 * i] = limits[i];
    }
    seal_checksum(data);
}

}  // namespace

const SimObject* drive_at(const Controller& c, int port) {
    auto it = c.drives.find(port);
    return it == c.drives.end() ? nullptr : &it->second;
}

uint8_t port_status(const Controller& c, int port) {
    const SimObject* drive = drive_at(c, port);
    return drive == nullptr ? 0 : uint8_t(number_of(*drive, "status", kHealthy));
}

bool drive_present(const Controller& c, int port) {
    return (port_status(c, port) & kPresentBit) != 0;
}

int present_drive_count(const Controller& c) {
    int count = 0;
    for (const auto& d : c.drives) count += drive_present(c, d.first) ? 1 : 0;
    return count;
}

uint64_t drive_capacity(const SimObject& drive) {
    return number_of(drive, "capacity", (long long)kDefaultCapacity);
}

bool drive_is_sas(const SimObject& drive) { return attr_text(drive.attrs, "interface") == "sas"; }

bool drive_parameter(const Controller& c, int port, uint16_t id, uint8_t* out, size_t size) {
    const SimObject* drive = drive_at(c, port);
    if (drive == nullptr) return true;  // an empty port reads zeros
    const uint64_t capacity = drive_capacity(*drive);
    switch (id) {
        case kParamCapacity32:
            put_number(out, size, std::min<uint64_t>(capacity, 0xFFFFFFFFu));
            return true;
        case kParamCapacity64:
            put_number(out, size, capacity);
            return true;
        case kParamModel:
            put_text(out, size, attr_text(drive->attrs, "model", "SIMDISK"));
            return true;
        case kParamSerial:
            put_text(out, size, attr_text(drive->attrs, "serial"));
            return true;
        case kParamFirmware:
            put_text(out, size, attr_text(drive->attrs, "firmware", "1.00"));
            return true;
        case kParamHolder: {
            const int unit = unit_holding(c, port);
            put_number(out, size, unit < 0 ? kNoUnit : uint64_t(unit));
            return true;
        }
        case kParamFlags:  // bit 0: the drive carries a unit's configuration
            put_number(out, size,
                       number_of(*drive, "flags", 0) | (carries_foreign_unit(c, port) ? 1 : 0));
            return true;
        case kParamReallocated:
            put_number(out, size, number_of(*drive, "reallocated", 0));
            return true;
        case kParamPowerOnHours:
            put_number(out, size, number_of(*drive, "power-on-hours", 1000));
            return true;
        case kParamTemperature:
            put_number(out, size, number_of(*drive, "temperature", 30));
            return true;
        case kParamInterface:  // 1 SATA, 3 SAS
            put_number(out, size, drive_is_sas(*drive) ? 3 : 1);
            return true;
        case kParamPortCount:
            put_number(out, size, number_of(*drive, "port-count", 1));
            return true;
        case kParamConnections:
            put_number(out, size, number_of(*drive, "connections", 1));
            return true;
        case kParamEnclosure:  // position of the enclosure of its slot
            put_number(out, size, number_of(*drive, "enclosure", 255));
            return true;
        case kParamSlot:
            put_number(out, size, number_of(*drive, "slot", 255));
            return true;
        case kParamSpindleSpeed:
            put_number(out, size, number_of(*drive, "rpm", 7200));
            return true;
    }
    return false;
}

void identify_data(const SimObject& drive, uint8_t* out) {
    std::memset(out, 0, kSector);
    const uint64_t capacity = drive_capacity(drive);
    put_word(out, 0, 0x0040);  // fixed device
    put_word(out, 1, 16383);
    put_word(out, 3, 16);
    put_word(out, 6, 63);
    put_ata_text(out, 10, 10, attr_text(drive.attrs, "serial"));
    put_ata_text(out, 23, 4, attr_text(drive.attrs, "firmware", "1.00"));
    put_ata_text(out, 27, 20, attr_text(drive.attrs, "model", "SIMDISK"));
    put_word(out, 47, 0x8010);
    put_word(out, 49, 0x0F00);  // LBA and DMA
    const uint64_t lba28 = std::min<uint64_t>(capacity, 0x0FFFFFFF);
    put_word(out, 60, uint16_t(lba28));
    put_word(out, 61, uint16_t(lba28 >> 16));
    put_word(out, 80, 0x01F0);  // ATA-4 to ATA-8
    put_word(out, 82, 0x346B);  // SMART supported (bit 0)
    put_word(out, 83, 0x7D09 | 0x0400);  // 48-bit addresses
    put_word(out, 84, 0x6163);
    put_word(out, 85, 0x3469);  // SMART enabled (bit 0)
    put_word(out, 86, 0xBC09 | 0x0400);
    put_word(out, 87, 0x6163);
    put_word(out, 88, 0x407F);
    for (int i = 0; i < 4; ++i) put_word(out, 100 + i, uint16_t(capacity >> (16 * i)));
    put_word(out, 217, uint16_t(number_of(drive, "rpm", 7200)));
    // Integrity word: signature 0xA5, then the checksum byte.
    out[510] = 0xA5;
    seal_checksum(out);
}

void smart_data(const SimObject& drive, uint8_t* out) {
    std::memset(out, 0, kSector);
    put_word(out, 0, 0x0010);  // revision
    put_attribute(out, 0, 1, 0x000F, 100, 0);
    put_attribute(out, 1, 5, 0x0033, 100, number_of(drive, "reallocated", 0));
    put_attribute(out, 2, 9, 0x0032, 99, number_of(drive, "power-on-hours", 1000));
    put_attribute(out, 3, 12, 0x0032, 100, 42);
    put_attribute(out, 4, 194, 0x0022, 100, number_of(drive, "temperature", 30));
    put_attribute(out, 5, 197, 0x0012, 100, 0);
    out[362] = 0x82;  // off-line data collection completed
    out[367] = 0x7B;  // off-line and self-test capabilities
    put_word(out, 184, 0x0003);  // bytes 368-369: SMART capabilities
    out[370] = 0x01;  // error logging
    out[372] = 2;     // short self-test, minutes
    out[373] = 120;   // extended self-test, minutes
    seal_checksum(out);
}

uint16_t ata_command(const Machine& m, const Controller& c, uint8_t* packet, uint8_t* data,
                     uint32_t length, std::string* detail) {
    const bool with_data = packet[0] == 0xB1;
    const int port = packet[kPort];
    const uint8_t command = packet[kCommand];
    const uint16_t features = get16(packet + kFeatures);
    char text[64];
    std::snprintf(text, sizeof text, "ATA 0x%02X port %d", command, port);
    *detail = text;
    if (packet[kPacketWords] != (with_data ? m.arch_class() + 5 : 5)) {
        *detail = "packet size";
        return kInvalidField;
    }
    const SimObject* drive = drive_at(c, port);
    if (port >= kPortSlots || drive == nullptr || !drive_present(c, port) || drive_is_sas(*drive))
        return kInvalidForPort;
    const uint16_t protocol = get16(packet + kProtocol);
    if (protocol != (with_data ? kPioDataIn : kNonData)) return kInvalidField;
    const bool smart = command == kSmart && get16(packet + kLbaMid) == 0x4F &&
                       get16(packet + kLbaHigh) == 0xC2;
    const bool reads_sector = command == kIdentifyDevice ||
                              (smart && (features == kSmartReadData ||
                                         features == kSmartReadThresholds));
    if (reads_sector) {
        if (!with_data) return kInvalidField;
        if (get16(packet + kSectorCount) != 1 || length != kSector) return kSglMismatch;
        if (command == kIdentifyDevice) {
            identify_data(*drive, data);
        } else if (features == kSmartReadData) {
            smart_data(*drive, data);
        } else {
            smart_thresholds(data);
        }
        return 0;
    }
    if (smart && !with_data && (features == kSmartEnable || features == kSmartReturnStatus))
        return 0;  // a healthy drive: LBA mid and high stay 0x4F and 0xC2
    return kInvalidField;
}

}  // namespace sim
