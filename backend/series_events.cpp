// The controller's event queue, which the second-series driver hands out
// one 112-byte record at a time by sequence number, turned into the
// library's event record; and the caller's own events, posted into the queue
// with a firmware command.
#include <cstdio>
#include <cstring>
#include <new>

#include "backend/series_backend.h"
#include "driver/driver_access.h"
#include "driver/message_catalogue.h"
#include "driver/record_failure.h"
#include "driver/series_command.h"

namespace {

// The driver's event record.
constexpr size_t kSequence = 0;
constexpr size_t kTime = 4;
constexpr size_t kCode = 8;
constexpr size_t kSeverity = 10;
constexpr size_t kDriverByte11 = 11;
constexpr size_t kDriverByte12 = 12;
constexpr size_t kTexts = 14;  // parameter text, NUL, optional description, NUL
constexpr int32_t kEventTextCategory = 4;

// The data of the post-event command.
constexpr uint8_t kPostOpcode = 0x5B;
constexpr size_t kPostPacketSize = 128;
constexpr size_t kPostSense = 0;
constexpr size_t kPostParameter = 18;
constexpr size_t kPostCode = 22;
constexpr size_t kPostSource = 24;
constexpr size_t kPostSeverity = 25;
constexpr size_t kPostTexts = 26;
constexpr size_t kPostTextArea = 98;
constexpr size_t kPostTextKept = 96;  // characters of the first text at most
constexpr size_t kPostMark = 124;
constexpr size_t kPostTail = 127;
constexpr uint8_t kPostMarkValue = 0x80;
constexpr uint8_t kPostTailValue = 0x12;
constexpr uint8_t kOwnSenseSource = 0x40;
constexpr uint8_t kSourceBase = 0x30;
constexpr uint8_t kBuiltSenseCode = 0xF1;
constexpr uint8_t kBuiltSenseLength = 0x75;
constexpr size_t kSenseKey = 2;
constexpr size_t kSenseLengthByte = 7;
constexpr size_t kSenseCode = 12;
constexpr size_t kSenseQualifier = 13;

// Copies a text of at most limit characters, ending at its first NUL.
size_t copy_text(char* out, const char* text, size_t limit) {
    const size_t length = strnlen(text, limit);
    std::memcpy(out, text, length);
    out[length] = '\0';
    return length;
}

// The library's record of a driver record. The texts are read only inside
// the record: a parameter text without its NUL is cut to fit the record's
// field, and a description is looked for only where the record has room
// for it.
void convert(ObjectId id, const uint8_t* driver, EventRecord* out) {
    std::memset(out, 0, sizeof *out);
    out->sequence = uint32_t(le::load(driver + kSequence, 4));
    out->time = uint32_t(le::load(driver + kTime, 4));
    out->code = uint16_t(le::load(driver + kCode, 2));
    out->severity = driver[kSeverity];
    out->driver_byte_11 = driver[kDriverByte11];
    out->driver_byte_12 = driver[kDriverByte12];

    const char* texts = reinterpret_cast<const char*>(driver + kTexts);
    const size_t room = driver_request::kEventRecordSize - kTexts;
    const size_t parameter_length =
        copy_text(out->parameter, texts, EventRecord::kParameterSize - 1);
    out->parameter_length = uint8_t(parameter_length);

    char description[EventRecord::kDescriptionSize] = "";
    const size_t own = strnlen(texts, room) + 1;  // where the driver's description starts
    if (own < room) copy_text(description, texts + own, room - own);
    if (description[0] == '\0') {
        const char* text = library_catalogue().lookup(kEventTextCategory, out->code, "", 0);
        copy_text(description, text, sizeof description - 1);
    }
    // Cut to the field, so the length fits its byte.
    const int written =
        parameter_length > 0
            ? std::snprintf(out->description, sizeof out->description, "%s: %s", description,
                            out->parameter)
            : std::snprintf(out->description, sizeof out->description, "%s", description);
    out->description_length =
        uint8_t(written < 0 ? 0 : strnlen(out->description, sizeof out->description - 1));

    if (DriverAccess::is_vm_driver(id) == 1) out->time = DriverAccess::to_local_time(out->time);
}

// One read of the queue; sequence is the reference of next and previous.
int read_event(ObjectId id, uint32_t code, uint32_t sequence, EventRecord* out) {
    int32_t descriptor = -1;
    if (DriverAccess::open_controller(id, &descriptor) != 0) return -1;
    uint8_t record[driver_request::kEventRecordSize] = {};
    if (code == driver_request::kNextEvent || code == driver_request::kPreviousEvent)
        le::store(record + kSequence, sequence, 4);
    SeriesDriverRequest request(code);
    const int result =
        DriverAccess::series_ioctl(descriptor, request.header, request.area, record, sizeof record);
    DriverAccess::close_controller(descriptor);
    if (result != 0) return -1;
    // The driver had no such event: it answers without a record.
    const uint32_t status = uint32_t(le::load(request.header + driver_request::kHeaderStatus, 4));
    if (status == driver_request::kStatusNoMoreEvents ||
        status == driver_request::kStatusAenClobber)
        std::memset(record, 0, sizeof record);
    EventRecord event;
    convert(id, record, &event);
    std::memcpy(out, &event, sizeof event);
    return 0;
}

// The two texts of a posted event in the command's 98-byte text area: the
// first (at most 96 characters kept), a NUL, the second in what is left,
// and a NUL in the area's last byte.
void fill_text_area(const EventPostRecord& event, uint8_t* area) {
    uint8_t joined[2 * kPostTextArea + 2] = {};
    const size_t first = strnlen(
        event.text1, event.text1_length < kPostTextArea ? event.text1_length : kPostTextArea);
    std::memcpy(joined, event.text1, first);
    const size_t second_limit =
        event.text2_length < kPostTextArea ? event.text2_length : kPostTextArea;
    const size_t second = strnlen(event.text2, second_limit);
    std::memcpy(joined + first + 1, event.text2, second);
    if (first > kPostTextKept) joined[kPostTextKept] = 0;
    joined[kPostTextArea - 1] = 0;
    std::memcpy(area, joined, kPostTextArea);
}

void fill_post_packet(const EventPostRecord& event, uint8_t* packet) {
    uint8_t* sense = packet + kPostSense;
    if (event.source == EventPostRecord::kOwnSense) {
        std::memcpy(sense, event.sense, sizeof event.sense);
        packet[kPostSource] = kOwnSenseSource;
    } else {
        sense[0] = kBuiltSenseCode;
        sense[kSenseKey] = event.sense[kSenseKey];
        sense[kSenseLengthByte] = kBuiltSenseLength;
        sense[kSenseCode] = event.sense[kSenseCode];
        sense[kSenseQualifier] = event.sense[kSenseQualifier];
        packet[kPostSource] = uint8_t(event.source | kSourceBase);
    }
    le::store(packet + kPostParameter, event.parameter & 0xFFFF, 2);
    le::store(packet + kPostCode, event.code, 2);
    packet[kPostSeverity] = event.severity;
    fill_text_area(event, packet + kPostTexts);
    packet[kPostMark] = kPostMarkValue;
    packet[kPostTail] = kPostTailValue;
}

}  // namespace

