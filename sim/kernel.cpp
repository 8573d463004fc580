// The simulated kernel's entry points: the machine of the process, its
// descriptors, the in-memory /dev tree, the state and control files and the
// journal. Every entry point takes the simulator lock; a driver request
// waits out the firmware's latency after releasing it.
#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>

#include "sim/machine.h"

namespace sim {

namespace {

constexpr size_t kJournalLimit = 4096;
constexpr size_t kSysfsReadLimit = 4096;

std::mutex& sim_lock() {
    static std::mutex lock;
    return lock;
}

Machine* g_machine = nullptr;

bool read_real_file(const std::string& path, std::string* out) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    out->clear();
    char chunk[4096];
    ssize_t n;
    while ((n = ::read(fd, chunk, sizeof chunk)) > 0) out->append(chunk, size_t(n));
    ::close(fd);
    return n == 0;
}

void fresh_machine(Machine* m) {
    struct utsname u;
    m->machine_name = ::uname(&u) == 0 ? u.machine : "x86_64";
}

// Reads the state file back; then the machine is ready, and what it holds
// from now on is kept there.
bool load_state(Machine& m, std::string* error) {
    std::string text;
    if (!m.state_file.empty() && read_real_file(m.state_file, &text) &&
        !apply_lines(m, text, true, error))
        return false;
    m.ready = true;
    // The queues as the scenario or the state file left them, so that a
    // later start finds the same events at the same times.
    ++m.events_version;
    save_events(m);
    return true;
}

// Builds a machine from scenario text; null with error on failure.
Machine* build(const std::string& text, std::string* error) {
    Machine* m = new Machine;
    fresh_machine(m);
    if (!apply_lines(*m, text, false, error) || !load_state(*m, error)) {
        delete m;
        return nullptr;
    }
    return m;
}

void replace_machine(Machine* m) {
    if (g_machine != nullptr) {
        // Descriptors still open keep working as closed-off nodes.
        for (auto& f : g_machine->files) {
            f.second.controller = -1;
            m->files[f.first] = f.second;
        }
        delete g_machine;
    }
    g_machine = m;
}

// Applies the lines appended to the control file since the last look.
void poll_control(Machine& m) {
    if (m.control_file.empty()) return;
    struct stat st;
    if (::stat(m.control_file.c_str(), &st) != 0) return;
    if (st.st_size < m.control_offset) m.control_offset = 0;
    if (st.st_size == m.control_offset) return;
    std::string text;
    if (!read_real_file(m.control_file, &text) || text.size() <= size_t(m.control_offset)) return;
    size_t end = text.rfind('\n');
    if (end == std::string::npos || end < size_t(m.control_offset)) return;
    std::string lines = text.substr(size_t(m.control_offset), end + 1 - size_t(m.control_offset));
    m.control_offset = long(end + 1);
    std::string error;
    if (!apply_lines(m, lines, false, &error))
        std::fprintf(stderr, "simulator control file %s: %s\n", m.control_file.c_str(),
                     error.c_str());
}

// The machine, built on first use, with pending control lines applied.
Machine& current() {
    if (g_machine == nullptr) {
        std::string text = default_scenario(), error;
        const char* file = std::getenv("PYV2_SIM_SCENARIO");
        if (file != nullptr && *file != '\0' && !read_real_file(file, &text)) {
            std::fprintf(stderr, "simulator: cannot read scenario file %s\n", file);
            std::abort();
        }
        Machine* m = new Machine;
        fresh_machine(m);
        if (!apply_lines(*m, text, false, &error)) {
            std::fprintf(stderr, "simulator scenario: %s\n", error.c_str());
            std::abort();
        }
        if (const char* state = std::getenv("PYV2_SIM_STATE")) m->state_file = state;
        if (const char* control = std::getenv("PYV2_SIM_CONTROL")) m->control_file = control;
        if (const char* journal = std::getenv("PYV2_SIM_JOURNAL")) m->journal_file = journal;
        if (!load_state(*m, &error)) {
            std::fprintf(stderr, "simulator state file %s: %s\n", m->state_file.c_str(),
                         error.c_str());
            std::abort();
        }
        g_machine = m;
    }
    poll_control(*g_machine);
    return *g_machine;
}

bool starts_with_dir(const char* path, const char* dir) {
    size_t n = std::strlen(dir);
    return std::strncmp(path, dir, n) == 0 && (path[n] == '\0' || path[n] == '/');
}

bool in_dev(const std::string& path) { return starts_with_dir(path.c_str(), "/dev"); }

std::string parent_of(const std::string& path) { return path.substr(0, path.rfind('/')); }

// Follows links in /dev; null when the path names nothing there.
const DevEntry* resolve(const Machine& m, std::string path, bool follow, std::string* resolved) {
    static const DevEntry kDevDir{DevEntry::Directory, 0, 0, 0755, ""};
    for (int hops = 0; hops < 8; ++hops) {
        if (path == "/dev") {
            if (resolved) *resolved = path;
            return &kDevDir;
        }
        auto it = m.dev.find(path);
        if (it == m.dev.end()) return nullptr;
        if (it->second.kind != DevEntry::Link || !follow) {
            if (resolved) *resolved = path;
            return &it->second;
        }
        const std::string& target = it->second.target;
        path = target[0] == '/' ? target : parent_of(path) + "/" + target;
    }
    return nullptr;
}

bool dev_dir_exists(const Machine& m, const std::string& dir) {
    const DevEntry* e = resolve(m, dir, true, nullptr);
    return e != nullptr && e->kind == DevEntry::Directory;
}

// The controller a character device answers for, or null.
Controller* controller_of(Machine& m, const DevEntry& e) {
    for (Controller& c : m.controllers) {
        if (c.driver->kind->vm) {
            if (c.vm_major == e.major && e.minor == 0) return &c;
        } else if (c.driver->major == e.major && c.minor == e.minor) {
            return &c;
        }
    }
    return nullptr;
}

bool take_path_fault(Machine& m, FaultCall call, const std::string& path, int controller,
                     int* error) {
    for (auto it = m.faults.begin(); it != m.faults.end(); ++it) {
        if (it->call != call) continue;
        if (!it->path.empty() && it->path != path) continue;
        if (it->controller >= 0 && it->controller != controller) continue;
        *error = it->error != 0 ? it->error : EIO;
        if (it->count > 0 && --it->count == 0) m.faults.erase(it);
        return true;
    }
    return false;
}

int fail(int error) {
    errno = error;
    return -1;
}

int new_descriptor(const Machine& m) {
    int fd = ::eventfd(0, EFD_CLOEXEC);
    if (fd < 0 || m.descriptor_floor <= 0) return fd;
    struct rlimit limit;
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 &&
        limit.rlim_cur <= rlim_t(m.descriptor_floor) + 16 &&
        limit.rlim_max > rlim_t(m.descriptor_floor) + 16) {
        limit.rlim_cur = rlim_t(m.descriptor_floor) + 256 < limit.rlim_max
                             ? rlim_t(m.descriptor_floor) + 256
                             : limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
    int high = ::fcntl(fd, F_DUPFD_CLOEXEC, m.descriptor_floor);
    if (high < 0) return fd;
    ::close(fd);
    return high;
}

void fill_stat(struct stat* out, mode_t type, unsigned mode, int major_number, int minor_number,
               off_t size) {
    std::memset(out, 0, sizeof *out);
    out->st_mode = type | (mode & 07777);
    out->st_rdev = makedev(unsigned(major_number), unsigned(minor_number));
    out->st_size = size;
    out->st_nlink = 1;
    out->st_blksize = 4096;
}

}  // namespace

