// The words and colours the pages show for the library's status codes, and
// the formatters of sizes, bus data, drive links and enclosure slot links
// that several pages share. Catalogue texts are looked up in the configured
// language through the page builder.
//
// Text buffers hold kStatusTextSize characters, colour buffers
// kColourSize; a text is cut to the length its table allows (63 for units
// and drives, 31 for batteries and enclosure elements). A formatter given a
// null buffer writes nothing and returns 1; otherwise it returns 0.
#pragma once

#include <cstdint>

#include "driver/object_id.h"

class PageBuilder;
struct ControllerRecord;
struct UnitRecord;

constexpr int kStatusTextSize = 64;
constexpr int kColourSize = 32;
// The composite unit status has at most this many entries.
constexpr int kMaxUnitStatuses = 6;

// Colours as the pages write them.
inline constexpr const char* kGreen = "#009900";
inline constexpr const char* kYellow = "#D8D800";
inline constexpr const char* kRed = "#FF0000";
inline constexpr const char* kBrown = "brown";
inline constexpr const char* kGrey = "#AAAAAA";

int format_unit_type(PageBuilder& page, int type, char* text);
int format_unit_status(PageBuilder& page, int status, char* text, char* colour);
// The unit's statuses as (text, colour) entries, in the pages' order; the
// number of entries in *count.
int format_unit_statuses(PageBuilder& page, const UnitRecord& unit, char (*texts)[kStatusTextSize],
                         char (*colours)[kStatusTextSize], int* count, int family);
int format_drive_status(PageBuilder& page, int status, char* text, char* colour);
int format_battery_status(PageBuilder& page, int status, char* text, char* colour);
// A battery's voltage or temperature state.
int format_battery_level(PageBuilder& page, int state, char* text, char* colour);
int format_alarm_status(PageBuilder& page, int status, char* text, char* colour);
int format_sensor_status(PageBuilder& page, int status, int flags, char* text, char* colour);
int format_power_supply_status(PageBuilder& page, int status, char* text, char* colour);
int format_voltage_status(PageBuilder& page, int state, char* text, char* colour);
int format_current_status(PageBuilder& page, int state, char* text, char* colour);
// An enclosure's overall status; alarm_activated when any of its audible
// alarms has status 1 or 5.
int format_enclosure_status(PageBuilder& page, int overall_status, bool alarm_activated, char* text,
                            char* colour);
int format_slot_status(int flags, char* text, char* colour);

// Sizes: sectors of 512 bytes as "%d.%02d MB|GB|TB"; bytes as "%u kB|MB|GB".
int format_capacity(uint64_t sectors, char* text);
int format_memory_size(uint32_t bytes, char* text);
// The bus flags as protocol, width and speed; flags 0 return 1 and write
// nothing.
int format_bus_info(uint32_t flags, char* protocol, char* width, char* speed);

// True for a controller of a later generation: family above 7 or extended
// device information.
bool later_generation(const ControllerRecord& controller);
// Fixed texts of a drive link type (0 none, 1 SATA direct, 3 SAS direct, 5
// SATA behind an expander, 7 SAS behind an expander).
const char* format_link_type(int link_type, const ControllerRecord& controller);
const char* format_drive_interface(int link_type, const ControllerRecord& controller);
// The name of a link speed (1, 2 or 4: "1.5 Gbps", "3.0 Gbps", "6.0 Gbps");
// null for any other value.
const char* link_speed_name(int speed);

// Appends the drive's phy as a link to the phy page, or "--".
int write_phy_link(PageBuilder& page, int link_type, const ControllerRecord& controller,
                   ObjectId drive);
// A controller's enclosure list as the slot links read it: read once for
// all the links of a page (empty: not read yet).
struct EnclosureListCache {
    bool read = false;
    EnclosureIdList list;
};

// Appends the drive's enclosure slot (a link to the enclosure page on later
// generations), or "--". A page writing many links passes one cache for
// them, so the controller's enclosure list is read once.
int write_slot_link(PageBuilder& page, int link_type, const ControllerRecord& controller,
                    ObjectId slot, EnclosureListCache* cache = nullptr);
// The position of enclosure index `enclosure` in the controller's enclosure
// list: -1 when the list cannot be read or holds no enclosure (or more than
// 16), -2 when no entry is that enclosure.
int find_enclosure_position(ObjectId controller, int enclosure,
                            EnclosureListCache* cache = nullptr);
