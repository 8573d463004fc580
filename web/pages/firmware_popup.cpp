// The firmware update part of the Controller Settings page: the upload form
// and the pop-up with an image check's versions, verdict and
// recommendation. The versions come from the controller, its driver and the
// uploaded image's header: they are escaped like any text from outside.
#include <cstring>

#include "api/ctl_types.h"
#include "daemon/http_codes.h"
#include "daemon/snapshot_records.h"
#include "daemon/string_builder.h"
#include "web/pages/escape.h"
#include "web/pages/page_builder.h"
#include "web/pages/settings_page.h"

namespace {

enum : int {
    kFirmware = 159,
    kDriver = 160,
    kCancel = 234,
    kUpdateFirmware = 370,
    kImageFile = 371,
    kBeginUpdate = 372,
    kCompatibilityInformation = 450,
    kNew = 451,
    kCurrent = 452,
    kApi = 453,
    kProceedUpdate = 460,
    kRecommendation = 461,
    kCheckFailed = 449,
};

// What the pop-up says of a verdict: its text, the text's colour (null:
// plain) and the recommendation (0: none).
struct VerdictRow {
    int verdict;
    int text;
    const char* colour;
    int recommendation;
};

const VerdictRow kVerdictRows[] = {
    {kVerdictCompatible, 444, nullptr, 455},
    {kVerdictDriverIncompatible, 445, "#FF0000", 456},
    {kVerdictToolsIncompatible, 446, "#E0A000", 457},
    {kVerdictNeitherCompatible, 447, "#FF0000", 458},
};

const VerdictRow kNoVerdict = {kVerdictNone, kCheckFailed, nullptr, 0};

const VerdictRow& verdict_row(int verdict) {
    for (const VerdictRow& row : kVerdictRows)
        if (row.verdict == verdict) return row;
    return kNoVerdict;
}

// A text field of the report, read no further than the field.
template <size_t N>
void put_field(StringBuilder& out, const char (&field)[N]) {
    char text[N + 1];
    const size_t length = strnlen(field, N);
    std::memcpy(text, field, length);
    text[length] = '\0';
    append_html(out, text);
}

void put_empty_row(StringBuilder& out, int span) {
    out.append("<tr><td");
    if (span > 1) out.append(" colspan=\"").append_int(span).append("\"");
    out.append(">&nbsp;</td></tr>\n");
}

// A version row: "&nbsp;" and the two label words in bold, then the value.
template <size_t N>
void put_version_row(PageBuilder& page, int first, int second, const char (&value)[N]) {
    StringBuilder& out = page.text_body();
    out.append("<tr><td width=\"200\" class=\"tabledata\"><b>&nbsp;").append(page.web_text(first));
    out.append(" ").append(page.web_text(second)).append("</b></td>");
    out.append("<td width=\"280\" class=\"tabledata\">");
    put_field(out, value);
    out.append("</td></tr>\n");
}

void put_button(PageBuilder& page, int text, const char* on_click) {
    StringBuilder& out = page.text_body();
    out.append("<input type=\"button\" value=\"");
    append_html(out, page.web_text(text));
    out.append("\" onClick=\"").append(on_click).append("\">");
}

}  // namespace

int firmware_verdict(const FirmwareCompatReport& report) {
    const bool driver_ok = report.driver_verdict == 1 || report.driver_verdict == 2;
    const bool driver_refuses = report.driver_verdict == 0;
    if (report.library_verdict == 1) {
        if (driver_ok) return kVerdictCompatible;
        if (driver_refuses) return kVerdictDriverIncompatible;
    } else if (report.library_verdict == 0) {
        if (driver_ok) return kVerdictToolsIncompatible;
        if (driver_refuses) return kVerdictNeitherCompatible;
    }
    return kVerdictNone;
}

