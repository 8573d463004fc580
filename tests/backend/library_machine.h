// Back-end tests run the library's own driver layer on a simulated machine:
// each test loads its machine and has the library discover it again.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "driver/driver_layer.h"
#include "tests/driver/sim_machine.h"
#include "tests/support/journal.h"

inline void use_machine(const std::string& scenario) {
    load_machine(scenario);
    library_driver_layer().rediscover();
    sim::clear_journal();
    clear_last_error();
}

inline ObjectId controller_id(uint8_t index) {
    return ObjectId{{1, index, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
}

inline ObjectId drive_id(uint8_t index, uint8_t port) {
    return ObjectId{{3, index, port, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
}

inline ObjectId unit_id(uint8_t index, uint8_t unit) {
    return ObjectId{{2, index, 0xFF, 1, unit, 0xFF, 0xFF, 0xFF}};
}
