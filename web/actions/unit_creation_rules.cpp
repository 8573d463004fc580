#include "web/actions/unit_creation_rules.h"

#include <cstring>
#include <initializer_list>

#include "api/command_logger.h"
#include "api/ctl.h"
#include "daemon/snapshot_records.h"
#include "web/actions/request_values.h"
#include "web/pages/status_texts.h"

namespace {

constexpr int kFirstSeries = 3;
constexpr int kMaxNameBytes = 20;
constexpr uint8_t kNone = 0xFF;
constexpr int kPresent = 128;  // a port status of 128 or more: a drive is there
constexpr uint8_t kExportedFlag = 1;

// Name, code, stripe kept, drives per subunit kept, ECC policy set, one unit
// per drive; a type whose stripe or drives per subunit are not kept gets 0.
const UnitType kUnitTypes[] = {
    {"RAID 0", kUnitRaid0, true, false, false, false},
    {"RAID 10", kUnitRaid10, true, false, true, false},
    {"RAID 1", kUnitRaid1, false, false, true, false},
    {"RAID 50", kUnitRaid50, true, true, true, false},
    {"RAID 5", kUnitRaid5, true, false, true, false},
    {"RAID 6", kUnitRaid6, true, false, true, false},
    {"JBOD", kUnitJbod, false, false, false, true},
    {"Single Disk", kUnitSingle, false, false, false, true},
    {"CBOD", kUnitDisk, false, false, false, false},
    {"Spare Disk", kUnitSpare, false, false, false, true},
};

// Whether a RAID 50 may have this many drives: 6 or more, but none of the
// counts the page leaves out.
bool raid50_count(int drives) {
    static const int kUneven[] = {7, 11, 13, 17, 19, 23, 25, 29, 31};
    if (drives < 6) return false;
    for (int n : kUneven)
        if (n == drives) return false;
    return true;
}

// The drives per subunit a RAID 50 of each drive count may have.
struct Subunits {
    int drives;
    int choices[3];
};
const Subunits kSubunits[] = {
    {6, {3}},      {8, {4}},       {9, {3}},         {10, {5}},    {12, {3, 4, 6}},
    {14, {7}},     {15, {5}},      {16, {4, 8}},     {18, {6, 9}}, {20, {5, 10}},
    {21, {7}},     {22, {11}},     {24, {6, 8, 12}}, {26, {13}},   {27, {9}},
    {28, {7, 14}}, {30, {10, 15}}, {32, {8, 16}},    {33, {11}},   {34, {17}},
};

bool second_series(const ControllerRecord& controller) { return controller.family > kFirstSeries; }

bool one_of(int value, std::initializer_list<int> values) {
    for (int v : values)
        if (v == value) return true;
    return false;
}

// The fewest drives that hold the data of a unit of this type.
int data_drives(int type, int drives, int subunit_drives) {
    switch (type) {
        case kUnitRaid0:
        case 1:
        case kUnitRaid1:
            return drives;
        case kUnitRaid5:
            return drives - 1;
        case kUnitRaid6:
            return drives - 2;
        case kUnitRaid10:
            return drives / 2;
        case kUnitRaid50:
            return subunit_drives > 0 ? (subunit_drives - 1) * (drives / subunit_drives) : drives;
        default:
            return 1;
    }
}

// Code points the page's name check counts as blanks (besides ASCII ones).
bool unicode_blank(uint32_t c) {
    return c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 ||
           c == 0x202F || c == 0x205F || c == 0x3000 || c == 0xFEFF;
}

// The code point at p (well-formed UTF-8 only) and its length, 0 for none.
int decode_utf8(const unsigned char* p, uint32_t* c) {
    const unsigned char b = p[0];
    int n = b < 0x80             ? 1
            : (b & 0xE0) == 0xC0 ? 2
            : (b & 0xF0) == 0xE0 ? 3
            : (b & 0xF8) == 0xF0 ? 4
                                 : 0;
    if (n == 0) return 0;
    uint32_t value = n == 1 ? b : b & (0x7F >> n);
    for (int i = 1; i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 0;
        value = value << 6 | (p[i] & 0x3F);
    }
    static const uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kLeast[n] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    *c = value;
    return n;
}

ObjectId none_id() {
    ObjectId id;
    std::memset(id.b, kNone, sizeof id.b);
    return id;
}

// The single disk unit (type 12, top level) that holds the drive, into
// *unit; false when it is held by none or by another kind of unit.
bool single_disk_holder(ObjectId drive, int own_unit, ObjectId* unit) {
    uint8_t controller = 0, level3 = 0, number = 0, level1 = 0, level2 = 0;
    int32_t type = -1;
    return ctl_get_drive_unit(drive, unit) == 0 &&
           ctl_parse_unit_id(*unit, &controller, &level3, &number, &level1, &level2) == 0 &&
           number != kNone && level1 == kNone && number != own_unit &&
           ctl_get_unit_type(*unit, &type) == 0 && type == kUnitDisk;
}

}  // namespace

