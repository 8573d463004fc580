// The platform seam on the real operating system: every function is the
// system call of the same name.
#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>

#include "platform/platform.h"

namespace platform {

struct Directory {
    DIR* dir;
};

int uname(struct utsname* out) { return ::uname(out); }

int open(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }
int close(int fd) { return ::close(fd); }
int ioctl(int fd, unsigned long request, void* arg) { return ::ioctl(fd, request, arg); }
ssize_t read(int fd, void* buffer, size_t length) { return ::read(fd, buffer, length); }
ssize_t write(int fd, const void* buffer, size_t length) { return ::write(fd, buffer, length); }
off_t lseek(int fd, off_t offset, int whence) { return ::lseek(fd, offset, whence); }

int stat(const char* path, struct stat* out) { return ::stat(path, out); }
int lstat(const char* path, struct stat* out) { return ::lstat(path, out); }
int mknod(const char* path, mode_t mode, dev_t device) { return ::mknod(path, mode, device); }
int unlink(const char* path) { return ::unlink(path); }
int chmod(const char* path, mode_t mode) { return ::chmod(path, mode); }

Directory* open_dir(const char* path) {
    DIR* dir = ::opendir(path);
    if (dir == nullptr) return nullptr;
    return new Directory{dir};
}

const char* read_dir(Directory* dir) {
    struct dirent* entry = ::readdir(dir->dir);
    return entry == nullptr ? nullptr : entry->d_name;
}

int close_dir(Directory* dir) {
    int result = ::closedir(dir->dir);
    delete dir;
    return result;
}

int usleep(unsigned microseconds) { return ::usleep(microseconds); }
unsigned sleep(unsigned seconds) { return ::sleep(seconds); }

unsigned long long wait_length(unsigned long long microseconds) { return microseconds; }

time_t time_now() { return ::time(nullptr); }

long utc_offset(time_t when) {
    struct tm local;
    if (::localtime_r(&when, &local) == nullptr) return 0;
    return local.tm_gmtoff;
}

}  // namespace platform
