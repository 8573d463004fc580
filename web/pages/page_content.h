// Pieces the controller information pages share: texts read from fixed
// fields, the blue links, the red notices that stand in for a page's
// content when there is no controller or its record could not be read, and
// the port label.
#pragma once

#include <cstring>

#include "daemon/snapshot_records.h"
#include "daemon/string_builder.h"
#include "web/pages/escape.h"
#include "web/pages/page_builder.h"

// The style of the pages' links, and of the bold red notices.
inline constexpr const char* kLinkStyle =
    "color: #0000FF;text-decoration: underline;font-weight: bold;";
inline constexpr const char* kNoticeStart = "<font style=\"color: #FF0000;font-weight: bold;\">";

// A text field of a record, HTML-escaped, read no further than the field.
template <size_t N>
StringBuilder& append_field(StringBuilder& out, const char (&field)[N]) {
    char text[N + 1];
    const size_t n = strnlen(field, N);
    std::memcpy(text, field, n);
    text[n] = '\0';
    return append_html(out, text);
}

// <a href="javascript:CALL" style="(link style)">TEXT</a>, CALL being
// `function` followed by the number and `tail`, TEXT the number.
void append_number_link(StringBuilder& out, const char* function, int number, const char* tail);

// A status word in its colour: <font style="color: C;font-weight: bold;">.
void append_status(StringBuilder& out, const char* text, const char* colour);

// What stands in for an information page's content: "NO CONTROLLERS" when
// the list holds none (or c names no record), or the selected controller's
// number and error text when its record could not be filled. Returns the
// selected record when the page shows it, else null (the notice written).
const ControllerRecord* selected_or_notice(PageBuilder& page, const ControllerIdList* list,
                                           const ControllerRecord* records, int c);

// "VPort" on later generations, else "Port".
const char* port_label(PageBuilder& page, const ControllerRecord& controller);

// The attribute that highlights a row's cells.
inline constexpr const char* kHighlight = " style=\"background-color: #FFFF00;\"";

// Opens a table cell: <td width="W" class="C"EXTRA>.
void open_cell(StringBuilder& out, int width, const char* css_class, const char* extra = "");
// A column heading: a cell holding the label.
void append_header_cell(StringBuilder& out, int width, const char* css_class, const char* label);
// Opens a list's table with its title row over `columns` columns:
// "TITLE (Controller ID N)".
void open_list_table(PageBuilder& page, int columns, const char* title, int controller_index);
// A row of one cell over `columns` columns holding a bold red notice.
void append_notice_row(StringBuilder& out, int columns, const char* text);

// An information page of one controller: the content page skeleton with
// init() and the page's own scripts (scripts(body)), and as its content
// the selected controller's (content(record)), or the notice that stands in
// for it. Returns 0.
template <typename Scripts, typename Content>
int write_controller_page(PageBuilder& page, const char* title, const char* page_name,
                          const ControllerIdList* list, const ControllerRecord* records, int c,
                          bool with_language, Scripts scripts, Content content);

template <typename Scripts, typename Content>
int write_controller_page(PageBuilder& page, const char* title, const char* page_name,
                          const ControllerIdList* list, const ControllerRecord* records, int c,
                          bool with_language, Scripts scripts, Content content) {
    page.begin_page(title, page_name, list, records, page.refresh_timeout(), c, with_language);
    scripts(page.text_body());
    page.end_head();
    const ControllerRecord* selected = selected_or_notice(page, list, records, c);
    if (selected != nullptr) content(*selected);
    page.end_page(1);
    return 0;
}
