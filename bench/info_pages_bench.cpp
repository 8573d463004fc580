// What answering each content page and the menu costs the daemon: the
// handler the dispatcher routes the page's URL to (controller list,
// snapshot fills, actions, page writing) on the simulated machine (the
// default one, or the scenario PYV2_SIM_SCENARIO names). Prints the median
// and fastest CPU time of a build, the page's size and the driver requests
// one build sends. Run by hand (bench/info_pages.sh also splits off the
// simulator's share):
//
//   build/bench/info_pages_bench [builds per page, default 200] [page]
//
// With --wall it prints instead, for each page, the driver requests one
// build sends and how many of them are distinct, and the median wall time
// of a build when the firmware answers each request at once, after 0.1 ms
// and after 1 ms (the simulator's latency), and what it comes to at 0.5 ms
// (the time at none plus 0.5 ms per request). The builds at 0.1 and 1 ms
// are as many as wait about a second, at least one (bench/page_latency.sh
// runs it on the default and on a large machine):
//
//   build/bench/info_pages_bench --wall [builds per page at 0 ms, default 20] [page]
//
// PYV2_NO_READ_REUSE=1 in the environment turns off the reuse of read
// answers within a page build, so that every request goes to the firmware
// as it did before page builds reused them (the figures to compare with).
//
// The pages are the lines of test_support::kContentPages. The controller shown is the one of the
// latest generation with the most ports; its first unit is the one whose
// tree is drawn and its first drive the one whose SMART data is shown. A
// page whose URL this build routes to no handler is named at the end as not
// built. The unit creation makes a single disk of a free drive (freeing the
// controller's last unit first when no drive is free) and deletes it again
// after each build, outside the time measured and at no latency, and the
// machine is loaded anew after it; its command-log lines go to a directory
// of its own (a private mount over /var/log, for root), or, where that
// cannot be had, the command log is off.
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "api/ctl.h"
#include "daemon/config_store.h"
#include "daemon/daemon_context.h"
#include "daemon/dispatcher.h"
#include "daemon/http_codes.h"
#include "driver/driver_layer.h"
#include "driver/message_catalogue.h"
#include "driver/read_reuse.h"
#include "sim/sim.h"
#include "tests/support/content_pages.h"
#include "web/actions/controller_selection.h"
#include "web/pages/page_builder.h"

namespace {

// The controller shown and the objects on it that the URLs name.
struct Shown {
    int position = 0;
    ObjectId controller{};
    int unit = 0;
    int port = 0;
    int free_port = -1;  // found for the unit creation
};

double cpu_microseconds() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e6 + t.tv_nsec / 1e3;
}

