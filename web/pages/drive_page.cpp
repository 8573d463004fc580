// The drive information page: one row per port of a controller with the
// drive on it, its unit, status and identify box; one row can be
// highlighted.
#include "api/ctl.h"
#include "web/pages/info_pages.h"
#include "web/pages/page_builder.h"
#include "web/pages/page_content.h"
#include "web/pages/record_access.h"
#include "web/pages/status_texts.h"

namespace {

struct Column {
    int label;  // 0: the port label
    int width;
    const char* css_class;
};

const Column kLeadColumns[] = {
    {0, 50, "tableheadercenter"}, {157, 175, "tableheader"}, {15, 75, "tableheader"}};
const Column kExtendedColumns[] = {
    {14, 50, "tableheader"}, {504, 40, "tableheadercenter"}, {430, 150, "tableheader"}};
const Column kPlainColumns[] = {{158, 130, "tableheader"}, {159, 100, "tableheader"}};
const Column kTailColumns[] = {{13, 50, "tableheadercenter"}, {161, 100, "tableheader"}};
const Column kIdentifyColumn = {411, 50, "tableheadercenter"};

// Widths of the cells after the status of a port without a drive.
const int kEmptyPortWidths[] = {75, 130, 100, 50, 100};

void header_cells(PageBuilder& page, const ControllerRecord& r, const Column* columns, int count) {
    for (int i = 0; i < count; ++i)
        append_header_cell(
            page.text_body(), columns[i].width, columns[i].css_class,
            columns[i].label == 0 ? port_label(page, r) : page.web_text(columns[i].label));
}

// The unit cell of a drive.
void unit_cell(StringBuilder& out, const ControllerRecord& r, const DriveRecord& drive,
               ObjectId port) {
    const int u = drive.unit_path[0];
    bool listed = true;
    if (u == 255 && r.family > 4) {
        uint8_t flags = 0;
        ctl_get_drive_flags(port, &flags);
        if ((flags & 1) != 0) listed = false;
    }
    int kind = -1;  // 12 a disk, 13 a spare
    if (u != 255) {
        for (int i = 0; i < list_count(r.units); ++i) {
            const UnitRecord* unit = unit_at(r, i);
            if (unit != nullptr && unit->number == u && (unit->type == 12 || unit->type == 13)) {
                kind = unit->type;
                break;
            }
        }
    }
    if (kind == 12)
        out.append("--");
    else if (kind == 13)
        out.append("S");
    else if (!listed)
        out.append("&#63&#63");
    else if (u == 255)
        out.append("--");
    else
        append_number_link(out, "goto_unit(", u, ")");
}

void identify_cell(StringBuilder& out, const DriveRecord& drive, const char* highlight) {
    uint8_t enclosure = 0xFF;
    uint8_t slot = 0xFF;
    ctl_decode_slot_id(drive.slot_id, &enclosure, &slot);
    open_cell(out, 50, "tabledatacenter", highlight);
    out.append("<input type=\"checkbox\"");
    if (slot == 255) out.append(" disabled");
    out.append(drive.identify != 0 ? " checked onClick=\"blink_drive(" : " onClick=\"blink_drive(");
    out.append_int(drive.port).append(drive.identify != 0 ? ", 0)\"" : ", 1)\"").append("></td>");
}

void drive_row(PageBuilder& page, const ControllerRecord& r, int i, const DriveRecord& drive,
               bool highlighted, EnclosureListCache* enclosures) {
    StringBuilder& out = page.text_body();
    const char* highlight = highlighted ? kHighlight : "";
    const bool extended = later_generation(r);
    char status[kStatusTextSize];
    char colour[kColourSize];
    format_drive_status(page, drive.status, status, colour);

    out.append("<tr>");
    if (drive.status >= 128) {
        char capacity[kStatusTextSize];
        format_capacity(drive.capacity, capacity);
        open_cell(out, 50, "tabledatacenter", highlight);
        out.append("<a href=\"javascript:smart_data(").append_int(r.position).append(", ");
        out.append_int(i).append(");\" style=\"").append(kLinkStyle).append("\">");
        out.append_int(drive.port).append("</a></td>");
        open_cell(out, 175, "tabledata", highlight);
        append_field(out, drive.model).append("</td>");
        open_cell(out, 75, "tabledata", highlight);
        out.append(capacity).append("</td>");
        if (extended) {
            open_cell(out, 50, "tabledata", highlight);
            out.append(format_drive_interface(drive.interface, r)).append("</td>");
            open_cell(out, 40, "tabledatacenter", highlight);
            write_phy_link(page, drive.interface, r, r.ports.ids[i]);
            out.append("</td>");
            open_cell(out, 150, "tabledata", highlight);
            write_slot_link(page, drive.interface, r, drive.slot_id, enclosures);
            out.append("</td>");
        } else {
            open_cell(out, 130, "tabledata", highlight);
            append_field(out, drive.serial_number).append("</td>");
            open_cell(out, 100, "tabledata", highlight);
            append_field(out, drive.firmware_version).append("</td>");
        }
        open_cell(out, 50, "tabledatacenter", highlight);
        unit_cell(out, r, drive, r.ports.ids[i]);
        out.append("</td>");
        open_cell(out, 100, "tabledata", highlight);
        append_status(out, status, colour);
        out.append("</td>");
    } else {
        open_cell(out, 70, "tabledatacenter", highlight);
        out.append_int(drive.port).append("</td>");
        open_cell(out, 175, "tabledata", highlight);
        out.append("<font style=\"color: ").append(colour).append(";\">").append(status);
        out.append("</font></td>");
        for (int width : kEmptyPortWidths) {
            open_cell(out, width, "tabledata", highlight);
            out.append("--</td>");
        }
    }
    if (r.family > 3) identify_cell(out, drive, highlight);
    out.append("</tr>\n");
}

void write_smart_data(StringBuilder& body) {
    body.append(R"JS(var url;
var attribs;
var sw;
function smart_data(controller, port)
{
  url = "/smart.html" + "?c=" + controller + "&p=" + port;
  attribs = "toolbar=0,location=0,directories=0,status=0,menubar=0,width=500,height=650,scrollbars=1";
  sw = window.open(url, "smartwin", attribs);
  if (sw) sw.focus();
}
)JS");
}

void write_blink_drive(StringBuilder& body) {
    body.append(R"JS(function blink_drive(port, on)
{
  url = "/page1_2.html?BlinkDrive=" + port + "&On=" + on + "&c=" + parent.cur_controller;
  document.location.replace(url);
}
)JS");
}

}  // namespace

