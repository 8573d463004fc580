// What building each information page and the menu costs the daemon: the
// handler as the dispatcher calls it (controller list, snapshot fills, page
// writing) on the simulated machine (the default one, or the scenario
// PYV2_SIM_SCENARIO names). Prints the median and fastest CPU time of a
// build, the page's size and the driver requests one build sends. Run by
// hand (bench/info_pages.sh also splits off the simulator's share):
//
//   build/bench/info_pages_bench [builds per page, default 200] [page]
//
// The controller shown is the one with the most ports, its first unit the
// one whose tree is drawn.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "daemon/config_store.h"
#include "daemon/daemon_context.h"
#include "daemon/dispatcher.h"
#include "daemon/http_codes.h"
#include "driver/message_catalogue.h"
#include "sim/sim.h"
#include "web/actions/controller_selection.h"
#include "web/actions/info_handlers.h"
#include "web/pages/page_builder.h"

namespace {

struct Case {
    const char* name;
    PageHandler handler;  // null: the menu, through the dispatcher
    std::string url;
};

double cpu_microseconds() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e6 + t.tv_nsec / 1e3;
}

// One build of a page into a fresh page builder, as a request gets it;
// returns the page's size. Not inlined, so that a profiler can count it.
__attribute__((noinline)) int build_page(DaemonContext* context, ConfigStore* config,
                                         MessageCatalogue* catalogue, const Case& c) {
    PageBuilder page(config, catalogue);
    page.set_access_level(kAccessAdmin);
    if (c.handler == nullptr)
        context->dispatch(&page, c.url.c_str(), "127.0.0.1", "127.0.0.1", "", "", nullptr);
    else
        c.handler(context, &page,
                  PageRequest{c.url.c_str(), "127.0.0.1", "127.0.0.1", "", nullptr, kAccessAdmin});
    return page.get_body_length();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The position of the controller with the most ports, and its first unit.
void choose_controller(DaemonContext* context, int* position, int* unit) {
    ControllerSelection controllers;
    ControllerRecord* records = controllers.fill(context);
    *position = 0;
    *unit = 0;
    for (int i = 0; i < controllers.count(); ++i)
        if (list_count(records[i].ports) > list_count(records[*position].ports)) *position = i;
    if (records != nullptr && list_count(records[*position].units) > 0) {
        uint8_t controller, path3, number, path1, path2;
        if (ctl_parse_unit_id(records[*position].units.ids[0], &controller, &path3, &number, &path1,
                              &path2) == 0)
            *unit = number;
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int builds = argc > 1 ? std::atoi(argv[1]) : 200;
    const char* only = argc > 2 ? argv[2] : nullptr;
    if (builds < 1) return 2;
    char dir[] = "/tmp/pyv2-pages-bench-XXXXXX";
    if (mkdtemp(dir) == nullptr) return 2;
    const std::string config_path = std::string(dir) + "/pyv2.conf";
    ConfigStore config(config_path.c_str());
    MessageCatalogue catalogue;
    config.set_catalogue(&catalogue);
    DaemonContext context(&config, &catalogue);

    int c = 0, u = 0;
    choose_controller(&context, &c, &u);
    const std::string on = "?c=" + std::to_string(c);
    const Case cases[] = {
        {"summary", handle_page0, "/page0.html" + on},
        {"controller", handle_page1_0, "/page1_0.html" + on},
        {"units", handle_page1_1, "/page1_1.html" + on + "&u=-2"},
        {"unit tree", handle_page1_1, "/page1_1.html" + on + "&u=" + std::to_string(u)},
        {"drives", handle_page1_2, "/page1_2.html" + on},
        {"phys", handle_page1_0_1, "/page1_0_1.html" + on},
        {"menu", nullptr, "/menu.html"},
    };
    std::printf("controller at position %d, unit %d\n", c, u);
    std::printf("%-11s %11s %9s %9s %9s\n", "page", "median us", "min us", "bytes", "requests");
    for (const Case& k : cases) {
        if (only != nullptr && std::strcmp(only, k.name) != 0) continue;
        std::vector<double> times;
        int bytes = 0;
        size_t requests = 0;
        for (int r = 0; r < builds; ++r) {
            sim::clear_journal();
            const double start = cpu_microseconds();
            bytes = build_page(&context, &config, &catalogue, k);
            times.push_back(cpu_microseconds() - start);
            if (r == 0) requests = sim::journal().size();
        }
        // The simulator keeps the last 4096 requests.
        std::printf("%-11s %11.1f %9.1f %9d %8zu%s\n", k.name, median(times),
                    *std::min_element(times.begin(), times.end()), bytes, requests,
                    requests >= 4096 ? "+" : "");
    }
    sim::clear_journal();
    std::remove(config_path.c_str());
    rmdir(dir);
    return 0;
}
