// The files and directories the simulated kernel generates: /proc/devices,
// /proc/scsi, the SCSI host attributes under /sys/class/scsi_host and the
// SCSI device files under /sys/bus/scsi.
#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sim/machine.h"

namespace sim {

namespace {

const char kProcScsi[] = "/proc/scsi";
const char kScsiHost[] = "/sys/class/scsi_host";
const char kScsiDevices[] = "/sys/bus/scsi/devices";

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* pattern, ...) {
    char line[512];
    va_list args;
    va_start(args, pattern);
    std::vsnprintf(line, sizeof line, pattern, args);
    va_end(args);
    return line;
}

// "host12" -> 12; -1 when the name is not of that form.
int host_number(const std::string& name) {
    if (name.size() < 5 || name.compare(0, 4, "host") != 0) return -1;
    for (size_t i = 4; i < name.size(); ++i)
        if (name[i] < '0' || name[i] > '9') return -1;
    return std::atoi(name.c_str() + 4);
}

const ScsiHostEntry* find_host(const Machine& m, int host) {
    for (const ScsiHostEntry& h : m.hosts) {
        if (h.host != host) continue;
        if (h.controller >= 0 && !m.controllers[h.controller].present) continue;
        return &h;
    }
    return nullptr;
}

bool is_sas(const Machine& m, const ScsiHostEntry& h) {
    return h.controller >= 0 &&
           std::strcmp(m.controllers[h.controller].driver->kind->name, "dq-sas") == 0;
}

// The attribute files of a SCSI host directory, in listing order.
std::vector<std::string> host_files(const Machine& m, const ScsiHostEntry& h) {
    std::vector<std::string> files;
    if (is_sas(m, h)) {
        files = {"tavix_stats", "tavix_compat_info", "tavix_aen_read"};
    } else {
        files = {"stats"};
    }
    files.push_back("scan");
    if (h.controller >= 0) {
        const Controller& c = m.controllers[h.controller];
        for (auto it = files.begin(); it != files.end();) {
            auto cut = c.sysfs_size.find(*it);
            if (cut != c.sysfs_size.end() && cut->second < 0) {
                it = files.erase(it);
            } else {
                ++it;
            }
        }
    }
    return files;
}

std::string scsi_device_name(const ScsiDevice& d) {
    return format("%d:%d:%d:%d", d.host, d.channel, d.target, d.lun);
}

std::string proc_scsi_text(const Machine& m) {
    std::string text = "Attached devices:\n";
    for (const ScsiDevice& d : m.scsi_devices) {
        text += format("Host: scsi%d Channel: %02d Id: %02d Lun: %02d\n", d.host, d.channel,
                       d.target, d.lun);
        text += "  Vendor: SIMCTL   Model: Logical Disk     Rev: 1.00\n";
        text += "  Type:   Direct-Access                    ANSI  SCSI revision: 05\n";
    }
    for (const std::string& line : m.extra_scsi_lines) text += line + "\n";
    return text;
}

bool attached(const Machine& m, const ScsiDevice& d, size_t* position) {
    for (size_t i = 0; i < m.scsi_devices.size(); ++i) {
        const ScsiDevice& a = m.scsi_devices[i];
        if (a.host == d.host && a.channel == d.channel && a.target == d.target && a.lun == d.lun) {
            if (position) *position = i;
            return true;
        }
    }
    return false;
}

// Adds or removes one SCSI device; the kernel refuses what makes no sense.
int change_device(Machine& m, const ScsiDevice& d, bool add) {
    size_t position = 0;
    bool present = attached(m, d, &position);
    if (add) {
        if (present) return EEXIST;
        const Controller* c = m.controller(d.host);
        if (c == nullptr || !c->present) return ENXIO;
        m.scsi_devices.push_back(d);
    } else {
        if (!present) return ENXIO;
        m.scsi_devices.erase(m.scsi_devices.begin() + long(position));
    }
    return 0;
}

}  // namespace

std::string proc_devices_text(const Machine& m) {
    std::string text =
        "Character devices:\n  1 mem\n  4 /dev/vc/0\n  4 tty\n  5 /dev/tty\n 10 misc\n";
    for (const std::string& line : m.extra_device_lines) text += line + "\n";
    for (const LoadedDriver& d : m.drivers) {
        if (!d.listed) continue;
        if (!d.kind->vm) {
            text += format("%3d %s\n", d.major, d.kind->prefix);
            continue;
        }
        for (const Controller& c : m.controllers)
            if (c.driver == &d) text += format("%3d %s%d\n", c.vm_major, d.kind->prefix, c.index);
    }
    text += "\nBlock devices:\n  8 sd\n 65 sd\n";
    return text;
}

