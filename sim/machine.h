// The simulated machine: kernel, drivers, controllers and their firmware
// state, the in-memory /dev tree, injected faults and the request journal.
// Internal to the simulator; tests and the simulated platform use sim.h.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <unordered_set>
#include <vector>

#include "sim/enclosure_model.h"
#include "sim/legacy_store.h"
#include "sim/sim.h"
#include "sim/units.h"

namespace sim {

using Attrs = std::map<std::string, std::string>;

enum class Series { First, Second };

// A kernel driver the simulator knows how to be.
struct DriverKind {
    const char* name;    // as in /proc/scsi and the stats files
    const char* prefix;  // device node prefix in /proc/devices and /dev
    bool vm;             // one character device per controller, minor 0
    Series series;
    int default_major;
};
const DriverKind* find_driver_kind(const std::string& name);

// A driver loaded on the machine.
struct LoadedDriver {
    const DriverKind* kind = nullptr;
    int major = 0;
    bool listed = true;     // appears in /proc/devices
    bool proc_dir = false;  // /proc/scsi/<driver> exists (host pairing by procfs)
    bool vm_links = false;  // virtual-machine nodes are symbolic links in /dev
};

// A drive, unit, enclosure or battery: its number and free-form attributes.
struct SimObject {
    int number = 0;
    Attrs attrs;
};

// An attribute's text, or the fallback; its number (decimal, 0x hex), or the
// fallback when it is missing or no number.
std::string attr_text(const Attrs& attrs, const char* key, const char* fallback = "");
long long attr_number(const Attrs& attrs, const char* key, long long fallback);

struct SimEvent {
    uint32_t sequence = 0;
    uint32_t time = 0;
    uint16_t code = 0;
    uint8_t severity = 3;
    uint8_t param = 0;  // first series: the unit or port of the event word
    uint8_t driver_bytes[2] = {0, 0};  // bytes 11 and 12 of the driver's record
    std::string text;
    std::string description;
    // The record's 98-byte text area exactly as given (posted events, or a
    // scenario's raw bytes); empty: built from text and description.
    std::vector<uint8_t> area;
};

struct ScsiDevice {
    int host, channel, target, lun;
};

struct Controller {
    int index = 0;  // SCSI host number, or the number of a virtual-machine device
    const LoadedDriver* driver = nullptr;
    int minor = -1;  // base drivers: the minor the controller answers on
    int vm_major = 0;
    bool present = true;
    Attrs attrs;
    std::map<int, SimObject> drives, enclosures;  // drives by port (sim/drives.h)
    std::map<int, SimUnit> units;                 // by unit number (sim/units.h)
    std::vector<SimUnit> foreign_units;  // configurations drives carry, waiting for an import
    uint64_t unit_clock_us = UINT64_MAX;  // when the units' tasks last moved on (max: not yet)
    std::map<int, EnclosureModel> enclosure_models;  // by enclosure number, built on first use
    std::map<int, SimObject> phys;                // by phy number (sim/phys.cpp)
    Attrs battery;
    bool has_battery = false;
    // Firmware parameters written by SET PARAMETER or the scenario, by
    // (table id as the firmware sees it << 16 | parameter id).
    std::map<uint32_t, std::vector<uint8_t>> params;
    std::deque<SimEvent> events;  // in the order posted; see post_event
    uint32_t next_sequence = 1;
    uint32_t overwritten_sequence = 0;  // the newest event the ring wrote over
    uint64_t battery_test_end_us = 0;   // a capacity test runs until then
    bool locked = false;
    uint64_t lock_expiry_us = 0;  // UINT64_MAX: held until released
    uint64_t clock_set_us = 0;    // when the controller clock was last set
    // sysfs files of the SAS driver: missing, or cut to a size.
    std::map<std::string, long> sysfs_size;  // -1 missing
    LegacyStore legacy;  // the first series' firmware state
    // Firmware downloads: the pieces received since the lock was last
    // taken (lock_takes counts the takes), the last image taken whole, and
    // what drives received by microcode download, by port.
    uint64_t lock_takes = 0;
    uint64_t download_epoch = 0;
    std::vector<uint8_t> download_pieces;
    std::vector<uint8_t> downloaded_image;
    std::map<int, std::vector<uint8_t>> drive_microcode;

