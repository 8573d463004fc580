// The size in bytes of every firmware parameter, by parameter table and
// parameter id. Both back ends pass exactly these sizes in their parameter
// blocks.
#pragma once

#include <cstdint>

class ParameterSizeTable {
  public:
    // The size of a parameter; 0 when the table has no array, the id lies
    // beyond it or its entry is 0 (parameter 0 of every table). Tables with a
    // per-object number (0x200 + port, 0x300 + unit, 0x8410 + slot,
    // 0x80 + phy) share one array for all their objects.
    static int32_t size_of(uint32_t table, uint32_t parameter);

    static const int32_t kControllerIdentity[24];  // 0x402
    static const int32_t kPortSummary[4];          // 2
    static const int32_t kUnitSummary[4];          // 3
    static const int32_t kEnclosure[8];            // 8
    static const int32_t kDrive[40];               // 0x200 + port
    static const int32_t kUnit[40];                // 0x300 + unit
    static const int32_t kControllerSettings[64];  // 0x403
    static const int32_t kBackgroundTasks[16];     // 0x840C
    static const int32_t kScheduleSlot[8];         // 0x8410 + slot
    static const int32_t kBattery[28];             // 0x8006
    static const int32_t kStatisticsControl[8];    // 9
    static const int32_t kTable10[6];              // 10
    static const int32_t kPhys[6];                 // 1
    static const int32_t kPhy[8];                  // 0x80 + phy
    static const int32_t kEventCapture[24];        // 0x407
};
