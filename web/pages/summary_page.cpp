// The summary page: one row per controller with its identity and a status
// word made of the states of its units.
#include "web/pages/info_pages.h"
#include "web/pages/page_builder.h"
#include "web/pages/page_content.h"
#include "web/pages/record_access.h"
#include "web/pages/status_texts.h"

namespace {

// The controller's status word (19:code) and colour. The first counted
// unit in error or warning decides; disks outside any array are not
// counted.
struct Overall {
    int word;
    const char* colour;
};

Overall overall_status(const ControllerRecord& controller) {
    int counted = 0;
    const int units = list_count(controller.units);
    for (int i = 0; i < units; ++i) {
        const UnitRecord* unit = unit_at(controller, i);
        if (unit == nullptr) break;
        if (unit->type == 12) continue;
        ++counted;
        if (unit->has_degraded || unit->has_inoperable) return {12, kRed};
        if (unit->has_initializing || unit->has_rebuilding || unit->has_migrating)
            return {11, kYellow};
    }
    return counted > 0 ? Overall{10, kGreen} : Overall{9, kYellow};
}

struct Column {
    int label;
    int width;
    const char* css_class;
};

const Column kColumns[] = {
    {156, 60, "tableheadercenter"}, {157, 125, "tableheader"}, {158, 135, "tableheader"},
    {159, 125, "tableheader"},      {160, 165, "tableheader"}, {161, 100, "tableheader"},
};

void write_row(PageBuilder& page, const ControllerRecord& r) {
    StringBuilder& out = page.text_body();
    out.append("<tr><td width=\"60\" class=\"tabledatacenter\">");
    if (r.family == -1) {
        out.append("<b>").append_int(r.controller_index).append("</b></td>");
        out.append("<td colspan = \"5\" width=\"640\" class=\"tabledata\">").append(kNoticeStart);
        append_field(out, r.error_text).append("</font></td></tr>\n");
        return;
    }
    out.append("<a href=\"javascript:goto_controller(").append_int(r.position);
    out.append(")\" style=\"").append(kLinkStyle).append("\">").append_int(r.controller_index);
    out.append("</a></td>\n<td width=\"125\" class=\"tabledata\">");
    append_field(out, r.model).append("</td>\n<td width=\"135\" class=\"tabledata\">");
    append_field(out, r.serial_number).append("</td>\n<td width=\"125\" class=\"tabledata\">");
    append_field(out, r.firmware_version).append("</td>\n<td width=\"165\" class=\"tabledata\">");
    append_field(out, r.driver_version).append("</td>\n<td width=\"100\" class=\"tabledata\">");
    const Overall overall = overall_status(r);
    append_status(out, page.web_text(overall.word), overall.colour);
    out.append("</td></tr>\n");
}

}  // namespace

int write_page0(PageBuilder& page, int c, int, const ControllerIdList* list,
                const ControllerRecord* records) {
    page.begin_page(page.web_text(138), "Summary", list, records, page.refresh_timeout(), c);
    page.script().write_goto_controller(page.text_body());
    page.end_head();
    StringBuilder& out = page.text_body();
    out.append("<table border=\"0\">\n<tr><td colspan=\"6\" class=\"tabletitle14\"><b>");
    out.append(page.web_text(380)).append("</b></td></tr>\n<tr>");
    for (const Column& column : kColumns)
        append_header_cell(out, column.width, column.css_class, page.web_text(column.label));
    out.append("</tr>\n");
    const int count = list != nullptr ? list_count(*list) : kNoneFound;
    if (count < 0 || records == nullptr) {
        append_notice_row(out, 6, page.web_text(1));
    } else {
        for (int i = 0; i < count && i < 255; ++i) write_row(page, records[i]);
    }
    out.append("</table>\n");
    page.end_page(1);
    return 0;
}
