// Settings that live in one firmware parameter each: the parameter's table,
// id and size, and the conversion between the firmware's bytes and the
// caller's value. The back-end classes list theirs in .def files of rows
//   SETTING_ROW(kind, method, value type, table, parameter, size, conversion)
// (tables by their names in setting_table, without the namespace),
// where kind is GET (int method(ObjectId, type* out) const), SET
// (int method(ObjectId, type value) const), GET_BYTES (size bytes into
// type* out) or SET_BYTES (size bytes from const type*). Per-object tables
// are named by their first id: phy 0x80 + identifier byte 2, drive 0x200 +
// byte 2, unit 0x300 + byte 4 (the top-level unit of a sub-unit too).
#pragma once

#include <cstddef>
#include <cstdint>

#include "driver/object_id.h"

enum class Conversion : uint8_t {
    Direct,      // read straight into the caller's buffer, which a failed read leaves zeroed
    Number,      // a little-endian number read into a local; the output changes only on success
    Bytes,       // bytes read into a zeroed local and copied out as they are on success
    ThreeState,  // u16: 256 and more reads 2, else bit 0; 0 and 1 are written as they
                 // are, any other value as 256
    LowByte,     // u16: reads its low byte; 0xFF is written as 256
    BigEndian,   // a number the firmware keeps most significant byte first
    Text,        // a text: read as Bytes; written up to its terminating zero (at
                 // most size bytes) and padded with zeros, never read past its end
};

struct Setting {
    uint16_t table;
    uint16_t parameter;
    uint16_t size;
    Conversion conversion;
};

// The tables the settings rows name.
namespace setting_table {
constexpr uint16_t kPhy = 0x80;  // + phy
constexpr uint16_t kDrive = 0x200;  // + port
constexpr uint16_t kUnit = 0x300;  // + unit
constexpr uint16_t kIdentity = 0x402;
constexpr uint16_t kSettings = 0x403;
}  // namespace setting_table

// The table of the object the identifier names.
uint32_t setting_table_of(ObjectId id, const Setting& s);

// Direct and Bytes settings: size bytes into out (out_size bytes, at least
// size). 0, or -1 with the read's error recorded.
int read_setting_bytes(ObjectId id, const Setting& s, void* out, size_t out_size);
// Number, ThreeState, LowByte and BigEndian settings, converted.
int read_setting_value(ObjectId id, const Setting& s, uint64_t* value);
// Any setting: the value converted and written as size bytes.
int write_setting_value(ObjectId id, const Setting& s, uint64_t value);
int write_setting_bytes(ObjectId id, const Setting& s, const void* bytes);

template <class T>
int read_setting(ObjectId id, const Setting& s, T* out) {
    if (s.conversion == Conversion::Direct || s.conversion == Conversion::Bytes ||
        s.conversion == Conversion::Text)
        return read_setting_bytes(id, s, out, sizeof(T));
    uint64_t value = 0;
    if (read_setting_value(id, s, &value) != 0) return -1;
    *out = T(value);
    return 0;
}

// Declarations and definitions of the rows of a class's .def file.
#define SETTING_DECLARATION(kind, method, type, ...) SETTING_DECLARATION_##kind(method, type)
#define SETTING_DECLARATION_GET(method, type) int method(ObjectId id, type* out) const;
#define SETTING_DECLARATION_SET(method, type) int method(ObjectId id, type value) const;
#define SETTING_DECLARATION_GET_BYTES(method, type) int method(ObjectId id, type* out) const;
#define SETTING_DECLARATION_SET_BYTES(method, type) \
    int method(ObjectId id, const type* value) const;

#define SETTING_DEFINITION(cls, kind, method, type, table, parameter, size, conversion) \
    SETTING_DEFINITION_##kind(cls, method, type,                                         \
                              (Setting{table, parameter, size, Conversion::conversion}))
#define SETTING_DEFINITION_GET(cls, method, type, setting) \
    int cls::method(ObjectId id, type* out) const { return read_setting(id, setting, out); }
#define SETTING_DEFINITION_SET(cls, method, type, setting) \
    int cls::method(ObjectId id, type value) const {       \
        return write_setting_value(id, setting, value);    \
    }
#define SETTING_DEFINITION_GET_BYTES(cls, method, type, setting) \
    int cls::method(ObjectId id, type* out) const {              \
        return read_setting_bytes(id, setting, out, (setting).size); \
    }
#define SETTING_DEFINITION_SET_BYTES(cls, method, type, setting) \
    int cls::method(ObjectId id, const type* value) const {      \
        return write_setting_bytes(id, setting, value);          \
    }
