#include "web/pages/status_texts.h"

#include <cstdio>
#include <cstring>

#include "api/ctl.h"
#include "daemon/snapshot_records.h"
#include "web/pages/page_builder.h"

namespace {

constexpr int kUnitTextLength = 63;
constexpr int kElementTextLength = 31;
constexpr int kOtherCode = -1;  // the row of every code the table does not name
constexpr int kFixedText = -1;  // a row whose text is not a catalogue text

// One row of a status table: the code, its text (a catalogue code of
// category 19, or kFixedText and the English word) and its colour.
struct StatusRow {
    int code;
    int catalogue;
    const char* fixed;
    const char* colour;
};

const StatusRow kUnitStatuses[] = {
    {255, 10, nullptr, kGreen},   {251, 326, nullptr, kGreen},  {247, 327, nullptr, kYellow},
    {223, 328, nullptr, kYellow}, {175, 329, nullptr, kYellow}, {239, 331, nullptr, kRed},
    {191, 387, nullptr, kRed},    {0, 330, nullptr, kRed},      {kOtherCode, 325, nullptr, kRed},
};

const StatusRow kDriveStatuses[] = {
    {255, 10, nullptr, kGreen},
    {0, 249, nullptr, kRed},
    {1, kFixedText, "OFFLINE JBOD", kYellow},
    {2, kFixedText, "DRIVE REMOVED", kYellow},
    {217, kFixedText, "UNCONV DCB", kYellow},
    {219, kFixedText, "UNSUPP DCB", kYellow},
    {221, kFixedText, "DCB DATA CHECK", kYellow},
    {223, kFixedText, "ORPHAN", kYellow},
    {232, kFixedText, "CONFIG FAILURE", kRed},
    {236, kFixedText, "READ FAILURE", kRed},
    {238, kFixedText, "READ TIMEOUT", kRed},
    {241, kFixedText, "DEVICE ERROR", kRed},
    {245, kFixedText, "SMART FAILURE", kRed},
    {249, kFixedText, "ECC ERROR", kRed},
    {251, kFixedText, "POR OCCURRED", kYellow},
    {254, kFixedText, "NOT SUPPORTED", kRed},
    {kOtherCode, 325, nullptr, kBrown},
};

const StatusRow kBatteryStatuses[] = {
    {0, 10, nullptr, kGreen},
    {1, 249, nullptr, kRed},
    {2, 332, nullptr, kRed},
    {3, 333, nullptr, kRed},
    {4, 334, nullptr, kYellow},
    {5, 335, nullptr, kRed},
    {6, 12, nullptr, kRed},
    {7, 344, nullptr, kYellow},
    {8, 345, nullptr, kRed},
    {9, 379, nullptr, kRed},
    {kOtherCode, 325, nullptr, kBrown},
};

const StatusRow kBatteryLevels[] = {
    {0, 10, nullptr, kGreen}, {1, 336, nullptr, kYellow}, {2, 337, nullptr, kYellow},
    {3, 338, nullptr, kRed},  {4, 339, nullptr, kRed},    {kOtherCode, 325, nullptr, kBrown},
};

const StatusRow kAlarmStatuses[] = {
    {0, 10, nullptr, kGreen},           {3, 10, nullptr, kGreen}, {1, 545, nullptr, kYellow},
    {5, 545, nullptr, kYellow},         {2, 341, nullptr, kRed},  {4, 490, nullptr, kRed},
    {kOtherCode, 325, nullptr, kBrown},
};

const StatusRow kPowerSupplyStatuses[] = {
    {0, 10, nullptr, kGreen},
    {1, 490, nullptr, kRed},
    {2, 341, nullptr, kRed},
    {3, 488, nullptr, kBrown},
    {kOtherCode, 325, nullptr, kBrown},
};

const StatusRow kVoltageStates[] = {
    {0, 491, nullptr, kGreen},
    {2, 493, nullptr, kRed},
    {4, 492, nullptr, kRed},
    {kOtherCode, 325, nullptr, kBrown},
};

const StatusRow kCurrentStates[] = {
    {0, 491, nullptr, kGreen},
    {1, 494, nullptr, kRed},
    {kOtherCode, 325, nullptr, kBrown},
};

const StatusRow kEnclosureStatuses[] = {
    {2, 490, nullptr, kRed},
    {3, 11, nullptr, kYellow},
    {5, 341, nullptr, kGrey},
    {6, 481, nullptr, kYellow},
    {kOtherCode, kFixedText, "-", kGrey},
};

// The temperature sensor's rules, the first that applies: a status, or a
// flag bit (status -1).
struct SensorRule {
    int status;
    int flag;
    int catalogue;
    const char* colour;
};

const SensorRule kSensorRules[] = {
    {2, 0, 341, kRed},     {-1, 8, 495, kRed}, {-1, 4, 496, kYellow}, {-1, 2, 497, kRed},
    {-1, 1, 498, kYellow}, {0, 0, 10, kGreen}, {1, 0, 526, kRed},
};

// Copies at most `most` bytes of s, never ending inside a UTF-8 character.
void copy_text(char* out, const char* s, int most) {
    int n = static_cast<int>(strnlen(s, static_cast<size_t>(most) + 1));
    if (n > most) {
        n = most;
        while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
    }
    std::memcpy(out, s, static_cast<size_t>(n));
    out[n] = '\0';
}

void copy_colour(char* out, const char* colour) { copy_text(out, colour, kColourSize - 1); }

const StatusRow& row_of(const StatusRow* rows, int count, int code) {
    for (int i = 0; i < count - 1; ++i)
        if (rows[i].code == code) return rows[i];
    return rows[count - 1];
}

template <int N>
int format_row(PageBuilder& page, const StatusRow (&rows)[N], int code, int most, char* text,
               char* colour) {
    if (text == nullptr || colour == nullptr) return 1;
    const StatusRow& row = row_of(rows, N, code);
    copy_text(text, row.catalogue == kFixedText ? row.fixed : page.web_text(row.catalogue), most);
    copy_colour(colour, row.colour);
    return 0;
}

const char* active_word(PageBuilder& page, int task_info) {
    return page.web_text(task_info != 0 ? 168 : 169);
}

// Appends " N%" and, for the second series, " (active)" or " (paused)".
void append_progress(PageBuilder& page, char* text, int percent, int task_info, int family) {
    char with[kStatusTextSize * 2];
    if (family > 3)
        snprintf(with, sizeof with, "%s %d%% (%s)", text, percent, active_word(page, task_info));
    else
        snprintf(with, sizeof with, "%s %d%%", text, percent);
    copy_text(text, with, kUnitTextLength);
}

bool bit(uint32_t flags, uint32_t value) { return (flags & value) != 0; }

const char* const kLinkStyle =
    "style='color: #0000FF;text-decoration: underline;font-weight: bold;'";

}  // namespace

