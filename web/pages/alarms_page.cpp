#include "web/pages/alarms_page.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "daemon/config_store.h"
#include "daemon/date_formatter.h"
#include "daemon/event_log.h"
#include "daemon/http_codes.h"
#include "daemon/snapshot_records.h"
#include "daemon/string_builder.h"
#include "driver/message_catalogue.h"
#include "web/pages/escape.h"
#include "web/pages/page_builder.h"
#include "web/pages/record_access.h"

namespace {

// Catalogue texts (category 19).
constexpr int kTextNoControllers = 1;
constexpr int kTextControllerId = 3;
constexpr int kTextWarning = 11;
constexpr int kTextError = 12;
constexpr int kTextAlarms = 148;
constexpr int kTextTime = 206;
constexpr int kTextClearAlarms = 237;
constexpr int kTextMessage = 238;
constexpr int kTextLegend = 239;
constexpr int kTextInfo = 240;
constexpr int kTextAskClear = 302;
constexpr int kTextClickForHelp = 441;

constexpr int kSeriesEventTexts = 4;
constexpr int kEnglish = 0;

const char kNotice[] = "<font style=\"color: #FF0000;font-weight: bold;\">";
const char kHeadingLink[] =
    "style=\"color: #FFFFFF;text-decoration: underline;font-weight: bold;\"";
const char kRowText[] = "style=\"font-size:8pt; font-family: monospace;\"";

// The row colour of a severity (1 error, 2 warning, 3 information).
const char* severity_colour(int severity) {
    switch (severity) {
        case 1:
            return "#FF0000";
        case 2:
            return "#D8D800";
        case 3:
            return "#0000FF";
        default:
            return "brown";
    }
}

// One cell of the legend: white bold text on the severity's colour.
void legend_cell(StringBuilder& out, PageBuilder& page, int text, const char* colour, bool first) {
    out.append("<td align=\"center\" width=\"80\" style=\"border: 2px solid #C0C0C0;");
    if (!first) out.append(" border-left: none;");
    out.append(" background-color: ").append(colour).append(";\">");
    out.append("<font style=\"color: #FFFFFF;font-size: 10pt;font-weight: bold;\">");
    out.append(page.web_text(text)).append("</font></td>\n");
}

// The record's message as the row shows it, HTML-escaped into out.
void append_message(PageBuilder& page, const AenRecord& record, int family, StringBuilder& out) {
    char parameter[kAenTextAreaSize + 1], message[kAenTextAreaSize + 1];
    const bool has_message = aen_record_texts(record, parameter, message);
    const bool second_series = family > kLastFirstSeriesFamily;
    if (page.language() == kEnglish && has_message) {
        if (second_series) {
            char prefix[32];
            std::snprintf(prefix, sizeof prefix, "(0x%02X:0x%04X): ", kSeriesEventTexts,
                          static_cast<unsigned>(record.code));
            // A message that is the catalogue's text of its code carries
            // the prefix already.
            if (std::strncmp(message, prefix, std::strlen(prefix)) != 0) out.append(prefix);
        }
        append_html(out, message);
        return;
    }
    ConfigStore* config = page.config();
    const char* text = page.catalogue()->lookup(
        static_cast<int32_t>(record.category), static_cast<int32_t>(record.code),
        config->get_msg_path(), static_cast<uint8_t>(page.language()));
    if (second_series) {
        append_html(out, text);
        out.append(": ");
    } else if (text[0] != '\0') {
        // The first series' texts begin with their severity digit.
        append_html(out, text + 1);
    }
    append_html(out, parameter);
}

void append_row(PageBuilder& page, const AenRecord& record, const ControllerRecord& controller) {
    StringBuilder& out = page.text_body();
    out.append("<tr><td width=\"47\" align=\"center\" bgcolor=\"")
        .append(severity_colour(record.severity))
        .append("\">&nbsp;</td>\n");
    char when[DateFormatter::kTextSize];
    page.dates().format_time(static_cast<time_t>(record.time), when, sizeof when,
                             event_times_in_utc(controller.family) ? 1 : 0);
    out.append("<td width=\"192\" class=\"tabledata\" ").append(kRowText).append(">");
    append_html(out, when).append("</td>\n");
    char help[16];
    std::snprintf(help, sizeof help, "%04X", static_cast<unsigned>(record.code));
    out.append("<td class=\"tabledata\" onMouseOver=\"style.backgroundColor='#FFFF80'\" ");
    out.append("onMouseOut=\"style.backgroundColor='#FFFFEA'\" onClick=\"goto_aen_help('")
        .append(help)
        .append("')\" ")
        .append(kRowText)
        .append(">");
    append_message(page, record, controller.family, out);
    out.append("</td></tr>\n");
}

// The serial number of a record, read no further than its field.
void serial_of(const ControllerRecord& controller,
               char (&out)[sizeof controller.serial_number + 1]) {
    const size_t n = strnlen(controller.serial_number, sizeof controller.serial_number);
    std::memcpy(out, controller.serial_number, n);
    out[n] = '\0';
}

// What stands in for the page's content when there is no controller, or
// its record could not be filled; null then, else the selected record.
const ControllerRecord* selected_record(PageBuilder& page, const ControllerIdList* list,
                                        const ControllerRecord* records, int c) {
    StringBuilder& out = page.text_body();
    const int count = list != nullptr ? list_count(*list) : kNoneFound;
    if (count < 1 || records == nullptr || c < 0 || c >= count) {
        out.append(kNotice).append(page.web_text(kTextNoControllers)).append("</font>\n");
        return nullptr;
    }
    const ControllerRecord& record = records[c];
    if (record.family == -1) {
        out.append(kNotice).append(page.web_text(kTextControllerId)).append(" ");
        out.append_int(record.controller_index).append("  ");
        char text[sizeof record.error_text + 1];
        const size_t n = strnlen(record.error_text, sizeof record.error_text);
        std::memcpy(text, record.error_text, n);
        text[n] = '\0';
        append_html(out, text).append("</font>\n");
        return nullptr;
    }
    return &record;
}

}  // namespace

