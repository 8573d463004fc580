// The first series' event queue, ATA pass-through (with the SMART and
// IDENTIFY reads built on it) and controller firmware download.
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "backend/legacy_backend.h"
#include "backend/legacy_command.h"
#include "driver/driver_access.h"
#include "driver/message_catalogue.h"
#include "driver/record_failure.h"

using namespace legacy_packet;

namespace {

constexpr int32_t kEventTexts = 15;
constexpr uint32_t kLargestAtaTransfer = 131072;
// The firmware's answer to an image it expects more of; the image it has
// is good.
constexpr int32_t kNextImageBuffer = 0x231;

struct AtaRegisters {
    uint16_t* features;
    uint16_t* sector_count;
    uint16_t* lba_low;
    uint16_t* lba_mid;
    uint16_t* lba_high;
    uint8_t* device;
    uint8_t* command;
};

void put_registers(LegacyCommand& packet, const AtaRegisters& r) {
    packet.put16(kAtaFeatures, *r.features);
    packet.put16(kAtaSectorCount, *r.sector_count);
    packet.put16(kAtaLbaLow, *r.lba_low);
    packet.put16(kAtaLbaMid, *r.lba_mid);
    packet.put16(kAtaLbaHigh, *r.lba_high);
    packet.bytes[kAtaDevice] = *r.device;
    packet.bytes[kAtaCommand] = *r.command;
}

void take_registers(const LegacyCommand& packet, const AtaRegisters& r) {
    *r.features = packet.get16(kAtaFeatures);
    *r.sector_count = packet.get16(kAtaSectorCount);
    *r.lba_low = packet.get16(kAtaLbaLow);
    *r.lba_mid = packet.get16(kAtaLbaMid);
    *r.lba_high = packet.get16(kAtaLbaHigh);
    *r.device = packet.bytes[kAtaDevice];
    *r.command = packet.bytes[kAtaCommand];
}

// A read of one 512-byte sector of the drive with the given registers.
int read_sector(const LegacyBackend& backend, ObjectId drive, uint16_t features, uint16_t lba_mid,
                uint16_t lba_high, uint8_t command, uint8_t* out) {
    uint16_t count = 1, lba_low = 0;
    uint8_t device = 0;
    return backend.send_ata_command(drive, 1, 13, &features, &count, &lba_low, &lba_mid, &lba_high,
                                    &device, &command, out);
}

}  // namespace

int LegacyBackend::get_aen(ObjectId id, EventRecord* out) const {
    EventRecord record;
    std::memset(&record, 0, sizeof record);
    // The driver returns the event word where the record keeps its code:
    // the code in the low byte, the event's unit or port in the high byte.
    uint8_t word[2] = {0, 0};
    LegacyCommand command(kReadEvent, 4);
    if (send_legacy_command(id, command, word, sizeof word, kEventRequest) != 0) return -1;
    const uint8_t code = word[0], parameter = word[1];
    record.code = code;

    // The catalogue's text starts with the severity digit, then the
    // "(0x0F:0x....): " prefix and the event's own text.
    const char* text = library_catalogue().lookup(kEventTexts, code, "", 0);
    char* description = record.description;
    const size_t room = sizeof record.description;
    if (text[0] >= '0' && text[0] <= '9') {
        record.severity = uint8_t(text[0] - '0');
        std::snprintf(description, room, "%s", text + 1);
    } else {
        // A code without a text of its own: information, and the prefix alone.
        record.severity = 3;
        std::snprintf(description, room, "(0x%02X:0x%04X): ", unsigned(kEventTexts),
                      unsigned(code));
    }
    size_t length = std::strlen(description);
    if (length > 0 && description[length - 1] == '#') {
        char number[8];
        const int digits = std::snprintf(number, sizeof number, "%d", parameter);
        std::snprintf(description + length, room - length, "%s", number);
        std::memcpy(record.parameter, number, size_t(digits));
        record.parameter_length = uint8_t(digits);
        length = std::strlen(description);
    }
    record.description_length = uint8_t(length);
    *out = record;
    return 0;
}

int LegacyBackend::send_ata_command(ObjectId drive, int32_t protocol, uint16_t value,
                                    uint16_t* features, uint16_t* sector_count, uint16_t* lba_low,
                                    uint16_t* lba_mid, uint16_t* lba_high, uint8_t* device,
                                    uint8_t* command, void* data) const {
    const AtaRegisters registers{features, sector_count, lba_low, lba_mid,
                                 lba_high, device,       command};
    int32_t descriptor = -1;
    if (DriverAccess::open_controller(drive, &descriptor) != 0) return -1;
    LegacyCommand packet(data != nullptr ? kAtaWithData : kAtaNoData, data != nullptr ? 7 : 5);
    packet.put16(kOperand, data != nullptr ? value : 8);
    packet.bytes[kFlags] = 0xFF;
    packet.bytes[kUnit] = drive.b[2];
    packet.bytes[kDetail] = uint8_t(protocol & 3);
    put_registers(packet, registers);
    const uint32_t length =
        *sector_count != 0 ? uint32_t(*sector_count) * kSectorSize : kLargestAtaTransfer;
    const int result = send_on_descriptor(descriptor, packet, data, length);
    take_registers(packet, registers);
    DriverAccess::close_controller(descriptor);
    return result;
}

int LegacyBackend::get_drive_smart_data(ObjectId drive, uint8_t* out) const {
    return read_sector(*this, drive, 0xD0, 0x4F, 0xC2, 0xB0, out);
}

int LegacyBackend::get_drive_identify_data(ObjectId drive, uint8_t* out) const {
    return read_sector(*this, drive, 0, 0, 0, 0xEC, out);
}

int LegacyBackend::check_firmware_image_header(ObjectId, const void*, uint32_t) const { return 0; }

int LegacyBackend::download_firmware(ObjectId id, const void* image, int32_t size) const {
    if (size <= 0) return fail_with_api_error(kInvalidArgument);
    // The request writes its data area back; the caller's image stays as it is.
    std::unique_ptr<uint8_t[]> copy(new (std::nothrow) uint8_t[size_t(size)]);
    if (!copy) return fail_with_api_error(kApiMemoryAllocation);
    std::memcpy(copy.get(), image, size_t(size));
    LegacyCommand command(kDownloadFirmware, 4);
    command.put16(kOperand, 8);
    if (send_legacy_command(id, command, copy.get(), uint32_t(size)) == 0) return 0;
    ErrorRecord error;
    copy_last_error(&error, "", 0);
    const bool controller_part = (error.flags & (kErrController | kErrFirstSeries)) != 0;
    return controller_part && error.controller_status == kNextImageBuffer ? 0 : -1;
}
