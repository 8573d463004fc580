// The drive details and S.M.A.R.T. data pop-up.
#include "web/pages/smart_page.h"

#include "web/pages/escape.h"
#include "web/pages/page_builder.h"
#include "web/pages/page_content.h"
#include "web/pages/record_access.h"
#include "web/pages/status_texts.h"

namespace {

// Catalogue texts (19) of the pop-up.
enum : int {
    kControllerId = 3,
    kType = 14,
    kFirmware = 159,
    kSerial = 158,
    kEnabled = 183,
    kClose = 191,
    kSmartFailed = 282,
    kYes = 362,
    kNo = 363,
    kExtraInfo = 401,
    kTemperature = 439,
    kQueuing = 463,
    kDrive = 464,
    kPorts = 465,
    kConnections = 466,
    kInterface = 467,
    kWwn = 469,
    kReallocated = 470,
    kPowerOnHours = 471,
    kSpindleSpeed = 472,
    kSupported = 474,
    kLinkEnabled = 506,
    kLinkSupported = 517,
};

constexpr int kUnknownHours = 65535;
constexpr int kUnknownTemperature = -1;
constexpr int kBytesPerLine = 16;
// Drive interfaces of SAS drives (direct and behind an expander): no SMART
// data on the later controllers.
constexpr int kSasDirect = 3;
constexpr int kSasExpander = 7;

const char* speed_text(int speed) {
    const char* name = link_speed_name(speed);
    return name != nullptr ? name : "N/A";
}

// Opens a details row: the label (one catalogue text, or two joined by a
// blank), then the value cell.
void label(PageBuilder& page, int first, int second = 0) {
    StringBuilder& out = page.text_body();
    out.append("<tr><td width=\"180\" class=\"tabledata\">&nbsp;&nbsp;<b>")
        .append(page.web_text(first));
    if (second != 0) out.append(" ").append(page.web_text(second));
    out.append("</b></td><td width=\"330\" class=\"tabledata\">");
}

void end_row(StringBuilder& out) { out.append("</td></tr>\n"); }

void append_yes_no(PageBuilder& page, StringBuilder& out, bool yes) {
    out.append(page.web_text(yes ? kYes : kNo));
}

// A byte as two upper-case hexadecimal digits.
void append_hex(StringBuilder& out, uint8_t b) {
    static const char kDigits[] = "0123456789ABCDEF";
    const char digits[3] = {kDigits[b >> 4], kDigits[b & 0xF], '\0'};
    out.append(digits);
}

void append_wwn(StringBuilder& out, const uint8_t (&wwn)[8]) {
    bool any = false;
    for (uint8_t b : wwn) any = any || b != 0;
    if (!any) {
        out.append("N/A");
        return;
    }
    for (uint8_t b : wwn) append_hex(out, b);
}

// "1.5 Gbps, 3.0 Gbps and 6.0 Gbps", of the speeds set.
void append_supported_speeds(StringBuilder& out, int speeds) {
    if ((speeds & 1) != 0) out.append(speed_text(1));
    if ((speeds & 2) != 0) out.append((speeds & 1) != 0 ? ", " : "").append(speed_text(2));
    if ((speeds & 4) != 0) out.append((speeds & 3) != 0 ? " and " : "").append(speed_text(4));
}

void details_table(PageBuilder& page, const ControllerRecord& r, int p, const DriveRecord& d,
                   const char* port_text) {
    StringBuilder& out = page.text_body();
    const bool later = later_generation(r);
    out.append("<table border=\"0\">\n<tr><td colspan=\"2\" class=\"tabletitle12\">");
    out.append(page.web_text(kExtraInfo)).append(" (").append(page.web_text(kControllerId));
    out.append(" ").append_int(r.controller_index).append(" - ").append(port_text).append(" ");
    out.append_int(p).append(")</td></tr>\n");

    label(page, kDrive, kType);
    out.append(format_drive_interface(d.interface, r));
    end_row(out);
    label(page, kSerial);
    append_field(out, d.serial_number);
    end_row(out);
    label(page, kFirmware);
    append_field(out, d.firmware_version);
    end_row(out);
    if (r.family > 6 || r.extended_device_info != 0) {
        label(page, kDrive, kPorts);
        out.append_int(d.drive_port_count);
        end_row(out);
        label(page, kDrive, kConnections);
        out.append_int(d.connections);
        end_row(out);
        label(page, kInterface, kType);
        out.append(format_link_type(d.interface, r));
        end_row(out);
    }
    if (later) {
        label(page, kWwn);
        append_wwn(out, d.wwn);
        end_row(out);
    }
    label(page, kReallocated);
    out.append_int(d.reallocated_sectors);
    end_row(out);
    label(page, kPowerOnHours);
    if (d.power_on_hours == kUnknownHours)
        out.append("N/A");
    else
        out.append_int(d.power_on_hours);
    end_row(out);
    label(page, kTemperature);
    if (d.temperature_c == kUnknownTemperature)
        out.append("N/A");
    else
        out.append("<b>").append_int(d.temperature_c).append("</b>&#176;C (<b>");
    if (d.temperature_c != kUnknownTemperature)
        out.append_int(d.temperature_f).append("</b>&#176;F)");
    end_row(out);
    label(page, kSpindleSpeed);
    out.append_int(d.spindle_speed).append(" RPM");
    end_row(out);
    label(page, kQueuing, kSupported);
    append_yes_no(page, out, d.queuing_supported != 0);
    end_row(out);
    label(page, kQueuing, kEnabled);
    if (d.queuing_supported != 0)
        append_yes_no(page, out, d.queuing_enabled != 0);
    else
        out.append("N/A");
    end_row(out);
    label(page, kLinkSupported);
    append_supported_speeds(out, d.link_speed_supported);
    end_row(out);
    label(page, kLinkEnabled);
    out.append(speed_text(d.link_speed));
    end_row(out);
    out.append("</table>\n<br>\n");
}

void smart_table(PageBuilder& page, const ControllerRecord& r, int p, const char* port_text,
                 const uint8_t* data, const char* error_text) {
    StringBuilder& out = page.text_body();
    out.append("<table border=\"0\">\n<tr><td width=\"480\" class=\"tabletitle12\">S.M.A.R.T. (");
    out.append(page.web_text(kControllerId)).append(" ").append_int(r.controller_index);
    out.append(" - ").append(port_text).append(" ").append_int(p).append(")</td></tr>\n");
    out.append("<tr><td class=\"tabledata\">");
    if (data != nullptr) {
        out.append("<font style=\"font-size: 8pt;font-family: monospace;\">");
        for (int i = 0; i < kSmartDataSize; ++i) {
            append_hex(out, data[i]);
            out.append(" ");
            if ((i + 1) % kBytesPerLine == 0) out.append("<br>");
        }
        out.append("<br>");
    } else {
        out.append("<font style=\"color: #FF0000;\"><br><b>");
        append_html(out, error_text);
        out.append(": ").append(page.web_text(kControllerId)).append(" ");
        out.append_int(r.controller_index).append(" - ").append(page.web_text(kSmartFailed));
        out.append("</b><br><br>");
    }
    out.append("</font></td></tr>\n</table>\n");
}

}  // namespace

int write_smart(PageBuilder& page, const char* host, int p, const ControllerRecord& r,
                const uint8_t* data, const char* error_text) {
    StringBuilder& out = page.text_body();
    // The page builder of a request answers HTML unless told otherwise.
    page.write_head_start(true);
    out.append("<title>Pyv2 - ");
    append_html(out, host);
    out.append("</title>\n");
    page.write_style();
    out.append("</head>\n<body bgcolor=\"#FFFFFF\">\n");
    out.append("<form><input type=\"button\" value=\"").append(page.web_text(kClose));
    out.append("\" onClick=\"window.close();\"></form>\n");

    // The label is kept: the catalogue's texts live for ten lookups only.
    StringBuilder port_text;
    port_text.append(page.web_text(later_generation(r) ? 476 : 16));
    const DriveRecord* d = drive_at(r, p);
    if (r.family > 4 && d != nullptr) details_table(page, r, p, *d, port_text.c_str());
    const bool sas = d != nullptr && (d->interface == kSasDirect || d->interface == kSasExpander);
    if (!later_generation(r) || !sas) smart_table(page, r, p, port_text.c_str(), data, error_text);
    page.end_page(0);
    return 0;
}