std::string driver_version(const Controller& c) {
    return c.attr("driver-version", c.series() == Series::First ? "1.26.02.002" : "3.26.02.000");
}

std::string driver_stats_text(const Controller& c) {
    const bool first = c.series() == Series::First;
    return std::string(c.driver->kind->name) + (first ? " Driver version: " : " ") +
           driver_version(c) + "\n";
}

std::string compat_record(const Controller& c) {
    uint8_t record[128];
    std::memset(record, 0, sizeof record);
    std::string version = c.attr("driver-version", "3.26.02.000");
    if (c.driver->kind->vm && c.attrs.count("driver-version") == 0)
        version += std::strstr(c.driver->kind->name, "vm50") ? "vm50" : "vm40";
    std::strncpy(reinterpret_cast<char*>(record), version.c_str(), 31);
    put16(record + 38, uint16_t(c.attr_number("srl-max", 60)));
    put16(record + 44, uint16_t(c.attr_number("srl-min", 20)));
    put16(record + 50, uint16_t(c.attr_number("srl", 40)));
    put16(record + 52, uint16_t(c.attr_number("branch", 1)));
    put16(record + 54, uint16_t(c.attr_number("build", 12)));
    // The rest is the driver's own business; a recognisable pattern shows
    // whether a reader went past the part it may use.
    std::memset(record + 56, 0x5A, 72);
    return std::string(reinterpret_cast<char*>(record), sizeof record);
}

std::string event_file(const Controller& c) {
    std::string file(256 * 112, '\0');
    for (const SimEvent& e : c.events)
        encode_event(e, reinterpret_cast<uint8_t*>(&file[(e.sequence % 256) * 112]));
    return file;
}

int driver_file_controller(const Machine& m, const std::string& path) {
    const std::string host_prefix = std::string(kScsiHost) + "/";
    if (path.rfind(host_prefix, 0) != 0) return -1;
    const std::string rest = path.substr(host_prefix.size());
    const size_t slash = rest.find('/');
    if (slash == std::string::npos) return -1;
    const std::string file = rest.substr(slash + 1);
    if (file != "tavix_compat_info" && file != "tavix_aen_read") return -1;
    const ScsiHostEntry* h = find_host(m, host_number(rest.substr(0, slash)));
    if (h == nullptr || !is_sas(m, *h)) return -1;
    return m.controllers[h->controller].index;
}

bool generated_file(Machine& m, const std::string& path, std::string* content, bool* writable) {
    *writable = false;
    if (path == "/proc/devices") {
        *content = proc_devices_text(m);
        return true;
    }
    if (path == "/proc/scsi/scsi") {
        *content = proc_scsi_text(m);
        *writable = true;
        return true;
    }
    const std::string proc_prefix = std::string(kProcScsi) + "/";
    if (path.rfind(proc_prefix, 0) == 0) {
        std::string rest = path.substr(proc_prefix.size());
        size_t slash = rest.find('/');
        if (slash == std::string::npos) return false;
        const LoadedDriver* d = m.driver(rest.substr(0, slash));
        if (d == nullptr || !d->proc_dir) return false;
        std::string entry = rest.substr(slash + 1);
        for (const Controller& c : m.controllers) {
            if (c.driver == d && c.present && std::to_string(c.index) == entry) {
                *content = format("%s controller %d\nDriver version: %s\n", d->kind->name,
                                  c.index, driver_version(c).c_str());
                return true;
            }
        }
        return false;
    }
    const std::string host_prefix = std::string(kScsiHost) + "/";
    if (path.rfind(host_prefix, 0) == 0) {
        std::string rest = path.substr(host_prefix.size());
        size_t slash = rest.find('/');
        if (slash == std::string::npos) return false;
        const ScsiHostEntry* h = find_host(m, host_number(rest.substr(0, slash)));
        if (h == nullptr) return false;
        std::string file = rest.substr(slash + 1);
        std::vector<std::string> files = host_files(m, *h);
        bool listed = false;
        for (const std::string& f : files) listed = listed || f == file;
        if (!listed) return false;
        if (file == "scan") {
            content->clear();
            *writable = true;
            return true;
        }
        if (file == "stats" || file == "tavix_stats") {
            *content = h->stats;
        } else {
            const Controller& c = m.controllers[h->controller];
            *content = file == "tavix_compat_info" ? compat_record(c) : event_file(c);
        }
        if (h->controller >= 0) {
            const Controller& c = m.controllers[h->controller];
            auto cut = c.sysfs_size.find(file);
            if (cut != c.sysfs_size.end() && size_t(cut->second) < content->size())
                content->resize(size_t(cut->second));
        }
        return true;
    }
    const std::string device_prefix = std::string(kScsiDevices) + "/";
    if (path.rfind(device_prefix, 0) == 0) {
        ScsiDevice d;
        char tail[16] = {0};
        if (std::sscanf(path.c_str() + device_prefix.size(), "%d:%d:%d:%d/%15s", &d.host,
                        &d.channel, &d.target, &d.lun, tail) != 5 ||
            std::strcmp(tail, "delete") != 0 || !attached(m, d, nullptr))
            return false;
        content->clear();
        *writable = true;
        return true;
    }
    return false;
}

