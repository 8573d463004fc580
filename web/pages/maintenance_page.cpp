// The Maintenance page. The page sends nothing itself: each button runs a
// script that checks the selection and loads "/page2_2.html" with the
// action's keys.
#include "web/pages/maintenance_page.h"

#include <cstdint>
#include <cstdio>

#include "api/ctl.h"
#include "daemon/string_builder.h"
#include "web/pages/escape.h"
#include "web/pages/maintenance_scripts.h"
#include "web/pages/page_builder.h"
#include "web/pages/record_access.h"
#include "web/pages/script_writer.h"
#include "web/pages/status_texts.h"

namespace {

constexpr int kPorts = 128;  // ports are 0 to 127
constexpr uint8_t kNone = 0xFF;

// Unit types and statuses the page tells apart.
constexpr int kTypeRaid1 = 1;
constexpr int kTypeRaid1Alt = 2;
constexpr int kTypeRaid5 = 5;
constexpr int kTypeRaid10 = 6;
constexpr int kTypeRaid6 = 7;
constexpr int kTypeRaid50 = 8;
constexpr int kTypeDisk = 12;
constexpr int kTypeSpare = 13;
constexpr int kTypeMigrating = 32;
constexpr int kStatusInoperable = 0;
constexpr int kStatusRebuilding = 223;
constexpr int kStatusDegraded = 239;

const char* const kLinkStyle =
    "style=\"color: #0000FF;text-decoration: underline;font-weight: bold;\"";
const char* const kPopupDiv =
    "style=\"position:absolute; z-index: -1; left: 40;top: 20;visibility: hidden\"";
const char* const kHidden = " style=\"visibility: hidden;\"";

bool troubled(int status) { return status == kStatusDegraded || status == kStatusRebuilding; }

bool split_into_subunits(int type) { return type == kTypeRaid10 || type == kTypeRaid50; }

// One available drive: its port, its position in the port list and its
// drive record.
struct Available {
    int port;
    int position;
    const DriveRecord* drive;
};

// What the page is written for: the current controller and the choices made
// from it once.
struct MaintenancePage {
    MaintenancePage(PageBuilder& builder, const ControllerRecord& record)
        : page(builder),
          out(builder.text_body()),
          r(record),
          second_series(record.family > 3),
          wide(later_generation(record)),
          columns(wide ? 8 : 5),
          title_width(wide ? 785 : 550),
          available_count(0) {
        snprintf(port_label, sizeof port_label, "%s", page.web_text(wide ? 476 : 16));
    }

    PageBuilder& page;
    StringBuilder& out;
    const ControllerRecord& r;
    bool second_series;
    bool wide;  // the 8-column available-drives table
    int columns;
    int title_width;
    char port_label[kStatusTextSize];
    Available available[kPorts];
    int available_count;
    bool spare[kPorts];
    bool exported[kPorts];