int format_unit_type(PageBuilder& page, int type, char* text) {
    if (text == nullptr) return 1;
    const char* name;
    switch (type) {
        case 0:
            name = "RAID 0";
            break;
        case 1:
        case 2:
            name = "RAID 1";
            break;
        case 5:
            name = "RAID 5";
            break;
        case 6:
            name = "RAID 10";
            break;
        case 7:
            name = "RAID 6";
            break;
        case 8:
            name = "RAID 50";
            break;
        case 11:
            name = "SINGLE DISK";
            break;
        case 12:
        case 14:
            name = "DISK";
            break;
        case 13:
            name = "SPARE";
            break;
        case 15:
            name = "JBOD";
            break;
        default:
            name = page.web_text(325);
            break;
    }
    copy_text(text, name, kUnitTextLength);
    return 0;
}

int format_unit_status(PageBuilder& page, int status, char* text, char* colour) {
    return format_row(page, kUnitStatuses, status & 0xFF, kUnitTextLength, text, colour);
}

int format_unit_statuses(PageBuilder& page, const UnitRecord& unit, char (*texts)[kStatusTextSize],
                         char (*colours)[kStatusTextSize], int* count, int family) {
    if (texts == nullptr || colours == nullptr || count == nullptr) return 1;
    int n = 0;
    auto add = [&](int status) {
        format_unit_status(page, status, texts[n], colours[n]);
        return n++;
    };
    if (unit.has_inoperable) {
        add(0);
        *count = n;
        return 0;
    }
    if (unit.has_recovering) add(191);
    if (unit.has_degraded) add(239);
    if (unit.has_rebuilding) {
        const int k = add(223);
        append_progress(page, texts[k], unit.rebuild_percent, unit.rebuild_task_info, family);
    }
    if (unit.has_verifying || unit.has_initializing || unit.has_migrating) {
        const int status = unit.has_migrating ? 175 : unit.has_initializing ? 247 : 251;
        const int k = add(status);
        append_progress(page, texts[k], unit.task_percent, unit.task_task_info, family);
    }
    if (unit.is_ok) {
        const int k = add(255);
        if ((unit.flags & 4) == 0) {
            char with[kStatusTextSize * 2];
            snprintf(with, sizeof with, "%s*", texts[k]);
            copy_text(texts[k], with, kUnitTextLength);
        }
    }
    if (unit.has_unknown) add(17);
    *count = n;
    return 0;
}

