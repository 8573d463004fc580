// The Enclosure Details page: the enclosure's identity and status, then one
// table per element kind (audio alarms, fans, temperature sensors, power
// supplies, drive slots) with the alarm drop-downs and the identify check
// boxes that send the enclosure actions.
#include "daemon/enclosure_model.h"
#include "daemon/snapshot_records.h"
#include "web/pages/enclosure_pages.h"
#include "web/pages/escape.h"
#include "web/pages/page_builder.h"
#include "web/pages/page_content.h"
#include "web/pages/record_access.h"
#include "web/pages/status_texts.h"

namespace {

const char* const kSectionEnd = "<tr><td colspan=\"2\">&nbsp;</td></tr>\n</table>\n";

// The fan speed levels 0 to 7.
const char* const kFanSpeeds[] = {"Stopped",      "Lowest",        "Second Lowest",  "Third Lowest",
                                  "Intermediate", "Third Highest", "Second Highest", "Highest"};

struct FanStatusText {
    int status;
    int text;
    const char* colour;
};
const FanStatusText kFanStatuses[] = {
    {0, 10, "#009900"}, {1, 490, "#FF0000"}, {2, 341, "#D8D800"}, {128, 481, "#D8D800"}};

// What one table writes about the page: the detail conditions and where
// the rows' scripts point.
struct Details {
    PageBuilder& page;
    StringBuilder& out;
    const EnclosureModel& model;
    bool detailed;      // family above 7 or extended device information
    bool alarms_shown;  // family above 6 or extended device information
};

void open_section(Details& d, int columns, int element_text) {
    d.out.append("<table border=\"0\">\n<tr><td colspan=\"").append_int(columns);
    d.out.append("\" class=\"tabletitle14\">&nbsp;").append(d.page.web_text(element_text));
    d.out.append(" ").append(d.page.web_text(138)).append("</td></tr>\n");
}

void close_section(Details& d, int count, int not_available) {
    if (count < 1) append_notice_row(d.out, 3, d.page.web_text(not_available));
    d.out.append(kSectionEnd);
}

void label_row(Details& d, int label, const char* label_after = nullptr) {
    d.out.append("<tr><td width=\"150\" class=\"tabledata\">&nbsp;&nbsp;<b>");
    d.out.append(d.page.web_text(label));
    if (label_after != nullptr) d.out.append(" ").append(label_after);
    d.out.append("</b></td><td width=\"300\" class=\"tabledata\">");
}

// A status word in its colour, or the plain word without one.
void status_text(StringBuilder& out, const char* text, const char* colour) {
    if (colour[0] == '\0') {
        out.append(text);
        return;
    }
    append_status(out, text, colour);
}

// The identify check box of element k, whose LED state is identify.
void identify_box(Details& d, const char* script, int k, bool blinking, bool no_led) {
    d.out.append("<input type=\"checkbox\"");
    if (no_led) {
        d.out.append(" disabled>");
        return;
    }
    if (blinking) d.out.append(" checked");
    d.out.append(" onClick=\"").append(script).append("(").append_int(d.model.enclosure_index);
    d.out.append(", ").append_int(k).append(", ").append_int(blinking ? 0 : 1).append(");\">");
}

void enclosure_table(Details& d, int position) {
    StringBuilder& out = d.out;
    out.append("<table border=\"0\">\n<tr><td colspan=\"2\" class=\"tabletitle14\">");
    out.append(d.page.web_text(428)).append(" ").append_int(d.model.number).append("</td></tr>\n");
    char text[kStatusTextSize] = {}, colour[kColourSize] = {};
    format_enclosure_status(d.page, d.model.status, enclosure_alarm_activated(d.model), text,
                            colour);
    label_row(d, 161);
    status_text(out, text, colour);
    out.append("</td></tr>\n");
    if (d.detailed) {
        label_row(d, 482);
        append_html(out, d.model.vendor);
        out.append("</td></tr>\n");
        label_row(d, 483, d.page.web_text(156));
        append_html(out, d.model.model);
        out.append("</td></tr>\n");
        label_row(d, 484);
        append_html(out, d.model.revision);
        out.append("</td></tr>\n");
        label_row(d, 485);
        out.append("<a href=\"javascript:download_encl_diag_text(")
            .append_int(d.model.enclosure_index);
        out.append(", ")
            .append_int(position)
            .append(")\" style=\"")
            .append(kLinkStyle)
            .append("\">");
        out.append(d.page.web_text(485)).append(" ").append(d.page.web_text(486));
        out.append("</a></td></tr>\n");
    }
    label_row(d, 3);
    out.append("<a href=\"javascript:goto_controller(").append_int(position).append(")\" style=\"");
    out.append(kLinkStyle)
        .append("\">")
        .append_int(d.model.controller_index)
        .append("</a></td></tr>\n");
    out.append(kSectionEnd);
}

void alarm_select(Details& d, const char* script, int k) {
    d.out.append("<select name=\"alarmstate\" onChange=\"").append(script).append("(");
    d.out.append_int(d.model.enclosure_index).append(", ").append_int(k);
    d.out.append(", this.options[this.selectedIndex].value);\">");
}

void alarm_table(Details& d) {
    StringBuilder& out = d.out;
    open_section(d, 4, 540);
    if (d.alarms_shown) {
        out.append("<tr>");
        append_header_cell(out, 120, "tableheadercenter", d.page.web_text(540));
        append_header_cell(out, 150, "tableheader", d.page.web_text(161));
        append_header_cell(out, 80, "tableheader", d.page.web_text(434));
        append_header_cell(out, 120, "tableheader", d.page.web_text(544));
        out.append("</tr>\n");
        for (int k = 0; k < d.model.alarm_count(); ++k) {
            const EnclosureAlarm* alarm = d.model.alarm_objects[k];
            if (alarm == nullptr) continue;
            out.append("<tr>");
            open_cell(out, 120, "tabledatacenter");
            out.append_int(alarm->index).append("</td>");
            char text[kStatusTextSize] = {}, colour[kColourSize] = {};
            format_alarm_status(d.page, alarm->status, text, colour);
            open_cell(out, 150, "tabledata");
            status_text(out, text, colour);
            out.append("</td>");
            open_cell(out, 80, "tabledata");
            alarm_select(d, "set_alarm_state", k);
            if (alarm->state == 1) {
                out.append("<option value=\"1\" selected>").append(d.page.web_text(487));
                out.append("</option><option value=\"0\">").append(d.page.web_text(488));
            } else {
                out.append("<option value=\"0\" selected>").append(d.page.web_text(488));
            }
            out.append("</option></select></td>");
            open_cell(out, 120, "tabledata");
            alarm_select(d, "set_alarm_audibility", k);
            const bool audible = alarm->audibility == 0;
            out.append(audible ? "<option value=\"0\" selected>" : "<option value=\"0\">");
            out.append(d.page.web_text(543)).append("</option>");
            out.append(audible ? "<option value=\"1\">" : "<option value=\"1\" selected>");
            out.append(d.page.web_text(542)).append("</option></select></td></tr>\n");
        }
    }
    close_section(d, d.model.alarm_count(), 541);
}

void fan_table(Details& d) {
    StringBuilder& out = d.out;
    open_section(d, 6, 433);
    out.append("<tr>");
    append_header_cell(out, 50, "tableheadercenter", d.page.web_text(433));
    append_header_cell(out, 150, "tableheader", d.page.web_text(161));
    if (d.detailed) {
        append_header_cell(out, 60, "tableheader", d.page.web_text(434));
        append_header_cell(out, 120, "tableheadercenter", d.page.web_text(435));
        append_header_cell(out, 60, "tableheadercenter", d.page.web_text(518));
        append_header_cell(out, 60, "tableheadercenter", d.page.web_text(411));
    }
    out.append("</tr>\n");
    for (int k = 0; k < d.model.fan_count(); ++k) {
        const EnclosureFan* fan = d.model.fan_objects[k];
        if (fan == nullptr) continue;
        out.append("<tr>");
        open_cell(out, 50, "tabledatacenter");
        out.append_int(fan->index).append("</td>");
        open_cell(out, 150, "tabledata");
        for (const FanStatusText& s : kFanStatuses) {
            if (s.status != fan->status) continue;
            out.append("<font color=\"").append(s.colour).append("\"><b>");
            out.append(d.page.web_text(s.text)).append("</b></font>");
        }
        out.append("</td>");
        if (d.detailed) {
            open_cell(out, 60, "tabledata");
            if (fan->running == 1) out.append(d.page.web_text(487));
            if (fan->running == 0) out.append(d.page.web_text(488));
            out.append("</td>");
            open_cell(out, 120, "tabledatacenter");
            out.append(fan->speed_level < 8 ? kFanSpeeds[fan->speed_level] : "Unknown");
            out.append("\n</td>");
            open_cell(out, 60, "tabledatacenter");
            if (fan->rpm == 0)
                out.append("N/A");
            else
                out.append_int(int(fan->rpm));
            out.append("</td>");
            open_cell(out, 60, "tabledata");
            identify_box(d, "blink_fan_slot", k, fan->identify == 1, fan->identify == 128);
            out.append("</td></td>");
        }
        out.append("</tr>\n");
    }
    close_section(d, d.model.fan_count(), 436);
}

void temp_sensor_table(Details& d) {
    StringBuilder& out = d.out;
    open_section(d, 4, 426);
    out.append("<tr>");
    append_header_cell(out, 120, "tableheadercenter", d.page.web_text(426));
    if (d.detailed) append_header_cell(out, 150, "tableheader", d.page.web_text(161));
    append_header_cell(out, 120, "tableheader", d.page.web_text(439));
    if (d.detailed) append_header_cell(out, 60, "tableheadercenter", d.page.web_text(411));
    out.append("</tr>\n");
    for (int k = 0; k < d.model.temp_sensor_count(); ++k) {
        const EnclosureTempSensor* sensor = d.model.temp_sensor_objects[k];
        if (sensor == nullptr) continue;
        out.append("<tr>");
        open_cell(out, 120, "tabledatacenter");
        out.append_int(sensor->index).append("</td>");
        if (d.detailed) {
            char text[kStatusTextSize] = {}, colour[kColourSize] = {};
            format_sensor_status(d.page, sensor->status, sensor->warnings, text, colour);
            open_cell(out, 150, "tabledata");
            status_text(out, text, colour);
            out.append("</td>");
        }
        open_cell(out, 120, "tabledata");
        if (sensor->status == 2) {
            out.append("--");
        } else {
            out.append_int(sensor->temperature_c).append("&#176;C ( ");
            out.append_int(sensor->temperature_f).append("&#176;F) ");
        }
        out.append("</td>");
        if (d.detailed) {
            open_cell(out, 60, "tabledata");
            identify_box(d, "blink_ts_slot", k, sensor->identify == 1, sensor->identify == 128);
            out.append("</td></td>");
        }
        out.append("</tr>\n");
    }
    close_section(d, d.model.temp_sensor_count(), 440);
}

void power_supply_table(Details& d) {
    StringBuilder& out = d.out;
    open_section(d, 6, 427);
    out.append("<tr>");
    append_header_cell(out, 120, "tableheadercenter", d.page.web_text(427));
    append_header_cell(out, 150, "tableheader", d.page.web_text(161));
    append_header_cell(out, 60, "tableheader", d.page.web_text(434));
    append_header_cell(out, 100, "tableheader", d.page.web_text(489));
    append_header_cell(out, 100, "tableheader", d.page.web_text(452));
    append_header_cell(out, 60, "tableheader", d.page.web_text(411));
    out.append("</tr>\n");
    for (int k = 0; k < d.model.power_supply_count(); ++k) {
        const EnclosurePowerSupply* supply = d.model.power_supply_objects[k];
        if (supply == nullptr) continue;
        out.append("<tr>");
        open_cell(out, 120, "tabledatacenter");
        out.append_int(supply->index).append("</td>");
        char text[kStatusTextSize] = {}, colour[kColourSize] = {};
        format_power_supply_status(d.page, supply->status, text, colour);
        open_cell(out, 150, "tabledata");
        status_text(out, text, colour);
        out.append("</td>");
        open_cell(out, 60, "tabledata");
        if (supply->running == 1) out.append(d.page.web_text(487));
        if (supply->running == 0) out.append(d.page.web_text(488));
        out.append("</td>");
        if (supply->status != 0) {
            open_cell(out, 100, "tabledata");
            out.append("-</td>");
            open_cell(out, 100, "tabledata");
            out.append("-</td>");
        } else {
            format_voltage_status(d.page, supply->voltage_state, text, colour);
            open_cell(out, 100, "tabledata");
            status_text(out, text, colour);
            out.append("</td>");
            format_current_status(d.page, supply->current_state, text, colour);
            open_cell(out, 100, "tabledata");
            status_text(out, text, colour);
            out.append("</td>");
        }
        open_cell(out, 60, "tabledata");
        identify_box(d, "blink_ps_slot", k, supply->identify == 1, supply->identify == 128);
        out.append("</td></tr>\n");
    }
    close_section(d, d.model.power_supply_count(), 500);
}

void slot_table(Details& d, int highlighted_slot) {
    StringBuilder& out = d.out;
    open_section(d, 4, 430);
    out.append("<tr>");
    append_header_cell(out, 50, "tableheadercenter", d.page.web_text(430));
    append_header_cell(out, 150, "tableheader", d.page.web_text(161));
    append_header_cell(out, 50, "tableheadercenter", d.page.web_text(d.detailed ? 476 : 16));
    append_header_cell(out, 50, "tableheadercenter", d.page.web_text(411));
    out.append("</tr>\n");
    for (int k = 0; k < d.model.slot_count(); ++k) {
        const EnclosureSlot* slot = d.model.slot_objects[k];
        if (slot == nullptr) continue;
        const char* mark =
            slot->index == highlighted_slot ? " style=\"background-color: #FFFF00;\"" : "";
        out.append("<tr>");
        open_cell(out, 50, "tabledatacenter", mark);
        out.append_int(slot->index).append("</td>");
        char text[kStatusTextSize] = {}, colour[kColourSize] = {};
        format_slot_status(int(slot->status), text, colour);
        open_cell(out, 150, "tabledata", mark);
        status_text(out, text, colour);
        out.append("</td>");
        open_cell(out, 50, "tabledata", mark);
        if (slot->port == 255) {
            out.append("--");
        } else {
            append_number_link(out, "goto_drivesummary(", slot->port, ")");
        }
        out.append("</td>");
        open_cell(out, 50, "tabledata", mark);
        identify_box(d, "blink_slot", k, slot->identify != 0 && slot->identify != 128,
                     slot->identify == 128);
        out.append("</td></tr>\n");
    }
    close_section(d, d.model.slot_count(), 437);
}

}  // namespace