    std::string attr(const char* key, const char* fallback = "") const;
    long attr_number(const char* key, long fallback) const;
    Series series() const { return driver->kind->series; }
};

struct DevEntry {
    enum Kind { CharDevice, RegularFile, Link, Directory } kind = RegularFile;
    int major = 0, minor = 0;
    unsigned mode = 0600;
    std::string target;  // links
};

enum class FaultCall { Ioctl, Open, Mknod, Unlink };

struct Fault {
    FaultCall call = FaultCall::Ioctl;
    int controller = -1;  // -1 any
    long request = -1;    // -1 any
    int opcode = -1;      // -1 any
    long table = -1;      // GET and SET PARAMETER of this table (and id): -1 any
    long parameter = -1;
    std::string path;  // open, mknod, unlink: "" any
    int count = 1;     // -1 for ever
    int error = 0;     // errno to fail the call with
    uint32_t driver_status = 0;
    bool firmware = false;
    uint16_t firmware_code = 0;
    std::string detail, text;
};

struct ScsiHostEntry {
    int host;
    int controller;  // position in Machine::controllers, or -1 for a foreign host
    std::string stats;
};

struct OpenFile {
    int controller = -1;  // node of a controller (position), else -1
    std::string path;
    std::string content;
    size_t position = 0;
    bool node = false;
};

struct Machine {
    std::string release = "6.1.0";
    std::string machine_name;  // uname machine; the real one by default
    std::vector<LoadedDriver> drivers;
    std::vector<Controller> controllers;
    std::vector<ScsiHostEntry> hosts;  // sysfs listing order
    std::vector<std::string> extra_device_lines;
    std::map<std::string, DevEntry> dev;
    std::vector<Fault> faults;
    std::vector<ScsiDevice> scsi_devices;
    std::vector<std::string> extra_scsi_lines;  // further lines of /proc/scsi/scsi
    bool scsi_devices_seeded = false;
    bool virtual_clock = false;
    bool fixed_utc_offset = false;  // else the process's local time zone
    long utc_offset = 0;            // seconds east of UTC
    uint64_t virtual_us = 0;
    uint64_t slept_us = 0;
    // The longest a pause lasts in real time ("clock pause-limit-ms="); it
    // is still counted whole. Unlimited by default.
    uint64_t pause_limit_us = UINT64_MAX;
    KernelCalls calls;  // what the kernel answered, see sim::kernel_calls()
    // How long the firmware takes to answer a driver request, in real time
    // ("latency request-us="); 0: at once.
    uint64_t request_latency_us = 0;
    // The driver requests received since the last reset (sim::request_counts)
    // and, from the first reset on, a key of each distinct one.
    RequestCounts request_counts;
    std::unordered_set<uint64_t> request_keys;
    bool request_keys_kept = false;
    int descriptor_floor = 0;
    std::string state_file;
    std::string control_file;
    long control_offset = 0;
    std::string journal_file;  // the journal is also appended here
    std::vector<std::string> persisted;  // state file lines, in order
    // The scenario and the state file are in: from now on changes are kept
    // in the state file.
    bool ready = false;
    // Counts changes of the controllers' event queues; the state file holds
    // them as they were at events_saved.
    uint64_t events_version = 0;
    uint64_t events_saved = 0;
    std::deque<JournalEntry> journal;
    std::map<int, OpenFile> files;