    const char* text(int code) { return page.web_text(code); }
    void red_bold(const char* s) {
        out.append("<font color=\"#FF0000\"><b>").append(s).append("</b></font>");
    }
    void title_of(int code) {
        out.append(text(code)).append(" (").append(text(3)).append(" ");
        out.append_int(r.controller_index).append(")");
    }
};

const UnitRecord* unit_numbered(const ControllerRecord& r, int number) {
    for (int i = 0; i < list_count(r.units); ++i) {
        const UnitRecord* u = unit_at(r, i);
        if (u != nullptr && u->number == number) return u;
    }
    return nullptr;
}

// The drive record of a port: the one at that position of the port list
// when it is that port's, else the one that names the port; null for none.
const DriveRecord* drive_of_port(const ControllerRecord& r, int port) {
    const DriveRecord* d = drive_at(r, port);
    if (d != nullptr && d->port == port) return d;
    for (int i = 0; i < list_count(r.ports); ++i) {
        d = drive_at(r, i);
        if (d != nullptr && d->port == port) return d;
    }
    return nullptr;
}

void write_type_text(MaintenancePage& m, int type) {
    char text[kStatusTextSize];
    format_unit_type(m.page, type, text);
    m.out.append(text);
}

void write_coloured(StringBuilder& out, const char* colour, const char* text) {
    out.append("<font style=\"color: ").append(colour).append(";font-weight: bold;\">");
    out.append(text).append("</font>");
}

// --- Head: scripts and variables.

void write_scripts(MaintenancePage& m) {
    PageBuilder& page = m.page;
    ScriptWriter& scripts = page.script();
    scripts.write_goto_unit(m.out);
    write_stop_verify(page);
    write_remove_drive(page);
    write_remove_drives(page);
    write_mark_spares(page);
    write_clear_driveconfig(page);
    write_remove_unit(page);
    write_delete_unit(page);
    write_rescan_controller(page);
    write_verify_unit(page);
    scripts.write_show_createpopup(m.out);
    write_show_rebuildpopup(page, &m.r);
    scripts.write_update_create_drives(m.out, m.r);
    write_rebuild_unit(page);
    scripts.write_update_options(m.out);
    scripts.write_update_stripe_options(m.out, m.r);
    scripts.write_modify_unit(m.out);
    write_selectalldrives(page);
    write_deselectalldrives(page);
    scripts.write_goto_enclosure(m.out);
    scripts.write_goto_physummary(m.out);
    write_update_available_drives(page);
    write_update_page_sort_column(page);
    scripts.write_create_unit(m.out, m.r);
    scripts.write_validate_name(m.out);
    scripts.write_update_raidtype(m.out, m.r);
    if (m.second_series) {
        scripts.write_show_modifypopup(m.out);
        scripts.write_update_modify_drives(m.out, m.r);
        scripts.write_set_qm_recovery_create(m.out);
        scripts.write_update_modraidtype(m.out, m.r);
    }
}

void write_head_variables(MaintenancePage& m, int sort_column) {
    StringBuilder& out = m.out;
    const int ports = list_count(m.r.ports);
    out.append(
        "var rebuildpopupopen = 0;\nvar createpopupopen = 0;\nvar unittorebuild = -1;\n"
        "var modifypopupopen = 0;\nvar numcreatechecked = 0;\nvar numremovechecked = 0;\n"
        "var numcreateSASchecked = 0;\nvar numcreateSATAchecked = 0;\n");
    out.append("var maxcreateallowed = ").append_int(m.r.max_active_drives).append(";\n");
    out.append("var activedrivesused = ").append_int(m.r.configured_drives).append(";\n");
    if (m.r.family > 6)
        out.append("var maxdrivesperactiveunit = ")
            .append_int(m.r.max_drives_per_unit)
            .append(";\n");
    out.append("var nummodchecked = 0;\n");
    out.append("var createdrivelist = new Array(").append_int(ports).append(");\n");
    out.append("var removedrivelist = new Array(").append_int(ports).append(");\n");
    out.append("var sparedrivelist = new Array(").append_int(ports).append(");\n");
    out.append("var whichunitchecked;\n</script>\n</head>\n");
    out.append("<body bgcolor=\"#FFFFFF\" onLoad=\"init(1);availTableCells.sort(sorttablecolumn");
    out.append_int(sort_column).append(");update_available_drives()\">\n");
}

// --- Unit maintenance table.

void button(StringBuilder& out, const char* label, const char* on_click) {
    out.append("<input type=\"button\" value=\"")
        .append(label)
        .append("\" onClick=\"")
        .append(on_click);
    out.append("\">\n");
}

void write_unit_row(MaintenancePage& m, const UnitRecord& unit, const IdList* drives) {
    StringBuilder& out = m.out;
    const int n = unit.number;
    const int drive_count = drives != nullptr ? list_count(*drives) : 0;
    out.append("<tr>\n<td class=\"tableheader10\" width=\"100\" align=\"right\">");
    out.append("<a href=\"javascript:goto_unit(")
        .append_int(n)
        .append(")\" ")
        .append(kLinkStyle)
        .append(">");
    out.append(m.text(13)).append(" ").append_int(n).append("</a>&nbsp;&nbsp;&nbsp;");
    out.append("<input type=\"checkbox\" name=\"unit\" value=\"")
        .append_int(n)
        .append("\"></td>\n");

    out.append("<td class=\"tableheader10\" width=\"60\"><span id=\"unumdrives")
        .append_int(n)
        .append("\">");
    out.append_int(drive_count).append(" ").append(m.text(drive_count == 1 ? 217 : 218));
    out.append("</span></td>\n");

    out.append("<td class=\"tableheader10\" width=\"170\"><span id=\"utype")
        .append_int(n)
        .append("\">");
    const UnitRecord* from = sub_unit_at(unit, 0);
    const UnitRecord* to = sub_unit_at(unit, 1);
    if (unit.type == kTypeMigrating && from != nullptr && to != nullptr) {
        write_type_text(m, from->type);
        out.append(" > ");
        write_type_text(m, to->type);
    } else {
        write_type_text(m, unit.type);
    }
    out.append("</span><span id=\"uDperS").append_int(n).append("\"").append(kHidden).append(">");
    const int sub_units = list_count(unit.sub_units);
    if (split_into_subunits(unit.type) && sub_units > 0) {
        out.append("<font style=\"font-size: 8pt;\">").append_int(drive_count / sub_units);
        out.append(" ").append(m.text(233)).append("</font>");
    } else {
        out.append("0");
    }
    out.append("</span>");
    if (m.second_series) {
        out.append("<br>");
        append_html(out, unit.name);
        out.append("&nbsp;");
    }
    out.append("</td>\n<td class=\"tableheader10\" width=\"40\">&nbsp;</td>\n");

    char capacity[kStatusTextSize];
    format_capacity(unit.capacity, capacity);
    out.append("<td class=\"tableheader10\" width=\"100\"><span id=\"usize")
        .append_int(n)
        .append("\">");
    out.append(capacity).append("</span></td>\n");

    out.append("<td class=\"tableheader10\" width=\"150\"><span id=\"ustatus")
        .append_int(n)
        .append("\">");
    char texts[kMaxUnitStatuses][kStatusTextSize];
    char colours[kMaxUnitStatuses][kStatusTextSize];
    int count = 0;
    format_unit_statuses(m.page, unit, texts, colours, &count, m.r.family);
    for (int i = 0; i < count; ++i) {
        if (i > 0) out.append("<br>");
        write_coloured(out, colours[i], texts[i]);
    }
    out.append("</span></td>\n");

    if (unit.has_verifying) {
        out.append("<td class=\"tableheader10\" width=\"135\" align=\"center\">");
        out.append("<a href=\"javascript: stop_verify(")
            .append_int(n)
            .append(");\" ")
            .append(kLinkStyle);
        out.append(">[").append(m.text(227)).append("]</a></td>\n</tr>\n");
    } else {
        out.append("<td class=\"tableheader10\" width=\"135\">&nbsp;</td>\n</tr>\n");
    }
}

// Whether a member drive's row offers "Remove Drive": a drive may go while
// its unit keeps its data without it.
bool may_remove(const UnitRecord& unit, const DriveRecord& d, int s) {
    switch (unit.type) {
        case kTypeRaid1:
        case kTypeRaid1Alt:
        case kTypeRaid5:
            if (troubled(unit.status)) return troubled(s);
            return unit.status != kStatusInoperable;
        case kTypeRaid6:
            if (unit.has_inoperable) return false;
            if (!unit.has_degraded && !unit.has_rebuilding) return true;
            return troubled(s) || unit.redundancy_left != 0;
        case kTypeRaid10:
        case kTypeRaid50: {
            const UnitRecord* sub =
                d.unit_path[1] != kNone ? sub_unit_at(unit, d.unit_path[1]) : nullptr;
            if (sub != nullptr && troubled(sub->status)) return troubled(s);
            return true;
        }
        default:
            return false;
    }
}

void write_missing_drive_row(StringBuilder& out, MaintenancePage& m) {
    out.append(
        "<tr>\n<td class=\"tabledata\">&nbsp;</td>\n<td class=\"tabledata\"><b>--</b></td>\n");
    out.append(
        "<td class=\"tabledata\">--</td>\n<td class=\"tabledata\">--</td>\n<td "
        "class=\"tabledata\">--</td>\n");
    out.append("<td class=\"tabledata\"><font color=\"#FF0000\">").append(m.text(249));
    out.append("</font></td>\n<td class=\"tabledatacenter\"></td>\n</tr>\n");
}

void write_drive_row(MaintenancePage& m, const UnitRecord& unit, const DriveRecord& d) {
    StringBuilder& out = m.out;
    // The status comes from the deepest sub-unit the drive's path names.
    const UnitRecord* source = &unit;
    for (int level = 1; level <= 3 && d.unit_path[level] != kNone; ++level) {
        const UnitRecord* sub = sub_unit_at(*source, d.unit_path[level]);
        if (sub == nullptr) break;
        source = sub;
    }
    const int s = source->status;

    out.append("<tr>\n<td class=\"tabledata\" width=\"100\" align=\"right\">");
    if (split_into_subunits(unit.type) && d.unit_path[1] != kNone) {
        out.append("<font style=\"font-size: smaller;\">").append(m.text(170)).append(" ");
        out.append_int(d.unit_path[1]).append("</font>");
    }
    out.append("</td>\n<td class=\"tabledata\" width=\"60\"><b>")
        .append(m.port_label)
        .append("</b> ");
    out.append_int(d.port).append("</td>\n<td class=\"tabledata\" width=\"170\">");
    append_html(out, d.model);
    out.append("</td>\n<td class=\"tabledata\" width=\"40\">")
        .append(format_drive_interface(d.interface, m.r));
    char capacity[kStatusTextSize];
    format_capacity(d.capacity, capacity);
    out.append("</td>\n<td class=\"tabledata\" width=\"100\">").append(capacity);
    out.append("</td>\n<td class=\"tabledata\" width=\"150\">");
    char text[kStatusTextSize];
    char colour[kStatusTextSize];
    if (s == kNone && d.status != kNone && m.second_series) {
        write_coloured(out, kYellow, m.text(11));
    } else {
        format_unit_status(m.page, s, text, colour);
        if (s == kStatusRebuilding) {
            char with[kStatusTextSize * 2];
            snprintf(with, sizeof with, "%s %d%%", text, source->percent_complete);
            write_coloured(out, colour, with);
        } else {
            write_coloured(out, colour, text);
        }
    }
    out.append("</td>\n<td class=\"tabledatacenter\" width=\"135\">");
    if (may_remove(unit, d, s)) {
        out.append("<a href=\"javascript:remove_drive(")
            .append_int(d.port)
            .append(");\" ")
            .append(kLinkStyle);
        out.append(">[").append(m.text(228)).append("]</a>");
    } else {
        out.append("&nbsp;");
    }
    out.append("</td>\n</tr>\n");
}

void write_unit_table(MaintenancePage& m) {
    StringBuilder& out = m.out;
    const ControllerRecord& r = m.r;
    out.append("<form name=\"unitmaint\">\n<table border=\"0\">\n");
    out.append("<tr><td colspan=\"7\" width=\"785\" class=\"tabletitle14\">");
    m.title_of(216);
    out.append("</td></tr>\n");
    int rows = 0;
    for (int i = 0; i < list_count(r.units); ++i) {
        const UnitRecord* unit = unit_at(r, i);
        if (unit == nullptr || unit->type == kTypeDisk || unit->type == kTypeSpare) continue;
        const IdList* drives = r.unit_drive_lists != nullptr ? &r.unit_drive_lists[i] : nullptr;
        write_unit_row(m, *unit, drives);
        ++rows;
        const int drive_count = drives != nullptr ? list_count(*drives) : 0;
        for (int k = 0; k < drive_count && k < 128; ++k) {
            uint8_t controller = kNone;
            uint8_t port = kNone;
            ctl_parse_drive_id(drives->ids[k], &controller, &port);
            const DriveRecord* d = port != kNone ? drive_of_port(r, port) : nullptr;
            if (d == nullptr)
                write_missing_drive_row(out, m);
            else
                write_drive_row(m, *unit, *d);
        }
    }
    if (rows == 0) {
        out.append("<tr><td colspan=\"7\">");
        m.red_bold(m.text(9));
        out.append("</td></tr>\n");
    }
    out.append("<tr><td colspan=\"7\"><hr>\n");
    button(out, m.text(219), "verify_unit()");
    button(out, m.text(220), "show_rebuildpopup(1);");
    if (m.second_series) button(out, m.text(221), "show_modifypopup(1)");
    button(out, m.text(222), "remove_unit()");
    button(out, m.text(223), "delete_unit()");
    out.append("<br><font style=\"font-size: 8pt;\"><b>")
        .append(m.text(224))
        .append("</b></font>\n");
    out.append("</td></tr>\n</table>\n</form>\n<br>\n");
}

// --- Available drives.

// Free drives (present, in no unit) and the drives of single-disk and spare
// units, in the order of the port list.
void select_available(MaintenancePage& m) {
    const ControllerRecord& r = m.r;
    m.available_count = 0;
    for (int p = 0; p < kPorts; ++p) m.spare[p] = m.exported[p] = false;
    for (int g = 0; g < list_count(r.ports); ++g) {
        const DriveRecord* d = drive_at(r, g);
        uint8_t controller = kNone;
        uint8_t port = kNone;
        if (d == nullptr || ctl_parse_port_id(r.ports.ids[g], &controller, &port) != 0 ||
            port >= kPorts)
            continue;
        if (d->unit_path[0] == kNone) {
            if (d->status < 128) continue;
            if (r.family > 4) {
                uint8_t flags = 0;
                if (ctl_get_drive_flags(r.ports.ids[g], &flags) == 0 && (flags & 1) != 0)
                    m.exported[port] = true;
            }
        } else {
            const UnitRecord* unit = unit_numbered(r, d->unit_path[0]);
            if (unit == nullptr || (unit->type != kTypeDisk && unit->type != kTypeSpare)) continue;
            if (unit->type == kTypeSpare) m.spare[port] = true;
        }
        m.available[m.available_count++] = Available{port, g, d};
    }
}

// A value the scripts put into innerHTML: escaped for HTML, then for the
// string literal.
void append_js_html(StringBuilder& out, const char* s) {
    StringBuilder html;
    append_html(html, s);
    append_js_string(out, html.c_str());
}

void write_available_data(MaintenancePage& m, int sort_column) {
    StringBuilder& out = m.out;
    const ControllerRecord& r = m.r;
    const int ports = list_count(r.ports);
    out.append("<script>\nvar numavaildrives = ").append_int(m.available_count).append(";\n");
    out.append("var availSortColumn = ").append_int(sort_column).append(";\n");
    out.append("var selectallavaildrives = 0;\n");
    const char* const arrays[] = {"availdrivelist",   "availdrivemodel", "availdrivecapacity",
                                  "availdrivestatus", "isaspare",        "partofexportedunit",
                                  "availdrivetype",   "availdriveslot",  "availdrivephy "};
    for (const char* name : arrays)
        out.append("var ").append(name).append(" = new Array(").append_int(ports).append(");\n");
    out.append("for(i=0 ; i<").append_int(ports).append(" ; i++)\n{\n");
    out.append("  partofexportedunit[i] = 0;\n  isaspare[i] = 0;\n}\n");
    for (int i = 0; i < m.available_count; ++i) {
        const Available& a = m.available[i];
        const DriveRecord& d = *a.drive;
        auto element = [&](const char* array) -> StringBuilder& {
            return out.append(array).append("[").append_int(a.port).append("] = \"");
        };
        out.append("availdrivelist[").append_int(i).append("] = ").append_int(a.port).append(";\n");
        element("availdrivetype").append(format_drive_interface(d.interface, r)).append("\";\n");
        // The links are the page's own markup, with single-quoted attributes.
        element("availdriveslot");
        write_slot_link(m.page, d.interface, r, d.slot_id);
        out.append("\";\n");
        element("availdrivephy");
        write_phy_link(m.page, d.interface, r, r.ports.ids[a.position]);
        out.append("\";\n");
        element("availdrivemodel");
        append_js_html(out, d.model);
        out.append("\";\n");
        char capacity[kStatusTextSize];
        format_capacity(d.capacity, capacity);
        element("availdrivecapacity").append(capacity).append("\";\n");
        char text[kStatusTextSize];
        char colour[kStatusTextSize];
        format_drive_status(m.page, d.status, text, colour);
        element("availdrivestatus")
            .append("<font style='color: ")
            .append(colour)
            .append(";font-weight: bold;'>");
        append_js_catalogue(out, text);
        if (m.spare[a.port]) out.append(" - SPARE");
        if (m.exported[a.port]) out.append(" - u?");
        out.append("</font>\";\n");
        if (m.spare[a.port]) out.append("isaspare[").append_int(a.port).append("] = 1;\n");
        if (m.exported[a.port])
            out.append("partofexportedunit[").append_int(a.port).append("] = 1;\n");
    }
}

void write_sort_table(MaintenancePage& m) {
    StringBuilder& out = m.out;
    out.append("var availTableCells  = new Array(").append_int(m.available_count).append(");\n");
    out.append("var q=0;\nfor(i=0 ; i<").append_int(m.available_count).append(" ; i++)\n{\n");
    out.append("  availTableCells[q] = new Array(8);\n");
    const char* const cells[] = {"availdrivelist[i]",
                                 "availdrivelist[i]",
                                 "availdrivemodel[availdrivelist[i]]",
                                 "availdrivecapacity[availdrivelist[i]]",
                                 "availdrivetype[availdrivelist[i]]",
                                 "availdrivephy[availdrivelist[i]]",
                                 "availdriveslot[availdrivelist[i]]",
                                 "availdrivestatus[availdrivelist[i]]"};
    for (int k = 0; k < 8; ++k)
        out.append("  availTableCells[q][")
            .append_int(k)
            .append("] = ")
            .append(cells[k])
            .append(";\n");
    out.append("  q++;\n}\n");
    for (int k = 1; k <= kAvailSortColumns; ++k) {
        out.append("function sorttablecolumn").append_int(k).append("(a,b)\n{\n");
        out.append("  availSortColumn = ").append_int(k).append(";\n");
        if (k == 6) {
            // Enclosure slots sort by enclosure, then slot; drives in no
            // enclosure come first.
            out.append(R"JS(  var ia = a[6].indexOf("goto_enclosure");
  var ib = b[6].indexOf("goto_enclosure");
  if (ia < 0 && ib < 0) return 0;
  if (ia < 0) return -1;
  if (ib < 0) return 1;
  var sa = a[6].substr(ia, 30);
  var sb = b[6].substr(ib, 30);
  var ea = parseInt(sa.substring(sa.indexOf("(") + 1, sa.indexOf(",")), 10);
  var eb = parseInt(sb.substring(sb.indexOf("(") + 1, sb.indexOf(",")), 10);
  var la = parseInt(sa.substring(sa.indexOf(",") + 1, sa.indexOf(")")), 10);
  var lb = parseInt(sb.substring(sb.indexOf(",") + 1, sb.indexOf(")")), 10);
  if (ea != eb) return ea < eb ? -1 : 1;
  if (la != lb) return la < lb ? -1 : 1;
  return 0;
}
)JS");
            continue;
        }
        out.append("  if (a[")
            .append_int(k)
            .append("] < b[")
            .append_int(k)
            .append("]) return -1;\n");
        out.append("  if (a[")
            .append_int(k)
            .append("] > b[")
            .append_int(k)
            .append("]) return 1;\n");
        out.append("  return 0;\n}\n");
    }
    out.append(
        "function gettablecell(row,col)\n{\n  return availTableCells[row][col];\n}\n</script>\n");
}

