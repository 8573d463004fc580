// The enclosure summary and details pages, written from models of the
// simulated enclosures (some values then set by hand to reach the rows the
// simulator does not produce), and the details page's action scripts run in
// node.
#include "web/pages/enclosure_pages.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "daemon/enclosure_model.h"
#include "daemon/snapshot_records.h"
#include "tests/daemon/enclosure_machine.h"
#include "tests/web/page_test_support.h"
#include "web/pages/page_builder.h"
#include "web/pages/record_access.h"

namespace {

PYV2_LIBRARY_MACHINE(kEnclosureDaemonMachine);

using pagetest::PageEnv;

size_t count_of(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// The part of a page from the first occurrence of `from` to the next `to`.
std::string between(const std::string& page, const std::string& from, const std::string& to) {
    const size_t start = page.find(from);
    if (start == std::string::npos) return "";
    const size_t end = page.find(to, start);
    return page.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

class EnclosurePagesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        reload_scenario(kEnclosureDaemonMachine);
        list_ = listed_controllers();
        ASSERT_EQ(list_.count, 3u);
        records_[0].controller_index = 2;
        records_[0].family = 6;
        records_[1].controller_index = 3;
        records_[1].family = 8;
        records_[2].controller_index = 200;
        records_[2].family = 10;
    }

    std::unique_ptr<EnclosureModel> model(int position, uint8_t index, uint32_t mask,
                                          uint32_t e = 0) {
        return std::make_unique<EnclosureModel>(enclosure_of(index, e), int(e), position, index,
                                                mask);
    }

    std::string summary(int position, const EnclosureIdList* enclosures,
                        EnclosureModel* const* models) {
        PageBuilder page(&env_.config(), &env_.catalogue());
        write_page3_2(page, position, &list_, records_, enclosures, models);
        return page.text_body().c_str();
    }

    std::string details(int position, const EnclosureModel* m, int slot,
                        const ControllerIdList* list = nullptr) {
        PageBuilder page(&env_.config(), &env_.catalogue());
        write_page3_3(page, position, list != nullptr ? list : &list_,
                      list != nullptr ? nullptr : records_, m, slot);
        return page.text_body().c_str();
    }

    PageEnv env_;
    ControllerIdList list_;
    ControllerRecord records_[3];
};

TEST_F(EnclosurePagesTest, SummaryRowsAndColumns) {
    EnclosureIdList enclosures;
    clear_id_list(enclosures);
    enclosures.count = 1;
    auto ses = model(1, 3, 9);
    std::strcpy(ses->vendor, "<b>&");
    EnclosureModel* models[] = {ses.get()};
    std::string page = summary(1, &enclosures, models);
    const std::string row = between(page, "goto_enclosure(0, -1)", "</tr>");
    EXPECT_NE(row.find(">0</a>"), std::string::npos) << row;
    EXPECT_NE(row.find("<td class=\"tabledata\">&lt;b&gt;&amp;</td>"), std::string::npos) << row;
    // 4 slots, 2 holding drives, 2 fans, 2 sensors, 2 power supplies.
    EXPECT_NE(row.find("<td class=\"tabledata\">4</td><td class=\"tabledata\">2</td>"
                       "<td class=\"tabledata\">2</td><td class=\"tabledata\">2</td>"
                       "<td class=\"tabledata\">2</td>"),
              std::string::npos)
        << row;
    EXPECT_NE(page.find(">Power Supply</td>"), std::string::npos);

    // An alarm that sounds shows in the enclosure's status.
    ses->alarm_objects[0]->status = 5;
    page = summary(1, &enclosures, models);
    EXPECT_NE(page.find("<font style=\"color: #D8D800;font-weight: bold;\">Alarm Activated"),
              std::string::npos);

    // An earlier generation has no power supply column.
    auto safte = model(0, 2, 9);
    EnclosureModel* early[] = {safte.get()};
    page = summary(0, &enclosures, early);
    EXPECT_EQ(page.find(">Power Supply</td>"), std::string::npos);
    EXPECT_EQ(count_of(between(page, "goto_enclosure(0, -1)", "</tr>"), "<td"), 7u);
}

TEST_F(EnclosurePagesTest, SummaryWithoutEnclosures) {
    EnclosureIdList none;
    clear_id_list(none);
    mark_none_found(none);
    const std::string page = summary(1, &none, nullptr);
    EXPECT_NE(page.find("<tr><td colspan=\"6\" class=\"tabledata\"><font style=\"color: "
                        "#FF0000;font-weight: bold;\">NO ENCLOSURES</font></td></tr>"),
              std::string::npos);
    EXPECT_EQ(page.find("goto_enclosure(0"), std::string::npos);
    // A list without its models shows the rows it can.
    EnclosureIdList two;
    clear_id_list(two);
    two.count = 2;
    const std::string missing = summary(1, &two, nullptr);
    EXPECT_NE(missing.find("goto_enclosure(1, -1)"), std::string::npos);
}

TEST_F(EnclosurePagesTest, DetailsOfEveryKind) {
    auto m = model(1, 3, 0);
    m->fan_objects[0]->speed_level = 9;
    m->fan_objects[1]->rpm = 0;
    m->temp_sensor_objects[0]->temperature_c = 40;
    m->temp_sensor_objects[0]->temperature_f = 104;
    m->temp_sensor_objects[1]->status = 2;
    m->alarm_objects[0]->state = 1;
    std::string page = details(1, m.get(), 2);
    EXPECT_EQ(page.find("content-language"), std::string::npos);
    EXPECT_NE(page.find("Enclosure ID 0</td>"), std::string::npos);
    EXPECT_NE(page.find("javascript:download_encl_diag_text(0, 1)"), std::string::npos);
    EXPECT_NE(page.find("javascript:goto_controller(1)"), std::string::npos);

    const std::string alarms = between(page, "Audio Alarm Summary", "</table>");
    EXPECT_NE(alarms.find("<option value=\"1\" selected>ON</option><option value=\"0\">OFF"),
              std::string::npos)
        << alarms;
    EXPECT_NE(alarms.find("set_alarm_audibility(0, 0, this.options[this.selectedIndex].value);"),
              std::string::npos);

    const std::string fans = between(page, "Fan Summary", "</table>");
    EXPECT_NE(fans.find("Unknown\n</td>"), std::string::npos) << fans;
    EXPECT_NE(fans.find(">N/A</td>"), std::string::npos);
    const std::string sensors = between(page, "Temp Sensor Summary", "</table>");
    EXPECT_NE(sensors.find(">40&#176;C ( 104&#176;F) </td>"), std::string::npos) << sensors;
    EXPECT_NE(sensors.find(">--</td>"), std::string::npos);
    EXPECT_NE(page.find("Power Supply Summary"), std::string::npos);

    // Slot 2 holds port 5's drive; its row is the highlighted one.
    const std::string slots = between(page, "Slot Summary", "</table>");
    EXPECT_EQ(count_of(slots, "background-color: #FFFF00;"), 4u);
    EXPECT_NE(slots.find("style=\"background-color: #FFFF00;\"><a "
                         "href=\"javascript:goto_drivesummary(5)\""),
              std::string::npos)
        << slots;
    EXPECT_NE(slots.find(">VPort</td>"), std::string::npos);
    EXPECT_NE(slots.find("onClick=\"blink_slot(0, 1, 1);\""), std::string::npos);
    EXPECT_EQ(details(1, m.get(), -1).find("#FFFF00"), std::string::npos);
}

TEST_F(EnclosurePagesTest, SensorThatIsNotInstalled) {
    // The enclosure reports sensor 1 not installed; the model reads it
    // through the library as the details handler does.
    change_machine("element index=3 enclosure=0 type=temp number=1 status=not-installed\n");
    auto m = model(1, 3, 0);
    // The row of sensor 1, from its number to the row's end.
    auto row_of_sensor_1 = [](const std::string& page) {
        const std::string sensors = between(page, "Temp Sensor Summary", "</table>");
        return between(sensors, "\">1</td>", "</tr>");
    };
    std::string row = row_of_sensor_1(details(1, m.get(), -1));
    EXPECT_NE(row.find("<font style=\"color: #FF0000;font-weight: bold;\">NOT INSTALLED</font>"),
              std::string::npos)
        << row;
    EXPECT_NE(row.find(">--</td>"), std::string::npos) << row;
    EXPECT_EQ(row.find("&#176;"), std::string::npos) << row;
    EXPECT_EQ(row.find(">OK<"), std::string::npos) << row;
    // An earlier generation shows only the temperature column.
    records_[1].family = 7;
    row = row_of_sensor_1(details(1, m.get(), -1));
    EXPECT_NE(row.find(">--</td>"), std::string::npos) << row;
    EXPECT_EQ(row.find("&#176;"), std::string::npos) << row;
}

TEST_F(EnclosurePagesTest, DetailsOfAnEarlierGeneration) {
    records_[1].family = 7;
    auto m = model(1, 3, 0);
    m->alarm_objects[0]->state = 0;
    std::string page = details(1, m.get(), -1);
    const std::string alarms = between(page, "Audio Alarm Summary", "</table>");
    EXPECT_NE(alarms.find("<select name=\"alarmstate\""), std::string::npos);
    EXPECT_NE(alarms.find("<option value=\"0\" selected>OFF</option></select>"), std::string::npos)
        << alarms;
    EXPECT_EQ(alarms.find(">ON<"), std::string::npos);
    const std::string fans = between(page, "Fan Summary", "</table>");
    EXPECT_EQ(fans.find("RPM"), std::string::npos);
    EXPECT_EQ(page.find("Power Supply Summary"), std::string::npos);
    EXPECT_EQ(page.find("download_encl_diag_text(0"), std::string::npos);
    EXPECT_NE(page.find(">Port</td>"), std::string::npos);

    // Family 6: no alarm table rows, but the alarms are there.
    records_[1].family = 6;
    page = details(1, m.get(), -1);
    EXPECT_EQ(page.find("<select"), std::string::npos);
}

TEST_F(EnclosurePagesTest, DetailsWithoutElementsOrModel) {
    // The second enclosure reports more fans and sensors than a list holds.
    auto m = model(1, 3, 0, 1);
    const std::string page = details(1, m.get(), -1);
    EXPECT_NE(page.find("FAN information is not available"), std::string::npos);
    EXPECT_NE(page.find("Audio Alarm information is not available"), std::string::npos);
    EXPECT_NE(page.find("TEMPERATURE SENSOR information is not available"), std::string::npos);
    EXPECT_EQ(page.find("SLOT information is not available"), std::string::npos);

    ControllerIdList none;
    clear_id_list(none);
    mark_none_found(none);
    for (const std::string& p :
         {details(1, nullptr, -1), details(kNoneFound, nullptr, -1, &none)}) {
        EXPECT_NE(p.find("NO ENCLOSURES"), std::string::npos);
        EXPECT_NE(p.find("</html>"), std::string::npos);
    }
}

TEST_F(EnclosurePagesTest, ScriptsLoadTheActionUrls) {
    PageBuilder page(&env_.config(), &env_.catalogue());
    write_enclosure_scripts(page.text_body());
    const std::string script = std::string(R"JS(
const assert = require('assert');
const loads = [];
var parent = { cur_controller: 2 };
var document = { location: { replace(u) { loads.push(u); } } };
)JS") + page.text_body().c_str() +
                               R"JS(
set_powerstate(1, 0, 1);
set_alarm_state(1, 0, 0);
set_alarm_audibility(1, 0, 1);
set_fanstate(1, 1, 0);
set_fanspeed(1, 1, 5);
blink_slot(1, 3, 1);
blink_fan_slot(1, 1, 0);
blink_ts_slot(1, 0, 1);
blink_ps_slot(1, 1, 0);
download_encl_diag_text(1, 2);
assert.deepStrictEqual(loads, [
  '/page3_3.html?SetPowerState=1&ps=0&e=1&c=2',
  '/page3_3.html?SetAlarmState=0&a=0&e=1&c=2',
  '/page3_3.html?SetAlarmAudibility=1&a=0&e=1&c=2',
  '/page3_3.html?SetFanState=0&f=1&e=1&c=2',
  '/page3_3.html?SetFanSpeed=5&f=1&e=1&c=2',
  '/page3_3.html?BlinkSlot=3&On=1&e=1&c=2',
  '/page3_3.html?BlinkFanSlot=1&On=0&e=1&c=2',
  '/page3_3.html?BlinkTSSlot=0&On=1&e=1&c=2',
  '/page3_3.html?BlinkPSSlot=1&On=0&e=1&c=2',
  '/encl_diaglog_c2e1.dat',
]);
)JS";
    const std::string path = env_.dir().file("scripts.js");
    ASSERT_TRUE(pagetest::write_file(path, script));
    std::string output;
    EXPECT_EQ(pagetest::run_node("", path, &output), 0) << output;
}

}  // namespace
