// The controller information pages written from records filled by hand:
// their markup where it is fixed, the forms for missing controllers and
// units, the status words, and the page scripts.
#include "web/pages/info_pages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "api/ctl.h"
#include "daemon/http_codes.h"
#include "tests/web/page_test_support.h"
#include "web/pages/record_access.h"

namespace {

using namespace pagetest;

// Controllers of three families, as a handler fills them: a first-series
// controller, a family 6 one and a family 8 one; then a record whose read
// failed.
struct Machine {
    static constexpr int kCount = 4;
    ControllerIdList list{};
    ControllerRecord records[kCount];

    Machine() {
        make_controllers(list, records, {3, 6, 8, -1}, "QX-6200-8");
        set(records[2].model, "QX-8800-4i");
        for (ControllerRecord& r : records) {
            set(r.serial_number, "SN1");
            set(r.firmware_version, "FW 1.0");
            set(r.driver_version, "3.26.02.000");
        }
        set(records[3].error_text, "(0x0B:0x0067): Controller <not> found");
    }

    ControllerRecord& at(int i) { return records[i]; }

    // Units of the given types (numbers 0, 1, ...), attached.
    UnitRecord* units(int i, std::initializer_list<int> types) {
        ControllerRecord& r = records[i];
        r.units.count = static_cast<uint32_t>(types.size());
        delete[] r.unit_records;
        r.unit_records = new UnitRecord[types.size()];
        int k = 0;
        for (int type : types) {
            UnitRecord& u = r.unit_records[k];
            u.number = static_cast<uint8_t>(k);
            u.type = type;
            u.is_ok = 1;
            u.flags = 4;
            u.identify = 0;
            ++k;
        }
        return r.unit_records;
    }

    // Ports 0 .. count-1 with drives of the given statuses.
    DriveRecord* drives(int i, std::initializer_list<int> statuses) {
        ControllerRecord& r = records[i];
        r.ports.count = static_cast<uint32_t>(statuses.size());
        delete[] r.drive_records;
        r.drive_records = new DriveRecord[statuses.size()];
        int k = 0;
        for (int status : statuses) {
            DriveRecord& d = r.drive_records[k];
            ctl_make_port_id(r.controller_index, static_cast<uint8_t>(k), &r.ports.ids[k]);
            d.port = static_cast<uint8_t>(k);
            d.status = static_cast<uint8_t>(status);
            d.capacity = 976773168;
            set(d.model, "SIMDISK S500");
            set(d.serial_number, "S-1");
            set(d.firmware_version, "02.AA1");
            ++k;
        }
        return r.drive_records;
    }
};

class InfoPagesTest : public ::testing::Test {
  protected:
    PageEnv env_{"Refresh 3\n"};
    Machine machine_;

