#include "driver/system_files.h"

#include <fcntl.h>

#include <cerrno>

#include "platform/platform.h"

bool read_system_file(const char* path, std::string* out, size_t limit) {
    const int fd = platform::open(path, O_RDONLY);
    if (fd < 0) return false;
    out->clear();
    char chunk[4096];
    ssize_t n = 0;
    while (out->size() < limit && (n = platform::read(fd, chunk, sizeof chunk)) > 0)
        out->append(chunk, size_t(n));
    const int error = errno;
    platform::close(fd);
    if (n < 0) {
        errno = error;
        return false;
    }
    return true;
}
