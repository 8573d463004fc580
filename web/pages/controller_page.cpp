// The controller details page: one controller's identity, versions,
// memory, bus, and its counts of ports, phys, drives and units against its
// limits, with the link that downloads its error log.
#include <cstdio>

#include "web/pages/info_pages.h"
#include "web/pages/page_builder.h"
#include "web/pages/page_content.h"
#include "web/pages/record_access.h"
#include "web/pages/status_texts.h"

namespace {

void open_row(StringBuilder& out) { out.append("<tr>"); }

// The label cell: two blanks and the label in bold; then the value cell
// opened.
void label(StringBuilder& out, const char* text) {
    out.append("<td width=\"160\" class=\"tabledata\">&nbsp;&nbsp;<b>").append(text);
    out.append("</b></td><td width=\"300\" class=\"tabledata\">");
}

void end_row(StringBuilder& out) { out.append("</td></tr>\n"); }

void text_row(PageBuilder& page, const char* name, const char* value) {
    StringBuilder& out = page.text_body();
    open_row(out);
    label(out, name);
    out.append(value);
    end_row(out);
}

template <size_t N>
void field_row(PageBuilder& page, int name, const char (&field)[N]) {
    StringBuilder& out = page.text_body();
    open_row(out);
    label(out, page.web_text(name));
    append_field(out, field);
    end_row(out);
}

// "N of LIMIT".
void count_row(PageBuilder& page, const char* name, int count, int limit) {
    StringBuilder& out = page.text_body();
    open_row(out);
    label(out, name);
    out.append_int(count).append(" of ").append_int(limit);
    end_row(out);
}

// "WORD1 WORD2" of two catalogue texts.
void two_words(PageBuilder& page, int first, int second, char (&out)[160]) {
    snprintf(out, sizeof out, "%s %s", page.web_text(first), page.web_text(second));
}

// Units the page counts: those whose type was read and that are not disks
// outside an array.
int shown_units(const ControllerRecord& r) {
    int n = 0;
    for (int i = 0; i < list_count(r.units); ++i) {
        const UnitRecord* unit = unit_at(r, i);
        if (unit != nullptr && unit->type != -1 && unit->type != 12) ++n;
    }
    return n;
}

int present_drives(const ControllerRecord& r) {
    int n = 0;
    for (int i = 0; i < list_count(r.ports); ++i) {
        const DriveRecord* drive = drive_at(r, i);
        if (drive != nullptr && drive->status >= 128) ++n;
    }
    return n;
}

void write_download_log(StringBuilder& body) {
    body.append(R"JS(var url;
function download_log(controller)
{
  url = "/" + "errorlog_" + controller + "." + "dat";
  document.location.replace(url);
}
)JS");
}

}  // namespace

int write_controller_details(PageBuilder& page, const ControllerRecord& r) {
    StringBuilder& out = page.text_body();
    const int family = r.family;
    open_list_table(page, 2, page.web_text(140), r.controller_index);

    field_row(page, 157, r.model);
    field_row(page, 158, r.serial_number);
    field_row(page, 159, r.firmware_version);
    field_row(page, 160, r.driver_version);
    field_row(page, 162, r.bios_version);
    field_row(page, family == 3 ? 163 : 164, r.boot_loader_version);
    char text[kStatusTextSize];
    format_memory_size(static_cast<uint32_t>(r.memory_size), text);
    text_row(page, page.web_text(376), text);
    if (family > 4) {
        char protocol[kStatusTextSize] = "", width[kStatusTextSize] = "",
             speed[kStatusTextSize] = "";
        format_bus_info(static_cast<uint32_t>(r.bus_info), protocol, width, speed);
        text_row(page, page.web_text(408), protocol);
        text_row(page, page.web_text(409), width);
        text_row(page, page.web_text(410), speed);
    }
    char number[16];
    if (family < 7) {
        snprintf(number, sizeof number, "%d", list_count(r.ports));
        text_row(page, page.web_text(166), number);
    }
    if (family > 6 && list_count(r.phys) > 0) {
        snprintf(number, sizeof number, "%d", list_count(r.phys));
        text_row(page, page.web_text(503), number);
    }
    if (family > 6 && r.port_count > 0)
        count_row(page, page.web_text(466), r.connection_count, r.port_count);

    // Drives and units: always a row, empty on a later family without a limit.
    const int drives = present_drives(r);
    const int units = shown_units(r);
    if (family <= 6) {
        snprintf(number, sizeof number, "%d", drives);
        text_row(page, page.web_text(386), number);
        snprintf(number, sizeof number, "%d", units);
        text_row(page, page.web_text(165), number);
    } else {
        if (r.port_count_b > 0)
            count_row(page, page.web_text(424), drives, r.port_count_b);
        else
            out.append("<tr></tr>\n");
        if (r.max_active_drives_alt > 0)
            count_row(page, page.web_text(480), units, r.max_active_drives_alt);
        else
            out.append("<tr></tr>\n");
        char words[160];
        if (r.max_active_drives > 0) {
            two_words(page, 477, 424, words);
            count_row(page, words, r.configured_drives, r.max_active_drives);
        }
        if (r.max_active_units > 0) {
            two_words(page, 477, 480, words);
            count_row(page, words, r.active_units, r.max_active_units);
        }
        if (r.max_drives_per_unit > 0) {
            char per[sizeof words + 64];
            two_words(page, 475, 424, words);
            snprintf(per, sizeof per, "%s per %s", words, page.web_text(13));
            snprintf(number, sizeof number, "%d", r.max_drives_per_unit);
            text_row(page, per, number);
        }
    }

    open_row(out);
    label(out, page.web_text(173));
    out.append("<a href=\"javascript:download_log(").append_int(r.position).append(");\" style=\"");
    out.append(kLinkStyle).append("\"><b>[").append(page.web_text(167)).append(" ");
    out.append(page.web_text(173)).append("]</b></a>");
    end_row(out);
    out.append("</table>\n");
    return 0;
}

int write_page1_0(PageBuilder& page, int c, int, const ControllerIdList* list,
                  const ControllerRecord* records) {
    return write_controller_page(
        page, page.web_text(140), "Controller Details", list, records, c, false,
        [&](StringBuilder& body) {
            write_download_log(body);
            page.script().write_goto_physummary(body);
        },
        [&](const ControllerRecord& r) { write_controller_details(page, r); });
}
