// The Enclosure Summary page: one row per enclosure of the selected
// controller with its status, identity and element counts; each enclosure
// number links to its details page.
#include "daemon/enclosure_model.h"
#include "daemon/snapshot_records.h"
#include "web/pages/enclosure_pages.h"
#include "web/pages/escape.h"
#include "web/pages/page_builder.h"
#include "web/pages/page_content.h"
#include "web/pages/record_access.h"
#include "web/pages/status_texts.h"

namespace {

struct Column {
    int width;
    int text;        // catalogue text
    int text_after;  // a second text after a blank, or 0
};

const Column kColumns[] = {
    {60, 156, 0}, {150, 161, 0}, {100, 482, 0}, {120, 483, 156}, {60, 423, 0},
    {60, 424, 0}, {60, 425, 0},  {60, 426, 0},  {60, 427, 0},
};
constexpr int kColumnsWithoutSupplies = 8;

int drives_in(const EnclosureModel& model) {
    int drives = 0;
    for (int i = 0; i < model.slot_count(); ++i)
        if (model.slot_objects[i] != nullptr && (model.slot_objects[i]->status & 1) != 0) ++drives;
    return drives;
}

void write_cell(StringBuilder& out, int value) {
    out.append("<td class=\"tabledata\">").append_int(value).append("</td>");
}

void write_row(PageBuilder& page, int e, const EnclosureModel* model, bool supplies) {
    StringBuilder& out = page.text_body();
    out.append("<tr><td class=\"tabledatacenter\"><a href=\"javascript:goto_enclosure(");
    out.append_int(e).append(", -1)\" style=\"").append(kLinkStyle).append("\">");
    if (model == nullptr) {
        // Nothing could be read of this enclosure.
        out.append_int(e).append("</a></td>");
        for (int i = 1; i < (supplies ? 9 : kColumnsWithoutSupplies); ++i)
            out.append("<td class=\"tabledata\">--</td>");
        out.append("</tr>\n");
        return;
    }
    out.append_int(model->number).append("</a></td>");
    char text[kStatusTextSize] = {}, colour[kColourSize] = {};
    format_enclosure_status(page, model->status, enclosure_alarm_activated(*model), text, colour);
    out.append("<td class=\"tabledata\">");
    append_status(out, text, colour);
    out.append("</td>");
    out.append("<td class=\"tabledata\">");
    append_html(out, model->vendor);
    out.append("</td><td class=\"tabledata\">");
    append_html(out, model->model);
    out.append("</td>");
    write_cell(out, model->slot_count());
    write_cell(out, drives_in(*model));
    write_cell(out, model->fan_count());
    write_cell(out, model->temp_sensor_count());
    if (supplies) write_cell(out, model->power_supply_count());
    out.append("</tr>\n");
}

}  // namespace

bool enclosure_alarm_activated(const EnclosureModel& model) {
    for (int i = 0; i < model.alarm_count(); ++i) {
        const EnclosureAlarm* alarm = model.alarm_objects[i];
        if (alarm != nullptr && (alarm->status == 1 || alarm->status == 5)) return true;
    }
    return false;
}

int write_page3_2(PageBuilder& page, int position, const ControllerIdList* list,
                  const ControllerRecord* records, const EnclosureIdList* enclosures,
                  EnclosureModel* const* models) {
    page.begin_page(page.web_text(150), "Enclosure Support", list, records, page.refresh_timeout(),
                    position);
    StringBuilder& out = page.text_body();
    page.script().write_goto_enclosure(out);
    page.end_head();

    const ControllerRecord* controller =
        records != nullptr && list != nullptr && position >= 0 && position < list_count(*list)
            ? &records[position]
            : nullptr;
    const bool supplies = controller != nullptr && later_generation(*controller);
    out.append("<table border=\"0\">\n<tr><td colspan=\"9\" class=\"tabletitle14\"><b>");
    out.append(page.web_text(421)).append("</b></td></tr>\n<tr>");
    const int columns = supplies ? 9 : kColumnsWithoutSupplies;
    for (int i = 0; i < columns; ++i) {
        const Column& c = kColumns[i];
        out.append("<td width=\"").append_int(c.width);
        out.append(i == 0 ? "\" class=\"tableheadercenter\">" : "\" class=\"tableheader\">");
        out.append(page.web_text(c.text));
        if (c.text_after != 0) out.append(" ").append(page.web_text(c.text_after));
        out.append("</td>");
    }
    out.append("</tr>\n");

    const int count = enclosures != nullptr ? list_count(*enclosures) : kNoneFound;
    if (count < 0 || count > 16) {
        append_notice_row(out, 6, page.web_text(431));
    } else {
        for (int e = 0; e < count; ++e)
            write_row(page, e, models != nullptr ? models[e] : nullptr, supplies);
    }
    out.append("</table>\n");
    page.end_page(1);
    return 0;
}