const UnitType* find_unit_type(const char* name) {
    if (name == nullptr) return nullptr;
    for (const UnitType& t : kUnitTypes)
        if (std::strcmp(t.name, name) == 0) return &t;
    return nullptr;
}

bool create_type_offered(const UnitType& type, int drives, const ControllerRecord& controller) {
    if (drives < 1) return false;
    switch (type.code) {
        case kUnitRaid0:
            return drives >= 2;
        case kUnitRaid1:
            return drives == 2;
        case kUnitRaid5:
            return drives >= 3;
        case kUnitRaid6:
            return controller.raid6_allowed != 0 && drives >= 5;
        case kUnitRaid10:
            return drives >= 4 && drives % 2 == 0;
        case kUnitRaid50:
            return second_series(controller) && raid50_count(drives);
        default:
            return true;  // one unit per drive, or a drive of its own
    }
}

bool migrate_type_offered(const UnitType& type, int drives, int current_type, int unit_drives,
                          int subunit_drives, const ControllerRecord& controller) {
    if (drives < 2) return false;
    const int least = data_drives(current_type, unit_drives, subunit_drives);
    const bool mirror = current_type == 1 || current_type == kUnitRaid1;
    switch (type.code) {
        case kUnitRaid0:
            return drives >= least;
        case kUnitRaid5:
            return drives > 2 && drives >= least + 1;
        case kUnitRaid10:
            return drives >= 4 && drives % 2 == 0 && drives >= 2 * least;
        case kUnitRaid50:
            return second_series(controller) && raid50_count(drives) && drives >= least + 2;
        case kUnitRaid6:
            return controller.raid6_allowed != 0 && drives >= 5 && drives >= least + 2;
        case kUnitRaid1:
            return drives == 2 && (mirror || current_type == kUnitSingle);
        case kUnitSingle:
            return drives == 2 && mirror;
        default:
            return false;
    }
}

bool stripe_offered(const UnitType& type, int stripe, const ControllerRecord& controller) {
    if (!type.keeps_stripe) return true;
    if (second_series(controller)) {
        if (type.code == kUnitRaid6) return one_of(stripe, {7, 9});
        return one_of(stripe, {5, 7, 9});
    }
    if (type.code == kUnitRaid0 || type.code == kUnitRaid10)
        return one_of(stripe, {7, 8, 9, 10, 11});
    return stripe == 7;
}

bool subunits_offered(int drives, int per_subunit) {
    if (per_subunit == 0) return true;
    for (const Subunits& s : kSubunits)
        if (s.drives == drives)
            for (int choice : s.choices)
                if (choice != 0 && choice == per_subunit) return true;
    return false;
}

bool unit_name_valid(const char* name) {
    return name != nullptr && std::strlen(name) <= kMaxNameBytes &&
           unit_name_characters_valid(name);
}

bool unit_name_characters_valid(const char* name) {
    if (name == nullptr) return false;
    const auto* p = reinterpret_cast<const unsigned char*>(name);
    while (*p != '\0') {
        uint32_t c = 0;
        const int n = decode_utf8(p, &c);
        if (n == 0) return false;
        if (c <= 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F) || unicode_blank(c)) return false;
        if (c < 0x80 && std::strchr("%&,;:\"'{}|\\~`*[]<>()@", static_cast<int>(c)) != nullptr)
            return false;
        p += n;
    }
    return true;
}

DriveClass drive_class(uint8_t interface) {
    if (interface == 1 || interface == 5) return kClassSata;
    if (interface == 3 || interface == 7) return kClassSas;
    return kClassNone;
}

DriveRefusal check_drive(const ControllerRecord& controller, int port, ObjectId* drive) {
    if (port < 0 || port > 127 || make_drive_id(controller.controller_index, port, drive) != 0)
        return kDriveAbsent;
    uint8_t status = 0;
    if (ctl_get_drive_status(*drive, &status) != 0) return kDriveUnknown;
    if (status < kPresent) return kDriveAbsent;
    ObjectId unit = none_id();
    if (ctl_get_drive_unit(*drive, &unit) != 0) return kDriveUnknown;
    uint8_t c = 0, level3 = 0, number = 0, level1 = 0, level2 = 0;
    if (ctl_parse_unit_id(unit, &c, &level3, &number, &level1, &level2) != 0) return kDriveInUse;
    if (number == kNone) {
        uint8_t flags = 0;
        if (controller.family > 4 && ctl_get_drive_flags(*drive, &flags) == 0 &&
            (flags & kExportedFlag) != 0)
            return kDriveInUse;
        return kDriveFree;
    }
    if (level1 != kNone) return kDriveInUse;
    int32_t type = -1;
    if (ctl_get_unit_type(unit, &type) != 0) return kDriveUnknown;
    return type == kUnitDisk ? kDriveFree : kDriveInUse;
}

void release_single_disks(CommandLogger* logger, const IdList& drives, int own_unit) {
    const uint32_t count = drives.count > 128 ? 128 : drives.count;
    for (uint32_t i = 0; i < count; ++i) {
        ObjectId unit = none_id();
        if (single_disk_holder(drives.ids[i], own_unit, &unit)) logger->delete_unit(unit, 0);
    }
}
