// The Scheduling, Battery Backup and drive SMART pages written from records
// filled by hand: their markup where it is fixed, the forms for missing
// controllers and for each family, and their scripts, run in a stand-in
// browser and parsed with hostile texts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "api/ctl.h"
#include "daemon/http_codes.h"
#include "tests/web/page_test_support.h"
#include "web/pages/battery_page.h"
#include "web/pages/record_access.h"
#include "web/pages/schedule_page.h"
#include "web/pages/schedule_slots.h"
#include "web/pages/smart_page.h"

namespace {

using namespace pagetest;

// Controllers of four families as a handler fills them, and a record whose
// read failed.
struct Machine {
    static constexpr int kCount = 5;
    ControllerIdList list{};
    ControllerRecord records[kCount];

    Machine() {
        make_controllers(list, records, {3, 4, 6, 8, -1}, "QX-6200-8");
        records[3].extended_device_info = 1;
        set(records[4].error_text, "(0x0B:0x0067): Controller <not> found");
    }

    // Sets the task's start and duration (minutes) of a slot.
    void slot(int controller, int task, int slot, int start, int duration = 0) {
        TaskSchedule schedule = schedule_of(records[controller]);
        TaskScheduleSlot& s = schedule.slots[slot];
        const uint16_t st = static_cast<uint16_t>(start);
        const uint16_t du = static_cast<uint16_t>(duration);
        if (task == kRebuildTask) s.rebuild_start = st, s.rebuild_duration = du;
        if (task == kVerifyTask) s.verify_start = st, s.verify_duration = du;
        if (task == kSelftestTask) s.selftest_start = st;
        store_schedule(records[controller], schedule);
    }
};

class TaskPagesTest : public ::testing::Test {
  protected:
    PageEnv env_{"Refresh 3\n"};
    Machine machine_;

