// The first-series firmware's own state: its drives on ports 0 to 15, its
// units 0 to 15 with their configuration descriptors, the configurations
// that exported units left on their drives, and the controller option.
// Internal to the simulator.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace sim {

struct Machine;
struct Controller;

// Background tasks a unit runs besides a rebuild.
enum class LegacyTask { None, Verify, Initialize };

struct LegacyUnit {
    // The configuration as CreateUnit received it (its meaningful bytes),
    // with the failed-member mask and the RAID 10 mirror bytes kept up to
    // date.
    std::vector<uint8_t> descriptor;
    // Member bits as in the descriptor's mask (RAID 10: 2 x mirror + drive).
    uint16_t failed = 0;      // degraded members
    uint16_t replaced = 0;    // failed members given a new drive, rebuild not started
    uint16_t rebuilding = 0;  // members being rebuilt
    LegacyTask task = LegacyTask::None;
    bool verify_pending = false;  // a verify start waits for its task command
    uint16_t progress = 0;        // of the running task, tenths of a percent
    bool exposed = true;          // seen by the operating system
    uint8_t write_cache = 0;
};

// A unit's configuration left on its drives by an export, or found on
// drives that came from elsewhere; import brings it back.
struct ForeignUnit {
    int number = 0;  // the unit number it had
    LegacyUnit unit;
};

struct LegacyStore {
    // 0 no drive (or attached but not added), 0xFF present and healthy,
    // 0xEC present with errors (bit 7 set, bit 0 clear: a read failure).
    uint8_t drive_state[16] = {};
    std::map<int, LegacyUnit> units;
    std::vector<ForeignUnit> foreign;
    bool option_4 = false;
};

// A drive line of a first-series controller: the drive on that port is
// there, added or not (added=0), healthy or not (failed=1).
void legacy_drive_line(Controller& c, int port);
// A unit line of a first-series controller (re)defines the unit from its
// attributes; false with why when the firmware cannot hold it.
bool legacy_unit_line(Machine& m, Controller& c, long number,
                      const std::map<std::string, std::string>& attrs, std::string* why);
bool legacy_unit_exists(const Controller& c, int number);

// The first-series firmware's answer to a command packet (request 0x1F);
// operand is packet byte 5 as it arrived.
void legacy_command(Machine& m, Controller& c, uint8_t* packet, uint8_t operand, uint8_t* data,
                    uint32_t length);

// Control lines: "fail-drive port=" (a drive fails in place), "advance
// percent=" (every running background task moves on).
bool legacy_control(Machine& m, Controller& c, const std::string& command,
                    std::map<std::string, std::string>& args, std::string* why);

// The state file's lines of a first-series controller: "legacy-store" (its
// drives and option) and "legacy-unit" (a unit, or a configuration left on
// drives) restore what the firmware last held.
bool legacy_state_line(Machine& m, Controller& c, const std::string& command,
                       const std::map<std::string, std::string>& attrs, bool persist,
                       std::string* why);
// Puts the controller's store among the state file's lines, and writes the
// file when save is set and anything changed.
void legacy_record_state(Machine& m, Controller& c, bool save);

// --- Shared by the first-series firmware's files.
namespace legacy {

constexpr int kPorts = 16;
constexpr int kUnits = 16;
constexpr uint8_t kNoPort = 0xFF;
constexpr uint8_t kHealthy = 0xFF;
constexpr uint8_t kFailedDrive = 0xEC;

// Unit types.
constexpr uint8_t kRaid0 = 0, kRaid1 = 1, kRaid1Created = 2, kRaid5 = 5, kRaid10 = 6, kDisk = 12,
                  kSpare = 13, kDiskReadBack = 14, kJbod = 15;

// Event codes of the first series' event texts.
constexpr uint16_t kEventUnitDegraded = 0x0002, kEventRebuildDone = 0x0005, kEventInitDone = 0x0007,
                   kEventDriveError = 0x000A, kEventRebuildStarted = 0x000B,
                   kEventInitStarted = 0x000C, kEventUnitDeleted = 0x000D,
                   kEventVerifyStarted = 0x0029, kEventVerifyDone = 0x002B;

uint8_t unit_type(const LegacyUnit& u);
bool is_redundant(uint8_t type);
bool is_single(uint8_t type);
// Members by bit: RAID 0, 1 and 5 member i is bit i; RAID 10 mirror m's
// drive d is bit 2m + d; a single drive is bit 0.
int member_count(const LegacyUnit& u);
uint8_t member_port(const LegacyUnit& u, int bit);
void set_member_port(LegacyUnit& u, int bit, uint8_t port);
uint32_t member_share(const LegacyUnit& u, int bit);
// The member bits that share redundancy with bit (the whole unit, or the
// mirror of a RAID 10 drive).
uint16_t redundancy_group(const LegacyUnit& u, int bit);
// The raw status byte of the unit status list.
uint8_t raw_status(const LegacyUnit& u);
// Writes the failed-member masks and the RAID 10 mirror status bytes.
void refresh(LegacyUnit& u);
// The eight progress values of table 0x406, tenths of a percent.
void progress_values(const LegacyUnit& u, uint16_t* values);

// The unit number that owns a port (and the member bit), or -1.
int owner_of(const LegacyStore& s, int port, int* bit);
int free_unit_number(const LegacyStore& s);
uint32_t drive_capacity(const Controller& c, int port);
void queue_event(Machine& m, Controller& c, uint16_t code, uint8_t parameter);
// A member fails: its unit degrades (unless it already counts it failed)
// and stops a verify or initialisation.
void fail_member(Machine& m, Controller& c, int number, int bit);

}  // namespace legacy

}  // namespace sim
