// Reading "/proc/devices": lines of a device number and a name.
#pragma once

#include <cstddef>

struct DeviceLine {
    int major;
    char name[32];  // names that do not fit are skipped
};

// Reads the next line of text[*position, length) that holds a number and a
// name (its first two words). False at the end of the text.
bool next_device_line(const char* text, size_t length, size_t* position, DeviceLine* out);

// The major number of a base driver's device: the first name that begins
// with the prefix and whose fourth character is not 'v' (which marks a
// virtual-machine device of the same prefix); 0 when there is none.
int base_driver_major(const char* text, size_t length, const char* prefix);
