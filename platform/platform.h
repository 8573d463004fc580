// The one seam between the library and the operating system. Every system
// call the library makes goes through these functions. Two implementations
// exist and an executable links exactly one of them: platform_linux (the real
// calls) or platform_sim (the simulated kernel drivers and controller
// firmware, with every other path passed on to the real calls).
//
// The functions behave like the calls they are named after: they return what
// the call returns and leave the reason of a failure in errno.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>
#include <sys/utsname.h>

#include <cstddef>
#include <ctime>

namespace platform {

int uname(struct utsname* out);

int open(const char* path, int flags, mode_t mode = 0);
int close(int fd);
int ioctl(int fd, unsigned long request, void* arg);
ssize_t read(int fd, void* buffer, size_t length);
ssize_t write(int fd, const void* buffer, size_t length);
off_t lseek(int fd, off_t offset, int whence);

int stat(const char* path, struct stat* out);
int lstat(const char* path, struct stat* out);
int mknod(const char* path, mode_t mode, dev_t device);
int unlink(const char* path);
int chmod(const char* path, mode_t mode);

// Directory listing: entries in the order the system gives them, "." and
// ".." included. read_dir returns null at the end; the name stays valid
// until the next read_dir or close_dir on the same listing.
struct Directory;
Directory* open_dir(const char* path);
const char* read_dir(Directory* dir);
int close_dir(Directory* dir);

// Pauses of the calling thread.
int usleep(unsigned microseconds);
unsigned sleep(unsigned seconds);

// A pause that the caller spends in a wait of its own, one that another
// thread can end early (a poll on a wake-up descriptor): how long, in real
// microseconds, it waits for a pause of the given length. The real machine
// waits the whole pause; the simulated one counts it whole and may make it
// shorter (see sim/README.md, "clock pause-limit-ms="), so that tests need
// not wait for what comes after a long pause.
unsigned long long wait_length(unsigned long long microseconds);

// The wall clock, and the local time zone's offset east of UTC in seconds in
// force at a moment (negative west of UTC; 0 when it cannot be told).
time_t time_now();
long utc_offset(time_t when);

}  // namespace platform