int format_drive_status(PageBuilder& page, int status, char* text, char* colour) {
    return format_row(page, kDriveStatuses, status & 0xFF, kUnitTextLength, text, colour);
}

int format_battery_status(PageBuilder& page, int status, char* text, char* colour) {
    return format_row(page, kBatteryStatuses, status, kElementTextLength, text, colour);
}

int format_battery_level(PageBuilder& page, int state, char* text, char* colour) {
    return format_row(page, kBatteryLevels, state, kElementTextLength, text, colour);
}

int format_alarm_status(PageBuilder& page, int status, char* text, char* colour) {
    return format_row(page, kAlarmStatuses, status, kElementTextLength, text, colour);
}

int format_power_supply_status(PageBuilder& page, int status, char* text, char* colour) {
    return format_row(page, kPowerSupplyStatuses, status, kElementTextLength, text, colour);
}

int format_voltage_status(PageBuilder& page, int state, char* text, char* colour) {
    return format_row(page, kVoltageStates, state, kElementTextLength, text, colour);
}

int format_current_status(PageBuilder& page, int state, char* text, char* colour) {
    return format_row(page, kCurrentStates, state, kElementTextLength, text, colour);
}

int format_sensor_status(PageBuilder& page, int status, int flags, char* text, char* colour) {
    if (text == nullptr || colour == nullptr) return 1;
    for (const SensorRule& rule : kSensorRules) {
        if (rule.status >= 0 ? status == rule.status : bit(flags, rule.flag)) {
            copy_text(text, page.web_text(rule.catalogue), kElementTextLength);
            copy_colour(colour, rule.colour);
            return 0;
        }
    }
    copy_text(text, page.web_text(325), kElementTextLength);
    copy_colour(colour, kBrown);
    return 0;
}

int format_enclosure_status(PageBuilder& page, int overall_status, bool alarm_activated, char* text,
                            char* colour) {
    if (text == nullptr || colour == nullptr) return 1;
    std::memset(text, 0, kStatusTextSize);
    std::memset(colour, 0, kColourSize);
    if (overall_status == 0 || overall_status == 1) {
        copy_text(text, page.web_text(alarm_activated ? 546 : 10), kElementTextLength);
        copy_colour(colour, alarm_activated ? kYellow : kGreen);
        return 0;
    }
    return format_row(page, kEnclosureStatuses, overall_status, kUnitTextLength, text, colour);
}

