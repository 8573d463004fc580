// The words and names that the command log writes for values of the
// operations it records.
#pragma once

#include <cstddef>
#include <cstdint>

#include "api/ctl_types.h"

namespace command_log_text {

// "Success" for a result of 0, else "Failed".
const char* outcome(int result);
// "yes" for non-zero, else "no".
const char* yes_no(int value);

// Self-test flags: "DISABLED", "DMA", "SMART", "DMA|SMART" or "UNKNOWN".
const char* selftest_flags(uint16_t flags);
// Auto-rebuild policy: "OFF", "ALL", or the names of its bits ("CBOD",
// "JBOD", "FAILED DISK") joined by ", ", "UNKNOWN" when it has none of them,
// "illegal" for a value beyond a byte. Cut to fit size (at least 1).
void auto_rebuild_policy(int policy, char* text, size_t size);
// Protection mode: "protect", "balance", "perform" or "illegal".
const char* protection_mode(int mode);
// Recovery policy: "Disable", "Rebuild", "All" or "illegal".
const char* recovery_policy(int policy);

// A schedule start in minutes of the week: false for a start that names no
// quarter hour of the week (below 0 or above Saturday 23:45, 0xFFFF of a
// cleared slot included), else the day's name ("Sun." to "Sat.") and the
// hour.
bool schedule_start(int start, const char** day, int* hour);

// The controller, unit, drive or port number of an identifier, 255 when the
// identifier is not of the kind the number belongs to. Nothing is recorded
// in the last-error record.
uint8_t controller_number(ObjectId controller);
uint8_t unit_controller(ObjectId unit);
uint8_t unit_number(ObjectId unit);
uint8_t drive_controller(ObjectId drive);
uint8_t port_number(ObjectId drive);
uint8_t phy_number(ObjectId phy);

// Sets every byte of an identifier the library is to return to 0xFF, so a
// call that returns none leaves none to be named; a null pointer is left
// alone.
void clear_id(ObjectId* id);
// The identifier returned, all 0xFF for a null pointer.
ObjectId returned_id(const ObjectId* id);

}  // namespace command_log_text