    template <typename Write>
    std::string page_of(Write write, int level = kAccessAdmin) {
        return html_of(env_, write, level);
    }
    std::string schedule(int c, int tab) {
        return page_of([&](PageBuilder& p) {
            return write_page2_1(p, c, &machine_.list, machine_.records, tab);
        });
    }
    std::string battery(int c) {
        return page_of(
            [&](PageBuilder& p) { return write_page3_1(p, c, &machine_.list, machine_.records); });
    }
    std::string smart(int c, int p, const uint8_t* data, const char* error = "E",
                      const char* host = "host") {
        return page_of([&](PageBuilder& page) {
            return write_smart(page, host, p, machine_.records[c], data, error);
        });
    }
};

// The cells of a used slot's row after its check box: number, day, time.
std::string used_row(int slot, const char* day, const char* time, const char* attributes = "") {
    return "<input type=\"checkbox\" name=\"sched\" value=\"" + std::to_string(slot) + "\"" +
           attributes + "><b>" + std::to_string(slot + 1) + ".</b></td><td class=\"tabledata\">" +
           day + "</td><td class=\"tabledata\">" + time + "</td>";
}

// --- Scheduling page -------------------------------------------------------------------

TEST_F(TaskPagesTest, ScheduleSlotsAndTheirTimes) {
    machine_.slot(2, kRebuildTask, 0, kLastScheduleStart, 90);  // Saturday 23:45
    machine_.slot(2, kRebuildTask, 1, kLastScheduleStart + 1, 60);
    machine_.slot(2, kRebuildTask, 2, 1440, 120);         // Monday 0:00
    machine_.slot(2, kRebuildTask, 3, 12 * 60, 24 * 60);  // Sunday noon
    machine_.slot(2, kRebuildTask, 4, 2 * 1440 + 14 * 60 + 59, 59);
    machine_.records[2].rebuild_schedule_enabled = 1;
    std::string body = schedule(2, kRebuildTask);
    EXPECT_HAS(body, used_row(0, "Saturday", "11:00pm") + "<td class=\"tabledata\">1</td></tr>");
    EXPECT_HAS(body,
               "<tr><td class=\"tabledata\"><b>2.</b></td><td class=\"tabledata\">--</td>"
               "<td class=\"tabledata\">--</td><td class=\"tabledata\">--</td></tr>");
    EXPECT_HAS(body, used_row(2, "Monday", "12:00am") + "<td class=\"tabledata\">2</td></tr>");
    EXPECT_HAS(body, used_row(3, "Sunday", "12:00pm") + "<td class=\"tabledata\">24</td></tr>");
    EXPECT_HAS(body, used_row(4, "Tuesday", "2:00pm") + "<td class=\"tabledata\">0</td></tr>");
    EXPECT_HAS(body, "<tr><td class=\"tabledata\"><b>7.</b></td><td class=\"tabledata\">--</td>");
    EXPECT_HAS(body,
               "<input type=\"radio\" name=\"rebuildstate\" checked>Follow Schedule "
               "<input type=\"radio\" name=\"rebuildstate\" onClick=\"enable_sched(0, 0)\">"
               "Ignore Schedule");
    EXPECT_HAS(body, "<option value=\"0\">12:00am</option><option value=\"1\">1:00am</option>");
    EXPECT_HAS(body, "<option value=\"12\">12:00pm</option>");

    // German writes the 24-hour clock.
    ASSERT_EQ(env_.config().set_language(1), 0);
    body = schedule(2, kRebuildTask);
    EXPECT_HAS(body,
               ".</b></td><td class=\"tabledata\">Saturday</td><td class=\"tabledata\">23:00</td>");
    EXPECT_HAS(body, "<option value=\"0\">0:00</option>");
    EXPECT_HAS(body, "<option value=\"14\">14:00</option>");
}

TEST_F(TaskPagesTest, ScheduleStatesAndSlotsOfEachTable) {
    ControllerRecord& r = machine_.records[2];
    // No slot in use: the state is not offered, the add row is.
    std::string body = schedule(2, kRebuildTask);
    EXPECT_HAS(body,
               "<td colspan=\"2\" class=\"tabledata\"><font style=\"color: #FF0000;\">"
               "Ignored until at least one schedule slot is set below</font></td>");
    EXPECT_EQ(count_of(body, "\">--</td>"), 21u);
    EXPECT_HAS(body, "<input type=\"button\" value=\"Add New Slot\" onClick=\"add_sched(0)\">");
    EXPECT_HAS(body, "<select name=\"duration\"><option value=\"1\">1</option>");
    EXPECT_HAS(body, "<option value=\"24\">24</option></select></td></tr>\n</form>\n</table>");
    EXPECT_HAS(body, "<option value=\"0\" selected>Rebuild/Migrate Tasks</option>");

    // States 0 and 2 are ignored, any other followed.
    machine_.slot(2, kVerifyTask, 5, 100, 60);
    for (int state : {0, 2, 1, 7}) {
        r.verify_schedule_enabled = static_cast<uint8_t>(state);
        body = schedule(2, kVerifyTask);
        const bool followed = state != 0 && state != 2;
        EXPECT_HAS(body, std::string("<input type=\"radio\" name=\"verifystate\"") +
                             (followed ? " checked>" : " onClick=\"enable_sched(1, 1)\">") +
                             "Follow Schedule")
            << state;
        EXPECT_HAS(body, "<form name=\"verifysched\">");
        EXPECT_HAS(body, used_row(5, "Sunday", "1:00am"));
        EXPECT_HAS(body, "onClick=\"delete_sched(1)\"");
        EXPECT_HAS(body, "Schedule Verify Tasks (Controller ID 3)");
    }
}

TEST_F(TaskPagesTest, VerifyScheduleWithBasicAndAdvancedModes) {
    ControllerRecord& r = machine_.records[3];
    r.firmware_level = 1;
    r.basic_verify_time = 3 * 1440 + 17 * 60;  // Wednesday 5:00pm
    machine_.slot(3, kVerifyTask, 2, 100, 60);

    // Basic: the preferred time chosen, the slots locked, no add row.
    r.verify_schedule_enabled = 2;
    std::string body = schedule(3, kVerifyTask);
    EXPECT_HAS(body, "<input type=\"radio\" name=\"verifymode\" checked><b>Basic</b>");
    EXPECT_HAS(
        body,
        "<input type=\"radio\" name=\"verifymode\" onClick=\"enable_sched(1, 1)\"><b>Advanced</b>");
    EXPECT_HAS(body, "<select name=\"bverify_day\" onChange=\"set_basicverify_day_time(0);\">");
    EXPECT_HAS(body, "<option value=\"3\" selected>Wednesday</option>");
    EXPECT_HAS(body, "<select name=\"bverify_hour\" onChange=\"set_basicverify_day_time(1);\">");
    EXPECT_HAS(body, "<option value=\"17\" selected>5:00pm</option>");
    EXPECT_HAS(body, used_row(2, "Sunday", "1:00am", " disabled"));
    EXPECT_LACKS(body, "add_sched(1)");
    EXPECT_LACKS(body, "delete_sched(1)");

    // Advanced with one slot: it cannot be removed; with two it can.
    r.verify_schedule_enabled = 1;
    body = schedule(3, kVerifyTask);
    EXPECT_HAS(body,
               "<select name=\"bverify_day\" onChange=\"set_basicverify_day_time(0);\" disabled>");
    EXPECT_HAS(body,
               "<select name=\"bverify_hour\" onChange=\"set_basicverify_day_time(1);\" disabled>");
    EXPECT_HAS(body, used_row(2, "Sunday", "1:00am", " disabled"));
    EXPECT_HAS(body,
               "<hr><br><input type=\"button\" value=\"Add New Slot\" onClick=\"add_sched(1)\">");
    machine_.slot(3, kVerifyTask, 4, 200, 60);
    body = schedule(3, kVerifyTask);
    EXPECT_HAS(body, used_row(2, "Sunday", "1:00am"));
    EXPECT_HAS(
        body,
        "<hr><input type=\"button\" value=\"Remove Checked\" onClick=\"delete_sched(1)\"><br>");

    // Without the choice the plain verify table.
    r.firmware_level = 0;
    EXPECT_LACKS(schedule(3, kVerifyTask), "name=\"bverify_day\"");
}

TEST_F(TaskPagesTest, SelftestTasksByFamily) {
    for (int c : {1, 2}) {
        machine_.records[c].selftest_flags = 2;
        machine_.slot(c, kSelftestTask, 0, 6 * 1440 + 23 * 60);
        const std::string body = schedule(c, kSelftestTask);
        EXPECT_HAS(body, "Schedule Self-test Tasks (Controller ID " + std::to_string(c + 1) + ")");
        EXPECT_HAS(body, "Tasks (applies to all schedule slots)</td></tr>");
        EXPECT_HAS(body, used_row(0, "Saturday", "11:00pm") +
                             "<td width=\"300\" rowspan=\"7\" valign=\"top\" class=\"tabledata\">");
        EXPECT_HAS(
            body,
            "<input type=\"checkbox\" name=\"SelfTestCheckSmart\" value=\"2\" "
            "onClick=\"change_sched_tasks()\" checked>Check S.M.A.R.T. Thresholds</td></tr>");
        EXPECT_EQ(has(body,
                      "<input type=\"checkbox\" name=\"SelfTestUDMA\" value=\"1\" "
                      "onClick=\"change_sched_tasks()\">Upgrade UDMA mode<br>"),
                  c == 1)
            << c;
        EXPECT_HAS(body,
                   "<tr><td class=\"tabledata\"><b>2.</b></td><td class=\"tabledata\">--</td>"
                   "<td class=\"tabledata\">--</td></tr>");
        EXPECT_HAS(body, "onClick=\"add_sched(2)\">&nbsp; Day <select name=\"day\">");
        EXPECT_LACKS(body, "name=\"duration\"");
    }
}

TEST_F(TaskPagesTest, ScheduleFormsWithoutATab) {
    std::string body = schedule(2, 7);
    EXPECT_HAS(body, "Schedule Rebuild/Migrate Tasks");
    EXPECT_LACKS(body, " selected>");
    EXPECT_HAS(schedule(0, kRebuildTask),
               "<font style=\"color: #FF0000;font-weight: bold;\">(0x0C:0x0017): Scheduling is not "
               "supported on this controller model</font>");
    body = schedule(4, kRebuildTask);
    EXPECT_HAS(body, "Controller ID 5  (0x0B:0x0067): Controller &lt;not&gt; found</font>");
    EXPECT_LACKS(body, "name=\"seltask\"");
    ControllerIdList none{};
    none.count = static_cast<uint32_t>(kNoneFound);
    body = page_of([&](PageBuilder& p) { return write_page2_1(p, kNoneFound, &none, nullptr, 0); });
    EXPECT_HAS(body, "NO CONTROLLERS");
}

TEST_F(TaskPagesTest, ScheduleScriptsLoadTheirChanges) {
    machine_.slot(2, kRebuildTask, 0, 100, 60);
    const std::string body = schedule(2, kRebuildTask);
    Browser browser;
    browser.cur_controller = 2;
    run_in_browser(env_, body, browser, R"JS(
const box = (value, checked) => ({ type: 'checkbox', name: 'sched', value: value, checked: checked });
const select = (value) => ({ value: value });
document.forms = {
  selform: { elements: { seltask: { selectedIndex: 1, options: [{ value: '0' }, { value: '2' }] } } },
  rebuildsched: { elements: Object.assign([box('0', true), { type: 'button', name: 'x' }, box('3', true),
                                           box('5', false)],
                                          { day: select('1'), hour: select('2'), duration: select('3') }) },
  verifysched: { elements: Object.assign([box('1', false), box('2', false)],
                                         { day: select('6'), hour: select('23'), duration: select('24') }) },
  selftestsched: { elements: Object.assign([box('4', true)],
                                           { day: select('0'), hour: select('0'),
                                             SelfTestCheckSmart: { checked: true, value: '2' } }) },
  basicverifysched: { elements: { bverify_day: select('4'), bverify_hour: select('9') } },
};
select_which_task();
enable_sched(0, 1);
enable_sched(1, 0);
assert.strictEqual(enable_sched(2, 1), false);
delete_sched(0);
assert.strictEqual(delete_sched(1), false);
assert.strictEqual(delete_sched(2), false);
assert.strictEqual(delete_sched(3), false);
add_sched(0);
add_sched(1);
add_sched(2);
assert.strictEqual(add_sched(5), false);
change_sched_tasks();
document.forms.selftestsched.elements.SelfTestUDMA = { checked: true, value: '1' };
change_sched_tasks();
document.forms.selftestsched.elements.SelfTestCheckSmart.checked = false;
document.forms.selftestsched.elements.SelfTestUDMA.checked = false;
change_sched_tasks();
set_basicverify_day_time(1);
assert.deepStrictEqual(find('replace').map(c => c[1]), [
  '/page2_1.html?WhichSched=2&c=2',
  '/page2_1.html?RebuildSchedEnable=1&c=2',
  '/page2_1.html?VerifySchedEnable=0&c=2',
  '/page2_1.html?RebuildSchedDelete=0,3&c=2',
  '/page2_1.html?RebuildSchedAddDay=1&Hour=2&Duration=3&WhichSched=0&c=2',
  '/page2_1.html?VerifySchedAddDay=6&Hour=23&Duration=24&WhichSched=1&c=2',
  '/page2_1.html?SelftestSchedAddDay=0&Hour=0&Duration=0&WhichSched=2&c=2',
  '/page2_1.html?SelftestSchedTasks=2&c=2',
  '/page2_1.html?SelftestSchedTasks=3&c=2',
  '/page2_1.html?SelftestSchedTasks=0&c=2',
  '/page2_1.html?BasicVerifySchedDay=4&Hour=9&Duration=NULL&c=2',
]);
assert.deepStrictEqual(find('alert').map(c => c[1]), [
  'Please check at least one schedule slot to delete',
  'Warning:  Cannot delete last scheduled task. At least one task must remain.',
]);
)JS");
}

// --- Battery Backup page ----------------------------------------------------------------

std::string battery_row(const std::string& label, const std::string& value) {
    return "<tr><td width=\"215\" class=\"tabledata\">&nbsp;&nbsp;<b>" + label +
           "</b></td><td width=\"300\" colspan=\"2\" class=\"tabledata\">" + value + "</td></tr>";
}

TEST_F(TaskPagesTest, BatteryOfEachState) {
    ControllerRecord& r = machine_.records[2];
    r.battery = new BatteryRecord();
    BatteryRecord& b = *r.battery;
    b.enabled = 1;
    b.bbu_present = 1;
    b.battery_present = 1;
    set(b.firmware_version, "BBU <3>");
    set(b.serial_number, "S\"1'");
    b.ready = 8;
    b.status = 4;
    b.voltage_status = 0;
    b.temperature_status = 2;
    b.temperature_c = 25;
    b.temperature_f = 77;
    b.backup_capacity = 48;
    set(b.last_capacity_test, "14-May-2025");
    set(b.installation_date, "28-Aug<24");

    std::string body = battery(2);
    EXPECT_HAS(body,
               "<tr><td colspan=\"3\" class=\"tabletitle14\">Battery Backup Information "
               "(Controller ID 3)</td></tr>");
    EXPECT_HAS(body,
               battery_row("Battery Backup Unit",
                           "<font style=\"color: #009900;font-weight: bold;\">PRESENT</font>"));
    EXPECT_HAS(body, battery_row("Firmware", "BBU &lt;3&gt;"));
    EXPECT_HAS(body, battery_row("Serial #", "S&quot;1&#39;"));
    EXPECT_HAS(body, battery_row("BBU Ready",
                                 "<font style=\"color: #009900;font-weight: bold;\">Ready</font>"));
    EXPECT_HAS(body,
               battery_row("Battery Temperature",
                           "<font style=\"color: #D8D800;font-weight: bold;\">HIGH&nbsp;(77&#176;F"
                           "&nbsp;|&nbsp;25&#176;C)</font>"));
    EXPECT_HAS(body, battery_row("Estimated Backup Capacity", "48 hours"));
    EXPECT_HAS(body,
               "<b>Last Capacity Test</b></td><td width=\"110\" class=\"tabledata\">14-May-2025"
               "</td><td width=\"190\" class=\"tabledata\"><a href=\"javascript:test_bbu();\" "
               "style=\"color: #0000FF;text-decoration: underline;font-weight: bold;\"><b>[Test "
               "Battery Capacity]</b></a></td></tr>");
    EXPECT_HAS(body, battery_row("Battery Installation Date", "28-Aug&lt;24"));
    EXPECT_EQ(count_of(body, ">--</td>"), 0u);

    b.ready = 7;
    b.battery_present = 0;
    body = battery(2);
    EXPECT_HAS(body,
               battery_row("BBU Ready",
                           "<font style=\"color: #FF0000;font-weight: bold;\">Not Ready</font>"));
    EXPECT_HAS(body, battery_row("Battery Voltage", "--"));
    EXPECT_EQ(count_of(body, ">--</td>"), 5u);

    b.enabled = 0;
    b.bbu_present = 0;
    body = battery(2);
    EXPECT_HAS(body,
               battery_row("Battery Backup Unit",
                           "<font style=\"color: #FF0000;font-weight: bold;\">DISABLED</font>"));
    EXPECT_HAS(body, battery_row("Firmware", "--"));
    EXPECT_EQ(count_of(body, ">--</td>"), 9u);

    // No record attached: not present.
    delete r.battery;
    r.battery = nullptr;
    EXPECT_HAS(battery(2), "NOT PRESENT");
    body = battery(0);
    EXPECT_HAS(body, "(0x0C:0x0018): Battery Backup is not supported on this controller model");
    EXPECT_LACKS(body, "<table");
}

TEST_F(TaskPagesTest, BatteryScriptsAskBeforeTheTest) {
    const std::string body = battery(2);
    Browser browser;
    browser.cur_controller = 2;
    run_in_browser(env_, body, browser, R"JS(
const answers = [false, true];
global.confirm = (m) => { calls.push(['confirm', m]); return answers.shift(); };
test_bbu();
assert.deepStrictEqual(find('replace'), []);
test_bbu();
init_bbu();
assert.deepStrictEqual(find('replace').map(c => c[1]),
  ['/page3_1.html&TestBBU=1?c=2', '/page3_1.html&InitBBU=1?c=2']);
assert.strictEqual(find('confirm')[0][1], 'Testing the battery capacity will disable the battery ' +
  'backup unit for up to 24 hours.  Are you sure you want to start the test now?');
)JS");
}

// --- Drive details and SMART data pop-up -------------------------------------------------

DriveRecord& one_drive(ControllerRecord& r, int ports) {
    r.ports.count = static_cast<uint32_t>(ports);
    delete[] r.drive_records;
    r.drive_records = new DriveRecord[ports];
    DriveRecord& d = r.drive_records[ports - 1];
    set(d.serial_number, "S<1>");
    set(d.firmware_version, "F\"W");
    d.interface = 5;
    d.drive_port_count = 2;
    d.connections = 1;
    d.reallocated_sectors = 12;
    d.power_on_hours = 4321;
    d.temperature_c = 40;
    d.temperature_f = 104;
    d.spindle_speed = 7200;
    d.queuing_supported = 1;
    d.queuing_enabled = 0;
    d.link_speed_supported = 7;
    d.link_speed = 2;
    const uint8_t wwn[8] = {0x50, 0x00, 0xC5, 0x00, 0xAB, 0xCD, 0xEF, 0x01};
    std::memcpy(d.wwn, wwn, sizeof wwn);
    return d;
}

std::string detail(const std::string& label, const std::string& value) {
    return "<tr><td width=\"180\" class=\"tabledata\">&nbsp;&nbsp;<b>" + label +
           "</b></td><td width=\"330\" class=\"tabledata\">" + value + "</td></tr>";
}

TEST_F(TaskPagesTest, SmartPopUpOfALaterController) {
    uint8_t data[kSmartDataSize];
    for (int i = 0; i < kSmartDataSize; ++i) data[i] = static_cast<uint8_t>(i * 7);
    ControllerRecord& r = machine_.records[3];
    DriveRecord& d = one_drive(r, 3);

    std::string body = smart(3, 2, data, "E", "h<o>st");
    EXPECT_HAS(body, "<title>Pyv2 - h&lt;o&gt;st</title>");
    EXPECT_HAS(body,
               "<body bgcolor=\"#FFFFFF\">\n<form><input type=\"button\" value=\"Close\" "
               "onClick=\"window.close();\"></form>");
    EXPECT_HAS(body,
               "<tr><td colspan=\"2\" class=\"tabletitle12\">Extra Drive Info (Controller ID 4 "
               "- VPort 2)</td></tr>");
    EXPECT_EQ(count_of(body, "<td width=\"180\" class=\"tabledata\">"), 15u);
    EXPECT_HAS(body, detail("Serial #", "S&lt;1&gt;"));
    EXPECT_HAS(body, detail("Firmware", "F&quot;W"));
    EXPECT_HAS(body, detail("Drive Ports", "2"));
    EXPECT_HAS(body, detail("WWN", "5000C500ABCDEF01"));
    EXPECT_HAS(body, detail("Power On Hour", "4321"));
    EXPECT_HAS(body, detail("Temperature", "<b>40</b>&#176;C (<b>104</b>&#176;F)"));
    EXPECT_HAS(body, detail("Spindle Speed", "7200 RPM"));
    EXPECT_HAS(body, detail("Queuing Supported", "Yes"));
    EXPECT_HAS(body, detail("Queuing Enabled", "No"));
    EXPECT_HAS(body, detail("Link Supported", "1.5 Gbps, 3.0 Gbps and 6.0 Gbps"));
    EXPECT_HAS(body, detail("Link Enabled", "3.0 Gbps"));
    EXPECT_HAS(body,
               "</table>\n<br>\n<table border=\"0\">\n<tr><td width=\"480\" "
               "class=\"tabletitle12\">S.M.A.R.T. (Controller ID 4 - VPort 2)</td></tr>");
    EXPECT_HAS(body,
               "<font style=\"font-size: 8pt;font-family: monospace;\">00 07 0E 15 1C 23 2A 31 "
               "38 3F 46 4D 54 5B 62 69 <br>70 77 ");
    EXPECT_HAS(body, "F2 F9 <br><br></font></td></tr>\n</table>");
    const size_t dump = body.find("monospace;\">");
    EXPECT_EQ(count_of(body.substr(dump, body.find("</font>", dump) - dump), "<br>"), 33u);
    EXPECT_LACKS(body, "automatically refresh");
    EXPECT_LACKS(body, "<script");

    // The values read as unknown, other speeds; a SAS drive has no SMART table.
    d.power_on_hours = 65535;
    d.temperature_c = -1;
    d.queuing_supported = 0;
    d.queuing_enabled = 1;
    std::memset(d.wwn, 0, sizeof d.wwn);
    const struct {
        int supported, enabled;
        const char* supported_text;
        const char* enabled_text;
    } speeds[] = {{6, 1, "3.0 Gbps and 6.0 Gbps", "1.5 Gbps"},
                  {5, 4, "1.5 Gbps and 6.0 Gbps", "6.0 Gbps"},
                  {3, 3, "1.5 Gbps, 3.0 Gbps", "N/A"},
                  {2, 0, "3.0 Gbps", "N/A"},
                  {0, 8, "", "N/A"}};
    for (const auto& s : speeds) {
        d.link_speed_supported = static_cast<uint8_t>(s.supported);
        d.link_speed = static_cast<uint8_t>(s.enabled);
        body = smart(3, 2, data);
        EXPECT_HAS(body, detail("Link Supported", s.supported_text));
        EXPECT_HAS(body, detail("Link Enabled", s.enabled_text));
    }
    EXPECT_HAS(body, detail("Power On Hour", "N/A"));
    EXPECT_HAS(body, detail("Temperature", "N/A"));
    EXPECT_HAS(body, detail("Queuing Enabled", "N/A"));
    EXPECT_HAS(body, detail("WWN", "N/A"));
    for (int sas : {3, 7}) {
        d.interface = static_cast<uint8_t>(sas);
        body = smart(3, 2, nullptr);
        EXPECT_HAS(body, "Extra Drive Info");
        EXPECT_LACKS(body, "S.M.A.R.T. (");
    }
}

TEST_F(TaskPagesTest, SmartPopUpOfEarlierControllers) {
    uint8_t data[kSmartDataSize] = {};
    // Families 3 and 4: only the SMART table.
    for (int c : {0, 1}) {
        one_drive(machine_.records[c], 2).interface = 3;
        const std::string body = smart(c, 1, data);
        EXPECT_LACKS(body, "Extra Drive Info");
        EXPECT_HAS(body, "S.M.A.R.T. (Controller ID " + std::to_string(c + 1) + " - Port 1)");
        EXPECT_EQ(count_of(body, "00 "), 512u);
    }
    // Family 6: the details without the later rows.
    one_drive(machine_.records[2], 1);
    const std::string body = smart(2, 0, data);
    EXPECT_EQ(count_of(body, "<td width=\"180\" class=\"tabledata\">"), 11u);
    EXPECT_LACKS(body, "WWN");
    EXPECT_LACKS(body, "Drive Ports");
}

TEST_F(TaskPagesTest, SmartPopUpWithoutData) {
    one_drive(machine_.records[2], 2);
    std::string body = smart(2, 1, nullptr, "(0x03:0x010E): Invalid <port> \"x\"");
    EXPECT_HAS(body,
               "<tr><td class=\"tabledata\"><font style=\"color: #FF0000;\"><br><b>(0x03:0x010E): "
               "Invalid &lt;port&gt; &quot;x&quot;: Controller ID 3 - Failed to get S.M.A.R.T. "
               "data</b><br><br></font></td></tr>");
    // Positions that name no drive record show no details and read nothing
    // beyond the records.
    for (int p : {2, -1, 200, 1 << 30}) {
        body = smart(2, p, nullptr, "(0x0B:0x000A): Invalid drive ID");
        EXPECT_LACKS(body, "Extra Drive Info");
        EXPECT_HAS(body, "Invalid drive ID: Controller ID 3 - Failed to get S.M.A.R.T. data");
        EXPECT_HAS(body, "S.M.A.R.T. (Controller ID 3 - Port " + std::to_string(p) + ")");
    }
}

// --- Every script with hostile texts --------------------------------------------------

TEST_F(TaskPagesTest, EveryScriptParsesWithHostileTexts) {
    ASSERT_EQ(env_.config().set_language(1), 0);
    std::initializer_list<Entry> hostile = {{3, kHostile},   {145, kHostile}, {149, kHostile},
                                            {284, kHostile}, {286, kHostile}, {529, kHostile},
                                            {2, kHostile}};
    env_.write_messages("de", section(0x13, hostile));
    const char* const hostile_error = "Err <img src=x onerror=alert(2)> \"'\\</script>";
    for (ControllerRecord& r : machine_.records) {
        set(r.model, kHostileModel);
        set(r.error_text, hostile_error);
        r.firmware_level = 1;
        r.battery = new BatteryRecord();
        r.battery->bbu_present = 1;
        set(r.battery->serial_number, "</script><img src=x>");
    }
    int n = 0;
    auto check = [&](const std::string& body) {
        EXPECT_LACKS(body, "9X\"</script>");
        EXPECT_LACKS(body, "<img src=x");
        const std::string path = env_.dir().file("task" + std::to_string(n++) + ".js");
        ASSERT_TRUE(write_file(path, script_of(body)));
        std::string output;
        EXPECT_EQ(run_node("--check", path, &output), 0) << output;
    };
    for (int c : {2, 3, 4}) {
        for (int tab : {0, 1, 2}) check(schedule(c, tab));
        check(battery(c));
    }
    one_drive(machine_.records[3], 1);
    const std::string popup = smart(3, 0, nullptr, hostile_error, "</script><img src=x>");
    EXPECT_LACKS(popup, "<img src=x");
}

}  // namespace