    template <typename Write>
    std::string page_of(Write write, int level = kAccessUser) {
        return html_of(env_, write, level);
    }
};

// --- Summary ---------------------------------------------------------------

TEST_F(InfoPagesTest, SummaryRowsOfGoodAndFailedControllers) {
    machine_.units(1, {5});
    set(machine_.at(1).model, "Q<X>\"'&");
    std::string body = page_of(
        [&](PageBuilder& p) { return write_page0(p, 0, -2, &machine_.list, machine_.records); });
    EXPECT_HAS(body,
               "<table border=\"0\">\n<tr><td colspan=\"6\" class=\"tabletitle14\"><b>Controller "
               "Summary</b></td></tr>\n<tr><td width=\"60\" class=\"tableheadercenter\">ID</td><td "
               "width=\"125\" class=\"tableheader\">Model</td><td width=\"135\" "
               "class=\"tableheader\">Serial #</td><td width=\"125\" "
               "class=\"tableheader\">Firmware</td><td width=\"165\" "
               "class=\"tableheader\">Driver</td><td width=\"100\" "
               "class=\"tableheader\">Status</td></tr>\n");
    EXPECT_HAS(
        body,
        "<tr><td width=\"60\" class=\"tabledatacenter\"><a href=\"javascript:goto_controller(1)\" "
        "style=\"color: #0000FF;text-decoration: underline;font-weight: bold;\">2</a></td>\n"
        "<td width=\"125\" class=\"tabledata\">Q&lt;X&gt;&quot;&#39;&amp;</td>\n"
        "<td width=\"135\" class=\"tabledata\">SN1</td>\n"
        "<td width=\"125\" class=\"tabledata\">FW 1.0</td>\n"
        "<td width=\"165\" class=\"tabledata\">3.26.02.000</td>\n"
        "<td width=\"100\" class=\"tabledata\"><font style=\"color: #009900;font-weight: "
        "bold;\">OK</font></td></tr>\n");
    EXPECT_HAS(body,
               "<tr><td width=\"60\" class=\"tabledatacenter\"><b>4</b></td><td colspan = \"5\" "
               "width=\"640\" class=\"tabledata\"><font style=\"color: #FF0000;font-weight: "
               "bold;\">(0x0B:0x0067): Controller &lt;not&gt; found</font></td></tr>\n");
    EXPECT_HAS(body, "function goto_controller(i)");
    EXPECT_HAS(body, "toggle_select_controller('hidden')");
    EXPECT_HAS(body, "<body bgcolor=\"#FFFFFF\" onLoad=\"init(1);\">\n<table");
    EXPECT_HAS(body, "This page will automatically refresh every 3 minute(s)");
}

TEST_F(InfoPagesTest, SummaryStatusOfEachController) {
    struct Case {
        std::initializer_list<int> types;
        // 1 degraded, 2 rebuilding, 3 inoperable, 4 initializing, 5 migrating,
        // 6 verifying, 7 recovering, per unit
        std::initializer_list<int> states;
        const char* shown;
    };
    const Case cases[] = {
        {{5, 1}, {2, 1}, "#D8D800;font-weight: bold;\">WARNING"},
        {{5, 1}, {1, 2}, "#FF0000;font-weight: bold;\">ERROR"},
        {{12}, {0}, "#D8D800;font-weight: bold;\">NO UNITS"},
        {{12, 12}, {1, 1}, "#D8D800;font-weight: bold;\">NO UNITS"},
        {{12, 13}, {1, 0}, "#009900;font-weight: bold;\">OK"},
        {{15, 11}, {6, 7}, "#009900;font-weight: bold;\">OK"},
        {{0}, {3}, "#FF0000;font-weight: bold;\">ERROR"},
        {{6}, {4}, "#D8D800;font-weight: bold;\">WARNING"},
        {{32}, {5}, "#D8D800;font-weight: bold;\">WARNING"},
    };
    for (const Case& k : cases) {
        UnitRecord* units = machine_.units(1, k.types);
        int i = 0;
        for (int state : k.states) {
            UnitRecord& u = units[i++];
            u.has_degraded = state == 1;
            u.has_rebuilding = state == 2;
            u.has_inoperable = state == 3;
            u.has_initializing = state == 4;
            u.has_migrating = state == 5;
            u.has_verifying = state == 6;
            u.has_recovering = state == 7;
        }
        std::string body = page_of([&](PageBuilder& p) {
            return write_page0(p, 1, -2, &machine_.list, machine_.records);
        });
        EXPECT_HAS(
            body,
            std::string("<td width=\"100\" class=\"tabledata\"><font style=\"color: ") + k.shown);
    }
    // A unit list the handler found out of bounds.
    mark_none_found(machine_.at(1).units);
    delete[] machine_.at(1).unit_records;
    machine_.at(1).unit_records = nullptr;
    std::string body = page_of(
        [&](PageBuilder& p) { return write_page0(p, 1, -2, &machine_.list, machine_.records); });
    EXPECT_HAS(
        body,
        "<font style=\"color: #D8D800;font-weight: bold;\">NO UNITS</font></td></tr>\n"
        "<tr><td width=\"60\" class=\"tabledatacenter\"><a href=\"javascript:goto_controller(2)");
}

TEST_F(InfoPagesTest, EveryPageWithoutControllers) {
    ControllerIdList none{};
    mark_none_found(none);
    using Writer =
        int (*)(PageBuilder&, int, int, const ControllerIdList*, const ControllerRecord*);
    const Writer writers[] = {write_page0, write_page1_0, write_page1_1, write_page1_2,
                              write_page1_0_1};
    for (Writer write : writers) {
        std::string body = page_of(
            [&](PageBuilder& p) { return write(p, kNoneFound, kNoneFound, &none, nullptr); });
        EXPECT_HAS(body, "<font style=\"color: #FF0000;font-weight: bold;\">NO CONTROLLERS</font>");
        EXPECT_LACKS(body, "the_list");
        EXPECT_HAS(body, "parent.cur_controller = 0;");
    }
    std::string summary = page_of(
        [&](PageBuilder& p) { return write_page0(p, kNoneFound, kNoneFound, &none, nullptr); });
    EXPECT_HAS(
        summary,
        "class=\"tableheader\">Status</td></tr>\n<tr><td colspan=\"6\" class=\"tabledata\"><font "
        "style=\"color: #FF0000;font-weight: bold;\">NO CONTROLLERS</font></td></tr>\n</table>");
}

TEST_F(InfoPagesTest, PagesOfAControllerWhoseRecordFailed) {
    using Writer =
        int (*)(PageBuilder&, int, int, const ControllerIdList*, const ControllerRecord*);
    const Writer writers[] = {write_page1_0, write_page1_1, write_page1_2, write_page1_0_1};
    for (Writer write : writers) {
        std::string body = page_of(
            [&](PageBuilder& p) { return write(p, 3, -1, &machine_.list, machine_.records); });
        EXPECT_HAS(
            body,
            "<body bgcolor=\"#FFFFFF\" onLoad=\"init(1);\">\n<font style=\"color: "
            "#FF0000;font-weight: "
            "bold;\">Controller ID 4  (0x0B:0x0067): Controller &lt;not&gt; found</font>\n<hr");
    }
}

// --- Controller details --------------------------------------------------------

TEST_F(InfoPagesTest, ControllerDetailsOfAFirstSeriesController) {
    ControllerRecord& r = machine_.at(0);
    set(r.boot_loader_version, "BL7X 1.01");
    r.memory_size = 2 << 20;
    machine_.units(0, {5, 12, 13, -1, 1});
    machine_.drives(0, {255, 0, 255, 127, 128});
    std::string body = page_of(
        [&](PageBuilder& p) { return write_page1_0(p, 0, -2, &machine_.list, machine_.records); });
    EXPECT_HAS(body,
               "<meta http-equiv=\"content-type\" content=\"text/html; charset=utf-8\">\n<style");
    EXPECT_LACKS(body, "content-language");
    EXPECT_HAS(
        body,
        "<tr><td colspan=\"2\" class=\"tabletitle14\">Controller Details (Controller ID "
        "1)</td></tr>\n"
        "<tr><td width=\"160\" class=\"tabledata\">&nbsp;&nbsp;<b>Model</b></td><td width=\"300\" "
        "class=\"tabledata\">QX-6200-8</td></tr>\n");
    EXPECT_HAS(body, "<b>Monitor</b></td><td width=\"300\" class=\"tabledata\">BL7X 1.01</td>");
    EXPECT_HAS(body, "<b>Available Memory</b></td><td width=\"300\" class=\"tabledata\">2 MB</td>");
    EXPECT_LACKS(body, "Bus Type");
    EXPECT_HAS(body, "<b># of Ports</b></td><td width=\"300\" class=\"tabledata\">5</td>");
    EXPECT_HAS(body, "<b># of Drives</b></td><td width=\"300\" class=\"tabledata\">3</td>");
    EXPECT_HAS(body, "<b># of Units</b></td><td width=\"300\" class=\"tabledata\">3</td>");
    EXPECT_HAS(
        body,
        "<tr><td width=\"160\" class=\"tabledata\">&nbsp;&nbsp;<b>Error Log</b></td><td "
        "width=\"300\" "
        "class=\"tabledata\"><a href=\"javascript:download_log(0);\" style=\"color: "
        "#0000FF;text-decoration: underline;font-weight: bold;\"><b>[Download Error Log]</b></a>"
        "</td></tr>\n</table>\n");
    EXPECT_HAS(body, "url = \"/\" + \"errorlog_\" + controller + \".\" + \"dat\";");
    EXPECT_HAS(body, "function goto_physummary(phy)");
}

TEST_F(InfoPagesTest, ControllerDetailsByFamily) {
    ControllerRecord& six = machine_.at(1);
    six.bus_info = 0x1100;
    std::string body = page_of(
        [&](PageBuilder& p) { return write_page1_0(p, 1, -2, &machine_.list, machine_.records); });
    EXPECT_HAS(body, "<b>Boot Loader</b>");
    EXPECT_HAS(body,
               "<b>Bus Type</b></td><td width=\"300\" class=\"tabledata\">PCIe</td></tr>\n<tr><td "
               "width=\"160\" "
               "class=\"tabledata\">&nbsp;&nbsp;<b>Bus Width</b></td><td width=\"300\" "
               "class=\"tabledata\">4 "
               "lanes</td></tr>\n<tr><td width=\"160\" class=\"tabledata\">&nbsp;&nbsp;<b>Bus "
               "Speed</b></td><td width=\"300\" class=\"tabledata\">2.5 Gbps/lane</td>");
    EXPECT_HAS(body, "<b># of Drives</b></td><td width=\"300\" class=\"tabledata\">0</td>");

    ControllerRecord& eight = machine_.at(2);
    machine_.units(2, {7, 1, 13});
    machine_.drives(2, {255, 255, 0, 255});
    eight.phys.count = 8;
    eight.port_count = 8;
    eight.connection_count = 3;
    eight.port_count_b = 0;  // no drive limit: an empty row
    eight.max_active_drives_alt = 32;
    eight.max_active_drives = 128;
    eight.configured_drives = 5;
    eight.max_active_units = 0;
    eight.max_drives_per_unit = 16;
    body = page_of(
        [&](PageBuilder& p) { return write_page1_0(p, 2, -2, &machine_.list, machine_.records); });
    EXPECT_LACKS(body, "# of");
    EXPECT_HAS(body,
               "<b>Controller Phys</b></td><td width=\"300\" class=\"tabledata\">8</td></tr>\n"
               "<tr><td width=\"160\" class=\"tabledata\">&nbsp;&nbsp;<b>Connections</b></td><td "
               "width=\"300\" "
               "class=\"tabledata\">3 of 8</td></tr>\n<tr></tr>\n<tr><td width=\"160\" "
               "class=\"tabledata\">&nbsp;&nbsp;<b>Units</b></td><td width=\"300\" "
               "class=\"tabledata\">3 of "
               "32</td></tr>\n<tr><td width=\"160\" class=\"tabledata\">&nbsp;&nbsp;<b>Active "
               "Drives</b></td><td width=\"300\" class=\"tabledata\">5 of 128</td></tr>\n<tr><td "
               "width=\"160\" class=\"tabledata\">&nbsp;&nbsp;<b>Max Drives per Unit</b></td><td "
               "width=\"300\" class=\"tabledata\">16</td></tr>\n");
    EXPECT_LACKS(body, "Active Units");
    eight.port_count_b = 64;
    eight.phys.count = 0;
    body = page_of(
        [&](PageBuilder& p) { return write_page1_0(p, 2, -2, &machine_.list, machine_.records); });
    EXPECT_HAS(body, "<b>Drives</b></td><td width=\"300\" class=\"tabledata\">3 of 64</td>");
    EXPECT_LACKS(body, "Controller Phys");
    EXPECT_HAS(body, "download_log(2);");
}

// --- Unit list -------------------------------------------------------------------

TEST_F(InfoPagesTest, UnitListOfASecondSeriesController) {
    UnitRecord* units = machine_.units(1, {5, 12, 13, 32, 1});
    set(units[0].name, "<b>x\"");
    units[0].capacity = 1953525168;
    units[0].identify = 1;
    units[3].identify = 128;
    units[3].sub_units.count = 2;
    units[3].sub_unit_records = new UnitRecord[2];
    units[3].sub_unit_records[0].type = 5;
    units[3].sub_unit_records[1].type = 7;
    units[4].flags = 0;  // OK but not initialised: the drive-problem note
    units[4].has_rebuilding = 1;
    units[4].rebuild_percent = 40;
    units[4].rebuild_task_info = 1;
    std::string body = page_of(
        [&](PageBuilder& p) { return write_page1_1(p, 1, -2, &machine_.list, machine_.records); });
    EXPECT_HAS(
        body,
        "<table border=\"0\">\n<tr><td colspan=\"6\" class=\"tabletitle14\">Unit Information "
        "(Controller "
        "ID 2)</td></tr>\n<tr><td width=\"75\" class=\"tableheadercenter\">Unit</td><td "
        "width=\"150\" "
        "class=\"tableheader\">Name</td><td width=\"150\" class=\"tableheader\">Type</td><td "
        "width=\"100\" class=\"tableheader\">Capacity</td><td width=\"200\" "
        "class=\"tableheader\">Status</td><td width=\"50\" "
        "class=\"tableheadercenter\">Identify</td></tr>\n");
    EXPECT_HAS(body,
               "<tr><td width=\"75\" class=\"tabledatacenter\"><a href=\"javascript:goto_unit(0)\" "
               "style=\"color: #0000FF;text-decoration: underline;font-weight: bold;\">0</a></td>\n"
               "<td width=\"150\" class=\"tabledata\">&lt;b&gt;x&quot;</font></td>\n"
               "<td width=\"150\" class=\"tabledata\">RAID 5</font></td>\n"
               "<td width=\"100\" class=\"tabledata\">931.51 GB</td>\n"
               "<td width=\"200\" class=\"tabledata\"><font style=\"color: #009900;font-weight: "
               "bold;\">OK</font>\n</td>\n<td width=\"50\" class=\"tabledatacenter\"><input "
               "type=\"checkbox\" "
               "checked onClick=\"blink_unit(0, 0)\"></td></tr>\n");
    EXPECT_LACKS(body, "goto_unit(1)");
    EXPECT_LACKS(body, "goto_unit(2)");
    EXPECT_HAS(body, "class=\"tabledata\">RAID 5 > RAID 6</font></td>");
    EXPECT_HAS(body, "<input type=\"checkbox\" disabled></td>");
    EXPECT_HAS(body,
               "<font style=\"color: #D8D800;font-weight: bold;\">REBUILDING 40% "
               "(active)</font>\n<br> <font "
               "style=\"color: #009900;font-weight: bold;\">OK*</font>\n</td>");
    EXPECT_HAS(body, "<input type=\"checkbox\" onClick=\"blink_unit(4, 1)\">");
    EXPECT_HAS(
        body,
        "</table>\n<font style=\"font-size: 8pt;\">Some drives in this unit may have potential "
        "problems. Click on the unit number to see more details.</font>\n");
    EXPECT_HAS(body,
               "url = \"/page1_1.html?BlinkUnit=\" + unit + \"&On=\" + on + \"&c=\" + "
               "parent.cur_controller;");
    const size_t order[] = {
        body.find("function goto_unit("), body.find("function show_migrate_unit("),
        body.find("function goto_drivesummary("), body.find("function blink_unit(")};
    for (int i = 0; i < 3; ++i) EXPECT_LT(order[i], order[i + 1]);
}

// A unit whose reads failed keeps the presets: unknown, never inoperable.
TEST_F(InfoPagesTest, AUnitWhoseReadsFailedIsUnknown) {
    UnitRecord* units = machine_.units(1, {5, -1});
    UnitRecord& failed = units[1];
    failed.status = 17;
    failed.has_unknown = 1;
    failed.is_ok = 0;
    failed.identify = 128;
    failed.number = 1;
    std::string body = page_of(
        [&](PageBuilder& p) { return write_page1_1(p, 1, -2, &machine_.list, machine_.records); });
    EXPECT_HAS(body, "<td width=\"150\" class=\"tabledata\">UNKNOWN</font></td>");
    EXPECT_HAS(
        body,
        "<font style=\"color: #FF0000;font-weight: bold;\">UNKNOWN</font>\n</td>\n<td width=\"50\" "
        "class=\"tabledatacenter\"><input type=\"checkbox\" disabled></td>");
    EXPECT_LACKS(body, "INOPERABLE");
    body = page_of(
        [&](PageBuilder& p) { return write_page1_0(p, 1, -2, &machine_.list, machine_.records); });
    EXPECT_HAS(body, "<b># of Units</b></td><td width=\"300\" class=\"tabledata\">1</td>");
}

TEST_F(InfoPagesTest, UnitListWithoutUnitsAndOnTheFirstSeries) {
    machine_.units(1, {13, 12});
    std::string body = page_of(
        [&](PageBuilder& p) { return write_page1_1(p, 1, -2, &machine_.list, machine_.records); });
    EXPECT_HAS(body,
               "class=\"tableheadercenter\">Identify</td></tr>\n<tr><td colspan=\"4\" "
               "class=\"tabledata\"><font "
               "style=\"color: #FF0000;font-weight: bold;\">NO UNITS</font></td></tr>\n</table>\n");
    mark_none_found(machine_.at(1).units);
    body = page_of(
        [&](PageBuilder& p) { return write_page1_1(p, 1, -2, &machine_.list, machine_.records); });
    EXPECT_HAS(body, "NO UNITS");

    UnitRecord* units = machine_.units(0, {5});
    units[0].flags = 0;
    body = page_of(
        [&](PageBuilder& p) { return write_page1_1(p, 0, -2, &machine_.list, machine_.records); });
    EXPECT_HAS(body, "<tr><td colspan=\"4\" class=\"tabletitle14\">");
    EXPECT_HAS(body,
               "<td width=\"75\" class=\"tableheadercenter\">Unit</td><td width=\"150\" "
               "class=\"tableheader\">Type</td>");
    EXPECT_LACKS(body, "Identify");
    EXPECT_LACKS(body, "checkbox");
    EXPECT_LACKS(body, "potential problems");
}

// --- Drive list --------------------------------------------------------------

TEST_F(InfoPagesTest, DriveListOfAnEarlierGeneration) {
    UnitRecord* units = machine_.units(1, {5, 13, 12});
    DriveRecord* drives = machine_.drives(1, {255, 255, 255, 0, 255, 2});
    drives[0].unit_path[0] = 0;  // in RAID 5 unit 0
    drives[1].unit_path[0] = 1;  // the spare
    drives[2].unit_path[0] = 2;  // a disk outside any array
    drives[4].identify = 1;
    set(drives[0].model, "M<o>del");
    set(drives[0].serial_number, "S&1");
    set(drives[0].firmware_version, "F\"W");
    (void)units;
    std::string body = page_of(
        [&](PageBuilder& p) { return write_page1_2(p, 1, 3, &machine_.list, machine_.records); });
    EXPECT_HAS(
        body,
        "<tr><td colspan=\"9\" class=\"tabletitle14\">Drive Information (Controller ID "
        "2)</td></tr>\n"
        "<tr><td width=\"50\" class=\"tableheadercenter\">Port</td><td width=\"175\" "
        "class=\"tableheader\">Model</td><td width=\"75\" class=\"tableheader\">Capacity</td><td "
        "width=\"130\" class=\"tableheader\">Serial #</td><td width=\"100\" "
        "class=\"tableheader\">Firmware</td><td width=\"50\" "
        "class=\"tableheadercenter\">Unit</td><td "
        "width=\"100\" class=\"tableheader\">Status</td><td width=\"50\" "
        "class=\"tableheadercenter\">Identify</td></tr>\n");
    EXPECT_HAS(
        body,
        "<tr><td width=\"50\" class=\"tabledatacenter\"><a href=\"javascript:smart_data(1, 0);\" "
        "style=\"color: #0000FF;text-decoration: underline;font-weight: bold;\">0</a></td><td "
        "width=\"175\" class=\"tabledata\">M&lt;o&gt;del</td><td width=\"75\" "
        "class=\"tabledata\">465.76 GB</td><td width=\"130\" class=\"tabledata\">S&amp;1</td><td "
        "width=\"100\" class=\"tabledata\">F&quot;W</td><td width=\"50\" "
        "class=\"tabledatacenter\"><a href=\"javascript:goto_unit(0)\" style=\"color: "
        "#0000FF;text-decoration: underline;font-weight: bold;\">0</a></td><td width=\"100\" "
        "class=\"tabledata\"><font style=\"color: #009900;font-weight: bold;\">OK</font></td><td "
        "width=\"50\" class=\"tabledatacenter\"><input type=\"checkbox\" disabled "
        "onClick=\"blink_drive(0, 1)\"></td></tr>\n");
    EXPECT_HAS(body, "class=\"tabledatacenter\">S</td>");
    EXPECT_HAS(body,
               "smart_data(1, 2);\" style=\"color: #0000FF;text-decoration: underline;font-weight: "
               "bold;\">2</a></td>");
    // The fourth row, an empty port, highlighted in every cell.
    const std::string h = " style=\"background-color: #FFFF00;\"";
    EXPECT_HAS(body,
               "<tr><td width=\"70\" class=\"tabledatacenter\"" + h +
                   ">3</td><td width=\"175\" "
                   "class=\"tabledata\"" +
                   h +
                   "><font style=\"color: #FF0000;\">NOT PRESENT</font></td><td "
                   "width=\"75\" class=\"tabledata\"" +
                   h + ">--</td><td width=\"130\" class=\"tabledata\"" + h +
                   ">--</td><td width=\"100\" class=\"tabledata\"" + h +
                   ">--</td><td width=\"50\" "
                   "class=\"tabledata\"" +
                   h + ">--</td><td width=\"100\" class=\"tabledata\"" + h +
                   ">--</td><td width=\"50\" class=\"tabledatacenter\"" + h +
                   "><input type=\"checkbox\" disabled onClick=\"blink_drive(3, 1)\"></td></tr>\n");
    EXPECT_EQ(count_of(body, "#FFFF00"), 8u);
    EXPECT_HAS(body, "checked onClick=\"blink_drive(4, 0)\"");
    EXPECT_HAS(body, "<td width=\"70\" class=\"tabledatacenter\">5</td>");  // a removed drive
    EXPECT_HAS(body, "url = \"/smart.html\" + \"?c=\" + controller + \"&p=\" + port;");
    EXPECT_HAS(body, "sw = window.open(url, \"smartwin\", attribs);");
    EXPECT_HAS(body,
               "url = \"/page1_2.html?BlinkDrive=\" + port + \"&On=\" + on + \"&c=\" + "
               "parent.cur_controller;");

    // A highlight beyond the last row marks nothing.
    body = page_of(
        [&](PageBuilder& p) { return write_page1_2(p, 1, 6, &machine_.list, machine_.records); });
    EXPECT_LACKS(body, "#FFFF00");
}

TEST_F(InfoPagesTest, DriveListOfALaterGenerationLeavesEmptyPortsOut) {
    DriveRecord* drives = machine_.drives(2, {255, 0, 255});
    drives[0].interface = 3;
    drives[2].interface = 7;
    std::string body = page_of(
        [&](PageBuilder& p) { return write_page1_2(p, 2, -1, &machine_.list, machine_.records); });
    EXPECT_HAS(
        body,
        "<td width=\"50\" class=\"tableheadercenter\">VPort</td><td width=\"175\" "
        "class=\"tableheader\">Model</td><td width=\"75\" class=\"tableheader\">Capacity</td><td "
        "width=\"50\" class=\"tableheader\">Type</td><td width=\"40\" "
        "class=\"tableheadercenter\">Phy</td><td width=\"150\" class=\"tableheader\">Slot</td>");
    EXPECT_HAS(
        body,
        "<td width=\"50\" class=\"tabledata\">SAS</td><td width=\"40\" class=\"tabledatacenter\">");
    EXPECT_LACKS(body, "NOT PRESENT");
    EXPECT_EQ(count_of(body, "smart_data(2, "), 2u);

    machine_.drives(2, {});
    body = page_of(
        [&](PageBuilder& p) { return write_page1_2(p, 2, -1, &machine_.list, machine_.records); });
    EXPECT_HAS(
        body,
        "<tr><td colspan=\"9\" class=\"tabledata\"><font style=\"color: #FF0000;font-weight: "
        "bold;\">NO DRIVES</font></td></tr>\n</table>");

    machine_.drives(0, {255});
    body = page_of(
        [&](PageBuilder& p) { return write_page1_2(p, 0, -1, &machine_.list, machine_.records); });
    EXPECT_HAS(body, "<tr><td colspan=\"7\" class=\"tabletitle14\">");
    EXPECT_LACKS(body, "checkbox");
}

// --- Phy list ------------------------------------------------------------------

TEST_F(InfoPagesTest, PhyList) {
    ControllerRecord& r = machine_.at(2);
    r.phys.count = 3;
    r.phy_records = new PhyRecord[3];
    PhyRecord* phys = r.phy_records;
    for (int i = 0; i < 3; ++i) phys[i].phy = static_cast<uint8_t>(i);
    phys[0].link_speed_supported = 3;  // nothing attached, limit Auto
    phys[1].device_type = 2;
    phys[1].drive_port = 4;
    phys[1].link_speed = 4;
    phys[1].link_speed_supported = 7;
    phys[1].link_limit = 2;
    const uint8_t address[8] = {0x50, 0x00, 0xC5, 0x00, 0x00, 0x00, 0x12, 0xAB};
    std::memcpy(phys[1].sas_address, address, 8);
    phys[2].device_type = 3;
    phys[2].link_speed = 9;
    std::string body = page_of(
        [&](PageBuilder& p) { return write_page1_0_1(p, 2, 1, &machine_.list, machine_.records); });
    EXPECT_HAS(
        body,
        "<tr><td colspan=\"6\" class=\"tabletitle14\">Controller Phy Summary (Controller ID "
        "3)</td></tr>\n"
        "<tr><td width=\"70\" class=\"tableheadercenter\">Phy</td><td width=\"175\" "
        "class=\"tableheader\">SAS Address</td><td width=\"100\" class=\"tableheader\">Link "
        "Enabled</td><td width=\"100\" class=\"tableheader\">Link Control</td><td width=\"100\" "
        "class=\"tableheader\">Type</td><td width=\"70\" "
        "class=\"tableheadercenter\">ID</td></tr>\n");
    EXPECT_HAS(
        body,
        "<tr><td width=\"70\" class=\"tabledatacenter\">0</td><td width=\"175\" "
        "class=\"tabledata\">--</td><td width=\"75\" class=\"tabledata\">No Link</td><td "
        "width=\"100\" "
        "class=\"tabledata\"><select name=\"plinkspeed\" onChange=\"set_phy_linkspeed(0, "
        "this.options[this.selectedIndex].value);\"><option value=\"0\" "
        "selected>Auto</option><option "
        "value=\"1\">1.5 Gbps</option><option value=\"2\">3.0 Gbps</option></select></td><td "
        "width=\"100\" class=\"tabledata\">--</td><td width=\"70\" "
        "class=\"tabledata\">--</td></tr>\n");
    const std::string h = " style=\"background-color: #FFFF00;\"";
    EXPECT_HAS(body, "<td width=\"175\" class=\"tabledata\"" + h +
                         ">5000C500000012AB</td><td width=\"75\" "
                         "class=\"tabledata\"" +
                         h + "> 6.0 Gbps</td>");
    EXPECT_HAS(
        body,
        "<option value=\"2\" selected>3.0 Gbps</option><option value=\"4\">6.0 Gbps</option>");
    EXPECT_HAS(
        body,
        ">SAS</td><td width=\"70\" class=\"tabledata\"" + h +
            "><a href=\"javascript:goto_drivesummary(4);\" style=\"color: #0000FF;text-decoration: "
            "underline;font-weight: bold;\">VPort 4</a></td></tr>\n");
    EXPECT_HAS(body, "> --</td>");
    EXPECT_HAS(body, ">Enclosure</td><td width=\"70\" class=\"tabledata\">--</td>");
    EXPECT_EQ(count_of(body, "#FFFF00"), 6u);
    EXPECT_HAS(body,
               "url = \"/page1_0_1.html?SetPhyLinkspeed=\" + value + \"&y=\" + phy + \"&c=\" + "
               "parent.cur_controller;");
    EXPECT_HAS(body, "document.title = \"Tavix Pyv2 - Controller Phy Summary\"");

    body = page_of([&](PageBuilder& p) {
        return write_page1_0_1(p, 1, -1, &machine_.list, machine_.records);
    });
    EXPECT_HAS(
        body,
        "<tr><td colspan=\"6\" class=\"tabledata\"><font style=\"color: #FF0000;font-weight: "
        "bold;\">NO PHYS</font></td></tr>\n</table>");
}

// --- Unit tree -------------------------------------------------------------------

// Gives a unit `count` sub-units of the given type (numbers 0, 1, ...), each
// a leaf on ports first_port, first_port + 1, ...; returns them.
UnitRecord* give_sub_units(UnitRecord& unit, int count, int type, int first_port) {
    unit.sub_units.count = static_cast<uint32_t>(count);
    unit.sub_unit_records = new UnitRecord[count];
    for (int k = 0; k < count; ++k) {
        UnitRecord& s = unit.sub_unit_records[k];
        s.number = static_cast<uint8_t>(k);
        s.type = type;
        s.status = 255;
        s.drive_port = static_cast<uint8_t>(first_port + k);
    }
    return unit.sub_unit_records;
}

class UnitTreeTest : public InfoPagesTest {
  protected:
    // The one unit record of the details page, on the family 6 controller.
    UnitRecord& unit(int type) {
        ControllerRecord& r = machine_.at(1);
        r.units.count = 3;
        delete[] r.unit_records;
        r.unit_records = new UnitRecord[1];
        UnitRecord& u = r.unit_records[0];
        u.number = 2;
        u.type = type;
        u.status = 255;
        u.is_ok = 1;
        u.flags = 4;
        u.initialized = 1;
        return u;
    }
    std::string details() {
        return page_of([&](PageBuilder& p) {
            return write_page1_1(p, 1, 2, &machine_.list, machine_.records);
        });
    }
};

TEST_F(UnitTreeTest, SingleDisk) {
    UnitRecord& u = unit(11);
    u.drive_port = 6;
    set(u.name, "n<1>");
    set(u.serial_number, "ser\"1");
    u.capacity = 976773168;
    u.lun_count = 1;
    const std::string body = details();
    EXPECT_HAS(
        body,
        "<table bgcolor=\"#FFFFFF\" border=\"0\">\n<tr><td colspan=\"1\" class=\"tabletitle14\" "
        "width=\"300\">Unit 2 (Controller ID 2)</td></tr>\n<tr><td colspan=\"1\" "
        "class=\"tabledata\"><table border=\"0\">\n<tr><td "
        "class=\"tabledata\"><b>Status</b>&nbsp;&nbsp;"
        "</td><td class=\"tabledata\"><font style=\"color: #009900;font-weight: bold;\">OK</font>"
        "</td></tr>\n<tr><td class=\"tabledata\"><b>Name</b>&nbsp;&nbsp;</td><td "
        "class=\"tabledata\">n&lt;1&gt;</td></tr>\n<tr><td class=\"tabledata\"><b>Serial "
        "#</b>&nbsp;&nbsp;</td><td class=\"tabledata\">ser&quot;1</td></tr>\n<tr><td "
        "class=\"tabledata\"><b>Capacity</b>&nbsp;&nbsp;</td><td class=\"tabledata\">465.76 "
        "GB</td></tr>\n<tr><td class=\"tabledata\"><b>Type</b>&nbsp;&nbsp;</td><td "
        "class=\"tabledata\">SINGLE DISK</td></tr>\n<tr><td class=\"tabledata\"><b>Stripe</b>&nbsp;"
        "&nbsp;</td><td class=\"tabledata\">--</td></tr>\n<tr><td "
        "class=\"tabledata\"><b>Volumes</b>&nbsp;&nbsp;</td><td "
        "class=\"tabledata\">1</td></tr>\n<tr><td "
        "class=\"tabledata\"><b>Port</b>&nbsp;&nbsp;</td><td class=\"tabledata\"><a "
        "href=\"javascript:goto_drivesummary(6)\" style=\"color: #0000FF;text-decoration: "
        "underline;font-weight: bold;\">6</a></td></tr>\n</table></td></tr>\n</table>\n");
    EXPECT_LACKS(body, "SUBUNIT");
    EXPECT_LACKS(body, "migunitdisplay\"");
    EXPECT_LACKS(body, "VOLUME");
}

TEST_F(UnitTreeTest, Raid10OfTwoMirrorsSideBySide) {
    UnitRecord& u = unit(6);
    u.stripe_size = 64;
    u.initialized = 0;
    UnitRecord* mirrors = give_sub_units(u, 2, 1, 0);
    give_sub_units(mirrors[0], 2, 12, 0);
    give_sub_units(mirrors[1], 2, 12, 2);
    mirrors[1].status = 223;
    mirrors[1].percent_complete = 40;
    mirrors[1].sub_unit_records[1].status = 223;
    mirrors[1].sub_unit_records[1].percent_complete = 40;
    const std::string body = details();
    EXPECT_HAS(body, "<td class=\"tabledata\">RAID 10 (not initialized)</td>");
    EXPECT_HAS(body, "<td class=\"tabledata\">64kB</td>");
    EXPECT_HAS(body, "<b>Subunits</b>&nbsp;&nbsp;</td><td class=\"tabledata\">2</td>");
    EXPECT_HAS(body,
               "<tr><td colspan=\"2\" class=\"tabletitle14\">Unit 2 (Controller ID 2)</td></tr>");
    EXPECT_HAS(
        body,
        "<tr><!--- BEGIN SUBUNITS ROW --->\n  <td><!--- START SUBUNIT 0--->\n      <table "
        "border=\"0\" "
        "width=\"145\">\n      <tr><td colspan=\"2\" class=\"tableheader\">Subunit 0</td></tr>\n");
    EXPECT_HAS(body, "<!--- END SUBUNIT 1---></td>\n<!--- END SUBUNITS ROW ---></tr>\n</table>\n");
    EXPECT_EQ(count_of(body, "<!--- START SUBSUBUNIT "), 4u);
    EXPECT_LACKS(body, "RESTART");
    // A mirror box and a drive box under it.
    EXPECT_HAS(body,
               "<font style=\"color: #D8D800;font-weight: bold;\">REBUILDING 40% (paused)</font>");
    EXPECT_HAS(body, "<font style=\"color: #D8D800;font-weight: bold;\">RBLD 40%</font>");
    EXPECT_HAS(
        body,
        "<b>Type</b>&nbsp;&nbsp;</td><td class=\"tabledata\">RAID 1 (not initialized)</td></tr>\n"
        "<tr><td class=\"tabledata\"><b>Stripe</b>&nbsp;&nbsp;</td><td "
        "class=\"tabledata\">--</td></tr>");
    EXPECT_HAS(body,
               "<b>Port</b>&nbsp;&nbsp;</td><td class=\"tabledata\"><a "
               "href=\"javascript:goto_drivesummary(3)\"");
}

TEST_F(UnitTreeTest, BoxesWrapAfterFiveAndAfterEveryBoxOfThree) {
    UnitRecord& u = unit(8);
    UnitRecord* groups = give_sub_units(u, 2, 5, 0);
    give_sub_units(groups[0], 3, 12, 0);
    give_sub_units(groups[1], 3, 12, 3);
    groups[0].stripe_size = 256;
    std::string body = details();
    EXPECT_HAS(
        body,
        "  <td><!--- START SUBUNIT 1--->\n    </td><!--- END Current SUBUNIT --->\n  </tr><!--- "
        "END "
        "Current SUBUNIT ROW --->\n  <tr><!--- BEGIN A New SUBUNIT ROW --->\n    <td><!--- RESTART "
        "Current SUBUNIT --->\n      <table border=\"0\" width=\"145\">\n      <tr><td "
        "colspan=\"3\" "
        "class=\"tableheader\">Subunit 1</td></tr>");
    EXPECT_EQ(count_of(body, "RESTART"), 1u);
    EXPECT_HAS(body, "<td class=\"tabledata\">256kB</td>");
    // The top-level RAID 50 shows no stripe.
    EXPECT_HAS(body,
               "RAID 50</td></tr>\n<tr><td class=\"tabledata\"><b>Stripe</b>&nbsp;&nbsp;</td><td "
               "class=\"tabledata\">--</td>");

    UnitRecord& jbod_of_seven = unit(0);
    give_sub_units(jbod_of_seven, 7, 12, 0);
    body = details();
    EXPECT_HAS(
        body,
        "  <td><!--- START SUBUNIT 5--->\n    </td><!--- END Current SUBUNIT --->\n  </tr><!--- "
        "END "
        "Current SUBSUBUNIT ROW --->\n  <tr><!--- BEGIN A New SUBSUBUNIT ROW --->\n    <td><!--- "
        "RESTART Current SUBUNIT --->\n");
    EXPECT_EQ(count_of(body, "RESTART"), 1u);
}

TEST_F(UnitTreeTest, LeafOfAHealthyUnitWhoseDriveHasAProblem) {
    UnitRecord& u = unit(1);
    give_sub_units(u, 2, 12, 0);
    machine_.drives(1, {255, 238});
    std::string body = details();
    EXPECT_EQ(count_of(body, "<font style=\"color: #D8D800;font-weight: bold;\">WARNING</font>"),
              1u);
    EXPECT_HAS(body, "goto_drivesummary(1)\"");
    machine_.at(1).unit_records[0].sub_unit_records[1].drive_port =
        255;  // no drive: "--", no warning
    body = details();
    EXPECT_LACKS(body, "WARNING");
    EXPECT_HAS(body, "<b>Port</b>&nbsp;&nbsp;</td><td class=\"tabledata\">--</td>");
}

TEST_F(UnitTreeTest, MigratingUnitAndItsPopUp) {
    UnitRecord& u = unit(32);
    u.has_migrating = 1;
    u.is_ok = 0;
    u.task_percent = 30;
    u.capacity = 2097152;
    UnitRecord* layouts = give_sub_units(u, 2, 5, 0);
    layouts[1].type = 7;
    layouts[0].stripe_size = 64;
    layouts[1].stripe_size = 128;
    give_sub_units(layouts[0], 3, 12, 0);
    give_sub_units(layouts[1], 4, 12, 0);
    const std::string body = details();
    EXPECT_HAS(body,
               "<b>Type</b>&nbsp;&nbsp;</td><td class=\"tabledata\">RAID 5 > <a "
               "href=\"javascript:show_migrate_unit(1);\" style=\"color: #0000FF;text-decoration: "
               "underline;\">RAID 6</a></td>");
    EXPECT_HAS(body,
               "<div id=\"migunitdisplay\" style=\"position:absolute; z-index: -1; left: 40;top: "
               "20;visibility: hidden\">\n<table border=\"5\" cellspacing=\"0\" cellpadding=\"0\" "
               "style=\"border-style:outset; border-width:thick; border-color: #E0A000;\">\n<form "
               "name=\"closeform\">\n<tr><td bgcolor=\"#E0A000\">\n");
    EXPECT_HAS(body,
               "<tr><td bgcolor=\"#FFFFFF\"><input type=\"button\" name=\"closebutton\" "
               "onClick=\"show_migrate_unit(0);\" "
               "value=\"Close\"></td></tr>\n</form>\n</table>\n</div>\n");
    const std::string pop_up = body.substr(body.find("<div id=\"migunitdisplay\""));
    EXPECT_HAS(pop_up, "<b>Type</b>&nbsp;&nbsp;</td><td class=\"tabledata\">RAID 6</td>");
    EXPECT_HAS(pop_up, "<b>Capacity</b>&nbsp;&nbsp;</td><td class=\"tabledata\">--</td>");
    EXPECT_HAS(pop_up, "<td class=\"tabledata\">128kB</td>");
    EXPECT_HAS(pop_up, "MIGRATING 30% (paused)");
    EXPECT_EQ(count_of(pop_up, "<!--- START SUBUNIT "), 4u);
    const std::string before = body.substr(0, body.find("<div id=\"migunitdisplay\""));
    EXPECT_HAS(before, "<b>Capacity</b>&nbsp;&nbsp;</td><td class=\"tabledata\">1.00 GB</td>");
    EXPECT_EQ(count_of(before, "<!--- START SUBUNIT "), 3u);
    EXPECT_HAS(body, "style = document.getElementById('migunitdisplay').style;");
}

TEST_F(UnitTreeTest, VolumeTableOfAUnitOfSeveralVolumes) {
    UnitRecord& u = unit(0);
    u.lun_count = 3;
    u.luns.count = 3;  // identifiers the library does not know: no capacity
    give_sub_units(u, 2, 12, 0);
    std::string body = details();
    EXPECT_HAS(body, "<!--- BEGIN VOLUME ROW --->");
    EXPECT_HAS(
        body,
        "<tr><td colspan=\"2\" width=\"300\" class=\"tabletitle14\">Volume Information</td></tr>\n"
        "<tr><td class=\"tabledata\"><b>Volume 0</b></td><td class=\"tabledata\">-</td></tr>\n");
    EXPECT_HAS(body, "<b>Volume 2</b>");
    EXPECT_LACKS(body, "<b>Volume 3</b>");
    EXPECT_HAS(body, "<!--- END VOLUMES --->");
    u.lun_count = 1;
    body = details();
    EXPECT_LACKS(body, "VOLUME");
}

// --- Scripts -------------------------------------------------------------------------

TEST_F(InfoPagesTest, EveryScriptParsesWithHostileTexts) {
    ASSERT_EQ(env_.config().set_language(1), 0);
    env_.write_messages("de", section(0x13, {{3, kHostile},
                                             {141, kHostile},
                                             {142, kHostile},
                                             {513, kHostile},
                                             {138, kHostile},
                                             {140, kHostile},
                                             {2, kHostile}}));
    const char* const hostile_error = "Err <img src=x onerror=alert(2)> \"'\\</script>";
    for (ControllerRecord& r : machine_.records) {
        set(r.model, kHostileModel);
        set(r.error_text, hostile_error);
    }
    UnitRecord* units = machine_.units(1, {5, 32});
    set(units[0].name, "</script>\"'\\");
    machine_.drives(1, {255});
    set(machine_.at(1).drive_records[0].model, kHostileModel);
    using Writer =
        int (*)(PageBuilder&, int, int, const ControllerIdList*, const ControllerRecord*);
    const Writer writers[] = {write_page0, write_page1_0, write_page1_1, write_page1_2,
                              write_page1_0_1};
    int n = 0;
    for (Writer write : writers) {
        for (int c : {1, 3}) {
            std::string body = page_of(
                [&](PageBuilder& p) { return write(p, c, -1, &machine_.list, machine_.records); });
            // Catalogue texts are the page's own HTML; device texts are not.
            EXPECT_LACKS(body, "9X\"</script>");
            EXPECT_LACKS(body, "<img src=x");
            std::string path = env_.dir().file("info" + std::to_string(n++) + ".js");
            ASSERT_TRUE(write_file(path, script_of(body)));
            std::string output;
            EXPECT_EQ(run_node("--check", path, &output), 0) << output;
        }
    }
}

TEST_F(InfoPagesTest, PageScriptsLoadTheActionsTheyStand) {
    machine_.units(1, {5});
    const std::string units = page_of(
        [&](PageBuilder& p) { return write_page1_1(p, 1, -2, &machine_.list, machine_.records); });
    Browser browser;
    browser.cur_controller = 1;
    run_in_browser(env_, units, browser, R"JS(
blink_unit(3, 1);
assert.deepStrictEqual(find('replace'), [['replace', '/page1_1.html?BlinkUnit=3&On=1&c=1']]);
const div = { style: { visibility: 'hidden', top: 20, zIndex: -1 } };
document.getElementById = (id) => { assert.strictEqual(id, 'migunitdisplay'); return div; };
window.pageYOffset = 300;
show_migrate_unit(1);
assert.deepStrictEqual(div.style, { visibility: 'visible', top: 340, zIndex: 10 });
show_migrate_unit(0);
assert.strictEqual(div.style.visibility, 'hidden');
)JS");

    machine_.drives(1, {255});
    const std::string drives = page_of(
        [&](PageBuilder& p) { return write_page1_2(p, 1, -1, &machine_.list, machine_.records); });
    run_in_browser(env_, drives, browser, R"JS(
const opened = [];
window.open = (u, name, attribs) => { opened.push([u, name, attribs]); return { focus() { calls.push(['focus']); } }; };
smart_data(1, 4);
assert.deepStrictEqual(opened, [['/smart.html?c=1&p=4', 'smartwin',
  'toolbar=0,location=0,directories=0,status=0,menubar=0,width=500,height=650,scrollbars=1']]);
assert.strictEqual(find('focus').length, 1);
window.open = () => null;
smart_data(1, 5);
blink_drive(7, 0);
assert.deepStrictEqual(find('replace'), [['replace', '/page1_2.html?BlinkDrive=7&On=0&c=1']]);
)JS");

    const std::string phys = page_of([&](PageBuilder& p) {
        return write_page1_0_1(p, 1, -1, &machine_.list, machine_.records);
    });
    run_in_browser(env_, phys, browser, R"JS(
set_phy_linkspeed(3, 2);
assert.deepStrictEqual(find('replace'), [['replace', '/page1_0_1.html?SetPhyLinkspeed=2&y=3&c=1']]);
)JS");

    const std::string details = page_of(
        [&](PageBuilder& p) { return write_page1_0(p, 1, -1, &machine_.list, machine_.records); });
    run_in_browser(env_, details, browser, R"JS(
download_log(1);
assert.deepStrictEqual(find('replace'), [['replace', '/errorlog_1.dat']]);
)JS");
}

}  // namespace
