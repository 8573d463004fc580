// The parameter sizes of the firmware's parameter tables. Entries not named
// are 0; entry 0 is always 0.
#include "backend/parameter_size_table.h"

#include <cstddef>

namespace {

// Which array serves which table ids.
struct TableRoute {
    uint32_t first_table;
    uint32_t last_table;
    const int32_t* sizes;
    uint32_t entries;
};

template <size_t N>
constexpr TableRoute route(uint32_t first, uint32_t last, const int32_t (&sizes)[N]) {
    return TableRoute{first, last, sizes, uint32_t(N)};
}

}  // namespace

// Indexed by parameter id; the comment gives the id of each line's first
// entry.
// clang-format off
// 0x402 controller identity
const int32_t ParameterSizeTable::kControllerIdentity[24] = {
    /*  0 */ 0, 2, 16, 16, 16, 8, 8, 8, 16, 20,
    /* 10 */ 4, 4, 8, 16, 4, 4, 4, 4, 8, 8,
    /* 20 */ 4, 8, 2, 1,
};

// 2 port summary
const int32_t ParameterSizeTable::kPortSummary[4] = {
    /*  0 */ 0, 2, 2, 128,
};

// 3 unit summary
const int32_t ParameterSizeTable::kUnitSummary[4] = {
    /*  0 */ 0, 2, 2, 32,
};

// 8 enclosure
const int32_t ParameterSizeTable::kEnclosure[8] = {
    /*  0 */ 0, 2, 1, 1024, 32, 0, 0, 0,
};

// 0x200 + port drive
const int32_t ParameterSizeTable::kDrive[40] = {
    /*  0 */ 0, 2, 4, 40, 20, 2, 2, 2, 2, 2,
    /* 10 */ 2, 1, 1, 4, 8, 1, 1, 1, 1, 2,
    /* 20 */ 2, 2, 2, 8, 1, 1, 1, 8, 8, 8,
    /* 30 */ 1, 1, 1, 2, 0, 0, 0, 0, 0, 0,
};

// 0x300 + unit unit
const int32_t ParameterSizeTable::kUnit[40] = {
    /*  0 */ 0, 2, 1, 1, 4, 2, 2, 1, 1, 2,
    /* 10 */ 1, 20, 8, 1, 1, 1, 1, 21, 20, 8,
    /* 20 */ 1, 1, 2, 2, 2, 20, 1, 1, 1, 1,
    /* 30 */ 1, 2, 1, 0, 0, 0, 0, 0, 0, 0,
};

// 0x403 controller settings
const int32_t ParameterSizeTable::kControllerSettings[64] = {
    /*  0 */ 0, 2, 2, 1, 4, 4, 4, 1, 1, 1,
    /* 10 */ 1, 1, 1024, 8192, 8192, 2, 2, 1, 1, 1,
    /* 20 */ 1, 8, 1, 1, 1, 1, 4, 1, 1, 8,
    /* 30 */ 4, 4, 4, 1, 1, 1, 1, 1, 1, 2,
    /* 40 */ 2, 2, 1, 8, 1, 4, 1, 4, 4, 4,
    /* 50 */ 4, 4, 1, 1, 1, 1, 2, 1, 2, 2,
    /* 60 */ 4, 4, 255, 1,
};

// 0x840C background tasks
const int32_t ParameterSizeTable::kBackgroundTasks[16] = {
    /*  0 */ 0, 0, 1, 1, 1, 1, 1, 1, 2, 2,
    /* 10 */ 1, 2, 8, 1, 1, 2,
};

// 0x8410 + slot schedule slot
const int32_t ParameterSizeTable::kScheduleSlot[8] = {
    /*  0 */ 0, 0, 2, 4, 4, 0, 0, 0,
};

// 0x8006 battery backup unit
const int32_t ParameterSizeTable::kBattery[28] = {
    /*  0 */ 0, 0, 4, 20, 16, 16, 1, 32, 12, 12,
    /* 10 */ 1, 1, 4, 1, 0, 2, 2, 2, 1, 4,
    /* 20 */ 2, 12, 12, 1, 1, 2, 2, 0,
};

// 9 statistics control
const int32_t ParameterSizeTable::kStatisticsControl[8] = {
    /*  0 */ 0, 0, 2, 512, 1, 28, 20, 0,
};

// 10
const int32_t ParameterSizeTable::kTable10[6] = {
    /*  0 */ 0, 0, 1, 1, 2, 1,
};

// 1 phys
const int32_t ParameterSizeTable::kPhys[6] = {
    /*  0 */ 0, 2, 1, 0, 0, 0,
};

// 0x80 + phy phy
const int32_t ParameterSizeTable::kPhy[8] = {
    /*  0 */ 0, 2, 1, 1, 1, 1, 8, 2,
};

// 0x407 event capture
const int32_t ParameterSizeTable::kEventCapture[24] = {
    /*  0 */ 0, 2, 4, 4, 4, 4, 32832, 4, 4, 4,
    /* 10 */ 4, 4, 4, 4, 8, 4, 8, 8, 0, 0,
    /* 20 */ 0, 0, 0, 0,
};
// clang-format on

int32_t ParameterSizeTable::size_of(uint32_t table, uint32_t parameter) {
    static const TableRoute kRoutes[] = {
        route(0x402, 0x402, kControllerIdentity),
        route(0x002, 0x002, kPortSummary),
        route(0x003, 0x003, kUnitSummary),
        route(0x008, 0x008, kEnclosure),
        route(0x200, 0x27F, kDrive),  // ports 0 to 127
        route(0x300, 0x33F, kUnit),   // units 0 to 63
        route(0x403, 0x403, kControllerSettings),
        route(0x840C, 0x840C, kBackgroundTasks),
        route(0x8410, 0x8416, kScheduleSlot),  // slots 0 to 6
        route(0x8006, 0x8006, kBattery),
        route(0x009, 0x009, kStatisticsControl),
        route(0x00A, 0x00A, kTable10),
        route(0x001, 0x001, kPhys),
        route(0x080, 0x0FF, kPhy),  // phys 0 to 127
        route(0x407, 0x407, kEventCapture),
    };
    for (const TableRoute& r : kRoutes) {
        if (table < r.first_table || table > r.last_table) continue;
        return parameter < r.entries ? r.sizes[parameter] : 0;
    }
    return 0;
}