// One answer to the URL into a fresh page builder, as a request gets it:
// through the page's handler, or, for the pages served without one (the
// menu), through the dispatcher. Returns the page's size. Not inlined, so
// that a profiler can count it.
__attribute__((noinline)) int build_page(DaemonContext* context, ConfigStore* config,
                                         MessageCatalogue* catalogue, PageHandler handler,
                                         const std::string& url) {
    PageBuilder page(config, catalogue);
    page.set_access_level(kAccessAdmin);
    if (handler == nullptr)
        context->dispatch(&page, url.c_str(), "127.0.0.1", "127.0.0.1", "", "", nullptr);
    else
        handler(context, &page,
                PageRequest{url.c_str(), "127.0.0.1", "127.0.0.1", "", nullptr, kAccessAdmin});
    return page.get_body_length();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

uint32_t entries(uint32_t count) { return count < 128 ? count : 128; }

// The number of the top-level unit that holds the drive on port; -1 when
// the drive is free (or cannot be read).
int holding_unit(ObjectId controller, int port) {
    ObjectId drive = controller;
    std::memset(drive.b + 2, 0xFF, 6);
    drive.b[0] = kKindDrive;
    drive.b[2] = uint8_t(port);
    ObjectId unit;
    if (ctl_get_drive_unit(drive, &unit) != 0 || unit.b[4] == 0xFF) return -1;
    return unit.b[4];
}

int delete_unit(ObjectId controller, int number) {
    ObjectId unit;
    if (ctl_make_unit_id(controller.b[1], 0xFF, uint8_t(number), 0xFF, 0xFF, &unit) != 0) return -1;
    return ctl_delete_unit(unit, 1);
}

// The first drive that no unit holds; -1 when there is none.
int find_free_drive(ObjectId controller) {
    IdList drives;
    if (ctl_get_drive_list(controller, &drives) != 0) return -1;
    for (uint32_t i = 0; i < entries(drives.count); ++i)
        if (holding_unit(controller, drives.ids[i].b[2]) < 0) return drives.ids[i].b[2];
    return -1;
}

// The controller of the latest generation with the most ports, its first
// unit and its first drive.
Shown choose_controller(DaemonContext* context) {
    Shown shown;
    ControllerSelection controllers;
    ControllerRecord* records = controllers.fill(context);
    if (records == nullptr) return shown;
    for (int i = 0; i < controllers.count(); ++i) {
        const ControllerRecord& r = records[i];
        const ControllerRecord& best = records[shown.position];
        if (r.family > best.family ||
            (r.family == best.family && list_count(r.ports) > list_count(best.ports)))
            shown.position = i;
    }
    shown.controller = controllers.list()->ids[shown.position];
    const ControllerRecord& r = records[shown.position];
    if (list_count(r.units) > 0) shown.unit = r.units.ids[0].b[4];
    IdList drives;
    if (ctl_get_drive_list(shown.controller, &drives) == 0 && drives.count > 0)
        shown.port = drives.ids[0].b[2];
    return shown;
}

// A free drive of the controller, its last unit deleted to free one when
// it has none; -1 when that fails.
int free_a_drive(ObjectId controller) {
    const int port = find_free_drive(controller);
    IdList units;
    if (port >= 0 || ctl_get_unit_list(controller, &units) != 0 || units.count == 0 ||
        delete_unit(controller, units.ids[entries(units.count) - 1].b[4]) != 0)
        return port;
    return find_free_drive(controller);
}

// The machine as it started, found anew by the library, after a page that
// changed it.
void restore_machine() {
    std::string error;
    const char* file = std::getenv("PYV2_SIM_SCENARIO");
    const bool loaded = file != nullptr && *file != '\0'
                            ? sim::load_scenario_file(file, &error)
                            : sim::load_scenario(sim::default_scenario(), &error);
    if (!loaded) std::fprintf(stderr, "simulated machine: %s\n", error.c_str());
    library_driver_layer().rediscover();
}

std::string url_of(const char* pattern, const Shown& shown) {
    return test_support::page_url(pattern, shown.position, shown.unit, shown.port, shown.free_port);
}

// The command log's lines go to dir in a mount namespace of this process;
// false when that cannot be had.
bool private_log_dir(const char* dir) {
    return unshare(CLONE_NEWNS) == 0 &&
           mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           mount(dir, "/var/log", nullptr, MS_BIND, nullptr) == 0;
}

// A page as the bench builds it.
struct Page {
    DaemonContext* context;
    ConfigStore* config;
    MessageCatalogue* catalogue;
    PageHandler handler;  // null: through the dispatcher
    bool creates;         // the unit creation: the unit made goes after each build
    ObjectId controller;
    int free_port;
    std::string url;
};

// What the builds of a page measured: the time of each (CPU or wall, in
// microseconds), the page's size, and the driver requests of the first.
struct Measured {
    std::vector<double> times;
    int bytes = 0;
    sim::RequestCounts counts;
};

// The firmware latencies measured besides none, in microseconds.
constexpr uint64_t kTenthMs = 100, kOneMs = 1000;

// The firmware's time to answer each driver request from now on.
void set_latency(uint64_t microseconds) {
    std::string error;
    if (!sim::apply("latency request-us=" + std::to_string(microseconds) + "\n", &error))
        std::fprintf(stderr, "simulated machine: %s\n", error.c_str());
}

// The builds at a latency: as many as wait out about a second of it, at
// least one and at most the builds asked for.
int builds_at(uint64_t latency_us, uint64_t requests, int builds) {
    const uint64_t waited = std::max<uint64_t>(1, requests * latency_us);
    return int(std::clamp<uint64_t>(1000000 / waited, 1, uint64_t(builds)));
}

double wall_microseconds() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e6 + t.tv_nsec / 1e3;
}

