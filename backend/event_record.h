// Controller events as they cross the library's public interface: the
// record in which an event of either series reaches the caller, and the
// caller's own event to post into a controller's queue. Both are packed byte
// layouts with little-endian integers.
#pragma once

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)

// One event, 369 bytes. A code of 0 means no event: the queue held none
// after the one asked for.
struct EventRecord {
    static constexpr size_t kParameterSize = 98;
    static constexpr size_t kDescriptionSize = 256;

    uint32_t sequence;  // the driver's number of the event
    uint32_t time;      // seconds since 1970
    uint16_t code;      // message category 4 (second series) or 15 (first series)
    uint8_t severity;   // 1 error, 2 warning, 3 information, 4 debug
    uint8_t driver_byte_11;
    uint8_t driver_byte_12;
    uint8_t parameter_length;            // 0 to 97
    char parameter[kParameterSize];      // NUL-terminated, e.g. the unit or port
    uint8_t description_length;          // 0 to 255
    char description[kDescriptionSize];  // NUL-terminated
};
static_assert(sizeof(EventRecord) == 369);
static_assert(offsetof(EventRecord, parameter) == 14);
static_assert(offsetof(EventRecord, description_length) == 112);

// An event of the caller's making, 390 bytes, for ctl_post_aen. Each text
// is taken up to its length byte or its first NUL, whichever comes first.
struct EventPostRecord {
    static constexpr uint8_t kOwnSense = 128;  // source: the sense bytes are the caller's

    uint16_t code;
    uint8_t severity;    // 1 error, 2 warning, 3 information
    uint8_t source;      // 0 to 3, or kOwnSense
    uint32_t parameter;  // only its low 16 bits are sent
    uint8_t unused[8];
    char text1[98];
    uint8_t text1_length;
    char text2[256];  // the description
    uint8_t text2_length;
    // Fixed-format SCSI sense data: byte 2 sense key, 12 additional sense
    // code, 13 qualifier (all 18 bytes are sent for source kOwnSense).
    uint8_t sense[18];
};
static_assert(sizeof(EventPostRecord) == 390);
static_assert(offsetof(EventPostRecord, text1) == 16);
static_assert(offsetof(EventPostRecord, text2) == 115);
static_assert(offsetof(EventPostRecord, sense) == 372);

#pragma pack(pop)