struct Column {
    int cell;  // the sort cell
    int name;  // catalogue text of the header (0: the port label)
    int width;
    const char* span;
    bool wide_only;
    bool centred;
};

const Column kColumns[] = {
    {1, 0, 40, "AvailDriveListID", false, true},
    {2, 157, 150, "AvailDriveListModel", false, false},
    {3, 15, 75, "AvailDriveListCap", false, false},
    {4, 14, 40, "AvailDriveListType", true, false},
    {5, 504, 40, "AvailDriveListPhy", true, true},
    {6, 430, 150, "AvailDriveListSlot", true, false},
    {7, 161, 150, "AvailDriveListStatus", false, false},
};

void write_available_table(MaintenancePage& m) {
    StringBuilder& out = m.out;
    out.append("<form name=\"createmaint\">\n<table border=\"0\">\n");
    out.append("<tr><td colspan=\"")
        .append_int(m.columns)
        .append("\" width=\"")
        .append_int(m.title_width);
    out.append("\" class=\"tabletitle14\">");
    m.title_of(225);
    out.append("</td></tr>\n<tr>\n<td class=\"tableheader10\" width=\"20\">&nbsp;</td>\n");
    for (const Column& c : kColumns) {
        if (c.wide_only && !m.wide) continue;
        const char* name = c.name == 0 ? m.port_label : m.text(c.name);
        out.append("<td class=\"tableheader10\" width=\"").append_int(c.width).append("\"");
        out.append(
            " onMouseOver=\"this.style.backgroundColor='#0000FF';this.style.cursor='pointer';\"");
        out.append(" onMouseOut=\"this.style.backgroundColor='#E0A000';\"");
        out.append(" title=\"").append(m.text(523)).append(" ").append(name).append("\">");
        out.append("<font onClick=\"deselectalldrives();availTableCells.sort(sorttablecolumn")
            .append_int(c.cell);
        out.append(");update_available_drives();update_page_sort_column(")
            .append_int(c.cell)
            .append(")\">");
        out.append("<u>").append(name).append("</u></font></td>\n");
    }
    out.append("</tr>\n");
    for (int row = 0; row < m.available_count; ++row) {
        out.append("<tr>\n<td class=\"tabledata\" width=\"20\" align=\"center\">");
        out.append("<input type=\"checkbox\" name=\"drive\" value=\"")
            .append_int(m.available[row].port);
        out.append(
            "\" onClick=\"this.checked ? numcreatechecked++ : numcreatechecked--;\"></td>\n");
        for (const Column& c : kColumns) {
            if (c.wide_only && !m.wide) continue;
            out.append("<td class=\"tabledata\" width=\"").append_int(c.width).append("\"");
            if (c.centred) out.append(" align=\"center\"");
            out.append("><span id=\"")
                .append(c.span)
                .append_int(row)
                .append("\">&nbsp;</span></td>\n");
        }
        out.append("</tr>\n");
    }
    if (m.available_count == 0) {
        out.append("<tr><td colspan=\"").append_int(m.columns).append("\">");
        m.red_bold(m.text(17));
        out.append("</td></tr>\n");
    }
    out.append("<tr><td colspan=\"").append_int(m.columns).append("\"><hr>\n");
    out.append(
        "<font style=\"font-size: 8pt;font-weight: bold;text-decoration: underline;color: "
        "#0000FF;\"");
    out.append(" onClick=\"selectallavaildrives?deselectalldrives():selectalldrives();\">");
    out.append("<span id=\"SelectAllDrivesSpan\">Select All Drives</span></font><br>\n");
    button(out, m.text(226), "show_createpopup(1);");
    button(out, m.text(228), "remove_drives();");
    button(out, m.text(569), "mark_spares();");
    button(out, m.text(572), "clear_driveconfig();");
    out.append("</td></tr>\n</table>\n</form>\n");
}

