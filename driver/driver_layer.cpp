// Controller discovery: the kernel check, the device nodes of the base and
// virtual-machine drivers, the pairing of SCSI hosts with nodes, and
// listing, opening and closing the controllers found.
#include "driver/driver_layer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/utsname.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "driver/error_record.h"
#include "driver/kernel_check.h"
#include "driver/proc_devices.h"
#include "driver/record_failure.h"
#include "driver/system_files.h"
#include "platform/platform.h"

namespace {

struct DriverPair {
    const char* prefix;
    const char* driver;
};

// In the order of discovery.
constexpr DriverPair kBasePairs[] = {
    {"kqe", "dq-xxxx"},
    {"kqa", "dq-Mxxx"},
    {"kqn", "dq-nv"},
    {"kql", "dq-sas"},
};
constexpr DriverPair kVmPairs[] = {
    {"kqavm", "dq-Mxxx_vm40"},
    {"kqlvm", "dq-sas_vm40"},
    {"kqavm", "dq-Mxxx_vm50"},
    {"kqlvm", "dq-sas_vm50"},
};

constexpr char kProcDevices[] = "/proc/devices";
constexpr char kScsiHostDir[] = "/sys/class/scsi_host";
constexpr int kLastIndex = DriverLayer::kMaxControllers - 1;  // 254
constexpr size_t kStatsHead = 16;

// A controller index written in decimal: 0 to 254. Names that are not a
// number, and hosts the tables have no room for, are not controllers.
bool parse_index(const char* text, int* out) {
    if (text[0] == '\0' || std::strlen(text) > 3) return false;
    int value = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') return false;
        value = value * 10 + (*p - '0');
    }
    if (value > kLastIndex) return false;
    *out = value;
    return true;
}

bool format_node_path(char* path, const char* prefix, int number) {
    const int n = std::snprintf(path, DriverLayer::kNodePathSize, "/dev/%s%d", prefix, number);
    return n > 0 && n < DriverLayer::kNodePathSize;
}

// Opens a node read-write and closes it again: the controller behind it is
// present.
bool node_opens(const char* path) {
    const int fd = platform::open(path, O_RDWR);
    if (fd < 0) return false;
    platform::close(fd);
    return true;
}

}  // namespace

DriverLayer::DriverLayer() : DriverLayer(kBuildArch) {}

DriverLayer::DriverLayer(const char* build_arch) : build_arch_(build_arch) { discover(build_arch); }

void DriverLayer::rediscover() {
    reset();
    discover(build_arch_);
}

void DriverLayer::reset() {
    unsupported_arch_ = 0;
    families_known_ = 0;
    count_ = 0;
    std::memset(nodes_, 0, sizeof nodes_);
    std::memset(families_, 0, sizeof families_);
    old_kernel_ = 0;
}

void DriverLayer::discover(const char* build_arch) {
    struct utsname name;
    const bool named = platform::uname(&name) == 0;
    learn_arch_class(named ? name.machine : nullptr);
    if (!named || !machine_matches_build(name.machine, build_arch)) {
        unsupported_arch_ = 1;
        return;
    }
    old_kernel_ = is_old_kernel_release(name.release) ? 1 : 0;
    unsupported_arch_ = 0;
    families_known_ = 0;
    count_ = 0;
    std::memset(nodes_, 0, sizeof nodes_);
    std::memset(families_, 0, sizeof families_);

    for (const DriverPair& pair : kBasePairs) discover_base(pair.prefix, pair.driver);
    for (const DriverPair& pair : kVmPairs) discover_vm(pair.prefix, pair.driver);

    if (count_ == 0) {
        fail_with_api_error(kApiNoController);
        return;
    }
    detect_families();
}

