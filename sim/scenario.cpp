// The scenario language: one command per line, "command key=value ...".
// Scenario files, the state file and the control file all speak it.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sim/machine.h"

namespace sim {

std::string hex_digits(const uint8_t* bytes, size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(2 * size);
    for (size_t i = 0; i < size; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

bool decode_hex(const std::string& text, std::vector<uint8_t>* out) {
    const size_t start = text.rfind("hex:", 0) == 0 ? 4 : 0;
    if ((text.size() - start) % 2 != 0) return false;
    auto value = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    out->clear();
    for (size_t i = start; i < text.size(); i += 2) {
        const int high = value(text[i]), low = value(text[i + 1]);
        if (high < 0 || low < 0) return false;
        out->push_back(uint8_t(high << 4 | low));
    }
    return true;
}

namespace {

const DriverKind kDriverKinds[] = {
    {"dq-xxxx", "kqe", false, Series::First, 247},
    {"dq-Mxxx", "kqa", false, Series::Second, 245},
    {"dq-nv", "kqn", false, Series::Second, 248},
    {"dq-sas", "kql", false, Series::Second, 246},
    {"dq-Mxxx_vm40", "kqavm", true, Series::Second, 0},
    {"dq-sas_vm40", "kqlvm", true, Series::Second, 0},
    {"dq-Mxxx_vm50", "kqavm", true, Series::Second, 0},
    {"dq-sas_vm50", "kqlvm", true, Series::Second, 0},
};

struct ErrnoName {
    const char* name;
    int value;
};
const ErrnoName kErrnoNames[] = {
    {"EBUSY", EBUSY},   {"ENOMEM", ENOMEM}, {"EIO", EIO},       {"EACCES", EACCES},
    {"ENXIO", ENXIO},   {"EINVAL", EINVAL}, {"ENODEV", ENODEV}, {"EFAULT", EFAULT},
    {"EPERM", EPERM},   {"EROFS", EROFS},   {"ENOENT", ENOENT}, {"ENOTTY", ENOTTY},
    {"EAGAIN", EAGAIN}, {"ENOSPC", ENOSPC},
};

struct Line {
    std::string command;
    Attrs args;
};

// Splits a line into its command and key=value pairs. Values may be quoted;
// inside quotes \n is a newline, and \" and \\ stand for themselves. '#'
// outside quotes starts a comment.
bool tokenize(const std::string& text, Line* line, std::string* error) {
    size_t i = 0;
    const size_t n = text.size();
    bool first = true;
    while (true) {
        while (i < n && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r')) ++i;
        if (i >= n || text[i] == '#') break;
        std::string key, value;
        while (i < n && text[i] != '=' && text[i] != ' ' && text[i] != '\t' && text[i] != '\r')
            key += text[i++];
        if (first) {
            if (i < n && text[i] == '=') {
                *error = "a line starts with a command, not with " + key + "=";
                return false;
            }
            line->command = key;
            first = false;
            continue;
        }
        if (i >= n || text[i] != '=') {
            *error = "expected key=value, found \"" + key + "\"";
            return false;
        }
        ++i;
        if (i < n && text[i] == '"') {
            ++i;
            while (i < n && text[i] != '"') {
                if (text[i] == '\\' && i + 1 < n) {
                    ++i;
                    value += text[i] == 'n' ? '\n' : text[i];
                    ++i;
                    continue;
                }
                value += text[i++];
            }
            if (i >= n) {
                *error = "unterminated quote in the value of " + key;
                return false;
            }
            ++i;
        } else {
            while (i < n && text[i] != ' ' && text[i] != '\t' && text[i] != '\r')
                value += text[i++];
        }
        line->args[key] = value;
    }
    return true;
}

bool to_number(const std::string& text, long* out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0') return false;
    *out = v;
    return true;
}

bool to_errno(const std::string& text, int* out) {
    for (const ErrnoName& e : kErrnoNames) {
        if (text == e.name) {
            *out = e.value;
            return true;
        }
    }
    long v;
    if (!to_number(text, &v) || v <= 0) return false;
    *out = int(v);
    return true;
}

// Values of parameters: u8:N u16:N u32:N u64:N, hex:0a0b..., text:... (or a
// bare text).
bool to_bytes(const std::string& text, std::vector<uint8_t>* out, std::string* error) {
    out->clear();
    auto number_of = [&](const std::string& body, int width) {
        char* end = nullptr;
        errno = 0;
        unsigned long long v = std::strtoull(body.c_str(), &end, 0);
        if (errno != 0 || *end != '\0' || body.empty()) return false;
        for (int b = 0; b < width; ++b) out->push_back(uint8_t(v >> (8 * b)));
        return true;
    };
    if (text.rfind("u8:", 0) == 0)
        return number_of(text.substr(3), 1) || (*error = "bad u8", false);
    if (text.rfind("u16:", 0) == 0)
        return number_of(text.substr(4), 2) || (*error = "bad u16", false);
    if (text.rfind("u32:", 0) == 0)
        return number_of(text.substr(4), 4) || (*error = "bad u32", false);
    if (text.rfind("u64:", 0) == 0)
        return number_of(text.substr(4), 8) || (*error = "bad u64", false);
    if (text.rfind("hex:", 0) == 0)
        return decode_hex(text, out) || (*error = "bad hex digits or odd length", false);
    std::string body = text.rfind("text:", 0) == 0 ? text.substr(5) : text;
    out->assign(body.begin(), body.end());
    return true;
}

class Applier {
  public:
    Applier(Machine& m, bool persist) : m_(m), persist_(persist) {}

    bool run(const std::string& text, std::string* error) {
        size_t start = 0;
        int number = 0;
        while (start <= text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            ++number;
            Line line;
            std::string why;
            if (!tokenize(text.substr(start, end - start), &line, &why) ||
                (!line.command.empty() && !command(line, &why))) {
                *error = "line " + std::to_string(number) + ": " + why;
                return false;
            }
            start = end + 1;
        }
        return true;
    }

    // The controllers whose unit store a state file restored.
    const std::vector<int>& restored() const { return restored_; }

  private:
    Machine& m_;
    bool persist_;
    std::vector<int> restored_;
    int current_ = -1;  // position of the last controller declared

    bool take_number(Attrs& a, const char* key, long* out, std::string* why, bool required = true) {
        auto it = a.find(key);
        if (it == a.end()) {
            if (required) *why = std::string("missing ") + key + "=";
            return !required;
        }
        if (!to_number(it->second, out)) {
            *why = std::string("bad number in ") + key + "=" + it->second;
            return false;
        }
        a.erase(it);
        return true;
    }

    bool take_flag(Attrs& a, const char* key, bool* out, std::string* why) {
        long v = *out ? 1 : 0;
        if (!take_number(a, key, &v, why, false)) return false;
        *out = v != 0;
        return true;
    }

    // The controller an object line belongs to: index=, or the last one declared.
    Controller* target(Attrs& a, std::string* why) {
        long index = -1;
        if (!take_number(a, "index", &index, why, false)) return nullptr;
        if (index < 0) {
            if (current_ < 0) {
                *why = "no controller declared before this line and no index=";
                return nullptr;
            }
            return &m_.controllers[current_];
        }
        Controller* c = m_.controller(int(index));
        if (c == nullptr) *why = "no controller with index " + std::to_string(index);
        return c;
    }

    bool command(Line& line, std::string* why) {
        const std::string& cmd = line.command;
        Attrs& a = line.args;
        if (cmd == "kernel") {
            if (a.count("release")) m_.release = a["release"];
            if (a.count("machine")) m_.machine_name = a["machine"];
            return true;
        }
        if (cmd == "driver") return driver(a, why);
        if (cmd == "controller") return controller(a, why);
        if (cmd == "set") {
            Controller* c = target(a, why);
            if (c == nullptr) return false;
            if (!take_flag(a, "present", &c->present, why)) return false;
            for (auto& kv : a) c->attrs[kv.first] = kv.second;
            return true;
        }
        if (cmd == "scsihost") {
            long host;
            if (!take_number(a, "host", &host, why)) return false;
            m_.hosts.push_back({int(host), -1, a.count("stats") ? a["stats"] : "scsi host\n"});
            return true;
        }
        if (cmd == "unit") return unit(a, why);
        if (cmd == "unit-store") return unit_store(a, why);
        if (cmd == "scsi-line") {
            m_.extra_scsi_lines.push_back(a["text"]);
            return true;
        }
        if (cmd == "drive" || cmd == "enclosure" || cmd == "phy") return object(cmd, a, why);
        if (cmd == "battery") {
            Controller* c = target(a, why);
            if (c == nullptr) return false;
            c->has_battery = true;
            for (auto& kv : a) c->battery[kv.first] = kv.second;
            return true;
        }
        if (cmd == "element") {
            Controller* c = target(a, why);
            return c != nullptr && enclosure_element_line(*c, a, why);
        }
        if (cmd == "event") return event(a, why);
        if (cmd == "event-ring" || cmd == "ring-event") {
            Controller* c = target(a, why);
            return c != nullptr && event_state_line(*c, cmd, a, why);
        }
        if (cmd == "param") return param(a, why);
        if (cmd == "sysfs") {
            Controller* c = target(a, why);
            if (c == nullptr) return false;
            if (!a.count("file")) {
                *why = "missing file=";
                return false;
            }
            long size = -1;
            bool missing = false;
            if (!take_flag(a, "missing", &missing, why)) return false;
            if (!missing) {
                if (a.count("size") && a["size"] == "full") {
                    c->sysfs_size.erase(a["file"]);
                    return true;
                }
                if (!take_number(a, "size", &size, why)) return false;
                if (size < 0) size = 0;
            }
            c->sysfs_size[a["file"]] = missing ? -1 : size;
            return true;
        }
        if (cmd == "lock") {
            // Another program takes the controller lock for ms= milliseconds
            // (-1: until released), or releases it (ms=0).
            Controller* c = target(a, why);
            long ms = -1;
            if (c == nullptr || !take_number(a, "ms", &ms, why, false)) return false;
            release_controller_lock(m_, *c);
            if (ms != 0) take_controller_lock(m_, *c, ms < 0 ? UINT64_MAX : uint64_t(ms) * 1000);
            return true;
        }
        if (cmd == "fail-drive" || cmd == "advance") {
            Controller* c = target(a, why);
            return c != nullptr && legacy_control(m_, *c, cmd, a, why);
        }
        if (cmd == "legacy-store" || cmd == "legacy-unit") {
            Controller* c = target(a, why);
            return c != nullptr && legacy_state_line(m_, *c, cmd, a, persist_, why);
        }
        if (cmd == "fault") return fault(a, why);
        if (cmd == "clear-faults") {
            m_.faults.clear();
            return true;
        }
        if (cmd == "devnode") return devnode(a, why);
        if (cmd == "devlink") {
            if (!a.count("path") || !a.count("target")) {
                *why = "devlink needs path= and target=";
                return false;
            }
            DevEntry e;
            e.kind = DevEntry::Link;
            e.mode = 0777;
            e.target = a["target"];
            m_.dev[a["path"]] = e;
            return true;
        }
        if (cmd == "devices-line") {
            m_.extra_device_lines.push_back(a["text"]);
            return true;
        }
        if (cmd == "clock") {
            if (a.count("mode")) m_.virtual_clock = a["mode"] == "virtual";
            if (a.count("pause-limit-ms")) {
                long ms = -1;
                if (!take_number(a, "pause-limit-ms", &ms, why)) return false;
                m_.pause_limit_us = ms < 0 ? UINT64_MAX : uint64_t(ms) * 1000;
            }
            if (a.count("utc-offset")) {
                long offset = 0;
                if (!take_number(a, "utc-offset", &offset, why)) return false;
                m_.fixed_utc_offset = true;
                m_.utc_offset = offset;
            }
            return true;
        }
        if (cmd == "latency") return latency(a, why);
        if (cmd == "descriptors") {
            long floor = 0;
            if (!take_number(a, "floor", &floor, why)) return false;
            m_.descriptor_floor = int(floor);
            return true;
        }
        if (cmd == "state") {
            m_.state_file = a["file"];
            return true;
        }
        if (cmd == "journal") {
            m_.journal_file = a["file"];
            return true;
        }
        if (cmd == "control") {
            m_.control_file = a["file"];
            m_.control_offset = 0;
            return true;
        }
        *why = "unknown command " + cmd;
        return false;
    }

    bool driver(Attrs& a, std::string* why) {
        const DriverKind* kind = find_driver_kind(a["name"]);
        if (kind == nullptr) {
            *why = "unknown driver name \"" + a["name"] + "\"";
            return false;
        }
        LoadedDriver* d = m_.driver(kind->name);
        if (d == nullptr) {
            m_.drivers.push_back(LoadedDriver{});
            d = &m_.drivers.back();
            d->kind = kind;
            d->major = kind->default_major;
        }
        long major = d->major;
        if (!take_number(a, "major", &major, why, false)) return false;
        d->major = int(major);
        if (!take_flag(a, "listed", &d->listed, why)) return false;
        const std::string pairing = a.count("pairing") ? a["pairing"] : "";
        if (kind->vm) {
            d->proc_dir = pairing == "proc" || pairing == "both";
            d->vm_links = pairing == "link" || pairing == "both";
        } else {
            d->proc_dir = pairing == "proc";
        }
        return true;
    }

    bool controller(Attrs& a, std::string* why) {
        long index;
        if (!take_number(a, "index", &index, why)) return false;
        if (m_.controller(int(index)) != nullptr) {
            *why = "controller " + std::to_string(index) + " declared twice";
            return false;
        }
        LoadedDriver* d = m_.driver(a["driver"]);
        if (d == nullptr) {
            *why = "controller on driver \"" + a["driver"] + "\" that no driver line loads";
            return false;
        }
        a.erase("driver");
        Controller c;
        c.index = int(index);
        c.driver = d;
        long minor = -1, major = 0;
        if (!take_number(a, "minor", &minor, why, false)) return false;
        if (!take_number(a, "major", &major, why, false)) return false;
        if (!take_flag(a, "present", &c.present, why)) return false;
        c.minor = int(minor);
        c.vm_major = int(major);
        c.attrs = a;
        m_.controllers.push_back(c);  // kept in declaration order
        current_ = int(m_.controllers.size() - 1);
        if (!d->kind->vm) {
            std::string stats = c.attr("stats");
            if (stats.empty()) stats = driver_stats_text(c);
            m_.hosts.push_back({int(index), int(m_.controllers.size() - 1), stats});
        }
        return true;
    }

    bool object(const std::string& kind, Attrs& a, std::string* why) {
        Controller* c = target(a, why);
        if (c == nullptr) return false;
        const char* key = kind == "drive" ? "port" : "number";
        long number;
        if (!take_number(a, key, &number, why)) return false;
        const bool first = c->series() == Series::First;
        std::map<int, SimObject>& objects = kind == "drive" ? c->drives
                                            : kind == "phy" ? c->phys
                                                            : c->enclosures;
        SimObject& o = objects[int(number)];
        o.number = int(number);
        for (auto& kv : a) o.attrs[kv.first] = kv.second;
        if (first && kind == "drive") legacy_drive_line(*c, int(number));
        return true;
    }

    // A unit of the second series' unit store, built from its attributes
    // (sim/units.h); a later line for the same number adds to them.
    bool unit(Attrs& a, std::string* why) {
        Controller* c = target(a, why);
        if (c == nullptr) return false;
        long number;
        if (!take_number(a, "number", &number, why)) return false;
        if (c->series() == Series::First) return legacy_unit_line(m_, *c, number, a, why);
        if (number < 0 || number > 63) {
            *why = "unit number=" + std::to_string(number) + " outside 0 to 63";
            return false;
        }
        return apply_unit_line(*c, int(number), a, why);
    }

    // The state file's unit store of a controller: the unit lines that
    // follow describe its units and foreign units whole.
    bool unit_store(Attrs& a, std::string* why) {
        Controller* c = target(a, why);
        if (c == nullptr) return false;
        c->units.clear();
        c->foreign_units.clear();
        if (persist_) restored_.push_back(c->index);
        return true;
    }

    bool event(Attrs& a, std::string* why) {
        Controller* c = target(a, why);
        if (c == nullptr) return false;
        long code = 0, severity = 3, param = 0, time = 0, sequence = 0, byte11 = 0, byte12 = 0,
             ago = 0;
        if (!take_number(a, "code", &code, why)) return false;
        if (!take_number(a, "severity", &severity, why, false)) return false;
        if (!take_number(a, "param", &param, why, false)) return false;
        if (!take_number(a, "time", &time, why, false)) return false;
        if (!take_number(a, "ago", &ago, why, false)) return false;
        if (!take_number(a, "sequence", &sequence, why, false)) return false;
        if (!take_number(a, "byte11", &byte11, why, false)) return false;
        if (!take_number(a, "byte12", &byte12, why, false)) return false;
        std::vector<uint8_t> area;
        if (a.count("area") && !to_bytes(a["area"], &area, why)) return false;
        long count = 1;
        if (!take_number(a, "count", &count, why, false)) return false;
        for (long i = 0; i < count; ++i) {
            if (sequence > 0 && i == 0) c->next_sequence = uint32_t(sequence);
            SimEvent& e =
                post_event(m_, *c, uint16_t(code), uint8_t(severity), a["text"], a["description"]);
            if (time > 0) e.time = uint32_t(time);
            if (ago > 0) e.time -= uint32_t(ago);
            e.param = uint8_t(param);
            e.driver_bytes[0] = uint8_t(byte11);
            e.driver_bytes[1] = uint8_t(byte12);
            e.area = area;
        }
        return true;
    }

    bool param(Attrs& a, std::string* why) {
        Controller* c = target(a, why);
        if (c == nullptr) return false;
        long table, id;
        if (!take_number(a, "table", &table, why) || !take_number(a, "id", &id, why)) return false;
        std::vector<uint8_t> value;
        if (!to_bytes(a["value"], &value, why)) return false;
        uint16_t t = uint16_t(table);
        if (c->series() == Series::Second) t |= 0x8000;
        store_parameter(m_, *c, t, uint16_t(id), value, persist_);
        return true;
    }

    bool fault(Attrs& a, std::string* why) {
        Fault f;
        const std::string call = a.count("call") ? a["call"] : "ioctl";
        if (call == "ioctl")
            f.call = FaultCall::Ioctl;
        else if (call == "open")
            f.call = FaultCall::Open;
        else if (call == "mknod")
            f.call = FaultCall::Mknod;
        else if (call == "unlink")
            f.call = FaultCall::Unlink;
        else {
            *why = "unknown call=" + call;
            return false;
        }
        long index = -1, request = -1, opcode = -1, count = 1, status = 0, code = -1;
        if (!take_number(a, "table", &f.table, why, false) ||
            !take_number(a, "parameter", &f.parameter, why, false) ||
            !take_number(a, "index", &index, why, false) ||
            !take_number(a, "request", &request, why, false) ||
            !take_number(a, "opcode", &opcode, why, false) ||
            !take_number(a, "count", &count, why, false) ||
            !take_number(a, "driver-status", &status, why, false) ||
            !take_number(a, "firmware-code", &code, why, false))
            return false;
        f.controller = int(index);
        f.request = request;
        f.opcode = int(opcode);
        f.count = int(count);
        f.path = a["path"];
        f.driver_status = uint32_t(status);
        if (a.count("errno") && !to_errno(a["errno"], &f.error)) {
            *why = "unknown errno=" + a["errno"];
            return false;
        }
        if (code >= 0) {
            f.firmware = true;
            f.firmware_code = uint16_t(code);
            f.detail = a["detail"];
            f.text = a["text"];
        }
        if (f.error == 0 && f.driver_status == 0 && !f.firmware) {
            *why = "a fault needs errno=, driver-status= or firmware-code=";
            return false;
        }
        m_.faults.push_back(f);
        return true;
    }

    // How long the firmware takes to answer each driver request, in real
    // time: "latency request-us=500".
    bool latency(Attrs& a, std::string* why) {
        long us = 0;
        if (!take_number(a, "request-us", &us, why)) return false;
        if (us < 0) {
            *why = "request-us=" + std::to_string(us) + " is below 0";
            return false;
        }
        m_.request_latency_us = uint64_t(us);
        return true;
    }

    bool devnode(Attrs& a, std::string* why) {
        if (!a.count("path")) {
            *why = "devnode needs path=";
            return false;
        }
        DevEntry e;
        const std::string kind = a.count("kind") ? a["kind"] : "char";
        e.kind = kind == "char"  ? DevEntry::CharDevice
                 : kind == "dir" ? DevEntry::Directory
                                 : DevEntry::RegularFile;
        long major = 0, minor = 0, mode = e.kind == DevEntry::Directory ? 0755 : 0600;
        if (!take_number(a, "major", &major, why, false) ||
            !take_number(a, "minor", &minor, why, false) ||
            !take_number(a, "mode", &mode, why, false))
            return false;
        e.major = int(major);
        e.minor = int(minor);
        e.mode = unsigned(mode);
        m_.dev[a["path"]] = e;
        return true;
    }
};

}  // namespace

const DriverKind* find_driver_kind(const std::string& name) {
    for (const DriverKind& k : kDriverKinds)
        if (name == k.name) return &k;
    return nullptr;
}

std::string attr_text(const Attrs& attrs, const char* key, const char* fallback) {
    auto it = attrs.find(key);
    return it == attrs.end() ? fallback : it->second;
}

long long attr_number(const Attrs& attrs, const char* key, long long fallback) {
    auto it = attrs.find(key);
    if (it == attrs.end() || it->second.empty()) return fallback;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(it->second.c_str(), &end, 0);
    return errno != 0 || *end != '\0' ? fallback : v;
}

std::string Controller::attr(const char* key, const char* fallback) const {
    auto it = attrs.find(key);
    return it == attrs.end() ? fallback : it->second;
}

long Controller::attr_number(const char* key, long fallback) const {
    long v;
    auto it = attrs.find(key);
    return it != attrs.end() && to_number(it->second, &v) ? v : fallback;
}

LoadedDriver* Machine::driver(const std::string& name) {
    for (LoadedDriver& d : drivers)
        if (name == d.kind->name) return &d;
    return nullptr;
}

Controller* Machine::controller(int index) {
    for (Controller& c : controllers)
        if (c.index == index) return &c;
    return nullptr;
}

bool Machine::old_kernel() const {
    int part[3] = {0, 0, 0};
    std::sscanf(release.c_str(), "%d.%d.%d", &part[0], &part[1], &part[2]);
    return part[0] <= 2 && part[1] <= 6 && part[2] <= 23;
}

int Machine::arch_class() const {
    return machine_name == "x86_64" || machine_name == "ppc64" ? 3 : 2;
}

bool apply_lines(Machine& m, const std::string& text, bool persist, std::string* error) {
    // The drivers vector must not move while controllers point into it.
    m.drivers.reserve(16);
    Applier applier(m, persist);
    bool ok = applier.run(text, error);
    finish_machine(m);
    for (int index : applier.restored())
        if (Controller* c = m.controller(index)) restore_units(m, *c);
    save_events(m);
    return ok;
}

// Fills in what the scenario left to defaults: node minors in the order in
// which the library pairs them, device numbers of virtual-machine
// controllers, their links in /dev, and the SCSI devices of the units.
void finish_machine(Machine& m) {
    int vm_k = 0;  // virtual-machine devices get majors 230, 229, ...
    for (const LoadedDriver& d : m.drivers) {
        int k = 0;
        for (Controller& c : m.controllers) {
            if (c.driver != &d) continue;
            if (d.kind->vm) {
                if (c.vm_major == 0) c.vm_major = 230 - vm_k;
                ++vm_k;
                if (d.vm_links) {
                    std::string name = std::string(d.kind->prefix) + std::to_string(c.index);
                    std::string hosted = "/dev/vmhost/" + name;
                    m.dev["/dev/vmhost"].kind = DevEntry::Directory;
                    m.dev["/dev/vmhost"].mode = 0755;
                    if (!m.dev.count(hosted)) {
                        DevEntry e;
                        e.kind = DevEntry::CharDevice;
                        e.major = c.vm_major;
                        m.dev[hosted] = e;
                    }
                    if (!m.dev.count("/dev/" + name)) {
                        DevEntry link;
                        link.kind = DevEntry::Link;
                        link.mode = 0777;
                        link.target = hosted;
                        m.dev["/dev/" + name] = link;
                    }
                }
            } else if (c.minor < 0) {
                c.minor = d.proc_dir || m.old_kernel() ? 254 - k : k;
            }
            ++k;
        }
    }
    if (!m.scsi_devices_seeded) {
        m.scsi_devices_seeded = true;
        for (const Controller& c : m.controllers) {
            if (c.driver->kind->vm) continue;
            for (const auto& u : c.units) {
                if (!u.second.attached || !unit_exposed(u.second)) continue;
                for (size_t lun = 0; lun < u.second.luns.size(); ++lun)
                    m.scsi_devices.push_back({c.index, 0, u.first, int(lun)});
            }
        }
    }
}

}  // namespace sim
