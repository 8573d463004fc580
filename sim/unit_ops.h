// What the firmware's unit command files share: their error codes and
// event codes, and small operations on the unit store. Internal to the
// simulator.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/machine.h"
#include "sim/units.h"

namespace sim::unit_ops {

// Firmware error codes of the unit commands.
constexpr uint16_t kLengthMismatch = 0x0103;
constexpr uint16_t kNoSuchUnit = 0x010A;
constexpr uint16_t kInvalidField = 0x010D;
constexpr uint16_t kPortRefused = 0x010E;
constexpr uint16_t kNotDegraded = 0x0121;
constexpr uint16_t kReplaceRefused = 0x0123;
constexpr uint16_t kTooSmall = 0x0124;
constexpr uint16_t kSplitRefused = 0x012A;

// Events the unit store posts, and their severities.
constexpr uint16_t kEventDegraded = 0x0002, kEventRebuildDone = 0x0005,
                   kEventInitDone = 0x0007, kEventRebuildStarted = 0x000B,
                   kEventInitStarted = 0x000C, kEventUnitDeleted = 0x000D,
                   kEventDriveRemoved = 0x0019, kEventDriveInserted = 0x001A,
                   kEventInoperable = 0x001E, kEventVerifyStarted = 0x0029,
                   kEventVerifyDone = 0x002B, kEventMigrationStarted = 0x0033,
                   kEventMigrationDone = 0x0035;
constexpr uint8_t kError = 1, kWarning = 2, kInformation = 3;

constexpr uint16_t kTaskActive = 0x8000;  // bit 15 of a record's progress word
constexpr int kMapUnits = 32;             // numbers the unit map shows
constexpr uint8_t kRemovedDrive = 2;      // port status of a drive taken out

// unit_maintenance.cpp: remove drive 0x0A, verify 0x05, rebuild 0x09,
// background task 0x17 and flush 0x0E; handled false for other opcodes.
uint16_t maintenance_command(Machine& m, Controller& c, const uint8_t* packet, bool* handled);

void unit_event(Machine& m, Controller& c, uint16_t code, uint8_t severity, int unit);
void port_event(Machine& m, Controller& c, uint16_t code, uint8_t severity, int port);

// The lowest unit number the map shows that no unit has, or the preferred
// one when it is free; -1 when none is.
int free_unit_number(const Controller& c, int preferred = -1);
// Values written to a unit's table (SET PARAMETER) belong to the unit that
// had the number: they go with it, into its model where the model keeps
// them (policy, queuing, read cache).
void forget_unit_settings(Machine& m, Controller& c, int number, SimUnit* keep_in);

// RAID 10 and RAID 50: RAID 0 over sub-units.
bool is_nested(const UnitPlace& place);
// The places whose status a unit's tasks change: the sub-units of a nested
// unit, else the unit itself.
std::vector<UnitPlace*> task_places(UnitPlace& root);
bool is_running(uint8_t status);
// The unit's flag byte after a change, unless the scenario fixed it.
void refresh_flags(SimUnit& unit);
// A drive's port-status byte.
void set_port_status(Controller& c, int port, uint8_t status);

}  // namespace sim::unit_ops
