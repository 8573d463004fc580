// The kernel drivers' request handling: first-series requests 0x1F and 0x1C
// with their 512-byte command packets, second-series control codes 257 to
// 264 with the 24-byte header and the 1024-byte command area, and the
// firmware commands behind them.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "sim/drives.h"
#include "sim/machine.h"

namespace sim {

namespace {

// Request buffers as the drivers read them.
constexpr size_t kFirstPacket = 512;  // first series: u32 data length at 0
constexpr size_t kFirstData = 1024;
constexpr size_t kSecondArea = 512;  // second series: 24-byte header at 0
constexpr size_t kSecondData = 1536;
constexpr size_t kAreaPacket = 128;  // the firmware packet inside the area
constexpr size_t kAreaCode = 22;
constexpr size_t kAreaTexts = 26;

// Driver status words of the second series.
constexpr uint32_t kNotLocked = 0x1001;
constexpr uint32_t kAlreadyLocked = 0x1002;

struct CodeText {
    uint16_t code;
    const char* text;
};
// The second-series firmware's own texts for the errors it returns.
const CodeText kSecondSeriesTexts[] = {
    {0x0101, "Invalid command opcode"},         {0x0103, "SGL size does not match command"},
    {0x0105, "Command packet is not aligned"},  {0x010B, "Parameter table does not exist"},
    {0x010C, "Parameter index does not exist"}, {0x010D, "Invalid field in CDB"},
    {0x010F, "Parameter item size mismatch"},   {0x0133, "Handle has different owner"},
    {0x010E, "Invalid operation for specified port"},
    {0x01D0, "Invalid field in parameter list"},
    {0x01D2, "Parameter not changeable"},
    // The firmware download's.
    {0x0231, "Next image buffer expected"},
    {0x0232, "Binary image architecture ID incompatible"},
    {0x0233, "Binary image no signature detected"},
    {0x0234, "Binary image checksum error detected"},
    {0x0235, "Binary image buffer overflow detected"},
    // The battery backup unit's.
    {0x0302, "The BBU resource needed is in use; retry command after a delay"},
    {0x0303, "Command requires a battery pack to be present and enabled"},
    {0x0322, "Cannot write a read-only BBU parameter"},
    {0x0382, "BBU not present"},
    {0x0383, "BBU not ready"},
    // The unit commands'.
    {0x010A, "Logical unit not present"},
    {0x0121, "Drive not degraded"},
    {0x0123, "Replace not accepted"},
    {0x0124, "Drive capacity too small"},
    {0x012A, "Invalid configuration for split"},
};

// First-series status code (byte 4 low, byte 5 high).
constexpr uint16_t kFirstBadOpcode = 0x00D2;

const char* text_of(uint16_t code) {
    for (const CodeText& t : kSecondSeriesTexts)
        if (t.code == code) return t.text;
    return "";
}

// A failed second-series command: status byte, code, and from byte 26 of
// the area the detail text and the error text, each NUL-terminated while
// there is room before the packet at 128. A detail that fills the room
// leaves no terminator and no error text.
void fail_series_with_text(uint8_t* area, uint16_t code, const std::string& detail,
                           const std::string& text) {
    put16(area + kAreaCode, code);
    char* texts = reinterpret_cast<char*>(area + kAreaTexts);
    const size_t room = kAreaPacket - kAreaTexts;
    std::memset(texts, 0, room);
    area[kAreaPacket + 4] = 1;
    const size_t d = std::min(detail.size(), room);
    std::memcpy(texts, detail.data(), d);
    if (d + 1 < room) std::memcpy(texts + d + 1, text.data(), std::min(text.size(), room - d - 1));
}

void fail_first(uint8_t* packet, uint16_t code) {
    packet[4] = uint8_t(code);
    packet[5] = uint8_t(code >> 8);
}

std::string describe(uint16_t table, uint16_t id, unsigned size) {
    char text[64];
    std::snprintf(text, sizeof text, "table 0x%04X parameter %u size %u", table, id, size);
    return text;
}

void series_parameter(Machine& m, Controller& c, uint8_t* area, uint8_t* data, uint32_t length) {
    uint8_t* packet = area + kAreaPacket;
    if (packet[1] != 2 + m.arch_class()) return fail_series(area, 0x010D, "packet size");
    if (get16(packet + 6) != 1) return fail_series(area, 0x010D, "parameter count");
    if (length < 8) return fail_series(area, 0x0103, "parameter block");
    const uint16_t table = get16(data), id = get16(data + 2), size = get16(data + 4);
    const std::string detail = describe(table, id, size);
    if (length != uint32_t(size) + 8) return fail_series(area, 0x0103, detail);
    if ((table & 0x8000) == 0) return fail_series(area, 0x010B, detail);
    long expected = parameter_size(c, table, id);
    if (expected == kNoSuchTable) return fail_series(area, 0x010B, detail);
    if (expected == kNoSuchParameter) return fail_series(area, 0x010C, detail);
    if (expected == kEmptyParameter) expected = 0;
    if (expected >= 0 && expected != size) return fail_series(area, 0x010F, detail);
    if (packet[0] == 0x52) {
        read_parameter(m, c, table, id, data + 8, size);
    } else if (const uint16_t refused = write_parameter(m, c, table, id, data + 8, size)) {
        fail_series(area, refused, detail);
    }
}

// A command that the firmware refused with code (0: accepted).
void refuse_if(uint8_t* area, uint16_t code, uint8_t opcode) {
    if (code == 0) return;
    char detail[32];
    std::snprintf(detail, sizeof detail, "opcode 0x%02X", opcode);
    fail_series(area, code, detail);
}

void firmware_command(Machine& m, Controller& c, uint8_t* area, uint8_t* data, uint32_t length) {
    uint8_t* packet = area + kAreaPacket;
    packet[4] = 0;
    if (area[124] != 0x80) return fail_series(area, 0x0105, "command area");
    if (drive_command(m, c, area, data, length)) return;
    uint16_t unit_code = 0;
    if (series_unit_command(m, c, packet, data, length, &unit_code))
        return refuse_if(area, unit_code, packet[0]);
    switch (packet[0]) {
        case 0x52:
        case 0x53:
            return series_parameter(m, c, area, data, length);
        case 0x1E:
        case 0x1F:
            return refuse_if(area, battery_command(m, c, packet, length), packet[0]);
        case 0x5B:
            return refuse_if(area, post_event_command(m, c, packet, data, length), packet[0]);
        case 0x10:
            return scsi_pass_through(m, c, area, data, length);
        case 0x56:
            return refuse_if(area, firmware_download(m, c, packet, data, length), packet[0]);
        case 0x11:
        case 0xB1: {
            uint16_t microcode = 0;
            if (drive_microcode_command(m, c, packet, data, length, &microcode))
                return refuse_if(area, microcode, packet[0]);
            std::string detail;
            if (const uint16_t code = ata_command(m, c, packet, data, length, &detail))
                fail_series(area, code, detail);
            return;
        }
        default: {
            char detail[32];
            std::snprintf(detail, sizeof detail, "opcode 0x%02X", packet[0]);
            return fail_series(area, 0x0101, detail);
        }
    }
}

int first_series(Machine& m, Controller& c, unsigned long request, uint8_t* buffer) {
    uint8_t* packet = buffer + kFirstPacket;
    uint8_t* data = buffer + kFirstData;
    const uint32_t length = get32(buffer);
    const uint8_t operand = packet[5];  // an operand of a few opcodes
    packet[4] = packet[5] = 0;
    if (request == 0x1C) {
        if (packet[0] != 0x5C || length < 2) {
            fail_first(packet, kFirstBadOpcode);
            return 0;
        }
        uint16_t word = 0;
        if (!c.events.empty()) {
            const SimEvent& e = c.events.front();
            word = uint16_t((e.code & 0xFF) | e.param << 8);
            c.events.pop_front();
            ++m.events_version;
        }
        put16(data, word);
        return 0;
    }
    legacy_command(m, c, packet, operand, data, length);
    return 0;
}

int second_series(Machine& m, Controller& c, unsigned long request, uint8_t* buffer, int* error) {
    uint8_t* area = buffer + kSecondArea;
    uint8_t* data = buffer + kSecondData;
    const uint32_t length = get32(buffer + 20);
    put32(buffer + 4, 0);
    advance_battery(m, c);
    advance_units(m, c);
    switch (request) {
        case 257: {
            std::string record = compat_record(c);
            std::memcpy(data, record.data(), std::min<size_t>(length, record.size()));
            return 0;
        }
        case 258:
        case 259:
        case 260:
        case 261: {
            if (length < 112) {
                *error = EINVAL;
                return -1;
            }
            uint32_t status = 0;
            const SimEvent* pick = pick_event(c, request, get32(data), &status);
            if (pick == nullptr) {
                put32(buffer + 4, status);
            } else {
                encode_event(*pick, data);
            }
            return 0;
        }
        case 262:
        case 263: {
            if (length < 4) {
                *error = EINVAL;
                return -1;
            }
            if (request == 262) {
                if (!take_controller_lock(m, c, uint64_t(get32(data)) * 1000))
                    put32(buffer + 4, kAlreadyLocked);
            } else if (!release_controller_lock(m, c)) {
                put32(buffer + 4, kNotLocked);
            }
            return 0;
        }
        case 264:
            firmware_command(m, c, area, data, length);
            return 0;
        case 512:  // a driver command without data; the driver only acknowledges it
            return 0;
    }
    *error = ENOTTY;
    return -1;
}

// The parameter a GET or SET PARAMETER names: its table (without the
// second series' 0x8000 mark) and id; -1 for other requests.
void parameter_named(bool first, int opcode, const uint8_t* buffer, long* table, long* id) {
    *table = *id = -1;
    if (opcode != 0x52 && opcode != 0x53) return;
    const uint8_t* data = buffer + (first ? kFirstData : kSecondData);
    const uint32_t length = first ? get32(buffer) : get32(buffer + 20);
    if (length < 4) return;
    *table = get16(data) & 0x7FFF;
    *id = first ? data[2] : get16(data + 2);
}

// Takes the first fault that matches this request, if any.
bool take_fault(Machine& m, const Controller& c, unsigned long request, int opcode, long table,
                long id, Fault* out) {
    for (auto it = m.faults.begin(); it != m.faults.end(); ++it) {
        if (it->call != FaultCall::Ioctl) continue;
        if (it->controller >= 0 && it->controller != c.index) continue;
        if (it->request >= 0 && (unsigned long)it->request != request) continue;
        if (it->opcode >= 0 && it->opcode != opcode) continue;
        if (it->table >= 0 && (it->table & 0x7FFF) != table) continue;
        if (it->parameter >= 0 && it->parameter != id) continue;
        *out = *it;
        if (it->count > 0 && --it->count == 0) m.faults.erase(it);
        return true;
    }
    return false;
}

}  // namespace

void fail_series(uint8_t* area, uint16_t code, const std::string& detail) {
    fail_series_with_text(area, code, detail, text_of(code));
}

int driver_ioctl(Machine& m, Controller& c, unsigned long request, uint8_t* buffer, int* error,
                 uint64_t* latency_us) {
    *latency_us = 0;
    const bool first = c.series() == Series::First;
    const bool known =
        first ? (request == 0x1F || request == 0x1C)
              : ((request >= 257 && request <= 264) || request == 512);
    if (!known || buffer == nullptr) {
        *error = known ? EFAULT : ENOTTY;
        return -1;
    }
    JournalEntry entry;
    entry.controller = c.index;
    entry.request = request;
    const size_t total = first ? kFirstData + get32(buffer) : kSecondData + get32(buffer + 20);
    entry.sent.assign(buffer, buffer + total);
    *latency_us = receive_request(m, c.index, request, buffer, total);

    int result = 0;
    const int opcode = first            ? buffer[kFirstPacket]
                       : request == 264 ? buffer[kSecondArea + kAreaPacket]
                                        : -1;
    Fault fault;
    long table, id;
    parameter_named(first, opcode, buffer, &table, &id);
    if (take_fault(m, c, request, opcode, table, id, &fault)) {
        if (fault.error != 0) {
            *error = fault.error;
            result = -1;
        } else if (fault.driver_status != 0 && !first) {
            put32(buffer + 4, fault.driver_status);
        } else if (first) {
            fail_first(buffer + kFirstPacket, fault.firmware_code);
        } else {
            fail_series_with_text(buffer + kSecondArea, fault.firmware_code, fault.detail,
                                  fault.text);
        }
    } else {
        result = first ? first_series(m, c, request, buffer)
                       : second_series(m, c, request, buffer, error);
    }
    entry.returned.assign(buffer, buffer + total);
    entry.result = result;
    entry.error = result < 0 ? *error : 0;
    add_journal(m, entry);
    return result;
}

}  // namespace sim