Machine& machine() { return current(); }

uint64_t Machine::now_us() const {
    if (virtual_clock) return virtual_us;
    struct timespec ts;
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000000u + uint64_t(ts.tv_nsec) / 1000u;
}

void save_state(Machine& m) {
    if (m.state_file.empty()) return;
    std::string text = "# Simulated controller state, rewritten after every change.\n";
    for (const std::string& line : m.persisted) text += line + "\n";
    const std::string temp = m.state_file + ".tmp";
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return;
    bool ok = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    ok = ::close(fd) == 0 && ok;
    if (ok) ::rename(temp.c_str(), m.state_file.c_str());
}

void add_journal(Machine& m, const JournalEntry& entry) {
    append_journal_file(m, entry);
    m.journal.push_back(entry);
    while (m.journal.size() > kJournalLimit) m.journal.pop_front();
}

bool owns_path(const char* path) {
    return starts_with_dir(path, "/dev") || std::strcmp(path, "/proc/devices") == 0 ||
           starts_with_dir(path, "/proc/scsi") || starts_with_dir(path, "/sys/class/scsi_host") ||
           starts_with_dir(path, "/sys/bus/scsi");
}

bool owns_fd(int fd) {
    std::lock_guard<std::mutex> hold(sim_lock());
    return current().files.count(fd) != 0;
}

