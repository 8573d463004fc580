// The second-series firmware's own model of a controller's units: for each
// unit number its tree of places (the unit, its sub-units and its member
// drive places), each with its type, status, progress and capacity, the
// unit's LUNs and its settings. Everything the firmware reports of units is
// generated from this model: the descriptor record lists (unit parameters
// 9, 10 and 11), the unit parameters, the unit-present map, and the holder
// of each drive (drive parameter 11). Commands that change units change the
// model only; a unit's running task (initialisation, verify, rebuild,
// migration) moves on with the machine's clock. Configurations that drives
// carry from an exported unit or another controller wait in the
// controller's foreign units for an import. Internal to the simulator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace sim {

using Attrs = std::map<std::string, std::string>;
struct Controller;
struct Machine;

// Firmware type codes of a place (byte 1 of its record).
enum : uint8_t {
    kUnitTypeRaid0 = 0,  // also the top of RAID 10 and RAID 50
    kUnitTypeRaid1 = 2,
    kUnitTypeRaid5 = 5,
    kUnitTypeRaid6 = 7,
    kUnitTypeSingle = 11,
    kUnitTypeDisk = 12,  // a member drive place, or a drive configured alone
    kUnitTypeSpare = 13,
    kUnitTypeJbod = 15,
    kUnitTypeMigrating = 0x20,
    kUnitTypeTask = 0x30,
};

// Firmware status codes (byte 5).
enum : uint8_t {
    kUnitInoperable = 0,
    kUnitMigrating = 175,
    kUnitRecovering = 191,
    kUnitRebuilding = 223,
    kUnitDegraded = 239,
    kUnitInitializing = 247,
    kUnitVerifying = 251,
    kUnitOk = 255,
};

constexpr size_t kUnitRecordSize = 20;
constexpr uint16_t kProgressWhole = 1024;  // progress counts in 1/1024

// One place of a unit's tree. A place without children is a drive place: a
// member of its parent, or the unit itself for single, disk, spare and JBOD
// units; port -1 is a member place without a drive.
struct UnitPlace {
    uint8_t type = kUnitTypeDisk;
    uint8_t stripe_code = 0;  // stripe = 1 << (code - 1) KiB
    uint8_t status = kUnitOk;
    uint8_t state_member = 0;  // the member the status concerns
    uint16_t progress = 0;     // of the running task; bit 15 the task flag
    int port = -1;
    uint64_t capacity = 0;  // sectors
    bool initialized = true;
    std::vector<UnitPlace> children;
    // RAID 6: its task records, which keep the state of a further member.
    std::vector<UnitPlace> tasks;
};

struct UnitLun {
    uint64_t sectors = 0;
    uint8_t attribute = 0;
    bool used = true;
};

// A unit: its number, its scenario attributes and its model.
struct SimUnit {
    int number = 0;
    Attrs attrs;
    UnitPlace root;
    std::vector<UnitLun> luns;
    uint64_t destination_capacity = 0;  // of a migrating unit's new layout
    uint8_t flags = 0;                  // bit 0 exposed to the host, bit 2 initialised
    uint8_t policy = 0x04;              // bit 0 read cache off, bit 2 write cache on
    uint8_t read_cache_mode = 0;        // bit 5 basic read cache
    uint8_t queuing = 1;
    bool attached = true;  // the host's SCSI layer sees its LUNs at start
};

// The unit flag byte (unit parameter 3) by default: bit 0 exposed to the
// host, bit 1 the unit in service (a rescan leaves it alone), bit 2
// initialised. A flags= attribute replaces it.
uint8_t default_unit_flags(const SimUnit& unit);

// A unit line of a second-series controller (scenario, control or state
// file): builds or rebuilds unit number, or with foreign=1 adds a
// configuration its drives carry for an import.
bool apply_unit_line(Controller& c, int number, Attrs& attrs, std::string* why);

// The tree of places a record list describes, from its first record; used
// the number of records it took. False with why for a list that is no tree
// of units (a task or volume record where a place belongs, a list that ends
// inside the tree, more than four levels).
bool parse_unit_records(const uint8_t* records, size_t count, UnitPlace* root, size_t* used,
                        std::string* why);

// Whether a foreign configuration names the port's drive.
bool carries_foreign_unit(const Controller& c, int port);

// --- The firmware's unit commands (unit_commands.cpp,
// unit_maintenance.cpp): create 0x74, unit change 0x6F, port scan 0x06,
// import 0x07, delete 0x15, remove drive 0x0A, verify 0x05, rebuild 0x09,
// background task 0x17, flush 0x0E. False for other opcodes; else code is 0
// or the firmware's error code.
bool series_unit_command(Machine& m, Controller& c, uint8_t* packet, const uint8_t* data,
                  uint32_t length, uint16_t* code);
// Moves every running task of the controller's units on by the time passed
// since the last call; tasks that end post their events.
void advance_units(Machine& m, Controller& c);

// --- The unit store in the state file (unit_state.cpp): the units, the
// foreign configurations and the drives' port states, rewritten whole.
void persist_units(Machine& m, Controller& c);
// After the state file is read: the store's lines stay in it, and the
// host's SCSI layer sees the units the store holds.
void restore_units(Machine& m, Controller& c);

// Builds (or rebuilds) unit number from its scenario attributes: type=,
// drives=, stripe=, status=, ... (sim/README.md). False with why when they
// make no unit: an unknown type, a drive that is not declared or already
// belongs to another unit, a member count the type cannot have.
bool configure_unit(Controller& c, SimUnit& unit, std::string* why);

// The unit's records in preorder, as unit parameter 11 returns them.
std::vector<uint8_t> unit_records(const SimUnit& unit);

// A unit parameter (table 0x300 + number) from the model; false for
// parameters the model does not hold.
bool unit_parameter(const SimUnit& unit, uint16_t id, uint8_t* out, size_t size);
// Sizes that depend on the unit: the record list and the LUN table.
long unit_parameter_size(const SimUnit& unit, uint16_t id, uint16_t record_count);

// The number of the unit whose tree holds the port, or -1.
int unit_holding(const Controller& c, int port);

// Whether the host's SCSI layer is told of the unit: every type but disks
// and spares.
bool unit_exposed(const SimUnit& unit);

}  // namespace sim