// Builds the page that many times with the firmware answering each request
// after latency_us (only the builds: what a page needs around them is
// answered at once), timing the builds in CPU or in wall time. False when
// a build or what it needs around it failed.
bool measure(const Page& page, int builds, uint64_t latency_us, bool wall, Measured* out) {
    *out = Measured{};
    if (page.creates && page.free_port < 0) return false;
    for (int r = 0; r < builds; ++r) {
        sim::clear_journal();
        sim::reset_request_counts();
        set_latency(latency_us);
        const double start = wall ? wall_microseconds() : cpu_microseconds();
        out->bytes = build_page(page.context, page.config, page.catalogue, page.handler, page.url);
        out->times.push_back((wall ? wall_microseconds() : cpu_microseconds()) - start);
        set_latency(0);
        if (r == 0) out->counts = sim::request_counts();
        // The unit made goes again, so that the next build finds the drive
        // free.
        const int unit = page.creates ? holding_unit(page.controller, page.free_port) : 0;
        if (unit < 0 || (page.creates && delete_unit(page.controller, unit) != 0)) return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const bool wall = argc > 1 && std::strcmp(argv[1], "--wall") == 0;
    if (wall) {
        --argc;
        ++argv;
    }
    const int builds = argc > 1 ? std::atoi(argv[1]) : wall ? 20 : 200;
    const char* only = argc > 2 ? argv[2] : nullptr;
    if (builds < 1) return 2;
    const char* no_reuse = std::getenv("PYV2_NO_READ_REUSE");
    if (no_reuse != nullptr && std::strcmp(no_reuse, "1") == 0) ReadReuse::set_enabled(false);
    char dir[] = "/tmp/pyv2-pages-bench-XXXXXX";
    if (mkdtemp(dir) == nullptr) return 2;
    const std::string config_path = std::string(dir) + "/pyv2.conf";
    ConfigStore config(config_path.c_str());
    MessageCatalogue catalogue;
    config.set_catalogue(&catalogue);
    const bool logged = private_log_dir(dir);
    if (!logged && config.set_command_log(0) != 0) {
        std::fprintf(stderr, "cannot turn the command log off: %s not written\n", config_path.c_str());
        return 1;
    }
    DaemonContext context(&config, &catalogue);

    Shown shown = choose_controller(&context);
    std::printf("controller at position %d, unit %d, drive %d%s%s\n", shown.position, shown.unit,
                shown.port, logged ? "" : ", command log off",
                ReadReuse::enabled() ? "" : ", read reuse off");
    if (wall)
        std::printf("%-13s %9s %9s %10s %10s %10s %10s\n", "page", "requests", "distinct", "0 ms",
                    "0.1 ms", "1 ms", "0.5 ms");
    else
        std::printf("%-13s %11s %9s %9s %9s\n", "page", "median us", "min us", "bytes", "requests");
    std::string not_built;
    for (const test_support::ContentPage& k : test_support::kContentPages) {
        if (only != nullptr && std::strcmp(only, k.name) != 0) continue;
        const PageRoute* route = find_page_route(url_of(k.url, shown).c_str());
        if (route != nullptr && route->handler == nullptr) {
            not_built += std::string(not_built.empty() ? "" : ", ") + k.name;
            continue;
        }
        Page page{&context,
                  &config,
                  &catalogue,
                  route != nullptr ? route->handler : nullptr,
                  test_support::takes_free_drive(k),
                  shown.controller,
                  -1,
                  ""};
        if (page.creates) page.free_port = shown.free_port = free_a_drive(shown.controller);
        page.url = url_of(k.url, shown);
        Measured at_zero, at_tenth, at_one;
        bool built = measure(page, builds, 0, wall, &at_zero);
        if (wall && built) {
            const uint64_t requests = at_zero.counts.requests;
            built =
                measure(page, builds_at(kTenthMs, requests, builds), kTenthMs, true, &at_tenth) &&
                measure(page, builds_at(kOneMs, requests, builds), kOneMs, true, &at_one);
        }
        if (page.creates) restore_machine();
        if (!built) {
            std::printf("%-13s %s\n", k.name, page.creates ? "no unit created" : "no build");
            continue;
        }
        if (!wall) {
            std::printf("%-13s %11.1f %9.1f %9d %9llu\n", k.name, median(at_zero.times),
                        *std::min_element(at_zero.times.begin(), at_zero.times.end()),
                        at_zero.bytes, (unsigned long long)at_zero.counts.requests);
            continue;
        }
        // At 0.5 ms: the time at none plus the latency once per request,
        // the sum the measured latencies come close to (beyond it: the
        // host's own delay in waking a waiting thread).
        const uint64_t requests = at_zero.counts.requests;
        const double zero = median(at_zero.times);
        std::printf("%-13s %9llu %9llu %10.1f %10.1f %10.1f %10.1f\n", k.name,
                    (unsigned long long)requests, (unsigned long long)at_zero.counts.distinct,
                    zero / 1000, median(at_tenth.times) / 1000, median(at_one.times) / 1000,
                    (zero + 500.0 * double(requests)) / 1000);
    }
    if (!not_built.empty()) std::printf("# not in this build: %s\n", not_built.c_str());
    sim::clear_journal();
    std::remove(config_path.c_str());
    std::remove((std::string(dir) + "/kq_mgmt.log").c_str());
    rmdir(dir);
    return 0;
}