int kernel_uname(struct utsname* out) {
    std::lock_guard<std::mutex> hold(sim_lock());
    Machine& m = current();
    ++m.calls.uname;
    if (::uname(out) != 0) return -1;
    std::snprintf(out->release, sizeof out->release, "%s", m.release.c_str());
    std::snprintf(out->machine, sizeof out->machine, "%s", m.machine_name.c_str());
    return 0;
}

namespace {

// An open, under the simulator lock; latency_us gets how long the driver
// takes to answer when the file is one of its requests.
int open_locked(const char* path_text, int flags, uint64_t* latency_us) {
    Machine& m = current();
    const std::string path = path_text;
    OpenFile file;
    file.path = path;
    int error = 0;
    if (in_dev(path)) {
        const DevEntry* e = resolve(m, path, true, nullptr);
        if (e == nullptr) return fail(ENOENT);
        if (e->kind == DevEntry::Directory) return fail(EISDIR);
        if (e->kind == DevEntry::CharDevice) {
            Controller* c = controller_of(m, *e);
            if (take_path_fault(m, FaultCall::Open, path, c ? c->index : -1, &error))
                return fail(error);
            if (c == nullptr || !c->present) return fail(ENXIO);
            file.node = true;
            file.controller = int(c - m.controllers.data());
        } else if (take_path_fault(m, FaultCall::Open, path, -1, &error)) {
            return fail(error);
        }
    } else {
        bool writable = false;
        if (!generated_file(m, path, &file.content, &writable)) {
            std::vector<std::string> names;
            return fail(generated_dir(m, path, &names) ? EISDIR : ENOENT);
        }
        if (take_path_fault(m, FaultCall::Open, path, -1, &error)) return fail(error);
        const int access = flags & O_ACCMODE;
        if (access != O_RDONLY && !writable) return fail(EACCES);
    }
    int fd = new_descriptor(m);
    if (fd < 0) return -1;
    if (file.node) ++m.calls.node_opens;
    const int controller = file.node ? -1 : driver_file_controller(m, path);
    if (controller >= 0)
        *latency_us = receive_request(m, controller, 0,
                                      reinterpret_cast<const uint8_t*>(path.data()), path.size());
    m.files[fd] = file;
    return fd;
}

}  // namespace

int kernel_open(const char* path, int flags) {
    uint64_t latency_us = 0;
    int fd;
    {
        std::lock_guard<std::mutex> hold(sim_lock());
        fd = open_locked(path, flags, &latency_us);
    }
    wait_for_answer(latency_us);
    return fd;
}

int kernel_close(int fd) {
    std::lock_guard<std::mutex> hold(sim_lock());
    Machine& m = current();
    auto it = m.files.find(fd);
    if (it == m.files.end()) return fail(EBADF);
    if (it->second.node) ++m.calls.node_closes;
    m.files.erase(it);
    return ::close(fd);
}

int kernel_ioctl(int fd, unsigned long request, void* arg) {
    int result, error = 0;
    uint64_t latency_us = 0;
    {
        std::lock_guard<std::mutex> hold(sim_lock());
        Machine& m = current();
        auto it = m.files.find(fd);
        if (it == m.files.end()) return fail(EBADF);
        if (!it->second.node) return fail(ENOTTY);
        if (it->second.controller < 0 || !m.controllers[it->second.controller].present)
            return fail(ENODEV);
        result = driver_ioctl(m, m.controllers[it->second.controller], request,
                              static_cast<uint8_t*>(arg), &error, &latency_us);
        save_events(m);
    }
    // The firmware's time to answer, while other threads use the machine.
    wait_for_answer(latency_us);
    if (result < 0) errno = error;
    return result;
}

ssize_t kernel_read(int fd, void* buffer, size_t length) {
    std::lock_guard<std::mutex> hold(sim_lock());
    Machine& m = current();
    auto it = m.files.find(fd);
    if (it == m.files.end()) return fail(EBADF);
    OpenFile& f = it->second;
    if (f.node) return fail(EINVAL);
    if (f.position >= f.content.size()) return 0;
    size_t n = std::min(length, f.content.size() - f.position);
    if (starts_with_dir(f.path.c_str(), "/sys")) n = std::min(n, kSysfsReadLimit);
    std::memcpy(buffer, f.content.data() + f.position, n);
    f.position += n;
    return ssize_t(n);
}

