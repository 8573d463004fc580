// The Battery Backup page: whether the unit is there, its identity and
// readiness, and its battery pack's voltage, temperature, backup time and
// test dates.
#include "web/pages/battery_page.h"

#include "web/pages/escape.h"
#include "web/pages/page_builder.h"
#include "web/pages/page_content.h"
#include "web/pages/status_texts.h"

namespace {

// Catalogue texts (19) of the page.
enum : int {
    kBatteryBackup = 149,
    kFirmware = 159,
    kSerial = 158,
    kHours = 208,
    kInformation = 241,
    kUnit = 242,
    kInstallationDate = 243,
    kVoltage = 244,
    kTemperature = 245,
    kBackupCapacity = 246,
    kLastTest = 247,
    kPresent = 248,
    kNotPresent = 249,
    kTestCapacity = 252,
    kConfirmTest = 284,
    kReadyLabel = 346,
    kStatusLabel = 347,
    kReady = 348,
    kNotReady = 349,
    kDisabled = 379,
    kNotSupported = 24,  // 12:24
};

// The firmware reports a ready unit as 8.
constexpr int kReadyCode = 8;

// The labels of the rows that follow the unit's own, in page order: the
// unit's four, then its battery's five.
const int kUnitLabels[] = {kFirmware, kSerial, kReadyLabel, kStatusLabel};
const int kBatteryLabels[] = {kVoltage, kTemperature, kBackupCapacity, kLastTest,
                              kInstallationDate};

// Opens a row with its label; the value cell follows.
void label(StringBuilder& out, const char* text) {
    out.append("<tr><td width=\"215\" class=\"tabledata\">&nbsp;&nbsp;<b>").append(text);
    out.append("</b></td>");
}

void open_value(StringBuilder& out) {
    out.append("<td width=\"300\" colspan=\"2\" class=\"tabledata\">");
}

void end_row(StringBuilder& out) { out.append("</td></tr>\n"); }

void empty_rows(PageBuilder& page, const int* labels, int count) {
    StringBuilder& out = page.text_body();
    for (int i = 0; i < count; ++i) {
        label(out, page.web_text(labels[i]));
        open_value(out);
        out.append("--");
        end_row(out);
    }
}

// A row whose value is a status word in its colour.
void status_row(PageBuilder& page, int name, const char* text, const char* colour) {
    StringBuilder& out = page.text_body();
    label(out, page.web_text(name));
    open_value(out);
    append_status(out, text, colour);
    end_row(out);
}

template <size_t N>
void field_row(PageBuilder& page, int name, const char (&field)[N]) {
    StringBuilder& out = page.text_body();
    label(out, page.web_text(name));
    open_value(out);
    append_field(out, field);
    end_row(out);
}

void battery_rows(PageBuilder& page, const BatteryRecord& b) {
    StringBuilder& out = page.text_body();
    char text[kStatusTextSize];
    char colour[kColourSize];

    format_battery_level(page, b.voltage_status, text, colour);
    status_row(page, kVoltage, text, colour);

    label(out, page.web_text(kTemperature));
    open_value(out);
    format_battery_level(page, b.temperature_status, text, colour);
    out.append("<font style=\"color: ")
        .append(colour)
        .append(";font-weight: bold;\">")
        .append(text);
    out.append("&nbsp;(").append_int(b.temperature_f).append("&#176;F&nbsp;|&nbsp;");
    out.append_int(b.temperature_c).append("&#176;C)</font>");
    end_row(out);

    label(out, page.web_text(kBackupCapacity));
    open_value(out);
    out.append_int(b.backup_capacity).append(" ").append(page.web_text(kHours));
    end_row(out);

    label(out, page.web_text(kLastTest));
    out.append("<td width=\"110\" class=\"tabledata\">");
    append_field(out, b.last_capacity_test);
    out.append(
        "</td><td width=\"190\" class=\"tabledata\"><a href=\"javascript:test_bbu();\" style=\"");
    out.append(kLinkStyle)
        .append("\"><b>[")
        .append(page.web_text(kTestCapacity))
        .append("]</b></a>");
    end_row(out);

    field_row(page, kInstallationDate, b.installation_date);
}

void unit_rows(PageBuilder& page, const BatteryRecord& b) {
    field_row(page, kFirmware, b.firmware_version);
    field_row(page, kSerial, b.serial_number);

    const bool ready = b.ready == kReadyCode;
    status_row(page, kReadyLabel, page.web_text(ready ? kReady : kNotReady), ready ? kGreen : kRed);
    char text[kStatusTextSize];
    char colour[kColourSize];
    format_battery_status(page, b.status, text, colour);
    status_row(page, kStatusLabel, text, colour);

    if (b.battery_present != 0)
        battery_rows(page, b);
    else
        empty_rows(page, kBatteryLabels, 5);
}

void battery_table(PageBuilder& page, const ControllerRecord& r) {
    StringBuilder& out = page.text_body();
    const BatteryRecord none;
    const BatteryRecord& b = r.battery != nullptr ? *r.battery : none;
    const char* presence = b.bbu_present != 0 ? kGreen : kRed;

    open_list_table(page, 3, page.web_text(kInformation), r.controller_index);

    const int word = b.enabled == 0 ? kDisabled : b.bbu_present != 0 ? kPresent : kNotPresent;
    status_row(page, kUnit, page.web_text(word), presence);

    if (b.bbu_present != 0) {
        unit_rows(page, b);
    } else {
        empty_rows(page, kUnitLabels, 4);
        empty_rows(page, kBatteryLabels, 5);
    }
    out.append("</table>\n");
}

}  // namespace

int write_init_bbu(PageBuilder& page) {
    page.text_body().append(R"JS(function init_bbu()
{
  var url = "/page3_1.html&InitBBU=1?c=" + parent.cur_controller;
  document.location.replace(url);
}
)JS");
    return 0;
}

int write_test_bbu(PageBuilder& page) {
    StringBuilder& out = page.text_body();
    out.append("function test_bbu()\n{\n  var cfm = confirm(\"");
    append_js_catalogue(out, page.web_text(kConfirmTest));
    out.append(R"JS(");
  if (!cfm) return;
  var url = "/page3_1.html&TestBBU=1?c=" + parent.cur_controller;
  document.location.replace(url);
}
)JS");
    return 0;
}

int write_page3_1(PageBuilder& page, int c, const ControllerIdList* list,
                  const ControllerRecord* records) {
    return write_controller_page(
        page, page.web_text(kBatteryBackup), "Battery Backup", list, records, c, true,
        [&](StringBuilder&) {
            write_init_bbu(page);
            write_test_bbu(page);
        },
        [&](const ControllerRecord& r) {
            if (r.family > 3) {
                battery_table(page, r);
                return;
            }
            page.text_body().append(kNoticeStart).append(page.daemon_text(kNotSupported));
            page.text_body().append("</font>\n");
        });
}