// --- Pop-ups.

void popup_start(MaintenancePage& m, const char* div, const char* form, int title, int width) {
    StringBuilder& out = m.out;
    out.append("<div id=\"").append(div).append("\" ").append(kPopupDiv).append(">\n");
    out.append("<table border=\"5\" cellspacing=\"0\" cellpadding=\"0\"");
    out.append(
        " style=\"border-style: outset;border-color: #E0A000;\">\n<tr><td bgcolor=\"#E0A000\">\n");
    out.append("<form name=\"").append(form).append("\">\n");
    out.append(
        "<table border=\"0\" bgcolor=\"#FFFFFF\">\n<tr><td colspan=\"6\">&nbsp;</td></tr>\n");
    out.append("<tr><td colspan=\"6\" width=\"")
        .append_int(width)
        .append("\" class=\"tabletitle14\">");
    out.append(m.text(title)).append("</td></tr>\n");
}

void popup_end(MaintenancePage& m, int last_columns) {
    m.out.append("<tr><td colspan=\"").append_int(last_columns).append("\">&nbsp;</td></tr>\n");
    m.out.append("</table>\n</form>\n</td></tr>\n</table>\n</div>\n");
}

// The span cells of one drive row of a pop-up: prefix + name + row.
void write_span_cells(StringBuilder& out, const char* prefix, int row, const int (&widths)[5]) {
    const char* const names[] = {"Port", "Model", "Type", "Capacity", "Status"};
    for (int k = 0; k < 5; ++k) {
        out.append("<td width=\"").append_int(widths[k]).append("\"><span id=\"").append(prefix);
        out.append(names[k]).append_int(row).append("\"></span></td>\n");
    }
}

