// The event ring of each controller: the asynchronous events the driver
// keeps for the management software, posted by the firmware's own model,
// by scenario and control lines, and by the library with firmware command
// 0x5B, and handed out one 112-byte record at a time by sequence number.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "sim/machine.h"

namespace sim {

namespace {

constexpr size_t kRingSlots = 256;
constexpr size_t kRecordSize = 112;
constexpr size_t kTexts = 14;
constexpr size_t kTextArea = 98;
// What the virtual clock counts from: 14 November 2023, 22:13:20 UTC.
constexpr uint32_t kVirtualEpoch = 1700000000u;

// Driver status words.
constexpr uint32_t kNoMoreEvents = 0x1003;
constexpr uint32_t kOverwritten = 0x1004;

// The post-event command and its 128-byte packet.
constexpr size_t kPacketSize = 128;
constexpr size_t kPostParameter = 18;
constexpr size_t kPostCode = 22;
constexpr size_t kPostSource = 24;
constexpr size_t kPostSeverity = 25;
constexpr size_t kPostTexts = 26;
constexpr uint8_t kOwnSenseSource = 0x40;
constexpr uint8_t kFirstSource = 0x30, kLastSource = 0x33;
constexpr uint16_t kBadField = 0x010D, kBadLength = 0x0103, kBadOpcode = 0x0101;
// The oldest generations take no posted events.
constexpr long kFirstPostingArch = 6;

uint32_t next_number(uint32_t sequence) { return sequence == UINT32_MAX ? 1 : sequence + 1; }

const SimEvent* find(const Controller& c, uint32_t sequence) {
    if (sequence == 0) return nullptr;
    for (const SimEvent& e : c.events)
        if (e.sequence == sequence) return &e;
    return nullptr;
}

// The event of a reference's neighbour, or why there is none.
const SimEvent* neighbour(const Controller& c, uint32_t wanted, uint32_t* status) {
    if (const SimEvent* e = find(c, wanted)) return e;
    *status = wanted != 0 && wanted <= c.overwritten_sequence ? kOverwritten : kNoMoreEvents;
    return nullptr;
}

}  // namespace

uint32_t wall_seconds(const Machine& m) {
    if (m.virtual_clock) return kVirtualEpoch + uint32_t(m.virtual_us / 1000000u);
    return uint32_t(std::time(nullptr));
}

std::string time_text(uint32_t seconds, const char* format) {
    const time_t when = time_t(seconds);
    struct tm parts;
    gmtime_r(&when, &parts);
    char text[64];
    return std::strftime(text, sizeof text, format, &parts) > 0 ? text : "";
}

SimEvent& post_event(Machine& m, Controller& c, uint16_t code, uint8_t severity,
                     const std::string& text, const std::string& description) {
    SimEvent e;
    e.sequence = c.next_sequence == 0 ? 1 : c.next_sequence;
    c.next_sequence = next_number(e.sequence);
    e.time = wall_seconds(m);
    e.code = code;
    e.severity = severity;
    e.text = text;
    e.description = description;
    // The new event takes the slot of the one 256 numbers before it.
    const size_t slot = e.sequence % kRingSlots;
    for (auto it = c.events.begin(); it != c.events.end();) {
        if (it->sequence % kRingSlots == slot) {
            c.overwritten_sequence = std::max(c.overwritten_sequence, it->sequence);
            it = c.events.erase(it);
        } else {
            ++it;
        }
    }
    c.events.push_back(e);
    ++m.events_version;
    return c.events.back();
}

const SimEvent* pick_event(const Controller& c, unsigned long request, uint32_t reference,
                           uint32_t* status) {
    *status = 0;
    if (request == 260) return neighbour(c, reference + 1, status);
    if (request == 261) return neighbour(c, reference - 1, status);
    const SimEvent* pick = nullptr;
    for (const SimEvent& e : c.events) {
        if (pick == nullptr ||
            (request == 258 ? e.sequence > pick->sequence : e.sequence < pick->sequence))
            pick = &e;
    }
    if (pick == nullptr) *status = kNoMoreEvents;
    return pick;
}

// The parameter text and then the description, each ended by a NUL, in the
// record's 98-byte text area; the last byte always stays 0.
void encode_event(const SimEvent& e, uint8_t* record) {
    std::memset(record, 0, kRecordSize);
    put32(record, e.sequence);
    put32(record + 4, e.time);
    put16(record + 8, e.code);
    record[10] = e.severity;
    record[11] = e.driver_bytes[0];
    record[12] = e.driver_bytes[1];
    uint8_t* area = record + kTexts;
    if (!e.area.empty()) {
        std::memcpy(area, e.area.data(), std::min(e.area.size(), kTextArea));
        return;
    }
    const size_t text = std::min<size_t>(e.text.size(), kTextArea - 2);
    std::memcpy(area, e.text.data(), text);
    const size_t description = std::min(e.description.size(), kTextArea - text - 2);
    std::memcpy(area + text + 1, e.description.data(), description);
}

uint16_t post_event_command(Machine& m, Controller& c, const uint8_t* packet, const uint8_t* data,
                            uint32_t length) {
    if (c.attr_number("arch", 0) < kFirstPostingArch) return kBadOpcode;
    if (packet[1] != 2 + m.arch_class() || get16(packet + 6) != 1) return kBadField;
    if (length != kPacketSize) return kBadLength;
    if (data[124] != 0x80 || data[127] != 0x12) return kBadField;
    const uint8_t source = data[kPostSource];
    if (source != kOwnSenseSource && (source < kFirstSource || source > kLastSource))
        return kBadField;
    const uint8_t severity = data[kPostSeverity];
    if (severity < 1 || severity > 3) return kBadField;
    const char* texts = reinterpret_cast<const char*>(data + kPostTexts);
    const size_t text = strnlen(texts, kTextArea);
    const std::string first(texts, text);
    const std::string second =
        text + 1 < kTextArea
            ? std::string(texts + text + 1, strnlen(texts + text + 1, kTextArea - text - 1))
            : std::string();
    SimEvent& e = post_event(m, c, get16(data + kPostCode), severity, first, second);
    e.param = uint8_t(get16(data + kPostParameter));
    e.area.assign(data + kPostTexts, data + kPostTexts + kTextArea);
    return 0;
}

namespace {

const char kRingLine[] = "event-ring";
const char kEventLine[] = "ring-event";

std::string hex_value(const std::string& text) {
    return "hex:" + hex_digits(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

// The lines that give a controller's queue back as it stands: the ring's
// counters, then each event whole, oldest first.
void queue_lines(const Controller& c, std::vector<std::string>* out) {
    const std::string index = std::to_string(c.index);
    out->push_back(std::string(kRingLine) + " index=" + index +
                   " next=" + std::to_string(c.next_sequence) +
                   " overwritten=" + std::to_string(c.overwritten_sequence));
    for (const SimEvent& e : c.events) {
        std::string line =
            std::string(kEventLine) + " index=" + index +
            " sequence=" + std::to_string(e.sequence) + " time=" + std::to_string(e.time) +
            " code=" + std::to_string(e.code) + " severity=" + std::to_string(e.severity) +
            " param=" + std::to_string(e.param) + " byte11=" + std::to_string(e.driver_bytes[0]) +
            " byte12=" + std::to_string(e.driver_bytes[1]) + " text=" + hex_value(e.text) +
            " description=" + hex_value(e.description);
        if (!e.area.empty()) line += " area=hex:" + hex_digits(e.area.data(), e.area.size());
        out->push_back(line);
    }
}

bool is_queue_line(const std::string& line) {
    return line.rfind(std::string(kRingLine) + " ", 0) == 0 ||
           line.rfind(std::string(kEventLine) + " ", 0) == 0;
}

bool unsigned_value(const Attrs& a, const char* key, unsigned long long limit,
                    unsigned long long* out, std::string* why) {
    auto it = a.find(key);
    char* end = nullptr;
    if (it != a.end() && !it->second.empty()) *out = std::strtoull(it->second.c_str(), &end, 0);
    if (end == nullptr || *end != '\0' || *out > limit) {
        *why = std::string("missing or bad ") + key + "=";
        return false;
    }
    return true;
}

bool text_value(const Attrs& a, const char* key, std::string* out, std::string* why) {
    std::vector<uint8_t> bytes;
    auto it = a.find(key);
    if (it != a.end() && !decode_hex(it->second, &bytes)) {
        *why = std::string("bad hex in ") + key + "=";
        return false;
    }
    out->assign(bytes.begin(), bytes.end());
    return true;
}

}  // namespace

void save_events(Machine& m) {
    if (!m.ready || m.state_file.empty() || m.events_saved == m.events_version) return;
    std::vector<std::string> lines;
    for (const std::string& line : m.persisted)
        if (!is_queue_line(line)) lines.push_back(line);
    for (const Controller& c : m.controllers) queue_lines(c, &lines);
    m.persisted = lines;
    m.events_saved = m.events_version;
    save_state(m);
}

bool event_state_line(Controller& c, const std::string& command, Attrs& a, std::string* why) {
    if (command == kRingLine) {
        unsigned long long next = 0, overwritten = 0;
        if (!unsigned_value(a, "next", UINT32_MAX, &next, why) ||
            !unsigned_value(a, "overwritten", UINT32_MAX, &overwritten, why))
            return false;
        c.events.clear();
        c.next_sequence = uint32_t(next);
        c.overwritten_sequence = uint32_t(overwritten);
        return true;
    }
    SimEvent e;
    unsigned long long sequence = 0, time = 0, code = 0, severity = 0, param = 0, byte11 = 0,
                       byte12 = 0;
    if (!unsigned_value(a, "sequence", UINT32_MAX, &sequence, why) ||
        !unsigned_value(a, "time", UINT32_MAX, &time, why) ||
        !unsigned_value(a, "code", UINT16_MAX, &code, why) ||
        !unsigned_value(a, "severity", UINT8_MAX, &severity, why) ||
        !unsigned_value(a, "param", UINT8_MAX, &param, why) ||
        !unsigned_value(a, "byte11", UINT8_MAX, &byte11, why) ||
        !unsigned_value(a, "byte12", UINT8_MAX, &byte12, why) ||
        !text_value(a, "text", &e.text, why) || !text_value(a, "description", &e.description, why))
        return false;
    std::string area;
    if (!text_value(a, "area", &area, why)) return false;
    e.sequence = uint32_t(sequence);
    e.time = uint32_t(time);
    e.code = uint16_t(code);
    e.severity = uint8_t(severity);
    e.param = uint8_t(param);
    e.driver_bytes[0] = uint8_t(byte11);
    e.driver_bytes[1] = uint8_t(byte12);
    e.area.assign(area.begin(), area.end());
    c.events.push_back(e);
    return true;
}

}  // namespace sim