int SeriesBackend::get_first_aen(ObjectId id, EventRecord* out) const {
    return read_event(id, driver_request::kOldestEvent, 0, out);
}

int SeriesBackend::get_last_aen(ObjectId id, EventRecord* out) const {
    return read_event(id, driver_request::kNewestEvent, 0, out);
}

int SeriesBackend::get_next_aen(ObjectId id, uint32_t sequence, EventRecord* out) const {
    return read_event(id, driver_request::kNextEvent, sequence, out);
}

int SeriesBackend::get_previous_aen(ObjectId id, uint32_t sequence, EventRecord* out) const {
    return read_event(id, driver_request::kPreviousEvent, sequence, out);
}

int SeriesBackend::post_aen(ObjectId id, const EventPostRecord& event) const {
    uint8_t* packet = new (std::nothrow) uint8_t[kPostPacketSize]();
    if (packet == nullptr) return fail_with_api_error(kApiMemoryAllocation);
    int32_t descriptor = -1;
    if (DriverAccess::open_controller(id, &descriptor) != 0) {
        delete[] packet;
        return -1;
    }
    fill_post_packet(event, packet);
    SeriesDriverRequest request(driver_request::kFirmwareCommand);
    uint8_t* command = request.packet();
    command[series_packet::kOpcode] = kPostOpcode;
    command[series_packet::kSizeWords] = uint8_t(get_arch_class() + 2);
    le::store(command + series_packet::kCount, 1, 2);
    const int result = DriverAccess::series_ioctl(descriptor, request.header, request.area, packet,
                                                  kPostPacketSize);
    delete[] packet;
    DriverAccess::close_controller(descriptor);
    return result == 0 ? 0 : -1;
}