void write_rebuild_popup(MaintenancePage& m) {
    StringBuilder& out = m.out;
    popup_start(m, "rebuildpopup", "rebuildmaint", 229, 640);
    const int widths[5] = {70, 170, 40, 100, 170};
    for (int i = 0; i < m.available_count; ++i) {
        const int port = m.available[i].port;
        out.append("<tr>\n<td width=\"100\" align=\"right\">");
        if (m.spare[port]) out.append("spare");
        out.append("<input type=\"checkbox\" name=\"drive\" value=\"")
            .append_int(port)
            .append("\"></td>\n");
        write_span_cells(out, "RebuildDrive", i, widths);
        out.append("</tr>\n");
    }
    if (m.available_count == 0) {
        out.append("<tr><td colspan=\"6\">");
        m.red_bold(m.text(230));
        out.append("</td></tr>\n");
    }
    out.append("<tr><td colspan=\"6\"><hr>\n");
    if (m.available_count > 0) button(out, m.text(10), "rebuild_unit();");
    button(out, m.text(234), "show_rebuildpopup(0);");
    if (m.second_series)
        out.append("<input type=\"hidden\" name=\"ignoreECC\" value=\"0\">\n");
    else
        out.append("<input type=\"checkbox\" name=\"ignoreECC\">").append(m.text(181)).append("\n");
    out.append("</td></tr>\n");
    popup_end(m, 5);
}