void write_sort_alarms(PageBuilder& page) {
    page.text_body().append(R"JS(function sort_alarms(sortby)
{
  var url;
  if (sortby == 1) {
    url = "/page3_0.html?c=" + parent.cur_controller + "&SortBy=sev";
  } else {
    url = "/page3_0.html?c=" + parent.cur_controller;
  }
  document.location.replace(url);
}
)JS");
}

void write_clear_alarms(PageBuilder& page) {
    StringBuilder& out = page.text_body();
    out.append("function clear_alarms()\n{\n  if (!confirm(\"");
    append_js_catalogue(out, page.web_text(kTextAskClear));
    out.append("\")) {\n    return false;\n  }\n");
    out.append(
        "  document.location.replace(\"/page3_0.html?ClearAlarms=1&c=\" + "
        "parent.cur_controller);\n}\n");
}

int write_page3_0(PageBuilder& page, int c, const ControllerIdList* list,
                  const ControllerRecord* records, int sort) {
    page.begin_page(page.web_text(kTextAlarms), "Alarms", list, records, page.refresh_timeout(), c);
    write_sort_alarms(page);
    write_clear_alarms(page);
    page.end_head();
    if (selected_record(page, list, records, c) == nullptr) {
        page.end_page(1);
        return 0;
    }
    StringBuilder& out = page.text_body();
    out.append(
        "<form>\n<table border=\"0\" width=\"750\" cellspacing=\"0\" cellpadding=\"0\"><tr>\n");
    out.append("<td><input type=\"button\" name=\"clear\" value=\"")
        .append(page.web_text(kTextClearAlarms))
        .append("\" onClick=\"clear_alarms();\"></td>\n");
    out.append("<td align=\"right\"><table cellspacing=\"0\" cellpadding=\"1\"><tr>\n");
    out.append("<td><font style=\"font-size: 10pt;font-weight: bold;\">")
        .append(page.web_text(kTextLegend))
        .append(":</font></td>\n");
    legend_cell(out, page, kTextInfo, "#0000FF", true);
    legend_cell(out, page, kTextWarning, "#D8D800", false);
    legend_cell(out, page, kTextError, "#FF0000", false);
    out.append("</tr></table></td>\n</tr></table>\n</form>\n");

    out.append(
        "<table border=\"1\" width=\"800\" cellspacing=\"0\" bordercolor=\"#C0C0C0\" "
        "cellpadding=\"1\">\n<tr>\n");
    out.append(
           "<td class=\"tabletitle12\" width=\"50\" align=\"center\">"
           "<a href=\"javascript:sort_alarms(1)\" ")
        .append(kHeadingLink)
        .append(">Sev</a></td>\n");
    out.append("<td class=\"tabletitle12\" width=\"193\"><a href=\"javascript:sort_alarms(0)\" ")
        .append(kHeadingLink)
        .append(">")
        .append(page.web_text(kTextTime))
        .append("</a></td>\n");
    out.append("<td class=\"tabletitle12\" width=\"546\">")
        .append(page.web_text(kTextMessage))
        .append("  ")
        .append(page.web_text(kTextClickForHelp))
        .append("</td>\n</tr>\n");
    out.append(
           "<tr><td colspan=\"3\"><iframe frameborder=\"0\" height=\"300\" width=\"100%\" "
           "scrolling=\"yes\" marginwidth=\"2\" marginheight=\"2\" "
           "src=\"/alarmsdata.html?c=")
        .append_int(c)
        .append("&auto=1");
    if (sort == 1) out.append("&SortBy=sev");
    out.append("\"></iframe></td></tr>\n</table>\n");
    page.end_page(1);
    return 0;
}

