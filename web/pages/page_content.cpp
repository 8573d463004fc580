#include "web/pages/page_content.h"

#include "web/pages/page_builder.h"
#include "web/pages/record_access.h"
#include "web/pages/status_texts.h"

void append_number_link(StringBuilder& out, const char* function, int number, const char* tail) {
    out.append("<a href=\"javascript:").append(function).append_int(number).append(tail);
    out.append("\" style=\"").append(kLinkStyle).append("\">").append_int(number).append("</a>");
}

void append_status(StringBuilder& out, const char* text, const char* colour) {
    out.append("<font style=\"color: ").append(colour).append(";font-weight: bold;\">");
    out.append(text).append("</font>");
}

const ControllerRecord* selected_or_notice(PageBuilder& page, const ControllerIdList* list,
                                           const ControllerRecord* records, int c) {
    StringBuilder& out = page.text_body();
    const int count = list != nullptr ? list_count(*list) : kNoneFound;
    if (count < 1 || records == nullptr || c < 0 || c >= count) {
        out.append(kNoticeStart).append(page.web_text(1)).append("</font>\n");
        return nullptr;
    }
    const ControllerRecord& record = records[c];
    if (record.family == -1) {
        out.append(kNoticeStart).append(page.web_text(3)).append(" ");
        out.append_int(record.controller_index).append("  ");
        append_field(out, record.error_text).append("</font>\n");
        return nullptr;
    }
    return &record;
}

const char* port_label(PageBuilder& page, const ControllerRecord& controller) {
    return page.web_text(later_generation(controller) ? 476 : 16);
}

void open_cell(StringBuilder& out, int width, const char* css_class, const char* extra) {
    out.append("<td width=\"").append_int(width).append("\" class=\"").append(css_class);
    out.append("\"").append(extra).append(">");
}

void append_header_cell(StringBuilder& out, int width, const char* css_class, const char* label) {
    open_cell(out, width, css_class);
    out.append(label).append("</td>");
}

void open_list_table(PageBuilder& page, int columns, const char* title, int controller_index) {
    StringBuilder& out = page.text_body();
    out.append("<table border=\"0\">\n<tr><td colspan=\"").append_int(columns);
    out.append("\" class=\"tabletitle14\">").append(title).append(" (").append(page.web_text(3));
    out.append(" ").append_int(controller_index).append(")</td></tr>\n");
}

void append_notice_row(StringBuilder& out, int columns, const char* text) {
    out.append("<tr><td colspan=\"").append_int(columns).append("\" class=\"tabledata\">");
    out.append(kNoticeStart).append(text).append("</font></td></tr>\n");
}
