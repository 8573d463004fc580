// The controller firmware's parameter tables: which tables and parameters
// exist, their sizes, and their values. The sizes are the firmware's own
// list; a GET or SET that names another size is refused.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sim/machine.h"

namespace sim {

namespace {

// Tables whose ids run from first to last share one list of "id=size";
// "id=*" takes any size.
struct TableSizes {
    uint16_t first, last;
    const char* sizes;
};

const char kIdentity[] =
    "1=2 2=16 3=16 4=16 5=8 6=8 7=8 8=16 9=20 10=4 11=4 12=8 13=16 14=4 15=4 16=4 17=4 18=8 19=8 "
    "20=4 21=8 22=2 23=1";
const char kDrive[] =
    "1=2 2=4 3=40 4=20 5=2 6=2 7=2 8=2 9=2 10=2 11=1 12=1 13=4 14=8 15=1 16=1 17=1 18=1 19=2 20=2 "
    "21=2 22=2 23=8 24=1 25=1 26=1 27=8 28=8 29=8 30=1 31=1 32=1 33=2";
const char kSettings[] =
    "1=2 2=2 3=1 4=4 5=4 6=4 7=1 8=1 9=1 10=1 11=1 12=1024 13=8192 14=8192 15=2 16=2 17=1 18=1 "
    "19=1 20=1 21=8 22=1 23=1 24=1 25=1 26=4 27=1 28=1 29=8 30=4 31=4 32=4 33=1 34=1 35=1 36=1 "
    "37=1 38=1 39=2 40=2 41=2 42=1 43=8 44=1 45=4 46=1 47=4 48=4 49=4 50=4 51=4 52=1 53=1 54=1 "
    "55=1 56=2 57=1 58=2 59=2 60=4 61=4 62=255 63=1";
const char kUnitSecond[] =
    "1=2 2=1 3=1 4=4 5=2 6=2 7=1 8=1 9=2 10=1 11=20 12=8 13=1 14=1 15=1 16=1 17=21 18=20 19=8 "
    "20=1 21=1 22=2 23=2 24=2 25=* 26=1 27=1 28=1 29=1 30=1 31=2 32=1";

const TableSizes kSecondSeries[] = {
    {0x8402, 0x8402, kIdentity},
    {0x8002, 0x8002, "1=2 2=2 3=128"},
    {0x8003, 0x8003, "1=2 2=2 3=32"},
    {0x8008, 0x8008, "1=2 2=1 3=1024 4=32"},
    {0x8200, 0x827F, kDrive},
    {0x8300, 0x833F, kUnitSecond},
    {0x8403, 0x8403, kSettings},
    {0x840C, 0x840C, "2=1 3=1 4=1 5=1 6=1 7=1 8=2 9=2 10=1 11=2 12=8 13=1 14=1 15=2"},
    {0x8410, 0x8416, "2=2 3=4 4=4"},
    {0x8006, 0x8006,
     "2=4 3=20 4=16 5=16 6=1 7=32 8=12 9=12 10=1 11=1 12=4 13=1 15=2 16=2 17=2 18=1 19=4 20=2 "
     "21=12 22=12 23=1 24=1 25=2 26=2"},
    {0x8009, 0x8009, "2=2 3=512 4=1 5=28 6=20"},
    {0x800A, 0x800A, "2=1 3=1 4=2 5=1"},
    {0x8001, 0x8001, "1=2 2=1"},
    {0x8080, 0x80FF, "1=2 2=1 3=1 4=1 5=1 6=8 7=2"},
    {0x8407, 0x8407,
     "1=2 2=4 3=4 4=4 5=4 6=32832 7=4 8=4 9=4 10=4 11=4 12=4 13=4 14=8 15=4 16=8 17=8"},
};

// The first series keeps fewer tables; its port and unit status lists are
// 16 bytes and a unit's descriptor has the length it has.
const TableSizes kFirstSeries[] = {
    {0x0402, 0x0402, kIdentity},
    {0x0002, 0x0002, "1=2 2=2 3=16"},
    {0x0003, 0x0003, "1=2 2=2 3=16"},
    {0x0200, 0x020F, kDrive},
    {0x0300, 0x030F, "1=2 2=1 3=1 4=4 5=2 6=* 7=1 8=1"},
    {0x0403, 0x0403, kSettings},
    {0x0405, 0x0405, "3=1 4=1"},
    {0x0406, 0x0406, "2=16"},
};

const TableSizes* find_table(const Controller& c, uint16_t table) {
    const bool first = c.series() == Series::First;
    const TableSizes* begin = first ? kFirstSeries : kSecondSeries;
    size_t n = first ? sizeof kFirstSeries / sizeof *kFirstSeries
                     : sizeof kSecondSeries / sizeof *kSecondSeries;
    for (size_t i = 0; i < n; ++i)
        if (table >= begin[i].first && table <= begin[i].last) return &begin[i];
    return nullptr;
}

// Per-object tables exist only for the objects the controller has.
bool object_exists(const Controller& c, const TableSizes& t, uint16_t table) {
    if (t.first == t.last) return true;
    int number = table - t.first;
    switch (t.first & 0x7FFF) {
        case 0x200:
            return number < c.attr_number("ports", 4);
        case 0x300:
            return c.units.count(number) != 0;
        case 0x080:
            return number < c.attr_number("phys", c.attr_number("ports", 4));
        default:
            return true;
    }
}

// Size of parameter id in a list; 0 when absent, -2 when any size goes.
long size_in(const char* sizes, uint16_t id) {
    const char* p = sizes;
    while (*p) {
        char* end = nullptr;
        long key = std::strtol(p, &end, 10);
        p = end + 1;  // past '='
        long size = -2;
        if (*p == '*') {
            ++p;
        } else {
            size = std::strtol(p, &end, 10);
            p = end;
        }
        if (key == id) return size;
        while (*p == ' ') ++p;
    }
    return 0;
}

void put_number(std::vector<uint8_t>& out, unsigned long long v) {
    for (size_t i = 0; i < out.size() && i < 8; ++i) out[i] = uint8_t(v >> (8 * i));
}

void put_text(std::vector<uint8_t>& out, const std::string& text) {
    std::memcpy(out.data(), text.data(), std::min(out.size(), text.size()));
}

}  // namespace

long parameter_size(const Controller& c, uint16_t table, uint16_t id) {
    const TableSizes* t = find_table(c, table);
    if (t == nullptr || !object_exists(c, *t, table)) return 0;
    long size = size_in(t->sizes, id);
    return size == 0 ? -1 : size;
}

std::vector<uint8_t> parameter_value(const Controller& c, uint16_t table, uint16_t id, long size) {
    std::vector<uint8_t> out(size_t(size), 0);
    auto stored = c.params.find(uint32_t(table) << 16 | id);
    if (stored != c.params.end()) {
        std::memcpy(out.data(), stored->second.data(), std::min(out.size(), stored->second.size()));
        return out;
    }
    // Values the controller's description gives.
    switch (table & 0x7FFF) {
        case 0x402:
            switch (id) {
                case 2:
                    put_text(out, c.attr("boot", "BL 1.00.00.001"));
                    break;
                case 3:
                    put_text(out, c.attr("firmware", "FW 4.10.00.024"));
                    break;
                case 4:
                    put_text(out, c.attr("bios", "BE 1.08.00.020"));
                    break;
                case 8:
                    put_text(out, c.attr("model", "QX-0000"));
                    break;
                case 9:
                    put_text(out, c.attr("serial", "SIM00000000"));
                    break;
                case 10:
                    put_number(out, c.attr_number("memory", 256));
                    break;
                case 11:
                    put_number(out, c.attr_number("fw-level", 36));
                    break;
                case 14:
                    put_number(out, c.attr_number("arch", 0));
                    break;
            }
            break;
        case 0x403:
            if (id == 3) put_number(out, c.attr_number("ports", 4));
            break;
        case 0x002:
            if (id == 2) put_number(out, c.drives.size());
            break;
        case 0x003:
            if (id == 2) put_number(out, c.units.size());
            if (id == 3)
                for (const auto& u : c.units)
                    if (size_t(u.first) < out.size()) out[u.first] = 1;
            break;
    }
    return out;
}

void store_parameter(Machine& m, Controller& c, uint16_t table, uint16_t id,
                     const std::vector<uint8_t>& value) {
    c.params[uint32_t(table) << 16 | id] = value;
    char key[96];
    std::snprintf(key, sizeof key, "param index=%d table=0x%04X id=%u value=", c.index, table, id);
    std::string line = key + std::string("hex:");
    for (uint8_t b : value) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x", b);
        line += hex;
    }
    bool replaced = false;
    for (std::string& old : m.persisted) {
        if (old.rfind(key, 0) == 0) {
            old = line;
            replaced = true;
        }
    }
    if (!replaced) m.persisted.push_back(line);
    save_state(m);
}

}  // namespace sim
