// Reading firmware image files through the platform's calls.
#include "backend/image_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <new>

#include "driver/record_failure.h"
#include "platform/platform.h"

namespace {

int fail_with(int32_t api_error, int os_error) {
    return api_error != 0 ? fail_with_api_error(api_error) : fail_with_os_error(os_error);
}

// Reads count bytes from the start of the file.
int read_start(const char* path, uint8_t* out, size_t count, int32_t unreadable) {
    const int fd = platform::open(path, O_RDONLY);
    if (fd < 0) return fail_with(unreadable, errno);
    size_t done = 0;
    int error = EIO;  // a file that holds less than it did
    while (done < count) {
        const ssize_t n = platform::read(fd, out + done, count - done);
        if (n <= 0) {
            if (n < 0) error = errno;
            break;
        }
        done += size_t(n);
    }
    platform::close(fd);
    return done == count ? 0 : fail_with(unreadable, error);
}

// The size of a regular, non-empty file.
int regular_size(const char* path, ImageFileErrors errors, size_t* size) {
    struct stat st;
    if (path == nullptr) return fail_with(errors.missing, EFAULT);
    if (platform::stat(path, &st) != 0) return fail_with(errors.missing, errno);
    if (!S_ISREG(st.st_mode) || st.st_size <= 0) return fail_with_api_error(errors.bad_size);
    *size = size_t(st.st_size);
    return 0;
}

}  // namespace

int read_image_file(const char* path, size_t max_size, ImageFileErrors errors, ImageBuffer* out) {
    size_t size = 0;
    if (regular_size(path, errors, &size) != 0) return -1;
    if (size > max_size) return fail_with_api_error(errors.bad_size);
    std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[size]());
    if (!bytes) return -1;
    if (read_start(path, bytes.get(), size, errors.unreadable) != 0) return -1;
    out->bytes = std::move(bytes);
    out->size = size;
    return 0;
}

int read_image_start(const char* path, size_t count, ImageFileErrors errors, uint8_t* out) {
    size_t size = 0;
    if (regular_size(path, errors, &size) != 0) return -1;
    if (size < count) return fail_with_api_error(errors.bad_size);
    return read_start(path, out, count, errors.unreadable);
}
