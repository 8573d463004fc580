#include "web/actions/firmware_image_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "daemon/byte_buffer.h"
#include "daemon/temp_files.h"

namespace {

constexpr int kOverwrittenBytes = 100;
constexpr char kTempEnding[] = ".tmp";

bool is_address_character(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' ||
           c == ':' || c == '-';
}

// Writes all n bytes; false on any failed write.
bool write_all(int fd, const unsigned char* p, int n) {
    while (n > 0) {
        const ssize_t written = ::write(fd, p, static_cast<size_t>(n));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        p += written;
        n -= static_cast<int>(written);
    }
    return true;
}

}  // namespace

bool format_firmware_temp_path(const char* image_dir, int position, const char* peer,
                               char (&out)[kFirmwarePathSize]) {
    out[0] = '\0';
    if (image_dir == nullptr || peer == nullptr || position < 0 || peer[0] == '\0') return false;
    for (const char* p = peer; *p != '\0'; ++p)
        if (!is_address_character(*p)) return false;
    const int n =
        std::snprintf(out, sizeof out, "%s/c%d-%s%s", image_dir, position, peer, kTempEnding);
    if (n < 0 || n >= static_cast<int>(sizeof out)) {
        out[0] = '\0';
        return false;
    }
    return true;
}

bool store_firmware_upload(const char* path, const ByteBuffer& upload) {
    // The file of an earlier upload from the same address is replaced. The
    // image is written beside the path and renamed into place once whole
    // and on the disk: a process killed meanwhile leaves no part of an
    // image at the path for a later update to send to a controller.
    ::unlink(path);
    const int stored = replace_file_contents(path, upload.data(), upload.length(), true);
    // In place but its directory not on the disk: not an image to leave
    // waiting when the store is reported as failed.
    if (stored == kReplaceDirUnsynced) ::unlink(path);
    return stored == kReplaced;
}

int remove_stale_firmware_temps(const char* image_dir) {
    return remove_stale_temps_ending(image_dir, kTempEnding);
}

void delete_firmware_temp_file(const char* path) {
    const int fd = ::open(path, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        struct stat st;
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1 &&
            ::ftruncate(fd, 0) == 0) {
            const unsigned char zeros[kOverwrittenBytes] = {};
            write_all(fd, zeros, kOverwrittenBytes);
            ::fsync(fd);
        }
        ::close(fd);
    }
    ::unlink(path);
}