bool generated_dir(const Machine& m, const std::string& path, std::vector<std::string>* names) {
    names->assign({".", ".."});
    if (path == kProcScsi) {
        names->push_back("scsi");
        for (const LoadedDriver& d : m.drivers)
            if (d.proc_dir) names->push_back(d.kind->name);
        return true;
    }
    const std::string proc_prefix = std::string(kProcScsi) + "/";
    if (path.rfind(proc_prefix, 0) == 0) {
        const LoadedDriver* d = nullptr;
        for (const LoadedDriver& each : m.drivers)
            if (path.substr(proc_prefix.size()) == each.kind->name) d = &each;
        if (d == nullptr || !d->proc_dir) return false;
        for (const Controller& c : m.controllers)
            if (c.driver == d && c.present) names->push_back(std::to_string(c.index));
        return true;
    }
    if (path == kScsiHost) {
        for (const ScsiHostEntry& h : m.hosts)
            if (h.controller < 0 || m.controllers[h.controller].present)
                names->push_back("host" + std::to_string(h.host));
        return true;
    }
    const std::string host_prefix = std::string(kScsiHost) + "/";
    if (path.rfind(host_prefix, 0) == 0) {
        const ScsiHostEntry* h = find_host(m, host_number(path.substr(host_prefix.size())));
        if (h == nullptr) return false;
        for (const std::string& f : host_files(m, *h)) names->push_back(f);
        return true;
    }
    if (path == "/sys/bus/scsi") {
        names->push_back("devices");
        return true;
    }
    if (path == kScsiDevices) {
        for (const ScsiDevice& d : m.scsi_devices) names->push_back(scsi_device_name(d));
        return true;
    }
    const std::string device_prefix = std::string(kScsiDevices) + "/";
    if (path.rfind(device_prefix, 0) == 0) {
        for (const ScsiDevice& d : m.scsi_devices) {
            if (path.substr(device_prefix.size()) == scsi_device_name(d)) {
                names->push_back("delete");
                return true;
            }
        }
    }
    return false;
}

// One write to a kernel SCSI file is one command. Returns 0 or an errno.
int write_generated(Machine& m, const std::string& path, const std::string& text) {
    ScsiDevice d{0, 0, 0, 0};
    if (path == "/proc/scsi/scsi") {
        char verb[32] = {0}, extra = 0;
        int n = std::sscanf(text.c_str(), "scsi %31s %d %d %d %d %c", verb, &d.host, &d.channel,
                            &d.target, &d.lun, &extra);
        if (n != 5) return EINVAL;
        if (std::strcmp(verb, "add-single-device") == 0) return change_device(m, d, true);
        if (std::strcmp(verb, "remove-single-device") == 0) return change_device(m, d, false);
        return EINVAL;
    }
    const std::string host_prefix = std::string(kScsiHost) + "/";
    if (path.rfind(host_prefix, 0) == 0) {
        char extra = 0;
        d.host = host_number(path.substr(host_prefix.size(), path.rfind('/') - host_prefix.size()));
        if (std::sscanf(text.c_str(), "%d %d %d %c", &d.channel, &d.target, &d.lun, &extra) != 3)
            return EINVAL;
        return change_device(m, d, true);
    }
    const std::string device_prefix = std::string(kScsiDevices) + "/";
    if (path.rfind(device_prefix, 0) == 0) {
        if (text != "1" && text != "1\n") return EINVAL;
        std::sscanf(path.c_str() + device_prefix.size(), "%d:%d:%d:%d", &d.host, &d.channel,
                    &d.target, &d.lun);
        return change_device(m, d, false);
    }
    return EACCES;
}

}  // namespace sim