void DriverLayer::discover_base(const char* prefix, const char* driver) {
    std::string devices;
    if (!read_system_file(kProcDevices, &devices)) {
        fail_with_os_error(errno);
        return;
    }
    const int major_number = base_driver_major(devices.data(), devices.size(), prefix);
    if (major_number == 0) {
        fail_with_api_error(kApiNoController);
        return;
    }
    char path[kNodePathSize];
    for (int minor_number = 0; minor_number <= kLastIndex; ++minor_number) {
        format_node_path(path, prefix, minor_number);
        if (!repair_node(path, major_number, minor_number)) return;
    }

    char proc_dir[64];
    std::snprintf(proc_dir, sizeof proc_dir, "/proc/scsi/%s", driver);
    platform::Directory* dir = platform::open_dir(proc_dir);
    if (dir != nullptr) {
        pair_by_proc(dir, prefix);
    } else {
        dir = platform::open_dir(kScsiHostDir);
        if (dir == nullptr) {
            fail_with_os_error(errno);
            return;
        }
        pair_by_sysfs(dir, prefix, driver);
    }
    platform::close_dir(dir);
}

// Makes path a character device (major, minor) of mode 0600: created when
// missing, replaced when it is something else. False with the OS error
// recorded when that fails.
bool DriverLayer::repair_node(const char* path, int major_number, int minor_number) {
    struct stat st;
    if (platform::stat(path, &st) == 0) {
        if (S_ISCHR(st.st_mode) && int(major(st.st_rdev)) == major_number &&
            int(minor(st.st_rdev)) == minor_number)
            return true;
        if (platform::unlink(path) != 0) {
            fail_with_os_error(errno);
            return false;
        }
    }
    if (platform::mknod(path, S_IFCHR | 0600,
                        makedev(unsigned(major_number), unsigned(minor_number))) != 0) {
        fail_with_os_error(errno);
        return false;
    }
    return true;
}

// Hosts listed in /proc/scsi/<driver> take the openable nodes from 254
// downwards, in listing order.
void DriverLayer::pair_by_proc(platform::Directory* dir, const char* prefix) {
    int cursor = kLastIndex;
    while (const char* entry = platform::read_dir(dir)) {
        int host;
        if (entry[0] == '.' || !parse_index(entry, &host)) continue;
        claim_node(prefix, &cursor, -1, host);
    }
}

// Hosts whose statistics file names the driver take the openable nodes from
// 0 upwards (from 254 downwards on an old kernel), in listing order.
void DriverLayer::pair_by_sysfs(platform::Directory* dir, const char* prefix, const char* driver) {
    const bool sas = std::strcmp(driver, "dq-sas") == 0;
    const bool accepts_generic = std::strcmp(driver, "dq-Mxxx") == 0;
    const int step = old_kernel_ ? -1 : 1;
    int cursor = old_kernel_ ? kLastIndex : 0;
    while (const char* entry = platform::read_dir(dir)) {
        if (entry[0] == '.') continue;
        char stats[320];
        std::snprintf(stats, sizeof stats, "%s/%s/%s", kScsiHostDir, entry,
                      sas ? "tavix_stats" : "stats");
        struct stat st;
        if (platform::stat(stats, &st) != 0) continue;
        const int fd = platform::open(stats, O_RDONLY);
        if (fd < 0) continue;
        char head[kStatsHead + 1] = {};
        const ssize_t n = platform::read(fd, head, kStatsHead);
        platform::close(fd);
        if (n <= 0) continue;
        const bool ours = std::strncmp(head, driver, std::strlen(driver)) == 0 ||
                          (accepts_generic && std::strncmp(head, "Driver", 6) == 0);
        int host;
        if (!ours || std::strlen(entry) < 4 || !parse_index(entry + 4, &host)) continue;
        claim_node(prefix, &cursor, step, host);
    }
}

// From the cursor in its direction, the first node that opens becomes the
// host's node; the cursor moves past it.
bool DriverLayer::claim_node(const char* prefix, int* cursor, int step, int host) {
    char path[kNodePathSize];
    for (; *cursor >= 0 && *cursor <= kLastIndex; *cursor += step) {
        format_node_path(path, prefix, *cursor);
        if (node_opens(path)) {
            set_node(host, path);
            *cursor += step;
            return true;
        }
    }
    return false;
}

void DriverLayer::set_node(int index, const char* path) {
    std::snprintf(nodes_[index], kNodePathSize, "%s", path);
    ++count_;
}

