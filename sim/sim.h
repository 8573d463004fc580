// The simulated kernel drivers and controller firmware.
//
// The simulated platform hands every call on /dev, /proc/devices, /proc/scsi,
// /sys/class/scsi_host and /sys/bus/scsi, every call on a descriptor the
// simulator gave out, uname and the pauses to the kernel_ functions below.
// Tests use the rest: they load a machine, change it while it runs, and read
// the journal of the driver requests it received.
//
// The machine is built on first use from the scenario file named by
// PYV2_SIM_SCENARIO, or from the built-in default scenario. PYV2_SIM_STATE
// names a state file (controller changes that survive a restart) and
// PYV2_SIM_CONTROL a control file whose new lines are applied to the running
// machine. See sim/README.md for the scenario language.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>
#include <sys/utsname.h>

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace sim {

// --- the simulated kernel -------------------------------------------------
bool owns_path(const char* path);
bool owns_fd(int fd);
int kernel_uname(struct utsname* out);
int kernel_open(const char* path, int flags);
int kernel_close(int fd);
int kernel_ioctl(int fd, unsigned long request, void* arg);
ssize_t kernel_read(int fd, void* buffer, size_t length);
ssize_t kernel_write(int fd, const void* buffer, size_t length);
off_t kernel_lseek(int fd, off_t offset, int whence);
int kernel_stat(const char* path, struct stat* out, bool follow_links);
int kernel_mknod(const char* path, mode_t mode, dev_t device);
int kernel_unlink(const char* path);
int kernel_chmod(const char* path, mode_t mode);
// 0 and the entry names ("." and ".." first), or -1 with errno.
int kernel_list_dir(const char* path, std::vector<std::string>* names);
void kernel_sleep(uint64_t microseconds);
// A pause that the caller spends in a wait of its own (one that another
// thread can end early): counted as slept like kernel_sleep, and how long it
// lasts in real time: nothing on the virtual clock, else at most the
// scenario's pause limit ("clock pause-limit-ms=").
uint64_t kernel_wait_length(uint64_t microseconds);
// The machine's time zone: the offset the scenario fixed ("clock
// utc-offset="), else the process's own local time zone.
long kernel_utc_offset(time_t when);

// --- control --------------------------------------------------------------
// Replaces the machine by the one the scenario text describes. On a syntax
// error the old machine stays and error says what and where.
bool load_scenario(const std::string& text, std::string* error);
bool load_scenario_file(const std::string& path, std::string* error);
// Applies scenario lines (faults, events, changed attributes, ...) to the
// running machine.
bool apply(const std::string& lines, std::string* error);
const char* default_scenario();

// One driver request or one write to a kernel SCSI file, as received.
struct JournalEntry {
    int controller = -1;            // controller index (host or device number), -1 none
    unsigned long request = 0;      // ioctl request number; 0 for a file write
    std::string path;               // the node or file
    std::vector<uint8_t> sent;      // the request buffer before the driver answered
    std::vector<uint8_t> returned;  // the buffer after it
    int result = 0;
    int error = 0;
};
std::vector<JournalEntry> journal();
void clear_journal();

// What the simulated /dev holds at a path (without following links).
struct NodeInfo {
    bool exists = false;
    bool char_device = false;
    bool link = false;
    int major = 0, minor = 0;
    unsigned mode = 0;
};
NodeInfo node_info(const std::string& path);

// Time spent in pauses since the machine was loaded, in microseconds.
uint64_t slept_microseconds();

// The calls the simulated kernel answered since the machine was loaded:
// uname, and the opens and closes of controller nodes (the ones that
// opened and the ones that closed a node's descriptor).
struct KernelCalls {
    uint64_t uname = 0;
    uint64_t node_opens = 0;
    uint64_t node_closes = 0;
};
KernelCalls kernel_calls();

// The driver requests the controllers received (each ioctl the driver
// passed on, and each open of a SAS driver's compatibility or event file),
// unlike the journal not limited to the latest ones: all of them, and the
// distinct ones (different controller, request number or bytes sent; a
// file read counts as request 0 that sends the file's path). Counted since
// the machine was loaded or the counts were last reset; the distinct ones
// only from the first reset on (until then the machine keeps no record of
// them, so a long-running process does not grow).
struct RequestCounts {
    uint64_t requests = 0;
    uint64_t distinct = 0;
};
RequestCounts request_counts();
void reset_request_counts();

// Firmware the simulated devices received: the last image a controller's
// download command took whole (empty when none), and the bytes a drive or
// an enclosure module's buffer received, each at its offset.
std::vector<uint8_t> controller_firmware(int controller);
std::vector<uint8_t> drive_firmware(int controller, int port);
std::vector<uint8_t> enclosure_firmware(int controller, int enclosure, int lun, int buffer_id);

// The SCSI devices the simulated kernel has attached, as "host:channel:target:lun".
std::vector<std::string> scsi_devices();

}  // namespace sim
