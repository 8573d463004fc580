// One unit's details as a tree of boxes: the unit with its states and
// settings, a box per sub-unit down to the single drives, the volume table
// of a unit of several volumes, and, for a unit being migrated, the layout
// it becomes in a pop-up.
#include <cstdio>
#include <initializer_list>

#include "api/ctl.h"
#include "web/pages/info_pages.h"
#include "web/pages/page_builder.h"
#include "web/pages/page_content.h"
#include "web/pages/record_access.h"
#include "web/pages/status_texts.h"

namespace {

constexpr int kBoxesPerRow = 5;
constexpr int kMigrating = 32;
constexpr const char* kPopUpColour = "#E0A000";

bool one_of(int v, std::initializer_list<int> values) {
    for (int x : values)
        if (v == x) return true;
    return false;
}

// A label/value row of a box's inner table: the label in bold, two blanks.
void open_item(StringBuilder& out, const char* label) {
    out.append("<tr><td class=\"tabledata\"><b>").append(label);
    out.append("</b>&nbsp;&nbsp;</td><td class=\"tabledata\">");
}

void close_item(StringBuilder& out) { out.append("</td></tr>\n"); }

void number_item(StringBuilder& out, const char* label, int value) {
    open_item(out, label);
    out.append_int(value);
    close_item(out);
}

void stripe_item(PageBuilder& page, const UnitRecord& unit, bool has_stripe) {
    StringBuilder& out = page.text_body();
    open_item(out, page.web_text(18));
    if (has_stripe)
        out.append_int(unit.stripe_size).append("kB");
    else
        out.append("--");
    close_item(out);
}

void type_name(PageBuilder& page, int type, StringBuilder& out) {
    char name[kStatusTextSize];
    format_unit_type(page, type, name);
    out.append(name);
}

void not_initialized(PageBuilder& page, StringBuilder& out) {
    out.append(" (").append(page.web_text(171)).append(")");
}

// A link to the drive page on the port, or "--" for no port.
void port_link(StringBuilder& out, int port) {
    if (port == 255)
        out.append("--");
    else
        append_number_link(out, "goto_drivesummary(", port, ")");
}

int sub_unit_count(const UnitRecord& unit) {
    const int count = list_count(unit.sub_units);
    return count > 0 ? count : 0;
}

// The lines that close the current cell and row and open new ones before
// a box that starts a new row.
void break_row(StringBuilder& out, const char* row_name) {
    out.append("    </td><!--- END Current SUBUNIT --->\n  </tr><!--- END Current ")
        .append(row_name);
    out.append(" ROW --->\n  <tr><!--- BEGIN A New ").append(row_name);
    out.append(" ROW --->\n    <td><!--- RESTART Current SUBUNIT --->\n");
}

// A cell per sub-unit of the unit, each holding the sub-unit's box; the
// comments name the level ("SUBUNIT" or "SUBSUBUNIT").
void write_boxes(PageBuilder& page, const UnitRecord& unit, const ControllerRecord& r,
                 const char* level) {
    StringBuilder& out = page.text_body();
    for (int k = 0; k < sub_unit_count(unit); ++k) {
        const UnitRecord* sub = sub_unit_at(unit, k);
        if (sub == nullptr) break;
        out.append("  <td><!--- START ").append(level).append(" ").append_int(k).append("--->\n");
        write_subunit(page, k, *sub, r);
        out.append("  <!--- END ").append(level).append(" ").append_int(k).append("---></td>\n");
    }
}

void write_volumes(PageBuilder& page, const UnitRecord& unit, int columns) {
    StringBuilder& out = page.text_body();
    out.append("<table bgcolor=\"#FFFFFF\" border=\"0\">\n<tr><td colspan=\"").append_int(columns);
    out.append("\" class=\"tabledata\">\n<!--- BEGIN VOLUME ROW --->\n<table border=\"0\"><tr>");
    out.append(
        "<td colspan=\"3\" class=\"tabledata\"><!--- START VOLUMES --->\n<table border=\"0\">\n");
    out.append("<tr><td colspan=\"2\" width=\"300\" class=\"tabletitle14\">")
        .append(page.web_text(417));
    out.append("</td></tr>\n");
    const int luns = list_count(unit.luns);
    for (int v = 0; v < luns && v < 128; ++v) {
        uint64_t sectors = 0;
        ctl_get_lun_capacity(unit.luns.ids[v], &sectors);
        char capacity[kStatusTextSize] = "-";
        if (sectors != 0) format_capacity(sectors, capacity);
        out.append("<tr><td class=\"tabledata\"><b>").append(page.web_text(418)).append(" ");
        out.append_int(v).append("</b></td><td class=\"tabledata\">").append(capacity);
        out.append("</td></tr>\n");
    }
    out.append("<tr></tr>\n</table>\n<!--- END VOLUMES ---></td></tr></table>\n");
    out.append("<!--- END VOLUME ROW --->\n</td></tr>\n</table>\n");
}

// One drawing of the unit: pass 0 the unit as it is (for a migrating unit
// the layout it leaves), pass 1 the layout a migrating unit becomes.
void write_pass(PageBuilder& page, const ControllerRecord& r, const UnitRecord& top, int pass) {
    StringBuilder& out = page.text_body();
    const bool migrating = top.type == kMigrating;
    const UnitRecord* drawn = migrating ? sub_unit_at(top, pass) : &top;
    if (drawn == nullptr) return;
    const UnitRecord& unit = *drawn;
    const int subs = sub_unit_count(unit);
    const int columns = subs > 0 ? subs : 1;

    out.append("<table bgcolor=\"#FFFFFF\" border=\"0\">\n<tr><td colspan=\"").append_int(columns);
    out.append("\" class=\"tabletitle14\"");
    if (columns == 1) out.append(" width=\"300\"");
    out.append(">").append(page.web_text(13)).append(" ").append_int(top.number).append(" (");
    out.append(page.web_text(3)).append(" ").append_int(r.controller_index).append(")</td></tr>\n");
    out.append("<tr><td colspan=\"").append_int(columns);
    out.append("\" class=\"tabledata\"><table border=\"0\">\n");

    char texts[kMaxUnitStatuses][kStatusTextSize];
    char colours[kMaxUnitStatuses][kStatusTextSize];
    int count = 0;
    format_unit_statuses(page, top, texts, colours, &count, r.family);
    open_item(out, page.web_text(161));
    for (int i = 0; i < count; ++i) {
        if (i > 0) out.append("<br>");
        append_status(out, texts[i], colours[i]);
    }
    close_item(out);

    if (r.family > 3) {
        open_item(out, page.web_text(381));
        append_field(out, top.name);
        close_item(out);
        open_item(out, page.web_text(158));
        append_field(out, top.serial_number);
        close_item(out);
    }
    open_item(out, page.web_text(15));
    if (pass == 0) {
        char capacity[kStatusTextSize];
        format_capacity(top.capacity, capacity);
        out.append(capacity);
    } else {
        out.append("--");
    }
    close_item(out);

    open_item(out, page.web_text(14));
    if (migrating && pass == 0) {
        const UnitRecord* to = sub_unit_at(top, 1);
        type_name(page, unit.type, out);
        out.append(" > <a href=\"javascript:show_migrate_unit(1);\" style=\"color: #0000FF;");
        out.append("text-decoration: underline;\">");
        type_name(page, to != nullptr ? to->type : -1, out);
        out.append("</a>");
    } else {
        type_name(page, unit.type, out);
        if (!migrating && r.family > 3 && one_of(unit.type, {1, 2, 5, 6, 7, 8}) &&
            unit.initialized == 0)
            not_initialized(page, out);
    }
    close_item(out);

    stripe_item(page, unit, one_of(unit.type, {0, 5, 6, 7}));
    if (r.family > 4 && unit.type == 7) number_item(out, page.web_text(420), unit.task_count);
    if (r.family > 3) number_item(out, page.web_text(378), unit.lun_count);
    if (one_of(unit.type, {11, 12, 13, 14, 15})) {
        open_item(out, port_label(page, r));
        append_number_link(out, "goto_drivesummary(", unit.drive_port, ")");
        close_item(out);
    } else {
        number_item(out, page.web_text(172), subs);
    }
    out.append("</table></td></tr>\n");

    if (subs > 0) {
        out.append("<tr><!--- BEGIN SUBUNITS ROW --->\n");
        write_boxes(page, unit, r, "SUBUNIT");
        out.append("<!--- END SUBUNITS ROW ---></tr>\n");
    }
    out.append("</table>\n");
    if (r.family > 4 && unit.lun_count > 1) write_volumes(page, unit, columns);
}

}  // namespace

