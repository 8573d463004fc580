// Request values of unit creation and migration besides the maintenance
// actions' numbers and lists: free texts (the type, the unit name), which
// arrive URL-encoded, and the settings, small numbers. The pop-ups send
// every key they have, so a key that is absent makes a request the page
// never sends.
#pragma once

// The key's value decoded into out (size bytes); false, and out empty, when
// the key is absent or the value as received does not fit (or is longer
// than 255 characters).
bool read_text(const char* url, const char* key, char* out, int size);
template <int N>
bool read_text(const char* url, const char* key, char (&out)[N]) {
    return read_text(url, key, out, N);
}
// The same without decoding: the value as received.
bool read_encoded_text(const char* url, const char* key, char* out, int size);
template <int N>
bool read_encoded_text(const char* url, const char* key, char (&out)[N]) {
    return read_encoded_text(url, key, out, N);
}

// A setting of 0 to 255 in decimal digits into *value; an empty value is
// 0. False for an absent key or anything else.
bool read_setting(const char* url, const char* key, int* value);
