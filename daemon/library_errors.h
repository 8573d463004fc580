// What the daemon asks of the library's last-error record beyond its text.
// The record keeps the last failure that recorded a reason, and some reads
// fail without recording one (a controller whose family is not known), so a
// caller that wants the reason of one read forgets the old one first.
#pragma once

#include <cstdint>

// Empties this thread's last-error record.
void forget_library_error();
// The library error (category 11) code of the record's leading part, or 0
// when the record holds no failure or leads with another part (controller,
// driver or operating system).
int32_t library_api_error();
