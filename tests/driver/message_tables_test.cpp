// The built-in English tables: their sizes, their order and a sample of
// rows of every category, looked up as the catalogue looks them up.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <set>
#include <string>

#include "driver/message_catalogue.h"
#include "driver/message_tables.h"

namespace {

int row_count(const MessageRow* table) {
    int n = 0;
    while (table[n].code != -1) ++n;
    return n;
}

// Position of a code in its table, or -1.
int position_of(int32_t category, int32_t code) {
    const MessageRow* table = message_table(category);
    for (int i = 0; table[i].code != -1; ++i) {
        if (table[i].code == code) return i;
    }
    return -1;
}

TEST(MessageTables, EveryTableHasItsRowsEachCodeOnceAndAnEmptyEndRow) {
    struct Case {
        int32_t category;
        int rows;
    };
    const Case cases[] = {{1, 25},   {3, 271},  {4, 154}, {6, 4},   {11, 147}, {12, 33},
                          {13, 36},  {14, 77},  {15, 31}, {17, 0},  {19, 594}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.category);
        const MessageRow* table = message_table(c.category);
        ASSERT_NE(table, nullptr);
        EXPECT_EQ(row_count(table), c.rows);
        std::set<int32_t> codes;
        for (int i = 0; i < c.rows; ++i) EXPECT_TRUE(codes.insert(table[i].code).second) << table[i].code;
        EXPECT_STREQ(table[c.rows].text, "");
    }
    for (int32_t category : {0, 2, 5, 7, 8, 9, 10, 16, 18, 20, 26, 27, -1}) {
        EXPECT_EQ(message_table(category), nullptr) << category;
    }
}

TEST(MessageTables, SampleRowsOfEveryCategory) {
    struct Case {
        int32_t category;
        int32_t code;
        const char* text;
    };
    const Case cases[] = {
        {1, 0x0000, "None"},
        {1, 0x000C, "Pyvplus"},
        {1, 0x0019, "No SunOS L000 driver"},
        {1, 0x001A, "kq"},
        {1, 0x0013, ""},
        {2, 0, ""},
        {2, 1, "ERROR"},
        {2, 4, "DEBUG"},
        {2, 5, ""},
        {2, -1, ""},
        {3, 0x0100, "SGL entry contains zero data"},
        {3, 0x020B, "Port link error detected"},
        {3, 0x020D, "Drive not ready require Spinup"},
        {3, 0x0247, "I2C buffer in-sufficient"},
        {3, 0x0260, "SMART threshold exceeded"},
        {3, 0x0261, "Maximum number of units reached"},
        {3, 0x0281, "ResponseIU status code"},
        {3, 0x02A9, "SAS error code"},
        {3, 0x0318, "BBU flash Vpp voltage out of progamming range"},
        {3, 0x101D, "Drive removed no wait"},
        {3, 0x3110, "Error manufacturing diagnostic test-Invalid Request failed"},
        {3, 0x3111, ""},
        {4, 0x0000, "AEN queue empty"},
        {4, 0x0002, "Degraded unit"},
        {4, 0x0065, "Local link down"},
        {4, 0x0066, ""},
        {4, 0x0069, ""},
        {4, 0x00F6, ""},
        {4, 0x00F7, "Bad cache metadata checksum"},
        {4, 0x0070, "Drive Write Fault"},
        {4, 0x0100, "Error occurred during device discovery"},
        {4, 0x8006, "Enclosure fan off"},
        {4, 0x804B, "Enclosure audio alarm status unknown"},
        {6, 0x1002, "Already locked"},
        {6, 0x1004, "AEN clobber occurred"},
        {6, 0x1005, ""},
        {11, 0x0000, "No error"},
        {11, 0x0002, "Feature not supported"},
        {11, 0x0004, ""},
        {11, 0x000E, ""},
        {11, 0x000F, ""},
        {11, 0x0045, "Failed to remove device node; Are all filesystems unmounted?"},
        {11, 0x0068, "Incompatible firmware architecture."},
        {11, 0x006F, "temperature sensor does not exist"},
        {11, 0x007A, "Invalid argument or value"},
        {11, 0x0092, "Firmware image not found"},
        {11, 0x0093, ""},
        {12, 0x0000, "NO ERROR"},
        {12, 0x0015,
         "The page you have reached is part of a frameset.  Please click OK to return to the frameset"},
        {12, 0x0020, "Failed to create Pyv2 outbound buffer"},
        {13, 0x0000, "(0x0D:0x0000): No error."},
        {13, 0x001A,
         "(0x0D:0x001A): Invalid opertion on the specified controller architecture and unit type."},
        {13, 0x0014,
         "(0x0D:0x0014): No controller detected.\nMake sure respective device drivers are loaded."},
        {13, 0x0023, "(0x0D:0x0023): Invalid unit migration path."},
        {14, 0x00C4, "Invalid port map"},
        {14, 0x10C4, "SGL size does not match command"},
        {14, 0x4BC7, "PCI FIFO overrun detected"},
        {14, 0x01C7, "Address mark not found"},
        {14, 0x51C7, "Unclassified disk error"},
        {14, 0x0000, ""},
        {15, 0x0000, "3AEN queue empty"},
        {15, 0x0002, "1Unit degraded: Unit #"},
        {15, 0x0008, "2Unclean shutdown detected: Unit #"},
        {15, 0x000E, ""},
        {15, 0x0030, "1Drive not supported: Port #"},
        {17, 0x0000, ""},
        {17, 0x1001, ""},
        {19, 0x0000, "Are you sure you want to logout?"},
        {19, 0x0004, "Last updated "},
        {19, 0x0006, " minute(s)"},
        {19, 0x016C, ""},
        {19, 0x01DE, ""},
        {19, 0x018D, "Please select at least one more additional drive to use for modificiation."},
        {19, 0x01A3, "Error! New password contains reserved character '?' or '&'"},
        {19, 0x022B,
         "Warning:  For the background task, settings of Low Latency with a Task Rate of 1 (fastest "
         "I/O) may cause the task to never complete.\\n"},
        {19, 0x024E, "Failed to clear unsupported configurationo"},
        {19, 0x0251, "The link speed change will take effect after system reboot."},
        {19, 0x0252, "Controller could not be read"},
        {19, 0x0253, "Failed to save the configuration file"},
        {19, 0x0254, ""},
        {5, 0x0000, ""},
        {20, 0x0001, ""},
        {27, 0x0001, ""},
        {0, 0x0000, ""},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(MessageCatalogue::lookup_builtin(c.category, c.code), c.text)
            << c.category << ":" << c.code;
    }
}