void hidden_span_start(StringBuilder& out, const char* id) {
    out.append("<span id=\"").append(id).append("\"").append(kHidden).append(">");
}

void checkbox(StringBuilder& out, const char* name, bool checked) {
    out.append("<input type=\"checkbox\" name=\"").append(name).append("\"");
    if (checked) out.append(" checked");
    out.append(">");
}

// A select of (value, catalogue text) options, one of them selected.
struct Option {
    int value;
    int text;
};

template <int N>
void select_options(MaintenancePage& m, const char* name, const char* on_change,
                    const Option (&options)[N], int selected) {
    StringBuilder& out = m.out;
    out.append("<select name=\"").append(name).append("\"");
    if (on_change != nullptr) out.append(" onChange=\"").append(on_change).append("\"");
    out.append(">");
    for (const Option& o : options) {
        out.append("<option value=\"").append_int(o.value).append("\"");
        if (o.value == selected) out.append(" selected");
        out.append(">").append(m.text(o.text)).append("</option>");
    }
    out.append("</select>&nbsp;");
}

// The layout choices of the create ("") and migrate ("mod") pop-ups: the
// type select, then (after what the caller adds) the hidden stripe and
// drives-per-subunit selects, which end the row.
void write_type_select(MaintenancePage& m, const char* prefix, const char* pop_up) {
    m.out.append("<font style=\"font-size: 10pt;\"><b>")
        .append(m.text(14))
        .append("</b></font> <select name=\"");
    m.out.append(prefix)
        .append("raidtype\" onChange=\"update_options('")
        .append(pop_up)
        .append("');\"></select>\n");
}