int write_drive_list(PageBuilder& page, const ControllerRecord& r, int d) {
    StringBuilder& out = page.text_body();
    const int columns = r.family > 3 ? 9 : 7;
    open_list_table(page, columns, page.web_text(142), r.controller_index);
    out.append("<tr>");
    header_cells(page, r, kLeadColumns, 3);
    if (later_generation(r))
        header_cells(page, r, kExtendedColumns, 3);
    else
        header_cells(page, r, kPlainColumns, 2);
    header_cells(page, r, kTailColumns, 2);
    if (r.family > 3) header_cells(page, r, &kIdentifyColumn, 1);
    out.append("</tr>\n");

    const int ports = list_count(r.ports);
    if (ports < 1) append_notice_row(out, columns, page.web_text(17));
    const bool empty_ports_shown = r.family < 7 || (r.family == 7 && r.extended_device_info == 0);
    EnclosureListCache enclosures;
    for (int i = 0; i < ports; ++i) {
        const DriveRecord* drive = drive_at(r, i);
        if (drive == nullptr) break;
        if (drive->status >= 128 || empty_ports_shown)
            drive_row(page, r, i, *drive, i == d, &enclosures);
    }
    out.append("</table>\n");
    return 0;
}

int write_page1_2(PageBuilder& page, int c, int d, const ControllerIdList* list,
                  const ControllerRecord* records) {
    return write_controller_page(
        page, page.web_text(142), "Drive Information", list, records, c, true,
        [&](StringBuilder& body) {
            page.script().write_goto_unit(body);
            write_smart_data(body);
            write_blink_drive(body);
            page.script().write_goto_physummary(body);
            page.script().write_goto_enclosure(body);
        },
        [&](const ControllerRecord& r) { write_drive_list(page, r, d); });
}