int write_alarmsdata(PageBuilder& page, int c, const ControllerIdList* list,
                     const ControllerRecord* records, int sort) {
    (void)list;
    const ControllerRecord& controller = records[c];
    StringBuilder& out = page.text_body();
    page.write_head_start(true);
    page.write_style();
    out.append(R"JS(<script language="Javascript">
function goto_aen_help(aen_num)
{
  var url = "/help/AEN_" + aen_num + ".html";
  var help_win = window.open(url, "_online_help");
  help_win.focus();
}
</script>
)JS");
    out.append(
        "</head>\n<body bgcolor=\"#FFFFFF\" "
        "style=\"margin-top: 0px ! important;margin-left: 0px ! important;\">\n");
    char serial[sizeof controller.serial_number + 1];
    serial_of(controller, serial);
    StringBuilder path;
    event_file_path(page.config()->get_aen_log_dir(), serial, ".bin", path);
    out.append(
        "<table width=\"100%\" border=\"1\" cellspacing=\"0\" bordercolor=\"#C0C0C0\" "
        "cellpadding=\"1\">\n");
    int rows = 0;
    if (sort == 1) {
        for (int severity = 1; severity <= 3; severity++)
            rows += write_alarm_rows(page, path.c_str(), controller, severity);
    } else {
        rows = write_alarm_rows(page, path.c_str(), controller, kAllSeverities);
    }
    if (rows == 0)
        out.append(
            "<tr><td><font style=\"color: #FF0000;font-size: 12pt;font-weight: bold;\">"
            "NO ALARMS FOUND</font></td></tr>\n");
    out.append("</table>\n</body>\n</html>\n");
    return 0;
}

int write_alarm_rows(PageBuilder& page, const char* path, const ControllerRecord& controller,
                     int filter) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return 0;
    int rows = 0;
    uint8_t bytes[kAenRecordSize];
    while (std::fread(bytes, 1, sizeof bytes, file) == sizeof bytes) {
        AenRecord record;
        decode_aen_record(bytes, &record);
        if (record.severity == kSeverityBinaryOnly ||
            (filter != kAllSeverities && record.severity != filter))
            continue;
        append_row(page, record, controller);
        rows++;
    }
    std::fclose(file);
    return rows;
}