TEST(MessageTables, RowsThatStandOutOfOrderStayWhereTheyAre) {
    struct Case {
        int32_t category;
        int32_t before;
        int32_t after;
    };
    const Case cases[] = {
        {1, 0x0018, 0x001A}, {1, 0x001A, 0x0019}, {3, 0x020A, 0x020D}, {3, 0x020D, 0x020B},
        {3, 0x025F, 0x0261}, {3, 0x0261, 0x0260}, {4, 0x005F, 0x0070}, {4, 0x0070, 0x0060},
        {4, 0x8004, 0x8006}, {4, 0x8006, 0x8005}, {14, 0x4BC7, 0x01C7}, {14, 0xD1C7, 0x51C7},
        {19, 0x0117, 0x0118}, {19, 0x0118, 0x0119},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.category << ": " << c.before << " " << c.after);
        int before = position_of(c.category, c.before);
        ASSERT_GE(before, 0);
        EXPECT_EQ(position_of(c.category, c.after), before + 1);
    }
}

TEST(MessageTables, WebTextsKeepTheirBlanksAndEscapes) {
    const MessageRow* table = message_table(19);
    int trailing_blank = 0;
    int double_blank = 0;
    int32_t previous = -1;
    for (const MessageRow* row = table; row->code != -1; ++row) {
        std::string text = row->text;
        EXPECT_GT(row->code, previous) << "web texts stand in ascending order";
        previous = row->code;
        EXPECT_FALSE(text.empty()) << row->code;
        EXPECT_EQ(text.find('\n'), std::string::npos) << row->code;
        if (!text.empty() && text.back() == ' ') ++trailing_blank;
        if (text.find("  ") != std::string::npos) ++double_blank;
    }
    EXPECT_EQ(trailing_blank, 54);
    EXPECT_EQ(double_blank, 16);

    // Two texts hold a backslash and an n, which page scripts turn into a
    // line break.
    for (int32_t code : {0x01BA, 0x022B}) {
        std::string text = MessageCatalogue::lookup_builtin(19, code);
        EXPECT_NE(text.find("\\n"), std::string::npos) << code;
    }
    EXPECT_NE(std::string(MessageCatalogue::lookup_builtin(19, 0x01BA)).find(":\\n 1) Back up your data.\\n 2)"),
              std::string::npos);
}

TEST(MessageTables, OperatingSystemErrorsUseTheCLibraryWording) {
    for (int number : {ENOENT, EBUSY, EIO, 0}) {
        EXPECT_STREQ(MessageCatalogue::lookup_builtin(9, number), std::strerror(number)) << number;
    }
    EXPECT_STRNE(MessageCatalogue::lookup_builtin(9, 123456), "");
}

}  // namespace
