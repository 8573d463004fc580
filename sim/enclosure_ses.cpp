// The simulated SES processor: standard and VPD INQUIRY, the supported
// pages, configuration, status (and control) and help text pages, one
// sub-enclosure per LUN. Controls act on the elements whose SELECT bit is
// set, with the quirks a scenario asks for.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "sim/machine.h"

namespace sim {

namespace {

constexpr uint8_t kDevice = 1, kSupply = 2, kCooling = 3, kTemperature = 4, kLock = 5,
                  kAlarm = 6, kDisplay = 7, kEnclosure = 14, kVoltage = 18, kArrayDevice = 23;

// A text padded with blanks (or cut) to size bytes.
void put_padded(uint8_t* out, const std::string& text, size_t size) {
    std::memset(out, ' ', size);
    std::memcpy(out, text.data(), std::min(size, text.size()));
}

// The default status of an element of the type.
std::array<uint8_t, 4> default_element(uint8_t type) {
    switch (type) {
    case kCooling: return {1, 0x01, 0x2C, 0x23};  // 3000 rpm, requested on, speed code 3
    case kTemperature: return {1, 0, 50, 0};      // 30 degrees
    case kSupply: return {1, 0, 0, 0x20};         // requested on
    default: return {1, 0, 0, 0};
    }
}

uint8_t type_named(const std::string& name) {
    if (name == "slot" || name == "array-device") return kArrayDevice;
    if (name == "device") return kDevice;
    if (name == "fan" || name == "cooling") return kCooling;
    if (name == "temp" || name == "temperature") return kTemperature;
    if (name == "supply" || name == "power-supply") return kSupply;
    if (name == "lock" || name == "door-lock") return kLock;
    if (name == "alarm") return kAlarm;
    if (name == "enclosure") return kEnclosure;
    if (name == "voltage") return kVoltage;
    return 0;
}

// The types of each element position, in page order.
std::vector<uint8_t> position_types(const SesSubEnclosure& sub) {
    std::vector<uint8_t> types;
    for (const auto& t : sub.types) types.insert(types.end(), size_t(t.second) + 1, t.first);
    return types;
}

std::vector<uint8_t> page_header(uint8_t code, size_t length) {
    return {code, 0, uint8_t(length >> 8), uint8_t(length)};
}

void set_length(std::vector<uint8_t>& page, const SimObject& enclosure, int code) {
    const std::string key = "page" + std::to_string(code) + "-length";
    const long length = object_number(enclosure, key.c_str(), long(page.size()) - 4);
    page[2] = uint8_t(length >> 8);
    page[3] = uint8_t(length);
}

std::vector<uint8_t> configuration_page(const EnclosureModel& model, const SimObject& enclosure,
                                        int lun) {
    const SesSubEnclosure& sub = model.luns[size_t(lun)];
    std::vector<uint8_t> page = page_header(1, 0);
    page[1] = uint8_t(model.luns.size() - 1);
    page.resize(8, 0);
    uint8_t descriptor[40] = {};
    descriptor[1] = uint8_t(lun);
    descriptor[2] = uint8_t(object_number(enclosure, "header-count", long(sub.types.size())));
    descriptor[3] = 36;
    const long long logical = std::strtoll(object_text(enclosure, "logical-id", "0x5000c50000aa0000").c_str(), nullptr, 0);
    for (int i = 0; i < 8; ++i) descriptor[4 + i] = uint8_t(uint64_t(logical) >> (56 - 8 * i));
    put_padded(descriptor + 12, object_text(enclosure, "vendor", "SIMENC"), 8);
    put_padded(descriptor + 20, object_text(enclosure, "product", "SIM-SES-JBOD"), 16);
    put_padded(descriptor + 36, object_text(enclosure, "revision", "0110"), 4);
    page.insert(page.end(), descriptor, descriptor + sizeof descriptor);
    for (const auto& t : sub.types) page.insert(page.end(), {t.first, t.second, uint8_t(lun), 0});
    set_length(page, enclosure, 1);
    return page;
}

std::vector<uint8_t> status_page(const EnclosureModel& model, const SimObject& enclosure, int lun) {
    std::vector<uint8_t> page = page_header(2, 0);
    page.resize(8, 0);
    for (const auto& e : model.luns[size_t(lun)].elements) page.insert(page.end(), e.begin(), e.end());
    set_length(page, enclosure, 2);
    return page;
}

std::vector<uint8_t> help_page(const SimObject& enclosure) {
    const std::string text = object_text(enclosure, "help", "Enclosure services ready.\n");
    std::vector<uint8_t> page = page_header(3, 0);
    page.insert(page.end(), text.begin(), text.end());
    set_length(page, enclosure, 3);
    return page;
}

void copy_bits(uint8_t& to, uint8_t from, uint8_t bits) {
    to = uint8_t((to & ~bits) | (from & bits));
}

// One selected control element applied to its status element.
void apply_control(uint8_t type, std::array<uint8_t, 4>& st, const uint8_t* ctl,
                   const SimObject& enclosure) {
    if (type == kDevice || type == kArrayDevice) {
        copy_bits(st[2], ctl[2], 0x0E);  // insert, remove, identify
        return;
    }
    if (object_number(enclosure, "ignore-identify", 0) == 0) copy_bits(st[1], ctl[1], 0x80);
    switch (type) {
    case kCooling: {
        copy_bits(st[3], ctl[3], 0x40);
        if (ctl[3] & 0x20) {
            const uint8_t wanted = ctl[3] & 0x07;
            const uint8_t top = uint8_t(object_number(enclosure, "max-speed", 7));
            uint8_t code = wanted != 0 ? std::min(wanted, top) : uint8_t(st[3] & 0x07);
            if (code == 0) code = std::min<uint8_t>(3, top);
            st[3] = uint8_t((st[3] & ~0x17) | 0x20 | code);
        } else {
            st[3] = uint8_t((st[3] & ~0x27) | 0x10);
        }
        const unsigned raw =
            object_number(enclosure, "reports-speed", 1) != 0 ? (st[3] & 0x07) * 100u : 0u;
        st[1] = uint8_t((st[1] & ~0x07) | ((raw >> 8) & 0x07));
        st[2] = uint8_t(raw);
        break;
    }
    case kSupply:
        copy_bits(st[3], ctl[3], 0x40);
        if (ctl[3] & 0x20)
            st[3] = uint8_t((st[3] & ~0x10) | 0x20);
        else if (object_number(enclosure, "stubborn", 0) == 0)
            st[3] = uint8_t((st[3] & ~0x20) | 0x10);
        break;
    case kAlarm: {
        if (object_number(enclosure, "ignore-mute", 0) == 0) copy_bits(st[3], ctl[3], 0x40);
        copy_bits(st[3], ctl[3], 0x10);
        const uint8_t supported = uint8_t(object_number(enclosure, "tones", 0x0F));
        st[3] = uint8_t((st[3] & ~0x0F) | (ctl[3] & 0x0F & supported));
        break;
    }
    case kLock: copy_bits(st[3], ctl[3], 0x01); break;
    default: break;
    }
}

// Named fields of an "element" line: byte, bits and shift.
struct Field {
    const char* key;
    int byte;
    uint8_t bits;
    int shift;
};
const Field kFields[] = {
    {"byte0", 0, 0xFF, 0},   {"byte1", 1, 0xFF, 0},     {"byte2", 2, 0xFF, 0},
    {"byte3", 3, 0xFF, 0},   {"status", 0, 0x0F, 0},    {"prdfail", 0, 0x80, 7},
    {"identify", 1, 0x80, 7}, {"fail", 3, 0x40, 6},     {"requested-on", 3, 0x20, 5},
    {"off", 3, 0x10, 4},     {"speed", 3, 0x07, 0},     {"muted", 3, 0x40, 6},
    {"remind", 3, 0x10, 4},  {"tones", 3, 0x0F, 0},     {"failed", 1, 0x40, 6},
    {"unlocked", 3, 0x01, 0}, {"insert", 2, 0x08, 3},   {"remove", 2, 0x04, 2},
    {"slot-identify", 2, 0x02, 1}, {"dc", 2, 0x0E, 0},  {"thresholds", 3, 0x0F, 0},
    {"failure", 2, 0x02, 1}, {"warning", 2, 0x01, 0},
};

struct CodeName {
    const char* name;
    uint8_t code;
};
const CodeName kCodes[] = {
    {"unsupported", 0}, {"ok", 1}, {"critical", 2}, {"noncritical", 3}, {"unrecoverable", 4},
    {"not-installed", 5}, {"unknown", 6}, {"not-available", 7},
};

bool value_of(const std::string& key, const std::string& text, long* out) {
    if (key == "status")
        for (const CodeName& c : kCodes)
            if (text == c.name) {
                *out = c.code;
                return true;
            }
    char* end = nullptr;
    *out = std::strtol(text.c_str(), &end, 0);
    return !text.empty() && *end == '\0';
}

}  // namespace

EnclosureModel build_ses(const Controller& c, const SimObject& enclosure) {
    EnclosureModel model;
    model.ses = true;
    const long kind = object_number(enclosure, "kind", 2);
    const long luns = kind == 1 ? std::clamp(object_number(enclosure, "luns", 1), 1L, 8L) : 1;
    SesSubEnclosure sub;
    auto add = [&](uint8_t type, long count) {
        // A count above 255 takes further headers of the type.
        do {
            const long here = std::min(count, 255L);
            sub.types.push_back({type, uint8_t(here)});
            count -= here;
        } while (count > 0);
    };
    const std::string listed = object_text(enclosure, "types", "");
    if (!listed.empty()) {
        // type:count,type:count,... in page order
        for (const char* p = listed.c_str(); *p != '\0';) {
            char* end = nullptr;
            const long type = std::strtol(p, &end, 0);
            const long count = *end == ':' ? std::strtol(end + 1, &end, 0) : 0;
            sub.types.push_back({uint8_t(type), uint8_t(std::clamp(count, 0L, 255L))});
            p = *end == ',' ? end + 1 : end + std::strlen(end);
        }
    } else {
        add(kArrayDevice, object_number(enclosure, "slots", 0));
        add(kCooling, object_number(enclosure, "fans", 0));
        add(kTemperature, object_number(enclosure, "temp-sensors", 0));
        add(kSupply, object_number(enclosure, "power-supplies", 0));
        add(kLock, object_number(enclosure, "door-locks", 0));
        add(kAlarm, object_number(enclosure, "alarms", 0));
        if (object_number(enclosure, "enclosure-element", 1) != 0) add(kEnclosure, 1);
        add(kVoltage, 1);
        add(kDisplay, 1);
    }
    // Where the controller's drives name this enclosure, the slots they
    // name hold a device and the others are empty.
    std::vector<bool> occupied;
    for (const auto& d : c.drives) {
        if (object_number(d.second, "enclosure", -1) != enclosure.number) continue;
        const long slot = object_number(d.second, "slot", -1);
        if (slot < 0) continue;
        if (occupied.size() <= size_t(slot)) occupied.resize(size_t(slot) + 1, false);
        occupied[size_t(slot)] = true;
    }
    for (const auto& t : sub.types) {
        sub.elements.push_back({0, 0, 0, 0});  // the overall element
        for (int i = 0; i < t.second; ++i) {
            sub.elements.push_back(default_element(t.first));
            const bool empty = !occupied.empty() && (size_t(i) >= occupied.size() || !occupied[size_t(i)]);
            if (t.first == kArrayDevice && empty) sub.elements.back()[0] = 5;
        }
    }
    model.luns.assign(size_t(luns), sub);
    return model;
}

ScsiAnswer ses_command(Controller& c, const SimObject& enclosure, int lun, const uint8_t* cdb,
                       uint8_t* data, uint32_t length) {
    EnclosureModel& model = enclosure_model(c, enclosure);
    if (lun < 0 || size_t(lun) >= model.luns.size()) return ScsiAnswer{0, {}, true};
    const uint8_t byte1 = cdb[1] & 0x1F;  // bits 5 to 7 carry the LUN of old command blocks
    switch (cdb[0]) {
    case 0x12: {
        if ((byte1 & 0x01) == 0) {
            inquiry_reply(0x0D, enclosure, "SIMENC", data, length, cdb[3] << 8 | cdb[4]);
            return {};
        }
        const uint32_t allocation = uint32_t(cdb[3] << 8 | cdb[4]);
        std::vector<uint8_t> page = {0x0D, cdb[2], 0, 0};
        if (cdb[2] == 0x00) {
            page.insert(page.end(), {0x00, 0x80});
        } else if (cdb[2] == 0x80) {
            const std::string serial =
                object_text(enclosure, "serial", ("SESENC" + std::to_string(enclosure.number)).c_str());
            page.insert(page.end(), serial.begin(), serial.end());
        } else {
            ScsiAnswer answer;
            if (module_vpd_page(enclosure, cdb, data, length, &answer)) return answer;
            return check_condition(5, 0x24);
        }
        page[3] = uint8_t(page.size() - 4);
        copy_reply(page, data, length, allocation);
        return {};
    }
    case 0x1C: {
        if ((byte1 & 0x01) == 0) return check_condition(5, 0x24);
        const uint32_t allocation = uint32_t(cdb[3] << 8 | cdb[4]);
        std::vector<uint8_t> page;
        switch (cdb[2]) {
        case 0: page = {0, 0, 0, 4, 0, 1, 2, 3}; break;
        case 1: page = configuration_page(model, enclosure, lun); break;
        case 2: page = status_page(model, enclosure, lun); break;
        case 3: page = help_page(enclosure); break;
        case 0x0E:
            return download_status_page(model, enclosure, lun, data, length, allocation);
        default: return check_condition(5, 0x24);
        }
        copy_reply(page, data, length, allocation);
        return {};
    }
    case 0x1D: {
        const uint32_t sent = std::min<uint32_t>(uint32_t(cdb[3] << 8 | cdb[4]), length);
        if ((byte1 & 0x10) != 0 && sent >= 8 && data[0] == 0x0E)
            return send_download_page(model, enclosure, lun, data, sent);
        if ((byte1 & 0x10) == 0 || sent < 8 || data[0] != 2) return check_condition(5, 0x26);
        SesSubEnclosure& sub = model.luns[size_t(lun)];
        const std::vector<uint8_t> types = position_types(sub);
        const size_t end = std::min<size_t>(sent, 4u + size_t(data[2] << 8 | data[3]));
        for (size_t p = 0; p < types.size() && 8 + 4 * p + 4 <= end; ++p) {
            const uint8_t* ctl = data + 8 + 4 * p;
            if (ctl[0] & 0x80) apply_control(types[p], sub.elements[p], ctl, enclosure);
        }
        return {};
    }
    case 0x3B:
    case 0x3C:
        return module_buffer_command(model, enclosure, lun, cdb, data, length);
    default: return check_condition(5, 0x20);
    }
}

bool ses_element_line(EnclosureModel& model, std::map<std::string, std::string>& args,
                      std::string* why) {
    const long lun = args.count("lun") ? std::strtol(args["lun"].c_str(), nullptr, 0) : 0;
    if (lun < 0 || size_t(lun) >= model.luns.size()) {
        *why = "no sub-enclosure lun=" + args["lun"];
        return false;
    }
    SesSubEnclosure& sub = model.luns[size_t(lun)];
    const uint8_t type = type_named(args["type"]);
    const bool overall = args["number"] == "overall";
    const long number = overall ? -1 : std::strtol(args["number"].c_str(), nullptr, 0);
    size_t position = 0;
    bool found = false;
    for (const auto& t : sub.types) {
        if ((t.first == type || (type == kArrayDevice && t.first == kDevice)) &&
            number < long(t.second)) {
            position += size_t(number + 1);
            found = true;
            break;
        }
        position += size_t(t.second) + 1;
    }
    if (!found || number < -1) {
        *why = "no element type=" + args["type"] + " number=" + args["number"];
        return false;
    }
    std::array<uint8_t, 4>& e = sub.elements[position];
    for (const auto& kv : args) {
        long v = 0;
        if (kv.first == "temperature" && value_of(kv.first, kv.second, &v)) {
            e[2] = uint8_t(v + 20);
            continue;
        }
        if (kv.first == "rpm" && value_of(kv.first, kv.second, &v)) {
            e[1] = uint8_t((e[1] & ~0x07) | ((v / 10 >> 8) & 0x07));
            e[2] = uint8_t(v / 10);
            continue;
        }
        for (const Field& f : kFields) {
            if (kv.first != f.key) continue;
            if (!value_of(kv.first, kv.second, &v)) {
                *why = "bad value " + kv.first + "=" + kv.second;
                return false;
            }
            e[size_t(f.byte)] = uint8_t((e[size_t(f.byte)] & ~f.bits) | ((v << f.shift) & f.bits));
        }
    }
    return true;
}

}  // namespace sim