ssize_t kernel_write(int fd, const void* buffer, size_t length) {
    std::lock_guard<std::mutex> hold(sim_lock());
    Machine& m = current();
    auto it = m.files.find(fd);
    if (it == m.files.end()) return fail(EBADF);
    if (it->second.node) return fail(EINVAL);
    std::string text(static_cast<const char*>(buffer), length);
    JournalEntry entry;
    entry.path = it->second.path;
    entry.sent.assign(text.begin(), text.end());
    int error = write_generated(m, it->second.path, text);
    entry.result = error == 0 ? int(length) : -1;
    entry.error = error;
    add_journal(m, entry);
    if (error != 0) return fail(error);
    return ssize_t(length);
}

off_t kernel_lseek(int fd, off_t offset, int whence) {
    std::lock_guard<std::mutex> hold(sim_lock());
    Machine& m = current();
    auto it = m.files.find(fd);
    if (it == m.files.end()) return fail(EBADF);
    OpenFile& f = it->second;
    if (f.node) return fail(ESPIPE);
    off_t base = whence == SEEK_SET   ? 0
                 : whence == SEEK_CUR ? off_t(f.position)
                                      : off_t(f.content.size());
    if ((whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) || base + offset < 0)
        return fail(EINVAL);
    f.position = size_t(base + offset);
    return base + offset;
}

int kernel_stat(const char* path_text, struct stat* out, bool follow_links) {
    std::lock_guard<std::mutex> hold(sim_lock());
    Machine& m = current();
    const std::string path = path_text;
    if (in_dev(path)) {
        const DevEntry* e = resolve(m, path, follow_links, nullptr);
        if (e == nullptr) return fail(ENOENT);
        const mode_t type = e->kind == DevEntry::CharDevice  ? S_IFCHR
                            : e->kind == DevEntry::Directory ? S_IFDIR
                            : e->kind == DevEntry::Link      ? S_IFLNK
                                                             : S_IFREG;
        fill_stat(out, type, e->mode, e->major, e->minor, off_t(e->target.size()));
        return 0;
    }
    std::string content;
    bool writable = false;
    if (generated_file(m, path, &content, &writable)) {
        fill_stat(out, S_IFREG, writable ? 0644 : 0444, 0, 0, off_t(content.size()));
        return 0;
    }
    std::vector<std::string> names;
    if (generated_dir(m, path, &names)) {
        fill_stat(out, S_IFDIR, 0755, 0, 0, 0);
        return 0;
    }
    return fail(ENOENT);
}

int kernel_mknod(const char* path_text, mode_t mode, dev_t device) {
    std::lock_guard<std::mutex> hold(sim_lock());
    Machine& m = current();
    const std::string path = path_text;
    if (!in_dev(path) || path == "/dev") return fail(in_dev(path) ? EEXIST : EACCES);
    int error = 0;
    if (take_path_fault(m, FaultCall::Mknod, path, -1, &error)) return fail(error);
    if (!dev_dir_exists(m, parent_of(path))) return fail(ENOENT);
    if (m.dev.count(path)) return fail(EEXIST);
    DevEntry e;
    switch (mode & S_IFMT) {
        case S_IFCHR:
            e.kind = DevEntry::CharDevice;
            break;
        case 0:
        case S_IFREG:
            e.kind = DevEntry::RegularFile;
            break;
        default:
            return fail(EINVAL);
    }
    e.major = int(major(device));
    e.minor = int(minor(device));
    e.mode = mode & 07777;
    m.dev[path] = e;
    return 0;
}

int kernel_unlink(const char* path_text) {
    std::lock_guard<std::mutex> hold(sim_lock());
    Machine& m = current();
    const std::string path = path_text;
    if (!in_dev(path)) return fail(EACCES);
    int error = 0;
    if (take_path_fault(m, FaultCall::Unlink, path, -1, &error)) return fail(error);
    auto it = m.dev.find(path);
    if (it == m.dev.end()) return fail(path == "/dev" ? EISDIR : ENOENT);
    if (it->second.kind == DevEntry::Directory) return fail(EISDIR);
    m.dev.erase(it);
    return 0;
}

