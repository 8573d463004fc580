// The controller lock: one holder at a time, each take with its own time-out,
// after which the lock is free again. The drivers keep it for control codes
// 262 and 263; the family-10 firmware keeps it behind a settings parameter.
#include <cstdint>

#include "sim/machine.h"

namespace sim {

bool controller_lock_held(const Machine& m, const Controller& c) {
    return c.locked && m.now_us() < c.lock_expiry_us;
}

bool take_controller_lock(Machine& m, Controller& c, uint64_t timeout_us) {
    if (controller_lock_held(m, c)) return false;
    const uint64_t now = m.now_us();
    c.locked = true;
    ++c.lock_takes;
    c.lock_expiry_us = timeout_us > UINT64_MAX - now ? UINT64_MAX : now + timeout_us;
    return true;
}

bool release_controller_lock(Machine& m, Controller& c) {
    const bool held = controller_lock_held(m, c);
    c.locked = false;
    return held;
}

}  // namespace sim
