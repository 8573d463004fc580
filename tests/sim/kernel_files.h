// Reading a file of the simulated kernel through its entry points.
#pragma once

#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "sim/sim.h"

// The whole file, or "<the error's text>" when it does not open.
inline std::string read_kernel_file(const char* path) {
    const int fd = sim::kernel_open(path, O_RDONLY);
    if (fd < 0) return "<" + std::string(std::strerror(errno)) + ">";
    std::string text;
    char chunk[256];
    ssize_t n;
    while ((n = sim::kernel_read(fd, chunk, sizeof chunk)) > 0) text.append(chunk, size_t(n));
    sim::kernel_close(fd);
    return text;
}