int write_subunit(PageBuilder& page, int k, const UnitRecord& s, const ControllerRecord& r) {
    StringBuilder& out = page.text_body();
    const int subs = sub_unit_count(s);
    char status[kStatusTextSize * 2];
    char colour[kColourSize];
    char text[kStatusTextSize];
    format_unit_status(page, s.status, text, colour);
    snprintf(status, sizeof status, "%s", text);
    if (subs > 0) {
        if (one_of(s.status, {251, 247, 223, 175})) {
            if (r.family > 3)
                snprintf(status, sizeof status, "%s %d%% (%s)", text, s.percent_complete,
                         page.web_text(s.task_info != 0 ? 168 : 169));
            else
                snprintf(status, sizeof status, "%s %d%%", text, s.percent_complete);
        }
        if (k > 0 && (subs % kBoxesPerRow == 0 || k % (kBoxesPerRow / (subs % kBoxesPerRow)) == 0))
            break_row(out, "SUBUNIT");
    } else {
        if (s.status == 223) snprintf(status, sizeof status, "RBLD %d%%", s.percent_complete);
        if (k > 0 && k % kBoxesPerRow == 0) break_row(out, "SUBSUBUNIT");
    }
    const int span = subs > 0 ? (subs < kBoxesPerRow ? subs : kBoxesPerRow) : 1;

    out.append("      <table border=\"0\" width=\"145\">\n      <tr><td colspan=\"")
        .append_int(span);
    out.append("\" class=\"tableheader\">").append(page.web_text(170)).append(" ").append_int(k);
    out.append("</td></tr>\n      <tr><td colspan=\"").append_int(span);
    out.append("\" class=\"tabledata\"><table border=\"0\">\n");
    open_item(out, page.web_text(161));
    if (subs == 0 && s.status == 255 && r.family > 3) {
        const DriveRecord* drive = drive_at(r, s.drive_port);
        if (drive != nullptr && drive->status != 255) {
            snprintf(status, sizeof status, "%s", page.web_text(11));
            snprintf(colour, sizeof colour, "%s", kYellow);
        }
    }
    append_status(out, status, colour);
    close_item(out);
    open_item(out, page.web_text(14));
    type_name(page, s.type, out);
    if (subs > 0 && one_of(s.type, {1, 2, 5}) && s.initialized == 0 && r.family > 3)
        not_initialized(page, out);
    close_item(out);
    if (subs > 0) {
        stripe_item(page, s, one_of(s.type, {0, 5, 6, 8}));
        number_item(out, page.web_text(172), subs);
        out.append("</table></td></tr>\n      <tr><!--- BEGIN SUBSUBUNIT ROW --->\n");
        write_boxes(page, s, r, "SUBSUBUNIT");
        out.append("      <!--- END SUBSUBUNIT ROW ---></tr>\n");
    } else {
        open_item(out, port_label(page, r));
        port_link(out, s.drive_port);
        close_item(out);
        out.append("</table></td></tr>\n");
    }
    out.append("      </table>\n");
    return 0;
}

