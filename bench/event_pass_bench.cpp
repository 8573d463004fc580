// What one monitor pass that stores 100 new events costs: the events are
// queued on the simulated second-series controller of the default machine
// (index 2), then the pass reads each one and puts it at the head of the
// controller's binary and text event files, as the monitor thread does.
// The files are kept in a directory on the disk (fsync costs what the disk
// makes it cost there); warm-up passes first fill them to what they hold
// for good (the newest event and 1000 older ones), so every timed pass
// rewrites files of the same size. Run by hand:
//
//   build/bench/event_pass_bench [timed passes, default 21] [event directory]
//
// The directory (default: a new one under /var/tmp, removed at the end)
// must be on the disk to be measured, not on a tmpfs.
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "api/ctl.h"
#include "daemon/config_store.h"
#include "daemon/event_log.h"
#include "daemon/monitor.h"
#include "driver/message_catalogue.h"
#include "sim/sim.h"

namespace {

constexpr int kEventsPerPass = 100;
constexpr int kWarmupPasses = 11;  // 1100 events: the files are full
constexpr uint8_t kController = 2;

int lines_in(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "r");
    if (f == nullptr) return 0;
    int n = 0;
    for (int c; (c = std::fgetc(f)) != EOF;) n += c == '\n';
    std::fclose(f);
    return n;
}

void remove_dir(const std::string& dir) {
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) return;
    while (dirent* e = readdir(d))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            unlink((dir + "/" + e->d_name).c_str());
    closedir(d);
    rmdir(dir.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    const int passes = argc > 1 ? std::atoi(argv[1]) : 21;
    std::string dir;
    bool own_dir = false;
    if (argc > 2) {
        dir = argv[2];
    } else {
        char name[] = "/var/tmp/pyv2-event-bench.XXXXXX";
        if (mkdtemp(name) == nullptr) {
            std::perror("mkdtemp");
            return 1;
        }
        dir = name;
        own_dir = true;
    }
    const std::string config_path = dir + "/pyv2.conf";
    ConfigStore config(config_path.c_str());
    MessageCatalogue catalogue;

    MonitorState* state = new MonitorState;
    std::memset(state, 0, sizeof *state);
    state->config = &config;
    state->event_dir = dir.c_str();
    state->catalogue = &catalogue;
    if (ctl_list_controllers(&state->controllers) != 0 || state->controllers.count == 0) {
        std::fprintf(stderr, "no controllers\n");
        return 1;
    }
    for (uint32_t& flag : state->first_read) flag = 1;
    char serial[32] = "";
    ObjectId id;
    ctl_make_controller_id(kController, &id);
    if (ctl_get_serial_number(id, serial) != 0) {
        std::fprintf(stderr, "no controller %d\n", kController);
        return 1;
    }
    StringBuilder text_path;
    event_file_path(dir.c_str(), serial, ".txt", text_path);

    // The events the machine holds from the start.
    poll_aens(*state, nullptr);
    long long when = 1800000000;
    std::vector<double> ms;
    for (int pass = 0; pass < kWarmupPasses + passes; ++pass) {
        std::string lines;
        for (int i = 0; i < kEventsPerPass; ++i)
            lines += "event index=2 code=0x0019 severity=2 text=\"port=" + std::to_string(i % 8) +
                     " pass=" + std::to_string(pass) + "\" time=" + std::to_string(++when) + "\n";
        std::string error;
        if (!sim::apply(lines, &error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        const int before = lines_in(text_path.c_str());
        const auto start = std::chrono::steady_clock::now();
        poll_aens(*state, nullptr);
        const auto end = std::chrono::steady_clock::now();
        const int after = lines_in(text_path.c_str());
        if (after - before != kEventsPerPass && after < 1000) {
            std::fprintf(stderr, "pass %d stored %d events, not %d\n", pass, after - before,
                         kEventsPerPass);
            return 1;
        }
        if (pass >= kWarmupPasses)
            ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    delete state;
    std::sort(ms.begin(), ms.end());
    std::printf("monitor pass of %d events (%s, files of %d lines): median %.2f ms, fastest %.2f ms, "
                "slowest %.2f ms over %d passes\n",
                kEventsPerPass, dir.c_str(), lines_in(text_path.c_str()), ms[ms.size() / 2],
                ms.front(), ms.back(), passes);
    if (own_dir) remove_dir(dir);
    return 0;
}
