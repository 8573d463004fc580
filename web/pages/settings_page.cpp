// The Controller Settings page: its head with the page's scripts, then, for
// the shown controller, the background task table and, by series, the unit
// policies, unit names and other settings with the firmware update (second
// series) or the unit write caches (first series).
#include "web/pages/settings_page.h"

#include <cstdio>
#include <cstring>

#include "daemon/snapshot_records.h"
#include "daemon/string_builder.h"
#include "web/pages/escape.h"
#include "web/pages/page_builder.h"
#include "web/pages/record_access.h"
#include "web/pages/settings_scripts.h"
#include "web/pages/status_texts.h"

namespace {

// Catalogue texts of the page.
enum : int {
    kNoControllers = 1,
    kControllerId = 3,
    kNoUnits = 9,
    kUnit = 13,
    kTitle = 144,
    kBackgroundTask = 174,
    kTaskRate = 175,
    kRebuildMigrate = 176,
    kVerify = 177,
    kUnitWriteCache = 178,
    kWrite = 179,
    kAutoVerify = 180,
    kOverwriteEcc = 181,
    kUnitPolicies = 182,
    kEnabled = 183,
    kDisabled = 184,
    kOtherSettings = 185,
    kDrivesPerSpinup = 187,
    kSpinupDelay = 188,
    kExportUnconfigured = 189,
    kDisableCacheOnDegrade = 190,
    kFasterTask = 306,
    kFastestRebuild = 307,
    kFastestVerify = 308,
    kFastestIo = 309,
    kYes = 362,
    kNo = 363,
    kSeconds = 365,
    kUnitNames = 382,
    kSaveNames = 383,
    kResetNames = 384,
    kAutoCarving = 388,
    kAutoRebuild = 402,
    kProtection = 403,
    kBalance = 404,
    kPerformance = 405,
    kSubmit = 412,
    kCarveSize = 415,
    kControllerPhys = 503,
    kNumberOf = 512,
    kBasic = 515,
    kRead = 527,
    kIntelligent = 528,
    kPervault = 530,
    kCache = 531,
    kQuickmend = 532,
    kAll = 533,
    kRebuild = 534,
    kDisable = 535,
    kMode = 547,
    kRecommendedLowLatency = 548,
    kAdaptive = 549,
    kLowLatency = 550,
    kGreaterThanOne = 560,
};

// Unit types.
enum : int {
    kTypeRaid1 = 1,
    kTypeRaid1Alt = 2,
    kTypeRaid5 = 5,
    kTypeRaid10 = 6,
    kTypeRaid6 = 7,
    kTypeRaid50 = 8,
    kTypeDisk = 12,
    kTypeSpare = 13,
    kTypeMigrating = 32,
};

const char* const kUnitLinkStyle = "color: #0000FF; text-decoration: underline; font-weight: bold;";
const char* const kRed = "#FF0000";
const char* const kAmber = "#E0A000";

bool is_redundant(int type) {
    return type == kTypeRaid1 || type == kTypeRaid1Alt || type == kTypeRaid5 ||
           type == kTypeRaid10 || type == kTypeRaid6 || type == kTypeRaid50;
}

// x of the checkboxes: the value a click asks for.
int toggled(int value) { return value == 0 ? 1 : 0; }

void put_checked(StringBuilder& out, bool checked) {
    if (checked) out.append(" checked");
}

// A catalogue text as an attribute value.
void put_attribute_text(PageBuilder& page, int code) {
    append_html(page.text_body(), page.web_text(code));
}

// " (Controller ID N)" behind a title.
void put_controller_suffix(PageBuilder& page, const ControllerRecord& r) {
    StringBuilder& out = page.text_body();
    out.append(" (").append(page.web_text(kControllerId)).append(" ");
    out.append_int(r.controller_index).append(")");
}

void put_title_row(PageBuilder& page, int span, int code, const ControllerRecord& r) {
    StringBuilder& out = page.text_body();
    out.append("<tr><td colspan=\"").append_int(span).append("\" class=\"tabletitle12\">");
    out.append(page.web_text(code));
    put_controller_suffix(page, r);
    out.append("</td></tr>\n");
}

void put_red_bold(PageBuilder& page, int code) {
    page.text_body().append("<b><font color=\"").append(kRed).append("\">");
    page.text_body().append(page.web_text(code)).append("</font></b>");
}

// A row saying the controller has no units to show.
void put_no_units_row(PageBuilder& page, int span, const char* width) {
    StringBuilder& out = page.text_body();
    out.append("<tr><td colspan=\"").append_int(span).append("\"");
    if (width != nullptr) out.append(" width=\"").append(width).append("\"");
    out.append(" class=\"tabledata\">");
    put_red_bold(page, kNoUnits);
    out.append("</td></tr>\n");
}

// The type text of a unit; a migrating unit shows its two layouts, old and
// new, when its record carries both.
void unit_type_text(PageBuilder& page, const UnitRecord& unit, StringBuilder& out) {
    char text[kStatusTextSize];
    if (unit.type != kTypeMigrating) {
        format_unit_type(page, unit.type, text);
        out.append(text);
        return;
    }
    const UnitRecord* from = sub_unit_at(unit, 0);
    const UnitRecord* to = sub_unit_at(unit, 1);
    if (from == nullptr || to == nullptr) {
        format_unit_type(page, -1, text);
        out.append(text);
        return;
    }
    format_unit_type(page, from->type, text);
    out.append(text).append(" > ");
    format_unit_type(page, to->type, text);
    out.append(text);
}

// The first cell of a unit row: the link to the unit and its type.
void put_unit_link_cell(PageBuilder& page, const UnitRecord& unit) {
    StringBuilder& out = page.text_body();
    out.append(
        "<td width=\"200\" class=\"tabledata\"><b>&nbsp;&nbsp;<a href=\"javascript:goto_unit(");
    out.append_int(unit.number).append(");\" style=\"").append(kUnitLinkStyle).append("\">");
    out.append(page.web_text(kUnit)).append(" ").append_int(unit.number);
    out.append("</a>&nbsp;&nbsp;[");
    unit_type_text(page, unit, out);
    out.append("]</b></td>");
}

// A radio button; on_click may be null.
void put_radio(StringBuilder& out, const char* name, bool checked, const char* on_click) {
    out.append("<input type=\"radio\" name=\"").append(name).append("\"");
    if (on_click != nullptr) out.append(" onClick=\"").append(on_click).append("\"");
    put_checked(out, checked);
    out.append(">");
}

// Two radio buttons "Enabled" and "Disabled": the one of the state checked,
// the other calling function(1) or function(0).
void put_enabled_disabled(PageBuilder& page, const char* name, bool enabled, const char* function) {
    StringBuilder& out = page.text_body();
    StringBuilder call;
    call.append(function).append("(").append_int(enabled ? 0 : 1).append(")");
    put_radio(out, name, enabled, enabled ? nullptr : call.c_str());
    out.append(page.web_text(kEnabled)).append("&nbsp;");
    put_radio(out, name, !enabled, enabled ? call.c_str() : nullptr);
    out.append(page.web_text(kDisabled));
}

// ---- Background Task table.

// The radio buttons of the rates 5 down to 1 in cells of width 22 (nested
// scale) or side by side.
void put_rate_buttons(StringBuilder& out, const char* name, const char* function, unsigned rate,
                      int mode, bool in_cells) {
    for (int r = 5; r >= 1; --r) {
        if (in_cells) out.append("<td width=\"22\" class=\"tabledatacenter\">");
        StringBuilder call;
        call.append(function).append("(").append_int(r);
        if (mode >= 0) call.append(", ").append_int(mode);
        call.append(")");
        put_radio(out, name, rate == static_cast<unsigned>(r), call.c_str());
        if (in_cells) out.append("</td>");
    }
}

// The cell of a task's mode (Adaptive or Low Latency) and, with Low Latency
// at rate 1, the row recommending a faster rate.
void put_mode_cell(PageBuilder& page, const char* name, const char* function, int mode,
                   unsigned rate) {
    StringBuilder& out = page.text_body();
    out.append("<td width=\"200\" class=\"tabledatacenter\">");
    StringBuilder call;
    if (mode != 0) {
        call.append(function).append("(0, 0xFF)");
        put_radio(out, name, false, call.c_str());
        out.append(page.web_text(kAdaptive)).append("&nbsp;");
        put_radio(out, name, true, nullptr);
    } else {
        call.append(function).append("(1, ").append_int(static_cast<int>(rate)).append(")");
        put_radio(out, name, true, nullptr);
        out.append(page.web_text(kAdaptive)).append("&nbsp;");
        put_radio(out, name, false, call.c_str());
    }
    out.append(page.web_text(kLowLatency)).append("</td>");
}

void put_low_latency_warning(PageBuilder& page, int task) {
    StringBuilder& out = page.text_body();
    out.append("<tr><td width=\"200\" class=\"tabledata\">&nbsp;</td><td colspan=\"2\" ");
    out.append("class=\"tabledata\"><b><font color=\"").append(kAmber).append("\">&nbsp;");
    out.append(page.web_text(kRecommendedLowLatency)).append(" ");
    out.append(page.web_text(task)).append(" ").append(page.web_text(kTaskRate)).append(" ");
    out.append(page.web_text(kGreaterThanOne)).append("</font></b></td></tr>\n");
}

// A second-series task row: label, the rate scale's buttons between the
// fastest-task and fastest-I/O words, and the mode with task modes.
struct TaskRow {
    int label;
    int fastest_task;
    const char* rate_name;
    const char* rate_function;
    const char* mode_name;
    const char* mode_function;
};

void put_series_task_row(PageBuilder& page, const ControllerRecord& r, const TaskRow& row,
                         unsigned rate, int mode) {
    StringBuilder& out = page.text_body();
    out.append("<tr><td width=\"200\" class=\"tabledata\">&nbsp;&nbsp;<b>");
    out.append(page.web_text(row.label));
    out.append("</b></td><td width=\"330\" class=\"tabledatacenter\"><table border=\"0\"><tr>");
    out.append("<td width=\"100\" class=\"tabledata\">").append(page.web_text(row.fastest_task));
    out.append("</td>");
    put_rate_buttons(out, row.rate_name, row.rate_function, rate, mode, true);
    out.append("<td width=\"110\" class=\"tabledata\">").append(page.web_text(kFastestIo));
    out.append("</td></tr></table></td>");
    if (r.task_mode_supported == 1)
        put_mode_cell(page, row.mode_name, row.mode_function, mode, rate);
    out.append("</tr>\n");
    if (r.task_mode_supported == 1 && mode == 1 && rate == 1)
        put_low_latency_warning(page, row.label);
}

void write_background_task_table(PageBuilder& page, const ControllerRecord& r) {
    StringBuilder& out = page.text_body();
    const bool modes = r.task_mode_supported == 1;
    out.append("<table border=\"0\">\n");
    put_title_row(page, modes ? 3 : 2, kBackgroundTask, r);
    out.append("<form name=\"rebuildrate\">\n");
    if (r.family > 3) {
        out.append("<tr><td width=\"200\" class=\"tabledata\">&nbsp;</td>");
        out.append("<td width=\"330\" class=\"tabledatacenter\"><b>")
            .append(page.web_text(kTaskRate));
        out.append("</b></td>");
        if (modes) {
            out.append("<td width=\"200\" class=\"tabledatacenter\"><b>")
                .append(page.web_text(kMode))
                .append("</b></td>");
        }
        out.append("</tr>\n<tr><td width=\"200\" class=\"tabledata\">&nbsp;</td>");
        out.append("<td width=\"330\" class=\"tabledatacenter\"><table border=\"0\"><tr>");
        out.append("<td width=\"100\">&nbsp;</td>");
        for (int rate = 5; rate >= 1; --rate) {
            out.append(
                "<td width=\"22\" class=\"tabledatacenter\"><font style=\"font-size: 8pt;\">");
            out.append_int(rate).append("</font></td>");
        }
        out.append("<td width=\"110\">&nbsp;</td></tr></table></td>");
        if (modes) out.append("<td width=\"200\" class=\"tabledata\">&nbsp;</td>");
        out.append("</tr>\n");
        put_series_task_row(page, r,
                            {kRebuildMigrate, kFastestRebuild, "rebuildrate", "change_rebuild_rate",
                             "rebuildmode", "change_c_BRAP"},
                            r.rebuild_rate, r.rebuild_mode);
    } else {
        out.append("<tr><td width=\"200\" class=\"tabledata\">&nbsp;&nbsp;<b>");
        out.append(page.web_text(kTaskRate))
            .append("</b></td><td width=\"530\" class=\"tabledata\">");
        out.append("&nbsp;&nbsp;").append(page.web_text(kFasterTask));
        put_rate_buttons(out, "rebuildrate", "change_rebuild_rate", r.rebuild_rate, -1, false);
        out.append(page.web_text(kFastestIo)).append("</td>");
        if (modes)
            put_mode_cell(page, "rebuildmode", "change_c_BRAP", r.rebuild_mode, r.rebuild_rate);
        out.append("</tr>\n");
        if (modes && r.rebuild_mode == 1 && r.rebuild_rate == 1)
            put_low_latency_warning(page, kRebuildMigrate);
    }
    out.append("</form>\n");
    if (r.family > 3) {
        out.append("<form name=\"verifyrate\">\n");
        put_series_task_row(page, r,
                            {kVerify, kFastestVerify, "verifyrate", "change_verify_rate",
                             "verifymode", "change_c_BVAP"},
                            r.verify_rate, r.verify_mode);
        out.append("</form>\n");
    }
    out.append("</table>\n<br>\n");
}

// ---- Unit Policies table.

const UnitCacheRecord& cache_at(const ControllerRecord& r, int k) {
    static const UnitCacheRecord kUnknown;
    return r.unit_cache_records != nullptr && unit_at(r, k) != nullptr ? r.unit_cache_records[k]
                                                                       : kUnknown;
}

void put_heading(PageBuilder& page, const char* width, int code, bool shown) {
    StringBuilder& out = page.text_body();
    out.append("<td width=\"").append(width).append("\" class=\"tabledatacenter\"><b>");
    if (shown)
        out.append(page.web_text(code));
    else
        out.append("&nbsp;");
    out.append("</b></td>");
}

void put_center_cell_start(StringBuilder& out) { out.append("<td class=\"tabledatacenter\">"); }

// A policy checkbox calling function(N, x).
void put_policy_checkbox(StringBuilder& out, const char* name, const char* function, int unit,
                         int value) {
    out.append("<input type=\"checkbox\" name=\"").append(name).append("\" onClick=\"");
    out.append(function).append("(").append_int(unit).append(", ").append_int(toggled(value));
    out.append(")\"");
    put_checked(out, value != 0);
    out.append(">");
}

struct Option {
    int value;
    int text;
};

// A select calling function(N, the chosen value).
void put_select(PageBuilder& page, const char* name, const char* function, int unit,
                const Option* options, int count, int selected, bool disabled) {
    StringBuilder& out = page.text_body();
    out.append("<select name=\"").append(name).append("\" onChange=\"").append(function);
    out.append("(").append_int(unit);
    out.append(", this.options[this.selectedIndex].value)\"");
    if (disabled) out.append(" disabled");
    out.append(">");
    for (int i = 0; i < count; ++i) {
        out.append("<option value=\"").append_int(options[i].value).append("\"");
        if (options[i].value == selected) out.append(" selected");
        out.append(">").append(page.web_text(options[i].text)).append("</option>");
    }
    out.append("</select>");
}

const Option kReadCacheOptions[] = {{0, kDisabled}, {1, kBasic}, {2, kIntelligent}};
const Option kPervaultOptions[] = {{0, kProtection}, {1, kBalance}, {2, kPerformance}};
const Option kQuickmendOptions[] = {{3, kAll}, {1, kRebuild}, {0, kDisable}};

void put_unit_policy_row(PageBuilder& page, const ControllerRecord& r, int k, int verdict) {
    StringBuilder& out = page.text_body();
    const UnitRecord& u = *unit_at(r, k);
    const UnitCacheRecord& cache = cache_at(r, k);
    const bool spare = u.type == kTypeSpare;
    const bool family4 = r.family == 4;
    const int n = u.number;

    out.append("<tr>");
    put_unit_link_cell(page, u);

    put_center_cell_start(out);
    if (spare) {
        out.append("--");
    } else {
        out.append("<input type=\"checkbox\" name=\"writecache\" onClick=\"set_cache(")
            .append_int(n);
        out.append(", 1, ").append_int(toggled(cache.write_cache)).append(", this)\"");
        put_checked(out, cache.write_cache != 0);
        out.append(">");
    }
    out.append("</td>");

    if (r.read_cache_supported == 1) {
        put_center_cell_start(out);
        if (spare) {
            out.append("--");
        } else {
            // The pop-up of an image check is drawn over the first rows;
            // their selects would show through it in some browsers.
            out.append("<span style=\"visibility:");
            out.append(verdict != 0 && k <= 6 ? "hidden" : "visible").append(";\">");
            out.append("<select name=\"readcache\" onChange=\"set_cache(").append_int(n);
            out.append(", 0, this.options[this.selectedIndex].value)\">");
            for (const Option& o : kReadCacheOptions) {
                out.append("<option value=\"").append_int(o.value).append("\"");
                if (o.value == cache.read_cache_mode) out.append(" selected");
                out.append(">").append(page.web_text(o.text)).append("</option>");
            }
            out.append("</select></span>");
        }
        out.append("</td>");
    }

    put_center_cell_start(out);
    put_policy_checkbox(out, "autoverify", "set_auto_verify", n, u.auto_verify);
    out.append("</td>");

    put_center_cell_start(out);
    if (is_redundant(u.type) || u.type == kTypeMigrating)
        put_policy_checkbox(out, "ecc", "set_ecc", n, u.ecc_on_rebuild);
    else
        out.append("--");
    out.append("</td>");

    // Queuing and Pervault: none for a spare, not shown on family 4.
    const char* unavailable = spare ? "--" : family4 ? "&nbsp;" : nullptr;
    put_center_cell_start(out);
    if (unavailable != nullptr)
        out.append(unavailable);
    else
        put_policy_checkbox(out, "queuing", "set_queuing", n, u.queuing);
    out.append("</td>");
    put_center_cell_start(out);
    if (unavailable != nullptr)
        out.append(unavailable);
    else
        put_select(page, "pervault", "set_pervault", n, kPervaultOptions, 3, u.protection_mode,
                   false);
    out.append("</td>");

    put_center_cell_start(out);
    if (is_redundant(u.type) && r.recovery_policy_supported == 1)
        put_select(page, "qm_recovery", "set_qm_recovery", n, kQuickmendOptions, 3,
                   u.recovery_policy, u.recovery_policy == 0);
    else
        out.append("--");
    out.append("</td></tr>\n");
}

// The units the page lists: every one but those of type 12.
bool is_listed(const ControllerRecord& r, int k) {
    const UnitRecord* u = unit_at(r, k);
    return u != nullptr && u->type != kTypeDisk;
}

void write_unit_policies_table(PageBuilder& page, const ControllerRecord& r, int verdict) {
    StringBuilder& out = page.text_body();
    const bool read_cache = r.read_cache_supported == 1;
    const bool family4 = r.family == 4;
    const int columns = read_cache ? 8 : 7;
    out.append("<table border=\"0\">\n");
    put_title_row(page, columns, kUnitPolicies, r);
    out.append("<form name=\"upolicy\">\n<tr>");
    put_heading(page, "200", 0, false);
    out.append("<td width=\"40\" class=\"tabledatacenter\"><b><font style=\"font-size: 8pt;\">");
    out.append(page.web_text(kWrite)).append("<br>").append(page.web_text(kCache));
    out.append("</font></b></td>");
    if (read_cache) {
        out.append("<td width=\"60\" class=\"tabledatacenter\"><b>").append(page.web_text(kRead));
        out.append("&nbsp;").append(page.web_text(kCache)).append("</b></td>");
    }
    put_heading(page, "45", kAutoVerify, true);
    put_heading(page, "45", kOverwriteEcc, true);
    out.append("<td width=\"60\" class=\"tabledatacenter\"><b>");
    out.append(family4 ? "&nbsp;" : "Queuing").append("</b></td>");
    put_heading(page, "115", kPervault, !family4);
    put_heading(page, "80", kQuickmend, !family4);
    out.append("</tr>\n");
    int rows = 0;
    for (int k = 0; k < list_count(r.units); ++k) {
        if (!is_listed(r, k)) continue;
        put_unit_policy_row(page, r, k, verdict);
        ++rows;
    }
    out.append("</form>\n");
    if (rows == 0) put_no_units_row(page, columns, nullptr);
    out.append("</table>\n<br>\n");
}

// ---- Unit Names table.

void write_unit_names_table(PageBuilder& page, const ControllerRecord& r) {
    StringBuilder& out = page.text_body();
    out.append("<form name=\"unitnamechange\">\n<table border=\"0\">\n");
    put_title_row(page, 2, kUnitNames, r);
    int rows = 0;
    for (int k = 0; k < list_count(r.units); ++k) {
        if (!is_listed(r, k)) continue;
        const UnitRecord& u = *unit_at(r, k);
        char name[sizeof u.name + 1];
        const size_t length = strnlen(u.name, sizeof u.name);
        std::memcpy(name, u.name, length);
        name[length] = '\0';
        out.append("<tr>");
        put_unit_link_cell(page, u);
        out.append("<td width=\"530\" class=\"tabledata\"><input type=\"text\" name=\"unitname");
        out.append_int(u.number).append("\" maxlength=\"20\" value=\"");
        append_html(out, name);
        out.append("\"></td></tr>\n");
        ++rows;
    }
    if (rows > 0) {
        out.append("<tr><td width=\"200\" class=\"tabledata\"><span style=\"visibility:hidden;\">");
        out.append("<input type=\"text\" name=\"dummy\" size=\"1\"></span></td>");
        out.append("<td width=\"530\" class=\"tabledata\"><input type=\"button\" value=\"");
        put_attribute_text(page, kSaveNames);
        out.append("\" onClick=\"changeunitnames()\"><input type=\"reset\" value=\"");
        put_attribute_text(page, kResetNames);
        out.append("\"></td></tr>\n");
    } else {
        put_no_units_row(page, 2, "750");
    }
    out.append("</table>\n</form>\n<br>\n");
}

// ---- Other Controller Settings table.

void put_setting_label(PageBuilder& page, int code) {
    page.text_body().append("<tr><td width=\"200\" class=\"tabledata\"><b>");
    page.text_body().append(page.web_text(code)).append("</b></td>");
}

void put_value_start(StringBuilder& out) { out.append("<td width=\"530\" class=\"tabledata\">"); }

void put_yes_no(PageBuilder& page, bool yes) {
    StringBuilder& out = page.text_body();
    put_value_start(out);
    out.append(page.web_text(yes ? kYes : kNo)).append("</td></tr>\n");
}

void write_other_settings_table(PageBuilder& page, const ControllerRecord& r) {
    StringBuilder& out = page.text_body();
    out.append("<form name=\"ss\">\n<table border=\"0\">\n");
    put_title_row(page, 2, kOtherSettings, r);
    if (r.family > 4) {
        put_setting_label(page, kAutoRebuild);
        put_value_start(out);
        put_enabled_disabled(page, "autorebuild", r.auto_rebuild != 0, "set_auto_rebuild");
        out.append("</td></tr>\n");
    }
    put_setting_label(page, kAutoCarving);
    put_value_start(out);
    put_enabled_disabled(page, "multilun", r.multi_lun_policy != 0, "set_multi_lun");
    out.append("</td></tr>\n");
    if (r.family > 4) {
        put_setting_label(page, kCarveSize);
        put_value_start(out);
        char size[32];
        std::snprintf(size, sizeof size, "%llu ", static_cast<unsigned long long>(r.carve_size_gb));
        out.append("<input type=\"text\" name=\"carvesize\" maxlength=\"20\" value=\"");
        out.append(size).append("\"><input type=\"button\" value=\"");
        put_attribute_text(page, kSubmit);
        out.append("\" onClick=\"changecarvesize()\"></td></tr>\n");
    }
    const bool spinups_shown = list_count(r.ports) >= r.spinups_allowed;
    put_setting_label(page, kDrivesPerSpinup);
    put_value_start(out);
    if (spinups_shown)
        out.append_int(r.spinups_allowed);
    else
        out.append("--");
    out.append("</td></tr>\n");
    put_setting_label(page, kSpinupDelay);
    put_value_start(out);
    if (spinups_shown)
        out.append_int(r.stagger_time).append(" ").append(page.web_text(kSeconds));
    else
        out.append("--");
    out.append("</td></tr>\n");
    put_setting_label(page, kExportUnconfigured);
    put_yes_no(page, r.export_unconfigured_disk != 0);
    if (r.family > 6 && list_count(r.phys) > 0) {
        out.append("<tr><td width=\"200\" class=\"tabledata\"><b>")
            .append(page.web_text(kNumberOf));
        out.append(" ").append(page.web_text(kControllerPhys)).append("</b></td>");
        out.append(
            "<td width=\"100\" class=\"tabledata\"><a href=\"javascript:goto_physummary(-1);\" ");
        out.append("style=\"").append(kUnitLinkStyle).append("\">").append_int(list_count(r.phys));
        out.append("</a></td></tr>\n");
    }
    if (r.family == 4) {
        put_setting_label(page, kDisableCacheOnDegrade);
        put_yes_no(page, r.disable_write_cache_on_degrade != 0);
    }
    out.append("</table>\n</form>\n");
}

// ---- Unit Write Cache table (first series).

void write_unit_write_cache_table(PageBuilder& page, const ControllerRecord& r) {
    StringBuilder& out = page.text_body();
    out.append("<table border=\"0\">\n");
    put_title_row(page, 2, kUnitWriteCache, r);
    out.append("<form name=\"ucache\">\n");
    int rows = 0;
    for (int k = 0; k < list_count(r.units); ++k) {
        if (!is_listed(r, k)) continue;
        const UnitRecord& u = *unit_at(r, k);
        out.append("<tr>");
        put_unit_link_cell(page, u);
        put_value_start(out);
        if (u.type == kTypeSpare) {
            out.append("--");
        } else {
            const bool on = cache_at(r, k).write_cache != 0;
            StringBuilder name;
            name.append("writecache").append_int(u.number);
            StringBuilder call;
            call.append("set_cache(").append_int(u.number).append(", 1, ").append_int(on ? 0 : 1);
            call.append(")");
            put_radio(out, name.c_str(), on, on ? nullptr : call.c_str());
            out.append(page.web_text(kEnabled)).append("&nbsp;");
            put_radio(out, name.c_str(), !on, on ? call.c_str() : nullptr);
            out.append(page.web_text(kDisabled));
        }
        out.append("</td></tr>\n");
        ++rows;
    }
    out.append("</form>\n");
    if (rows == 0) put_no_units_row(page, 2, "750");
    out.append("</table>\n");
}

void write_controller(PageBuilder& page, const ControllerRecord& r, int verdict) {
    StringBuilder& out = page.text_body();
    out.append("<script>\n");
    write_set_cache(page, r);
    out.append("</script>\n");
    if (r.family == -1) {
        out.append("<b><font color=\"").append(kRed).append("\">");
        out.append(page.web_text(kControllerId)).append(" ").append_int(r.controller_index);
        out.append("  ");
        char error[sizeof r.error_text + 1];
        const size_t length = strnlen(r.error_text, sizeof r.error_text);
        std::memcpy(error, r.error_text, length);
        error[length] = '\0';
        append_html(out, error);
        out.append("</font></b>\n");
        return;
    }
    write_background_task_table(page, r);
    if (r.family > 3) {
        write_unit_policies_table(page, r, verdict);
        write_unit_names_table(page, r);
        write_other_settings_table(page, r);
        write_firmware_form(page, r);
        write_firmware_popup(page, r, verdict);
    } else {
        write_unit_write_cache_table(page, r);
    }
}

}  // namespace

int write_page2_0(PageBuilder& page, int current, const ControllerIdList* list,
                  const ControllerRecord* records, int verdict) {
    // The page that shows an image check's verdict does not refresh
    // itself: a reload would ask for the check again without its image and
    // replace the verdict with an upload failure, while the image waits
    // for the administrator's choice.
    const bool refreshes = verdict == kVerdictNone;
    page.begin_page(page.web_text(kTitle), "Controller Settings", list, records,
                    refreshes ? page.refresh_timeout() : 0, current);
    write_settings_scripts(page);
    page.text_body().append("var fwcheckpopupopen = 0;\n");
    page.end_head();
    const int count = list != nullptr ? static_cast<int32_t>(list->count) : kNoneFound;
    if (count < 1 || records == nullptr || current < 0 || current >= count) {
        put_red_bold(page, kNoControllers);
        page.text_body().append("\n");
    } else {
        write_controller(page, records[current], verdict);
    }
    page.end_page(refreshes ? 1 : 0);
    return 0;
}
