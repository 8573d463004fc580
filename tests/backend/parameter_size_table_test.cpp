// The parameter size table, and its agreement with the firmware: every
// parameter it names can be read from a simulated controller with its size.
#include "backend/parameter_size_table.h"

#include <memory>

#include "driver/driver_layer.h"
#include "tests/driver/sim_machine.h"

namespace {

struct SizeCase {
    uint32_t table;
    uint32_t parameter;
    int32_t size;
};

TEST(ParameterSizeTable, Sizes) {
    const SizeCase cases[] = {
        {0x403, 62, 255},
        {0x403, 12, 1024},
        {0x403, 13, 8192},
        {0x403, 14, 8192},
        {0x403, 61, 4},
        {0x407, 6, 32832},
        {0x402, 14, 4},
        {0x402, 23, 1},
        {0x002, 3, 128},
        {0x003, 3, 32},
        {0x008, 3, 1024},
        {0x001, 2, 1},
        {0x009, 3, 512},
        {0x00A, 4, 2},
        {0x8006, 7, 32},
        {0x840C, 12, 8},
        // Per-object tables share one array.
        {0x200, 3, 40},
        {0x27F, 3, 40},
        {0x300, 17, 21},
        {0x33F, 25, 20},
        {0x8410, 3, 4},
        {0x8416, 4, 4},
        {0x080, 6, 8},
        {0x0FF, 7, 2},
        // Gaps, the end of an array, and tables without one.
        {0x8006, 14, 0},
        {0x8006, 27, 0},
        {0x840C, 1, 0},
        {0x402, 24, 0},
        {0x402, 100000, 0},
        {0x8417, 3, 0},
        {0x280, 3, 0},
        {0x007, 2, 0},
        {0x00B, 2, 0},
        {0x100, 2, 0},
        {0x8402, 14, 0},
    };
    for (const SizeCase& c : cases)
        EXPECT_EQ(ParameterSizeTable::size_of(c.table, c.parameter), c.size)
            << std::hex << "table 0x" << c.table << " parameter " << std::dec << c.parameter;
}

// One id of each table (the first object of the per-object ones) and the
// number of entries of its array.
struct Table {
    uint16_t id;
    uint32_t entries;
};

const Table kTables[] = {
    {0x402, 24}, {0x002, 4},  {0x003, 4},   {0x008, 8},  {0x200, 40},
    {0x300, 40}, {0x403, 64}, {0x840C, 16}, {0x8410, 8}, {0x8006, 28},
    {0x009, 8},  {0x00A, 6},  {0x001, 6},   {0x080, 8},  {0x407, 24},
};

TEST(ParameterSizeTable, ParameterZeroHasNoSize) {
    for (const Table& t : kTables) EXPECT_EQ(ParameterSizeTable::size_of(t.id, 0), 0) << t.id;
}

// Each generation keeps its own settings, so every parameter is asked of
// the first generation and of the newest one, and one of them must know it.
TEST(ParameterSizeTable, FirmwareAnswersEveryParameterWithItsSize) {
    load_machine(
        "driver name=dq-Mxxx pairing=sysfs\n"
        // One record and one LUN on each: the unit's record list and LUN
        // table are as long as the size table's one entry.
        "controller index=2 driver=dq-Mxxx arch=4 ports=8\n"
        "drive port=0\n"
        "unit number=0 type=jbod drives=0\n"
        "controller index=3 driver=dq-Mxxx arch=10 ports=8 phys=8\n"
        "drive port=0\n"
        "unit number=0 type=jbod drives=0\n");
    DriverLayer layer;
    int32_t fds[2] = {-1, -1};
    for (uint8_t i = 0; i < 2; ++i) {
        ObjectId id = {{1, uint8_t(2 + i), 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
        ASSERT_EQ(layer.open_controller(id, &fds[i]), 0);
    }
    for (const Table& t : kTables) {
        int checked = 0;
        for (uint32_t parameter = 1; parameter < t.entries; ++parameter) {
            const int32_t size = ParameterSizeTable::size_of(t.id, parameter);
            if (size == 0) continue;
            std::string errors;
            bool answered = false;
            for (int32_t fd : fds) {
                SeriesRequest r = get_parameter(t.id, uint16_t(parameter), uint16_t(size));
                if (layer.series_ioctl(fd, r.header, r.area, r.data.data(),
                                       uint32_t(r.data.size())) == 0)
                    answered = true;
                else
                    errors += std::string(last_error().text);
            }
            EXPECT_TRUE(answered) << std::hex << "table 0x" << t.id << std::dec << " parameter "
                                  << parameter << " size " << size << ": " << errors;
            ++checked;
        }
        EXPECT_GT(checked, 0) << "table 0x" << std::hex << t.id << " has no parameter";
    }
    for (int32_t fd : fds) layer.close_controller(fd);
}

}  // namespace