void write_firmware_form(PageBuilder& page, const ControllerRecord& r) {
    StringBuilder& out = page.text_body();
    out.append(
        "<br>\n<table border=\"0\">\n<form name=\"fwcheck\" enctype=\"multipart/form-data\" ");
    out.append("method=\"POST\" action=\"/fwcheck.html?c=").append_int(r.position).append("\">\n");
    out.append("<tr><td colspan=\"2\" class=\"tabletitle12\">")
        .append(page.web_text(kUpdateFirmware));
    out.append("</td></tr>\n");
    out.append("<tr><td width=\"200\" class=\"tabledata\">&nbsp;&nbsp;<b>");
    out.append(page.web_text(kImageFile)).append("</b></td><td width=\"530\" class=\"tabledata\">");
    out.append("<input type=\"file\" name=\"fwimagefile\" value=\"\" size=\"40\"></td></tr>\n");
    out.append("<tr><td width=\"200\" class=\"tabledata\"><font style=\"font-size: 8pt;\">&nbsp;");
    out.append("</font></td><td width=\"530\" valign=\"top\" class=\"tabledata\">");
    out.append("<input type=\"button\" value=\"");
    append_html(out, page.web_text(kBeginUpdate));
    out.append("\"");
    if (page.get_access_level() == kAccessAdmin)
        out.append(" onClick=\"submit_fwcheck();\"");
    else
        out.append(" disabled");
    out.append("></td></tr>\n</form>\n</table>\n");
}

void write_firmware_popup(PageBuilder& page, const ControllerRecord& r, int verdict) {
    StringBuilder& out = page.text_body();
    const VerdictRow& row = verdict_row(verdict);
    const FirmwareCompatReport& report = r.firmware_check;
    out.append("<div id=\"fwcheckpopup\" style=\"position:absolute; ");
    if (row.verdict != kVerdictNone)
        out.append("z-index: 20; left: 30;top: 20; visibility: visible\">\n");
    else
        out.append("z-index: -1; left: 30;top: 20; visibility: hidden\">\n");
    out.append("<table border=\"5\" cellspacing=\"0\" cellpadding=\"0\" ");
    out.append("style=\"border: thick outset #E0A000;\">\n<form name=\"fwcheckpopform\">\n");
    out.append("<tr><td bgcolor=\"#E0A000\">\n<table border=\"0\" bgcolor=\"#FFFFFF\">\n");
    put_empty_row(out, 1);
    out.append("<tr><td colspan=\"2\" width=\"480\" class=\"tabletitle14\">");
    out.append(page.web_text(kCompatibilityInformation)).append("</td></tr>\n");
    put_version_row(page, kNew, kFirmware, report.image_version);
    put_version_row(page, kCurrent, kFirmware, report.firmware_version);
    put_version_row(page, kCurrent, kApi, report.library_version);
    put_version_row(page, kCurrent, kDriver, report.driver_version);
    out.append("<tr><td>&nbsp;</td><td>&nbsp;</td></tr>\n");
    out.append("<tr><td colspan=\"2\" width=\"480\"><b>&nbsp;");
    if (row.colour != nullptr) out.append("<font color=\"").append(row.colour).append("\">");
    out.append(page.web_text(row.text));
    if (row.colour != nullptr) out.append("</font>");
    out.append("</b></td></tr>\n");
    if (row.recommendation != 0) {
        put_empty_row(out, 1);
        out.append("<tr><td colspan=\"2\"><b><font style=\"font-size: 10pt;\">");
        out.append(page.web_text(kRecommendation)).append(page.web_text(row.recommendation));
        out.append("</font></b></td></tr>\n");
    }
    put_empty_row(out, 1);
    out.append("<tr><td colspan=\"2\"><hr width=\"100%\" align=\"left\">");
    if (row.verdict != kVerdictNone) {
        StringBuilder call;
        call.append("submit_upgrade(").append_int(row.verdict).append(");");
        put_button(page, kProceedUpdate, call.c_str());
    }
    put_button(page, kCancel, "cancel_upgrade();");
    out.append("</td></tr>\n");
    put_empty_row(out, 5);
    out.append("</table>\n</td></tr>\n</form>\n</table>\n</div>\n");
}