    LoadedDriver* driver(const std::string& name);
    Controller* controller(int index);
    bool old_kernel() const;
    int arch_class() const;  // packet size of parameter commands, minus 2
    uint64_t now_us() const;
};

// The one machine of the process; the caller holds the simulator lock.
Machine& machine();
// Runs f on the machine with the simulator lock held.
void with_machine(const std::function<void(Machine&)>& f);

// scenario.cpp: applies scenario, control or state-file lines to a machine.
bool apply_lines(Machine& m, const std::string& text, bool persist, std::string* error);
void finish_machine(Machine& m);

// vfs.cpp
std::string proc_devices_text(const Machine& m);
bool generated_file(Machine& m, const std::string& path, std::string* content, bool* writable);
bool generated_dir(const Machine& m, const std::string& path, std::vector<std::string>* names);
int write_generated(Machine& m, const std::string& path, const std::string& text);
std::string compat_record(const Controller& c);
// The kernel driver's version, and the first line of its host's stats file.
std::string driver_version(const Controller& c);
std::string driver_stats_text(const Controller& c);
std::string event_file(const Controller& c);
// The controller index whose SAS driver answers a read of this file (its
// host's compatibility or event file), or -1.
int driver_file_controller(const Machine& m, const std::string& path);
// The 112-byte event record the second-series driver hands out.
void encode_event(const SimEvent& e, uint8_t* record);

// driver_requests.cpp: one ioctl on a controller's node; latency_us gets how
// long the firmware takes to answer it (0 for a request the driver refuses
// without passing it on).
int driver_ioctl(Machine& m, Controller& c, unsigned long request, uint8_t* buffer, int* error,
                 uint64_t* latency_us);

// request_cost.cpp: counts a request the driver received (controller index,
// request number, the bytes sent) and returns how long its answer takes.
// The SAS driver's compatibility and event files count as request 0 with
// the file's path as the bytes sent.
uint64_t receive_request(Machine& m, int controller, unsigned long request, const uint8_t* sent,
                         size_t size);
// Waits that long in real time; the caller holds no lock.
void wait_for_answer(uint64_t microseconds);

// firmware.cpp
// Size of a parameter as the firmware of the series knows it, or one of the
// answers below.
constexpr long kNoSuchTable = 0, kNoSuchParameter = -1, kAnySize = -2, kEmptyParameter = -3;
long parameter_size(const Controller& c, uint16_t table, uint16_t id);
// GET: the parameter's value (written, or what the controller's description
// gives) into size bytes.
void read_parameter(const Machine& m, const Controller& c, uint16_t table, uint16_t id,
                    uint8_t* out, size_t size);
// SET: 0, or the firmware's error code when it refuses the value.
uint16_t write_parameter(Machine& m, Controller& c, uint16_t table, uint16_t id,
                         const uint8_t* value, size_t size);
// Keeps a written value; persisted values go to the state file.
void store_parameter(Machine& m, Controller& c, uint16_t table, uint16_t id,
                     const std::vector<uint8_t>& value, bool persist);
// The table a per-object table id belongs to (0x80 phy, 0x200 drive, 0x300
// unit, 0x410 schedule slot; without the 0x8000 mark) and the object's
// number; other tables are their own base, with number 0.
uint16_t table_base(uint16_t table, int* number);
// A value written earlier (SET PARAMETER or a param line), as a
// little-endian number; fallback when there is none.
unsigned long long stored_number(const Controller& c, uint16_t table, uint16_t id,
                                 unsigned long long fallback);

// settings.cpp: which settings parameters each generation keeps and the
// values it accepts. Whether the controller's generation has the parameter;
// and 0, or the firmware's error code when it refuses to write the value.
bool generation_has(const Controller& c, uint16_t table, uint16_t id);
uint16_t refuse_setting(const Machine& m, const Controller& c, uint16_t table, uint16_t id,
                        const uint8_t* value, size_t size);

// phys.cpp: the controller's phys and the drives attached to them directly.
// The number of phys the firmware reports, and the number it has.
int phy_count(const Controller& c);
int hardware_phys(const Controller& c);
// The link speeds a phy supports (bit 0 1.5, bit 1 3.0, bit 2 6.0 Gbps).
uint8_t phy_speeds(const Controller& c, int phy);
// Values of the phy's table (0x80 + phy) and the link facts of the drive on
// a port (drive table 0x200 + port) that come from the attachments; false
// for parameters they do not give.
bool phy_value(const Controller& c, int phy, uint16_t id, uint8_t* out, size_t size);
bool drive_link_value(const Controller& c, int port, uint16_t id, uint8_t* out, size_t size);

// drive_commands.cpp: the commands the firmware passes to a drive (SCSI
// commands, opcodes 0x11 and 0xF1) and the controller command 0x1F with
// sub-code 47; false when the packet is neither.
bool drive_command(Machine& m, Controller& c, uint8_t* area, uint8_t* data, uint32_t length);

// driver_requests.cpp: a failed second-series command: status byte 1, the
// code at byte 22 of the area, the detail and the firmware's text from 26.
void fail_series(uint8_t* area, uint16_t code, const std::string& detail);

// scsi_passthrough.cpp: firmware opcode 0x10, and "element" lines that
// change an enclosure element's state.
void scsi_pass_through(Machine& m, Controller& c, uint8_t* area, uint8_t* data, uint32_t length);
bool enclosure_element_line(Controller& c, Attrs& args, std::string* why);

// A firmware buffer of a drive or an enclosure module receives n bytes at
// their offset; a piece at offset 0 starts a new image.
inline void receive_at(std::vector<uint8_t>& buffer, uint32_t offset, const uint8_t* bytes,
                       uint32_t n) {
    if (offset == 0) buffer.clear();
    if (buffer.size() < size_t(offset) + n) buffer.resize(size_t(offset) + n, 0);
    std::copy(bytes, bytes + n, buffer.begin() + offset);
}

// firmware_download.cpp: the download command (opcode 0x56). 0, or the
// firmware's code: "next image buffer expected" until the image is whole.
uint16_t firmware_download(Machine& m, Controller& c, const uint8_t* packet, const uint8_t* data,
                           uint32_t length);

// controller_lock.cpp: the lock of control codes 262 and 263 and of the
// family-10 lock parameter. A take fails while the lock is held and not run
// out; a release reports whether it was held.
bool controller_lock_held(const Machine& m, const Controller& c);
bool take_controller_lock(Machine& m, Controller& c, uint64_t timeout_us);
bool release_controller_lock(Machine& m, Controller& c);

// event_ring.cpp: each second-series controller's event ring. The driver
// keeps 256 events, each in the slot of its sequence number modulo 256, so
// a new event writes over the one 256 numbers older. Sequence numbers run
// from 1 (0 is never used).
// Queues an event of the simulator's own (a unit or drive change, a battery
// test, an enclosure element, a scenario or control line) with the
// machine's current time and the next sequence number; description empty
// means the library's own text for the code. The reference stays valid
// until the next event is posted.
SimEvent& post_event(Machine& m, Controller& c, uint16_t code, uint8_t severity,
                     const std::string& text, const std::string& description = "");
// Seconds since 1970 as the controllers' clocks see them: the host's wall
// clock, or a fixed day plus the time slept on the virtual clock.
uint32_t wall_seconds(const Machine& m);
// Such a time as text, in UTC, formatted as strftime does.
std::string time_text(uint32_t seconds, const char* format);
// The event that request 258 (newest), 259 (oldest), 260 (after reference)
// or 261 (before reference) asks for; null with the driver status 0x1003
// when there is none, 0x1004 when the ring wrote over it.
const SimEvent* pick_event(const Controller& c, unsigned long request, uint32_t reference,
                           uint32_t* status);
// Firmware command 0x5B: the library's own event, as a 128-byte packet. 0,
// or the firmware's error code.
uint16_t post_event_command(Machine& m, Controller& c, const uint8_t* packet, const uint8_t* data,
                            uint32_t length);
// The queues outlive the process, as the controllers' own do: once the
// machine is ready, save_events writes every controller's queue to the state
// file when it changed since the last save ("event-ring" and "ring-event"
// lines), and event_state_line reads those lines back.
void save_events(Machine& m);
bool event_state_line(Controller& c, const std::string& command, Attrs& a, std::string* why);

// battery.cpp: the battery backup unit (table 0x8006, commands 0x1E and
// 0x1F). The capacity test ends when the controller is next asked anything
// after its time has run.
void advance_battery(Machine& m, Controller& c);
bool battery_value(const Machine& m, const Controller& c, uint16_t id, uint8_t* out, size_t size);
uint16_t battery_command(Machine& m, Controller& c, const uint8_t* packet, uint32_t length);

// diagnostic_tables.cpp: values and sizes of the tables the firmware works
// out from the controller (battery, drive statistics, event capture, error
// logs) when nothing has written them. kAnySize when the parameter is not
// one of them.
long diagnostic_parameter_size(const Controller& c, uint16_t table, uint16_t id);
bool diagnostic_value(const Machine& m, const Controller& c, uint16_t table, uint16_t id,
                      uint8_t* out, size_t size);
// The firmware's code refusing a SET of one of their read-only parameters,
// else 0.
uint16_t diagnostic_write_refusal(uint16_t table, uint16_t id);

// scenario.cpp: bytes as lower-case hex digits, and back (a leading "hex:"
// is skipped); false on an odd length or a character that is no digit.
std::string hex_digits(const uint8_t* bytes, size_t size);
bool decode_hex(const std::string& text, std::vector<uint8_t>* out);

// kernel.cpp
void save_state(Machine& m);
void add_journal(Machine& m, const JournalEntry& entry);
// journal_file.cpp
void append_journal_file(const Machine& m, const JournalEntry& entry);

// Little-endian access.
inline uint16_t get16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t get32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline void put16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

}  // namespace sim
