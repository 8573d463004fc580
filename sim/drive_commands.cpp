// Commands the firmware passes to a drive: a SCSI command block sent to the
// drive on a port (opcode 0x11 without data, 0xF1 with data), which the
// drive answers with its status byte, sense data and data; and the
// controller command 0x1F with sub-code 47 of the family that has it.
//
// Drive SCSI packet, at offset 128 of the command area: 0 opcode, 1 size in
// words (67 without data, 67 plus the architecture class with data), 2 0xFF,
// 3 port, 4 SCSI status (returned), 5 time-out code in the high four bits,
// 6 direction (0x80 no data, 0x81 data to the drive, 0x82 data from the
// drive, 0x83 either), 10 0x40, 12 to 267 the command block. On a status
// other than 0 the sense data is at the start of the command area and the
// code 0x02C2 ("valid sense data") at area byte 22.
#include <algorithm>
#include <cstring>
#include <string>

#include "sim/drives.h"
#include "sim/machine.h"

namespace sim {

namespace {

constexpr size_t kAreaPacket = 128;
constexpr size_t kAreaCode = 22;
constexpr uint16_t kSenseDataCode = 0x02C2;
constexpr uint8_t kScsiNoData = 0x11, kScsiWithData = 0xF1, kControllerCommand = 0x1F;
constexpr uint8_t kScsiWords = 67;
constexpr uint8_t kWriteBuffer = 0x3B;
constexpr uint8_t kAtaWords = 5;  // opcode 0x11 is also the ATA pass-through
constexpr size_t kCdb = 12;
constexpr uint16_t kSubCode47 = 47;
constexpr long kSubCode47Arch = 9;

constexpr uint8_t kNoData = 0x80, kDataIn = 0x82, kEitherWay = 0x83;  // 0x81: to the drive
constexpr uint8_t kGood = 0x00, kCheckCondition = 0x02;
constexpr uint8_t kIllegalRequest = 0x05;
constexpr uint8_t kInvalidOpcode = 0x20, kInvalidField = 0x24;
constexpr uint32_t kBlockSize = 512;

std::string attr_of(const SimObject& o, const char* key, const char* fallback) {
    auto it = o.attrs.find(key);
    return it == o.attrs.end() ? fallback : it->second;
}

void put_text(std::string& answer, size_t at, size_t width, const std::string& text) {
    for (size_t i = 0; i < width; ++i) answer[at + i] = i < text.size() ? text[i] : ' ';
}

void put_big(std::string& answer, size_t at, size_t width, unsigned long long v) {
    for (size_t i = 0; i < width; ++i) answer[at + i] = char(uint8_t(v >> (8 * (width - 1 - i))));
}

struct Reply {
    uint8_t status = kGood;
    uint8_t asc = 0;
    std::string data;  // what the drive sends back
};

Reply check_condition(uint8_t asc) {
    Reply r;
    r.status = kCheckCondition;
    r.asc = asc;
    return r;
}

// Standard data and the pages 0x00 (supported pages) and 0x80 (serial
// number); the vendor is the model's first word.
Reply inquiry(const SimObject& drive, const uint8_t* cdb) {
    Reply r;
    const std::string model = attr_of(drive, "model", "SIMDISK");
    const size_t blank = model.find(' ');
    const std::string vendor = model.substr(0, blank);
    const std::string product = blank == std::string::npos ? "" : model.substr(blank + 1);
    const std::string serial = attr_of(drive, "serial", "");
    if (cdb[1] & 0x01) {
        if (cdb[2] == 0x00) {
            r.data = std::string("\x00\x00\x00\x02\x00\x80", 6);
        } else if (cdb[2] == 0x80) {
            r.data.assign(4 + serial.size(), '\0');
            r.data[1] = char(0x80);
            r.data[3] = char(serial.size());
            put_text(r.data, 4, serial.size(), serial);
        } else {
            return check_condition(kInvalidField);
        }
    } else {
        r.data.assign(36, '\0');
        r.data[2] = 0x06;  // the version of the command set
        r.data[3] = 0x02;
        r.data[4] = 31;  // bytes that follow
        put_text(r.data, 8, 8, vendor);
        put_text(r.data, 16, 16, product);
        put_text(r.data, 32, 4, attr_of(drive, "firmware", ""));
    }
    const size_t allocation = size_t(cdb[3]) << 8 | cdb[4];
    r.data.resize(std::min(r.data.size(), allocation));
    return r;
}

Reply read_capacity(const SimObject& drive, bool long_form, const uint8_t* cdb) {
    Reply r;
    const unsigned long long blocks = drive_capacity(drive);
    const unsigned long long last = blocks == 0 ? 0 : blocks - 1;
    if (long_form) {
        r.data.assign(32, '\0');
        put_big(r.data, 0, 8, last);
        put_big(r.data, 8, 4, kBlockSize);
        const size_t allocation = size_t(cdb[10]) << 24 | size_t(cdb[11]) << 16 |
                                  size_t(cdb[12]) << 8 | cdb[13];
        r.data.resize(std::min(r.data.size(), allocation));
    } else {
        r.data.assign(8, '\0');
        put_big(r.data, 0, 4, std::min(last, 0xFFFFFFFFull));
        put_big(r.data, 4, 4, kBlockSize);
    }
    return r;
}

Reply answer(const SimObject& drive, const uint8_t* cdb, uint8_t direction) {
    const bool reads = direction == kNoData || direction == kDataIn || direction == kEitherWay;
    switch (cdb[0]) {
        case 0x00:  // TEST UNIT READY
            return Reply{};
        case 0x12:  // INQUIRY
            return reads ? inquiry(drive, cdb) : check_condition(kInvalidField);
        case 0x25:  // READ CAPACITY(10)
            return reads ? read_capacity(drive, false, cdb) : check_condition(kInvalidField);
        case 0x9E:  // SERVICE ACTION IN(16): READ CAPACITY(16)
            if ((cdb[1] & 0x1F) != 0x10) return check_condition(kInvalidField);
            return reads ? read_capacity(drive, true, cdb) : check_condition(kInvalidField);
        case 0xA0: {  // REPORT LUNS: LUN 0 only
            if (!reads) return check_condition(kInvalidField);
            Reply r;
            r.data.assign(16, '\0');
            r.data[3] = 8;
            return r;
        }
    }
    return check_condition(kInvalidOpcode);
}

void drive_scsi(Machine& m, Controller& c, uint8_t* area, uint8_t* data, uint32_t length) {
    uint8_t* packet = area + kAreaPacket;
    const uint8_t direction = packet[6];
    const bool with_data = packet[0] == kScsiWithData;
    if (direction < kNoData || direction > kEitherWay || (direction != kNoData) != with_data)
        return fail_series(area, 0x010D, "direction");
    if (packet[1] != kScsiWords + (with_data ? m.arch_class() : 0))
        return fail_series(area, 0x010D, "packet size");
    if (with_data && length == 0) return fail_series(area, 0x0103, "no data");
    auto drive = c.drives.find(packet[3]);
    if (drive == c.drives.end())
        return fail_series(area, 0x010E, "port " + std::to_string(packet[3]));

    Reply r;
    if (packet[kCdb] == kWriteBuffer) {  // firmware, drive_firmware.cpp
        const uint8_t asc =
            drive_write_buffer(c, packet[3], packet + kCdb, direction, data, length);
        if (asc != 0) r = check_condition(asc);
    } else {
        r = answer(drive->second, packet + kCdb, direction);
    }
    packet[4] = r.status;
    if (r.status != kGood) {
        // Fixed-format sense data, and the firmware's code for "valid sense
        // data" at area byte 22.
        std::memset(area, 0, 18);
        put16(area + kAreaCode, kSenseDataCode);
        area[0] = 0x70;
        area[2] = kIllegalRequest;
        area[7] = 10;
        area[12] = r.asc;
        return;
    }
    if (direction != kNoData)
        std::memcpy(data, r.data.data(), std::min<size_t>(length, r.data.size()));
}

}  // namespace

bool drive_command(Machine& m, Controller& c, uint8_t* area, uint8_t* data, uint32_t length) {
    uint8_t* packet = area + kAreaPacket;
    if (packet[0] == kScsiWithData || (packet[0] == kScsiNoData && packet[1] != kAtaWords)) {
        drive_scsi(m, c, area, data, length);
        return true;
    }
    if (packet[0] == kControllerCommand && get16(packet + 6) == kSubCode47) {
        if (c.attr_number("arch", 0) != kSubCode47Arch) {
            fail_series(area, 0x010D, "sub-code 47");
        } else if (packet[1] != 5 || get32(packet + 12) != 1) {
            fail_series(area, 0x010D, "packet size");
        }
        return true;
    }
    return false;
}

}  // namespace sim