int format_slot_status(int flags, char* text, char* colour) {
    if (text == nullptr || colour == nullptr) return 1;
    std::memset(text, 0, kStatusTextSize);
    std::memset(colour, 0, kColourSize);
    const char* word = "UNKNOWN ";
    const char* shade = "";
    if (!bit(flags, 1)) {
        word = "NO DEVICE ";
    } else if (bit(flags, 8)) {
        word = "OK ";
        shade = kGreen;
    } else if (bit(flags, 4)) {
        word = "OCCUPIED ";
        shade = kYellow;
    }
    copy_text(text, word, kUnitTextLength);
    copy_colour(colour, shade);
    return 0;
}

int format_capacity(uint64_t sectors, char* text) {
    if (text == nullptr) return 1;
    // Bytes in 128 bits: a device may report any sector count.
    const unsigned __int128 bytes = static_cast<unsigned __int128>(sectors) * 512;
    int shift = 20;
    const char* unit = "MB";
    if (bytes >= static_cast<unsigned __int128>(1) << 40) {
        shift = 40;
        unit = "TB";
    } else if (bytes >= static_cast<unsigned __int128>(1) << 30) {
        shift = 30;
        unit = "GB";
    }
    unsigned long long whole = static_cast<unsigned long long>(bytes >> shift);
    const unsigned __int128 rest = bytes & ((static_cast<unsigned __int128>(1) << shift) - 1);
    int thousandths = static_cast<int>((rest * 1000) >> shift);
    if (thousandths % 10 >= 5) thousandths += 10;
    int hundredths;
    if (thousandths > 999) {
        ++whole;
        hundredths = 0;
    } else {
        hundredths = thousandths / 10;
    }
    snprintf(text, kStatusTextSize, "%llu.%02d %s", whole, hundredths, unit);
    return 0;
}

int format_memory_size(uint32_t bytes, char* text) {
    if (text == nullptr) return 1;
    if (bytes >= (1u << 30))
        snprintf(text, kStatusTextSize, "%u GB", bytes >> 30);
    else if (bytes < (1u << 20))
        snprintf(text, kStatusTextSize, "%u kB", bytes >> 10);
    else
        snprintf(text, kStatusTextSize, "%u MB", bytes >> 20);
    return 0;
}

int format_bus_info(uint32_t flags, char* protocol, char* width, char* speed) {
    if (flags == 0 || protocol == nullptr || width == nullptr || speed == nullptr) return 1;
    const char* p = "Unknown";
    const char* w = "Unknown";
    const char* s = "Unknown";
    // PCI Express first, then PCI-X, then PCI: a word that names a PCI-X
    // speed is PCI-X whatever its PCI bits say.
    if (bit(flags, 0x100) || bit(flags, 0x200)) {
        p = "PCIe";
        s = bit(flags, 0x100) ? "2.5 Gbps/lane" : "5.0 Gbps/lane";
        w = bit(flags, 0x800)    ? "1 lane"
            : bit(flags, 0x1000) ? "4 lanes"
            : bit(flags, 0x2000) ? "8 lanes"
            : bit(flags, 0x4000) ? "16 lanes"
                                 : "Unknown";
    } else if (bit(flags, 0x20) || bit(flags, 0x40) || bit(flags, 0x80)) {
        p = "PCIX";
        s = bit(flags, 0x20) ? "66 MHz" : bit(flags, 0x40) ? "100 MHz" : "133 MHz";
        w = bit(flags, 4) ? "64 bits" : "32 bits";
    } else if (bit(flags, 8) || bit(flags, 0x10)) {
        p = "PCI";
        s = bit(flags, 8) ? "33 MHz" : "66 MHz";
        w = bit(flags, 4) ? "64 bits" : "32 bits";
    }
    copy_text(protocol, p, kUnitTextLength);
    copy_text(width, w, kUnitTextLength);
    copy_text(speed, s, kUnitTextLength);
    return 0;
}

bool later_generation(const ControllerRecord& controller) {
    return controller.family > 7 || controller.extended_device_info != 0;
}