void DriverLayer::discover_vm(const char* prefix, const char* driver) {
    char path[kNodePathSize];
    struct stat st;
    bool link_mode = false;
    for (int i = 0; i <= kLastIndex && !link_mode; ++i) {
        format_node_path(path, prefix, i);
        link_mode = platform::lstat(path, &st) == 0 && S_ISLNK(st.st_mode);
    }
    char proc_dir[64];
    std::snprintf(proc_dir, sizeof proc_dir, "/proc/scsi/%s", driver);
    const bool proc_mode = platform::stat(proc_dir, &st) == 0 && S_ISDIR(st.st_mode);

    if (link_mode) {
        for (int i = 0; i <= kLastIndex; ++i) {
            format_node_path(path, prefix, i);
            if (node_opens(path)) set_node(i, path);
        }
    }
    if (!proc_mode) return;

    // One character device per controller, named prefix and number, minor 0.
    std::string devices;
    if (!read_system_file(kProcDevices, &devices)) {
        fail_with_os_error(errno);
        return;
    }
    const size_t prefix_length = std::strlen(prefix);
    size_t position = 0;
    DeviceLine line;
    while (next_device_line(devices.data(), devices.size(), &position, &line)) {
        int index;
        if (std::strncmp(line.name, prefix, prefix_length) != 0 ||
            !parse_index(line.name + prefix_length, &index))
            continue;
        const int n = std::snprintf(path, sizeof path, "/dev/%s", line.name);
        if (n <= 0 || n >= int(sizeof path)) continue;
        if (!repair_node(path, line.major, 0)) return;
        if (node_opens(path)) set_node(index, path);
    }
}

int DriverLayer::list_controllers(ControllerIdList* out) {
    if (unsupported_arch_) return fail_with_api_error(kApiArchMismatch);
    ControllerIdList list;
    std::memset(&list, 0xFF, sizeof list);
    list.count = 0;
    for (int index = 0; index <= kLastIndex; ++index) {
        if (nodes_[index][0] == '\0') continue;
        ctl_make_controller_id(uint8_t(index), &list.ids[list.count]);
        ++list.count;
    }
    copy_memory(out, &list, int32_t(sizeof list));
    return 0;
}

const char* DriverLayer::node_path(uint8_t index) const {
    return index <= kLastIndex ? nodes_[index] : "";
}

int DriverLayer::open_controller(ObjectId id, int32_t* descriptor) {
    const uint8_t index = id.b[1];
    const char* path = node_path(index);
    const int fd = platform::open(path, O_RDWR);
    if (fd < 0) return fail_with_os_error(errno);
    // The node letter is the eighth character of the path; a 'v' after it
    // marks a virtual-machine node.
    const bool sas = path[7] == 'l' && path[8] != 'v';
    remember_descriptor(fd, index, sas ? index : kNotSas);
    *descriptor = fd;
    return 0;
}

int DriverLayer::close_controller(int32_t descriptor) {
    {
        std::lock_guard<std::mutex> hold(descriptor_lock_);
        if (descriptor >= 0 && size_t(descriptor) < descriptor_controllers_.size())
            descriptor_controllers_[size_t(descriptor)] = kNoController;
    }
    if (platform::close(descriptor) != 0) return fail_with_os_error(errno);
    return 0;
}

void DriverLayer::remember_descriptor(int32_t descriptor, uint8_t controller,
                                      uint8_t sas_controller) {
    std::lock_guard<std::mutex> hold(descriptor_lock_);
    if (size_t(descriptor) >= descriptor_map_.size()) {
        descriptor_map_.resize(size_t(descriptor) + 1, kNotSas);
        descriptor_controllers_.resize(size_t(descriptor) + 1, kNoController);
    }
    descriptor_map_[size_t(descriptor)] = sas_controller;
    descriptor_controllers_[size_t(descriptor)] = controller;
}

uint8_t DriverLayer::sas_controller_of(int32_t descriptor) {
    std::lock_guard<std::mutex> hold(descriptor_lock_);
    if (descriptor < 0 || size_t(descriptor) >= descriptor_map_.size()) return kNotSas;
    return descriptor_map_[size_t(descriptor)];
}

uint8_t DriverLayer::controller_of(int32_t descriptor) {
    std::lock_guard<std::mutex> hold(descriptor_lock_);
    if (descriptor < 0 || size_t(descriptor) >= descriptor_controllers_.size()) return kNoController;
    return descriptor_controllers_[size_t(descriptor)];
}
