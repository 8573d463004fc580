// Tests of the public interface run on the library's own controllers, which
// discovery finds before main. PYV2_LIBRARY_MACHINE(scenario) chooses the
// simulated machine they find: it writes the scenario to a temporary file
// and names it in PYV2_SIM_SCENARIO from a static initialiser that runs
// ahead of the library's.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "api/ctl.h"
#include "sim/sim.h"

class LibraryMachine {
  public:
    explicit LibraryMachine(const char* scenario) {
        std::strcpy(path_, "/tmp/pyv2-api-machine-XXXXXX");
        const int fd = ::mkstemp(path_);
        if (fd < 0) std::abort();
        const size_t length = std::strlen(scenario);
        if (::write(fd, scenario, length) != ssize_t(length)) std::abort();
        ::close(fd);
        ::setenv("PYV2_SIM_SCENARIO", path_, 1);
    }
    ~LibraryMachine() { ::unlink(path_); }
    LibraryMachine(const LibraryMachine&) = delete;
    LibraryMachine& operator=(const LibraryMachine&) = delete;

  private:
    char path_[64];
};

#define PYV2_LIBRARY_MACHINE(scenario) \
    __attribute__((init_priority(101))) LibraryMachine library_machine_{scenario}

inline ObjectId controller(uint8_t index) {
    ObjectId id;
    ctl_make_controller_id(index, &id);
    return id;
}

// A drive identifier: kind 3, the controller, the port, 0xFF elsewhere.
inline ObjectId drive_on(uint8_t index, uint8_t port) {
    ObjectId id;
    std::memset(id.b, 0xFF, sizeof id.b);
    id.b[0] = kKindDrive;
    id.b[1] = index;
    id.b[2] = port;
    return id;
}

// Entries past an identifier list's count stay all 0xFF.
inline void expect_blank_tail(const IdList& list) {
    for (uint32_t i = list.count; i < 128; ++i)
        for (uint8_t b : list.ids[i].b) ASSERT_EQ(b, 0xFF) << "entry " << i;
}

inline ErrorRecord last_error() {
    ErrorRecord record;
    std::memset(&record, 0, sizeof record);
    ctl_get_last_error(&record);
    return record;
}

// Records a failure that no routing outcome produces, so a test can tell
// whether a call left the record alone.
inline ErrorRecord seed_last_error() {
    clear_last_error();
    set_last_error(kErrApi, 93, 0, 0, 0, nullptr, nullptr);
    return last_error();
}

inline bool same_record(const ErrorRecord& a, const ErrorRecord& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

inline void change_machine(const std::string& lines) {
    std::string error;
    ASSERT_TRUE(sim::apply(lines, &error)) << error;
}

inline size_t driver_requests() { return sim::journal().size(); }

// Replaces the simulated machine by the scenario's, with the device nodes
// the library made when it started (the library finds its controllers only
// then).
inline void reload_scenario(const std::string& scenario) {
    std::string nodes;
    for (const char* prefix : {"kqe", "kqa", "kqn", "kql"}) {
        for (int index = 0; index < 255; ++index) {
            const std::string path = "/dev/" + std::string(prefix) + std::to_string(index);
            const sim::NodeInfo node = sim::node_info(path);
            if (!node.exists || !node.char_device) continue;
            nodes += "devnode path=" + path + " kind=char major=" + std::to_string(node.major) +
                     " minor=" + std::to_string(node.minor) + " mode=" +
                     std::to_string(node.mode) + "\n";
        }
    }
    std::string error;
    ASSERT_TRUE(sim::load_scenario(scenario, &error)) << error;
    change_machine(nodes);
}

// The folder of the tests' message files.
inline std::string message_dir() {
    const char* dir = std::getenv("PYV2_TEST_DATA");
    return dir != nullptr ? dir : "";
}
