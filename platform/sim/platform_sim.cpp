// The platform seam on the simulated machine: the simulator serves its own
// paths (/dev, /proc/devices, /proc/scsi, the SCSI host and device files in
// /sys), the descriptors it gave out, uname, the pauses and the time zone;
// every other call goes to the real system.
#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "sim/sim.h"

namespace platform {

struct Directory {
    DIR* real;  // null for a simulated listing
    std::vector<std::string> names;
    size_t next;
};

int uname(struct utsname* out) { return sim::kernel_uname(out); }

int open(const char* path, int flags, mode_t mode) {
    if (sim::owns_path(path)) return sim::kernel_open(path, flags);
    return ::open(path, flags, mode);
}

int close(int fd) { return sim::owns_fd(fd) ? sim::kernel_close(fd) : ::close(fd); }

int ioctl(int fd, unsigned long request, void* arg) {
    return sim::owns_fd(fd) ? sim::kernel_ioctl(fd, request, arg) : ::ioctl(fd, request, arg);
}

ssize_t read(int fd, void* buffer, size_t length) {
    return sim::owns_fd(fd) ? sim::kernel_read(fd, buffer, length) : ::read(fd, buffer, length);
}

ssize_t write(int fd, const void* buffer, size_t length) {
    return sim::owns_fd(fd) ? sim::kernel_write(fd, buffer, length) : ::write(fd, buffer, length);
}

off_t lseek(int fd, off_t offset, int whence) {
    return sim::owns_fd(fd) ? sim::kernel_lseek(fd, offset, whence) : ::lseek(fd, offset, whence);
}

int stat(const char* path, struct stat* out) {
    return sim::owns_path(path) ? sim::kernel_stat(path, out, true) : ::stat(path, out);
}

int lstat(const char* path, struct stat* out) {
    return sim::owns_path(path) ? sim::kernel_stat(path, out, false) : ::lstat(path, out);
}

int mknod(const char* path, mode_t mode, dev_t device) {
    return sim::owns_path(path) ? sim::kernel_mknod(path, mode, device)
                                : ::mknod(path, mode, device);
}

int unlink(const char* path) {
    return sim::owns_path(path) ? sim::kernel_unlink(path) : ::unlink(path);
}

int chmod(const char* path, mode_t mode) {
    return sim::owns_path(path) ? sim::kernel_chmod(path, mode) : ::chmod(path, mode);
}

Directory* open_dir(const char* path) {
    if (!sim::owns_path(path)) {
        DIR* dir = ::opendir(path);
        return dir == nullptr ? nullptr : new Directory{dir, {}, 0};
    }
    std::vector<std::string> names;
    if (sim::kernel_list_dir(path, &names) != 0) return nullptr;
    return new Directory{nullptr, names, 0};
}

const char* read_dir(Directory* dir) {
    if (dir->real != nullptr) {
        struct dirent* entry = ::readdir(dir->real);
        return entry == nullptr ? nullptr : entry->d_name;
    }
    return dir->next < dir->names.size() ? dir->names[dir->next++].c_str() : nullptr;
}

int close_dir(Directory* dir) {
    int result = dir->real != nullptr ? ::closedir(dir->real) : 0;
    delete dir;
    return result;
}

int usleep(unsigned microseconds) {
    sim::kernel_sleep(microseconds);
    return 0;
}

unsigned sleep(unsigned seconds) {
    sim::kernel_sleep(uint64_t(seconds) * 1000000u);
    return 0;
}

unsigned long long wait_length(unsigned long long microseconds) {
    return sim::kernel_wait_length(microseconds);
}

time_t time_now() { return ::time(nullptr); }

long utc_offset(time_t when) { return sim::kernel_utc_offset(when); }

}  // namespace platform
