#include "daemon/temp_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "daemon/string_builder.h"

namespace {

const char kTempInfix[] = ".tmp-";
constexpr int kRandomLength = 6;

bool is_random_part(const char* p)
{
    for (int i = 0; i < kRandomLength; i++) {
        char c = p[i];
        bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!alnum)
            return false;
    }
    return p[kRandomLength] == '\0';
}

}  // namespace

int create_temp_beside(const char* path, StringBuilder& tmp_path)
{
    tmp_path.clear();
    tmp_path.append(path).append(kTempInfix).append("XXXXXX");
    int fd = mkstemp(const_cast<char*>(tmp_path.c_str()));
    if (fd < 0)
        return -1;
    if (fchmod(fd, 0600) != 0) {
        ::close(fd);
        unlink(tmp_path.c_str());
        return -1;
    }
    return fd;
}

int replace_file_contents(const char* path, const void* data, long length, bool sync) {
    StringBuilder tmp_path;
    int fd = create_temp_beside(path, tmp_path);
    if (fd < 0) return kReplaceNoTemp;
    bool ok = true;
    const char* p = static_cast<const char*>(data);
    long left = length;
    while (left > 0) {
        ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        p += n;
        left -= n;
    }
    ok = ok && (!sync || fsync(fd) == 0);
    ok = (::close(fd) == 0) && ok;
    ok = ok && std::rename(tmp_path.c_str(), path) == 0;
    if (!ok) {
        ::unlink(tmp_path.c_str());
        return kReplaceFailed;
    }
    // The rename is an entry of the directory: until the directory is on
    // the disk, a power failure may bring the old file back.
    if (sync && sync_directory_of(path) != 0) return kReplaceDirUnsynced;
    return kReplaced;
}

namespace {

// The directory part of path: "." without a slash, "/" for a file at the
// root.
void directory_of(const char* path, StringBuilder& dir) {
    dir.clear();
    const char* slash = std::strrchr(path, '/');
    if (slash == nullptr) {
        dir.append(".");
    } else if (slash == path) {
        dir.append("/");
    } else {
        int n = static_cast<int>(slash - path);
        dir.grow(static_cast<unsigned>(n));
        std::memcpy(const_cast<char*>(dir.c_str()), path, static_cast<size_t>(n));
    }
}

// Opens path with flags and syncs it: 0, or -1.
int open_and_sync(const char* path, int flags) {
    int fd;
    do {
        fd = ::open(path, flags | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return -1;
    const int synced = fsync(fd);
    ::close(fd);
    return synced == 0 ? 0 : -1;
}

}  // namespace

int sync_directory_of(const char* path) {
    StringBuilder dir;
    directory_of(path, dir);
    return open_and_sync(dir.c_str(), O_RDONLY | O_DIRECTORY);
}

namespace {

// Whether name is "<prefix>.tmp-<six letters or digits>" with a prefix that
// is base or, with ending, ends with base (and is longer).
bool is_temp_of(const char* name, const char* base, bool ending)
{
    const size_t name_length = std::strlen(name);
    const size_t base_length = std::strlen(base);
    const size_t infix_length = sizeof kTempInfix - 1;
    if (name_length < infix_length + kRandomLength)
        return false;
    const size_t prefix_length = name_length - infix_length - kRandomLength;
    if (std::strncmp(name + prefix_length, kTempInfix, infix_length) != 0 ||
        !is_random_part(name + prefix_length + infix_length))
        return false;
    if (ending ? prefix_length <= base_length : prefix_length != base_length)
        return false;
    return std::memcmp(name + prefix_length - base_length, base, base_length) == 0;
}

// Removes the regular files of the directory that are temporaries of base.
int sweep_temps(const char* dir, const char* base, bool ending)
{
    int dir_fd = open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir_fd < 0)
        return 0;
    DIR* d = fdopendir(dir_fd);
    if (d == nullptr) {
        ::close(dir_fd);
        return 0;
    }
    int removed = 0;
    while (dirent* e = readdir(d)) {
        const char* name = e->d_name;
        if (!is_temp_of(name, base, ending))
            continue;
        struct stat st;
        if (fstatat(dir_fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
            continue;
        if (unlinkat(dir_fd, name, 0) == 0)
            removed++;
    }
    closedir(d);
    return removed;
}

}  // namespace

int remove_stale_temps(const char* path)
{
    const char* slash = std::strrchr(path, '/');
    StringBuilder dir;
    directory_of(path, dir);
    return sweep_temps(dir.c_str(), slash == nullptr ? path : slash + 1, false);
}

int remove_stale_temps_ending(const char* dir, const char* ending)
{
    return sweep_temps(dir, ending, true);
}