void write_stripe_selects(MaintenancePage& m, const char* prefix) {
    StringBuilder& out = m.out;
    out.append("<span id=\"").append(prefix).append("stripespan\"").append(kHidden).append(">");
    out.append(m.text(18))
        .append(" <select name=\"")
        .append(prefix)
        .append("stripesize\"></select></span>\n");
    out.append("<span id=\"").append(prefix).append("DperSspan\"").append(kHidden).append(">");
    out.append(m.text(233))
        .append(" <select name=\"")
        .append(prefix)
        .append("DperS\"></select></span>\n");
    out.append("</td></tr>\n");
}

// The row of a pop-up's OK and Cancel buttons, opened by cell.
void write_ok_cancel(MaintenancePage& m, const char* cell, const char* ok, const char* cancel) {
    m.out.append(cell);
    button(m.out, m.text(10), ok);
    button(m.out, m.text(234), cancel);
    m.out.append("</td></tr>\n");
}

void write_create_popup(MaintenancePage& m) {
    StringBuilder& out = m.out;
    const ControllerRecord& r = m.r;
    popup_start(m, "createpopup", "createform", 232, 640);
    const int widths[5] = {70, 170, 40, 100, 170};
    int row = 0;
    for (int i = 0; i < m.available_count; ++i) {
        if (m.spare[m.available[i].port]) continue;
        out.append("<tr>\n<td width=\"100\"></td>\n");
        write_span_cells(out, "CreateDrive", row++, widths);
        out.append("</tr>\n");
    }
    // Type, name, stripe and drives per sub-unit.
    out.append("<tr><td colspan=\"6\" width=\"640\"><hr>\n");
    write_type_select(m, "", "create");
    if (m.second_series)
        out.append(m.text(381))
            .append(" <input type=\"text\" name=\"unitname\" maxlength=\"20\">\n");
    write_stripe_selects(m, "");
    // Caches and policies.
    out.append("<tr><td colspan=\"6\" width=\"640\">\n");
    hidden_span_start(out, "writecachespan");
    checkbox(out, "cacheon", true);
    out.append(m.text(179)).append("&nbsp;").append(m.text(531)).append("</span>\n");
    if (m.second_series) {
        checkbox(out, "autoverifyon", true);
        out.append(m.text(180)).append("\n");
        hidden_span_start(out, "queuingspan");
        checkbox(out, "queuingEnabled", true);
        out.append(m.text(463)).append("</span>\n");
        hidden_span_start(out, "ignoreeccspan");
        checkbox(out, "ignoreeccon", false);
        out.append(m.text(181)).append("</span>\n");
    }
    out.append("</td></tr>\n");
    if (r.family > 4) {
        out.append("<tr><td colspan=\"6\" width=\"640\">\n");
        if (r.read_cache_supported == 1) {
            hidden_span_start(out, "readcachespan");
            out.append(m.text(527)).append("&nbsp;").append(m.text(531)).append(" ");
            select_options(m, "readcache", nullptr,
                           {Option{0, 184}, Option{1, 515}, Option{2, 528}}, 2);
            out.append("</span>\n");
        }
        hidden_span_start(out, "pervaultspan");
        out.append(m.text(530)).append(" ");
        select_options(m, "pervault", nullptr, {Option{0, 403}, Option{1, 404}, Option{2, 405}}, 1);
        out.append("</span>\n");
        if (r.recovery_policy_supported == 1) {
            hidden_span_start(out, "qm_recoveryspan");
            out.append(m.text(532)).append(" ");
            select_options(m, "qm_recovery",
                           "set_qm_recovery_create(this.options[this.selectedIndex].value);",
                           {Option{3, 533}, Option{1, 534}, Option{0, 535}}, 3);
            out.append("</span>\n");
        }
        out.append("</td></tr>\n");
    }
    write_ok_cancel(m, "<tr><td colspan=\"6\" width=\"640\">\n", "create_unit();",
                    "show_createpopup(0);");
    popup_end(m, 5);
}

