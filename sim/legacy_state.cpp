// The first-series firmware's store in the state file: per controller one
// "legacy-store" line (its drives and controller option), then one
// "legacy-unit" line per unit and per configuration left on drives. The
// firmware rewrites them after every change; a restarted process reads
// them back after its scenario and finds the controller as it was left.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sim/machine.h"

namespace sim {

using namespace legacy;

namespace {

const char* const kTaskNames[] = {"none", "verify", "initialize"};

bool bytes_of(const std::string& text, size_t most, std::vector<uint8_t>* out) {
    if (text.size() % 2 != 0 || text.size() / 2 > most) return false;
    out->clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        const char pair[3] = {text[i], text[i + 1], 0};
        char* end = nullptr;
        const long v = std::strtol(pair, &end, 16);
        if (*end != '\0') return false;
        out->push_back(uint8_t(v));
    }
    return true;
}

bool number_in(const Attrs& a, const char* key, long low, long high, long* out) {
    auto it = a.find(key);
    if (it == a.end() || it->second.empty()) return false;
    char* end = nullptr;
    *out = std::strtol(it->second.c_str(), &end, 0);
    return *end == '\0' && *out >= low && *out <= high;
}

std::string unit_line(const Controller& c, int number, bool foreign, const LegacyUnit& u) {
    char tail[200];
    std::snprintf(tail, sizeof tail,
                  " failed=%u replaced=%u rebuilding=%u task=%s verify-pending=%d progress=%u "
                  "exposed=%d write-cache=%u",
                  unsigned(u.failed), unsigned(u.replaced), unsigned(u.rebuilding),
                  kTaskNames[int(u.task)], u.verify_pending ? 1 : 0, unsigned(u.progress),
                  u.exposed ? 1 : 0, unsigned(u.write_cache));
    return "legacy-unit index=" + std::to_string(c.index) + " number=" + std::to_string(number) +
           " foreign=" + (foreign ? "1" : "0") +
           " descriptor=" + hex_digits(u.descriptor.data(), u.descriptor.size()) + tail;
}

std::vector<std::string> state_lines(const Controller& c) {
    const LegacyStore& s = c.legacy;
    std::vector<std::string> lines;
    lines.push_back("legacy-store index=" + std::to_string(c.index) +
                    " drives=" + hex_digits(s.drive_state, sizeof s.drive_state) +
                    " option-4=" + (s.option_4 ? "1" : "0"));
    for (const auto& entry : s.units)
        lines.push_back(unit_line(c, entry.first, false, entry.second));
    for (const ForeignUnit& f : s.foreign) lines.push_back(unit_line(c, f.number, true, f.unit));
    return lines;
}

bool is_line_of(const std::string& line, const Controller& c) {
    const std::string index = " index=" + std::to_string(c.index) + " ";
    return (line.rfind("legacy-store" + index, 0) == 0 ||
            line.rfind("legacy-unit" + index, 0) == 0);
}

// The operating system sees the units that are exposed, as at start.
void seed_devices(Machine& m, const Controller& c) {
    auto& devices = m.scsi_devices;
    devices.erase(std::remove_if(devices.begin(), devices.end(),
                                 [&](const ScsiDevice& d) { return d.host == c.index; }),
                  devices.end());
    for (const auto& entry : c.legacy.units)
        if (entry.second.exposed) devices.push_back({c.index, 0, entry.first, 0});
}

bool store_line(Controller& c, const Attrs& a, std::string* why) {
    std::vector<uint8_t> drives;
    auto it = a.find("drives");
    long option = 0;
    if (it == a.end() || !bytes_of(it->second, kPorts, &drives) || drives.size() != kPorts ||
        !number_in(a, "option-4", 0, 1, &option)) {
        *why = "legacy-store needs drives= (16 status bytes in hex) and option-4=";
        return false;
    }
    LegacyStore& s = c.legacy;
    s.units.clear();
    s.foreign.clear();
    std::memcpy(s.drive_state, drives.data(), kPorts);
    s.option_4 = option != 0;
    return true;
}

bool unit_store_line(Controller& c, const Attrs& a, std::string* why) {
    long number = 0, foreign = 0, failed = 0, replaced = 0, rebuilding = 0, pending = 0,
         progress = 0, exposed = 0, cache = 0;
    LegacyUnit u;
    auto descriptor = a.find("descriptor");
    auto task = a.find("task");
    int task_index = -1;
    for (int t = 0; task != a.end() && t < 3; ++t)
        if (task->second == kTaskNames[t]) task_index = t;
    if (!number_in(a, "number", 0, kUnits - 1, &number) ||
        !number_in(a, "foreign", 0, 1, &foreign) || !number_in(a, "failed", 0, 0xFFFF, &failed) ||
        !number_in(a, "replaced", 0, 0xFFFF, &replaced) ||
        !number_in(a, "rebuilding", 0, 0xFFFF, &rebuilding) ||
        !number_in(a, "verify-pending", 0, 1, &pending) ||
        !number_in(a, "progress", 0, 1000, &progress) || !number_in(a, "exposed", 0, 1, &exposed) ||
        !number_in(a, "write-cache", 0, 1, &cache) || descriptor == a.end() ||
        !bytes_of(descriptor->second, 512, &u.descriptor) || u.descriptor.size() < 12 ||
        task_index < 0) {
        *why =
            "legacy-unit needs number=, foreign=, a descriptor= of 12 to 512 bytes in hex, "
            "failed=, replaced=, rebuilding=, task=, verify-pending=, progress=, exposed= "
            "and write-cache=";
        return false;
    }
    u.failed = uint16_t(failed);
    u.replaced = uint16_t(replaced);
    u.rebuilding = uint16_t(rebuilding);
    u.task = LegacyTask(task_index);
    u.verify_pending = pending != 0;
    u.progress = uint16_t(progress);
    u.exposed = exposed != 0;
    u.write_cache = uint8_t(cache);
    if (foreign != 0)
        c.legacy.foreign.push_back(ForeignUnit{int(number), u});
    else
        c.legacy.units[int(number)] = u;
    return true;
}

}  // namespace

void legacy_record_state(Machine& m, Controller& c, bool save) {
    if (m.state_file.empty() || c.series() != Series::First) return;
    std::vector<std::string> lines = state_lines(c), old, others;
    for (const std::string& line : m.persisted)
        (is_line_of(line, c) ? old : others).push_back(line);
    if (old == lines) return;
    others.insert(others.end(), lines.begin(), lines.end());
    m.persisted = others;
    if (save) save_state(m);
}

bool legacy_state_line(Machine& m, Controller& c, const std::string& command, const Attrs& a,
                       bool persist, std::string* why) {
    if (c.series() != Series::First) {
        *why = command + " needs a first-series controller";
        return false;
    }
    if (!(command == "legacy-store" ? store_line(c, a, why) : unit_store_line(c, a, why)))
        return false;
    seed_devices(m, c);
    if (persist) legacy_record_state(m, c, false);
    return true;
}

}  // namespace sim
