// The unit store of a second-series controller in the state file: a
// "unit-store" line, the port state of each drive, then each unit and each
// foreign configuration as a unit line with its record list, so that a
// restarted process finds the units its commands left.
#include <algorithm>
#include <cstdio>
#include <string>

#include "sim/drives.h"
#include "sim/machine.h"
#include "sim/units.h"

namespace sim {

namespace {

constexpr uint8_t kReadCacheOff = 0x01, kWriteCacheOn = 0x04, kBasicReadCache = 0x20;

std::string hex_of(const std::vector<uint8_t>& bytes) {
    return "hex:" + hex_digits(bytes.data(), bytes.size());
}

std::string lun_text(const SimUnit& u) {
    if (u.luns.empty()) return " luns=0";
    std::string sizes, attributes;
    for (const UnitLun& lun : u.luns) {
        sizes += (sizes.empty() ? "" : ",") + (lun.used ? std::to_string(lun.sectors) : "-");
        attributes += (attributes.empty() ? "" : ",") + std::to_string(lun.attribute);
    }
    return " lun-sizes=" + sizes + " lun-attributes=" + attributes;
}

std::string read_cache_name(const SimUnit& u) {
    if (u.policy & kReadCacheOff) return "off";
    return u.read_cache_mode & kBasicReadCache ? "basic" : "intelligent";
}

std::string unit_state_line(int index, const SimUnit& u, bool foreign) {
    std::string line = "unit index=" + std::to_string(index) + " number=" +
                       std::to_string(u.number) + (foreign ? " foreign=1" : "") +
                       " records=" + hex_of(unit_records(u)) +
                       " capacity=" + std::to_string(u.root.capacity) + lun_text(u) +
                       " write-cache=" + ((u.policy & kWriteCacheOn) ? "1" : "0") +
                       " read-cache=" + read_cache_name(u) +
                       " queuing=" + std::to_string(u.queuing) +
                       " attached=" + (u.attached ? "1" : "0");
    if (u.attrs.count("flags")) line += " flags=" + std::to_string(u.flags);
    return line;
}

bool starts_with(const std::string& line, const std::string& prefix) {
    return line.rfind(prefix, 0) == 0;
}

}  // namespace

void persist_units(Machine& m, Controller& c) {
    if (c.series() != Series::Second) return;
    const std::string index = std::to_string(c.index);
    const std::string store = "unit-store index=" + index;
    const std::string unit = "unit index=" + index + " ";
    const std::string drive = "drive index=" + index + " ";
    m.persisted.erase(std::remove_if(m.persisted.begin(), m.persisted.end(),
                                     [&](const std::string& line) {
                                         return line == store || starts_with(line, unit) ||
                                                starts_with(line, drive);
                                     }),
                      m.persisted.end());
    m.persisted.push_back(store);
    for (const auto& d : c.drives)
        m.persisted.push_back(drive + "port=" + std::to_string(d.first) +
                              " status=" + std::to_string(port_status(c, d.first)));
    for (const auto& u : c.units) m.persisted.push_back(unit_state_line(c.index, u.second, false));
    for (const SimUnit& u : c.foreign_units) m.persisted.push_back(unit_state_line(c.index, u, true));
    save_state(m);
}

void restore_units(Machine& m, Controller& c) {
    persist_units(m, c);
    if (c.driver->kind->vm) return;
    m.scsi_devices.erase(std::remove_if(m.scsi_devices.begin(), m.scsi_devices.end(),
                                        [&](const ScsiDevice& d) { return d.host == c.index; }),
                         m.scsi_devices.end());
    for (const auto& u : c.units) {
        if (!u.second.attached || !unit_exposed(u.second)) continue;
        for (size_t lun = 0; lun < u.second.luns.size(); ++lun)
            m.scsi_devices.push_back({c.index, 0, u.first, int(lun)});
    }
}

}  // namespace sim
