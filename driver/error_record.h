// The library's last-error record: up to four parts (library, operating
// system, driver, controller) with their codes and one composed text line per
// part. Each thread has its own record, so the request thread and the monitor
// thread never see each other's failures.
#pragma once

#include <cstdint>

// Flag bits of ErrorRecord::flags.
enum : uint32_t {
    kErrApi = 0x1,
    kErrOs = 0x2,
    kErrDriver = 0x4,
    kErrController = 0x8,
    kErrFirstSeries = 0x10000,
    kErrSecondSeries = 0x20000,
};

// Copied whole to callers; the field order and sizes are part of the
// library's interface.
struct ErrorRecord {
    uint32_t flags;
    int32_t api_code;
    int32_t os_error;
    int32_t driver_status;
    int32_t controller_status;
    char detail[128];
    uint32_t text_length;
    char text[1024];
};

// Sets every field of this thread's record to zero.
void clear_last_error();
// Records a failure: ORs the flags in and appends one line per part whose
// flag is given. detail and controller_text may be null.
void set_last_error(uint32_t flags, int32_t api_code, int32_t os_error, int32_t driver_status,
                    int32_t controller_status, const char* detail, const char* controller_text);
// Rebuilds the text in the given language from the stored codes, then copies
// the record out.
void render_last_error(ErrorRecord* out, const char* message_dir, uint8_t language);
// Copies the record out, rendering it first when the language is not 0.
void copy_last_error(ErrorRecord* out, const char* message_dir, uint8_t language);
int32_t get_last_error_code();

// Byte routines shared by the library: a length of 0 or less does nothing.
void copy_memory(void* dst, const void* src, int32_t length);
void fill_memory(void* buffer, uint8_t value, int32_t length);
