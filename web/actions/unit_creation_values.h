// Request values of unit creation and migration besides the maintenance
// actions' numbers and lists: free texts (the type, the unit name), which
// arrive URL-encoded, and the settings, small numbers the pop-ups always
// send (absent or empty: 0).
#pragma once

// The key's value decoded into out (size bytes); false, and out empty, when
// the value as received does not fit. An absent key gives "".
bool read_text(const char* url, const char* key, char* out, int size);
template <int N>
bool read_text(const char* url, const char* key, char (&out)[N]) {
    return read_text(url, key, out, N);
}

// A setting of 0 to 255 in decimal digits into *value; an absent or empty
// value is 0. False for anything else.
bool read_setting(const char* url, const char* key, int* value);
