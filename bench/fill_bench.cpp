// What the snapshot fills cost on the simulated machine (the default one,
// or the scenario PYV2_SIM_SCENARIO names): the median wall time of many
// fills in this process, and the driver requests each fill sends. Run by
// hand:
//
//   build/bench/fill_bench [fills per kind, default 500]
//
// The simulator's share of the time: run a few hundred fills under
// callgrind and compare the inclusive cost of the platform:: functions (the
// seam to the simulated drivers) with the total (see README.md).
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "daemon/config_store.h"
#include "daemon/daemon_context.h"
#include "driver/message_catalogue.h"
#include "sim/sim.h"

namespace {

struct Machine {
    ControllerIdList list;
    ControllerRecord* records = nullptr;
};

// What a page handler fills, one kind at a time, into records it allocates
// and releases.
void fill_controllers(DaemonContext* context, Machine* m) {
    list_controllers(&m->list);
    m->records = new ControllerRecord[m->list.count];
    context->fill_controllers(m->list, m->records);
}

void fill_units(DaemonContext* context, Machine* m) {
    for (uint32_t i = 0; i < m->list.count; i++) {
        ControllerRecord* c = &m->records[i];
        const uint32_t n = c->units.count;
        delete[] c->unit_records;
        delete[] c->unit_drive_lists;
        delete[] c->unit_cache_records;
        c->unit_records = new UnitRecord[n];
        c->unit_drive_lists = new IdList[n];
        c->unit_cache_records = new UnitCacheRecord[n];
        context->fill_units(c->units, c->unit_records, c, 1);
        context->fill_unit_drive_lists(c->units, c->unit_drive_lists);
        context->count_drives_in_units(c);
        context->count_active_units(c);
        context->fill_unit_cache_settings(c->units, c->unit_cache_records);
    }
}

void fill_drives(DaemonContext* context, Machine* m) {
    for (uint32_t i = 0; i < m->list.count; i++) {
        ControllerRecord* c = &m->records[i];
        delete[] c->drive_records;
        c->drive_records = new DriveRecord[c->ports.count];
        context->fill_drives(c->ports, c->drive_records, c, 1);
    }
}

void fill_phys(DaemonContext* context, Machine* m) {
    for (uint32_t i = 0; i < m->list.count; i++) {
        ControllerRecord* c = &m->records[i];
        delete[] c->phy_records;
        c->phy_records = new PhyRecord[c->phys.count];
        context->fill_phys(c->phys, c->phy_records, -1);
    }
}

void fill_batteries(DaemonContext* context, Machine* m) {
    for (uint32_t i = 0; i < m->list.count; i++) {
        ControllerRecord* c = &m->records[i];
        delete c->battery;
        c->battery = new BatteryRecord;
        context->fill_battery(m->list.ids[i], c->battery);
    }
}

void fill_everything(DaemonContext* context, Machine* m) {
    fill_controllers(context, m);
    fill_units(context, m);
    fill_drives(context, m);
    fill_phys(context, m);
    fill_batteries(context, m);
}

using Fill = void (*)(DaemonContext*, Machine*);

struct Kind {
    const char* name;
    Fill fill;
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 500;
    if (rounds < 1) return 2;
    char dir[] = "/tmp/pyv2-fill-bench-XXXXXX";
    if (mkdtemp(dir) == nullptr) return 2;
    const std::string config_path = std::string(dir) + "/pyv2.conf";
    ConfigStore config(config_path.c_str());
    MessageCatalogue catalogue;
    DaemonContext context(&config, &catalogue);

    const Kind kinds[] = {
        {"controllers", fill_controllers}, {"units", fill_units},
        {"drives", fill_drives},           {"phys", fill_phys},
        {"battery", fill_batteries},       {"everything", fill_everything},
    };
    std::printf("%-12s %12s %10s %10s\n", "fill", "median us", "min us", "requests");
    for (const Kind& kind : kinds) {
        std::vector<double> times;
        uint64_t requests = 0;
        for (int r = 0; r < rounds; r++) {
            Machine m;
            if (kind.fill != fill_controllers && kind.fill != fill_everything)
                fill_controllers(&context, &m);
            sim::clear_journal();
            sim::reset_request_counts();
            const auto start = std::chrono::steady_clock::now();
            kind.fill(&context, &m);
            const auto end = std::chrono::steady_clock::now();
            if (r == 0) requests = sim::request_counts().requests;
            times.push_back(std::chrono::duration<double, std::micro>(end - start).count());
            delete[] m.records;
        }
        std::printf("%-12s %12.1f %10.1f %10llu\n", kind.name, median(times),
                    *std::min_element(times.begin(), times.end()), (unsigned long long)requests);
    }
    sim::clear_journal();
    std::remove(config_path.c_str());
    rmdir(dir);
    return 0;
}