void write_enclosure_details(PageBuilder& page, const EnclosureModel& model,
                             const ControllerRecord& controller, int position,
                             int highlighted_slot) {
    const bool extended = controller.extended_device_info != 0;
    Details d{page, page.text_body(), model, controller.family > 7 || extended,
              controller.family > 6 || extended};
    enclosure_table(d, position);
    alarm_table(d);
    fan_table(d);
    temp_sensor_table(d);
    if (d.detailed) power_supply_table(d);
    slot_table(d, highlighted_slot);
}

int write_page3_3(PageBuilder& page, int position, const ControllerIdList* list,
                  const ControllerRecord* records, const EnclosureModel* model,
                  int highlighted_slot) {
    // This page's head has no content-language line.
    page.begin_page(page.web_text(438), "Enclosure Details", list, records, page.refresh_timeout(),
                    position, false);
    StringBuilder& out = page.text_body();
    page.script().write_goto_drivesummary(out);
    page.script().write_goto_controller(out);
    write_enclosure_scripts(out);
    page.end_head();
    const bool known = model != nullptr && records != nullptr && list != nullptr && position >= 0 &&
                       position < list_count(*list);
    if (known) {
        write_enclosure_details(page, *model, records[position], position, highlighted_slot);
    } else {
        out.append("<table border=\"0\">\n");
        append_notice_row(out, 1, page.web_text(431));
        out.append("</table>\n");
    }
    page.end_page(1);
    return 0;
}
