// The unit information page: the list of a controller's units with their
// types, capacities, states and identify boxes, or one unit's tree.
#include <cstdio>

#include "web/pages/info_pages.h"
#include "web/pages/page_builder.h"
#include "web/pages/page_content.h"
#include "web/pages/record_access.h"
#include "web/pages/status_texts.h"

namespace {

struct Column {
    int label;
    int width;
    const char* css_class;
    bool second_series_only;
};

const Column kColumns[] = {
    {13, 75, "tableheadercenter", false}, {381, 150, "tableheader", true},
    {14, 150, "tableheader", false},      {15, 100, "tableheader", false},
    {161, 200, "tableheader", false},     {411, 50, "tableheadercenter", true},
};

// The unit's type as the list shows it: a migrating unit as its old and
// new types.
void type_text(PageBuilder& page, const UnitRecord& unit, char (&text)[kStatusTextSize * 2 + 4]) {
    char name[kStatusTextSize];
    if (unit.type != 32) {
        format_unit_type(page, unit.type, name);
        snprintf(text, sizeof text, "%s", name);
        return;
    }
    const UnitRecord* from = sub_unit_at(unit, 0);
    const UnitRecord* to = sub_unit_at(unit, 1);
    char next[kStatusTextSize];
    format_unit_type(page, from != nullptr ? from->type : -1, name);
    format_unit_type(page, to != nullptr ? to->type : -1, next);
    snprintf(text, sizeof text, "%s > %s", name, next);
}

void write_identify_box(StringBuilder& out, const UnitRecord& unit) {
    out.append("<td width=\"50\" class=\"tabledatacenter\"><input type=\"checkbox\"");
    if (unit.identify == 128)
        out.append(" disabled");
    else
        out.append(unit.identify != 0 ? " checked onClick=\"blink_unit(" : " onClick=\"blink_unit(")
            .append_int(unit.number)
            .append(unit.identify != 0 ? ", 0)\"" : ", 1)\"");
    out.append("></td>");
}

// One unit's row; returns true when it raises the drive-problem note.
bool write_unit_row(PageBuilder& page, const ControllerRecord& r, const UnitRecord& unit) {
    StringBuilder& out = page.text_body();
    const bool second_series = r.family > 3;
    char type[kStatusTextSize * 2 + 4];
    type_text(page, unit, type);
    char capacity[kStatusTextSize];
    format_capacity(unit.capacity, capacity);

    out.append("<tr><td width=\"75\" class=\"tabledatacenter\">");
    append_number_link(out, "goto_unit(", unit.number, ")");
    out.append("</td>\n");
    if (second_series) {
        out.append("<td width=\"150\" class=\"tabledata\">");
        append_field(out, unit.name).append("</font></td>\n");
    }
    out.append("<td width=\"150\" class=\"tabledata\">").append(type).append("</font></td>\n");
    out.append("<td width=\"100\" class=\"tabledata\">").append(capacity).append("</td>\n");

    char texts[kMaxUnitStatuses][kStatusTextSize];
    char colours[kMaxUnitStatuses][kStatusTextSize];
    int count = 0;
    format_unit_statuses(page, unit, texts, colours, &count, r.family);
    out.append("<td width=\"200\" class=\"tabledata\">");
    for (int i = 0; i < count; ++i) {
        if (i > 0) out.append("<br> ");
        append_status(out, texts[i], colours[i]);
        out.append("\n");
    }
    out.append("</td>\n");
    if (second_series) write_identify_box(out, unit);
    out.append("</tr>\n");
    return unit.is_ok && second_series && (unit.flags & 4) == 0;
}

void write_blink_unit(StringBuilder& body) {
    body.append(R"JS(var url;
function blink_unit(unit, on)
{
  url = "/page1_1.html?BlinkUnit=" + unit + "&On=" + on + "&c=" + parent.cur_controller;
  document.location.replace(url);
}
)JS");
}

}  // namespace

int write_unit_list(PageBuilder& page, const ControllerRecord& r) {
    StringBuilder& out = page.text_body();
    const bool second_series = r.family > 3;
    open_list_table(page, second_series ? 6 : 4, page.web_text(141), r.controller_index);
    out.append("<tr>");
    for (const Column& column : kColumns)
        if (second_series || !column.second_series_only)
            append_header_cell(out, column.width, column.css_class, page.web_text(column.label));
    out.append("</tr>\n");

    int shown = 0;
    bool note = false;
    for (int i = 0; i < list_count(r.units); ++i) {
        const UnitRecord* unit = unit_at(r, i);
        if (unit == nullptr || unit->type == 12 || unit->type == 13) continue;
        if (write_unit_row(page, r, *unit)) note = true;
        ++shown;
    }
    if (shown == 0) {
        append_notice_row(out, 4, "NO UNITS");
    }
    out.append("</table>\n");
    if (note) {
        out.append("<font style=\"font-size: 8pt;\">")
            .append(page.web_text(400))
            .append("</font>\n");
    }
    return 0;
}

int write_page1_1(PageBuilder& page, int c, int u, const ControllerIdList* list,
                  const ControllerRecord* records) {
    return write_controller_page(
        page, page.web_text(141), "Unit Information", list, records, c, true,
        [&](StringBuilder& body) {
            page.script().write_goto_unit(body);
            write_show_migrate_unit(body);
            page.script().write_goto_drivesummary(body);
            write_blink_unit(body);
        },
        [&](const ControllerRecord& r) {
            if (u < 0)
                write_unit_list(page, r);
            else
                write_unit_details(page, r);
        });
}