// The migrate pop-up offers the drives that are neither spares nor part of
// an exported unit: the drives its script fills the rows with, so that each
// row's checkbox is the drive the row shows.
void write_migrate_popup(MaintenancePage& m) {
    StringBuilder& out = m.out;
    popup_start(m, "modifypopup", "modifyform", 235, 660);
    out.append(
        "<tr>\n<td class=\"tableheader10\" width=\"80\" align=\"center\"><span "
        "id=\"ModifyUnitID\"></span></td>\n");
    const char* const unit_spans[] = {"ModifyUnitNumDrives", "ModifyUnitType", "ModifyUnitCapacity",
                                      "ModifyUnitStatus"};
    const int unit_widths[] = {80, 200, 100, 200};
    for (int k = 0; k < 4; ++k) {
        out.append("<td class=\"tableheader10\" width=\"")
            .append_int(unit_widths[k])
            .append("\"><span id=\"");
        out.append(unit_spans[k]).append("\"></span></td>\n");
    }
    out.append("<td class=\"tableheader10\" width=\"40\"></td>\n</tr>\n</table>\n");
    out.append(
        "<table border=\"0\" bgcolor=\"#FFFFFF\">\n<tr><td colspan=\"6\">&nbsp;</td></tr>\n");
    out.append("<tr><td colspan=\"6\" width=\"677\" class=\"tabletitle14\">")
        .append(m.text(236))
        .append("</td></tr>\n");
    const int widths[5] = {80, 200, 40, 100, 200};
    int row = 0;
    for (int i = 0; i < m.available_count; ++i) {
        const int port = m.available[i].port;
        if (m.spare[port] || m.exported[port]) continue;
        out.append(
            "<tr>\n<td width=\"80\" align=\"right\"><input type=\"checkbox\" name=\"drive\" "
            "value=\"");
        out.append_int(port).append(
            "\" onClick=\"this.checked ? nummodchecked++ : nummodchecked--;");
        out.append("update_modraidtype();update_options('modify');\"></td>\n");
        write_span_cells(out, "ModifyDrive", row++, widths);
        out.append("</tr>\n");
    }
    if (row == 0) {
        out.append("<tr><td colspan=\"6\">");
        m.red_bold("NO DRIVES AVAILABLE TO USE FOR MIGRATE");
        out.append("</td></tr>\n");
    }
    out.append("<tr><td colspan=\"6\"><hr>\n");
    write_type_select(m, "mod", "modify");
    write_stripe_selects(m, "mod");
    write_ok_cancel(m, "<tr><td colspan=\"6\">\n", "modify_unit();", "show_modifypopup(0);");
    popup_end(m, 6);
}

void write_no_controllers(PageBuilder& page) {
    StringBuilder& out = page.text_body();
    out.append("</script>\n<font color=\"#FF0000\"><b>")
        .append(page.web_text(1))
        .append("</b></font>\n");
    page.end_page(1);
}

}  // namespace

int write_page2_2(PageBuilder& page, int position, int unit, int sort_column,
                  const ControllerIdList* list, const ControllerRecord* records) {
    (void)unit;
    const int count = list != nullptr ? list_count(*list) : kNoneFound;
    char title[kStatusTextSize];
    snprintf(title, sizeof title, "%s", page.web_text(146));
    page.begin_page(title, "Maintenance", list, records, page.refresh_timeout(), position);
    if (count < 1 || records == nullptr || position < 0 || position >= count) {
        write_no_controllers(page);
        return 0;
    }
    const ControllerRecord& r = records[position];
    MaintenancePage page_state(page, r);
    MaintenancePage* m = &page_state;

    write_scripts(*m);
    write_head_variables(*m, sort_column);
    StringBuilder& out = page.text_body();
    if (r.family == -1) {
        out.append("<font color=\"#FF0000\"><b>").append(page.web_text(3)).append(" ");
        out.append_int(r.controller_index).append("  ");
        append_html(out, r.error_text);
        out.append("</b></font>\n");
        page.end_page(1);
        return 0;
    }
    out.append("<form name=\"rescan\"><input type=\"button\" value=\"").append(page.web_text(214));
    out.append("\" onClick=\"rescan_controller()\"> <font style=\"font-size: 10pt;\"><b>(");
    out.append(page.web_text(215)).append(")</b></font></form>\n");
    write_unit_table(*m);
    select_available(*m);
    write_available_data(*m, sort_column);
    write_sort_table(*m);
    write_available_table(*m);
    write_rebuild_popup(*m);
    write_create_popup(*m);
    if (m->second_series) write_migrate_popup(*m);
    page.end_page(1);
    return 0;
}
