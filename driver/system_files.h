// Reading small kernel files (procfs, sysfs) through the platform seam.
#pragma once

#include <string>

// Reads the whole file into out, at most limit bytes. False with errno set
// when it cannot be opened or read.
bool read_system_file(const char* path, std::string* out, size_t limit = 1 << 20);