const char* link_speed_name(int speed) {
    switch (speed) {
        case 1:
            return "1.5 Gbps";
        case 2:
            return "3.0 Gbps";
        case 4:
            return "6.0 Gbps";
        default:
            return nullptr;
    }
}

const char* format_link_type(int link_type, const ControllerRecord& controller) {
    if (!later_generation(controller)) return "--";
    switch (link_type) {
        case 0:
            return "No Device";
        case 1:
        case 3:
            return "Direct Attached";
        case 5:
        case 7:
            return "Expander Attached";
        default:
            return "--";
    }
}

const char* format_drive_interface(int link_type, const ControllerRecord& controller) {
    if (!later_generation(controller)) return "SATA";
    switch (link_type) {
        case 1:
        case 5:
            return "SATA";
        case 3:
        case 7:
            return "SAS";
        default:
            return "--";
    }
}

int write_phy_link(PageBuilder& page, int link_type, const ControllerRecord& controller,
                   ObjectId drive) {
    char link[256];
    snprintf(link, sizeof link, "--");
    if (later_generation(controller) && (link_type == 1 || link_type == 3)) {
        ObjectId phy;
        std::memset(phy.b, 0xFF, sizeof phy.b);
        uint8_t owner = 0xFF;
        uint8_t number = 0xFF;
        if (ctl_get_drive_phy(drive, &phy) == 0 && ctl_parse_phy_id(phy, &owner, &number) == 0)
            snprintf(link, sizeof link, "<a href='javascript:goto_physummary(%d)' %s>%d</a>",
                     number, kLinkStyle, number);
    }
    page.text_body().append(link);
    return 0;
}

int write_slot_link(PageBuilder& page, int link_type, const ControllerRecord& controller,
                    ObjectId slot, EnclosureListCache* cache) {
    char link[256];
    snprintf(link, sizeof link, "--");
    uint8_t enclosure_number = 0xFF;
    uint8_t slot_number = 0xFF;
    if (!later_generation(controller)) {
        // A drive that no enclosure holds comes with a slot of index 255:
        // not a place to show.
        if (ctl_decode_slot_id(slot, &enclosure_number, &slot_number) == 0 && slot_number != 255)
            snprintf(link, sizeof link, "Enclosure %d Slot %d", enclosure_number, slot_number);
    } else if (link_type == 5 || link_type == 7) {
        ObjectId enclosure;
        uint8_t owner = 0xFF;
        uint8_t index = 0xFF;
        ObjectId controller_id;
        if (ctl_decode_slot_id(slot, &enclosure_number, &slot_number) == 0 &&
            ctl_make_enclosure_id_raw(slot.b, &enclosure) == 0 &&
            ctl_decode_enclosure_id(enclosure, &owner, &index) == 0 &&
            ctl_make_controller_id(controller.controller_index, &controller_id) == 0) {
            const int position = find_enclosure_position(controller_id, index, cache);
            if (position >= 0)
                snprintf(link, sizeof link,
                         "<a href='javascript:goto_enclosure(%d,%d);' "
                         "style='color:#0000FF;text-decoration:underline;font-weight:bold;'>"
                         "Enclosure %d Slot %d</a>",
                         position, slot_number, index, slot_number);
        }
    }
    page.text_body().append(link);
    return 0;
}

int find_enclosure_position(ObjectId controller, int enclosure, EnclosureListCache* cache) {
    EnclosureListCache local;
    if (cache == nullptr) cache = &local;
    EnclosureIdList& list = cache->list;
    if (!cache->read) {
        std::memset(&list, 0xFF, sizeof list);
        list.count = 0;
        ctl_get_enclosure_list(controller, &list);
        cache->read = true;
    }
    const int count = static_cast<int32_t>(list.count);
    if (count < 1 || count > 16) return -1;
    for (int i = 0; i < count; ++i) {
        uint8_t owner = 0xFF;
        uint8_t index = 0xFF;
        if (ctl_decode_enclosure_id(list.ids[i], &owner, &index) == 0 && index == enclosure)
            return i;
    }
    return -2;
}
