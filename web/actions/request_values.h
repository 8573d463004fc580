// Reading an action's request values with bounds: key values copied into
// buffers of the size the handler reads (never past them), numbers with
// atoi, indexes checked against the count of what they index, and the
// identifiers an action acts on built with every byte preset to 0xFF, so
// that an identifier the library refuses to make is a failure the handler
// reports, never an unset value passed on.
#pragma once

#include <cstdint>

#include "driver/object_id.h"

// The size of a value buffer unless an action says otherwise.
constexpr int kValueSize = 128;

// True when the key is anywhere in the URL.
bool has_key(const char* url, const char* key);

// The first entry of a handler's table of action keys (entries with a `key`
// member, in the order the handler tests them) whose key is in the URL, or
// null. The handler acts on the entry it finds; the dispatcher's table asks
// the same question to learn whether a request would change anything.
template <typename Entry, int N>
const Entry* first_key(const char* url, const Entry (&table)[N]) {
    for (const Entry& entry : table)
        if (has_key(url, entry.key)) return &entry;
    return nullptr;
}

// Copies the key's value (at most size - 1 characters) into out; false, and
// out empty, when the key is absent.
bool get_value(const char* url, const char* key, char* out, int size);
template <int N>
bool get_value(const char* url, const char* key, char (&out)[N]) {
    return get_value(url, key, out, N);
}

// The key's value read with atoi from a buffer of `size`; absent gives the
// default.
int get_number(const char* url, const char* key, int absent, int size = kValueSize);

// "On=": true when its value begins with "1".
bool get_on(const char* url);

// True when i names one of count things (0 to count - 1).
inline bool index_in(int i, int count) { return i >= 0 && i < count; }

// Identifiers of the controller with index `controller`: a unit of path
// depth 1 (the unit's low byte), a drive or port, a phy (the low byte of the
// number). Each returns 0, or -1 when the library refuses the number (its
// error record says why; *id then stays all 0xFF). The library accepts port
// and phy 255 (none): check a number against its list's count first where
// it must name one that exists.
int make_unit_id(uint8_t controller, int unit, ObjectId* id);
int make_drive_id(uint8_t controller, int port, ObjectId* id);
int make_port_id(uint8_t controller, int port, ObjectId* id);
int make_phy_id(uint8_t controller, int phy, ObjectId* id);