int kernel_chmod(const char* path_text, mode_t mode) {
    std::lock_guard<std::mutex> hold(sim_lock());
    Machine& m = current();
    std::string resolved;
    if (!in_dev(path_text)) return fail(EPERM);
    if (resolve(m, path_text, true, &resolved) == nullptr) return fail(ENOENT);
    auto it = m.dev.find(resolved);
    if (it == m.dev.end()) return fail(EPERM);
    it->second.mode = mode & 07777;
    return 0;
}

int kernel_list_dir(const char* path_text, std::vector<std::string>* names) {
    std::lock_guard<std::mutex> hold(sim_lock());
    Machine& m = current();
    const std::string path = path_text;
    if (in_dev(path)) {
        std::string dir;
        const DevEntry* e = resolve(m, path, true, &dir);
        if (e == nullptr) return fail(ENOENT);
        if (e->kind != DevEntry::Directory) return fail(ENOTDIR);
        names->assign({".", ".."});
        const std::string prefix = dir + "/";
        for (const auto& entry : m.dev)
            if (entry.first.rfind(prefix, 0) == 0 &&
                entry.first.find('/', prefix.size()) == std::string::npos)
                names->push_back(entry.first.substr(prefix.size()));
        return 0;
    }
    if (generated_dir(m, path, names)) return 0;
    std::string content;
    bool writable;
    return fail(generated_file(m, path, &content, &writable) ? ENOTDIR : ENOENT);
}

uint64_t kernel_wait_length(uint64_t microseconds) {
    std::lock_guard<std::mutex> hold(sim_lock());
    Machine& m = current();
    m.slept_us += microseconds;
    if (m.virtual_clock) {
        m.virtual_us += microseconds;
        return 0;
    }
    return std::min(microseconds, m.pause_limit_us);
}

void kernel_sleep(uint64_t microseconds) {
    const uint64_t real = kernel_wait_length(microseconds);
    struct timespec ts = {time_t(real / 1000000), long(real % 1000000) * 1000};
    while (::nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

long kernel_utc_offset(time_t when) {
    {
        std::lock_guard<std::mutex> hold(sim_lock());
        const Machine& m = current();
        if (m.fixed_utc_offset) return m.utc_offset;
    }
    struct tm local;
    return ::localtime_r(&when, &local) == nullptr ? 0 : local.tm_gmtoff;
}

bool load_scenario(const std::string& text, std::string* error) {
    std::lock_guard<std::mutex> hold(sim_lock());
    Machine* m = build(text, error);
    if (m == nullptr) return false;
    replace_machine(m);
    return true;
}

bool load_scenario_file(const std::string& path, std::string* error) {
    std::string text;
    if (!read_real_file(path, &text)) {
        *error = "cannot read " + path;
        return false;
    }
    return load_scenario(text, error);
}

bool apply(const std::string& lines, std::string* error) {
    std::lock_guard<std::mutex> hold(sim_lock());
    return apply_lines(current(), lines, false, error);
}

void with_machine(const std::function<void(Machine&)>& f) {
    std::lock_guard<std::mutex> hold(sim_lock());
    f(current());
}

std::vector<JournalEntry> journal() {
    std::lock_guard<std::mutex> hold(sim_lock());
    const std::deque<JournalEntry>& j = current().journal;
    return std::vector<JournalEntry>(j.begin(), j.end());
}

void clear_journal() {
    std::lock_guard<std::mutex> hold(sim_lock());
    current().journal.clear();
}

NodeInfo node_info(const std::string& path) {
    std::lock_guard<std::mutex> hold(sim_lock());
    NodeInfo info;
    const DevEntry* e = resolve(current(), path, false, nullptr);
    if (e == nullptr) return info;
    info.exists = true;
    info.char_device = e->kind == DevEntry::CharDevice;
    info.link = e->kind == DevEntry::Link;
    info.major = e->major;
    info.minor = e->minor;
    info.mode = e->mode;
    return info;
}

uint64_t slept_microseconds() {
    std::lock_guard<std::mutex> hold(sim_lock());
    return current().slept_us;
}

KernelCalls kernel_calls() {
    std::lock_guard<std::mutex> hold(sim_lock());
    return current().calls;
}

std::vector<std::string> scsi_devices() {
    std::lock_guard<std::mutex> hold(sim_lock());
    std::vector<std::string> names;
    for (const ScsiDevice& d : current().scsi_devices)
        names.push_back(std::to_string(d.host) + ":" + std::to_string(d.channel) + ":" +
                        std::to_string(d.target) + ":" + std::to_string(d.lun));
    return names;
}

}  // namespace sim