int write_unit_details(PageBuilder& page, const ControllerRecord& r) {
    if (r.unit_records == nullptr) return 0;
    const UnitRecord& top = r.unit_records[0];
    StringBuilder& out = page.text_body();
    write_pass(page, r, top, 0);
    if (top.type != kMigrating) return 0;
    out.append(
        "<div id=\"migunitdisplay\" style=\"position:absolute; z-index: -1; left: 40;top: 20;");
    out.append("visibility: hidden\">\n<table border=\"5\" cellspacing=\"0\" cellpadding=\"0\" ");
    out.append("style=\"border-style:outset; border-width:thick; border-color: ")
        .append(kPopUpColour);
    out.append(";\">\n<form name=\"closeform\">\n<tr><td bgcolor=\"")
        .append(kPopUpColour)
        .append("\">\n");
    write_pass(page, r, top, 1);
    out.append(
        "</td></tr>\n<tr><td bgcolor=\"#FFFFFF\"><input type=\"button\" name=\"closebutton\" ");
    out.append("onClick=\"show_migrate_unit(0);\" value=\"");
    append_html(out, page.web_text(191));
    out.append("\"></td></tr>\n</form>\n</table>\n</div>\n");
    return 0;
}

void write_show_migrate_unit(StringBuilder& body) {
    body.append(R"JS(function show_migrate_unit(show)
{
  var ie = document.all ? true : false;
  var style;
  var scroll;
  if (ie) {
    style = eval('document.all.migunitdisplay.style');
    scroll = document.body.scrollTop;
  } else {
    style = document.getElementById('migunitdisplay').style;
    scroll = window.pageYOffset;
  }
  if (show == 1) {
    style.top = scroll + 40;
    style.zIndex = 10;
    style.visibility = 'visible';
  } else {
    style.visibility = 'hidden';
  }
}
)JS");
}
