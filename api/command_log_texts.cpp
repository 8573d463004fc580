// The words and names of the command log's lines, and the text formatters
// of CommandLogger.
#include "api/command_log_texts.h"

#include <cstdio>
#include <cstring>

#include "api/command_logger.h"
#include "api/ctl.h"

namespace command_log_text {

namespace {

constexpr uint8_t kNoNumber = 0xFF;

// Copies the text, cut to fit.
void put(const char* from, char* text, size_t size) { std::snprintf(text, size, "%s", from); }

}  // namespace

const char* outcome(int result) { return result == 0 ? "Success" : "Failed"; }

const char* yes_no(int value) { return value != 0 ? "yes" : "no"; }

const char* selftest_flags(uint16_t flags) {
    static constexpr const char* kNames[] = {"DISABLED", "DMA", "SMART", "DMA|SMART"};
    return flags < 4 ? kNames[flags] : "UNKNOWN";
}

void auto_rebuild_policy(int policy, char* text, size_t size) {
    if (policy < 0 || policy > 0xFF) return put("illegal", text, size);
    if (policy == 0) return put("OFF", text, size);
    if (policy == 0xFF) return put("ALL", text, size);
    static constexpr const char* kBits[] = {"CBOD", "JBOD", "FAILED DISK"};
    char joined[64] = "";
    for (unsigned bit = 0; bit < 3; ++bit) {
        if ((policy & (1u << bit)) == 0) continue;
        if (joined[0] != '\0') std::strcat(joined, ", ");
        std::strcat(joined, kBits[bit]);
    }
    put(joined[0] != '\0' ? joined : "UNKNOWN", text, size);
}

const char* protection_mode(int mode) {
    static constexpr const char* kNames[] = {"protect", "balance", "perform"};
    return mode >= 0 && mode < 3 ? kNames[mode] : "illegal";
}

const char* recovery_policy(int policy) {
    switch (policy) {
    case 0: return "Disable";
    case 1: return "Rebuild";
    case 3: return "All";
    default: return "illegal";
    }
}

bool schedule_start(int start, const char** day, int* hour) {
    // Saturday 23:45, the last quarter hour a slot can start at.
    constexpr int kLastStart = 10065;
    constexpr int kMinutesPerDay = 1440;
    static constexpr const char* kDays[] = {"Sun.", "Mon.", "Tue.", "Wed.", "Thu.", "Fri.", "Sat."};
    if (start < 0 || start > kLastStart) return false;
    *day = kDays[start / kMinutesPerDay];
    *hour = start % kMinutesPerDay / 60;
    return true;
}

uint8_t controller_number(ObjectId controller) {
    uint8_t number = kNoNumber;
    if (controller.b[0] == kKindController) ctl_parse_controller_id(controller, &number);
    return number;
}

namespace {

struct UnitNumbers {
    uint8_t controller = kNoNumber, level3, unit = kNoNumber, level1, level2;
};

UnitNumbers unit_numbers(ObjectId unit) {
    UnitNumbers n;
    if (unit.b[0] == kKindUnit)
        ctl_parse_unit_id(unit, &n.controller, &n.level3, &n.unit, &n.level1, &n.level2);
    return n;
}

struct DriveNumbers {
    uint8_t controller = kNoNumber, port = kNoNumber;
};

DriveNumbers drive_numbers(ObjectId drive) {
    DriveNumbers n;
    if (drive.b[0] == kKindDrive) ctl_parse_drive_id(drive, &n.controller, &n.port);
    return n;
}

}  // namespace

uint8_t unit_controller(ObjectId unit) { return unit_numbers(unit).controller; }

uint8_t unit_number(ObjectId unit) { return unit_numbers(unit).unit; }

uint8_t drive_controller(ObjectId drive) { return drive_numbers(drive).controller; }

uint8_t port_number(ObjectId drive) { return drive_numbers(drive).port; }

uint8_t phy_number(ObjectId phy) {
    uint8_t controller, number = kNoNumber;
    if (phy.b[0] == kKindPhy) ctl_parse_phy_id(phy, &controller, &number);
    return number;
}

void clear_id(ObjectId* id) {
    if (id != nullptr) std::memset(id->b, kNoNumber, sizeof id->b);
}

ObjectId returned_id(const ObjectId* id) {
    ObjectId none;
    clear_id(&none);
    return id != nullptr ? *id : none;
}

}  // namespace command_log_text

int CommandLogger::unit_type_text(int32_t type, char* text, size_t size) {
    if (text == nullptr) return 1;
    const char* name = "UNKNOWN";
    switch (type) {
    case 0: name = "RAID 0"; break;
    case 1:
    case 2: name = "RAID 1"; break;
    case 5: name = "RAID 5"; break;
    case 6: name = "RAID 10"; break;
    case 7: name = "RAID 6"; break;
    case 8: name = "RAID 50"; break;
    case 11: name = "SINGLE DISK"; break;
    case 12:
    case 14: name = "DISK"; break;
    case 13: name = "SPARE"; break;
    case 15: name = "JBOD"; break;
    }
    command_log_text::put(name, text, size);
    return 0;
}

int CommandLogger::stripe_text(int32_t type, int32_t stripe, char* text, size_t size) {
    // Stripe codes name 1 << (code - 1) KiB; no unit stripes wider than the
    // codes a byte can hold.
    const bool striped = type == 0 || type == 5 || type == 6 || type == 7 || type == 8;
    if (!striped || stripe < 1 || stripe > 32) {
        command_log_text::put("n/a", text, size);
        return 0;
    }
    std::snprintf(text, size, "%u", 1u << (stripe - 1));
    return 0;
}

int CommandLogger::drive_list_text(const IdList* drives, char* text, size_t size) {
    text[0] = '\0';
    constexpr uint32_t kRoom = sizeof drives->ids / sizeof drives->ids[0];
    const uint32_t count = drives->count < kRoom ? drives->count : kRoom;
    size_t used = 0;
    for (uint32_t i = 0; i < count && used + 1 < size; ++i) {
        const int n = std::snprintf(text + used, size - used, "%s%u", used == 0 ? "" : " ",
                                    command_log_text::port_number(drives->ids[i]));
        if (n < 0) break;
        used += size_t(n);
    }
    return 0;
}
