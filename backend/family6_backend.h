// The second-series back end with the operations of families 6, 7, 8 and
// 10: later-generation settings of drives, units and the controller. It has
// no state of its own.
#pragma once

#include "backend/series_backend.h"

class Family6Backend : public SeriesBackend {
  public:
    static constexpr size_t kTable9Entries = 256;
    static constexpr size_t kTable9ListSize = 2 + 2 * kTable9Entries;  // count, then entries

#define SETTING_ROW SETTING_DECLARATION
#include "backend/family6_settings.def"
#undef SETTING_ROW
    // The 256 entries of table 9; out is written only on success.
    int get_table9_entries(ObjectId id, uint16_t* out) const;
    // The caller's kTable9ListSize bytes are cleared, then filled with the
    // count and the entries when both reads succeed.
    int get_table9_list(ObjectId id, uint8_t* out) const;
    // Lanes times the speed of a lane (250 or 500); API error 2 when the bus
    // information names no lane speed.
    int get_bus_bandwidth(ObjectId id, uint32_t* out) const;
    // Selector 1 names setting 54, any other setting 55.
    int get_controller_setting_54_55(ObjectId id, int32_t selector, uint8_t* out) const;
    int set_controller_setting_54_55(ObjectId id, int32_t selector, uint8_t value) const;
    // 0xFFFF means unset: present 0 and value 0; else present 1.
    int get_controller_setting_56(ObjectId id, uint8_t* present, uint16_t* value) const;
};
