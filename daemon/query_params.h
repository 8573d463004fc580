// Values posted by the pages, read from a request's URL or form body: one
// general key search, one decoder for free-text values and one getter per
// short key that several pages share. None of them keeps any state; the
// daemon context offers them to the handlers as its own.
#pragma once

class QueryParams {
public:
    // Finds the first occurrence of key anywhere in text and copies the value
    // behind it, up to the first '&', NUL, CR or LF, into out as at most
    // size - 1 bytes plus a NUL. Keys holding "pwd" have each "%XX" turned
    // into its byte; other values are copied as they stand. Returns out, or
    // null (out untouched) when the key is absent or size is below 1.
    static char* get_parameter(const char* text, const char* key, char* out, int size);

    // Decodes a free-text value in place: a literal '+' becomes a blank and
    // each "%XX" the byte it names ("%2B" is a plus sign). A '%' not followed
    // by two hexadecimal digits stays as it is. Returns text.
    static char* url_decode(char* text);

    // Single-key getters: the key is looked for behind "&" first, then behind
    // "?" (d and y only behind "&"); the value is read with atoi.
    static int get_param_c(const char* url);               // controller position, 0
    static int get_param_avail_list_sort(const char* url); // 1 when absent or below 1
    static int get_param_e(const char* url);               // enclosure, 0
    static int get_param_slot(const char* url);            // enclosure slot, -1
    static int get_param_f(const char* url);               // enclosure fan, 0
    static int get_param_a(const char* url);               // enclosure alarm, 0
    static int get_param_ps(const char* url);              // power supply, 0
    static int get_param_u(const char* url);               // unit, -2 (all units)
    static int get_param_d(const char* url);               // drive or port, -1
    static int get_param_y(const char* url);               // phy, -1
    // Copies the "image=" value (at most size - 2 bytes) into out; returns 1
    // when found, else 0.
    static int get_param_image(const char* url, char* out, int size);
};
